#include "platform/QntPaths.h"

#include "common/ScopedEnvironment.h"
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
    const qnt::test::ScopedEnvironmentVariable cache("XDG_CACHE_HOME", "relative/cache");
    EXPECT_EQ(QntPaths::cachesFolder(), QDir::homePath() + "/.cache/Quintora");
}

TEST(QntPaths, BundleSitsBesideTheBinFolder)
{
    {
        const qnt::test::ScopedEnvironmentVariable unset("QNT_BUNDLE_DIR", std::nullopt);
        EXPECT_TRUE(QntPaths::bundleResourcesPath().endsWith("/share/quintora"));
    }
    const qnt::test::ScopedEnvironmentVariable bundle("QNT_BUNDLE_DIR", "/opt/q/share//quintora/");
    EXPECT_EQ(QntPaths::bundleResourcesPath(), "/opt/q/share/quintora");
}

TEST(QntPaths, SafeFileNamesAreNeverHidden)
{
    const struct {
        QString name;
        QString safe;
    } cases[] = {
        {"My:Stencil?", "MyStencil"},
        {" .x", "x"}, // spaces before a dot once left the hidden file ".x"
        {". .x", "x"},
        {"...x", "x"},
        {"../../etc", "etc"},
        {"  name.db  ", "name.db"},
        {"a.b - c_d.", "a.b - c_d."},
        {"Ünïcödé", "ncd"},
        {" . ", ""},
        {"", ""},
        {QString(150, 'a'), QString(100, 'a')},
    };
    for (const auto &c : cases)
        EXPECT_EQ(QntPaths::safeFileName(c.name), c.safe) << c.name.toStdString();
}
