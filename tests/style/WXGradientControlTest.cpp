#include "style/WXGradientControl.h"

#include "framework/styles/VRColorStop.h"
#include "platform/DisappearingItemAnimation.h"
#include "common/SharedStateKeepers.h"

#include <QMenu>
#include <QMimeData>

#include <gtest/gtest.h>

namespace {

class GradientStopEditorTest : public ::testing::Test
{
protected:
    // Declared first, so it ends last: the colour panel goes back as the test found it.
    qnt::test::ColorPanelKeeper m_colourPanel;
    void SetUp() override
    {
        bar.resize(222, 24); // an interior 200 wide
        bar.setShowsPositionInfo(false);
        QObject::connect(&bar, &VKGradientWell::gradientAction, [this] { ++actions; });
    }
    void useStops(const QList<double> &positions)
    {
        auto g = VRGradient::create();
        int k = 0;
        for (double p : positions)
            g->addColor(QColor::fromHsv((k++ * 70) % 360, 200, 200), p);
        bar.setGradient(g);
        actions = 0;
    }
    QPointF centreOf(int index)
    {
        return bar.swatchRectForStop(bar.unsortedStops().at(index)).center();
    }
    // Press on a stop, drag to a point, let go there.
    void drag(int index, QPointF to, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        bar.mouseDownAt(centreOf(index));
        bar.mouseDraggedTo(to, modifiers);
        bar.mouseUpAt(to);
    }

    WXGradientControl bar;
    int actions = 0;
};

TEST_F(GradientStopEditorTest, Geometry)
{
    EXPECT_EQ(bar.interior(), QRectF(11, 2, 200, 20));
    EXPECT_EQ(bar.swatchBoxAtPosition(0.5), QRectF(102.5, 2, 17, 20));
    EXPECT_DOUBLE_EQ(bar.relativeXWithPoint({61, 0}), 0.25);
    EXPECT_DOUBLE_EQ(bar.relativeXWithPoint({-40, 0}), 0.0);
}

TEST_F(GradientStopEditorTest, OverlappingStopsAreStackedInListOrder)
{
    useStops({0.5, 0.505});
    const QList<QRectF> boxes = bar.allSwatchBoxes();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_DOUBLE_EQ(boxes.at(0).height(), 10);
    EXPECT_DOUBLE_EQ(boxes.at(1).height(), 10);
    EXPECT_DOUBLE_EQ(boxes.at(0).y(), 2);
    EXPECT_DOUBLE_EQ(boxes.at(1).y(), 12);
}

TEST_F(GradientStopEditorTest, ShiftDragLandsOnWholePerCents)
{
    useStops({0, 0.5, 1});
    const QPointF to(11 + 200 * 0.4137, 12);
    struct Case {
        Qt::KeyboardModifiers modifiers;
        double expected;
    };
    for (const Case &c : {Case{Qt::ShiftModifier, 0.41}, Case{Qt::NoModifier, 0.4137}}) {
        const VRColorStopRef middle = bar.unsortedStops().at(1);
        drag(1, to, c.modifiers);
        EXPECT_NEAR(middle->position(), c.expected, 1e-9);
        middle->setPosition(0.5);
        bar.invalidate();
    }
    EXPECT_GT(actions, 0);
}

TEST_F(GradientStopEditorTest, AStopDraggedOffTheBarIsDeletedButNeverOneOfTheLastTwo)
{
    useStops({0, 0.5, 1});
    const VRColorStopRef middle = bar.unsortedStops().at(1);
    // Within 32 beside and 7 above or below, the stop stays.
    bar.mouseDownAt(centreOf(1));
    bar.mouseDraggedTo({-31, 12}, Qt::NoModifier);
    EXPECT_FALSE(bar.deletionCandidate());
    bar.mouseDraggedTo({100, 40}, Qt::NoModifier);
    EXPECT_EQ(bar.deletionCandidate(), middle);
    bar.mouseDraggedTo({100, 12}, Qt::NoModifier); // back: restored
    EXPECT_FALSE(bar.deletionCandidate());
    bar.mouseDraggedTo({100, 40}, Qt::NoModifier);
    EXPECT_EQ(bar.findChild<DisappearingItemAnimation *>(), nullptr);
    bar.mouseUpAt({100, 40});
    // It goes up in a puff of smoke where it was let go.
    const auto *puff = bar.findChild<DisappearingItemAnimation *>();
    ASSERT_NE(puff, nullptr);
    EXPECT_EQ(puff->geometry().topLeft() + QPoint(puff->width() / 2, puff->height() / 2),
              bar.mapToGlobal(QPoint(100, 40)));
    EXPECT_EQ(bar.gradient()->countOfColorStops(), 2);
    EXPECT_FALSE(bar.unsortedStops().contains(middle));
    EXPECT_FALSE(bar.selectedStop());
    // With two stops left, dragging one far away keeps it at the end of the bar.
    drag(0, {-300, 200});
    EXPECT_EQ(bar.gradient()->countOfColorStops(), 2);
    EXPECT_DOUBLE_EQ(bar.unsortedStops().at(0)->position(), 0.0);
}

TEST_F(GradientStopEditorTest, ClickingAStopSelectsItAndClickingAgainDeselects)
{
    useStops({0, 1});
    const VRColorStopRef first = bar.unsortedStops().at(0);
    bar.mouseDownAt(centreOf(0));
    bar.mouseUpAt(centreOf(0));
    EXPECT_EQ(bar.selectedStop(), first);
    bar.changeColor(QColor(Qt::yellow), false);
    EXPECT_EQ(first->color(), QColor(Qt::yellow));
    bar.mouseDownAt(centreOf(0));
    bar.mouseUpAt(centreOf(0));
    EXPECT_FALSE(bar.selectedStop());
}

TEST_F(GradientStopEditorTest, DroppedColoursAddStopsOrRecolourTheOneUnderThem)
{
    useStops({0, 1});
    QMimeData colour;
    colour.setColorData(QColor(Qt::green));
    EXPECT_TRUE(bar.performDrop(&colour, QPointF(111, 12), false));
    EXPECT_EQ(bar.gradient()->countOfColorStops(), 3);
    ASSERT_TRUE(bar.selectedStop());
    EXPECT_NEAR(bar.selectedStop()->position(), 0.5, 1e-9);
    colour.setColorData(QColor(Qt::cyan));
    EXPECT_TRUE(bar.performDrop(&colour, centreOf(0), false));
    EXPECT_EQ(bar.gradient()->countOfColorStops(), 3);
    EXPECT_EQ(bar.unsortedStops().at(0)->color(), QColor(Qt::cyan));
}

TEST_F(GradientStopEditorTest, AStopRemovedElsewhereIsNoLongerSelected)
{
    useStops({0, 0.5, 1});
    const VRColorStopRef middle = bar.unsortedStops().at(1);
    bar.setSelectedStop(middle);
    bar.gradient()->removeColorStop(middle);
    EXPECT_FALSE(bar.selectedStop());
    EXPECT_EQ(bar.unsortedStops().size(), 2);
}

TEST_F(GradientStopEditorTest, MenuActionsChangeTheGradient)
{
    useStops({0, 1});
    const QColor first = bar.unsortedStops().at(0)->color();
    std::unique_ptr<QMenu> menu(bar.menuForEvent(QPoint(111, 12), Qt::NoModifier));
    ASSERT_TRUE(menu);
    QMap<QString, QAction *> items;
    for (QAction *a : menu->actions())
        items.insert(a->objectName(), a);
    ASSERT_TRUE(items.contains("newStop"));
    EXPECT_TRUE(items.value("gradientType0")->isChecked());
    EXPECT_FALSE(items.contains("interpolation1"));
    items.value("newStop")->trigger();
    EXPECT_EQ(bar.gradient()->countOfColorStops(), 3);
    items.value("flip")->trigger();
    EXPECT_EQ(bar.gradient()->colorAtValue(1.0), first);
    items.value("gradientType1")->trigger();
    EXPECT_EQ(bar.gradient()->gradientType(), VRGradient::Radial);
    items.value("interpolation3")->trigger();
    EXPECT_EQ(bar.gradient()->gradientInterpolation(), 3);
    items.value("blendMode1")->trigger();
    EXPECT_EQ(bar.gradient()->gradientBlending(), 1);
    EXPECT_EQ(actions, 5);
}

} // namespace
