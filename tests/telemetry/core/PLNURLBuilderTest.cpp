#include "telemetry/core/PLNURLBuilder.h"

#include <gtest/gtest.h>

TEST(PLNURLBuilder, AppendsComponentsAndQueryParameters)
{
    PLNURLBuilder builder = PLNURLBuilder::URLWithBase("https://127.0.0.1:8443");
    builder.appendComponent("/spi/v2/platforms/");
    builder.escapeAndAppendComponent("mac");
    builder.appendComponent("/apps/");
    builder.escapeAndAppendComponent("com.example app/ü");
    builder.appendValue("1.0 beta", "build_version");
    builder.appendValue(std::optional<std::string>(), "icon_hash");
    EXPECT_EQ(builder.queryParams(), 1u);
    builder.appendValue(3, "source");
    EXPECT_EQ(builder.queryParams(), 2u);
    EXPECT_EQ(builder.URL(), "https://127.0.0.1:8443/spi/v2/platforms/mac/apps/"
                             "com.example%20app/%C3%BC?build_version=1.0%20beta&source=3");
}

TEST(PLNURLBuilder, KeepsReservedCharactersAndEscapesTheRest)
{
    EXPECT_EQ(PLNURLBuilder::escapeString("a/b?c&d=e"), "a/b?c&d=e");
    EXPECT_EQ(PLNURLBuilder::escapeString("50% \"x\"<>\n"), "50%25%20%22x%22%3C%3E%0A");
}
