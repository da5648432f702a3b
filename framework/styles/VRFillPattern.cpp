#include "framework/styles/VRFillPattern.h"
#include "framework/archive/VRJsonWriter.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

VR_CLASS_IMPL(VRFillPattern, VRPathDecorator)

void VRFillPattern::setPatternAlternateOffset(const QSizeF &offset)
{
    if (!std::isfinite(offset.width()) || !std::isfinite(offset.height()))
        return;
    const QSizeF clean(std::clamp(offset.width(), -1.0e4, 1.0e4),
                       std::clamp(offset.height(), -1.0e4, 1.0e4));
    changeProperty(m_patternAlternateOffset, clean,
                   "setPatternAlternateOffset:", &VRFillPattern::setPatternAlternateOffset);
}

void VRFillPattern::setAngleInDegrees(double angle)
{
    if (std::isfinite(angle))
        changeProperty(m_angleInDegrees, std::fmod(angle, 360.0),
                       "setAngleInDegrees:", &VRFillPattern::setAngleInDegrees);
}

void VRFillPattern::setAngleIsRelativeToObject(bool relative)
{
    changeProperty(m_angleIsRelativeToObject, relative,
                   "setAngleIsRelativeToObject:", &VRFillPattern::setAngleIsRelativeToObject);
}

void VRFillPattern::setMotifAngleInDegrees(double angle)
{
    if (std::isfinite(angle))
        changeProperty(m_motifAngleInDegrees, std::fmod(angle, 360.0),
                       "setMotifAngleInDegrees:", &VRFillPattern::setMotifAngleInDegrees);
}

void VRFillPattern::setMotifAngleIsRelativeToPattern(bool relative)
{
    changeProperty(m_motifAngleIsRelativeToPattern, relative, "setMotifAngleIsRelativeToPattern:",
                   &VRFillPattern::setMotifAngleIsRelativeToPattern);
}

void VRFillPattern::render(QPainter &painter, const VRRenderContext &context) const
{
    if (context.path.isEmpty())
        return;
    const QRectF area = context.path.boundingRect();
    const QPointF centre = area.center();
    const QSizeF motif = motifSize();
    const double radius =
        std::hypot(area.width(), area.height()) / 2.0 + std::max(motif.width(), motif.height());
    double step = interval();
    // A grid too fine for the area is coarsened so the motif count stays bounded.
    const double cells = (2.0 * radius / step) * (2.0 * radius / step);
    if (cells > kMaxMotifs)
        step *= std::sqrt(cells / kMaxMotifs);
    const double patternAngle =
        m_angleInDegrees + (m_angleIsRelativeToObject ? context.angle * 180.0 / M_PI : 0.0);
    const double motifAngle =
        m_motifAngleInDegrees + (m_motifAngleIsRelativeToPattern ? 0.0 : -patternAngle);
    const int n = static_cast<int>(std::ceil(radius / step)) + 1;

    painter.save();
    painter.setClipPath(context.path, Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(centre);
    painter.rotate(patternAngle);
    for (int row = -n; row <= n; ++row) {
        for (int column = -n; column <= n; ++column) {
            QPointF at(column * step, row * step);
            if (row % 2)
                at.rx() += m_patternAlternateOffset.width();
            if (column % 2)
                at.ry() += m_patternAlternateOffset.height();
            painter.save();
            painter.translate(at);
            painter.rotate(motifAngle);
            drawMotif(painter, scale());
            painter.restore();
        }
    }
    painter.restore();
}

void VRFillPattern::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRPathDecorator::writeProperties(record, images);
    record.insert("patternAlternateOffset",
                  {m_patternAlternateOffset.width(), m_patternAlternateOffset.height()});
    record.insert("angleInDegrees", m_angleInDegrees);
    record.insert("angleIsRelativeToObject", m_angleIsRelativeToObject);
    record.insert("motifAngleInDegrees", m_motifAngleInDegrees);
    record.insert("motifAngleIsRelativeToPattern", m_motifAngleIsRelativeToPattern);
}

void VRFillPattern::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRPathDecorator::readProperties(record, coding);
    m_patternAlternateOffset =
        coding.size(record, QStringLiteral("patternAlternateOffset"), QSizeF(0, 0), -1.0e4, 1.0e4);
    m_angleInDegrees =
        coding.number(record, QStringLiteral("angleInDegrees"), 0.0, -3600.0, 3600.0);
    m_angleIsRelativeToObject =
        coding.boolean(record, QStringLiteral("angleIsRelativeToObject"), true);
    m_motifAngleInDegrees =
        coding.number(record, QStringLiteral("motifAngleInDegrees"), 0.0, -3600.0, 3600.0);
    m_motifAngleIsRelativeToPattern =
        coding.boolean(record, QStringLiteral("motifAngleIsRelativeToPattern"), true);
}
