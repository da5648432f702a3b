#include "telemetry/platform/SystemLog.h"

#include <gtest/gtest.h>

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
