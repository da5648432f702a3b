#include "style/VKGradientCell.h"

#include "style/VKGradientWell.h"
#include "style/VKMiniControlCluster.h"
#include "style/VKMiniSlider.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

class GradientCellTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        well.resize(100, 100);
        cell = new VKGradientCell(&well);
        well.setCell(cell);
        gradient = VRGradient::gradientWithStartingColor(Qt::red, Qt::blue);
        well.setGradient(gradient);
        QObject::connect(&well, &VKGradientWell::gradientAction, [this] { ++actions; });
    }
    void paint()
    {
        QImage image(well.size(), QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        cell->drawInteriorWithFrame(painter, QRectF(0, 0, 100, 100), &well);
    }

    VKGradientWell well;
    VKGradientCell *cell = nullptr;
    VRGradientRef gradient;
    int actions = 0;
};

TEST_F(GradientCellTest, IrisRadiiAreFractionsOfTheSwatchWidth)
{
    well.setControlMode(VKGradientWell::RadialControls);
    gradient->setRadialEndingRadius(0.5);
    paint();
    auto *end =
        static_cast<VKMiniRadialControl2 *>(cell->miniControlForIdentifier("kRadialEndControlID"));
    ASSERT_TRUE(end);
    EXPECT_DOUBLE_EQ(end->radius(), 50);
    end->setRadius(30);
    EXPECT_DOUBLE_EQ(gradient->radialEndingRadius(), 0.3);
    EXPECT_GE(actions, 1);
}

TEST_F(GradientCellTest, TheDialSendsOnlyItsOwnChanges)
{
    well.setControlMode(VKGradientWell::LinearControls);
    paint();
    auto *dial = cell->miniControlForIdentifier("kLinearAngleControlID");
    ASSERT_TRUE(dial);
    // The gradient changed from outside updates the dial without a report from it.
    gradient->setAngleInDegrees(90);
    paint();
    EXPECT_NEAR(dial->value(), M_PI / 2, 1e-9);
    EXPECT_EQ(actions, 0);
    dial->setValue(0.5);
    EXPECT_EQ(actions, 1);
    EXPECT_NEAR(gradient->angle(), 0.5, 1e-6);
}

TEST_F(GradientCellTest, ModesPickTheirClusterAndTheSegmentsReadOut)
{
    EXPECT_EQ(cell->controlClusterForMode(0), nullptr);
    for (int mode : {1, 2, 3})
        EXPECT_TRUE(cell->controlClusterForMode(mode)) << mode;
    VKMiniControl *segments = cell->miniControlForIdentifier("kSweepSegmentsControlID");
    segments->setValue(0.06);
    EXPECT_EQ(cell->miniControlWillUpdateInfoWindow(*segments, 0.06), 0);
    segments->setValue(0.1);
    EXPECT_EQ(cell->miniControlWillUpdateInfoWindow(*segments, 0.1), 5);
}

} // namespace
