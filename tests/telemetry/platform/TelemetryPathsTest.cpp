#include "telemetry/platform/TelemetryPaths.h"

#include "common/ScopedEnvironment.h"
#include "common/TestEnvironment.h"

#include <gtest/gtest.h>

TEST(TelemetryPaths, FollowTheXdgFolders)
{
    const std::string home = qnt::test::isolatedHome();
    EXPECT_EQ(tel::TelemetryPaths::applicationSupportFolder(), home + "/.local/share");
    EXPECT_EQ(tel::TelemetryPaths::cachesFolder(), home + "/.cache");
    const qnt::test::ScopedEnvironmentVariable cache("XDG_CACHE_HOME", "relative/ignored");
    EXPECT_EQ(tel::TelemetryPaths::cachesFolder(), home + "/.cache");
}
