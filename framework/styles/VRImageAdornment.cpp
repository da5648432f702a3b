#include "framework/styles/VRImageAdornment.h"
#include "framework/archive/VRJsonWriter.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

VR_CLASS_IMPL(VRImageAdornment, VRRasterizer)

void VRImageAdornment::setImage(const QImage &image)
{
    changeProperty(m_image, image, "setImage:", &VRImageAdornment::setImage);
}

void VRImageAdornment::setOpacity(double opacity)
{
    if (std::isfinite(opacity))
        changeProperty(m_opacity, std::clamp(opacity, 0.0, 1.0),
                       "setOpacity:", &VRImageAdornment::setOpacity);
}

void VRImageAdornment::setScale(double scale)
{
    if (std::isfinite(scale))
        changeProperty(m_scale, std::clamp(scale, 0.001, 1000.0),
                       "setScale:", &VRImageAdornment::setScale);
}

void VRImageAdornment::setAngleInDegrees(double angle)
{
    if (std::isfinite(angle))
        changeProperty(m_angleInDegrees, std::fmod(angle, 360.0),
                       "setAngleInDegrees:", &VRImageAdornment::setAngleInDegrees);
}

void VRImageAdornment::setClipping(bool clipping)
{
    changeProperty(m_clipping, clipping, "setClipping:", &VRImageAdornment::setClipping);
}

void VRImageAdornment::setImageIdentifier(const QString &identifier)
{
    changeProperty(m_imageIdentifier, identifier.left(1000),
                   "setImageIdentifier:", &VRImageAdornment::setImageIdentifier);
}

void VRImageAdornment::setFittingOption(int option)
{
    changeProperty(m_fittingOption, std::clamp(option, 0, 2),
                   "setFittingOption:", &VRImageAdornment::setFittingOption);
}

void VRImageAdornment::render(QPainter &painter, const VRRenderContext &context) const
{
    if (m_image.isNull() || m_opacity <= 0.0)
        return;
    const QRectF frame = context.bounds.isValid() ? context.bounds : context.path.boundingRect();
    if (frame.isEmpty())
        return;
    QSizeF size = m_image.size();
    if (m_fittingOption == Stretch) {
        size = frame.size();
    } else if (m_fittingOption == FitProportionally) {
        size.scale(frame.size(), Qt::KeepAspectRatio);
    } else {
        size *= m_scale;
    }
    const QPointF centre = frame.center();
    painter.save();
    if (m_clipping)
        painter.setClipPath(context.path, Qt::IntersectClip);
    painter.translate(centre);
    painter.rotate(context.angle * 180.0 / M_PI + m_angleInDegrees);
    painter.setOpacity(painter.opacity() * m_opacity);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF(-size.width() / 2.0, -size.height() / 2.0), size), m_image);
    painter.restore();
}

void VRImageAdornment::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRRasterizer::writeProperties(record, images);
    record.insert("image", VRStyleCoding::imageJson(m_image, images));
    record.insert("opacity", m_opacity);
    record.insert("scale", m_scale);
    record.insert("angleInDegrees", m_angleInDegrees);
    record.insert("clipping", m_clipping);
    record.insert("imageIdentifier", m_imageIdentifier);
    record.insert("fittingOption", m_fittingOption);
}

void VRImageAdornment::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRRasterizer::readProperties(record, coding);
    m_image = coding.image(record, QStringLiteral("image"));
    m_opacity = coding.number(record, QStringLiteral("opacity"), 1.0, 0.0, 1.0);
    m_scale = coding.number(record, QStringLiteral("scale"), 1.0, 0.001, 1000.0);
    m_angleInDegrees =
        coding.number(record, QStringLiteral("angleInDegrees"), 0.0, -3600.0, 3600.0);
    m_clipping = coding.boolean(record, QStringLiteral("clipping"), false);
    m_imageIdentifier = coding.string(record, QStringLiteral("imageIdentifier"), QString(), 1000);
    m_fittingOption = coding.integer(record, QStringLiteral("fittingOption"), 0, 0, 2);
}
