#include "FLTSDKLog.h"

#include "FLTContext.h"

#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr uint64_t kLineCapacity = 1024;

struct LineBuffer {
    char *data;
    uint64_t capacity;
    uint64_t length = 0;
    void put(char c)
    {
        if (length + 1 < capacity)
            data[length++] = c;
    }
    void put(const char *text)
    {
        while (*text)
            put(*text++);
    }
};

void putUnsigned(LineBuffer &out, uint64_t value, unsigned base)
{
    char digits[21];
    int n = 0;
    do {
        const unsigned d = static_cast<unsigned>(value % base);
        digits[n++] = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
        value /= base;
    } while (value != 0 && n < 20);
    while (n > 0)
        out.put(digits[--n]);
}

uint64_t formatInto(char *buffer, uint64_t capacity, const char *format, va_list args)
{
    LineBuffer out{buffer, capacity};
    if (capacity == 0)
        return 0;
    for (const char *p = format; p && *p; ++p) {
        if (*p != '%' || p[1] == '\0') {
            out.put(*p);
            continue;
        }
        const char conversion = *++p;
        switch (conversion) {
        case 'p':
            out.put("0x");
            putUnsigned(out, reinterpret_cast<uint64_t>(va_arg(args, void *)), 16);
            break;
        case 's': {
            const char *text = va_arg(args, const char *);
            out.put(text ? text : "(null)");
            break;
        }
        case 'd': {
            const int value = va_arg(args, int);
            if (value < 0) {
                out.put('-');
                putUnsigned(out, 0 - static_cast<uint64_t>(static_cast<int64_t>(value)), 10);
            } else {
                putUnsigned(out, static_cast<uint64_t>(value), 10);
            }
            break;
        }
        case 'u': putUnsigned(out, va_arg(args, unsigned), 10); break;
        case 'x': putUnsigned(out, va_arg(args, unsigned), 16); break;
        default:
            out.put('%');
            out.put(conversion);
            break;
        }
    }
    buffer[out.length] = '\0';
    return out.length;
}

} // namespace

uint64_t FLTSDKLogFormat(char *buffer, uint64_t capacity, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const uint64_t length = formatInto(buffer, capacity, format, args);
    va_end(args);
    return length;
}

namespace {

// The descriptor of "sdk.log", opened on first use; -1 when there is nowhere to write.
int logDescriptor()
{
    FLTContext *context = FLTContextGet();
    if (!context || !context->writable || !context->sdkLogPath)
        return -1;
    FLTWritableState *state = context->writable;
    int fd = __atomic_load_n(&state->sdkLogDescriptor, __ATOMIC_ACQUIRE);
    if (fd < 0) {
        const int opened =
            open(context->sdkLogPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (opened < 0)
            return -1;
        int expected = -1;
        if (__atomic_compare_exchange_n(&state->sdkLogDescriptor, &expected, opened, false,
                                        __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
            fd = opened;
        } else {
            close(opened);
            fd = expected;
        }
    }
    return fd;
}

} // namespace

namespace {

void writeAll(int fd, const char *line, uint64_t length)
{
    uint64_t written = 0;
    while (written < length) {
        const ssize_t n = write(fd, line + written, length - written);
        if (n <= 0)
            break;
        written += static_cast<uint64_t>(n);
    }
}

// Writes the line when the log stays within `limit`; the first line refused for that limit is
// replaced by a note. Concurrent writers may overshoot the limit by a few lines, never more.
void writeWithin(const char *line, uint64_t length, uint64_t limit, const char *note)
{
    FLTContext *context = FLTContextGet();
    if (!context || !context->writable || !line)
        return;
    uint64_t *bytes = &context->writable->sdkLogBytes;
    const uint64_t before = __atomic_load_n(bytes, __ATOMIC_RELAXED);
    if (before + length > limit) {
        // The note is written once: only the writer that moves the count past the limit.
        const uint64_t noteLength = strlen(note);
        uint64_t expected = before;
        if (before <= limit
            && __atomic_compare_exchange_n(bytes, &expected, limit + 1, false, __ATOMIC_RELAXED,
                                           __ATOMIC_RELAXED)) {
            if (const int fd = logDescriptor(); fd >= 0)
                writeAll(fd, note, noteLength);
        }
        return;
    }
    const int fd = logDescriptor();
    if (fd < 0)
        return;
    __atomic_fetch_add(bytes, length, __ATOMIC_RELAXED);
    writeAll(fd, line, length);
}

constexpr const char kDetailNote[] =
    "WARN  [FLTSDKLog:0] Log size limit reached: DEBUG and INFO lines are no longer written\n";
constexpr const char kLimitNote[] =
    "WARN  [FLTSDKLog:0] Log size limit reached: no further lines are written\n";

} // namespace

void FLTSDKLogWriteLine(const char *line, uint64_t length)
{
    writeWithin(line, length, kFLTSDKLogLimit, kLimitNote);
}

void FLTSDKLog(int level, const char *format, ...)
{
    FLTContext *context = FLTContextGet();
    if (!context || !context->writable || !context->sdkLogPath)
        return;
    if (level < __atomic_load_n(&context->writable->logThreshold, __ATOMIC_RELAXED))
        return;
    char line[kLineCapacity];
    va_list args;
    va_start(args, format);
    const uint64_t length = formatInto(line, sizeof line, format, args);
    va_end(args);
    if (level < FLTLogLevelWarn)
        writeWithin(line, length, kFLTSDKLogDetailLimit, kDetailNote);
    else
        writeWithin(line, length, kFLTSDKLogLimit, kLimitNote);
}
