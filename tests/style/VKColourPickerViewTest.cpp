#include "style/VKColourPickerView.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

class ColourPickerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        picker.setTarget(&target);
        picker.setAction([this](VKColourPickerView &p) { sent.append(p.color()); });
        picker.setShowsInfo(false);
    }
    void press(QEvent::Type type, QPointF p, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        QMouseEvent e(type, p, picker.mapToGlobal(p), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&picker, &e);
    }
    void scroll(int degrees)
    {
        QWheelEvent e(QPointF(80, 80), QPointF(80, 80), QPoint(), QPoint(0, degrees * 8),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&picker, &e);
    }

    QObject target;
    VKColourPickerView picker{QRect(0, 0, 161, 161)};
    QList<QColor> sent;
};

TEST_F(ColourPickerTest, SwatchGridGeometry)
{
    picker.setMode(VKColourPickerView::SwatchMode);
    EXPECT_EQ(picker.rectForSwatch({0, 0}), QRectF(1, 1, 10, 10));
    EXPECT_EQ(picker.rectForSwatch({15, 2}), QRectF(151, 21, 10, 10));
    EXPECT_EQ(picker.swatchAtPoint({15, 25}), QPointF(1, 2));
    EXPECT_EQ(picker.swatchAtPoint({-1, 25}), QPointF(-1, -1));
    EXPECT_EQ(picker.swatchAtPoint({170, 5}), QPointF(-1, -1));
    // The 216 web colours repeat to fill the 256 swatches.
    EXPECT_EQ(picker.colorForSwatchX(0, 0), QColor(0, 0, 0));
    EXPECT_EQ(picker.colorForSwatchX(8, 13), picker.colorForSwatchX(0, 0));
}

TEST_F(ColourPickerTest, DraggingAcrossSwatchesSendsOncePerChange)
{
    picker.setMode(VKColourPickerView::SwatchMode);
    picker.setColorForUndefinedSelection(Qt::red);
    EXPECT_EQ(picker.color(), QColor(Qt::red));
    press(QEvent::MouseButtonPress, {5, 5});
    press(QEvent::MouseMove, {7, 8});
    press(QEvent::MouseMove, {15, 5});
    press(QEvent::MouseMove, {200, 5});
    press(QEvent::MouseButtonRelease, {200, 5}, Qt::NoButton);
    ASSERT_EQ(sent.size(), 3);
    EXPECT_EQ(sent.at(0), picker.colorForSwatchX(0, 0));
    EXPECT_EQ(sent.at(1), picker.colorForSwatchX(1, 0));
    // Off the grid the colour is the undefined selection's again.
    EXPECT_EQ(sent.at(2), QColor(Qt::red));
}

TEST_F(ColourPickerTest, ThePickerFollowsTheOptionKey)
{
    picker.setMode(VKColourPickerView::SwatchMode);
    picker.flagsChanged(Qt::ShiftModifier);
    EXPECT_EQ(picker.mode(), VKColourPickerView::WheelMode);
    picker.flagsChanged(Qt::AltModifier);
    EXPECT_EQ(picker.mode(), VKColourPickerView::SwatchMode);
    EXPECT_TRUE(sent.isEmpty());
}

TEST_F(ColourPickerTest, WheelPicksHueAndSaturationAndFallsBackOutside)
{
    picker.setColorForUndefinedSelection(QColor(Qt::blue));
    sent.clear();
    // The centre is white at full brightness; the right edge is red.
    EXPECT_EQ(picker.colorForSpectrumPoint({80.5, 80.5}).toRgb(), QColor(Qt::white));
    const QColor edge = picker.colorForSpectrumPoint({156.4, 80.5}).toRgb();
    EXPECT_EQ(edge.red(), 255);
    EXPECT_LE(edge.green(), 2);
    press(QEvent::MouseButtonPress, {1, 1});
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent.first(), QColor(Qt::blue));
    EXPECT_LT(QLineF(picker.selection(), picker.pointForSpectrumColor(Qt::blue)).length(), 0.01);
}

TEST_F(ColourPickerTest, ScrollingChangesBrightnessOnlyOnTheWheel)
{
    picker.setMode(VKColourPickerView::SwatchMode);
    picker.setColorForUndefinedSelection(Qt::white);
    scroll(15);
    EXPECT_EQ(picker.brightness(), 1.0);
    EXPECT_TRUE(sent.isEmpty());
    picker.setMode(VKColourPickerView::WheelMode);
    scroll(75);
    EXPECT_DOUBLE_EQ(picker.brightness(), 0.5);
    EXPECT_EQ(sent.size(), 1);
    scroll(-300);
    EXPECT_DOUBLE_EQ(picker.brightness(), 1.0);
    scroll(-15); // already at the top: nothing changes, nothing is sent
    EXPECT_EQ(sent.size(), 2);
}

} // namespace
