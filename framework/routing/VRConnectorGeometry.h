#pragma once

#include "framework/routing/VRRouteTypes.h"

#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>

// Shapes of the manual connector routings (no obstacle avoidance): straight, orthogonal elbows
// through the midpoint, stepped zig-zag, and smooth curves through a route's points.
class VRConnectorGeometry
{
public:
    // The side of rect nearest to p (a sticky spot on or near the outline).
    static VRRouteSide sideOf(const QRectF &rect, const QPointF &p);
    // Unit outward normal of a side; (0, 0) for Any.
    static QPointF normal(VRRouteSide side);

    static QList<QPointF> straight(const QPointF &a, const QPointF &b);
    // Elbows through the midpoint; ends leave along their side's normal when one is given.
    // A bend offset moves the route's middle run across itself (a single elbow gets a jog),
    // keeping every segment axis-parallel and both ends where they are.
    static QList<QPointF> orthogonal(const QPointF &a, VRRouteSide sideA, const QPointF &b,
                                     VRRouteSide sideB, QPointF bend = QPointF());
    // A staircase of steps alternating along x and y.
    static QList<QPointF> zigZag(const QPointF &a, const QPointF &b, int steps = 3);

    // Path through the points; curved: a smooth cubic spline through them (two points bend
    // along the ends' sides when given).
    static QPainterPath pathThrough(const QList<QPointF> &points, bool curve,
                                    VRRouteSide startSide = VRRouteSide::Any,
                                    VRRouteSide endSide = VRRouteSide::Any);
    // The points of a path's elements (curve control points excluded).
    static QList<QPointF> pointsOf(const QPainterPath &path);
};
