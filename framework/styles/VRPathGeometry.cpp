#include "framework/styles/VRPathGeometry.h"

#include <QLineF>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace {
// Bounds the work of renderers that walk a path in steps.
constexpr int kMaxSteps = 20000;
}

QList<QPolygonF> VRPathGeometry::polylines(const QPainterPath &path)
{
    return path.toSubpathPolygons();
}

double VRPathGeometry::length(const QPolygonF &polyline)
{
    double total = 0.0;
    for (qsizetype i = 1; i < polyline.size(); ++i)
        total += QLineF(polyline[i - 1], polyline[i]).length();
    return total;
}

VRPathGeometry::Placement VRPathGeometry::placementAt(const QPolygonF &polyline, double distance)
{
    Placement placement;
    if (polyline.isEmpty())
        return placement;
    placement.point = polyline.first();
    double walked = 0.0;
    for (qsizetype i = 1; i < polyline.size(); ++i) {
        const QLineF segment(polyline[i - 1], polyline[i]);
        const double l = segment.length();
        if (l <= 0.0)
            continue;
        placement.angleInDegrees = std::atan2(segment.dy(), segment.dx()) * 180.0 / M_PI;
        if (walked + l >= distance) {
            placement.point = segment.pointAt((distance - walked) / l);
            return placement;
        }
        walked += l;
        placement.point = polyline[i];
    }
    return placement;
}

QPainterPath VRPathGeometry::trimmed(const QPainterPath &path, double fromStart, double fromEnd)
{
    QList<QPolygonF> lines = polylines(path);
    if (lines.isEmpty() || (fromStart <= 0.0 && fromEnd <= 0.0))
        return path;
    auto isClosed = [](const QPolygonF &p) { return p.size() > 2 && p.first() == p.last(); };
    auto cutStart = [](QPolygonF &p, double d) {
        while (p.size() > 1 && d > 0.0) {
            const double l = QLineF(p[0], p[1]).length();
            if (l > d) {
                p[0] = QLineF(p[0], p[1]).pointAt(d / l);
                return;
            }
            d -= l;
            p.removeFirst();
        }
    };
    if (!isClosed(lines.first()) && fromStart > 0.0)
        cutStart(lines.first(), fromStart);
    if (!isClosed(lines.last()) && fromEnd > 0.0) {
        QPolygonF reversed(lines.last().rbegin(), lines.last().rend());
        cutStart(reversed, fromEnd);
        lines.last() = QPolygonF(reversed.rbegin(), reversed.rend());
    }
    QPainterPath result;
    for (const QPolygonF &p : std::as_const(lines)) {
        if (p.size() > 1)
            result.addPolygon(p);
    }
    return result;
}

QPainterPath VRPathGeometry::zigZag(const QPainterPath &path, double wavelength, double amplitude,
                                    double spread)
{
    wavelength = std::max(wavelength, 0.5);
    spread = std::clamp(spread, 0.0, 1.0);
    QPainterPath result;
    for (const QPolygonF &line : polylines(path)) {
        const double total = length(line);
        if (total <= 0.0)
            continue;
        const bool closed = line.size() > 2 && line.first() == line.last();
        const double half = wavelength / 2.0;
        int steps = std::max(2, static_cast<int>(std::round(total / half)));
        if (closed && steps % 2)
            ++steps; // closed outlines need an even count to meet themselves
        steps = std::min(steps, kMaxSteps);
        const double step = total / steps;
        QPolygonF peaks;
        for (int i = 0; i <= steps; ++i) {
            const Placement place = placementAt(line, i * step);
            const double side =
                (i == 0 || i == steps) && !closed ? 0.0 : (i % 2 ? amplitude : -amplitude);
            const double radians = (place.angleInDegrees + 90.0) * M_PI / 180.0;
            peaks.append(place.point + QPointF(std::cos(radians), std::sin(radians)) * side);
        }
        result.moveTo(peaks.first());
        for (qsizetype i = 1; i + 1 < peaks.size(); ++i) {
            if (spread <= 0.0) {
                result.lineTo(peaks[i]);
                continue;
            }
            // Rounded corners: the wider the spread, the more of each side the curve takes.
            const QPointF a = peaks[i] + (peaks[i - 1] - peaks[i]) * (spread / 2.0);
            const QPointF b = peaks[i] + (peaks[i + 1] - peaks[i]) * (spread / 2.0);
            result.lineTo(a);
            result.quadTo(peaks[i], b);
        }
        result.lineTo(peaks.last());
        if (closed)
            result.closeSubpath();
    }
    return result;
}

QPainterPath VRPathGeometry::rough(const QPainterPath &path, double roughness, quint64 seed)
{
    roughness = std::clamp(roughness, 0.0, 1.0);
    QRandomGenerator random(static_cast<quint32>(seed ^ (seed >> 32)));
    const double wobble = 0.5 + roughness * 3.5;
    QPainterPath result;
    for (const QPolygonF &line : polylines(path)) {
        const double total = length(line);
        if (total <= 0.0)
            continue;
        const bool closed = line.size() > 2 && line.first() == line.last();
        const int steps = std::clamp(static_cast<int>(total / 12.0), 2, kMaxSteps);
        QPointF first;
        for (int i = 0; i <= steps; ++i) {
            const Placement place = placementAt(line, total * i / steps);
            // Two statements: the order of calls within one argument list is unspecified, and
            // every compiler must draw the same stroke.
            const double dx = (random.generateDouble() - 0.5) * 2.0 * wobble;
            const double dy = (random.generateDouble() - 0.5) * 2.0 * wobble;
            QPointF p = place.point + QPointF(dx, dy);
            if (i == 0) {
                first = p;
                result.moveTo(p);
            } else if (closed && i == steps) {
                result.lineTo(first);
            } else {
                result.lineTo(p);
            }
        }
    }
    return result;
}

quint64 VRPathGeometry::seedForPath(const QPainterPath &path)
{
    const QRectF r = path.boundingRect();
    quint64 h = 1469598103934665603ULL;
    for (double v :
         {r.x(), r.y(), r.width(), r.height(), static_cast<double>(path.elementCount())}) {
        h ^= static_cast<quint64>(std::llround(v * 16.0));
        h *= 1099511628211ULL;
    }
    return h;
}
