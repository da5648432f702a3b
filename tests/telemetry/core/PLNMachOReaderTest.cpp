#include "common/ChildProcess.h"
#include "common/TestEnvironment.h"
#include "telemetry/core/PLNApplicationIdentiferModel.h"
#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/core/PLNMachO.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

using qnt::test::runShell;

namespace {

const std::string kFixtures = QNT_MACHO_FIXTURE_DIR;

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

struct OracleSlice {
    std::string uuid;    // 32 lower-case hex digits
    std::string minimum; // "10.13.0"
    std::string sdk;
};

// What llvm-objdump says about each architecture of a file.
std::map<std::string, OracleSlice> oracle(const std::string &path)
{
    std::map<std::string, OracleSlice> slices;
    const std::string text = runShell(std::string(QNT_LLVM_OBJDUMP)
                                      + " --macho --private-headers --arch=all '" + path + "'")
                                 .output;
    std::istringstream in(text);
    std::string line, arch, command;
    const std::regex archLine(R"(\(architecture (\w+)\):)");
    const std::regex headerLine(R"(^\s*MH_MAGIC(_64)?\s+(\w+)\s)");
    const std::regex commandLine(R"(^\s+cmd (\w+))");
    const std::regex uuidLine(R"(^\s+uuid ([0-9A-F-]+))");
    const std::regex versionLine(R"(^\s+(version|minos|sdk) ([0-9.]+))");
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_search(line, m, archLine)) {
            arch = m[1];
        } else if (arch.empty() && std::regex_search(line, m, headerLine)) {
            arch = m[2];
            for (char &c : arch)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else if (std::regex_search(line, m, commandLine)) {
            command = m[1];
        } else if (std::regex_search(line, m, uuidLine)) {
            std::string uuid = m[1];
            std::erase(uuid, '-');
            for (char &c : uuid)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            slices[arch].uuid = uuid;
        } else if ((command == "LC_VERSION_MIN_MACOSX" || command == "LC_BUILD_VERSION")
                   && std::regex_search(line, m, versionLine)) {
            if (command == "LC_BUILD_VERSION" && m[1] == "version")
                continue; // the linker's own version
            std::string v = m[2];
            if (std::count(v.begin(), v.end(), '.') == 1)
                v += ".0";
            (m[1] == "sdk" ? slices[arch].sdk : slices[arch].minimum) = v;
        }
    }
    return slices;
}

// A file record over a heap copy of exactly `bytes`, so any read outside them is caught by the
// address sanitizer.
struct HeapFile {
    explicit HeapFile(const std::string &bytes)
        : storage(new unsigned char[bytes.size() ? bytes.size() : 1])
    {
        std::memcpy(storage.get(), bytes.data(), bytes.size());
        file.mapping = storage.get();
        file.size = static_cast<std::int64_t>(bytes.size());
    }
    std::unique_ptr<unsigned char[]> storage;
    PLNMachOFile file;
};

// Walks everything the reader offers; answers how many commands it saw.
int walkEverything(const PLNMachOFile &file)
{
    int commands = 0;
    PLNMachOFileEnumerateSlices(&file, [&](const PLNMachOSlice &s) {
        PLNMachOSlice slice = s;
        PLNMachOSliceGetArchitectureName(&slice);
        PLNMachOSliceEnumerateLoadCommands(
            &slice, [&](std::uint32_t type, std::uint32_t size, const void *cmd) {
                ++commands;
                std::uint8_t uuid[16];
                PLNMachOGetUUIDFromCommand(cmd, size, uuid);
                PLNMachOGetStringFromCommand(cmd, size);
                PLNMachOGetSegmentFromCommand(cmd, size);
                if (type == PLNMachOLoadCommandVersionMinMacOSX
                    || type == PLNMachOLoadCommandBuildVersion) {
                    PLNMachOGetMinimumOSVersionFromCommand(cmd, size);
                    PLNMachOGetSDKVersionFromCommand(cmd, size);
                }
            });
        PLNMachOSection section;
        PLNMachOSliceGetSection(&slice, "__TEXT", "__text", &section);
        const void *address = nullptr;
        PLNMachOSliceGetSectionAddress(&slice, "__TEXT", "__unwind_info", &address);
    });
    return commands;
}

#define REQUIRE_FIXTURES()                                                                         \
    if (kFixtures.empty())                                                                         \
    GTEST_SKIP() << "the LLVM tools for Mach-O fixtures are not installed"

} // namespace

TEST(PLNMachOReader, ThinAndFatFixturesMatchTheOracle)
{
    REQUIRE_FIXTURES();
    for (const char *name : {"x86_64.dylib", "arm64.dylib", "fat.dylib"}) {
        SCOPED_TRACE(name);
        const std::string path = kFixtures + "/" + name;
        const auto expected = oracle(path);
        ASSERT_FALSE(expected.empty());
        PLNMachOFile file;
        ASSERT_TRUE(PLNMachOFileInitWithPath(&file, path.c_str()));
        std::map<std::string, OracleSlice> seen;
        std::vector<std::string> order;
        PLNMachOFileEnumerateSlices(&file, [&](const PLNMachOSlice &s) {
            PLNMachOSlice slice = s;
            const std::string arch = PLNMachOSliceGetArchitectureName(&slice);
            order.push_back(arch);
            EXPECT_TRUE(PLNMachOSliceIs64Bit(&slice));
            PLNMachOSliceEnumerateLoadCommands(&slice, [&](std::uint32_t type, std::uint32_t size,
                                                           const void *cmd) {
                std::uint8_t uuid[16];
                if (PLNMachOGetUUIDFromCommand(cmd, size, uuid))
                    seen[arch].uuid = PLNMachOFormatUUID(uuid);
                if (type == PLNMachOLoadCommandVersionMinMacOSX
                    || type == PLNMachOLoadCommandBuildVersion) {
                    const PLNMachOVersion min = PLNMachOGetMinimumOSVersionFromCommand(cmd, size);
                    const PLNMachOVersion sdk = PLNMachOGetSDKVersionFromCommand(cmd, size);
                    seen[arch].minimum = *PLNMachOFormatVersion(&min);
                    seen[arch].sdk = *PLNMachOFormatVersion(&sdk);
                }
            });
            PLNMachOSection text;
            EXPECT_TRUE(PLNMachOSliceGetSection(&slice, "__TEXT", "__text", &text));
            EXPECT_GT(text.size, 0u);
            const void *address = nullptr;
            EXPECT_TRUE(PLNMachOSliceGetSectionAddress(&slice, "__TEXT", "__text", &address));
            EXPECT_EQ(static_cast<const unsigned char *>(address),
                      static_cast<const unsigned char *>(slice.header) + text.offset);
            EXPECT_FALSE(PLNMachOSliceGetSection(&slice, "__TEXT", "__nothing", &text));
        });
        for (const auto &[arch, slice] : expected) {
            EXPECT_EQ(seen[arch].uuid, slice.uuid) << arch;
            EXPECT_EQ(seen[arch].minimum, slice.minimum) << arch;
            EXPECT_EQ(seen[arch].sdk, slice.sdk) << arch;
        }
        EXPECT_EQ(seen.size(), expected.size());
        if (std::string(name) == "fat.dylib") {
            EXPECT_EQ(order, (std::vector<std::string>{"x86_64", "arm64"}));
            const PLNMachOSlice arm = PLNMachOFileSliceForArchitectureName(&file, "arm64");
            EXPECT_NE(arm.header, nullptr);
            EXPECT_EQ(PLNMachOFileSliceForArchitectureName(&file, "ppc").header, nullptr);
        }
        PLNMachOFileDestroy(&file);
        EXPECT_EQ(file.descriptor, -1);
    }
}

TEST(PLNMachOReader, IdentityFromAFatFileUsesSortedArchitectures)
{
    REQUIRE_FIXTURES();
    const auto expected = oracle(kFixtures + "/fat.dylib");
    const auto model =
        PLNApplicationIdentiferModel::initWithInstallIDAndMachOPath("ID", kFixtures + "/fat.dylib");
    ASSERT_TRUE(model);
    EXPECT_EQ(model->architectureUUIDMap().size(), 2u);
    EXPECT_EQ(model->architectureUUIDMap().at("x86_64"), expected.at("x86_64").uuid);
    // arm64 sorts before x86_64.
    EXPECT_EQ(model->instanceIdentifier(),
              PLNSHA1HexString(expected.at("arm64").uuid + expected.at("x86_64").uuid));
    // The last slice walked (arm64) leaves its versions.
    EXPECT_EQ(model->minimumSDKString(), "11.0.0");
    EXPECT_EQ(model->builtSDKString(), "12.0.0");
    EXPECT_EQ(model->installID(), "ID");
}

TEST(PLNMachOReader, RefusesShortMissingAndNonRegularFiles)
{
    const fs::path dir = fs::path(qnt::test::isolatedHome()) / "macho-bad";
    fs::create_directories(dir);
    std::ofstream(dir / "short", std::ios::binary) << std::string(15, '\xcf');
    std::ofstream(dir / "sixteen", std::ios::binary) << std::string(16, '\0');
    PLNMachOFile file;
    EXPECT_FALSE(PLNMachOFileInitWithPath(&file, (dir / "short").c_str()));
    EXPECT_FALSE(PLNMachOFileInitWithPath(&file, (dir / "missing").c_str()));
    EXPECT_FALSE(PLNMachOFileInitWithPath(&file, dir.c_str()));
    EXPECT_FALSE(PLNMachOFileInitWithPath(nullptr, (dir / "sixteen").c_str()));
    EXPECT_FALSE(PLNMachOFileInitWithPath(&file, nullptr));
    ASSERT_TRUE(PLNMachOFileInitWithPath(&file, (dir / "sixteen").c_str()));
    // Unknown magic: one slice, type 0, no commands.
    int slices = 0;
    PLNMachOFileEnumerateSlices(&file, [&](const PLNMachOSlice &slice) {
        ++slices;
        EXPECT_EQ(slice.cputype, 0);
        EXPECT_EQ(PLNMachOSliceGetArchitectureName(&slice), "unknown");
    });
    EXPECT_EQ(slices, 1);
    EXPECT_EQ(walkEverything(file), 0);
    PLNMachOFileDestroy(&file);
}

TEST(PLNMachOReader, TruncatedAndCorruptedCopiesAreReadSafely)
{
    REQUIRE_FIXTURES();
    for (const char *name : {"x86_64.dylib", "fat.dylib"}) {
        const std::string bytes = readFile(kFixtures + "/" + name);
        ASSERT_GT(bytes.size(), 1000u);
        const int whole = walkEverything(HeapFile(bytes).file);
        EXPECT_GT(whole, 5);
        for (std::size_t length = 0; length < bytes.size(); length += (length < 2048 ? 1 : 97)) {
            HeapFile cut(bytes.substr(0, length));
            EXPECT_LE(walkEverything(cut.file), whole);
        }
        std::mt19937 random(1234);
        for (int round = 0; round < 300; ++round) {
            std::string damaged =
                bytes.substr(0, std::min<std::size_t>(bytes.size(), 4096 + random() % 4096));
            for (int flips = 0; flips < 8; ++flips) {
                const std::size_t at = random() % std::min<std::size_t>(damaged.size(), 1024);
                damaged[at] = static_cast<char>(random());
            }
            HeapFile file(damaged);
            walkEverything(file.file);
        }
    }
}

TEST(PLNMachOReader, HostileHeadersStayInBounds)
{
    struct Case {
        const char *what;
        std::string bytes;
    };
    auto le32 = [](std::uint32_t v) { return std::string(reinterpret_cast<const char *>(&v), 4); };
    auto be32 = [](std::uint32_t v) {
        const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        return std::string(b, 4);
    };
    const std::string header64 = le32(0xfeedfacf) + le32(0x01000007) + le32(3) + le32(6);
    const Case cases[] = {
        {"fat with a huge count", be32(0xcafebabe) + be32(0xffffffff) + std::string(40, '\0')},
        {"fat slice past the end", be32(0xcafebabe) + be32(1) + be32(0x01000007) + be32(3)
                                       + be32(0x7fffffff) + be32(64) + be32(0)
                                       + std::string(16, '\0')},
        {"huge ncmds", header64 + le32(0xffffffff) + le32(0xffffffff) + le32(0) + le32(0)
                           + le32(0x1b) + le32(24) + std::string(16, '\x11')},
        {"zero cmdsize", header64 + le32(3) + le32(64) + le32(0) + le32(0) + le32(0x1b) + le32(0)
                             + std::string(56, '\0')},
        {"cmdsize past the end", header64 + le32(1) + le32(16) + le32(0) + le32(0) + le32(0x19)
                                     + le32(4000) + std::string(8, '\0')},
        {"segment with too many sections",
         header64 + le32(1) + le32(72) + le32(0) + le32(0) + le32(0x19) + le32(72) + "__TEXT"
             + std::string(10, '\0') + std::string(40, '\0') + le32(1000) + le32(0)},
        {"swapped header", le32(0xcffaedfe) + std::string(60, '\x01')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        HeapFile file(c.bytes);
        walkEverything(file.file);
    }
    // A zero cmdsize stops the walk instead of repeating one command.
    HeapFile zero(cases[3].bytes);
    EXPECT_EQ(walkEverything(zero.file), 0);
}

TEST(PLNMachOReader, NamesAndFormats)
{
    struct Case {
        std::int32_t type, subtype;
        const char *name;
    } cases[] = {{0x0100000C, 0, "arm64"},
                 {12, 11, "armv7s"},
                 {12, 12, "armv7k"},
                 {0x01000007, 3, "x86_64"},
                 {0x01000007, 8, "x86_64h"},
                 {7, 3, "i386"},
                 {0x0100000C, static_cast<std::int32_t>(0x80000002), "arm64e"},
                 {99, 0, "unknown"}};
    for (const Case &c : cases) {
        PLNMachOSlice slice;
        slice.cputype = c.type;
        slice.cpusubtype = c.subtype;
        EXPECT_EQ(PLNMachOSliceGetArchitectureName(&slice), c.name);
    }
    EXPECT_EQ(PLNMachOSliceGetArchitectureName(nullptr), "unknown");
    EXPECT_FALSE(PLNMachOFormatVersion(nullptr));
    const PLNMachOVersion v = PLNMachOVersionFromPacked(0x000a0d02);
    EXPECT_EQ(*PLNMachOFormatVersion(&v), "10.13.2");
    const std::uint8_t uuid[16] = {0x4c, 0x4c, 0x44, 0x63, 0x55, 0x55, 0x31, 0x44,
                                   0xa1, 0xdf, 0xcc, 0x8d, 0x0d, 0x68, 0xe5, 0x01};
    EXPECT_EQ(PLNMachOFormatUUID(uuid), "4c4c446355553144a1dfcc8d0d68e501");
    const PLNMachOSegment none = PLNMachOGetSegmentFromCommand(nullptr, 0);
    EXPECT_EQ(none.vmsize, 0u);
}

TEST(PLNMachOReader, TheRunningExecutableIsNoMachOImage)
{
    PLNMachOSlice current = PLNMachOSliceGetCurrent();
    ASSERT_NE(current.header, nullptr);
    EXPECT_EQ(std::memcmp(current.header,
                          "\x7f"
                          "ELF",
                          4),
              0);
    const char *path = PLNMachOSliceGetImagePath(&current);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(fs::canonical(path), fs::canonical("/proc/self/exe"));
    PLNMachOFile file;
    ASSERT_TRUE(PLNMachOFileInitWithCurrentExecutable(&file));
    EXPECT_EQ(walkEverything(file), 0);
    PLNMachOFileDestroy(&file);
    const void *eh = nullptr, *unwind = nullptr;
    EXPECT_FALSE(PLNMachOSliceGetUnwindSections(&current, &eh, &unwind));
    EXPECT_FALSE(PLNMachOSliceGetUnwindSections(&current, nullptr, nullptr));
    EXPECT_EQ(PLNMachOSliceGetImagePath(nullptr), nullptr);
}
