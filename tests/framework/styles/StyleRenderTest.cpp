#include "StyleTestSupport.h"

#include "common/TestFonts.h"

#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRCIFilterRastGroup.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRHatching.h"
#include "framework/styles/VRQuartzBlendRastGroup.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRTextAdornment.h"
#include "common/GoldenPicture.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <gtest/gtest.h>

namespace {

QColor pixel(const QImage &image, int x, int y)
{
    return QColor::fromRgba(image.pixel(x, y));
}

TEST(StyleRenderTest, FillPaintsTheInteriorOnly)
{
    auto fill = VRFill::fillWithColour(QColor(255, 0, 0));
    const QImage image = styletest::renderSample(*fill);
    EXPECT_EQ(pixel(image, 80, 60), QColor(255, 0, 0));
    EXPECT_EQ(pixel(image, 5, 5), QColor(Qt::white));
    EXPECT_EQ(pixel(image, 21, 21), QColor(Qt::white)); // outside the rounded corner
}

TEST(StyleRenderTest, StrokePaintsTheOutlineWithItsWidth)
{
    auto stroke = VRStroke::strokeWithWidth(6.0, QColor(0, 0, 255));
    const QImage image = styletest::renderSample(*stroke);
    EXPECT_EQ(pixel(image, 80, 20), QColor(0, 0, 255));
    EXPECT_EQ(pixel(image, 80, 22), QColor(0, 0, 255));
    EXPECT_EQ(pixel(image, 80, 27), QColor(Qt::white));
    EXPECT_EQ(pixel(image, 80, 60), QColor(Qt::white));
}

TEST(StyleRenderTest, StyleDrawsItsRenderersInOrder)
{
    auto style = VRStyle::styleWithFillColour(QColor(0, 255, 0), QColor(0, 0, 0), 4.0);
    const QImage image = styletest::renderSample(*style);
    EXPECT_EQ(pixel(image, 80, 60), QColor(0, 255, 0));
    EXPECT_EQ(pixel(image, 80, 20), QColor(0, 0, 0)); // the stroke lies on the fill
    style->rendererAtIndex(1)->setEnabled(false);
    EXPECT_EQ(pixel(styletest::renderSample(*style), 80, 20), QColor(0, 255, 0));
}

TEST(StyleRenderTest, PicturesSeeOnlyTheInstalledFonts)
{
    // The test main pins fontconfig to the fonts the install script installs: every family the
    // code names resolves to its pinned font, and no other font on the machine takes part.
    EXPECT_EQ(qnt::test::missingFonts().toStdString(), "");
    static const QStringList kPinnedPrefixes = {"DejaVu",   "Liberation", "Nimbus",
                                                "URW",      "C059",       "P052",
                                                "D050000L", "Z003",       "Standard Symbols PS"};
    // Qt adds the generic names as families of their own.
    static const QStringList kGenericFamilies = {"Serif", "Sans Serif", "Monospace"};
    for (const QString &family : QFontDatabase::families()) {
        if (kGenericFamilies.contains(family))
            continue;
        const bool pinned = std::any_of(kPinnedPrefixes.begin(), kPinnedPrefixes.end(),
                                        [&](const QString &p) { return family.startsWith(p); });
        EXPECT_TRUE(pinned) << family.toStdString();
    }
}

TEST(StyleRenderTest, EveryRendererMatchesItsGolden)
{
    int index = 0;
    for (const VRRendererRef &renderer : styletest::everyRenderer()) {
        const bool line = renderer->isKindOf<VRStroke>() && !renderer->isMemberOf<VRStroke>();
        const QString name = QStringLiteral("renderer-%1-%2%3")
                                 .arg(++index, 2, 10, QLatin1Char('0'))
                                 .arg(renderer->className(), line ? "-line" : "");
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(qnt::test::matchesGolden(styletest::renderSample(*renderer, line),
                                             QStringLiteral("styles/") + name));
    }
}

TEST(StyleRenderTest, WholeStyleAndSwatchesMatchTheirGoldens)
{
    const VRStyleRef style = styletest::everyRendererStyle();
    EXPECT_TRUE(qnt::test::matchesGolden(styletest::renderSample(*style, false, 200, 150),
                                         "styles/style-everything"));
    EXPECT_TRUE(qnt::test::matchesGolden(style->standardStyleSwatch(), "styles/swatch-everything"));
    auto arrows = std::make_shared<VRArrowStroke>();
    arrows->setWidth(1.5);
    QImage sheet(60, 16 * 15, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (int kind = 0; kind <= VRArrowStroke::kLastArrowhead; ++kind)
        painter.drawImage(QPoint(10, kind * 16), VRArrowStroke::standardArrowheadSwatchImage(kind));
    painter.end();
    EXPECT_TRUE(qnt::test::matchesGolden(sheet, "styles/arrowheads"));
}

TEST(StyleRenderTest, TextAdornmentUsesTheObjectTextWithoutALabel)
{
    VRTextAdornment text;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(20.0);
    text.setFont(font);
    text.setColour(QColor(255, 0, 0));
    QImage image(160, 120, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    VRRenderContext context = VRRenderContext::forPath([] {
        QPainterPath p;
        p.addRect(20, 20, 120, 80);
        return p;
    }());
    text.render(painter, context); // no label, no object text: nothing
    painter.end();
    int red = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            red += qRed(image.pixel(x, y)) > 200 && qGreen(image.pixel(x, y)) < 100;
    EXPECT_EQ(red, 0);
    context.text = QStringLiteral("Hello");
    painter.begin(&image);
    text.render(painter, context);
    painter.end();
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            red += qRed(image.pixel(x, y)) > 200 && qGreen(image.pixel(x, y)) < 100;
    EXPECT_GT(red, 50);
}

TEST(StyleRenderTest, DefaultMaximumVerticalOffsetIsEight)
{
    EXPECT_DOUBLE_EQ(VRTextAdornment::defaultMaximumVerticalOffset(), 8.0);
}

TEST(StyleRenderTest, ExtraSpaceCoversStrokeAndShadow)
{
    auto style = VRStyle::styleWithFillColour(Qt::white, Qt::black, 10.0);
    EXPECT_GE(style->extraSpace(), 5.0);
    auto fill = VRFill::fillWithColour(Qt::white);
    fill->setShadow(VRStyle::defaultShadow());
    style->addRenderer(fill);
    EXPECT_GE(style->extraSpace(), VRStyle::defaultShadow().extent());
    EXPECT_DOUBLE_EQ(style->maxStrokeWidth(), 10.0);
}

} // namespace

namespace {

TEST(StyleRenderTest, RotatedObjectsTurnTheirFrameRenderers)
{
    auto style = VRStyle::create();
    auto fill = VRFill::fillWithGradient(
        VRGradient::gradientWithStartingColor(Qt::white, QColor(200, 60, 60), 0, 0));
    style->addRenderer(fill);
    auto hatch = std::make_shared<VRHatching>();
    hatch->setAngleInDegrees(0.0);
    hatch->setSpacing(10.0);
    hatch->setColour(QColor(0, 0, 0, 90));
    style->addRenderer(hatch);
    auto text = std::make_shared<VRTextAdornment>();
    text->setLabel(QStringLiteral("Turned"));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(14.0);
    text->setFont(font);
    style->addRenderer(text);
    style->addRenderer(VRStroke::strokeWithWidth(2.0, Qt::black));

    QImage image(200, 160, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    VRRenderContext context;
    context.bounds = QRectF(40, 50, 120, 60);
    context.angle = 30.0 * M_PI / 180.0;
    QTransform turn;
    turn.translate(100, 80);
    turn.rotateRadians(context.angle);
    turn.translate(-100, -80);
    QPainterPath frame;
    frame.addRect(context.bounds);
    context.path = turn.map(frame);
    style->render(painter, context);
    painter.end();
    EXPECT_TRUE(qnt::test::matchesGolden(image, "styles/style-rotated"));
}

} // namespace

namespace {

struct FilterCase {
    const char *filter;
    QRgb expected;
};

class StyleEffectFilterTest : public testing::TestWithParam<FilterCase>
{
};

TEST_P(StyleEffectFilterTest, FiltersTheChildrensPicture)
{
    auto effect = std::make_shared<VRCIFilterRastGroup>();
    effect->setFilter(QString::fromLatin1(GetParam().filter));
    effect->addRenderer(VRFill::fillWithColour(QColor(200, 100, 50)));
    const QImage image = styletest::renderSample(*effect);
    const QColor centre = QColor::fromRgba(image.pixel(80, 60));
    const QColor expected = QColor::fromRgb(GetParam().expected);
    EXPECT_NEAR(centre.red(), expected.red(), 2);
    EXPECT_NEAR(centre.green(), expected.green(), 2);
    EXPECT_NEAR(centre.blue(), expected.blue(), 2);
    EXPECT_EQ(image.pixel(2, 2), qRgb(255, 255, 255));
}

INSTANTIATE_TEST_SUITE_P(Filters, StyleEffectFilterTest,
                         testing::Values(FilterCase{"VRBlur", qRgb(200, 100, 50)},
                                         FilterCase{"VRGreyscale", qRgb(124, 124, 124)},
                                         FilterCase{"VRInvert", qRgb(55, 155, 205)},
                                         FilterCase{"VRSepia", qRgb(165, 147, 114)},
                                         FilterCase{"VRPosterize", qRgb(170, 85, 85)},
                                         FilterCase{"VRSharpen", qRgb(200, 100, 50)}),
                         [](const testing::TestParamInfo<FilterCase> &info) {
                             return std::string(info.param.filter);
                         });

TEST(StyleRenderTest, BlendGroupCompositesWithItsModeAlphaAndMask)
{
    auto blend = std::make_shared<VRQuartzBlendRastGroup>();
    blend->addRenderer(VRFill::fillWithColour(QColor(0, 0, 255)));
    blend->setBlendMode(10); // difference against white gives yellow
    QImage image = styletest::renderSample(*blend);
    EXPECT_EQ(image.pixel(80, 60), qRgb(255, 255, 0));
    blend->setBlendMode(0);
    blend->setAlpha(0.5);
    image = styletest::renderSample(*blend);
    EXPECT_NEAR(qRed(image.pixel(80, 60)), 128, 2);
    EXPECT_EQ(qBlue(image.pixel(80, 60)), 255);
    QImage mask(2, 1, QImage::Format_RGB32);
    mask.setPixel(0, 0, qRgb(0, 0, 0));
    mask.setPixel(1, 0, qRgb(255, 255, 255));
    blend->setAlpha(1.0);
    blend->setMaskImage(mask);
    image = styletest::renderSample(*blend);
    EXPECT_EQ(image.pixel(40, 60), qRgb(255, 255, 255)); // masked off on the left
    EXPECT_EQ(image.pixel(120, 60), qRgb(0, 0, 255));
    EXPECT_EQ(VRQuartzBlendRastGroup::compositionMode(1), QPainter::CompositionMode_Multiply);
    EXPECT_EQ(VRCIFilterRastGroup::localizedFilterName("VRGreyscale"), "Greyscale");
}

} // namespace

namespace {

TEST(StyleRenderTest, VectorDevicesGetEveryRenderer)
{
    const VRStyleRef style = styletest::everyRendererStyle();
    VRRenderContext context;
    context.bounds = QRectF(20, 20, 160, 100);
    context.path.addRoundedRect(context.bounds, 10, 10);
    QBuffer svg;
    svg.open(QIODevice::WriteOnly);
    {
        QSvgGenerator generator;
        generator.setOutputDevice(&svg);
        generator.setViewBox(QRect(0, 0, 200, 140));
        QPainter painter(&generator);
        style->render(painter, context);
    }
    EXPECT_TRUE(svg.data().contains("<image")); // off-screen effects arrive as pictures
    EXPECT_TRUE(svg.data().contains("<path"));
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        QPainter painter(&writer);
        style->render(painter, context);
    }
    EXPECT_TRUE(pdf.data().startsWith("%PDF"));
    EXPECT_GT(pdf.data().size(), 2000);
}

} // namespace
