#include "framework/styles/VRStroke.h"

#include "framework/styles/VRPathGeometry.h"
#include "framework/archive/VRJsonWriter.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

VR_CLASS_IMPL(VRStroke, VRRasterizer)

namespace {
constexpr double kMaxWidth = 1000.0;

double cleanLength(double v, double max)
{
    return std::isfinite(v) ? std::clamp(v, 0.0, max) : 0.0;
}
} // namespace

std::shared_ptr<VRStroke> VRStroke::strokeWithWidth(double width, const QColor &colour)
{
    auto stroke = std::make_shared<VRStroke>();
    stroke->m_width = cleanLength(width, kMaxWidth);
    if (colour.isValid())
        stroke->m_colour = colour.toRgb();
    return stroke;
}

void VRStroke::setColour(const QColor &colour)
{
    if (colour.isValid())
        changeProperty(m_colour, colour.toRgb(), "setColour:", &VRStroke::setColour);
}

void VRStroke::setWidth(double width)
{
    changeProperty(m_width, cleanLength(width, kMaxWidth), "setWidth:", &VRStroke::setWidth);
}

void VRStroke::scaleWidthBy(double factor)
{
    if (std::isfinite(factor) && factor > 0.0)
        setWidth(m_width * factor);
}

void VRStroke::setShadow(const std::optional<VRShadow> &shadow)
{
    changeProperty(m_shadow, shadow, "setShadow:", &VRStroke::setShadow);
}

void VRStroke::setDash(const VRDashRef &dash)
{
    changeProperty(m_dash, dash, "setDash:", &VRStroke::setDash);
}

void VRStroke::setAutoDash()
{
    setDash(VRStrokeDash::create({3.0, 2.0}, 0.0, true));
}

void VRStroke::setLineCapStyle(int style)
{
    changeProperty(m_lineCapStyle, std::clamp(style, 0, 2),
                   "setLineCapStyle:", &VRStroke::setLineCapStyle);
}

void VRStroke::setLineJoinStyle(int style)
{
    changeProperty(m_lineJoinStyle, std::clamp(style, 0, 2),
                   "setLineJoinStyle:", &VRStroke::setLineJoinStyle);
}

void VRStroke::setTrimLength(double length)
{
    changeProperty(m_trimLength, cleanLength(length, 1.0e6),
                   "setTrimLength:", &VRStroke::setTrimLength);
}

QPen VRStroke::pen() const
{
    static constexpr Qt::PenCapStyle caps[] = {Qt::FlatCap, Qt::RoundCap, Qt::SquareCap};
    static constexpr Qt::PenJoinStyle joins[] = {Qt::MiterJoin, Qt::RoundJoin, Qt::BevelJoin};
    QPen pen(m_colour, m_width, Qt::SolidLine, caps[m_lineCapStyle], joins[m_lineJoinStyle]);
    pen.setMiterLimit(4.0);
    if (m_dash)
        m_dash->applyToPen(pen, m_width);
    return pen;
}

QPainterPath VRStroke::strokedPath(const VRRenderContext &context) const
{
    if (m_trimLength > 0.0)
        return VRPathGeometry::trimmed(context.path, m_trimLength, m_trimLength);
    return context.path;
}

void VRStroke::render(QPainter &painter, const VRRenderContext &context) const
{
    if (m_width <= 0.0 || m_colour.alpha() == 0)
        return;
    strokeLine(painter, strokedPath(context), pen());
}

void VRStroke::strokeLine(QPainter &painter, const QPainterPath &line, const QPen &pen) const
{
    if (line.isEmpty())
        return;
    if (m_shadow) {
        const double grow = pen.widthF() * 2.0 + 1.0;
        m_shadow->draw(painter, line.boundingRect().adjusted(-grow, -grow, grow, grow),
                       [&](QPainter &p) { p.strokePath(line, pen); });
    }
    painter.strokePath(line, pen);
}

double VRStroke::extraSpace() const
{
    // Miter joins can reach past half the width; the limit bounds them.
    const double join = m_lineJoinStyle == 0 ? 2.0 : 0.5;
    return m_width * join + (m_shadow ? m_shadow->extent() : 0.0);
}

void VRStroke::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRRasterizer::writeProperties(record, images);
    record.insert("colour", VRStyleCoding::colourString(m_colour));
    record.insert("width", m_width);
    record.insert("shadow", VRStyleCoding::shadowJson(m_shadow));
    record.insert("dash", VRStyleCoding::dashJson(m_dash));
    record.insert("lineCapStyle", m_lineCapStyle);
    record.insert("lineJoinStyle", m_lineJoinStyle);
    record.insert("trimLength", m_trimLength);
}

void VRStroke::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRRasterizer::readProperties(record, coding);
    m_colour = coding.colour(record, QStringLiteral("colour"), m_colour);
    m_width = coding.number(record, QStringLiteral("width"), m_width, 0.0, kMaxWidth);
    m_shadow = coding.shadow(record, QStringLiteral("shadow"));
    m_dash = coding.dash(record, QStringLiteral("dash"));
    m_lineCapStyle = coding.integer(record, QStringLiteral("lineCapStyle"), 0, 0, 2);
    m_lineJoinStyle = coding.integer(record, QStringLiteral("lineJoinStyle"), 0, 0, 2);
    m_trimLength = coding.number(record, QStringLiteral("trimLength"), 0.0, 0.0, 1.0e6);
}
