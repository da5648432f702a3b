#include "framework/styles/VRPathDecorator.h"

#include "framework/styles/VRPathGeometry.h"
#include "framework/archive/VRJsonWriter.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

VR_CLASS_IMPL(VRPathDecorator, VRRasterizer)

namespace {
constexpr double kDotRadius = 3.0;
}

void VRPathDecorator::setInterval(double interval)
{
    if (std::isfinite(interval))
        changeProperty(m_interval, std::clamp(interval, 1.0, 1.0e4),
                       "setInterval:", &VRPathDecorator::setInterval);
}

void VRPathDecorator::setScale(double scale)
{
    if (std::isfinite(scale))
        changeProperty(m_scale, std::clamp(scale, 0.01, 100.0),
                       "setScale:", &VRPathDecorator::setScale);
}

void VRPathDecorator::setLeaderDistance(double distance)
{
    if (std::isfinite(distance))
        changeProperty(m_leaderDistance, std::clamp(distance, 0.0, 1.0e5),
                       "setLeaderDistance:", &VRPathDecorator::setLeaderDistance);
}

void VRPathDecorator::setNormalToPath(bool normal)
{
    changeProperty(m_normalToPath, normal, "setNormalToPath:", &VRPathDecorator::setNormalToPath);
}

void VRPathDecorator::setImage(const QImage &image)
{
    changeProperty(m_image, image, "setImage:", &VRPathDecorator::setImage);
}

void VRPathDecorator::setLeadInAndOutLengthProportion(double proportion)
{
    if (std::isfinite(proportion))
        changeProperty(
            m_leadInAndOutLengthProportion, std::clamp(proportion, 0.0, 0.5),
            "setLeadInAndOutLengthProportion:", &VRPathDecorator::setLeadInAndOutLengthProportion);
}

QSizeF VRPathDecorator::motifSize() const
{
    if (m_image.isNull())
        return QSizeF(kDotRadius * 2, kDotRadius * 2) * m_scale;
    return QSizeF(m_image.size()) * m_scale;
}

void VRPathDecorator::drawMotif(QPainter &painter, double scale) const
{
    if (m_image.isNull()) {
        QPainterPath dot;
        dot.addEllipse(QPointF(0, 0), kDotRadius * scale, kDotRadius * scale);
        painter.fillPath(dot, Qt::black);
        return;
    }
    const QSizeF size = QSizeF(m_image.size()) * scale;
    painter.drawImage(QRectF(QPointF(-size.width() / 2, -size.height() / 2), size), m_image);
}

void VRPathDecorator::render(QPainter &painter, const VRRenderContext &context) const
{
    int drawn = 0;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const QPolygonF &line : VRPathGeometry::polylines(context.path)) {
        const double total = VRPathGeometry::length(line);
        const double usable = total - 2.0 * m_leaderDistance;
        if (usable < 0.0)
            continue;
        const double ramp = usable * m_leadInAndOutLengthProportion;
        for (double d = 0.0; d <= usable + 1e-9 && drawn < kMaxMotifs; d += m_interval, ++drawn) {
            double factor = m_scale;
            if (ramp > 0.0)
                factor *= std::clamp(std::min(d, usable - d) / ramp, 0.1, 1.0);
            const VRPathGeometry::Placement place =
                VRPathGeometry::placementAt(line, m_leaderDistance + d);
            painter.save();
            painter.translate(place.point);
            if (m_normalToPath)
                painter.rotate(place.angleInDegrees);
            drawMotif(painter, factor);
            painter.restore();
        }
    }
    painter.restore();
}

double VRPathDecorator::extraSpace() const
{
    const QSizeF size = motifSize();
    return std::max(size.width(), size.height()) / 2.0;
}

void VRPathDecorator::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRRasterizer::writeProperties(record, images);
    record.insert("interval", m_interval);
    record.insert("scale", m_scale);
    record.insert("leaderDistance", m_leaderDistance);
    record.insert("normalToPath", m_normalToPath);
    record.insert("image", VRStyleCoding::imageJson(m_image, images));
    record.insert("leadInAndOutLengthProportion", m_leadInAndOutLengthProportion);
}

void VRPathDecorator::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRRasterizer::readProperties(record, coding);
    m_interval = coding.number(record, QStringLiteral("interval"), 20.0, 1.0, 1.0e4);
    m_scale = coding.number(record, QStringLiteral("scale"), 1.0, 0.01, 100.0);
    m_leaderDistance = coding.number(record, QStringLiteral("leaderDistance"), 0.0, 0.0, 1.0e5);
    m_normalToPath = coding.boolean(record, QStringLiteral("normalToPath"), true);
    m_image = coding.image(record, QStringLiteral("image"));
    m_leadInAndOutLengthProportion =
        coding.number(record, QStringLiteral("leadInAndOutLengthProportion"), 0.0, 0.0, 0.5);
}
