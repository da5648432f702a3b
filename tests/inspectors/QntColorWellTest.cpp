#include "inspectors/QntColorWell.h"

#include "platform/ColorPanel.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {
QImage picture(QWidget &well)
{
    QImage image(well.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    well.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

struct WellCase {
    const char *name;
    bool bordered;
    bool active;
    bool transparent;
    int firstColourColumn; // the inset of the colour
    QColor background;     // just inside the frame, at the top
    QColor middle;
};

class QntColorWellLookTest : public testing::TestWithParam<WellCase>
{
};

void expectNear(const QColor &actual, const QColor &expected, const char *where)
{
    SCOPED_TRACE(where);
    EXPECT_NEAR(actual.red(), expected.red(), 3);
    EXPECT_NEAR(actual.green(), expected.green(), 3);
    EXPECT_NEAR(actual.blue(), expected.blue(), 3);
    EXPECT_NEAR(actual.alpha(), expected.alpha(), 3);
}
} // namespace

TEST_P(QntColorWellLookTest, DrawsTheDarkGradientTheFrameAndTheInsetColour)
{
    const WellCase &c = GetParam();
    QntColorWell well;
    well.resize(40, 24);
    well.setColor(QColor(255, 0, 0));
    well.setBordered(c.bordered);
    well.setUseTransparentWell(c.transparent);
    ColorPanel &panel = ColorPanel::sharedColorPanel();
    const QColor panelColour = panel.color();
    const bool panelAlpha = panel.showsAlpha();
    if (c.active)
        well.activate(false);
    const QImage image = picture(well);
    if (c.active) {
        well.deactivate();
        panel.orderOut();
        panel.setColor(panelColour);
        panel.setShowsAlpha(panelAlpha);
    }
    // A light frame round the whole rectangle.
    expectNear(image.pixelColor(0, 12), QColor(191, 194, 201), "frame left");
    expectNear(image.pixelColor(39, 12), QColor(191, 194, 201), "frame right");
    expectNear(image.pixelColor(20, 0), QColor(191, 194, 201), "frame top");
    // The gradient behind it, at the well's alpha (0.6), darker downwards.
    expectNear(image.pixelColor(20, 1), c.background, "gradient");
    EXPECT_LT(image.pixelColor(20, 22).red(), image.pixelColor(20, 1).red());
    // The colour from the inset on; the gradient before it.
    expectNear(image.pixelColor(c.firstColourColumn, 12), c.middle, "colour edge");
    EXPECT_NE(image.pixelColor(c.firstColourColumn - 1, 12), image.pixelColor(20, 12));
    expectNear(image.pixelColor(20, 12), c.middle, "colour");
}

// Gradient tops: (0.251, 0.251, 0.255) normally, (0.451, 0.451, 0.455) while the well is active,
// both at alpha 0.6 (premultiplied in the picture, read back unpremultiplied). A transparent well
// shows the colour at 0.6 over the grey underlay.
INSTANTIATE_TEST_SUITE_P(
    Looks, QntColorWellLookTest,
    testing::Values(
        WellCase{"bordered", true, false, false, 5, QColor(64, 64, 65, 153), QColor(255, 0, 0)},
        WellCase{"unbordered", false, false, false, 2, QColor(64, 64, 65, 153), QColor(255, 0, 0)},
        WellCase{"active", true, true, false, 5, QColor(115, 115, 116, 153), QColor(255, 0, 0)},
        WellCase{"transparent", true, false, true, 5, QColor(64, 64, 65, 153),
                 QColor(217, 64, 66)}),
    [](const testing::TestParamInfo<WellCase> &info) { return std::string(info.param.name); });
