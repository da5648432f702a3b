#include "style/VKStyleManagerDialog.h"

#include "framework/base/VRConstants.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRStyleRegistry.h"

#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class StyleManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        VRStyleRegistry::resetRegistry();
        dialog.setQuestion([this](const QString &message, const QString &) {
            asked = message;
            return answer;
        });
    }
    void TearDown() override { VRStyleRegistry::resetRegistry(); }
    VRStyleRegistry &registry() { return VRStyleRegistry::sharedStyleRegistry(); }
    VRStyleRef addStyle(const QString &name)
    {
        auto style = VRStyle::styleWithFillColour(QColor::fromHsv(name.size() * 40 % 360, 200, 220),
                                                  Qt::black, 1.0);
        style->setName(name);
        VRStyleRegistry::registerStyle(style);
        return style;
    }

    VKStyleManagerDialog dialog;
    bool answer = true;
    QString asked;
};

TEST_F(StyleManagerTest, SixStylesFillOneRowAndTwoCells)
{
    for (int i = 0; i < 6; ++i)
        addStyle(QStringLiteral("Style %1").arg(i));
    dialog.updateUIForCategory(kVRDefaultCategoryName);
    QTableWidget *grid = dialog.iconMatrix();
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_TRUE(grid->item(1, 1)->flags() & Qt::ItemIsEnabled);
    EXPECT_FALSE(grid->item(1, 2)->flags() & Qt::ItemIsEnabled);
    EXPECT_FALSE(grid->item(1, 3)->flags() & Qt::ItemIsEnabled);
    EXPECT_TRUE(grid->item(1, 3)->icon().isNull());
    EXPECT_EQ(dialog.browserList()->rowCount(), 6);
    EXPECT_TRUE(dialog.selectedStyle());
    EXPECT_FALSE(dialog.deleteCategoryButton()->isEnabled());
}

TEST_F(StyleManagerTest, CategoriesAreNumberedEditedAndTheDefaultOneIsKept)
{
    const VRStyleRef style = addStyle("Blue");
    dialog.window();
    const int first = VKStyleManagerDialog::newCategoryCounter() + 1;
    dialog.addCategoryAction();
    const QString one = QStringLiteral("untitled category %1").arg(first);
    EXPECT_EQ(dialog.selectedCategory(), one);
    // An empty category stays chosen and shows nothing.
    EXPECT_EQ(dialog.iconMatrix()->rowCount(), 0);
    EXPECT_EQ(dialog.browserList()->rowCount(), 0);
    const int row = int(registry().allCategories().indexOf(one));
    dialog.renameCategory(row, "Mine");
    dialog.addCategoryAction();
    EXPECT_TRUE(
        registry().allCategories().contains(QStringLiteral("untitled category %1").arg(first + 1)));

    // Filing the selected style in "Mine" through its check box.
    dialog.updateUIForCategory(kVRDefaultCategoryName);
    dialog.setStyleInCategory(int(registry().allCategories().indexOf("Mine")), true);
    EXPECT_TRUE(registry().keyExistsInCategory(style->uniqueKey(), "Mine"));

    // The default category keeps its name and its members.
    const int defaultRow = int(registry().allCategories().indexOf(kVRDefaultCategoryName));
    dialog.renameCategory(defaultRow, "Other");
    dialog.setStyleInCategory(defaultRow, false);
    EXPECT_TRUE(registry().allCategories().contains(kVRDefaultCategoryName));
    EXPECT_TRUE(registry().keyExistsInCategory(style->uniqueKey(), kVRDefaultCategoryName));
    EXPECT_FALSE(dialog.categoryList()->item(defaultRow, 1)->flags() & Qt::ItemIsEditable);
    dialog.deleteCategoryAction();
    EXPECT_TRUE(registry().allCategories().contains(kVRDefaultCategoryName));

    dialog.updateUIForCategory("Mine");
    dialog.deleteCategoryAction();
    EXPECT_FALSE(registry().allCategories().contains("Mine"));
    EXPECT_EQ(dialog.selectedCategory(), kVRDefaultCategoryName);
}

TEST_F(StyleManagerTest, RemoveAndClearAskAndCancelKeepsEverything)
{
    const VRStyleRef style = addStyle("Red");
    addStyle("Green");
    dialog.updateUIForCategory(kVRDefaultCategoryName);
    answer = false;
    dialog.styleDeleteAction();
    EXPECT_TRUE(asked.startsWith("Really Remove '"));
    dialog.registryResetAction();
    EXPECT_EQ(asked, "Really Remove All Styles From Registry?");
    EXPECT_EQ(registry().count(), 2);

    answer = true;
    const VRStyleRef chosen = dialog.selectedStyle();
    dialog.styleDeleteAction();
    EXPECT_FALSE(registry().styleForKey(chosen->uniqueKey()));
    EXPECT_EQ(registry().count(), 1);
    dialog.registryResetAction();
    EXPECT_EQ(registry().count(), 0);
    EXPECT_EQ(dialog.iconMatrix()->rowCount(), 0);
}

TEST_F(StyleManagerTest, SavedLibraryComesBackAfterClearing)
{
    QTemporaryDir dir;
    const VRStyleRef a = addStyle("Alpha");
    addStyle("Beta");
    registry().addCategory("Mine");
    registry().addKey(a->uniqueKey(), "Mine", false);
    const QString path = dir.filePath("library.styles");
    ASSERT_TRUE(dialog.saveStylesToFile(path));
    dialog.registryResetAction();
    ASSERT_EQ(registry().count(), 0);
    ASSERT_TRUE(dialog.loadStylesFromFile(path));
    EXPECT_EQ(registry().count(), 2);
    EXPECT_TRUE(registry().allCategories().contains("Mine"));
    EXPECT_TRUE(registry().keyExistsInCategory(a->uniqueKey(), "Mine"));
    EXPECT_EQ(dialog.selectedCategory(), kVRDefaultCategoryName);
    EXPECT_EQ(dialog.browserList()->rowCount(), 2);
}

TEST_F(StyleManagerTest, TruncatedOrHostileFilesAreRefusedAndChangeNothing)
{
    QTemporaryDir dir;
    addStyle("Kept");
    const QString good = dir.filePath("good.styles");
    ASSERT_TRUE(dialog.saveStylesToFile(good));
    QFile in(good);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray whole = in.readAll();
    const QByteArray hostile = QByteArray(whole).replace("\"VRFill\"", "\"QProcess\"");
    const std::pair<const char *, QByteArray> files[] = {
        {"truncated", whole.left(whole.size() / 2)},
        {"hostile", hostile},
        {"foreign", QByteArray("{\"format\":\"other\"}")},
    };
    for (const auto &[name, bytes] : files) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QString::fromLatin1(name) + ".styles");
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        EXPECT_FALSE(dialog.loadStylesFromFile(path));
        EXPECT_FALSE(dialog.lastErrorMessage().isEmpty());
        EXPECT_EQ(registry().count(), 1);
    }
    EXPECT_FALSE(dialog.saveStylesToFile(dir.filePath("no/such/folder/x.styles")));
    EXPECT_FALSE(dialog.lastErrorMessage().isEmpty());
}

} // namespace
