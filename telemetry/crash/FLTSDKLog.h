#pragma once

// The crash kit's own diagnostic log, "sdk.log" in the current launch folder.
//
// Lines are composed from a printf-like format that understands only %p, %s, %d, %u and %x;
// every other "%" pair is written out as it stands and consumes no argument (so "%zu" is printed
// literally). Formatting uses a stack buffer and one write() per line: no allocation, no lock,
// no stdio. Safe to call from a signal handler.

#include <cstddef>
#include <cstdint>

enum FLTLogLevel : int {
    FLTLogLevelDebug = 1,
    FLTLogLevelInfo = 2,
    FLTLogLevelWarn = 3,
    FLTLogLevelError = 4,
};

// "sdk.log" travels with every crash report, so its size is bounded: DEBUG and INFO lines are
// written while the file is below kFLTSDKLogDetailLimit bytes, WARN and ERROR lines (and lines
// handed in already formatted) while it is below kFLTSDKLogLimit. The first line dropped for
// either limit is replaced by one line that says so.
constexpr uint64_t kFLTSDKLogDetailLimit = 8 * 1024;
constexpr uint64_t kFLTSDKLogLimit = 16 * 1024;

// Writes one kit log line when a context with a writable state and an "sdk.log" path exists,
// `level` is at least the current threshold and the size limits allow. Safe to call from a
// signal handler.
void FLTSDKLog(int level, const char *format, ...);

// Appends an already formatted line to "sdk.log" (no level check; the overall size limit
// applies). Safe to call from a signal handler.
void FLTSDKLogWriteLine(const char *line, uint64_t length);

// Formats into `buffer` (always NUL-terminated) with the rules above; returns the length.
// Safe to call from a signal handler.
uint64_t FLTSDKLogFormat(char *buffer, uint64_t capacity, const char *format, ...);

// The kit log formats begin with "LEVEL [%s:%d]"; these fill in the operation name and line.
#define FLT_LOG(level, format, ...) FLTSDKLog(level, format, __func__, __LINE__, ##__VA_ARGS__)
#define FLT_DEBUG(format, ...) FLT_LOG(FLTLogLevelDebug, format, ##__VA_ARGS__)
#define FLT_INFO(format, ...) FLT_LOG(FLTLogLevelInfo, format, ##__VA_ARGS__)
#define FLT_WARN(format, ...) FLT_LOG(FLTLogLevelWarn, format, ##__VA_ARGS__)
#define FLT_ERROR(format, ...) FLT_LOG(FLTLogLevelError, format, ##__VA_ARGS__)
