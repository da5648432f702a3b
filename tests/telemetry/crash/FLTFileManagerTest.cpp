// The launch folder of the crash kit's report store.

#include "telemetry/crash/FLTFileManager.h"

#include "common/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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

} // namespace
