#include "platform/ColorPanel.h"

#include "common/SharedStateKeepers.h"

#include <QColorDialog>
#include <QWindow>

#include <gtest/gtest.h>

TEST(ColorPanel, SendsPickedColoursToItsTargetOnly)
{
    const qnt::test::ColorPanelKeeper keeper;
    ColorPanel &panel = ColorPanel::sharedColorPanel();
    panel.setShowsAlpha(true);
    EXPECT_TRUE(panel.dialog()->testOption(QColorDialog::ShowAlphaChannel));
    QList<QColor> received;
    {
        QObject target;
        panel.setTarget(&target, [&](const QColor &c) { received << c; });
        panel.setColor(Qt::blue); // shown, not sent
        EXPECT_TRUE(received.isEmpty());
        panel.dialog()->setCurrentColor(QColor(10, 20, 30, 40)); // as the user picks
        ASSERT_FALSE(received.isEmpty());
        EXPECT_EQ(received.last(), QColor(10, 20, 30, 40));
        EXPECT_EQ(panel.color(), QColor(10, 20, 30, 40));
    }
    const qsizetype before = received.size();
    panel.dialog()->setCurrentColor(Qt::green); // the target is gone
    EXPECT_EQ(received.size(), before);
    EXPECT_EQ(panel.target(), nullptr);
}

TEST(ColorPanel, FloatsAboveTheWindowOfTheControlThatOpenedIt)
{
    const qnt::test::ColorPanelKeeper keeper;
    ColorPanel &panel = ColorPanel::sharedColorPanel();
    QColorDialog *dialog = panel.dialog();
    EXPECT_EQ(dialog->windowType(), Qt::Tool);
    EXPECT_EQ(dialog->parentWidget(), nullptr);
    EXPECT_TRUE(dialog->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    const QPoint before = dialog->pos();
    const bool moved = dialog->testAttribute(Qt::WA_Moved);

    QWidget first;
    auto *firstWell = new QWidget(&first);
    first.show();
    panel.orderFrontBeside(firstWell);
    ASSERT_NE(dialog->windowHandle(), nullptr);
    EXPECT_EQ(dialog->windowHandle()->transientParent(), first.windowHandle());

    // Opened from another window, it floats above that one and stays where it is.
    QWidget second;
    auto *secondWell = new QWidget(&second);
    second.show();
    const QPoint shown = dialog->pos();
    panel.orderFrontBeside(secondWell);
    EXPECT_EQ(dialog->windowHandle()->transientParent(), second.windowHandle());
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(dialog->pos(), shown);

    panel.orderOut();
    dialog->move(before);
    dialog->setAttribute(Qt::WA_Moved, moved);
}

namespace {

struct BesideCase {
    const char *name;
    QRect window;
    QRect control;
    QPoint expected;
};

// A 1600×1000 screen and a 500×400 panel.
const BesideCase kBesideCases[] = {
    {"RightOfTheWindow", {400, 300, 500, 400}, {420, 320, 30, 20}, {910, 300}},
    {"LeftWhenTheRightHasNoRoom", {1000, 300, 500, 400}, {1020, 320, 30, 20}, {490, 300}},
    {"BesideTheControlOfAWindowFillingTheScreen",
     {0, 0, 1600, 1000},
     {1400, 500, 30, 20},
     {890, 500}},
    {"KeptAboveTheScreensBottom", {400, 800, 500, 150}, {420, 820, 30, 20}, {910, 600}},
    {"KeptOnTheScreenWithoutRoomAnywhere", {0, 0, 1600, 1000}, {300, 950, 1000, 40}, {1100, 0}},
};

class ColorPanelBeside : public testing::TestWithParam<BesideCase>
{
};

} // namespace

TEST_P(ColorPanelBeside, OpensBesideItsOpenerOnTheScreen)
{
    const BesideCase &c = GetParam();
    EXPECT_EQ(
        ColorPanel::originBeside(QSize(500, 400), c.window, c.control, QRect(0, 0, 1600, 1000)),
        c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ColorPanelBeside, testing::ValuesIn(kBesideCases),
                         [](const testing::TestParamInfo<BesideCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(ColorPanel, OpensBesideTheWindowOfTheControlThatOpenedIt)
{
    const qnt::test::ColorPanelKeeper keeper;
    ColorPanel &panel = ColorPanel::sharedColorPanel();
    QColorDialog *dialog = panel.dialog();
    const QPoint before = dialog->pos();
    const bool moved = dialog->testAttribute(Qt::WA_Moved);
    QWidget opener;
    opener.setGeometry(20, 30, 200, 150);
    auto *well = new QWidget(&opener);
    well->setGeometry(10, 10, 20, 20);
    opener.show();
    panel.orderFrontBeside(well);
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(dialog->pos(),
              QPoint(opener.frameGeometry().right() + 1 + 10, opener.frameGeometry().top()));
    // Open already, it stays where it is.
    opener.move(60, 30);
    const QPoint shown = dialog->pos();
    panel.orderFrontBeside(well);
    EXPECT_EQ(dialog->pos(), shown);
    panel.orderOut();
    dialog->move(before);
    dialog->setAttribute(Qt::WA_Moved, moved);
}
