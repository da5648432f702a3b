#include "common/ScopedEnvironment.h"
#include "common/TestEnvironment.h"
#include "common/WaitUntil.h"
#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/DispatchQueue.h"
#include "telemetry/platform/Host.h"
#include "telemetry/platform/NotificationBus.h"
#include "telemetry/platform/OperationQueue.h"
#include "telemetry/platform/PlistValue.h"
#include "telemetry/platform/SystemLog.h"
#include "telemetry/platform/TelemetryPaths.h"
#include "telemetry/platform/Timer.h"
#include "telemetry/ScopedAppInfo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using qnt::test::waitUntil;

TEST(TelemetryDispatchQueue, SerialQueueRunsBlocksInOrderOnItsOwnThread)
{
    tel::DispatchQueue queue("com.quintora.test.serial");
    std::vector<int> order;
    std::atomic<int> concurrent{0}, maxConcurrent{0};
    for (int i = 0; i < 100; ++i)
        queue.async([&, i] {
            const int now = ++concurrent;
            maxConcurrent = std::max(maxConcurrent.load(), now);
            order.push_back(i);
            EXPECT_TRUE(queue.isCurrent());
            EXPECT_STREQ(tel::DispatchQueue::currentLabel(), "com.quintora.test.serial");
            --concurrent;
        });
    queue.sync([] {});
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_EQ(maxConcurrent.load(), 1);
    EXPECT_FALSE(queue.isCurrent());
    // sync from inside the queue runs at once instead of deadlocking.
    bool inner = false;
    queue.sync([&] { queue.sync([&] { inner = true; }); });
    EXPECT_TRUE(inner);
}

TEST(TelemetryDispatchQueue, ConcurrentQueueUsesSeveralWorkers)
{
    // Declared before the queue: its workers still read them until its destructor joins them.
    std::atomic<int> running{0};
    std::promise<void> allThree;
    std::atomic<bool> released{false};
    tel::DispatchQueue queue("com.quintora.test.concurrent", 3);
    for (int i = 0; i < 3; ++i)
        queue.async([&] {
            if (++running == 3)
                allThree.set_value();
            while (!released)
                std::this_thread::sleep_for(1ms);
        });
    EXPECT_EQ(allThree.get_future().wait_for(5s), std::future_status::ready);
    released = true;
}

TEST(TelemetryTimer, OneShotRepeatingAndCancelled)
{
    // Declared before the queue, which joins its worker when it goes.
    std::atomic<int> once{0}, repeated{0}, cancelled{0};
    std::atomic<long long> firedAfterMs{-1};
    const auto start = std::chrono::steady_clock::now();
    tel::DispatchQueue queue("com.quintora.test.timers");
    queue.asyncAfter(0.05, [&] {
        ++once;
        firedAfterMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
    });
    auto repeating = tel::Timer::schedule(0.01, 0.01, &queue, [&] { ++repeated; });
    // Due with the one-shot block, so by the time that has run this one would have too.
    auto dropped = tel::Timer::schedule(0.05, 0, &queue, [&] { ++cancelled; });
    dropped->cancel();
    EXPECT_TRUE(waitUntil([&] { return once.load() == 1 && repeated.load() >= 3; }));
    repeating->cancel();
    EXPECT_GE(firedAfterMs.load(), 45);
    std::this_thread::sleep_for(50ms);
    queue.sync([] {});
    const int afterCancel = repeated.load();
    std::this_thread::sleep_for(50ms);
    queue.sync([] {});
    EXPECT_EQ(repeated.load(), afterCancel);
    EXPECT_EQ(cancelled.load(), 0);
    EXPECT_FALSE(repeating->isValid());
}

TEST(TelemetryNotificationBus, FiltersByNameAndObjectAndTokensRemoveObservers)
{
    tel::NotificationBus bus;
    int a = 0, any = 0, forObject = 0;
    const int sender = 0;
    auto tokenA = bus.addObserver("A", nullptr, [&](const tel::TelemetryNotification &n) {
        ++a;
        EXPECT_EQ(std::any_cast<int>(n.userInfo.at("value")), 5);
    });
    auto tokenAny =
        bus.addObserver("", nullptr, [&](const tel::TelemetryNotification &) { ++any; });
    auto tokenObject =
        bus.addObserver("A", &sender, [&](const tel::TelemetryNotification &) { ++forObject; });
    bus.post("A", nullptr, {{"value", 5}});
    bus.post("A", &sender, {{"value", 5}});
    bus.post("B");
    EXPECT_EQ(a, 2);
    EXPECT_EQ(any, 3);
    EXPECT_EQ(forObject, 1);
    tokenA.reset();
    {
        auto moved = std::move(tokenAny);
    }
    bus.post("A", &sender, {{"value", 5}});
    EXPECT_EQ(a, 2);
    EXPECT_EQ(any, 3);
    EXPECT_EQ(forObject, 2);
}

TEST(TelemetryOperationQueue, SerialQueueRunsOneAtATimeAndHonoursDependencies)
{
    tel::OperationQueue queue("com.quintora.test.ops", 1);
    std::vector<std::string> order;
    std::mutex mutex;
    auto record = [&](std::string name) {
        return std::make_shared<tel::BlockOperation>([&, name] {
            std::lock_guard lock(mutex);
            order.push_back(name);
        });
    };
    auto upload = record("upload");
    auto package = record("package");
    auto compress = record("compress");
    upload->addDependency(package);
    package->addDependency(compress);
    // Added in reverse order: dependencies decide.
    queue.addOperation(upload);
    queue.addOperation(package);
    queue.addOperation(compress);
    queue.addOperation(record("later"));
    queue.waitUntilAllOperationsAreFinished();
    ASSERT_EQ(order.size(), 4u);
    std::erase(order, "later");
    EXPECT_EQ(order, (std::vector<std::string>{"compress", "package", "upload"}));
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(TelemetryOperationQueue, CancelledOperationsNeverRunAndStillFinish)
{
    tel::OperationQueue queue("com.quintora.test.cancel", 1);
    std::atomic<bool> ran{false}, completed{false}, released{false};
    // Holds the queue until the victim is cancelled (or, should that never happen, a while).
    auto blocker = std::make_shared<tel::BlockOperation>(
        [&] { waitUntil([&] { return released.load(); }, 5s); });
    auto victim = std::make_shared<tel::BlockOperation>([&] { ran = true; });
    victim->setCompletionBlock([&] { completed = true; });
    std::vector<std::pair<std::string, bool>> changes;
    std::mutex mutex;
    victim->addKeyObserver([&](const std::string &key, bool prior) {
        std::lock_guard lock(mutex);
        changes.emplace_back(key, prior);
    });
    queue.addOperation(blocker);
    queue.addOperation(victim);
    victim->cancel();
    released = true;
    victim->waitUntilFinished();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(victim->isFinished());
    EXPECT_FALSE(victim->isExecuting());
    EXPECT_TRUE(waitUntil([&] { return completed.load(); }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(changes, (std::vector<std::pair<std::string, bool>>{{"isCancelled", true},
                                                                  {"isCancelled", false},
                                                                  {"isFinished", true},
                                                                  {"isFinished", false}}));
}

TEST(TelemetryOperationQueue, WideQueueRespectsItsLimitAndKnowsItsThreads)
{
    tel::OperationQueue queue("com.quintora.test.wide", 2);
    std::atomic<int> running{0}, peak{0};
    std::atomic<int> sawQueue{0};
    for (int i = 0; i < 12; ++i)
        queue.addOperationWithBlock([&] {
            const int now = ++running;
            int previous = peak.load();
            while (now > previous && !peak.compare_exchange_weak(previous, now)) {
            }
            if (tel::OperationQueue::currentQueue() == &queue)
                ++sawQueue;
            // Two at a time must be possible: each waits for a second one to run beside it
            // (a queue that ran one at a time would keep it waiting until the limit here).
            waitUntil([&] { return peak.load() >= 2; }, 5s);
            --running;
        });
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(peak.load(), 2);
    EXPECT_EQ(sawQueue.load(), 12);
}

TEST(TelemetryPlist, ValuesKeepTheirTypesThroughXml)
{
    const tel::PlistValue::Dictionary dict{
        {"bool", true},
        {"int", std::int64_t(14)},
        {"real", 14.0},
        {"string", "text <&> ü"},
        {"data", tel::PlistValue::Data{0, 1, 255}},
        {"array", tel::PlistValue::Array{1, "two", tel::PlistValue::Array{}}},
        {"nested", tel::PlistValue::Dictionary{{"k", "v"}}},
    };
    const std::string path = (fs::path(qnt::test::isolatedHome()) / "types.plist").string();
    ASSERT_TRUE(tel::PlistValue(dict).writeFileAtomically(path));
    const auto read = tel::PlistValue::readFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, tel::PlistValue(dict));
    EXPECT_TRUE(read->find("int")->isNumber());
    EXPECT_EQ(read->find("real")->type(), tel::PlistValue::Type::Real);
    EXPECT_FALSE(tel::PlistValue::fromBytes("not a plist"));
    EXPECT_FALSE(tel::PlistValue::readFile(path + ".missing"));
    EXPECT_EQ(tel::PlistValue("YES").toBool(), true);
    EXPECT_EQ(tel::PlistValue("0").toBool(), false);
    EXPECT_EQ(tel::PlistValue(std::int64_t(42)).description(), "42");
}

// libplist aborts the process when it copies out a key or string that holds a NUL character;
// such lists are refused instead. The binary ones were written by Python's plistlib.
TEST(TelemetryPlist, NulCharactersInKeysAndStringsAreRefused)
{
    const std::string utf16Key(
        "\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x63\x00\x61\x00\x00\x00\xe9\x52\x78"
        "\x79\x08\x0b\x12\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03"
        "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x15",
        56);
    const std::string utf16String(
        "\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x51\x61\x63\x00\x78\x00\x00\x00\xe9"
        "\x08\x0b\x0d\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03\x00"
        "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x14",
        55);
    const std::string xml = std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                                        "<key>a</key><string>x")
                            + '\0' + "y</string></dict></plist>";
    for (const std::string &bytes : {utf16Key, utf16String, xml})
        EXPECT_FALSE(tel::PlistValue::fromBytes(bytes).has_value());
    // The same lists without the NUL still read.
    std::string clean = utf16String;
    clean[17] = 'z'; // the second UTF-16 unit, U+0000, becomes U+007A
    const auto value = tel::PlistValue::fromBytes(clean);
    ASSERT_TRUE(value.has_value());
    ASSERT_NE(value->find("a"), nullptr);
    EXPECT_EQ(value->find("a")->toString(), "xz\u00e9");
}

TEST(TelemetryAppInfo, ReadsTheBundleConfigurationAndResources)
{
    const qnt::test::ScopedAppInfo appInfo;
    const fs::path bundle = fs::path(qnt::test::isolatedHome()) / "bundle";
    fs::create_directories(bundle);
    ASSERT_TRUE(
        tel::PlistValue(tel::PlistValue::Dictionary{{"CFBundleIdentifier", "com.example/app"},
                                                    {"Plinth", tel::PlistValue::Dictionary{}}})
            .writeFileAtomically((bundle / "Info.plist").string()));
    std::ofstream(bundle / "BeaconService-Info.plist") << "x";
    tel::AppInfo::setBundleFolder(bundle.string());
    EXPECT_EQ(tel::AppInfo::bundleIdentifier(), "com.example/app");
    EXPECT_TRUE(tel::AppInfo::objectForInfoDictionaryKey("Plinth"));
    EXPECT_FALSE(tel::AppInfo::objectForInfoDictionaryKey("Missing"));
    EXPECT_EQ(*tel::AppInfo::pathForResource("BeaconService-Info", "plist"),
              (bundle / "BeaconService-Info.plist").string());
    EXPECT_FALSE(tel::AppInfo::pathForResource("Nothing", "plist"));
    tel::AppInfo::setInfoDictionary(std::nullopt);
    EXPECT_FALSE(tel::AppInfo::infoDictionary());
    tel::AppInfo::setBundleFolder((bundle / "none").string());
    EXPECT_FALSE(tel::AppInfo::infoDictionary());
    EXPECT_NE(tel::AppInfo::executablePath().find("telemetry_platform_tests"), std::string::npos);
}

TEST(TelemetryPaths, FollowTheXdgFolders)
{
    const std::string home = qnt::test::isolatedHome();
    EXPECT_EQ(tel::TelemetryPaths::applicationSupportFolder(), home + "/.local/share");
    EXPECT_EQ(tel::TelemetryPaths::cachesFolder(), home + "/.cache");
    const qnt::test::ScopedEnvironmentVariable cache("XDG_CACHE_HOME", "relative/ignored");
    EXPECT_EQ(tel::TelemetryPaths::cachesFolder(), home + "/.cache");
}

TEST(TelemetryHost, HooksReachTheHost)
{
    tel::Host::reset();
    EXPECT_FALSE(tel::Host::hasMainThreadExecutor());
    std::promise<void> ranOnStandIn;
    tel::Host::runOnMainThread([&] { ranOnStandIn.set_value(); });
    EXPECT_EQ(ranOnStandIn.get_future().wait_for(5s), std::future_status::ready);

    std::vector<std::function<void()>> mainQueue;
    std::vector<std::string> removed;
    tel::Host::Hooks hooks;
    hooks.mainThreadExecutor = [&](std::function<void()> block) {
        mainQueue.push_back(std::move(block));
    };
    hooks.userDefaultsReader = [](const std::string &key) -> std::optional<tel::PlistValue> {
        if (key == "NSApplicationCrashOnExceptions")
            return tel::PlistValue(true);
        return std::nullopt;
    };
    hooks.userDefaultsRemover = [&](const std::string &key) { removed.push_back(key); };
    tel::Host::install(hooks);
    bool ran = false;
    tel::Host::runOnMainThread([&] { ran = true; });
    EXPECT_FALSE(ran);
    ASSERT_EQ(mainQueue.size(), 1u);
    mainQueue.front()();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(tel::Host::userDefault("NSApplicationCrashOnExceptions")->toBool());
    EXPECT_FALSE(tel::Host::userDefault("other"));
    tel::Host::removeUserDefault("k");
    EXPECT_EQ(removed, std::vector<std::string>{"k"});
    tel::Host::reset();
}

TEST(TelemetrySystemLog, DebugLinesNeedTheDebugFlag)
{
    std::vector<std::string> lines;
    tel::SystemLog::setSink([&](const std::string &line) { lines.push_back(line); });
    tel::SystemLog::log("[Plinth] one");
    tel::SystemLog::debug("[Plinth] hidden");
    tel::SystemLog::setDebugEnabled(true);
    tel::SystemLog::debug("[Plinth] shown");
    tel::SystemLog::setDebugEnabled(false);
    tel::SystemLog::setSink({});
    EXPECT_EQ(lines, (std::vector<std::string>{"[Plinth] one", "[Plinth] shown"}));
}

TEST(TelemetryTimer, TimeScaleShortensLongDelays)
{
    tel::Timer::setTimeScale(0.001);
    std::atomic<bool> fired{false};
    tel::DispatchQueue queue("com.quintora.test.scaled");
    queue.asyncAfter(10.0, [&] { fired = true; }); // 10 ms at this scale
    EXPECT_TRUE(waitUntil([&] { return fired.load(); }, 2000ms));
    tel::Timer::setTimeScale(1.0);
    EXPECT_EQ(tel::Timer::timeScale(), 1.0);
}
