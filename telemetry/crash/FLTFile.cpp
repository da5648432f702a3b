#include "FLTFile.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<FLTFileLogSink> g_logSink{nullptr};
std::atomic<FLTFileWriteOperation> g_writeFunction{nullptr};

constexpr int kMaximumWriteCalls = 50;
const char kHexDigits[] = "0123456789abcdef";

// A log line assembled on the stack: no allocation, no stdio.
class LogLine
{
public:
    LogLine(const char *level, const char *function, int line)
    {
        append(level);
        append(" [");
        append(function);
        append(":");
        appendSigned(line);
        append("] ");
    }
    LogLine &append(const char *text)
    {
        if (!text)
            text = "(null)";
        while (*text && m_length < sizeof m_buffer - 2)
            m_buffer[m_length++] = *text++;
        return *this;
    }
    LogLine &appendSigned(long long value)
    {
        char digits[21];
        if (value < 0) {
            append("-");
            const int first =
                FLTFileFormatUInt64(digits, 0 - static_cast<std::uint64_t>(value), false);
            return append(digits + first);
        }
        const int first = FLTFileFormatUInt64(digits, static_cast<std::uint64_t>(value), false);
        return append(digits + first);
    }
    LogLine &appendUnsigned(std::uint64_t value)
    {
        char digits[21];
        return append(digits + FLTFileFormatUInt64(digits, value, false));
    }
    void emit()
    {
        m_buffer[m_length++] = '\n';
        if (FLTFileLogSink sink = g_logSink.load()) {
            sink(m_buffer, m_length);
            return;
        }
        const ssize_t ignored = ::write(STDERR_FILENO, m_buffer, m_length);
        (void)ignored;
    }

private:
    char m_buffer[512];
    std::size_t m_length = 0;
};

#define FLT_LOG(level) LogLine(level, __func__, __LINE__)

// strerror is not async-signal-safe everywhere; a few names cover what writes report.
const char *errorText(int error)
{
    switch (error) {
    case EBADF: return "Bad file descriptor";
    case EINTR: return "Interrupted system call";
    case EIO: return "Input/output error";
    case ENOSPC: return "No space left on device";
    case EDQUOT: return "Disk quota exceeded";
    case EFBIG: return "File too large";
    case EPIPE: return "Broken pipe";
    case EACCES: return "Permission denied";
    case ENOENT: return "No such file or directory";
    case EISDIR: return "Is a directory";
    case EROFS: return "Read-only file system";
    default: return "Unknown error";
    }
}

ssize_t systemWrite(int descriptor, const void *bytes, std::size_t length)
{
    if (FLTFileWriteOperation write = g_writeFunction.load())
        return write(descriptor, bytes, length);
    return ::write(descriptor, bytes, length);
}

void writeUnbuffered(FLTFile *file, const void *bytes, std::size_t length)
{
    if (FLTFileLoopWithWriteBlock(file->descriptor, bytes, length, FLTFileWriteWithRetries))
        file->offset += length;
    else
        file->needsLineBreak = true;
}

void writeSeparatorIfNeeded(FLTFile *file)
{
    if (file->needsSeparator)
        FLTFileWriteBytes(file, ",", 1);
}

// Length of the well-formed UTF-8 sequence at `bytes` (at most `length` bytes), or 0 when the
// first byte does not start one. Well-formed as JSON readers take it: no overlong forms, no
// surrogates, nothing above U+10FFFF. Signal-safe.
std::size_t utf8SequenceLength(const unsigned char *bytes, std::size_t length)
{
    const unsigned char first = bytes[0];
    if (first < 0x80)
        return 1;
    std::size_t count = 0;
    unsigned char low = 0x80; // bounds of the second byte (Unicode table 3-7)
    unsigned char high = 0xbf;
    if (first >= 0xc2 && first <= 0xdf) {
        count = 2;
    } else if (first >= 0xe0 && first <= 0xef) {
        count = 3;
        if (first == 0xe0)
            low = 0xa0;
        else if (first == 0xed)
            high = 0x9f;
    } else if (first >= 0xf0 && first <= 0xf4) {
        count = 4;
        if (first == 0xf0)
            low = 0x90;
        else if (first == 0xf4)
            high = 0x8f;
    } else {
        return 0;
    }
    if (length < count || bytes[1] < low || bytes[1] > high)
        return 0;
    for (std::size_t i = 2; i < count; ++i)
        if (bytes[i] < 0x80 || bytes[i] > 0xbf)
            return 0;
    return count;
}

// Escape of the text at `bytes` inside a raw string, or null when it goes out unchanged; `span`
// is set to the number of bytes that the answer covers. A byte that is not part of well-formed
// UTF-8 (a name cut in the middle of a character, a path in another encoding) is written as the
// code point of the same number, so the line stays valid JSON. Signal-safe.
const char *escapeAt(const char *bytes, std::size_t length, char scratch[7], std::size_t *span)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    const unsigned char c = p[0];
    *span = 1;
    if (c == '"')
        return "\\\"";
    if (c == '\\')
        return "\\\\";
    if (c >= 0x20 && c < 0x7f)
        return nullptr;
    if (c >= 0x80) {
        const std::size_t sequence = utf8SequenceLength(p, length);
        if (sequence > 0) {
            *span = sequence;
            return nullptr;
        }
    }
    scratch[0] = '\\';
    scratch[1] = 'u';
    scratch[2] = '0';
    scratch[3] = '0';
    scratch[4] = kHexDigits[c >> 4];
    scratch[5] = kHexDigits[c & 0xf];
    scratch[6] = '\0';
    return scratch;
}

} // namespace

bool FLTFileInitWithPathMode(FLTFile *file, const char *path, bool append, bool buffered)
{
    if (!file) {
        FLT_LOG("WARN ").append("Error: file is null").emit();
        return false;
    }
    *file = FLTFile{};
    int descriptor = -1;
    if (path) {
        // Rewriting from the start (the next launch's companion files) never follows a link: a
        // report folder cannot make it write outside itself.
        const int flags =
            O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC | O_NOFOLLOW);
        do {
            descriptor = ::open(path, flags, 0644);
        } while (descriptor < 0 && errno == EINTR);
        if (descriptor < 0)
            FLT_LOG("WARN ")
                .append("Error: Unable to open file ")
                .append(path)
                .append(" (")
                .append(errorText(errno))
                .append(")")
                .emit();
    }
    if (descriptor < 0) {
        FLT_LOG("WARN ").append("Error: file descriptor invalid").emit();
        return false;
    }
    file->descriptor = descriptor;
    file->buffered = buffered;
    if (buffered) {
        file->buffer = static_cast<char *>(std::calloc(kFLTFileBufferSize, 1));
        if (!file->buffer)
            file->buffered = false;
    }
    if (append) {
        struct stat st {
        };
        if (::fstat(descriptor, &st) == 0 && st.st_size > 0)
            file->offset = static_cast<std::uint64_t>(st.st_size);
    }
    return true;
}

bool FLTFileInitWithPath(FLTFile *file, const char *path, bool buffered)
{
    return FLTFileInitWithPathMode(file, path, true, buffered);
}

bool FLTFileCloseWithOffset(FLTFile *file, std::uint64_t *offset)
{
    if (!file)
        return false;
    if (file->buffered && file->buffer) {
        FLTFileFlushWriteBuffer(file);
        std::free(file->buffer);
        file->buffer = nullptr;
        file->buffered = false;
    }
    if (offset)
        *offset = file->offset;
    if (::close(file->descriptor) != 0 && errno != EINTR) {
        // EINTR still releases the descriptor on Linux; anything else is a real failure.
        FLT_LOG("WARN ").append("Error: Unable to close file ").append(errorText(errno)).emit();
        return false;
    }
    *file = FLTFile{};
    file->descriptor = -1;
    return true;
}

bool FLTFileClose(FLTFile *file)
{
    return FLTFileCloseWithOffset(file, nullptr);
}

bool FLTFileIsOpen(const FLTFile *file)
{
    return file && file->descriptor >= 0;
}

void FLTFileWriteSectionStart(FLTFile *file, const char *name)
{
    if (file && file->needsLineBreak) {
        // Close off whatever a failed write left, so this line starts clean.
        file->needsLineBreak = false;
        file->depth = 0;
        file->needsSeparator = false;
        FLTFileWriteBytes(file, "\n", 1);
    }
    FLTFileWriteCollectionStart(file, '{');
    FLTFileWriteHashKey(file, name);
}

void FLTFileWriteSectionEnd(FLTFile *file)
{
    FLTFileWriteCollectionEnd(file, '}');
    FLTFileWriteBytes(file, "\n", 1);
}

void FLTFileWriteHashStart(FLTFile *file)
{
    FLTFileWriteCollectionStart(file, '{');
}

void FLTFileWriteHashEnd(FLTFile *file)
{
    FLTFileWriteCollectionEnd(file, '}');
}

void FLTFileWriteArrayStart(FLTFile *file)
{
    FLTFileWriteCollectionStart(file, '[');
}

void FLTFileWriteArrayEnd(FLTFile *file)
{
    FLTFileWriteCollectionEnd(file, ']');
}

void FLTFileWriteCollectionStart(FLTFile *file, char bracket)
{
    if (!file)
        return;
    writeSeparatorIfNeeded(file);
    FLTFileWriteBytes(file, &bracket, 1);
    file->depth += 1;
    file->needsSeparator = false;
}

void FLTFileWriteCollectionEnd(FLTFile *file, char bracket)
{
    if (!file)
        return;
    FLTFileWriteBytes(file, &bracket, 1);
    if (file->depth > 0) {
        const std::int32_t before = file->depth;
        file->depth -= 1;
        file->needsSeparator = before > 1;
    }
}

void FLTFileWriteHashKey(FLTFile *file, const char *key)
{
    if (!file)
        return;
    writeSeparatorIfNeeded(file);
    FLTFileWriteQuotedBytes(file, key ? key : "", key ? std::strlen(key) : 0, true);
    file->needsSeparator = false;
}

void FLTFileWriteHashEntryUInt64(FLTFile *file, const char *key, std::uint64_t value)
{
    if (!file)
        return;
    FLTFileWriteHashKey(file, key);
    FLTFileWriteUInt64(file, value, false);
    file->needsSeparator = true;
}

void FLTFileWriteHashEntryInt64(FLTFile *file, const char *key, std::int64_t value)
{
    if (!file)
        return;
    FLTFileWriteHashKey(file, key);
    FLTFileWriteInt64(file, value);
    file->needsSeparator = true;
}

void FLTFileWriteHashEntryBoolean(FLTFile *file, const char *key, bool value)
{
    if (!file)
        return;
    FLTFileWriteHashKey(file, key);
    if (value)
        FLTFileWriteBytes(file, "true", 4);
    else
        FLTFileWriteBytes(file, "false", 5);
    file->needsSeparator = true;
}

void FLTFileWriteHashEntryString(FLTFile *file, const char *key, const char *text)
{
    if (!file)
        return;
    FLTFileWriteHashKey(file, key);
    FLTFileWriteString(file, text);
    file->needsSeparator = true;
}

void FLTFileWriteHashEntryNSString(FLTFile *file, const char *key, const std::string *string)
{
    if (!file)
        return;
    FLTFileWriteHashKey(file, key);
    if (string)
        FLTFileWriteQuotedBytes(file, string->data(), string->size(), false);
    else
        FLTFileWriteBytes(file, "null", 4);
    file->needsSeparator = true;
}

void FLTFileWriteHashEntryNonEmptyNSString(FLTFile *file, const char *key,
                                           const std::string *string)
{
    if (!string || string->empty())
        return;
    FLTFileWriteHashEntryNSString(file, key, string);
}

void FLTFileWriteHashEntryHexEncodedString(FLTFile *file, const char *key, const char *text)
{
    if (!file)
        return;
    FLTFileWriteHashKey(file, key);
    FLTFileWriteHexEncodedString(file, text);
    file->needsSeparator = true;
}

void FLTFileWriteArrayEntryUInt64(FLTFile *file, std::uint64_t value)
{
    if (!file)
        return;
    writeSeparatorIfNeeded(file);
    FLTFileWriteUInt64(file, value, false);
    file->needsSeparator = true;
}

void FLTFileWriteArrayEntryString(FLTFile *file, const char *text)
{
    if (!file)
        return;
    writeSeparatorIfNeeded(file);
    FLTFileWriteString(file, text);
    file->needsSeparator = true;
}

void FLTFileWriteArrayEntryHexEncodedString(FLTFile *file, const char *text)
{
    if (!file)
        return;
    writeSeparatorIfNeeded(file);
    FLTFileWriteHexEncodedString(file, text);
    file->needsSeparator = true;
}

void FLTFileWriteBytes(FLTFile *file, const void *bytes, std::size_t length)
{
    if (!file || !bytes || length == 0)
        return;
    if (!file->buffered || !file->buffer) {
        writeUnbuffered(file, bytes, length);
        return;
    }
    const auto *in = static_cast<const char *>(bytes);
    std::size_t remaining = length;
    while (file->bufferedLength + remaining >= kFLTFileBufferSize) {
        const std::size_t chunk = kFLTFileBufferSize - 1 - file->bufferedLength;
        std::memcpy(file->buffer + file->bufferedLength, in, chunk);
        file->bufferedLength += chunk;
        file->buffer[file->bufferedLength] = '\0';
        FLTFileFlushWriteBuffer(file);
        in += chunk;
        remaining -= chunk;
    }
    std::memcpy(file->buffer + file->bufferedLength, in, remaining);
    file->bufferedLength += remaining;
    file->buffer[file->bufferedLength] = '\0';
}

void FLTFileWriteQuotedBytes(FLTFile *file, const char *bytes, std::size_t length, bool withColon)
{
    if (!file)
        return;
    // Short strings without anything to escape go out in one write.
    bool plain = true;
    for (std::size_t i = 0, span = 0; i < length && plain; i += span) {
        char scratch[7];
        plain = escapeAt(bytes + i, length - i, scratch, &span) == nullptr;
    }
    if (plain && ((withColon && length < 12) || (!withColon && length < 13))) {
        char local[16];
        std::size_t n = 0;
        local[n++] = '"';
        std::memcpy(local + n, bytes, length);
        n += length;
        local[n++] = '"';
        if (withColon)
            local[n++] = ':';
        FLTFileWriteBytes(file, local, n);
        return;
    }
    FLTFileWriteBytes(file, "\"", 1);
    std::size_t runStart = 0;
    for (std::size_t i = 0, span = 0; i < length; i += span) {
        char scratch[7];
        const char *escape = escapeAt(bytes + i, length - i, scratch, &span);
        if (!escape)
            continue;
        FLTFileWriteBytes(file, bytes + runStart, i - runStart);
        FLTFileWriteBytes(file, escape, std::strlen(escape));
        runStart = i + span;
    }
    FLTFileWriteBytes(file, bytes + runStart, length - runStart);
    FLTFileWriteBytes(file, withColon ? "\":" : "\"", withColon ? 2 : 1);
}

void FLTFileWriteString(FLTFile *file, const char *text)
{
    if (!text) {
        FLTFileWriteBytes(file, "null", 4);
        return;
    }
    FLTFileWriteQuotedBytes(file, text, std::strlen(text), false);
}

void FLTFileWriteHexEncodedString(FLTFile *file, const char *text)
{
    if (!text) {
        FLTFileWriteBytes(file, "null", 4);
        return;
    }
    FLTFileWriteBytes(file, "\"", 1);
    char local[32];
    std::size_t used = 0;
    for (const auto *p = reinterpret_cast<const unsigned char *>(text); *p; ++p) {
        local[used++] = kHexDigits[*p >> 4];
        local[used++] = kHexDigits[*p & 0xf];
        if (used == sizeof local) {
            FLTFileWriteBytes(file, local, used);
            used = 0;
        }
    }
    FLTFileWriteBytes(file, local, used);
    FLTFileWriteBytes(file, "\"", 1);
}

int FLTFileFormatUInt64(char buffer[21], std::uint64_t value, bool hexadecimal)
{
    std::memset(buffer, 0, 21);
    const unsigned base = hexadecimal ? 16 : 10;
    int index = 20; // buffer[20] stays the terminating zero
    do {
        buffer[--index] = kHexDigits[value % base];
        value /= base;
    } while (value != 0 && index > 0);
    return index;
}

void FLTFileWriteUInt64(FLTFile *file, std::uint64_t value, bool hexadecimal)
{
    char buffer[21];
    const int first = FLTFileFormatUInt64(buffer, value, hexadecimal);
    FLTFileWriteBytes(file, buffer + first, static_cast<std::size_t>(20 - first));
}

void FLTFileWriteInt64(FLTFile *file, std::int64_t value)
{
    if (value < 0) {
        FLTFileWriteBytes(file, "-", 1);
        FLTFileWriteUInt64(file, 0 - static_cast<std::uint64_t>(value), false);
        return;
    }
    FLTFileWriteUInt64(file, static_cast<std::uint64_t>(value), false);
}

void FLTFileFlushWriteBuffer(FLTFile *file)
{
    if (!file || !file->buffer || file->bufferedLength == 0)
        return;
    const std::size_t length = static_cast<std::size_t>(file->bufferedLength);
    writeUnbuffered(file, file->buffer, length);
    // Bytes of a failed flush are dropped; the next write tries afresh.
    file->bufferedLength = 0;
    file->buffer[0] = '\0';
}

bool FLTFileLoopWithWriteBlock(int descriptor, const void *bytes, std::size_t length,
                               FLTFileWriteOperation write)
{
    const auto *p = static_cast<const char *>(bytes);
    std::size_t remaining = length;
    for (int calls = 0; calls < kMaximumWriteCalls; ++calls) {
        errno = 0;
        const ssize_t result = write(descriptor, p, remaining);
        if (result == static_cast<ssize_t>(remaining))
            return true;
        if (result > static_cast<ssize_t>(remaining)) {
            FLT_LOG("ERROR")
                .append("Error: length doesn't make sense (")
                .appendSigned(result)
                .append(", ")
                .appendUnsigned(remaining)
                .append(")")
                .emit();
            return false;
        }
        if (result < 0 && errno == EINTR)
            continue; // a signal arrived mid-write: try again
        if (result <= 0)
            break;
        p += result;
        remaining -= static_cast<std::size_t>(result);
    }
    FLT_LOG("ERROR").append("Error: exited write loop without success").emit();
    return false;
}

ssize_t FLTFileWriteWithRetries(int descriptor, const void *bytes, std::size_t length)
{
    errno = 0;
    const ssize_t result = systemWrite(descriptor, bytes, length);
    if (result < 0) {
        const int error = errno;
        FLT_LOG("ERROR").append("Failed to write: ").append(errorText(error)).emit();
        errno = error;
    }
    return result;
}

void FLTSafeWriteUInt64(int descriptor, std::uint64_t value, bool hexadecimal)
{
    char buffer[21];
    const int first = FLTFileFormatUInt64(buffer, value, hexadecimal);
    FLTFileLoopWithWriteBlock(descriptor, buffer + first, static_cast<std::size_t>(20 - first),
                              FLTFileWriteWithRetries);
}

void FLTSafeWriteInt64(int descriptor, std::int64_t value)
{
    if (value < 0) {
        FLTFileLoopWithWriteBlock(descriptor, "-", 1, FLTFileWriteWithRetries);
        FLTSafeWriteUInt64(descriptor, 0 - static_cast<std::uint64_t>(value), false);
        return;
    }
    FLTSafeWriteUInt64(descriptor, static_cast<std::uint64_t>(value), false);
}

std::string FLTFileHexDecodeString(const std::string &text)
{
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const int high = digit(text[i]);
        const int low = digit(text[i + 1]);
        if (high < 0 || low < 0)
            break;
        const char byte = static_cast<char>(high * 16 + low);
        if (byte == '\0')
            break;
        out.push_back(byte);
    }
    return out;
}

std::optional<std::vector<nlohmann::json>>
FLTFileReadSections(const char *path, bool deleteIfUnreadable,
                    const FLTFileSectionTransform &transform)
{
    if (!path) {
        FLT_LOG("ERROR").append("Error: input path is invalid").emit();
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    if (in)
        contents << in.rdbuf();
    if (!in) {
        if (deleteIfUnreadable)
            ::unlink(path);
        FLT_LOG("WARN ").append("Unable to read file ").append(path).emit();
        return std::nullopt;
    }
    // Lines are parsed one by one from the raw bytes, so a bad byte costs its own line only.
    const std::string text = contents.str();
    std::vector<nlohmann::json> sections;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (line.empty())
            continue;
        // The writer writes integers of at most 64 bits only: a fraction, an exponent or a number
        // beyond 64 bits is damage, and such a line is refused like one that does not parse.
        bool damagedNumber = false;
        nlohmann::json parsed = nlohmann::json::parse(
            line,
            [&damagedNumber](int, nlohmann::json::parse_event_t event, nlohmann::json &value) {
                if (event == nlohmann::json::parse_event_t::value && value.is_number_float())
                    damagedNumber = true;
                return true;
            },
            false);
        if (parsed.is_discarded() || damagedNumber)
            continue;
        if (transform) {
            std::optional<nlohmann::json> replaced = transform(std::move(parsed));
            if (!replaced)
                continue;
            parsed = std::move(*replaced);
        }
        sections.push_back(std::move(parsed));
    }
    return sections;
}

void FLTFileSetLogSink(FLTFileLogSink sink)
{
    g_logSink.store(sink);
}

void FLTFileSetWriteFunctionForTesting(FLTFileWriteOperation write)
{
    g_writeFunction.store(write);
}
