#include "style/ColorSchemeController.h"

#include "framework/model/VRDrawing.h"
#include "framework/notations/QntColorScheme.h"
#include "framework/notations/QntNotation.h"
#include "platform/ColorPanel.h"
#include "platform/UserDefaults.h"
#include "style/ColorSchemeTreeNode.h"
#include "common/SharedStateKeepers.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QntNotationRef officeNotation()
{
    static const bool installed = QntNotation::copyNotationsFromBundleToAppSupportFolder().ok();
    if (!installed)
        return nullptr;
    return QntNotation::notationWithPath(QntNotation::rootNotationsSrcFolderPath()
                                         + QStringLiteral("/Office/Office.db"));
}

class ColorSchemeSection : public ::testing::Test
{
protected:
    // Declared first, so it ends last: the colour panel goes back as the test found it.
    qnt::test::ColorPanelKeeper m_colourPanel;
    void SetUp() override
    {
        m_notation = officeNotation();
        ASSERT_TRUE(m_notation && m_notation->isValid());
        ASSERT_GE(m_notation->colorSchemesList().size(), 3);
        forget();
    }
    void TearDown() override
    {
        ColorPanel::sharedColorPanel().orderOut();
        forget();
    }
    static void forget()
    {
        UserDefaults::standardUserDefaults().removeObjectForKey(kQntColorSchemesKey);
        ColorSchemeController::releaseLiveCopy();
        QntColorScheme::setCustomColorSchemePropsRef(nullptr);
        QntColorScheme::releaseColorSchemeCache();
    }
    std::unique_ptr<VRDrawing> drawing() const
    {
        auto made = std::make_unique<VRDrawing>();
        made->setCurrentNotation(m_notation);
        return made;
    }
    static std::unique_ptr<ColorSchemeController> section(VRDrawing &drawing)
    {
        auto made = std::make_unique<ColorSchemeController>();
        made->setConfirmation([](const QString &) { return true; });
        made->setupWithDrawing(&drawing);
        return made;
    }
    // The first colour of a group of the n-th scheme.
    static ColorSchemeItemTreeNode *colour(ColorSchemeController &c, int scheme,
                                           const QString &group, int index = 0)
    {
        ColorSchemeTreeNode *s = c.rootNode()->child(scheme);
        for (int i = 0; s && i < s->childCount(); ++i) {
            auto *g = static_cast<ColorSchemeGroupTreeNode *>(s->child(i));
            if (g->storedName() == group && g->childCount() > index)
                return static_cast<ColorSchemeItemTreeNode *>(g->child(index));
        }
        return nullptr;
    }
    static QString storedHex(const QString &notation, int scheme, const QString &group)
    {
        const QVariantMap root = UserDefaults::standardUserDefaults()
                                     .dictionaryForKey(kQntColorSchemesKey)
                                     .value(notation)
                                     .toMap();
        const QVariantMap s = root.value("Children").toList().value(scheme).toMap();
        for (const QVariant &g : s.value("Children").toList()) {
            if (g.toMap().value("Name") == group)
                return g.toMap()
                    .value("Children")
                    .toList()
                    .value(0)
                    .toMap()
                    .value("HexColorValue")
                    .toString();
        }
        return {};
    }
    QntNotationRef m_notation;
};

TEST_F(ColorSchemeSection, AColourChangeReachesEveryWindowIsKeptAndLeavesOtherNotationsAlone)
{
    // A customisation of another notation, saved in an earlier run.
    const QVariantMap other{{"Children", QVariantList{QVariantMap{{"Id", 7}, {"Name", "Mine"}}}}};
    UserDefaults::standardUserDefaults().setObject(QVariantMap{{"Elsewhere", other}},
                                                   kQntColorSchemesKey);
    auto d1 = drawing(), d2 = drawing();
    auto a = section(*d1), b = section(*d2);
    ASSERT_TRUE(colour(*a, 0, "Fill"));
    a->selectNode(colour(*a, 0, "Fill"));
    a->editColourOfNode(colour(*a, 0, "Fill"));
    a->colorWellAction(QColor(0x12, 0x34, 0x56));

    EXPECT_EQ(colour(*a, 0, "Fill")->hexColor(), "#123456");
    EXPECT_EQ(colour(*b, 0, "Fill")->hexColor(), "#123456"); // b reloaded at once
    const QString name = m_notation->notationName();
    EXPECT_EQ(storedHex(name, 0, "Fill"), "#123456");
    EXPECT_EQ(UserDefaults::standardUserDefaults()
                  .dictionaryForKey(kQntColorSchemesKey)
                  .value("Elsewhere")
                  .toMap(),
              other);
    // The framework reads the user's colour.
    EXPECT_EQ(QntColorScheme::colour(*m_notation, colour(*a, 0, "Fill")->owningScheme()->Id(),
                                     "Fill", int(colour(*a, 0, "Fill")->Id()))
                  .name(),
              "#123456");

    // A new run: nothing in memory, the settings file read again.
    a.reset();
    b.reset();
    ColorSchemeController::releaseLiveCopy();
    UserDefaults::standardUserDefaults().reload();
    auto c = section(*d1);
    EXPECT_EQ(colour(*c, 0, "Fill")->hexColor(), "#123456");
    EXPECT_TRUE(UserDefaults::standardUserDefaults()
                    .dictionaryForKey(kQntColorSchemesKey)
                    .contains("Elsewhere"));
}

TEST_F(ColorSchemeSection, NewCopiesTheSelectedSchemeRemoveAndRestoreAskFirst)
{
    auto d = drawing();
    auto c = section(*d);
    const int schemes = c->rootNode()->childCount();
    qint64 largest = 0;
    for (int i = 0; i < schemes; ++i)
        largest = std::max(largest, c->rootNode()->child(i)->Id());
    ColorSchemeTreeNode *second = c->rootNode()->child(1);
    c->selectNode(second);
    c->addNewColorSchemeButton()->click();
    ASSERT_EQ(c->rootNode()->childCount(), schemes + 1);
    ColorSchemeTreeNode *made = c->rootNode()->child(schemes);
    EXPECT_EQ(made->name(), "Untitled");
    EXPECT_EQ(made->Id(), largest + 1);
    EXPECT_EQ(c->currentNode(), made);
    EXPECT_EQ(colour(*c, schemes, "Fill")->hexColor(), colour(*c, 1, "Fill")->hexColor());
    EXPECT_EQ(storedHex(m_notation->notationName(), schemes, "Fill"),
              colour(*c, 1, "Fill")->storedHexColor());

    // Declined: nothing is removed.
    c->setConfirmation([](const QString &) { return false; });
    c->removeColorSchemeButton()->click();
    EXPECT_EQ(c->rootNode()->childCount(), schemes + 1);
    c->setConfirmation([](const QString &) { return true; });
    c->removeColorSchemeButton()->click();
    EXPECT_EQ(c->rootNode()->childCount(), schemes);

    c->restoreDefaultsButton()->click();
    EXPECT_EQ(c->rootNode()->childCount(), int(m_notation->colorSchemesList().size()));
    EXPECT_FALSE(UserDefaults::standardUserDefaults()
                     .dictionaryForKey(kQntColorSchemesKey)
                     .contains(m_notation->notationName()));
}

TEST_F(ColorSchemeSection, RemovingEverySchemeLeavesAnEmptyListFromWhichNewStartsAgain)
{
    auto d = drawing();
    auto c = section(*d);
    while (c->rootNode()->childCount() > 0) {
        c->selectNode(c->rootNode()->child(0));
        c->removeColorSchemeButton()->click();
    }
    const QVariantMap root = UserDefaults::standardUserDefaults()
                                 .dictionaryForKey(kQntColorSchemesKey)
                                 .value(m_notation->notationName())
                                 .toMap();
    EXPECT_TRUE(root.contains("Children"));
    EXPECT_TRUE(root.value("Children").toList().isEmpty());
    EXPECT_EQ(c->selectionOutput()->text(), "Nothing Selected");
    ASSERT_TRUE(c->addNewColorSchemeButton()->isEnabled());
    c->addNewColorSchemeButton()->click();
    EXPECT_EQ(c->rootNode()->childCount(), 1);
}

TEST_F(ColorSchemeSection, TheControlsFollowTheKindOfTheSelectedRow)
{
    auto d = drawing();
    auto c = section(*d);
    EXPECT_EQ(c->currentNode(), c->rootNode()->child(0)); // the first row is selected
    EXPECT_TRUE(c->useAsDefaultColorSchemeCheckbox()->isEnabled());
    EXPECT_FALSE(c->commentTextField()->isEnabled());

    struct Row {
        const char *group;
        bool opacity, cell, grid, deflt;
    };
    for (const Row &row :
         {Row{"Text", false, false, false, true}, Row{"Stroke", true, false, true, false},
          Row{"Fill", true, true, false, false}}) {
        SCOPED_TRACE(row.group);
        ColorSchemeItemTreeNode *node = colour(*c, 0, row.group);
        ASSERT_TRUE(node);
        c->selectNode(node);
        EXPECT_TRUE(c->commentTextField()->isEnabled());
        EXPECT_EQ(c->alphaSlider()->isEnabled(), row.opacity);
        EXPECT_EQ(c->useAsTableCellBackgroundCheckbox()->isEnabled(), row.cell);
        EXPECT_EQ(c->useAsTableGridColorCheckbox()->isEnabled(), row.grid);
        EXPECT_EQ(c->useAsDefaultColorSchemeCheckbox()->isEnabled(), row.deflt);
        EXPECT_FALSE(c->addNewColorSchemeButton()->isEnabled());
    }

    // Opacity: typed and slid, written through.
    ColorSchemeItemTreeNode *fill = colour(*c, 0, "Fill");
    c->alphaTextbox()->setText("0.5");
    c->alphaTextboxAction();
    EXPECT_EQ(c->alphaSlider()->value(), c->alphaSlider()->maximum() / 2);
    c->alphaSlider()->setValue(333);
    EXPECT_EQ(c->alphaTextbox()->text(), QLocale().toString(0.33, 'f', 2));
    EXPECT_DOUBLE_EQ(fill->alpha(), 0.333);

    // The default flag of a Text colour is kept with the colour.
    ColorSchemeItemTreeNode *text = colour(*c, 0, "Text");
    c->selectNode(text);
    const bool wasDefault = text->isDefault();
    c->useAsDefaultColorSchemeCheckbox()->click();
    EXPECT_EQ(text->isDefault(), !wasDefault);
    ColorSchemeController::releaseLiveCopy();
    auto again = section(*d);
    EXPECT_EQ(colour(*again, 0, "Text")->isDefault(), !wasDefault);

    // A group's swatch cannot be edited.
    c->editColourOfNode(c->rootNode()->child(0)->child(0));
    EXPECT_EQ(c->noteLabel()->text(), "This item could not be edited");
}

TEST(ColorSchemeTreeNode, IdentityBlankColoursAndGroups)
{
    ColorSchemeItemTreeNode blank("#");
    EXPECT_EQ(blank.hexColor(), "#FFFFFF");
    EXPECT_EQ(blank.storedHexColor(), "#");
    auto copied = blank.copy();
    EXPECT_TRUE(copied->isEqual(blank));
    EXPECT_EQ(copied->hashValue(), blank.hashValue());
    ColorSchemeItemTreeNode other("#");
    EXPECT_FALSE(other.isEqual(blank));

    for (const char *name : {"Fill", "Stroke", "Text", "GradientStops"}) {
        auto group = ColorSchemeTreeNode::nodeDataWithName(name, true, "#123456");
        EXPECT_TRUE(group->isGroup());
        EXPECT_FALSE(group->isDefault());
        EXPECT_EQ(group->hexColor(), "#FFFFFF");
        group->setProps({{"Id", 9}});
        EXPECT_EQ(group->Id(), 0);
    }
    EXPECT_EQ(ColorSchemeTreeNode::nodeDataWithName("GradientStops", false, {})->name(),
              "Gradient Stops");
    auto scheme = ColorSchemeTreeNode::nodeDataWithName("Ocean", true, "#");
    EXPECT_FALSE(scheme->isGroup());
    EXPECT_EQ(scheme->hexColor(), "#FFFFFF");
}

} // namespace
