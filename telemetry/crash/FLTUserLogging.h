#pragma once

// What the application says before it crashes: log lines, recorded errors, custom keys and
// custom exceptions, written while the process is healthy into size- or count-limited record
// files of the current launch folder. None of this is signal-safe: it allocates and serialises
// on the logging lock.

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct FLTFile;

// A pair of files written alternately: when the active one is full the other is deleted and
// becomes the active one, so at most the previous file and the active one exist.
struct FLTUserLoggingABStore {
    const char *pathA = nullptr;
    const char *pathB = nullptr;
    int64_t maxSize = 0;     // size-limited stores
    uint32_t maxEntries = 0; // entry-limited stores
    bool sizeLimited = false;
    uint32_t *entryCount = nullptr;    // in the writable crash state
    const char **activePath = nullptr; // in the writable crash state
};

// Custom keys: every set is appended to the incremental file; every 64 entries the two files are
// folded into the compacted file.
struct FLTUserLoggingKVStore {
    const char *incrementalPath = nullptr;
    const char *compactedPath = nullptr;
    uint32_t compactionThreshold = 64;
    uint32_t maxKeys = 0;
    uint32_t *incrementalCount = nullptr; // in the writable crash state
};

// A key-value entry as stored; std::nullopt stands for "no value".
using FLTKeyValueMap = std::map<std::string, std::optional<std::string>>;

// One dictionary of an error's information, as pairs of descriptions.
using FLTErrorInfo = std::vector<std::pair<std::string, std::string>>;

struct FLTError {
    std::string domain;
    int64_t code = 0;
    FLTErrorInfo userInfo;
};

void FLTLog(const char *format, ...) __attribute__((format(printf, 1, 2)));
void FLTLogv(const char *format, va_list args);
// As FLTLog, and the line also goes to the system log.
void FLTNSLog(const char *format, ...) __attribute__((format(printf, 1, 2)));
void FLTNSLogv(const char *format, va_list args);
void FLTUserLoggingRecordLogMessage(const std::string &message);

void FLTUserLoggingRecordKeyValue(const std::optional<std::string> &key,
                                  const std::optional<std::string> &value,
                                  FLTUserLoggingKVStore *store, uint32_t *counter);
// The user's and the kit's own key stores of the crash context.
void FLTUserLoggingRecordUserKeyValue(const std::optional<std::string> &key,
                                      const std::optional<std::string> &value);
void FLTUserLoggingRecordInternalKeyValue(const std::optional<std::string> &key,
                                          const std::optional<std::string> &value);
void FLTUserLoggingWriteKeyValue(const std::string &key, const std::optional<std::string> &value,
                                 FLTUserLoggingKVStore *store, uint32_t *counter);
FLTKeyValueMap FLTUserLoggingGetCompactedKVEntries(FLTUserLoggingKVStore *store, bool decode);
void FLTUserLoggingCompactKVEntries(FLTUserLoggingKVStore *store);

void FLTUserLoggingRecordError(const FLTError &error, const FLTErrorInfo &additionalInfo);

void FLTUserLoggingWriteAndCheckABFiles(FLTUserLoggingABStore *store, const char **activePath,
                                        const std::function<void(FLTFile *)> &writer);
void FLTUserLoggingCheckAndSwapABFiles(FLTUserLoggingABStore *store, const char **activePath,
                                       int64_t fileSize);
