#include "framework/styles/VRStrokeDash.h"

#include <QPen>

#include <gtest/gtest.h>

TEST(VRStrokeDash, PatternRulesAndRegisteredDashes)
{
    VRStrokeDash dash({1, -2, 3, 4, 5, 6, 7, 8, 9, 10});
    EXPECT_EQ(dash.count(), 8);
    EXPECT_EQ(dash.dashPattern().at(1), 0.0);
    EXPECT_DOUBLE_EQ(dash.length(), 1 + 0 + 3 + 4 + 5 + 6 + 7 + 8);
    EXPECT_EQ(&VRStrokeDash::registeredDashes(), &VRStrokeDash::registeredDashes());
    EXPECT_EQ(VRStrokeDash::registeredDashes().size(), 8);
    EXPECT_EQ(VRStrokeDash::registeredDashes().at(4)->dashPattern(), QList<double>({12, 4, 4, 4}));
    EXPECT_EQ(VRStrokeDash::defaultDash()->dashPattern(), QList<double>({5, 5}));
    QPen pen(Qt::black, 2.0);
    VRStrokeDash scaled({4, 2}, 0.0, true);
    scaled.applyToPen(pen, 2.0);
    EXPECT_EQ(pen.dashPattern(), QList<qreal>({4, 2})); // × width 2, in pen widths of 2
    VRStrokeDash plain({4, 2});
    plain.applyToPen(pen, 2.0);
    EXPECT_EQ(pen.dashPattern(), QList<qreal>({2, 1}));
    EXPECT_EQ(plain.standardDashSwatchImage().size(), QSize(80, 12));
    auto copy = plain.copy();
    EXPECT_TRUE(copy->isEqual(plain));
}

TEST(VRStrokeDash, SwatchIsDrawnInTheGivenColourWithTheSameShape)
{
    // A light picture for a dark list keeps every dash where the black one has it.
    for (const VRDashRef &dash : VRStrokeDash::registeredDashes()) {
        const QImage black = dash->standardDashSwatchImage();
        const QImage light = dash->standardDashSwatchImage(QColor(230, 230, 230));
        ASSERT_EQ(black.size(), light.size());
        int marked = 0;
        for (int y = 0; y < black.height(); ++y) {
            for (int x = 0; x < black.width(); ++x) {
                const QColor b = black.pixelColor(x, y);
                const QColor l = light.pixelColor(x, y);
                EXPECT_EQ(b.alpha(), l.alpha()) << x << "," << y;
                if (l.alpha() == 255) {
                    ++marked;
                    EXPECT_EQ(l.rgb(), QColor(230, 230, 230).rgb());
                    EXPECT_EQ(b.rgb(), QColor(Qt::black).rgb());
                }
            }
        }
        EXPECT_GT(marked, 20) << dash->dashPattern().size();
        EXPECT_LT(marked, 80 * 2);
    }
}
