#include "common/TestEnvironment.h"
#include "telemetry/core/FLTUserDefaults.h"
#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/Host.h"
#include "telemetry/platform/SystemLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

namespace fs = std::filesystem;

namespace {

class FLTUserDefaultsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int counter = 0;
        folder = fs::path(qnt::test::isolatedHome()) / ("defaults-" + std::to_string(++counter))
                 / "com.faultline";
        tel::SystemLog::setSink([this](const std::string &line) { logs.push_back(line); });
    }
    void TearDown() override
    {
        tel::SystemLog::setSink({});
        tel::Host::reset();
    }
    fs::path folder;
    std::vector<std::string> logs;
};

} // namespace

TEST_F(FLTUserDefaultsTest, MissingFileGivesAnEmptyStoreAndSynchronizeCreatesIt)
{
    FLTUserDefaults store(folder.string());
    EXPECT_TRUE(store.dictionaryRepresentation().empty());
    store.setString("A-B", "com.faultline.iuuid");
    store.setBool(true, "flag");
    store.setObject(tel::PlistValue(std::int64_t(3)), "count");
    EXPECT_FALSE(fs::exists(folder));
    ASSERT_TRUE(store.synchronize());
    EXPECT_TRUE(fs::exists(folder / "FLTUserDefaults.plist"));

    FLTUserDefaults again(folder.string());
    EXPECT_EQ(again.stringForKey("com.faultline.iuuid"), "A-B");
    EXPECT_TRUE(again.boolForKey("flag"));
    EXPECT_EQ(again.objectForKey("count")->toInteger(), 3);
    // Typed answers.
    EXPECT_FALSE(again.boolForKey("com.faultline.iuuid"));
    EXPECT_FALSE(again.stringForKey("count"));
    again.setObject(std::nullopt, "count");
    EXPECT_FALSE(again.objectForKey("count"));
    again.removeAllObjects();
    EXPECT_TRUE(again.dictionaryRepresentation().empty());
}

TEST_F(FLTUserDefaultsTest, UnreadableFileIsLoggedAndKeptAside)
{
    fs::create_directories(folder);
    std::ofstream(folder / "FLTUserDefaults.plist") << "garbage, not a property list";
    FLTUserDefaults store(folder.string());
    EXPECT_TRUE(store.dictionaryRepresentation().empty());
    EXPECT_EQ(logs, std::vector<std::string>{
                        "[Plinth:UserDefaults] failed to read existing UserDefaults file"});
    EXPECT_TRUE(fs::exists(folder / "FLTUserDefaults.plist.unreadable"));
    store.setString("x", "k");
    EXPECT_TRUE(store.synchronize());
    std::ifstream kept(folder / "FLTUserDefaults.plist.unreadable");
    std::string text((std::istreambuf_iterator<char>(kept)), {});
    EXPECT_EQ(text, "garbage, not a property list");
}

TEST_F(FLTUserDefaultsTest, AFolderWhereTheFileBelongsIsRemoved)
{
    fs::create_directories(folder / "FLTUserDefaults.plist" / "inner");
    FLTUserDefaults store(folder.string());
    EXPECT_FALSE(fs::exists(folder / "FLTUserDefaults.plist"));
    EXPECT_EQ(logs.front(), "[Plinth:UserDefaults] found directory where file expected. Removing "
                            "conflicting directory");
    store.setBool(false, "b");
    EXPECT_TRUE(store.synchronize());
    EXPECT_TRUE(fs::is_regular_file(folder / "FLTUserDefaults.plist"));
}

TEST_F(FLTUserDefaultsTest, MigratesFromTheHostsUserDefaults)
{
    std::map<std::string, tel::PlistValue> host{{"com.faultline.iuuid", "HOST-UUID"}, {"other", 1}};
    tel::Host::Hooks hooks;
    hooks.userDefaultsReader = [&](const std::string &key) -> std::optional<tel::PlistValue> {
        const auto it = host.find(key);
        return it == host.end() ? std::nullopt : std::optional(it->second);
    };
    hooks.userDefaultsRemover = [&](const std::string &key) { host.erase(key); };
    tel::Host::install(hooks);

    FLTUserDefaults store(folder.string());
    EXPECT_FALSE(store.objectForKeyByMigratingFromNSUserDefaults(""));
    EXPECT_FALSE(store.objectForKeyByMigratingFromNSUserDefaults("absent"));
    EXPECT_EQ(store.objectForKeyByMigratingFromNSUserDefaults("com.faultline.iuuid")->toString(),
              "HOST-UUID");
    EXPECT_EQ(host.count("com.faultline.iuuid"), 0u);
    EXPECT_EQ(FLTUserDefaults(folder.string()).stringForKey("com.faultline.iuuid"), "HOST-UUID");

    store.migrateFromNSUserDefaults({"nothing", "other"});
    EXPECT_EQ(store.objectForKey("other")->toInteger(), 1);
    EXPECT_TRUE(host.empty());
}

TEST_F(FLTUserDefaultsTest, UsableFromManyThreads)
{
    FLTUserDefaults store(folder.string());
    const std::vector<std::string> keys{"k0", "k1", "k2", "k3", "k4", "k5", "k6", "k7"};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                store.setObject(tel::PlistValue(std::int64_t(i)), keys[t]);
                store.objectForKey(keys[(t + 1) % 8]);
                if (i % 50 == 0)
                    store.synchronize();
            }
        });
    for (auto &thread : threads)
        thread.join();
    ASSERT_TRUE(store.synchronize());
    FLTUserDefaults reread(folder.string());
    for (const std::string &key : keys)
        EXPECT_EQ(reread.objectForKey(key)->toInteger(), 199);
}

TEST_F(FLTUserDefaultsTest, DefaultFolderEscapesTheBundleIdentifier)
{
    tel::AppInfo::setInfoDictionary(
        tel::PlistValue(tel::PlistValue::Dictionary{{"CFBundleIdentifier", "a/b"}}));
    EXPECT_EQ(FLTUserDefaults::defaultDirectory(),
              qnt::test::isolatedHome() + "/.local/share/a_b/com.faultline");
    tel::AppInfo::setInfoDictionary(tel::PlistValue(tel::PlistValue::Dictionary{}));
    EXPECT_EQ(FLTUserDefaults::defaultDirectory(),
              qnt::test::isolatedHome() + "/.local/share/com.faultline");
}
