#include "style/VKMiniControlCluster.h"
#include "style/VKMiniSlider.h"

#include "common/ScopedEnvironment.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Counts the change notices it hears.
struct Listener : VKMiniControlDelegate {
    int will = 0;
    int did = 0;
    void miniControlWillChangeValue(VKMiniControl &, const QVariant &) override { ++will; }
    void miniControlDidChangeValue(VKMiniControl &, const QVariant &) override { ++did; }
};

class MiniControlTest : public ::testing::Test
{
protected:
    void SetUp() override { top.setDelegate(&listener); }
    Listener listener;
    VKMiniControlCluster top{QRectF(), nullptr};
};

TEST_F(MiniControlTest, ValuesAreClampedAndOnlyChangesAreNoticed)
{
    auto *slider = new VKMiniSlider(QRectF(0, 0, 120, 20), &top);
    slider->setValue(2.0);
    EXPECT_EQ(slider->value(), 1.0);
    EXPECT_EQ(listener.did, 1);
    slider->setValue(1.0);
    EXPECT_EQ(listener.did, 1);
    slider->setValue(0.2);
    slider->setMinValue(0.5); // the value moves up with both notices
    EXPECT_EQ(slider->value(), 0.5);
    EXPECT_EQ(listener.will, 3);
    EXPECT_EQ(listener.did, 3);
    EXPECT_EQ(VKMiniControl::miniControlThemeColor(7, 1.0), QColor());
    EXPECT_NEAR(VKMiniControl::miniControlThemeColor(1, 1.0).alphaF(), 0.67, 0.01);
}

TEST_F(MiniControlTest, SliderKnobIsTheApplicationsImageByName)
{
    // The shipped knob is used as it is.
    auto *shipped = new VKMiniSlider(QRectF(0, 0, 120, 20), &top);
    EXPECT_FALSE(shipped->knobImage().isNull());
    EXPECT_EQ(shipped->knobSize(), QSizeF(13, 13));

    QTemporaryDir bundle;
    ASSERT_TRUE(QDir(bundle.path()).mkdir("Images"));
    QImage knob(9, 7, QImage::Format_ARGB32);
    knob.fill(Qt::red);
    ASSERT_TRUE(knob.save(bundle.path() + "/Images/smallBlueKnob.png"));
    const qnt::test::ScopedEnvironmentVariable bundleFolder("QNT_BUNDLE_DIR",
                                                            bundle.path().toStdString());
    auto *slider = new VKMiniSlider(QRectF(0, 0, 120, 20), &top);
    slider->setValue(0.5);
    EXPECT_EQ(slider->knobSize(), QSizeF(9, 7));
    EXPECT_EQ(slider->knobRect(), QRectF(60 - 4.5, 10 - 3.5, 9, 7));
    QImage canvas(120, 20, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        slider->draw(painter);
    }
    EXPECT_EQ(canvas.pixelColor(60, 10), QColor(Qt::red));

    // Without the image the slider still has its knob.
    QFile::remove(bundle.path() + "/Images/smallBlueKnob.png");
    auto *plain = new VKMiniSlider(QRectF(0, 0, 120, 20), &top);
    EXPECT_FALSE(plain->knobImage().isNull());
    EXPECT_EQ(plain->knobSize(), QSizeF(13, 13));
}

TEST_F(MiniControlTest, ClustersFindControlsByKeyAndTheLastAddedWinsTheHit)
{
    auto *inner = new VKMiniControlCluster(QRectF(), &top);
    inner->setIdentifier("inner");
    auto *under = new VKMiniRadialControls(QRectF(0, 0, 100, 100), inner);
    under->setIdentifier("under");
    auto *over = new VKMiniRadialControls(QRectF(0, 0, 100, 100), inner);
    over->setIdentifier("over");
    EXPECT_EQ(top.controlForKey("under"), under);
    EXPECT_EQ(top.controlForKey("nothing"), nullptr);
    EXPECT_EQ(top.bounds(), QRectF(0, 0, 100, 100));
    EXPECT_TRUE(top.mouseDownAt(QPointF(50, 50), 0, Qt::NoModifier));
    EXPECT_TRUE(top.mouseDraggedAt(QPointF(60, 55), 0, Qt::NoModifier));
    EXPECT_EQ(over->centre(), QPointF(60, 55));
    EXPECT_EQ(under->centre(), QPointF(50, 50));
    top.mouseUpAt(QPointF(60, 55), 0, Qt::NoModifier);
    // An invisible cluster ignores the mouse.
    top.forceVisible(false);
    EXPECT_FALSE(top.mouseDownAt(QPointF(60, 55), 0, Qt::NoModifier));
}

TEST_F(MiniControlTest, ShiftSnapsTheDialTo15Degrees)
{
    struct Case {
        double degrees;
        double expected;
    };
    // Positive angles go to the nearest step, negative ones to the next step towards zero.
    for (const Case &c : {Case{37, 30}, Case{38, 45}, Case{-37, -30}, Case{-44, -30}}) {
        const double a = c.degrees * M_PI / 180;
        const double snapped = VKMiniCircularSlider::angleForPoint(
            QPointF(100 * std::cos(a), 100 * std::sin(a)), QPointF(0, 0), true);
        EXPECT_NEAR(snapped * 180 / M_PI, c.expected, 1e-3) << c.degrees;
    }
    auto *dial = new VKMiniCircularSlider(QRectF(0, 0, 100, 100), &top);
    dial->flagsChanged(Qt::ShiftModifier);
    EXPECT_TRUE(dial->showTickMarks());
    dial->flagsChanged(Qt::NoModifier);
    EXPECT_FALSE(dial->showTickMarks());
}

TEST_F(MiniControlTest, TheIrisTabAndRadiusFollowEachOther)
{
    auto *iris = new VKMiniRadialControl2(QRectF(0, 0, 100, 100), &top);
    iris->setTabAngle(M_PI);
    EXPECT_DOUBLE_EQ(iris->tabAngle(), M_PI / 4);
    EXPECT_NEAR(iris->radius(), 60 * M_PI * M_PI / 2, 0.01);
    iris->setRadius(30);
    EXPECT_NEAR(iris->tabAngle(), 30 / (60 * M_PI) - M_PI / 4, 1e-9);
}

TEST_F(MiniControlTest, ALinkedPressReachesEveryIrisButOnlyShiftDragsThemTogether)
{
    auto *radial = new VKMiniControlCluster(QRectF(), &top);
    auto *a = new VKMiniRadialControl2(QRectF(0, 0, 300, 300), radial);
    auto *b = new VKMiniRadialControl2(QRectF(0, 0, 300, 300), radial);
    a->setBounds(QRectF(0, 0, 300, 300));
    b->setBounds(QRectF(0, 0, 300, 300));
    a->setCentre(QPointF(150, 150));
    b->setCentre(QPointF(150, 150));
    radial->setLinkControlPart(VKMiniControl::IrisRingPart, Qt::ShiftModifier);
    // A point on the ring (radius 50), away from the tab.
    const QPointF ring(150, 200);
    ASSERT_EQ(radial->hitTestPoint(ring), VKMiniControl::IrisRingPart);
    for (bool shift : {true, false}) {
        a->setCentre(QPointF(150, 150));
        b->setCentre(QPointF(150, 150));
        ASSERT_TRUE(radial->mouseDownAt(ring, 0, Qt::NoModifier));
        radial->mouseDraggedAt(ring + QPointF(10, 0), 0,
                               shift ? Qt::ShiftModifier : Qt::NoModifier);
        radial->mouseUpAt(ring + QPointF(10, 0), 0, Qt::NoModifier);
        EXPECT_EQ(b->centre(), QPointF(160, 150)) << shift; // the one on top always moves
        EXPECT_EQ(a->centre(), shift ? QPointF(160, 150) : QPointF(150, 150)) << shift;
    }
}

} // namespace
