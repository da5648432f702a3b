#pragma once

// Crash-safe record files (".fltrecord"): one JSON object per line, each with exactly one
// member (the section), no whitespace. Keys and SDK strings are written raw between quotes;
// user and exception text is written as quoted lower-case hexadecimal of its UTF-8 bytes.
//
// The writer is meant for signal handlers: once a record is open it takes no lock, allocates
// nothing, formats numbers itself and issues only write/fstat/close. Every write and structure
// operation below is safe to call from a signal handler on an unbuffered record. Opening a
// buffered record allocates its buffer; closing it frees it (not signal-safe).
// A record (FLTFile) is used by one thread at a time.
//
// Raw strings are JSON-escaped on the way out ('"', '\\' and control bytes), and every byte that is
// not part of well-formed UTF-8 is written as the code point of the same number (0xff becomes
// \u00ff), so a path or a thread name holding such bytes still gives a line that parses; ordinary
// text, UTF-8 included, is unchanged.

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct FLTFile {
    std::int32_t descriptor = -1;
    std::int32_t depth = 0;
    bool needsSeparator = false;
    bool buffered = false;
    char *buffer = nullptr; // 1000 bytes when buffered, NUL-terminated contents
    std::uint64_t bufferedLength = 0;
    std::uint64_t offset = 0;
    // A write failed part-way: the next section starts on a fresh line, so the torn line is
    // the only one lost.
    bool needsLineBreak = false;
};

constexpr std::size_t kFLTFileBufferSize = 1000;

// Opening and closing.
bool FLTFileInitWithPathMode(FLTFile *file, const char *path, bool append, bool buffered);
bool FLTFileInitWithPath(FLTFile *file, const char *path, bool buffered);
bool FLTFileCloseWithOffset(FLTFile *file, std::uint64_t *offset);
bool FLTFileClose(FLTFile *file);
bool FLTFileIsOpen(const FLTFile *file);

// Structure.
void FLTFileWriteSectionStart(FLTFile *file, const char *name);
void FLTFileWriteSectionEnd(FLTFile *file);
void FLTFileWriteHashStart(FLTFile *file);
void FLTFileWriteHashEnd(FLTFile *file);
void FLTFileWriteArrayStart(FLTFile *file);
void FLTFileWriteArrayEnd(FLTFile *file);
void FLTFileWriteCollectionStart(FLTFile *file, char bracket);
void FLTFileWriteCollectionEnd(FLTFile *file, char bracket);
void FLTFileWriteHashKey(FLTFile *file, const char *key);

// Members.
void FLTFileWriteHashEntryUInt64(FLTFile *file, const char *key, std::uint64_t value);
void FLTFileWriteHashEntryInt64(FLTFile *file, const char *key, std::int64_t value);
void FLTFileWriteHashEntryBoolean(FLTFile *file, const char *key, bool value);
// Raw string; null writes null.
void FLTFileWriteHashEntryString(FLTFile *file, const char *key, const char *text);
// String object (null = absent, written as null). Not signal-safe only in that the caller
// holds a std::string; the write itself allocates nothing.
void FLTFileWriteHashEntryNSString(FLTFile *file, const char *key, const std::string *string);
// Nothing at all when the string is absent or empty.
void FLTFileWriteHashEntryNonEmptyNSString(FLTFile *file, const char *key,
                                           const std::string *string);
void FLTFileWriteHashEntryHexEncodedString(FLTFile *file, const char *key, const char *text);
void FLTFileWriteArrayEntryUInt64(FLTFile *file, std::uint64_t value);
void FLTFileWriteArrayEntryString(FLTFile *file, const char *text);
void FLTFileWriteArrayEntryHexEncodedString(FLTFile *file, const char *text);

// Lower layers.
void FLTFileWriteBytes(FLTFile *file, const void *bytes, std::size_t length);
// A quoted (escaped) string, followed by ':' when `withColon`.
void FLTFileWriteQuotedBytes(FLTFile *file, const char *bytes, std::size_t length, bool withColon);
// Raw string: quoted, or null without quotes.
void FLTFileWriteString(FLTFile *file, const char *text);
// Hex string: quoted hex digits, or null without quotes.
void FLTFileWriteHexEncodedString(FLTFile *file, const char *text);
void FLTFileWriteUInt64(FLTFile *file, std::uint64_t value, bool hexadecimal);
void FLTFileWriteInt64(FLTFile *file, std::int64_t value);
// Digits of `value` at the end of a zeroed 21-byte buffer; answers the index of the first.
int FLTFileFormatUInt64(char buffer[21], std::uint64_t value, bool hexadecimal);
void FLTFileFlushWriteBuffer(FLTFile *file);

using FLTFileWriteOperation = ssize_t (*)(int descriptor, const void *bytes, std::size_t length);
// Calls `write` with the remaining range until everything is written: at most 50 calls, and a
// call that writes nothing or fails (other than by interruption) ends it. Answers success.
bool FLTFileLoopWithWriteBlock(int descriptor, const void *bytes, std::size_t length,
                               FLTFileWriteOperation write);
// One write call (errno cleared first); a failure is logged.
ssize_t FLTFileWriteWithRetries(int descriptor, const void *bytes, std::size_t length);
void FLTSafeWriteUInt64(int descriptor, std::uint64_t value, bool hexadecimal);
void FLTSafeWriteInt64(int descriptor, std::int64_t value);

// Decodes hexadecimal text (two digits per byte, either case) up to the first pair that is not
// hexadecimal; an odd last digit is ignored; the result ends at the first zero byte.
std::string FLTFileHexDecodeString(const std::string &text);

// Reads a record file back: every line that parses as JSON, in file order (lines cut short by
// a crash, and any other unparseable line, are skipped). A transform may replace or (by
// answering nothing) drop each parsed line. Nothing when the file cannot be read; the file is
// then deleted when asked. Not signal-safe.
using FLTFileSectionTransform = std::function<std::optional<nlohmann::json>(nlohmann::json)>;
std::optional<std::vector<nlohmann::json>>
FLTFileReadSections(const char *path, bool deleteIfUnreadable,
                    const FLTFileSectionTransform &transform = {});

// Where the record writer's warnings go (one formatted line each, "WARN  [func:line] ...\n").
// The default writes to standard error. The sink is called from crash-time code: it must be
// safe to call from a signal handler.
using FLTFileLogSink = void (*)(const char *line, std::size_t length);
void FLTFileSetLogSink(FLTFileLogSink sink);

// Replaces the system write call (tests that count or fail writes); null restores it.
void FLTFileSetWriteFunctionForTesting(FLTFileWriteOperation write);
