#include "style/VKBezierPath.h"

#include <QTransform>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
void addCross(QPainterPath &path, const QRectF &r)
{
    path.moveTo(r.x(), r.y() + r.height() / 2);
    path.lineTo(r.x() + r.width(), r.y() + r.height() / 2);
    path.moveTo(r.x() + r.width() / 2, r.y());
    path.lineTo(r.x() + r.width() / 2, r.y() + r.height());
}

QPainterPath rotated(const QPainterPath &path, double angle)
{
    return QTransform().rotateRadians(angle).map(path);
}
} // namespace

QPainterPath VKBezierPath::bezierPathWithTargetInRect(const QRectF &rect)
{
    QPainterPath path;
    path.addEllipse(
        rect.adjusted(rect.width() / 4, rect.height() / 4, -rect.width() / 4, -rect.height() / 4));
    addCross(path, rect);
    return path;
}

QPainterPath VKBezierPath::bezierPathWithOffsetTargetInRect(const QRectF &rect, int offset)
{
    if (offset == 0)
        return bezierPathWithTargetInRect(rect);
    const double left = offset == -1 ? rect.x() : rect.x() + rect.width() / 4;
    QPainterPath path = bezierPathWithRoundEndedRectInRect(
        QRectF(left, rect.y() + rect.height() / 4, rect.width() * 0.75, rect.height() * 0.5));
    addCross(path, rect);
    return path;
}

QPainterPath VKBezierPath::bezierPathWithRoundEndedRectInRect(const QRectF &rect)
{
    QPainterPath path;
    if (rect.width() == rect.height()) {
        path.addEllipse(rect);
        return path;
    }
    const double r = std::min(rect.width(), rect.height()) / 2;
    path.addRoundedRect(rect, r, r);
    return path;
}

QPainterPath VKBezierPath::roundRectInRect(const QRectF &rect, double radius)
{
    const double c = std::min({radius, rect.height() / 2, rect.width() / 2});
    QPainterPath path;
    if (!(c > 0)) {
        path.addRect(rect);
        return path;
    }
    path.addRoundedRect(rect, c, c);
    return path;
}

QPainterPath VKBezierPath::bezierPathWithIrisRingWithRadius(double radius, double width,
                                                            QSizeF tabSize)
{
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    const double outer = radius + width / 2;
    const float a = std::atan2(float(tabSize.height() / 2), float(outer));
    const double degrees = double(a) * 180.0 / std::numbers::pi;
    const QRectF outerRect(-outer, -outer, 2 * outer, 2 * outer);
    // From just below the gap the long way round to just above it, then round the tab.
    path.arcMoveTo(outerRect, degrees);
    path.arcTo(outerRect, degrees, 360.0 - 2 * degrees);
    QPointF p = path.currentPosition();
    p += QPointF(tabSize.width(), 0);
    path.lineTo(p);
    p += QPointF(0, -tabSize.height());
    path.lineTo(p);
    p += QPointF(-tabSize.width(), 0);
    path.lineTo(p);
    const double inner = radius - width / 2;
    path.moveTo(inner, 0);
    path.addEllipse(QPointF(0, 0), inner, inner);
    return path;
}

QPainterPath VKBezierPath::bezierPathWithIrisTabWithRadius(double radius, double width,
                                                           QSizeF tabSize)
{
    QPainterPath path;
    QPointF p(radius + width / 2, -tabSize.height() / 2);
    path.moveTo(p);
    p += QPointF(tabSize.width(), 0);
    path.lineTo(p);
    p += QPointF(0, tabSize.height());
    path.lineTo(p);
    p += QPointF(-tabSize.width(), 0);
    path.lineTo(p);
    path.closeSubpath();
    return path;
}

QPainterPath VKBezierPath::bezierPathWithIrisRingWithRadius(double radius, double width,
                                                            double tabAngle, QSizeF tabSize)
{
    return rotated(bezierPathWithIrisRingWithRadius(radius, width, tabSize), tabAngle);
}

QPainterPath VKBezierPath::bezierPathWithIrisTabWithRadius(double radius, double width,
                                                           double tabAngle, QSizeF tabSize)
{
    return rotated(bezierPathWithIrisTabWithRadius(radius, width, tabSize), tabAngle);
}
