// The crash kit's report store: its folders, listings, moves and removals.

#include "telemetry/crash/FLTFileManager.h"

#include "common/ScopedEnvironment.h"
#include "ReportStoreFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

TEST(FileManager, NewLaunchGetsItsOwnActiveFolder)
{
    std::string pattern = (fs::temp_directory_path() / "flt-store-XXXXXX").string();
    const fs::path caches = mkdtemp(pattern.data());
    const qnt::test::ScopedEnvironmentVariable cache("XDG_CACHE_HOME", caches.string());
    FLTFileManager manager("org.quintora/app");
    EXPECT_EQ(manager.rootPath(), (caches / "com.faultline.data" / "org.quintora_app").string());
    EXPECT_EQ(manager.activePath(), manager.rootPath() + "/v3/active");
    EXPECT_EQ(manager.pendingPath(), manager.rootPath() + "/v3/pending");
    ASSERT_TRUE(manager.prepareForNewLaunch());
    for (const auto &folder :
         {manager.activePath(), manager.processingPath(), manager.preparedPath()}) {
        struct stat info {
        };
        ASSERT_EQ(stat(folder.c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 0777, 0755u) << folder;
    }
    EXPECT_FALSE(fs::exists(manager.pendingPath()));
    const auto launch =
        manager.setupNewPathForExecutionIdentifier("0123456789abcdef0123456789abcdef");
    ASSERT_TRUE(launch);
    EXPECT_TRUE(fs::is_directory(*launch));
    EXPECT_EQ(fs::path(*launch).parent_path(), fs::path(manager.activePath()));
    EXPECT_FALSE(manager.setupNewPathForExecutionIdentifier("../escape"));
    EXPECT_FALSE(manager.setupNewPathForExecutionIdentifier(""));
    fs::remove_all(caches);
}

TEST(FileManager, ListingsSkipHiddenEntriesAndMovesKeepThem)
{
    qnt::test::TemporaryStore store;
    const FLTFileManager &manager = *store.manager();
    qnt::test::writeFile(fs::path(manager.activePath()) / "one" / "a", "1");
    qnt::test::writeFile(fs::path(manager.activePath()) / "two.txt", "2");
    qnt::test::writeFile(fs::path(manager.activePath()) / ".hidden", "h");
    std::map<std::string, std::string> seen;
    manager.enumerateFilesInDirectory(manager.activePath(),
                                      [&](const std::string &path, const std::string &extension) {
                                          seen[fs::path(path).filename().string()] = extension;
                                      });
    EXPECT_EQ(seen, (std::map<std::string, std::string>{{"one", ""}, {"two.txt", "txt"}}));

    ASSERT_TRUE(manager.moveItemsFromDirectory(manager.activePath(), manager.processingPath()));
    EXPECT_EQ(manager.processingPathContents().size(), 2u);
    EXPECT_TRUE(fs::exists(fs::path(manager.activePath()) / ".hidden"));
    EXPECT_TRUE(manager.removeContentsOfProcessingPath());
    EXPECT_TRUE(manager.processingPathContents().empty());
    EXPECT_FALSE(manager.moveItemAtPath("", manager.processingPath()));
    EXPECT_FALSE(manager.removeItemAtPath(""));
    EXPECT_FALSE(manager.fileSizeAtPath(manager.activePath()));
    EXPECT_EQ(manager.fileSizeAtPath((fs::path(manager.activePath()) / ".hidden").string()), 1u);
}

TEST(FileManager, RemovingALinkNeverTouchesWhatItNames)
{
    qnt::test::TemporaryStore store;
    const FLTFileManager &manager = *store.manager();
    const fs::path outside = qnt::test::makeTemporaryFolder("flt-outside");
    qnt::test::writeFile(outside / "keep.txt", "precious");
    fs::create_directory_symlink(outside, fs::path(manager.activePath()) / "link");
    fs::create_symlink(outside / "keep.txt", fs::path(manager.preparedPath()) / "file-link");
    EXPECT_TRUE(manager.removeContentsOfAllPaths());
    EXPECT_TRUE(manager.activePathContents().empty());
    EXPECT_TRUE(manager.preparedPathContents().empty());
    EXPECT_EQ(qnt::test::readWholeFile(outside / "keep.txt"), "precious");
    EXPECT_FALSE(manager.fileSizeAtPath((fs::path(manager.activePath()) / "link").string()));
    fs::remove_all(outside);
}

TEST(FileManager, LegacyLayoutIsRemovedWhole)
{
    qnt::test::TemporaryStore store;
    const FLTFileManager &manager = *store.manager();
    EXPECT_TRUE(manager.removeLegacyDirectories());
    EXPECT_TRUE(fs::exists(manager.activePath()));
    qnt::test::writeFile(fs::path(manager.rootPath()) / "sendable", "");
    EXPECT_TRUE(manager.removeLegacyDirectories());
    EXPECT_FALSE(fs::exists(manager.rootPath()));
    EXPECT_TRUE(manager.prepareForNewLaunch());
}

TEST(FileManager, QuarantineKeepsOnlyTheNewest)
{
    qnt::test::TemporaryStore store;
    const FLTFileManager &manager = *store.manager();
    for (std::size_t i = 0; i < FLTFileManager::kMaxQuarantinedPackages + 3; ++i) {
        std::string name(1, 'p');
        name += std::to_string(i);
        const fs::path package = fs::path(manager.preparedPath()) / name;
        qnt::test::writeFile(package, "x");
        fs::last_write_time(package, fs::file_time_type::clock::now() + std::chrono::hours(i));
        ASSERT_TRUE(manager.quarantineItemAtPath(package.string()));
    }
    const auto kept = manager.contentsOfDirectory(manager.quarantinePath());
    EXPECT_EQ(kept.size(), FLTFileManager::kMaxQuarantinedPackages);
    EXPECT_FALSE(fs::exists(fs::path(manager.quarantinePath()) / "p0"));
    EXPECT_TRUE(fs::exists(fs::path(manager.quarantinePath()) / "p10"));
}

} // namespace
