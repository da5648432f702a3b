#include "common/SegmentChecks.h"

#include <algorithm>
#include <cmath>

namespace qnt::test {

bool segmentCrossesInterior(QPointF a, QPointF b, const QRectF &r, double margin)
{
    const QRectF inside = r.normalized().adjusted(margin, margin, -margin, -margin);
    if (inside.width() <= 0 || inside.height() <= 0)
        return false;
    // Liang-Barsky: the part of the segment a + t (b - a), t in [0, 1], inside the closed
    // rectangle is [low, high]; it reaches the open inside unless it is a single point or runs
    // along the border.
    const QPointF d = b - a;
    double low = 0.0, high = 1.0;
    const double p[4] = {-d.x(), d.x(), -d.y(), d.y()};
    const double q[4] = {a.x() - inside.left(), inside.right() - a.x(), a.y() - inside.top(),
                         inside.bottom() - a.y()};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] <= 0.0)
                return false; // parallel to this side and outside it, or running along it
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0.0)
            low = std::max(low, t);
        else
            high = std::min(high, t);
        if (low > high)
            return false;
    }
    // The middle of the clipped part lies strictly inside unless the part is one point on the
    // border (a corner touched) or lies along a side (handled above for axis-parallel segments).
    if (high - low <= 1e-12)
        return false;
    const QPointF middle = a + d * ((low + high) / 2.0);
    return middle.x() > inside.left() && middle.x() < inside.right() && middle.y() > inside.top()
           && middle.y() < inside.bottom();
}

bool pathCrossesInterior(const QList<QPointF> &path, const QRectF &r, double margin)
{
    for (qsizetype k = 0; k + 1 < path.size(); ++k)
        if (segmentCrossesInterior(path[k], path[k + 1], r, margin))
            return true;
    return false;
}

bool isOrthogonal(const QList<QPointF> &path)
{
    for (qsizetype k = 0; k + 1 < path.size(); ++k)
        if (std::abs(path[k].x() - path[k + 1].x()) > 1e-6
            && std::abs(path[k].y() - path[k + 1].y()) > 1e-6)
            return false;
    return true;
}

} // namespace qnt::test
