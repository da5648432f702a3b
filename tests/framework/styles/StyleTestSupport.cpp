#include "StyleTestSupport.h"

#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRCIFilterRastGroup.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRFillPattern.h"
#include "framework/styles/VRHatching.h"
#include "framework/styles/VRImageAdornment.h"
#include "framework/styles/VRPathDecorator.h"
#include "framework/styles/VRQuartzBlendRastGroup.h"
#include "framework/styles/VRRoughStroke.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRTextAdornment.h"
#include "framework/styles/VRZigZagFill.h"
#include "framework/styles/VRZigZagStroke.h"

#include <QDir>
#include <QPainter>

#include <cstdlib>

namespace styletest {

QImage patternImage()
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(QColor(255, 230, 150));
    QPainter p(&image);
    p.fillRect(0, 0, 4, 4, QColor(200, 80, 40));
    p.fillRect(4, 4, 4, 4, QColor(200, 80, 40));
    return image;
}

QList<VRRendererRef> everyRenderer()
{
    QList<VRRendererRef> list;

    auto stroke = VRStroke::strokeWithWidth(3.0, QColor(20, 60, 160));
    stroke->setDash(VRStrokeDash::create({6, 3, 2, 3}, 1.0, false));
    stroke->setLineCapStyle(1);
    stroke->setLineJoinStyle(1);
    stroke->setShadow(VRShadow(QColor(0, 0, 0, 90), 3.0, 4.0, 45.0));
    list.append(stroke);

    auto arrow = std::make_shared<VRArrowStroke>();
    arrow->setWidth(2.0);
    arrow->setColour(QColor(120, 0, 0));
    arrow->setArrowHeadAtStart(10);
    arrow->setArrowHeadAtEnd(2);
    arrow->setDimensioningLineOptions(1);
    list.append(arrow);

    auto zigzag = std::make_shared<VRZigZagStroke>();
    zigzag->setWidth(1.5);
    zigzag->setWavelength(12.0);
    zigzag->setAmplitude(4.0);
    zigzag->setSpread(0.5);
    list.append(zigzag);

    auto rough = std::make_shared<VRRoughStroke>();
    rough->setWidth(2.0);
    rough->setRoughness(0.7);
    rough->setColour(QColor(40, 40, 40));
    list.append(rough);

    auto fill = VRFill::fillWithColour(QColor(250, 200, 60));
    fill->setShadow(VRShadow(QColor(0, 0, 0, 100), 5.0, 5.0, 60.0));
    list.append(fill);

    auto gradientFill = VRFill::fillWithGradient(VRGradient::gradientWithStartingColor(
        QColor(255, 255, 255), QColor(40, 110, 200), VRGradient::Radial, 0.0));
    gradientFill->gradient()->setRadialStartingPoint(QPointF(-0.2, -0.2));
    gradientFill->setGradientMultiplier(1.5);
    gradientFill->setTracksObjectAngle(false);
    list.append(gradientFill);

    auto patternFill = VRFill::fillWithColour(Qt::white);
    patternFill->setPatternImage(patternImage());
    list.append(patternFill);

    auto zigzagFill = std::make_shared<VRZigZagFill>();
    zigzagFill->setColour(QColor(150, 220, 150));
    zigzagFill->setWavelength(16.0);
    zigzagFill->setAmplitude(5.0);
    list.append(zigzagFill);

    auto image = std::make_shared<VRImageAdornment>();
    image->setImage(patternImage().scaled(32, 24));
    image->setOpacity(0.8);
    image->setAngleInDegrees(15.0);
    image->setFittingOption(VRImageAdornment::UseScale);
    image->setScale(2.0);
    image->setClipping(true);
    image->setImageIdentifier(QStringLiteral("tile"));
    list.append(image);

    auto hatch = std::make_shared<VRHatching>();
    hatch->setColour(QColor(90, 30, 120));
    hatch->setSpacing(7.0);
    hatch->setWidth(1.5);
    hatch->setAngleInDegrees(30.0);
    hatch->setLeadIn(2.0);
    hatch->setDash(VRStrokeDash::registeredDashes().at(2));
    list.append(hatch);

    auto text = std::make_shared<VRTextAdornment>();
    text->setLabel(QStringLiteral("Quintora text"));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(13.0);
    font.setBold(true);
    text->setFont(font);
    text->setColour(QColor(10, 90, 30));
    text->setAlignment(2);
    text->setVerticalAlignment(2);
    list.append(text);

    auto decorator = std::make_shared<VRPathDecorator>();
    decorator->setInterval(14.0);
    decorator->setScale(0.8);
    decorator->setLeaderDistance(4.0);
    decorator->setLeadInAndOutLengthProportion(0.1);
    list.append(decorator);

    auto pattern = std::make_shared<VRFillPattern>();
    pattern->setImage(patternImage());
    pattern->setInterval(16.0);
    pattern->setPatternAlternateOffset(QSizeF(8.0, 0.0));
    pattern->setAngleInDegrees(20.0);
    pattern->setMotifAngleInDegrees(10.0);
    list.append(pattern);

    auto effect = std::make_shared<VRCIFilterRastGroup>();
    effect->setFilter(QStringLiteral("VRGreyscale"));
    effect->addRenderer(VRFill::fillWithColour(QColor(220, 40, 40)));
    effect->addRenderer(VRStroke::strokeWithWidth(2.0, QColor(40, 160, 40)));
    list.append(effect);

    auto blend = std::make_shared<VRQuartzBlendRastGroup>();
    blend->setBlendMode(1);
    blend->setAlpha(0.7);
    blend->addRenderer(VRFill::fillWithColour(QColor(60, 160, 240)));
    list.append(blend);

    return list;
}

VRStyleRef everyRendererStyle()
{
    auto style = VRStyle::create();
    style->setName(QStringLiteral("Everything"));
    QVariantMap attributes;
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPointSizeF(11.0);
    attributes.insert(QStringLiteral("font"), font);
    attributes.insert(QStringLiteral("colour"), QColor(10, 20, 30));
    attributes.insert(QStringLiteral("underline"), true);
    style->setTextAttributes(attributes);
    for (const VRRendererRef &r : everyRenderer())
        style->addRenderer(r);
    auto group = std::make_shared<VRRastGroup>();
    group->addRenderer(VRStroke::strokeWithWidth(0.5, Qt::red));
    group->setEnabled(false);
    style->addRenderer(group);
    return style;
}

QImage renderSample(const VRRasterizer &renderer, bool line, int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    VRRenderContext context;
    const QRectF frame(20, 20, w - 40, h - 40);
    if (line) {
        context.path.moveTo(frame.left(), frame.bottom());
        context.path.cubicTo(frame.left() + frame.width() * 0.3, frame.top(),
                             frame.left() + frame.width() * 0.7, frame.bottom(), frame.right(),
                             frame.top());
    } else {
        context.path.addRoundedRect(frame, 12, 12);
    }
    context.bounds = frame;
    context.seed = 42;
    renderer.render(painter, context);
    return image;
}

} // namespace styletest
