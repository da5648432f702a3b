#include "FLTContext.h"

#include "FLTExceptionHandler.h"
#include "FLTFile.h"
#include "FLTSDKLog.h"
#include "FLTSignalHandler.h"
#include "FLTUtilities.h"
#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/platform/SystemLog.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <linux/futex.h>
#include <string>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

FLTContext *g_context = nullptr;

constexpr uint64_t kPathStringsSize = 16384;

uint64_t writableRequest()
{
    return 2 * kFLTSignalStackSize + sizeof(FLTWritableState);
}

uint64_t readOnlyRequest()
{
    return sizeof(FLTContext) + kPathStringsSize;
}

bool unlinkIfExists(const char *path)
{
    return path && FLTUnlinkIfExists(path);
}

std::string documentsFolder()
{
    if (const char *dir = getenv("XDG_DOCUMENTS_DIR"); dir && *dir)
        return dir;
    const char *home = getenv("HOME");
    return std::string(home && *home ? home : "/") + "/Documents";
}

void setUpUserLogging(FLTContext *context, const FLTContextInitData *data)
{
    FLTWritableState *state = context->writable;
    const char *folder = context->reportPath;

    context->userKVStore.incrementalPath =
        FLTContextAppendPath(folder, "user_incremental_kv.fltrecord");
    context->userKVStore.compactedPath =
        FLTContextAppendPath(folder, "user_compacted_kv.fltrecord");
    context->userKVStore.compactionThreshold = 64;
    context->userKVStore.maxKeys = data->maxCustomKeys;
    context->userKVStore.incrementalCount = &state->userKVCount;

    context->internalKVStore.incrementalPath =
        FLTContextAppendPath(folder, "internal_incremental_kv.fltrecord");
    context->internalKVStore.compactedPath =
        FLTContextAppendPath(folder, "internal_compacted_kv.fltrecord");
    context->internalKVStore.compactionThreshold = 64;
    context->internalKVStore.maxKeys = 32;
    context->internalKVStore.incrementalCount = &state->internalKVCount;

    FLTUserLoggingABStore &log = context->logStore;
    log.pathA = FLTContextAppendPath(folder, "log_a.fltrecord");
    log.pathB = FLTContextAppendPath(folder, "log_b.fltrecord");
    log.sizeLimited = true;
    log.maxSize = data->logBufferSize;
    log.activePath = &state->logActivePath;
    state->logActivePath = log.pathA;

    FLTUserLoggingABStore &errors = context->errorStore;
    errors.pathA = FLTContextAppendPath(folder, "errors_a.fltrecord");
    errors.pathB = FLTContextAppendPath(folder, "errors_b.fltrecord");
    errors.maxEntries = data->errorReportingEnabled ? data->maxCustomExceptions : 0;
    errors.entryCount = &state->errorCount;
    errors.activePath = &state->errorsActivePath;
    state->errorsActivePath = errors.pathA;

    FLTUserLoggingABStore &custom = context->customExceptionStore;
    custom.pathA = FLTContextAppendPath(folder, "custom_exception_a.fltrecord");
    custom.pathB = FLTContextAppendPath(folder, "custom_exception_b.fltrecord");
    custom.maxEntries = data->maxCustomExceptions;
    custom.entryCount = &state->customExceptionCount;
    custom.activePath = &state->customExceptionsActivePath;
    state->customExceptionsActivePath = custom.pathA;
}

bool initialize(const FLTContextInitData *data, bool installHandlers)
{
    if (!data || !data->reportPath)
        return false;

    // Base set-up.
    FLTAllocator *allocator = FLTAllocatorCreate(writableRequest(), readOnlyRequest());
    auto *context = static_cast<FLTContext *>(
        FLTAllocatorSafeAllocate(allocator, sizeof(FLTContext), FLTAllocationReadOnly));
    memset(static_cast<void *>(context), 0, sizeof *context);
    context->allocator = allocator;
    context->machExceptionStack =
        FLTAllocatorSafeAllocate(allocator, kFLTSignalStackSize, FLTAllocationWritable);
    context->signalStack =
        FLTAllocatorSafeAllocate(allocator, kFLTSignalStackSize, FLTAllocationWritable);
    memset(context->machExceptionStack, 0, kFLTSignalStackSize);
    memset(context->signalStack, 0, kFLTSignalStackSize);
    auto *state = static_cast<FLTWritableState *>(
        FLTAllocatorSafeAllocate(allocator, sizeof(FLTWritableState), FLTAllocationWritable));
    memset(static_cast<void *>(state), 0, sizeof *state);
    state->sdkLogDescriptor = -1;
    state->logThreshold = FLTLogLevelDebug;
    context->writable = state;
    __atomic_store_n(&context->initialized, 0, __ATOMIC_SEQ_CST);
    // Published now so the kit log and the allocator's own warnings reach this launch's folder.
    __atomic_store_n(&g_context, context, __ATOMIC_SEQ_CST);
    FLTFileSetLogSink(FLTSDKLogWriteLine);

    context->reportPath = FLTDuplicateString(data->reportPath);
    context->sdkLogPath = FLTContextAppendPath(context->reportPath, "sdk.log");
    if (!unlinkIfExists(context->sdkLogPath))
        tel::SystemLog::log(
            std::string("[Faultline:Crash] Unable to write initialize SDK write paths ")
            + strerror(errno));

    context->debuggerAttached = FLTProcessDebuggerAttached();
    context->crashCallback = data->crashCallback;
    context->crashCallbackTarget = data->crashCallbackTarget;
    context->firstInstall = data->firstInstall;

    // The start-up steps run one after the other on the starting thread: that thread gets the
    // alternate signal stack, and the handlers go in last, once everything they read is ready.
    FLTHostInitialize();
    setUpUserLogging(context, data);
    context->binaryImagesPath =
        FLTContextAppendPath(context->reportPath, "binary_images.fltrecord");
    FLTBinaryImageInit();
    context->metadataPath = FLTContextAppendPath(context->reportPath, "metadata.fltrecord");
    FLTContextRecordMetadata(data);

    context->signalStore.path = FLTContextAppendPath(context->reportPath, "signal.fltrecord");
    context->exceptionStore.path = FLTContextAppendPath(context->reportPath, "exception.fltrecord");
    context->exceptionStore.maxCustomExceptions =
        data->customExceptionsEnabled ? data->maxCustomExceptions : 0;
    if (context->debuggerAttached) {
        FLT_WARN("WARN  [%s:%d] Debugger present - not installing handlers\n");
    } else if (installHandlers) {
        FLTSignalInitialize(&context->signalStore);
        FLTExceptionInitialize(&context->exceptionStore, &state->customExceptionCount);
    }

    __atomic_store_n(&context->initialized, 1, __ATOMIC_SEQ_CST);
    if (!FLTAllocatorProtect(allocator))
        FLT_WARN("WARN  [%s:%d] Error: Memory protection failed\n");
    return true;
}

} // namespace

FLTContext *FLTContextGet()
{
    return __atomic_load_n(&g_context, __ATOMIC_ACQUIRE);
}

bool FLTContextInitialize(const FLTContextInitData *data)
{
    return initialize(data, true);
}

bool FLTContextInitializeWithoutHandlers(const FLTContextInitData *data)
{
    return initialize(data, false);
}

bool FLTContextIsInitialized()
{
    FLTContext *context = FLTContextGet();
    return context && __atomic_load_n(&context->initialized, __ATOMIC_SEQ_CST) != 0;
}

bool FLTContextMarkAndCheckIfCrashed()
{
    FLTContext *context = FLTContextGet();
    if (!context || !context->writable)
        return false;
    FLTWritableState *state = context->writable;
    const auto self = static_cast<int32_t>(syscall(SYS_gettid));
    int32_t expected = 0;
    if (__atomic_compare_exchange_n(&state->crashingThread, &expected, self, false,
                                    __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
        __atomic_store_n(&state->crashOccurred, 1, __ATOMIC_SEQ_CST);
        return false;
    }
    return true;
}

void FLTContextMarkCrashRecorded()
{
    FLTContext *context = FLTContextGet();
    if (!context || !context->writable)
        return;
    __atomic_store_n(&context->writable->crashRecorded, 1, __ATOMIC_SEQ_CST);
    syscall(SYS_futex, &context->writable->crashRecorded, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

const char *FLTDuplicateString(const char *text)
{
    if (!text)
        return nullptr;
    FLTContext *context = FLTContextGet();
    const size_t length = strlen(text);
    auto *copy = static_cast<char *>(FLTAllocatorSafeAllocate(
        context ? context->allocator : nullptr, length + 1, FLTAllocationReadOnly));
    memcpy(copy, text, length + 1);
    return copy;
}

const char *FLTContextAppendPath(const char *folder, const char *fileName)
{
    std::string path = folder ? folder : "";
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += fileName;
    return FLTDuplicateString(path.c_str());
}

void FLTHostInitialize()
{
    FLTContext *context = FLTContextGet();
    if (!context)
        return;
    context->pageSize = FLTHostGetPageSize();
    const long ticks = sysconf(_SC_CLK_TCK);
    context->clockTicksPerSecond = ticks > 0 ? static_cast<uint64_t>(ticks) : 100;
    context->documentsPath = FLTDuplicateString(documentsFolder().c_str());
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = '\0';
        context->executablePath = FLTDuplicateString(exe);
    }
}

bool FLTProcessDebuggerAttached()
{
    const int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        FLT_WARN("WARN  [%s:%d] unable to read the process status while looking for a tracer\n");
        return false;
    }
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    if (n <= 0)
        return false;
    buffer[n] = '\0';
    const char *tracer = strstr(buffer, "TracerPid:");
    if (!tracer)
        return false;
    return strtol(tracer + strlen("TracerPid:"), nullptr, 10) != 0;
}

namespace {

void writeUname(FLTFile *file, const char *key, const char *value)
{
    FLTFileWriteHashEntryString(file, key, value && *value ? value : "(failed)");
}

std::string cpuBrand()
{
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) == 0) {
            const auto colon = line.find(':');
            if (colon != std::string::npos)
                return line.substr(line.find_first_not_of(' ', colon + 1));
        }
    }
    return "(failed)";
}

std::string localeIdentifier()
{
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = getenv(name);
        if (value && *value) {
            std::string locale = value;
            locale = locale.substr(0, locale.find_first_of(".@"));
            if (locale != "C" && locale != "POSIX")
                return locale;
        }
    }
    return "en_US";
}

} // namespace

void FLTContextRecordMetadata(const FLTContextInitData *data)
{
    FLTContext *context = FLTContextGet();
    if (!context || !context->metadataPath || !data)
        return;
    if (!unlinkIfExists(context->metadataPath))
        FLT_WARN("WARN  [%s:%d] Unable to unlink existing metadata file %s\n", strerror(errno));
    FLTFile file;
    if (!FLTFileInitWithPath(&file, context->metadataPath, false)) {
        FLT_WARN("WARN  [%s:%d] Unable to open metadata file %s\n", context->metadataPath);
        FLT_WARN("WARN  [%s:%d] Unable to record context metadata\n");
        return;
    }
    FLTFileWriteSectionStart(&file, "identity");
    FLTFileWriteHashStart(&file);
    FLTFileWriteHashEntryString(&file, "generator", "Faultline Mac SDK/3.9.3");
    FLTFileWriteHashEntryString(&file, "build_version", "128");
    FLTFileWriteHashEntryString(&file, "display_version", "3.9.3");
    FLTFileWriteHashEntryString(&file, "api_key", data->apiKey);
    FLTFileWriteHashEntryUInt64(&file, "started_at", static_cast<uint64_t>(time(nullptr)));
    FLTFileWriteHashEntryString(&file, "session_id", data->sessionIdentifier);
    FLTFileWriteHashEntryString(&file, "install_id", data->installIdentifier);
    FLTFileWriteHashEntryString(&file, "beta_token", data->betaToken);
    FLTFileWriteHashEntryBoolean(&file, "absolute_log_timestamps", true);
    FLTFileWriteHashEnd(&file);
    FLTFileWriteSectionEnd(&file);

    utsname host{};
    uname(&host);
    FLTFileWriteSectionStart(&file, "host");
    FLTFileWriteHashStart(&file);
    FLTFileWriteHashEntryString(&file, "model", data->hostModel ? data->hostModel : "unknown");
    writeUname(&file, "machine", host.machine);
    const std::string cpu = cpuBrand();
    FLTFileWriteHashEntryString(&file, "cpu", cpu.c_str());
    // The same operating-system version the settings requests and the analytics events carry.
    const std::string osBuild = PLNOperatingSystemBuildVersion().value_or("");
    const std::string osDisplay = PLNOperatingSystemDisplayVersion();
    FLTFileWriteHashEntryString(&file, "os_build_version", osBuild.c_str());
    FLTFileWriteHashEntryString(&file, "os_display_version", osDisplay.c_str());
    FLTFileWriteHashEntryString(&file, "platform", "mac");
    const std::string locale = localeIdentifier();
    FLTFileWriteHashEntryString(&file, "locale", locale.c_str());
    FLTFileWriteHashEnd(&file);
    FLTFileWriteSectionEnd(&file);

    FLTFileWriteSectionStart(&file, "application");
    FLTFileWriteHashStart(&file);
    std::string bundle = data->bundleIdentifier ? data->bundleIdentifier : "";
    for (char &c : bundle)
        if (c == '/')
            c = '_';
    FLTFileWriteHashEntryString(&file, "bundle_id", bundle.c_str());
    FLTFileWriteHashEntryString(&file, "custom_bundle_id", data->customBundleIdentifier);
    FLTFileWriteHashEntryString(&file, "build_version",
                                data->buildVersion ? data->buildVersion : "");
    FLTFileWriteHashEntryString(&file, "display_version",
                                data->displayVersion ? data->displayVersion : "");
    FLTFileWriteHashEntryString(&file, "extension_id", nullptr);
    FLTFileWriteHashEnd(&file);
    FLTFileWriteSectionEnd(&file);

    FLTBinaryImageDetails executable{};
    if (FLTBinaryImageMainExecutable(&executable)) {
        FLTFileWriteSectionStart(&file, "executable");
        FLTFileWriteHashStart(&file);
        FLTFileWriteHashEntryString(&file, "architecture", host.machine);
        FLTFileWriteHashEntryString(&file, "uuid", executable.uuid);
        FLTFileWriteHashEntryString(&file, "build_id", executable.buildId);
        FLTFileWriteHashEntryUInt64(&file, "base", executable.base);
        FLTFileWriteHashEntryUInt64(&file, "size", executable.size);
        FLTFileWriteHashEntryBoolean(&file, "encrypted", false);
        FLTFileWriteHashEntryString(&file, "minimum_sdk_version", "0.0.0");
        FLTFileWriteHashEntryString(&file, "built_sdk_version", "0.0.0");
        FLTFileWriteHashEnd(&file);
        FLTFileWriteSectionEnd(&file);
    } else {
        FLT_WARN("WARN  [%s:%d] Unable to write out executable metadata\n");
    }
    FLTFileClose(&file);
}
