#include "common/Bytes.h"
#include "common/ChildProcess.h"
#include "common/TestEnvironment.h"
#include "telemetry/crash/FLTFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

using qnt::test::hexOf;

namespace {

// A path in this process's folder where nothing is yet: what an earlier test, or an earlier
// repeat of the same one, left under that name is removed.
std::string tempPath(const std::string &name)
{
    const fs::path dir = fs::path(qnt::test::isolatedHome()) / "records";
    fs::create_directories(dir);
    fs::remove_all(dir / name);
    return (dir / name).string();
}

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Every line of the file through Python's json module; answers its re-serialised lines.
std::string parseWithPython(const std::string &path)
{
    const std::string script = "import json,sys\n"
                               "for line in open(sys.argv[1],'rb').read().split(b'\\n'):\n"
                               "    if line: print(json.dumps(json.loads(line), sort_keys=True))\n";
    const std::string scriptPath = tempPath("parse.py");
    std::ofstream(scriptPath) << script;
    qnt::test::ChildOptions options;
    options.standardError = qnt::test::ChildOptions::StandardError::Merged;
    const qnt::test::ChildResult result =
        qnt::test::runChild({"python3", scriptPath, path}, options);
    return result.output + "status=" + std::to_string(result.exitCode) + "\n";
}

std::vector<std::size_t> g_writeSizes;
int g_writeCalls = 0;

ssize_t countingWrite(int fd, const void *bytes, size_t length)
{
    g_writeSizes.push_back(length);
    return ::write(fd, bytes, length);
}

ssize_t zeroWrite(int, const void *, size_t)
{
    ++g_writeCalls;
    return 0;
}

ssize_t oneByteWrite(int, const void *, size_t)
{
    ++g_writeCalls;
    return 1;
}

int g_interruptions = 0;

ssize_t interruptedOnceWrite(int fd, const void *bytes, size_t length)
{
    ++g_writeCalls;
    if (g_interruptions > 0) {
        --g_interruptions;
        errno = EINTR;
        return -1;
    }
    return ::write(fd, bytes, length);
}

class SilentLog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FLTFileSetLogSink([](const char *, std::size_t) {});
    }
    void TearDown() override
    {
        FLTFileSetLogSink(nullptr);
        FLTFileSetWriteFunctionForTesting(nullptr);
    }
};

using FLTFileRecord = SilentLog;

} // namespace

TEST_F(FLTFileRecord, WritesTheDocumentedShapes)
{
    const std::string path = tempPath("shapes.fltrecord");
    FLTFile file;
    ASSERT_TRUE(FLTFileInitWithPathMode(&file, path.c_str(), false, false));
    FLTFileWriteSectionStart(&file, "storage");
    FLTFileWriteHashStart(&file);
    FLTFileWriteHashEnd(&file);
    FLTFileWriteSectionEnd(&file);

    FLTFileWriteSectionStart(&file, "mach_exception");
    FLTFileWriteHashStart(&file);
    FLTFileWriteHashEntryUInt64(&file, "exception", 1);
    FLTFileWriteHashKey(&file, "codes");
    FLTFileWriteArrayStart(&file);
    FLTFileWriteArrayEntryUInt64(&file, 1);
    FLTFileWriteArrayEntryUInt64(&file, 2);
    FLTFileWriteArrayEnd(&file);
    FLTFileWriteHashEntryString(&file, "name", "EXC_BAD_ACCESS");
    FLTFileWriteHashEntryString(&file, "code_name", nullptr);
    FLTFileWriteHashEnd(&file);
    FLTFileWriteSectionEnd(&file);

    FLTFileWriteSectionStart(&file, "log");
    FLTFileWriteHashStart(&file);
    FLTFileWriteHashEntryHexEncodedString(&file, "msg", "abc");
    FLTFileWriteHashEntryHexEncodedString(&file, "none", nullptr);
    FLTFileWriteHashEntryUInt64(&file, "zero", 0);
    FLTFileWriteHashEntryUInt64(&file, "max", std::numeric_limits<std::uint64_t>::max());
    FLTFileWriteHashEntryInt64(&file, "min", std::numeric_limits<std::int64_t>::min());
    FLTFileWriteHashEntryInt64(&file, "minus", -1);
    FLTFileWriteHashEntryBoolean(&file, "yes", true);
    const std::string empty;
    FLTFileWriteHashEntryNonEmptyNSString(&file, "skipped", &empty);
    FLTFileWriteHashEntryNonEmptyNSString(&file, "skipped2", nullptr);
    FLTFileWriteHashEnd(&file);
    FLTFileWriteSectionEnd(&file);
    std::uint64_t offset = 0;
    ASSERT_TRUE(FLTFileCloseWithOffset(&file, &offset));
    EXPECT_EQ(file.descriptor, -1);

    const std::string expected =
        "{\"storage\":{}}\n"
        "{\"mach_exception\":{\"exception\":1,\"codes\":[1,2],\"name\":\"EXC_BAD_ACCESS\","
        "\"code_name\":null}}\n"
        "{\"log\":{\"msg\":\"616263\",\"none\":null,\"zero\":0,\"max\":18446744073709551615,"
        "\"min\":-9223372036854775808,\"minus\":-1,\"yes\":true}}\n";
    EXPECT_EQ(readAll(path), expected);
    EXPECT_EQ(offset, expected.size());
}

TEST_F(FLTFileRecord, RandomNestedRecordsRoundTripThroughTwoParsers)
{
    const std::string path = tempPath("random.fltrecord");
    FLTFile file;
    ASSERT_TRUE(FLTFileInitWithPath(&file, path.c_str(), true));
    std::mt19937_64 random(42);
    std::vector<nlohmann::json> expected;
    for (int line = 0; line < 400; ++line) {
        nlohmann::json section = nlohmann::json::object();
        FLTFileWriteSectionStart(&file, "section");
        FLTFileWriteHashStart(&file);
        const std::uint64_t u =
            random() % 3 == 0 ? std::numeric_limits<std::uint64_t>::max() : random();
        const std::int64_t i = random() % 3 == 0 ? std::numeric_limits<std::int64_t>::min()
                                                 : static_cast<std::int64_t>(random());
        FLTFileWriteHashEntryUInt64(&file, "u", u);
        FLTFileWriteHashEntryInt64(&file, "i", i);
        section["u"] = u;
        section["i"] = i;
        std::string bytes;
        const std::size_t length = 1 + random() % 80;
        for (std::size_t k = 0; k < length; ++k)
            bytes.push_back(static_cast<char>(1 + random() % 255)); // any byte but NUL
        FLTFileWriteHashEntryHexEncodedString(&file, "text", bytes.c_str());
        section["text"] = hexOf(bytes);
        FLTFileWriteHashEntryString(&file, "nothing", nullptr);
        section["nothing"] = nullptr;
        const std::string awkward = "quote \" back \\ tab \t end";
        FLTFileWriteHashEntryString(&file, "raw", awkward.c_str());
        section["raw"] = awkward;
        FLTFileWriteHashKey(&file, "nested");
        FLTFileWriteArrayStart(&file);
        nlohmann::json nested = nlohmann::json::array();
        const int members = static_cast<int>(random() % 4);
        for (int m = 0; m < members; ++m) {
            FLTFileWriteHashStart(&file);
            FLTFileWriteHashEntryUInt64(&file, "pc", m);
            FLTFileWriteHashKey(&file, "stack");
            FLTFileWriteArrayStart(&file);
            FLTFileWriteArrayEntryUInt64(&file, 7);
            FLTFileWriteArrayEntryString(&file, nullptr);
            FLTFileWriteArrayEntryHexEncodedString(&file, "x");
            FLTFileWriteArrayEnd(&file);
            FLTFileWriteHashEntryBoolean(&file, "crashed", false);
            FLTFileWriteHashEnd(&file);
            nested.push_back({{"pc", m}, {"stack", {7, nullptr, "78"}}, {"crashed", false}});
        }
        FLTFileWriteArrayEnd(&file);
        section["nested"] = nested;
        FLTFileWriteHashEntryBoolean(&file, "last", true);
        section["last"] = true;
        FLTFileWriteHashEnd(&file);
        FLTFileWriteSectionEnd(&file);
        expected.push_back({{"section", section}});
    }
    ASSERT_TRUE(FLTFileClose(&file));

    const auto sections = FLTFileReadSections(path.c_str(), false);
    ASSERT_TRUE(sections);
    ASSERT_EQ(sections->size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k)
        ASSERT_EQ((*sections)[k], expected[k]) << k;
    for (const auto &section : *sections)
        EXPECT_EQ(FLTFileHexDecodeString(section["section"]["text"].get<std::string>()).size() * 2,
                  section["section"]["text"].get<std::string>().size());

    // An outside parser agrees, line by line.
    const std::string python = parseWithPython(path);
    std::istringstream lines(python);
    std::string line;
    std::size_t index = 0;
    while (std::getline(lines, line) && line.rfind("status=", 0) != 0) {
        ASSERT_LT(index, expected.size());
        EXPECT_EQ(nlohmann::json::parse(line), expected[index]) << index;
        ++index;
    }
    EXPECT_EQ(index, expected.size());
    EXPECT_EQ(line, "status=0") << python.substr(0, 400);
}

TEST_F(FLTFileRecord, BufferedWritesGoOutIn999ByteChunks)
{
    const std::string path = tempPath("buffered.fltrecord");
    FLTFile file;
    ASSERT_TRUE(FLTFileInitWithPath(&file, path.c_str(), true));
    g_writeSizes.clear();
    FLTFileSetWriteFunctionForTesting(countingWrite);
    const std::string payload(2500, 'x');
    FLTFileWriteBytes(&file, payload.data(), payload.size());
    EXPECT_EQ(g_writeSizes, (std::vector<std::size_t>{999, 999}));
    ASSERT_TRUE(FLTFileClose(&file));
    EXPECT_EQ(g_writeSizes, (std::vector<std::size_t>{999, 999, 502}));
    EXPECT_EQ(readAll(path), payload);
}

TEST_F(FLTFileRecord, WriteLoopGivesUpOnNoProgressAndAfterFiftyCalls)
{
    g_writeCalls = 0;
    FLTFileSetWriteFunctionForTesting(zeroWrite);
    EXPECT_FALSE(FLTFileLoopWithWriteBlock(1, "abc", 3, FLTFileWriteWithRetries));
    EXPECT_EQ(g_writeCalls, 1);
    g_writeCalls = 0;
    FLTFileSetWriteFunctionForTesting(oneByteWrite);
    const std::string big(100, 'y');
    EXPECT_FALSE(FLTFileLoopWithWriteBlock(1, big.data(), big.size(), FLTFileWriteWithRetries));
    EXPECT_EQ(g_writeCalls, 50);
}

TEST_F(FLTFileRecord, InterruptedWritesAreRetried)
{
    const std::string path = tempPath("interrupted.fltrecord");
    FLTFile file;
    ASSERT_TRUE(FLTFileInitWithPath(&file, path.c_str(), false));
    g_writeCalls = 0;
    g_interruptions = 2;
    FLTFileSetWriteFunctionForTesting(interruptedOnceWrite);
    FLTFileWriteSectionStart(&file, "signal");
    FLTFileWriteHashStart(&file);
    FLTFileWriteHashEnd(&file);
    FLTFileWriteSectionEnd(&file);
    FLTFileSetWriteFunctionForTesting(nullptr);
    ASSERT_TRUE(FLTFileClose(&file));
    EXPECT_EQ(readAll(path), "{\"signal\":{}}\n");
    EXPECT_GE(g_writeCalls, 3);
}

TEST_F(FLTFileRecord, AFailedWriteCostsOnlyItsOwnLine)
{
    const std::string path = tempPath("torn.fltrecord");
    FLTFile file;
    ASSERT_TRUE(FLTFileInitWithPath(&file, path.c_str(), false));
    FLTFileWriteSectionStart(&file, "first");
    FLTFileWriteHashStart(&file);
    FLTFileWriteHashEnd(&file);
    FLTFileWriteSectionEnd(&file);
    FLTFileWriteSectionStart(&file, "torn");
    FLTFileWriteHashStart(&file);
    FLTFileSetWriteFunctionForTesting(zeroWrite);
    FLTFileWriteHashEntryUInt64(&file, "lost", 1);
    FLTFileSetWriteFunctionForTesting(nullptr);
    FLTFileWriteSectionStart(&file, "after");
    FLTFileWriteHashStart(&file);
    FLTFileWriteHashEntryUInt64(&file, "kept", 2);
    FLTFileWriteHashEnd(&file);
    FLTFileWriteSectionEnd(&file);
    ASSERT_TRUE(FLTFileClose(&file));
    const auto sections = FLTFileReadSections(path.c_str(), false);
    ASSERT_TRUE(sections);
    ASSERT_EQ(sections->size(), 2u);
    EXPECT_TRUE((*sections)[0].contains("first"));
    EXPECT_EQ((*sections)[1]["after"]["kept"], 2);
}

TEST_F(FLTFileRecord, ReaderDropsACutLastLineAndBadBytesLineByLine)
{
    const std::string path = tempPath("cut.fltrecord");
    std::ofstream(path, std::ios::binary)
        << "{\"a\":{\"n\":1}}\n"
        << "{\"b\":{\"s\":\"\xff\xfe\"}}\n" // not UTF-8: this line alone is lost
        << "{\"c\":[1,2]}\n"
        << "{\"d\":{\"n\":";
    const auto sections = FLTFileReadSections(path.c_str(), false);
    ASSERT_TRUE(sections);
    ASSERT_EQ(sections->size(), 2u);
    EXPECT_EQ((*sections)[0], nlohmann::json::parse(R"({"a":{"n":1}})"));
    EXPECT_EQ((*sections)[1], nlohmann::json::parse(R"({"c":[1,2]})"));

    const auto transformed = FLTFileReadSections(path.c_str(), false, [](nlohmann::json j) {
        return j.contains("a") ? std::optional<nlohmann::json>() : std::optional(j);
    });
    ASSERT_TRUE(transformed);
    EXPECT_EQ(transformed->size(), 1u);

    const std::string missing = tempPath("missing.fltrecord");
    EXPECT_FALSE(FLTFileReadSections(missing.c_str(), true));
    EXPECT_FALSE(FLTFileReadSections(nullptr, false));
}

TEST_F(FLTFileRecord, RawStringsThatAreNotUTF8StillGiveLinesThatParse)
{
    struct Case {
        std::string written;
        std::string read; // UTF-8 of what a JSON reader gets back
    };
    // A byte outside well-formed UTF-8 comes back as the code point of the same number.
    const Case cases[] = {
        {"worker", "worker"},
        {"caf\xc3\xa9 \xf0\x9f\x98\x80", "caf\xc3\xa9 \xf0\x9f\x98\x80"}, // well-formed: as is
        {"\xff", "\xc3\xbf"},
        {"name-cut-\xc3", "name-cut-\xc3\x83"},                   // a character torn at the end
        {"\xe2\x82", "\xc3\xa2\xc2\x82"},                         // torn three-byte character
        {"\xc0\xaf", "\xc3\x80\xc2\xaf"},                         // overlong slash
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"},             // surrogate
        {"\xf4\x90\x80\x80", "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80"}, // above U+10FFFF
        {"\xf5", "\xc3\xb5"},
        {"a\"b\\c\x01\xfe", "a\"b\\c\x01\xc3\xbe"},
        {"/opt/lib/\xe9t\xe9/libplugin-with-a-long-name.so", // Latin-1 folder name
         "/opt/lib/\xc3\xa9t\xc3\xa9/libplugin-with-a-long-name.so"},
    };
    const std::string path = tempPath("names.fltrecord");
    FLTFile file;
    ASSERT_TRUE(FLTFileInitWithPathMode(&file, path.c_str(), false, false));
    for (const Case &c : cases) {
        FLTFileWriteSectionStart(&file, "thread_names");
        FLTFileWriteArrayStart(&file);
        FLTFileWriteArrayEntryString(&file, c.written.c_str());
        FLTFileWriteArrayEntryString(&file, "next");
        FLTFileWriteArrayEnd(&file);
        FLTFileWriteSectionEnd(&file);
        FLTFileWriteSectionStart(&file, "load");
        FLTFileWriteHashStart(&file);
        FLTFileWriteHashEntryString(&file, "path", c.written.c_str());
        FLTFileWriteHashEntryNSString(&file, "bundle_id", &c.written);
        FLTFileWriteHashEntryString(&file, c.written.c_str(), "key");
        FLTFileWriteHashEnd(&file);
        FLTFileWriteSectionEnd(&file);
    }
    ASSERT_TRUE(FLTFileClose(&file));

    const auto sections = FLTFileReadSections(path.c_str(), false);
    ASSERT_TRUE(sections);
    ASSERT_EQ(sections->size(), 2 * std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(hexOf(cases[i].written));
        const nlohmann::json &names = (*sections)[2 * i]["thread_names"];
        EXPECT_EQ(names, nlohmann::json::array({cases[i].read, "next"}));
        const nlohmann::json &load = (*sections)[2 * i + 1]["load"];
        EXPECT_EQ(load["path"], cases[i].read);
        EXPECT_EQ(load["bundle_id"], cases[i].read);
        EXPECT_EQ(load[cases[i].read], "key");
    }
    // A strict reader of another kind takes every line too.
    const std::string python = parseWithPython(path);
    EXPECT_NE(python.find("status=0"), std::string::npos) << python;
    EXPECT_EQ(std::count(python.begin(), python.end(), '\n'), 2 * std::size(cases) + 1) << python;
}

TEST_F(FLTFileRecord, HexDecoding)
{
    struct Case {
        const char *in;
        const char *out;
    } cases[] = {{"616263", "abc"}, {"61zz63", "a"}, {"4A4b", "JK"},
                 {"616", "a"},      {"", ""},        {"610062", "a"}};
    for (const Case &c : cases)
        EXPECT_EQ(FLTFileHexDecodeString(c.in), c.out) << c.in;
}

TEST_F(FLTFileRecord, OpeningFailuresAreReported)
{
    FLTFile file;
    EXPECT_FALSE(FLTFileInitWithPath(nullptr, "x", false));
    EXPECT_FALSE(FLTFileInitWithPath(&file, nullptr, false));
    EXPECT_FALSE(FLTFileInitWithPath(&file, "/nonexistent-folder/x.fltrecord", false));
    EXPECT_FALSE(FLTFileIsOpen(&file));
    // Writing to a closed record fails harmlessly.
    FLTFileWriteSectionStart(&file, "x");
    FLTFileWriteSectionEnd(&file);

    const std::string path = tempPath("append.fltrecord");
    std::ofstream(path) << "12345";
    ASSERT_TRUE(FLTFileInitWithPath(&file, path.c_str(), false));
    EXPECT_EQ(file.offset, 5u);
    FLTFileClose(&file);
}
