#include "FLTUserLogging.h"

#include "FLTBinaryImage.h"
#include "FLTContext.h"
#include "FLTFile.h"
#include "FLTSDKLog.h"
#include "FLTUnwind.h"
#include "telemetry/platform/SystemLog.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sys/time.h>
#include <unistd.h>

namespace {

// Stands for the logging queue: callers block until their entry is written, and rotation and
// compaction run right after it, in the same order.
std::recursive_mutex g_loggingLock;

constexpr uint32_t kErrorStackCapacity = 128;

uint64_t nowMilliseconds()
{
    timeval now;
    gettimeofday(&now, nullptr);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_usec) / 1000;
}

void writeInfoArray(FLTFile *file, const char *key, const FLTErrorInfo &info)
{
    if (info.empty())
        return;
    FLTFileWriteHashKey(file, key);
    FLTFileWriteArrayStart(file);
    for (const auto &[name, value] : info) {
        FLTFileWriteArrayStart(file);
        FLTFileWriteArrayEntryHexEncodedString(file, name.c_str());
        FLTFileWriteArrayEntryHexEncodedString(file, value.c_str());
        FLTFileWriteArrayEnd(file);
    }
    FLTFileWriteArrayEnd(file);
}

} // namespace

void FLTLog(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    FLTLogv(format, args);
    va_end(args);
}

void FLTLogv(const char *format, va_list args)
{
    if (!format)
        return;
    va_list copy;
    va_copy(copy, args);
    const int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length < 0)
        return;
    std::string message(static_cast<size_t>(length), '\0');
    vsnprintf(message.data(), message.size() + 1, format, args);
    FLTUserLoggingRecordLogMessage(message);
}

void FLTNSLog(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    FLTNSLogv(format, args);
    va_end(args);
}

void FLTNSLogv(const char *format, va_list args)
{
    if (!format)
        return;
    va_list copy;
    va_copy(copy, args);
    const int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length < 0)
        return;
    std::string message(static_cast<size_t>(length), '\0');
    vsnprintf(message.data(), message.size() + 1, format, args);
    tel::SystemLog::log(message);
    FLTUserLoggingRecordLogMessage(message);
}

void FLTUserLoggingRecordLogMessage(const std::string &message)
{
    if (!FLTContextIsInitialized()) {
        tel::SystemLog::log(
            "[Faultline:Crash] WARNING: FLTLog has been used before (or concurrently "
            "with) Faultline initialization and cannot be recorded. The message was: \n"
            + message);
        return;
    }
    FLTContext *context = FLTContextGet();
    FLTUserLoggingABStore *store = &context->logStore;
    std::string text = message;
    const int64_t maximum = store->maxSize;
    if (maximum >= 0 && static_cast<int64_t>(text.size()) > maximum) {
        tel::SystemLog::log("WARNING: Attempted to write " + std::to_string(text.size())
                            + " bytes, but " + std::to_string(maximum)
                            + " is the maximum size of the log. Truncating to "
                            + std::to_string(maximum) + " bytes.");
        text.resize(static_cast<size_t>(maximum));
    }
    const uint64_t time = nowMilliseconds();
    FLTUserLoggingWriteAndCheckABFiles(store, store->activePath, [&](FLTFile *file) {
        FLTFileWriteSectionStart(file, "log");
        FLTFileWriteHashStart(file);
        FLTFileWriteHashEntryHexEncodedString(file, "msg", text.c_str());
        FLTFileWriteHashEntryUInt64(file, "time", time);
        FLTFileWriteHashEnd(file);
        FLTFileWriteSectionEnd(file);
    });
}

void FLTUserLoggingWriteAndCheckABFiles(FLTUserLoggingABStore *store, const char **activePath,
                                        const std::function<void(FLTFile *)> &writer)
{
    if (!store || !activePath || !*activePath || !writer)
        return;
    if (store->sizeLimited ? store->maxSize <= 0 : store->maxEntries == 0)
        return;
    std::lock_guard lock(g_loggingLock);
    FLTFile file;
    if (!FLTFileInitWithPath(&file, *activePath, true)) {
        FLT_WARN("WARN  [%s:%d] Unable to open log file\n");
        return;
    }
    writer(&file);
    uint64_t size = 0;
    FLTFileCloseWithOffset(&file, &size);
    if (!store->sizeLimited && store->entryCount)
        *store->entryCount += 1;
    FLTUserLoggingCheckAndSwapABFiles(store, activePath, static_cast<int64_t>(size));
}

void FLTUserLoggingCheckAndSwapABFiles(FLTUserLoggingABStore *store, const char **activePath,
                                       int64_t fileSize)
{
    if (!store || !activePath)
        return;
    bool swap = false;
    if (store->sizeLimited) {
        swap = fileSize > store->maxSize;
    } else if (!store->entryCount) {
        FLT_ERROR(
            "ERROR [%s:%d] Error: storage has invalid pointer, but is restricted by entry count\n");
        return;
    } else if (*store->entryCount >= store->maxEntries) {
        swap = true;
        *store->entryCount = 0;
    }
    if (!swap)
        return;
    const char *other = *activePath == store->pathA ? store->pathB : store->pathA;
    if (unlink(other) != 0 && errno != ENOENT)
        FLT_WARN("WARN  [%s:%d] Unable to remove the previous log file %s\n", strerror(errno));
    *activePath = other;
}

void FLTUserLoggingRecordKeyValue(const std::optional<std::string> &key,
                                  const std::optional<std::string> &value,
                                  FLTUserLoggingKVStore *store, uint32_t *counter)
{
    if (!key) {
        FLT_WARN("WARN  [%s:%d] User provided bad key\n");
        return;
    }
    if (!FLTContextIsInitialized())
        return;
    std::lock_guard lock(g_loggingLock);
    FLTUserLoggingWriteKeyValue(*key, value, store, counter);
}

void FLTUserLoggingRecordUserKeyValue(const std::optional<std::string> &key,
                                      const std::optional<std::string> &value)
{
    FLTContext *context = FLTContextGet();
    if (!context)
        return;
    FLTUserLoggingRecordKeyValue(key, value, &context->userKVStore,
                                 context->userKVStore.incrementalCount);
}

void FLTUserLoggingRecordInternalKeyValue(const std::optional<std::string> &key,
                                          const std::optional<std::string> &value)
{
    FLTContext *context = FLTContextGet();
    if (!context)
        return;
    FLTUserLoggingRecordKeyValue(key, value, &context->internalKVStore,
                                 context->internalKVStore.incrementalCount);
}

void FLTUserLoggingWriteKeyValue(const std::string &key, const std::optional<std::string> &value,
                                 FLTUserLoggingKVStore *store, uint32_t *counter)
{
    if (!store || !counter) {
        FLT_ERROR("ERROR [%s:%d] Bad parameters\n");
        return;
    }
    std::lock_guard lock(g_loggingLock);
    FLTFile file;
    if (!FLTFileInitWithPath(&file, store->incrementalPath, true)) {
        FLT_ERROR("ERROR [%s:%d] Unable to open k-v file\n");
        return;
    }
    FLTFileWriteSectionStart(&file, "kv");
    FLTFileWriteHashStart(&file);
    FLTFileWriteHashEntryHexEncodedString(&file, "key", key.c_str());
    FLTFileWriteHashEntryHexEncodedString(&file, "value", value ? value->c_str() : nullptr);
    FLTFileWriteHashEnd(&file);
    FLTFileWriteSectionEnd(&file);
    FLTFileClose(&file);
    *counter += 1;
    if (*counter >= store->compactionThreshold) {
        FLTUserLoggingCompactKVEntries(store);
        *counter = 0;
    }
}

FLTKeyValueMap FLTUserLoggingGetCompactedKVEntries(FLTUserLoggingKVStore *store, bool decode)
{
    FLTKeyValueMap entries;
    if (!store) {
        FLT_ERROR("ERROR [%s:%d] storage invalid\n");
        return entries;
    }
    if (!FLTContextIsInitialized())
        return entries;
    std::lock_guard lock(g_loggingLock);
    for (const auto &line :
         FLTFileReadSections(store->compactedPath, true).value_or(std::vector<nlohmann::json>{})) {
        const auto kv = line.find("kv");
        if (kv == line.end() || !kv->is_object() || !kv->contains("key") || !kv->contains("value")
            || !(*kv)["key"].is_string() || !(*kv)["value"].is_string()) {
            FLT_ERROR("ERROR [%s:%d] compacted key/value contains a nil and must be dropped\n");
            continue;
        }
        entries[(*kv)["key"].get<std::string>()] = (*kv)["value"].get<std::string>();
    }
    for (const auto &line : FLTFileReadSections(store->incrementalPath, true)
                                .value_or(std::vector<nlohmann::json>{})) {
        const auto kv = line.find("kv");
        if (kv == line.end() || !kv->is_object() || !kv->contains("key") || !kv->contains("value")
            || !(*kv)["key"].is_string()) {
            FLT_ERROR("ERROR [%s:%d] incremental key/value contains a nil and must be dropped\n");
            continue;
        }
        const std::string key = (*kv)["key"].get<std::string>();
        const auto &value = (*kv)["value"];
        if (value.is_string())
            entries[key] = value.get<std::string>();
        else
            entries.erase(key);
    }
    if (!decode)
        return entries;
    FLTKeyValueMap decoded;
    for (const auto &[key, value] : entries)
        decoded[FLTFileHexDecodeString(key)] =
            value ? std::optional<std::string>(FLTFileHexDecodeString(*value)) : std::nullopt;
    return decoded;
}

void FLTUserLoggingCompactKVEntries(FLTUserLoggingKVStore *store)
{
    if (!store)
        return;
    std::lock_guard lock(g_loggingLock);
    FLTKeyValueMap entries = FLTUserLoggingGetCompactedKVEntries(store, false);
    if (unlink(store->compactedPath) != 0 && errno != ENOENT)
        FLT_WARN("WARN  [%s:%d] Error: Unable to remove compacted KV store before compaction %s\n",
                 strerror(errno));
    FLTFile file;
    if (!FLTFileInitWithPath(&file, store->compactedPath, true)) {
        FLT_WARN("WARN  [%s:%d] Error: Unable to open compacted k-v file\n");
        return;
    }
    if (entries.size() > store->maxKeys)
        FLT_INFO("INFO  [%s:%d] Truncating KV set, which is above max %d\n",
                 static_cast<int>(store->maxKeys));
    uint32_t written = 0;
    for (const auto &[key, value] : entries) {
        if (written == store->maxKeys)
            break;
        if (!value)
            continue;
        FLTFileWriteSectionStart(&file, "kv");
        FLTFileWriteHashStart(&file);
        FLTFileWriteHashEntryString(&file, "key", key.c_str());
        FLTFileWriteHashEntryString(&file, "value", value->c_str());
        FLTFileWriteHashEnd(&file);
        FLTFileWriteSectionEnd(&file);
        ++written;
    }
    FLTFileClose(&file);
    if (unlink(store->incrementalPath) != 0 && errno != ENOENT)
        FLT_WARN("WARN  [%s:%d] Error: Unable to remove incremental KV store after compaction %s\n",
                 strerror(errno));
}

void FLTUserLoggingRecordError(const FLTError &error, const FLTErrorInfo &additionalInfo)
{
    if (!FLTContextIsInitialized())
        return;
    FLTContext *context = FLTContextGet();
    // The stack is symbolicated at a later launch from the image log: bring it up to date with
    // the libraries opened or closed since the last look.
    FLTBinaryImageRefresh();
    uintptr_t frames[kErrorStackCapacity];
    const uint32_t count = FLTUnwindCurrentThread(frames, kErrorStackCapacity);
    const auto time = static_cast<uint64_t>(::time(nullptr));
    FLTUserLoggingABStore *store = &context->errorStore;
    FLTUserLoggingWriteAndCheckABFiles(store, store->activePath, [&](FLTFile *file) {
        FLTFileWriteSectionStart(file, "error");
        FLTFileWriteHashStart(file);
        FLTFileWriteHashEntryHexEncodedString(file, "domain", error.domain.c_str());
        FLTFileWriteHashEntryInt64(file, "code", error.code);
        FLTFileWriteHashEntryUInt64(file, "time", time);
        FLTFileWriteHashKey(file, "stacktrace");
        FLTFileWriteArrayStart(file);
        for (uint32_t i = 0; i < count; ++i)
            FLTFileWriteArrayEntryUInt64(file, frames[i]);
        FLTFileWriteArrayEnd(file);
        writeInfoArray(file, "info", error.userInfo);
        writeInfoArray(file, "extra_info", additionalInfo);
        FLTFileWriteHashEnd(file);
        FLTFileWriteSectionEnd(file);
    });
}
