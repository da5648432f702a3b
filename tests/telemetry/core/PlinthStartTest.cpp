#include "common/ChildProcess.h"
#include "common/TestEnvironment.h"
#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/core/Plinth.h"
#include "telemetry/platform/PlistValue.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

using qnt::test::runShell;

namespace {

struct HostRun {
    std::vector<std::string> lines;
    bool exitedCleanly = false; // returned 0 from main, no signal
    std::string value(const std::string &key) const
    {
        for (const std::string &line : lines)
            if (line.rfind(key + " ", 0) == 0)
                return line.substr(key.size() + 1);
        return {};
    }
    std::vector<std::string> all(const std::string &key) const
    {
        std::vector<std::string> found;
        for (const std::string &line : lines)
            if (line.rfind(key + " ", 0) == 0)
                found.push_back(line.substr(key.size() + 1));
        return found;
    }
};

HostRun runHost(const fs::path &bundle, const fs::path &dataHome, const std::string &mode = "twice")
{
    // The caches (the crash kit's report store among them) go with the data: what an earlier
    // run left there must not reach this one.
    const std::string command =
        "XDG_DATA_HOME='" + dataHome.string() + "' XDG_CACHE_HOME='" + (dataHome / "cache").string()
        + "' " QNT_BIN_DIR "/plinth_host_helper '" + bundle.string() + "' " + mode + " 2>/dev/null";
    HostRun run;
    const qnt::test::ChildResult result = runShell(command);
    run.exitedCleanly = result.exited && result.exitCode == 0;
    std::istringstream in(result.output);
    for (std::string line; std::getline(in, line);)
        run.lines.push_back(line);
    return run;
}

// An empty folder of this process: what an earlier test, or an earlier repeat of the same one,
// left there is removed.
fs::path freshFolder(const std::string &name)
{
    const fs::path folder = fs::path(qnt::test::isolatedHome()) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

fs::path makeBundle(const std::string &name, const tel::PlistValue::Dictionary &plinth)
{
    const fs::path folder = freshFolder(name);
    tel::PlistValue::Dictionary info{{"CFBundleIdentifier", "com.quintora/Test"},
                                     {"CFBundleVersion", "7"},
                                     {"CFBundleShortVersionString", "1.2.3"}};
    if (!plinth.empty())
        info["Plinth"] = plinth;
    EXPECT_TRUE(tel::PlistValue(info).writeFileAtomically((folder / "Info.plist").string()));
    return folder;
}

} // namespace

TEST(PlinthStart, StartsKitsOnceInOrderWithAnAPIKeyAndKeepsTheInstallation)
{
    const fs::path bundle =
        makeBundle("keyed", {{"APIKey", "0123456789abcdef"}, {"Kits", tel::PlistValue::Array{}}});
    const fs::path data = freshFolder("keyed-data");

    const HostRun first = runHost(bundle, data);
    ASSERT_FALSE(first.lines.empty());
    EXPECT_TRUE(first.exitedCleanly);
    EXPECT_EQ(first.all("init"), (std::vector<std::string>{"OtherKit", "Tally"}));
    EXPECT_EQ(first.value("faultline-started"), "1");
    EXPECT_EQ(first.value("kits"), "Faultline,OtherKit,Tally");
    EXPECT_EQ(first.value("same"), "1");
    EXPECT_EQ(first.all("log"),
              (std::vector<std::string>{"[Faultline] Version 3.9.3 (128)",
                                        "[Plinth] [Plinth +with] called multiple times. Only the "
                                        "first call is honored, please pass all kits you wish to "
                                        "initialize"}));
    EXPECT_EQ(first.value("first"), "1");
    const std::string install = first.value("install");
    EXPECT_TRUE(std::regex_match(
        install, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")))
        << install;
    const fs::path store = data / "com.quintora_Test" / "com.faultline" / "FLTUserDefaults.plist";
    const auto stored = tel::PlistValue::readFile(store.string());
    ASSERT_TRUE(stored);
    ASSERT_TRUE(stored->find("com.faultline.iuuid"));
    EXPECT_EQ(stored->find("com.faultline.iuuid")->toString(), install);

    const HostRun second = runHost(bundle, data);
    EXPECT_EQ(second.value("install"), install);
    EXPECT_EQ(second.value("first"), "0");
    const std::regex execution("[0-9a-f]{32}");
    EXPECT_TRUE(std::regex_match(first.value("execution"), execution));
    EXPECT_TRUE(std::regex_match(second.value("execution"), execution));
    EXPECT_NE(first.value("execution"), second.value("execution"));

    // The instance identifier is the SHA-1 of the executable's build-id (as 32 hex digits).
    const std::string notes = runShell("readelf -n " QNT_BIN_DIR "/plinth_host_helper").output;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(notes, match, std::regex("Build ID: ([0-9a-f]+)")));
    const std::string uuid = match[1].str().substr(0, 32);
    EXPECT_EQ(first.value("instance"), PLNSHA1HexString(uuid));
    EXPECT_EQ(second.value("instance"), first.value("instance"));
}

TEST(PlinthStart, WithoutAnAPIKeyNothingStarts)
{
    const fs::path bundle =
        makeBundle("unkeyed", {{"APIKey", ""}, {"Kits", tel::PlistValue::Array{}}});
    const HostRun run = runHost(bundle, freshFolder("unkeyed-data"));
    ASSERT_FALSE(run.lines.empty());
    EXPECT_TRUE(run.all("init").empty());
    EXPECT_EQ(run.value("faultline-started"), "0");
    EXPECT_EQ(run.value("kits"), "");
    EXPECT_EQ(run.all("log").size(), 2u); // the missing key, then the second call
    EXPECT_EQ(run.all("log").back().rfind("[Plinth] [Plinth +with] called multiple times", 0), 0u);
}

TEST(PlinthStart, AConfigurationWithoutPlinthDictionaryRaises)
{
    const fs::path bundle = makeBundle("noplinth", {});
    const HostRun run = runHost(bundle, freshFolder("noplinth-data"));
    EXPECT_EQ(run.value("exception"),
              "[Plinth] Value of Info.plist key \"Plinth\" must be a NSDictionary.");
}

TEST(PlinthStart, CallsFromManyThreadsStartOnce)
{
    const fs::path bundle =
        makeBundle("threads", {{"APIKey", "key"}, {"Kits", tel::PlistValue::Array{}}});
    const HostRun run = runHost(bundle, freshFolder("threads-data"), "threads");
    EXPECT_EQ(run.all("init"), (std::vector<std::string>{"OtherKit", "Tally"}));
    // The crash kit's version line, then one line for each later call.
    EXPECT_EQ(run.all("log").size(), 8u) << ::testing::PrintToString(run.all("log"));
    EXPECT_EQ(run.value("kits"), "Faultline,OtherKit,Tally");
}

// The host closes the library's gate before it returns from main: the library's threads, busy
// to the end, run nothing while the process destroys its static objects.
TEST(PlinthStart, TheLibrarysThreadsRunNothingOnceTheHostExits)
{
    const HostRun host = runHost(makeBundle("busy", {}), freshFolder("busy-data"), "busy");
    EXPECT_EQ(host.lines, std::vector<std::string>{"busy"});
    EXPECT_TRUE(host.exitedCleanly);
}

TEST(PlinthStart, HearthStartsTheCrashKitWithTheBeaconKey)
{
    const fs::path bundle = makeBundle("hearth", {});
    ASSERT_TRUE(tel::PlistValue(tel::PlistValue::Dictionary{{"BEACON_APP_ID", "1:2345:mac:abc"}})
                    .writeFileAtomically((bundle / "BeaconService-Info.plist").string()));
    const HostRun run = runHost(bundle, freshFolder("hearth-data"), "hearth");
    EXPECT_EQ(run.value("faultline-started"), "1");
    EXPECT_EQ(run.value("mode"), "2");
    EXPECT_EQ(run.value("apikey"), PLNSHA256HexString("1:2345:mac:abc").substr(0, 40));
    EXPECT_EQ(run.value("kits"), "Faultline,Tally");
}

TEST(PlinthStart, HearthWithoutBeaconKeyStartsNothing)
{
    const fs::path bundle = makeBundle("hearth-empty", {});
    ASSERT_TRUE(tel::PlistValue(tel::PlistValue::Dictionary{{"BEACON_APP_ID", ""}})
                    .writeFileAtomically((bundle / "BeaconService-Info.plist").string()));
    const HostRun run = runHost(bundle, freshFolder("hearth-empty-data"), "hearth");
    EXPECT_EQ(run.value("faultline-started"), "0");
    EXPECT_EQ(run.value("apikey"), "(none)");
    EXPECT_NE(std::find(run.lines.begin(), run.lines.end(),
                        "log [Plinth] BeaconService-Info.plist key BEACON_APP_ID unavailable"),
              run.lines.end());
}
