#include "telemetry/TallyKit/TLYCleanupFilesOperation.h"

#include "telemetry/TallyKit/TLYCompressLogOperation.h"
#include "telemetry/TallyKit/TLYLifecycleEvent.h"
#include "telemetry/TallyKit/TLYPackageLogOperation.h"
#include "telemetry/TallyKit/TLYWriteEventOperation.h"

#include "TallyTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

using namespace qnt::test;

struct Sorted {
    std::set<std::string> logs, compressed, packages;
};

Sorted runCleanup(const std::string &folder, std::int64_t limit)
{
    Sorted sorted;
    TLYCleanupFilesOperation cleanup(folder, limit);
    cleanup.setSuccessBlock([&](const auto &logs, const auto &compressed, const auto &packages) {
        sorted = {logs, compressed, packages};
    });
    cleanup.main();
    return sorted;
}

void setModificationTime(const std::string &path, time_t seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

TEST(TLYCleanupFilesOperationTest, SortsWhatEarlierLaunchesLeft)
{
    const std::string folder = makeFolder("cleanup");
    const std::string a = makeLog(folder, "A");
    const std::string aGz = makeGzip(folder, "A");
    const std::string bGz = makeGzip(folder, "B");
    const std::string c = makePackage(folder, "C");
    writeFile(folder + "/D.txt", "junk");
    writeFile(folder + "/E.gz.partial", "half");

    const Sorted sorted = runCleanup(folder, 100);
    EXPECT_EQ(sorted.logs, std::set<std::string>{a});
    EXPECT_EQ(sorted.compressed, std::set<std::string>{bGz});
    EXPECT_EQ(sorted.packages, std::set<std::string>{c});
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{a, bGz, c}));
    (void)aGz;
}

TEST(TLYCleanupFilesOperationTest, KeepsOnlyTheNewestPackages)
{
    // A birth time cannot be set, so the packages are told apart by their creation order.
    for (const std::int64_t limit : {100, 0}) {
        const std::string folder = makeFolder("prune");
        std::vector<std::string> packages;
        for (int i = 0; i < 101; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "P%03d", i);
            packages.push_back(makePackage(folder, name));
            setModificationTime(packages.back(), 1'000'000 + i);
        }
        const Sorted sorted = runCleanup(folder, limit);
        if (limit == 0) {
            EXPECT_TRUE(sorted.packages.empty());
            EXPECT_TRUE(filesIn(folder).empty());
            continue;
        }
        ASSERT_EQ(sorted.packages.size(), 100u);
        EXPECT_EQ(sorted.packages.count(packages.front()), 0u) << "the oldest goes";
        EXPECT_EQ(filesIn(folder).size(), 100u);
    }
}

TEST(TLYCleanupFilesOperationTest, DamagedFilesAreMendedOrSetAside)
{
    const std::string folder = makeFolder("damaged");
    // A log whose writer died in the middle of a line keeps its whole lines.
    const std::string torn = makeLog(folder, "torn");
    writeFile(torn, readFile(torn) + "1700000000000\tcustom\t40\t{\"eventId\":");
    // A log without its metadata record goes.
    const std::string headless = folder + "/headless.log";
    writeFile(headless, "1\tcustom\t2\t{}\n");
    const std::string badGz = folder + "/bad.gz";
    writeFile(badGz, "\x1f\x8b\x08\x00garbage");
    const std::string plainGz = folder + "/plain.gz";
    writeFile(plainGz, "not compressed at all");
    const std::string cut = makePackage(folder, "cut");
    writeFile(cut, readFile(cut).substr(0, 40));

    const Sorted sorted = runCleanup(folder, 100);
    EXPECT_EQ(sorted.logs, std::set<std::string>{torn});
    EXPECT_TRUE(sorted.compressed.empty());
    EXPECT_TRUE(sorted.packages.empty());
    const auto lines = parseLog(readFile(torn));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].name, "metadata");
    EXPECT_EQ(lines[1].name, "app_launched");
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{torn});
}

TEST(TLYCleanupFilesOperationTest, CompressionAndPackagingMakeWholeFilesOnly)
{
    const std::string folder = makeFolder("compress");
    // An empty log compresses to a valid, empty gzip stream.
    const std::string empty = folder + "/empty.log";
    writeFile(empty, "");
    TLYCompressLogOperation compress(empty, folder + "/empty.gz");
    compress.main();
    EXPECT_TRUE(compress.success());
    EXPECT_EQ(gunzip(readFile(folder + "/empty.gz")), std::string());

    const std::string log = makeLog(folder, "L");
    TLYCompressLogOperation again(log, folder + "/L.gz");
    again.main();
    ASSERT_TRUE(again.success());
    EXPECT_EQ(gunzip(readFile(folder + "/L.gz")), readFile(log));

    TLYPackageLogOperation package(folder + "/L.gz", folder + "/B1.multipartmime", "B1");
    package.main();
    ASSERT_TRUE(package.success());
    const std::string body = readFile(folder + "/B1.multipartmime");
    EXPECT_NE(body.find("name=\"L.gz\"; filename=\"L.gz\""), std::string::npos);
    EXPECT_NE(body.find("Content-Type: application/vnd.faultline.mac.events"), std::string::npos);
    EXPECT_TRUE(TLYCleanupFilesOperation::isCompletePackage(folder + "/B1.multipartmime"));

    // Packaging a missing file makes no package.
    TLYPackageLogOperation missing(folder + "/none.gz", folder + "/B2.multipartmime", "B2");
    missing.main();
    EXPECT_FALSE(missing.success());
    EXPECT_TRUE(filesIn(folder, "multipartmime").size() == 1);
    EXPECT_TRUE(filesIn(folder, "partial").empty());
}

} // namespace
