#include "framework/styles/VRRoughStroke.h"

#include "framework/styles/VRPathGeometry.h"
#include "framework/archive/VRJsonWriter.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

VR_CLASS_IMPL(VRRoughStroke, VRStroke)

void VRRoughStroke::setRoughness(double roughness)
{
    if (std::isfinite(roughness))
        changeProperty(m_roughness, std::clamp(roughness, 0.0, 1.0),
                       "setRoughness:", &VRRoughStroke::setRoughness);
}

void VRRoughStroke::render(QPainter &painter, const VRRenderContext &context) const
{
    if (width() <= 0.0 || colour().alpha() == 0)
        return;
    const QPainterPath base = strokedPath(context);
    const quint64 seed = context.seed ? context.seed : VRPathGeometry::seedForPath(base);
    QPen linePen = pen();
    linePen.setCapStyle(Qt::RoundCap);
    linePen.setJoinStyle(Qt::RoundJoin);
    strokeLine(painter, VRPathGeometry::rough(base, m_roughness, seed), linePen);
    QPen second = linePen;
    second.setWidthF(linePen.widthF() * 0.6);
    painter.strokePath(VRPathGeometry::rough(base, m_roughness, seed * 31 + 7), second);
}

double VRRoughStroke::extraSpace() const
{
    return VRStroke::extraSpace() + 0.5 + m_roughness * 3.5;
}

void VRRoughStroke::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRStroke::writeProperties(record, images);
    record.insert("roughness", m_roughness);
}

void VRRoughStroke::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRStroke::readProperties(record, coding);
    m_roughness = coding.number(record, QStringLiteral("roughness"), 0.5, 0.0, 1.0);
}
