#include "framework/styles/VRQuartzBlendRastGroup.h"
#include "framework/archive/VRJsonWriter.h"

#include <algorithm>
#include <cmath>

VR_CLASS_IMPL(VRQuartzBlendRastGroup, VRRastGroup)

QPainter::CompositionMode VRQuartzBlendRastGroup::compositionMode(int blendMode)
{
    static constexpr QPainter::CompositionMode modes[] = {
        QPainter::CompositionMode_SourceOver, QPainter::CompositionMode_Multiply,
        QPainter::CompositionMode_Screen,     QPainter::CompositionMode_Overlay,
        QPainter::CompositionMode_Darken,     QPainter::CompositionMode_Lighten,
        QPainter::CompositionMode_ColorDodge, QPainter::CompositionMode_ColorBurn,
        QPainter::CompositionMode_SoftLight,  QPainter::CompositionMode_HardLight,
        QPainter::CompositionMode_Difference, QPainter::CompositionMode_Exclusion,
    };
    return modes[std::clamp(blendMode, 0, 11)];
}

void VRQuartzBlendRastGroup::setBlendMode(int mode)
{
    changeProperty(m_blendMode, std::clamp(mode, 0, 11),
                   "setBlendMode:", &VRQuartzBlendRastGroup::setBlendMode);
}

void VRQuartzBlendRastGroup::setAlpha(double alpha)
{
    if (std::isfinite(alpha))
        changeProperty(m_alpha, std::clamp(alpha, 0.0, 1.0),
                       "setAlpha:", &VRQuartzBlendRastGroup::setAlpha);
}

void VRQuartzBlendRastGroup::setMaskImage(const QImage &image)
{
    changeProperty(m_maskImage, image, "setMaskImage:", &VRQuartzBlendRastGroup::setMaskImage);
}

void VRQuartzBlendRastGroup::render(QPainter &painter, const VRRenderContext &context) const
{
    if (m_alpha <= 0.0)
        return;
    if (m_blendMode == 0 && m_alpha >= 1.0 && m_maskImage.isNull()) {
        renderChildren(painter, context); // nothing to composite: draw straight through
        return;
    }
    QRect area;
    QImage image = renderChildrenOffscreen(painter, context, &area);
    if (image.isNull())
        return;
    if (!m_maskImage.isNull()) {
        // The mask covers the object's frame.
        const QRectF frame =
            context.bounds.isValid() ? context.bounds : context.path.boundingRect();
        QImage mask(image.size(), QImage::Format_ARGB32_Premultiplied);
        mask.fill(Qt::transparent);
        {
            QPainter p(&mask);
            p.setTransform(painter.worldTransform()
                           * QTransform::fromTranslate(-area.left(), -area.top()));
            p.drawImage(frame, m_maskImage.convertToFormat(QImage::Format_ARGB32));
        }
        for (int y = 0; y < image.height(); ++y) {
            auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
            const auto *m = reinterpret_cast<const QRgb *>(mask.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int weight = qGray(m[x]); // premultiplied: lightness × coverage
                const QRgb p = row[x];
                row[x] = qRgba(qRed(p) * weight / 255, qGreen(p) * weight / 255,
                               qBlue(p) * weight / 255, qAlpha(p) * weight / 255);
            }
        }
    }
    painter.save();
    painter.resetTransform();
    painter.setOpacity(painter.opacity() * m_alpha);
    painter.setCompositionMode(compositionMode(m_blendMode));
    painter.drawImage(area.topLeft(), image);
    painter.restore();
}

void VRQuartzBlendRastGroup::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRRastGroup::writeProperties(record, images);
    record.insert("blendMode", m_blendMode);
    record.insert("alpha", m_alpha);
    record.insert("maskImage", VRStyleCoding::imageJson(m_maskImage, images));
}

void VRQuartzBlendRastGroup::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRRastGroup::readProperties(record, coding);
    m_blendMode = coding.integer(record, QStringLiteral("blendMode"), 0, 0, 11);
    m_alpha = coding.number(record, QStringLiteral("alpha"), 1.0, 0.0, 1.0);
    m_maskImage = coding.image(record, QStringLiteral("maskImage"));
}
