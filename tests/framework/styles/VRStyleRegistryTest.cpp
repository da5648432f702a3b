#include "framework/base/VRConstants.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRStyleRegistry.h"
#include "platform/NotificationCenter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

VRStyleRef named(const QString &name)
{
    auto style = VRStyle::styleWithFillColour(Qt::white, Qt::black, 1.0);
    style->setName(name);
    return style;
}

class StyleRegistryTest : public testing::Test
{
protected:
    void SetUp() override { VRStyleRegistry::resetRegistry(); }
    void TearDown() override { VRStyleRegistry::resetRegistry(); }
    VRStyleRegistry &registry() { return VRStyleRegistry::sharedStyleRegistry(); }
};

TEST_F(StyleRegistryTest, RegisteringLocksSharesAndFilesInTheDefaultCategory)
{
    auto style = named("B");
    int posts = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        kVRStyleRegistryDidFlagPossibleUIChange, nullptr, [&](const Notification &) { ++posts; });
    VRStyleRegistry::registerStyle(style);
    EXPECT_GE(posts, 1);
    EXPECT_TRUE(style->isLocked());
    EXPECT_TRUE(style->isStyleSharable());
    EXPECT_TRUE(style->isStyleRegistered());
    EXPECT_EQ(registry().styleForKey(style->uniqueKey()), style);
    EXPECT_EQ(registry().styleNameForKey(style->uniqueKey()), "B");
    EXPECT_TRUE(registry().keyExistsInCategory(style->uniqueKey(), kVRDefaultCategoryName));
    EXPECT_FALSE(registry().styleForKey("nope"));
    EXPECT_TRUE(registry().styleNameForKey("nope").isEmpty());
    VRStyleRegistry::unregisterStyle(style);
    EXPECT_FALSE(style->isStyleRegistered());
    EXPECT_FALSE(registry().styleForKey(style->uniqueKey()));
}

TEST_F(StyleRegistryTest, CategoriesFollowTheRules)
{
    auto a = named("Zebra"), b = named("Apple");
    VRStyleRegistry::registerStyle(a);
    VRStyleRegistry::registerStyle(b);
    registry().addCategory("Mine");
    registry().addKey(a->uniqueKey(), "Mine", false);
    registry().addKey(b->uniqueKey(), "Other", false); // no such category, not created
    EXPECT_FALSE(registry().allCategories().contains("Other"));
    registry().addKey(b->uniqueKey(), "Other", true);
    EXPECT_TRUE(registry().keyExistsInCategory(b->uniqueKey(), "Other"));
    EXPECT_EQ(registry().allSortedKeysInCategory(kVRDefaultCategoryName),
              QStringList({b->uniqueKey(), a->uniqueKey()}));
    registry().renameCategory("Mine", "Ours");
    EXPECT_TRUE(registry().keyExistsInCategory(a->uniqueKey(), "Ours"));
    registry().removeCategory(kVRDefaultCategoryName);
    registry().renameCategory(kVRDefaultCategoryName, "X");
    registry().removeKey(a->uniqueKey(), kVRDefaultCategoryName);
    EXPECT_TRUE(registry().allCategories().contains(kVRDefaultCategoryName));
    EXPECT_TRUE(registry().keyExistsInCategory(a->uniqueKey(), kVRDefaultCategoryName));
    registry().removeCategory("Ours");
    EXPECT_FALSE(registry().allCategories().contains("Ours"));
    VRStyleRegistry::unregisterStyle(b);
    EXPECT_FALSE(registry().keyExistsInCategory(b->uniqueKey(), "Other"));
}

TEST_F(StyleRegistryTest, RecentlyUsedKeepsTheLastTenNewestFirst)
{
    QList<VRStyleRef> styles;
    for (int i = 0; i < 12; ++i) {
        styles.append(named(QString::number(i)));
        VRStyleRegistry::registerStyle(styles.last());
    }
    for (const auto &s : styles)
        EXPECT_EQ(VRStyleRegistry::styleForKeyAddingToRecentlyUsed(s->uniqueKey()), s);
    VRStyleRegistry::styleForKeyAddingToRecentlyUsed(styles.at(5)->uniqueKey());
    const QStringList recent =
        registry().allKeysInCategory(VRStyleRegistry::recentlyUsedCategoryName());
    ASSERT_EQ(recent.size(), 10);
    EXPECT_EQ(recent.first(), styles.at(5)->uniqueKey());
    EXPECT_EQ(recent.at(1), styles.at(11)->uniqueKey());
    EXPECT_FALSE(VRStyleRegistry::styleForKeyAddingToRecentlyUsed("unknown"));
}

TEST_F(StyleRegistryTest, FileRoundTripAndMergeOptions)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("lib.styles");
    auto a = named("A");
    auto b = named("B");
    VRStyleRegistry::registerStyle(a);
    VRStyleRegistry::registerStyle(b);
    registry().addKey(b->uniqueKey(), "Lines", true);
    ASSERT_TRUE(registry().writeToFile(path, true).ok());

    VRStyleRegistry::resetRegistry();
    auto c = named("C");
    VRStyleRegistry::registerStyle(c);
    ASSERT_TRUE(registry().readFromFile(path, VRStyleRegistry::KeepExisting).ok());
    EXPECT_EQ(registry().count(), 3);
    EXPECT_TRUE(registry().keyExistsInCategory(b->uniqueKey(), "Lines"));
    EXPECT_TRUE(registry().styleForKey(a->uniqueKey())->isEqual(*a));
    EXPECT_TRUE(registry().styleForKey(a->uniqueKey())->isLocked());

    // Keep existing: a registered style with the same key stays.
    const VRStyleRef kept = registry().styleForKey(a->uniqueKey());
    ASSERT_TRUE(registry().readFromFile(path, VRStyleRegistry::KeepExisting).ok());
    EXPECT_EQ(registry().styleForKey(a->uniqueKey()), kept);
    // Replace same keys: the incoming one wins.
    ASSERT_TRUE(registry().readFromFile(path, VRStyleRegistry::ReplaceSameKeys).ok());
    EXPECT_NE(registry().styleForKey(a->uniqueKey()), kept);
    EXPECT_EQ(registry().count(), 3);
    // Replace the registry.
    ASSERT_TRUE(registry().readFromFile(path, VRStyleRegistry::ReplaceRegistry).ok());
    EXPECT_EQ(registry().count(), 2);
    EXPECT_FALSE(registry().styleForKey(c->uniqueKey()));
}

struct BadLibrary {
    const char *name;
    const char *content;
    const char *expected;
};

class StyleRegistryBadFileTest : public StyleRegistryTest,
                                 public testing::WithParamInterface<BadLibrary>
{
};

TEST_P(StyleRegistryBadFileTest, LeavesTheRegistryAsItWas)
{
    auto style = named("Keep");
    VRStyleRegistry::registerStyle(style);
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.styles");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(GetParam().content);
    file.close();
    for (int option : {0, 1, 2}) {
        auto result = registry().readFromFile(path, option);
        ASSERT_FALSE(result.ok());
        EXPECT_TRUE(result.errorMessage().contains(QLatin1String(GetParam().expected)))
            << result.errorMessage().toStdString();
        EXPECT_EQ(registry().count(), 1);
        EXPECT_EQ(registry().styleForKey(style->uniqueKey()), style);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StyleRegistryBadFileTest,
    testing::Values(
        BadLibrary{"Truncated", R"({"format":"quintora.styles","version":1,"styles":[)",
                   "not a readable file"},
        BadLibrary{"OtherFormat", R"({"format":"quintora.drawing","version":1})",
                   "not a Quintora style library"},
        BadLibrary{"NewerVersion", R"({"format":"quintora.styles","version":2,"styles":[]})",
                   "newer version"},
        BadLibrary{
            "HostileClass",
            R"({"format":"quintora.styles","version":1,"styles":[{"key":"k","renderers":[{"class":"QFile"}]}]})",
            "styles[0].renderers[0].class"},
        BadLibrary{"DuplicateKey",
                   R"({"format":"quintora.styles","version":1,"styles":[{"key":"k"},{"key":"k"}]})",
                   "styles[1].key"},
        BadLibrary{
            "DanglingKey",
            R"({"format":"quintora.styles","version":1,"styles":[],"categories":[{"name":"X","keys":["zz"]}]})",
            "categories[0].keys[0]"},
        BadLibrary{
            "HugeNumber",
            R"({"format":"quintora.styles","version":1,"styles":[{"key":"k","renderers":[{"class":"VRStroke","width":1e308}]}]})",
            "width"}),
    [](const testing::TestParamInfo<BadLibrary> &info) { return std::string(info.param.name); });

TEST_F(StyleRegistryTest, DefaultsLoadTheStandardLibraryAndSaveToTheUserFolder)
{
    VRStyleRegistry::loadDefaults();
    EXPECT_GE(registry().count(), 8);
    const VRStyleRef basic = registry().styleForKey("QNT-STANDARD-BASIC-SHAPE");
    ASSERT_TRUE(basic);
    EXPECT_EQ(basic->name(), "Basic Shape");
    ASSERT_TRUE(VRStyleRegistry::saveDefaults().ok());
    EXPECT_TRUE(QFileInfo::exists(VRStyleRegistry::defaultRegistryPath()));
    auto mine = named("Mine");
    VRStyleRegistry::registerStyle(mine);
    ASSERT_TRUE(VRStyleRegistry::saveDefaults().ok());
    VRStyleRegistry::resetRegistry();
    VRStyleRegistry::loadDefaults();
    EXPECT_TRUE(registry().styleForKey(mine->uniqueKey()));

    std::unique_ptr<QMenu> menu(registry().managedStylesMenu(nullptr, {}));
    ASSERT_FALSE(menu->actions().isEmpty());
    EXPECT_EQ(menu->actions().first()->text(), kVRDefaultCategoryName);
    QFile::remove(VRStyleRegistry::defaultRegistryPath());
}

TEST_F(StyleRegistryTest, AnUnreadableRegistryFileIsKeptAside)
{
    const QString path = VRStyleRegistry::defaultRegistryPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"format\":\"quintora.styles\",\"version\":1,\"styles\":[{\"key\":\"k\","
               "\"renderers\":[{\"class\":\"QFile\"}]}]}");
    file.close();
    VRStyleRegistry::loadDefaults();
    EXPECT_TRUE(registry().styleForKey("QNT-STANDARD-BASIC-SHAPE"));
    const QString aside = QFileInfo(path).absolutePath() + "/Registry (unreadable).styles";
    EXPECT_TRUE(QFileInfo::exists(aside));
    EXPECT_FALSE(QFileInfo::exists(path));
    QFile::remove(aside);
}

} // namespace
