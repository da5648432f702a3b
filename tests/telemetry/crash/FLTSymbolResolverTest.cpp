// Symbolication against the images of this very process: the test plays the crashed launch
// (an image record with a made-up load address) and the next launch at once.

#include "telemetry/crash/FLTSymbolResolver.h"

#include "RecordedImages.h"
#include "ReportStoreFixture.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace flt_resolver_probe {

template <typename T> struct Probe {
    __attribute__((noinline)) static T run(T value)
    {
        asm volatile("" ::: "memory");
        return value + 1;
    }
};
template struct Probe<int>;

} // namespace flt_resolver_probe

namespace {

using qnt::test::kRecordedBase;
using qnt::test::RecordedImages;

TEST(SymbolResolver, LoadsOnlyCompleteImageRecordsSortedByBase)
{
    RecordedImages images;
    FLTSymbolResolver resolver;
    ASSERT_TRUE(resolver.loadBinaryImagesFromFile(images.file.string()));
    ASSERT_EQ(resolver.binaryImages().size(), 2u);
    EXPECT_EQ(resolver.binaryImages()[0]["path"], "/gone/plugin.so");
    EXPECT_EQ(resolver.loadedBinaryImageForPC(kRecordedBase - 0x100000 + 10),
              &resolver.binaryImages()[0]);
    EXPECT_EQ(resolver.loadedBinaryImageForPC(kRecordedBase - 1), nullptr);
    EXPECT_FALSE(resolver.loadBinaryImagesFromFile(""));
    EXPECT_FALSE(resolver.loadBinaryImagesFromFile((images.folder / "missing").string()));
}

TEST(SymbolResolver, ResolvesByBuildIdAndTheSymbolTable)
{
    RecordedImages images;
    FLTSymbolResolver resolver;
    ASSERT_TRUE(resolver.loadBinaryImagesFromFile(images.file.string()));
    const void *probe = reinterpret_cast<const void *>(&flt_resolver_probe::Probe<int>::run);

    FLTStackFrame inside = FLTStackFrame::stackFrameWithAddress(images.recorded(probe) + 3);
    ASSERT_TRUE(resolver.updateStackFrame(inside));
    EXPECT_EQ(inside.rawSymbol, "_ZN18flt_resolver_probe5ProbeIiE3runEi");
    EXPECT_EQ(inside.offset, 3u);
    EXPECT_EQ(inside.library, fs::path(images.main.path).filename().string());

    // The interrupted instruction at a function's start is its own; a return address there
    // belongs to the function before.
    FLTStackFrame exact = FLTStackFrame::stackFrameWithAddress(images.recorded(probe));
    ASSERT_TRUE(resolver.updateStackFrame(exact, true));
    EXPECT_EQ(exact.rawSymbol, inside.rawSymbol);
    EXPECT_EQ(exact.offset, 0u);
    FLTStackFrame returning = FLTStackFrame::stackFrameWithAddress(images.recorded(probe));
    if (resolver.updateStackFrame(returning)) {
        EXPECT_NE(returning.rawSymbol, inside.rawSymbol);
    }

    // Not loaded now, outside every image, or no address at all: not resolved.
    FLTStackFrame plugin = FLTStackFrame::stackFrameWithAddress(kRecordedBase - 0x100000 + 16);
    EXPECT_FALSE(resolver.updateStackFrame(plugin));
    EXPECT_FALSE(plugin.symbol);
    FLTStackFrame nowhere = FLTStackFrame::stackFrameWithAddress(1);
    EXPECT_FALSE(resolver.updateStackFrame(nowhere));
    FLTStackFrame zero;
    EXPECT_FALSE(resolver.updateStackFrame(zero));
}

TEST(ELFSymbolTable, RefusesDamagedFilesAndOtherBuilds)
{
    RecordedImages images;
    const auto &main = images.main;
    const auto table = FLTELFSymbolTable::load(main.path, main.buildId);
    ASSERT_TRUE(table);
    EXPECT_GT(table->count(), 0u);
    EXPECT_FALSE(FLTELFSymbolTable::load(main.path, "00"));
    EXPECT_FALSE(FLTELFSymbolTable::load("/proc/self/status", ""));
    const std::string bytes = qnt::test::readWholeFile(main.path);
    // Every cut of the file parses without reading past its end (checked under the sanitizers).
    for (std::size_t cut :
         {std::size_t(0), std::size_t(16), std::size_t(64), bytes.size() / 2, bytes.size() - 1})
        FLTELFSymbolTable::parse(std::string_view(bytes.data(), cut), "");
    std::string damaged = bytes;
    for (std::size_t i = 64; i < damaged.size(); i += 97)
        damaged[i] = static_cast<char>(damaged[i] ^ 0x5a);
    FLTELFSymbolTable::parse(damaged, "");
}

} // namespace
