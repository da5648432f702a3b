#include "framework/routing/VRConnectorGeometry.h"

#include <algorithm>
#include <cmath>

VRRouteSide VRConnectorGeometry::sideOf(const QRectF &rect, const QPointF &p)
{
    const double hw = std::max(rect.width() / 2, 1e-6), hh = std::max(rect.height() / 2, 1e-6);
    const double rx = (p.x() - rect.center().x()) / hw, ry = (p.y() - rect.center().y()) / hh;
    if (std::abs(rx) >= std::abs(ry))
        return rx < 0 ? VRRouteSide::Left : VRRouteSide::Right;
    return ry < 0 ? VRRouteSide::Top : VRRouteSide::Bottom;
}

QPointF VRConnectorGeometry::normal(VRRouteSide side)
{
    switch (side) {
    case VRRouteSide::Left: return {-1, 0};
    case VRRouteSide::Right: return {1, 0};
    case VRRouteSide::Top: return {0, -1};
    case VRRouteSide::Bottom: return {0, 1};
    case VRRouteSide::Any: break;
    }
    return {0, 0};
}

QList<QPointF> VRConnectorGeometry::straight(const QPointF &a, const QPointF &b)
{
    return {a, b};
}

QList<QPointF> VRConnectorGeometry::orthogonal(const QPointF &a, VRRouteSide sideA,
                                               const QPointF &b, VRRouteSide sideB, QPointF bend)
{
    const auto horizontal = [](VRRouteSide s) {
        return s == VRRouteSide::Left || s == VRRouteSide::Right;
    };
    const auto vertical = [](VRRouteSide s) {
        return s == VRRouteSide::Top || s == VRRouteSide::Bottom;
    };
    if (!std::isfinite(bend.x()) || !std::isfinite(bend.y()))
        bend = QPointF();
    const bool straightX = std::abs(a.x() - b.x()) < 1e-9,
               straightY = std::abs(a.y() - b.y()) < 1e-9;
    if ((straightX && std::abs(bend.x()) < 1e-9) || (straightY && std::abs(bend.y()) < 1e-9))
        return {a, b};
    const bool aH = sideA == VRRouteSide::Any ? std::abs(b.x() - a.x()) >= std::abs(b.y() - a.y())
                                              : horizontal(sideA);
    const bool bH = sideB == VRRouteSide::Any ? aH : horizontal(sideB);
    if (aH && bH) {
        const double mx = (a.x() + b.x()) / 2 + bend.x();
        return {a, {mx, a.y()}, {mx, b.y()}, b};
    }
    if (!aH && !bH && (vertical(sideA) || vertical(sideB) || sideA == VRRouteSide::Any)) {
        const double my = (a.y() + b.y()) / 2 + bend.y();
        return {a, {a.x(), my}, {b.x(), my}, b};
    }
    // One end horizontal, the other vertical: a single elbow. A moved run leaves its end by a
    // short stub, goes across at the offset and comes back before the other end.
    if (bend.isNull())
        return aH ? QList<QPointF>{a, {b.x(), a.y()}, b} : QList<QPointF>{a, {a.x(), b.y()}, b};
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double stubX = std::copysign(std::min(16.0, std::abs(dx) / 2), dx);
    const double stubY = std::copysign(std::min(16.0, std::abs(dy) / 2), dy);
    QList<QPointF> pts;
    if (aH) {
        const double y = a.y() + bend.y(), x = b.x() + bend.x();
        pts = {a,      {a.x() + stubX, a.y()}, {a.x() + stubX, y},
               {x, y}, {x, b.y() - stubY},     {b.x(), b.y() - stubY},
               b};
    } else {
        const double x = a.x() + bend.x(), y = b.y() + bend.y();
        pts = {a,      {a.x(), a.y() + stubY}, {x, a.y() + stubY},
               {x, y}, {b.x() - stubX, y},     {b.x() - stubX, b.y()},
               b};
    }
    // Points that repeat or sit on a straight run between their neighbours go.
    QList<QPointF> clean;
    for (const QPointF &p : pts) {
        if (!clean.isEmpty() && std::abs(clean.last().x() - p.x()) < 1e-9
            && std::abs(clean.last().y() - p.y()) < 1e-9)
            continue;
        if (clean.size() >= 2) {
            const QPointF &q = clean.at(clean.size() - 2), &r = clean.last();
            const bool sameX = std::abs(q.x() - r.x()) < 1e-9 && std::abs(r.x() - p.x()) < 1e-9;
            const bool sameY = std::abs(q.y() - r.y()) < 1e-9 && std::abs(r.y() - p.y()) < 1e-9;
            if (sameX || sameY)
                clean.removeLast();
        }
        clean.append(p);
    }
    return clean;
}

QList<QPointF> VRConnectorGeometry::zigZag(const QPointF &a, const QPointF &b, int steps)
{
    steps = std::clamp(steps, 1, 64);
    QList<QPointF> pts{a};
    const double dx = (b.x() - a.x()) / steps, dy = (b.y() - a.y()) / steps;
    QPointF p = a;
    for (int k = 0; k < steps; ++k) {
        p.rx() += dx;
        pts.push_back(p);
        p.ry() += dy;
        pts.push_back(p);
    }
    pts.last() = b;
    return pts;
}

QPainterPath VRConnectorGeometry::pathThrough(const QList<QPointF> &points, bool curve,
                                              VRRouteSide startSide, VRRouteSide endSide)
{
    QPainterPath path;
    if (points.isEmpty())
        return path;
    path.moveTo(points.first());
    if (!curve || points.size() < 2) {
        for (qsizetype k = 1; k < points.size(); ++k)
            path.lineTo(points[k]);
        return path;
    }
    if (points.size() == 2) {
        const QPointF a = points[0], b = points[1];
        const double reach = std::hypot(b.x() - a.x(), b.y() - a.y()) / 2;
        QPointF c1 = a + normal(startSide) * reach;
        QPointF c2 = b + normal(endSide) * reach;
        if (startSide == VRRouteSide::Any)
            c1 = a + (b - a) / 3;
        if (endSide == VRRouteSide::Any)
            c2 = b + (a - b) / 3;
        path.cubicTo(c1, c2, b);
        return path;
    }
    // Catmull-Rom through the points, as cubic Beziers.
    for (qsizetype k = 0; k + 1 < points.size(); ++k) {
        const QPointF p0 = points[std::max<qsizetype>(k - 1, 0)];
        const QPointF p1 = points[k], p2 = points[k + 1];
        const QPointF p3 = points[std::min<qsizetype>(k + 2, points.size() - 1)];
        path.cubicTo(p1 + (p2 - p0) / 6, p2 - (p3 - p1) / 6, p2);
    }
    return path;
}

QList<QPointF> VRConnectorGeometry::pointsOf(const QPainterPath &path)
{
    QList<QPointF> pts;
    for (int k = 0; k < path.elementCount(); ++k) {
        const QPainterPath::Element e = path.elementAt(k);
        if (e.type == QPainterPath::CurveToDataElement)
            continue;
        if (e.type == QPainterPath::CurveToElement) {
            // The end point of a cubic is its second data element.
            if (k + 2 < path.elementCount()) {
                const QPainterPath::Element end = path.elementAt(k + 2);
                pts.push_back(QPointF(end.x, end.y));
            }
            k += 2;
            continue;
        }
        pts.push_back(QPointF(e.x, e.y));
    }
    return pts;
}
