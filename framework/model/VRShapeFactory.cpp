#include "framework/model/VRShapeFactory.h"

#include <cmath>

QPainterPath VRShapeFactory::roundRectInRect(const QRectF &rect, double radius)
{
    QPainterPath path;
    const QRectF r = rect.normalized();
    if (!std::isfinite(radius) || radius < 0)
        radius = 0;
    radius = std::min(radius, std::min(r.width(), r.height()) / 2);
    path.addRoundedRect(r, radius, radius);
    return path;
}
