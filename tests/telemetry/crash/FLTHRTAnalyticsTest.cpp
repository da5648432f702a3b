// The fatal-crash event for Hearth Analytics: its parameters, and that it goes out only in Hearth
// mode to a registered Hearth library.

#include "telemetry/crash/FLTHRTAnalytics.h"

#include "common/ScopeExit.h"
#include "telemetry/core/Plinth.h"
#include "tests/telemetry/TallyKit/TLYFakeHearthAnalytics.h"

#include <gtest/gtest.h>

namespace {

using json = nlohmann::ordered_json;

TEST(FLTHRTAnalytics, ParametersGiveTheTimeInRoundedMilliseconds)
{
    struct Case {
        double seconds;
        std::int64_t milliseconds;
    };
    for (const Case &c : {Case{1767225700.0, 1767225700000}, Case{1.0004, 1000}, Case{1.0006, 1001},
                          Case{1e300, 0}, Case{-1e300, 0}}) {
        SCOPED_TRACE(c.seconds);
        const json parameters = FLTHRTAnalytics::buildLogParamsFromCrash(c.seconds);
        EXPECT_EQ(parameters.dump(),
                  json({{"timestamp", c.milliseconds}, {"_r", 1}, {"fatal", 1}}).dump());
    }
}

TEST(FLTHRTAnalytics, GoesToARegisteredHearthLibraryInHearthModeOnly)
{
    const std::uint64_t mode = Plinth::sharedSDK().installationMode();
    const qnt::test::ScopeExit restore([mode] {
        Plinth::sharedSDK().setInstallationMode(mode);
        TLYHearthAnalytics::registerLibrary(nullptr);
    });
    struct Case {
        std::uint64_t installationMode;
        bool registered;
        std::size_t calls;
    };
    for (const Case &c :
         {Case{2, true, 1}, Case{1, true, 0}, Case{0, true, 0}, Case{2, false, 0}}) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << c.installationMode << " registered " << c.registered);
        auto hearth = std::make_shared<qnt::test::TLYFakeHearthAnalytics>();
        TLYHearthAnalytics::registerLibrary(c.registered ? hearth : nullptr);
        Plinth::sharedSDK().setInstallationMode(c.installationMode);
        FLTHRTAnalytics::logCrashWithTimeStamp(1767225700.25);
        const auto calls = hearth->calls();
        ASSERT_EQ(calls.size(), c.calls);
        if (calls.empty())
            continue;
        EXPECT_EQ(calls[0].origin, "flx");
        EXPECT_EQ(calls[0].name, "_ae");
        EXPECT_EQ(calls[0].parameters["timestamp"], 1767225700250);
    }
}

} // namespace
