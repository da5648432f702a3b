#include "platform/QntPaths.h"

#include "common/TestEnvironment.h"

#include <QDir>

#include <gtest/gtest.h>

TEST(QntPaths, UserFoldersFollowXdgVariables)
{
    const QString home = QString::fromStdString(qnt::test::isolatedHome());
    EXPECT_EQ(QntPaths::applicationSupportFolder(), home + "/.local/share/Quintora");
    EXPECT_EQ(QntPaths::cachesFolder(), home + "/.cache/Quintora");
    EXPECT_EQ(QntPaths::configFolder(), home + "/.config/Quintora");
}

TEST(QntPaths, RelativeXdgValueFallsBackToHome)
{
    qputenv("XDG_CACHE_HOME", "relative/cache");
    EXPECT_EQ(QntPaths::cachesFolder(), QDir::homePath() + "/.cache/Quintora");
}

TEST(QntPaths, BundleSitsBesideTheBinFolder)
{
    qunsetenv("QNT_BUNDLE_DIR");
    EXPECT_TRUE(QntPaths::bundleResourcesPath().endsWith("/share/quintora"));
    qputenv("QNT_BUNDLE_DIR", "/opt/q/share//quintora/");
    EXPECT_EQ(QntPaths::bundleResourcesPath(), "/opt/q/share/quintora");
}
