#include "framework/styles/VRShadow.h"

#include "framework/styles/VRImageFilters.h"

#include <QPainter>
#include <QPaintDevice>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kMaxShadowSide = 4096;
}

VRShadow::VRShadow(const QColor &colour, double blurRadius, double distance, double angleInDegrees)
{
    setShadowColor(colour);
    setShadowBlurRadius(blurRadius);
    setDistance(distance);
    setAngleInDegrees(angleInDegrees);
}

void VRShadow::setShadowColor(const QColor &colour)
{
    if (colour.isValid())
        m_colour = colour.toRgb();
}

void VRShadow::setShadowBlurRadius(double radius)
{
    m_blurRadius = std::isfinite(radius) ? std::clamp(radius, 0.0, 200.0) : 0.0;
}

void VRShadow::setDistance(double distance)
{
    m_distance = std::isfinite(distance) ? std::clamp(distance, 0.0, 1000.0) : 0.0;
}

void VRShadow::setAngleInDegrees(double angle)
{
    m_angleInDegrees = std::isfinite(angle) ? std::fmod(angle, 360.0) : 0.0;
}

QPointF VRShadow::offset() const
{
    const double radians = m_angleInDegrees * M_PI / 180.0;
    return {m_distance * std::cos(radians), m_distance * std::sin(radians)};
}

double VRShadow::extent() const
{
    return m_distance + m_blurRadius * 2.0;
}

void VRShadow::drawImpl(QPainter &painter, const QRectF &casterBounds,
                        void (*thunk)(const void *, QPainter &), const void *caster) const
{
    if (m_colour.alpha() == 0 || casterBounds.isEmpty())
        return;
    const QTransform world = painter.worldTransform();
    const double scale = std::sqrt(std::abs(world.determinant()));
    const double blur = m_blurRadius * scale;
    QRectF device = world.mapRect(casterBounds)
                        .adjusted(-blur * 2 - 2, -blur * 2 - 2, blur * 2 + 2, blur * 2 + 2);
    // Only the part that can land on the device matters; this also bounds the allocation.
    // Devices without a pixel size (some vector generators) are not cut down.
    if (QPaintDevice *target = painter.device();
        target && target->width() > 0 && target->height() > 0) {
        const QPointF shift = world.map(offset()) - world.map(QPointF(0, 0));
        const QRectF visible = QRectF(0, 0, target->width(), target->height())
                                   .translated(-shift)
                                   .adjusted(-blur * 2, -blur * 2, blur * 2, blur * 2);
        device = device.intersected(visible);
    }
    QRect area = device.toAlignedRect();
    if (area.isEmpty())
        return;
    area.setWidth(std::min(area.width(), kMaxShadowSide));
    area.setHeight(std::min(area.height(), kMaxShadowSide));

    QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHints(painter.renderHints());
        p.setTransform(world * QTransform::fromTranslate(-area.left(), -area.top()));
        thunk(caster, p);
        p.resetTransform();
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(image.rect(), m_colour);
    }
    VRImageFilters::blur(image, blur);

    const QPointF shift = world.map(offset()) - world.map(QPointF(0, 0));
    painter.save();
    painter.resetTransform();
    painter.drawImage(QPointF(area.topLeft()) + shift, image);
    painter.restore();
}
