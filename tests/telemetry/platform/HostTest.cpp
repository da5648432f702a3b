#include "telemetry/platform/Host.h"

#include "telemetry/platform/PlistValue.h"

#include <gtest/gtest.h>

#include <chrono>

#include <future>

using namespace std::chrono_literals;

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
