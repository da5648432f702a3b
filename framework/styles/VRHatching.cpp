#include "framework/styles/VRHatching.h"
#include "framework/archive/VRJsonWriter.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

VR_CLASS_IMPL(VRHatching, VRRasterizer)

namespace {
constexpr int kMaxLines = 5000;
}

void VRHatching::setColour(const QColor &colour)
{
    if (colour.isValid())
        changeProperty(m_colour, colour.toRgb(), "setColour:", &VRHatching::setColour);
}

void VRHatching::setSpacing(double spacing)
{
    if (std::isfinite(spacing))
        changeProperty(m_spacing, std::clamp(spacing, 0.5, 1000.0),
                       "setSpacing:", &VRHatching::setSpacing);
}

void VRHatching::setWidth(double width)
{
    if (std::isfinite(width))
        changeProperty(m_width, std::clamp(width, 0.0, 1000.0), "setWidth:", &VRHatching::setWidth);
}

void VRHatching::setAngleInDegrees(double angle)
{
    if (std::isfinite(angle))
        changeProperty(m_angleInDegrees, std::fmod(angle, 360.0),
                       "setAngleInDegrees:", &VRHatching::setAngleInDegrees);
}

void VRHatching::setLeadIn(double leadIn)
{
    if (std::isfinite(leadIn))
        changeProperty(m_leadIn, std::clamp(leadIn, -1.0e4, 1.0e4),
                       "setLeadIn:", &VRHatching::setLeadIn);
}

void VRHatching::setLineCapStyle(int style)
{
    changeProperty(m_lineCapStyle, std::clamp(style, 0, 2),
                   "setLineCapStyle:", &VRHatching::setLineCapStyle);
}

void VRHatching::setAngleIsRelativeToObject(bool relative)
{
    changeProperty(m_angleIsRelativeToObject, relative,
                   "setAngleIsRelativeToObject:", &VRHatching::setAngleIsRelativeToObject);
}

void VRHatching::setDash(const VRDashRef &dash)
{
    changeProperty(m_dash, dash, "setDash:", &VRHatching::setDash);
}

void VRHatching::setAutoDash()
{
    setDash(VRStrokeDash::create({3.0, 2.0}, 0.0, true));
}

void VRHatching::render(QPainter &painter, const VRRenderContext &context) const
{
    if (m_width <= 0.0 || m_colour.alpha() == 0 || context.path.isEmpty())
        return;
    const QRectF area = context.path.boundingRect();
    const QPointF centre = area.center();
    const double radius = std::hypot(area.width(), area.height()) / 2.0 + m_width;
    // Very dense hatching over a huge shape is thinned rather than drawing without end.
    const double spacing = std::max(m_spacing, 2.0 * radius / kMaxLines);
    const double degrees =
        m_angleInDegrees + (m_angleIsRelativeToObject ? context.angle * 180.0 / M_PI : 0.0);

    static constexpr Qt::PenCapStyle caps[] = {Qt::FlatCap, Qt::RoundCap, Qt::SquareCap};
    QPen pen(m_colour, m_width, Qt::SolidLine, caps[m_lineCapStyle]);
    if (m_dash)
        m_dash->applyToPen(pen, m_width);

    QPainterPath lines;
    const double first = -radius + std::fmod(std::fmod(m_leadIn, spacing) + spacing, spacing);
    for (double d = first; d <= radius; d += spacing) {
        lines.moveTo(-radius, d);
        lines.lineTo(radius, d);
    }
    QTransform turn;
    turn.translate(centre.x(), centre.y());
    turn.rotate(degrees);
    painter.save();
    painter.setClipPath(context.path, Qt::IntersectClip);
    painter.strokePath(turn.map(lines), pen);
    painter.restore();
}

void VRHatching::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRRasterizer::writeProperties(record, images);
    record.insert("colour", VRStyleCoding::colourString(m_colour));
    record.insert("spacing", m_spacing);
    record.insert("width", m_width);
    record.insert("angleInDegrees", m_angleInDegrees);
    record.insert("leadIn", m_leadIn);
    record.insert("lineCapStyle", m_lineCapStyle);
    record.insert("angleIsRelativeToObject", m_angleIsRelativeToObject);
    record.insert("dash", VRStyleCoding::dashJson(m_dash));
}

void VRHatching::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRRasterizer::readProperties(record, coding);
    m_colour = coding.colour(record, QStringLiteral("colour"), Qt::black);
    m_spacing = coding.number(record, QStringLiteral("spacing"), 8.0, 0.5, 1000.0);
    m_width = coding.number(record, QStringLiteral("width"), 1.0, 0.0, 1000.0);
    m_angleInDegrees =
        coding.number(record, QStringLiteral("angleInDegrees"), 45.0, -3600.0, 3600.0);
    m_leadIn = coding.number(record, QStringLiteral("leadIn"), 0.0, -1.0e4, 1.0e4);
    m_lineCapStyle = coding.integer(record, QStringLiteral("lineCapStyle"), 0, 0, 2);
    m_angleIsRelativeToObject =
        coding.boolean(record, QStringLiteral("angleIsRelativeToObject"), true);
    m_dash = coding.dash(record, QStringLiteral("dash"));
}
