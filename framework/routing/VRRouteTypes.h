#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

// Plain value types the connector router works on. The router knows nothing of drawables: the
// drawing's router adapter turns elements into obstacles and connectors into requests.

using VRRouteId = qint64;

// The side of its shape a connector end leaves through (a free end: the way it leaves). Any =
// the side nearest to the point (a free end: any way).
enum class VRRouteSide { Any, Left, Top, Right, Bottom };

enum class VRRouteKind { Orthogonal, Polyline };

struct VRRouteEnd {
    QPointF point;
    VRRouteId shape = -1; // obstacle the end sits on; -1 = a free end
    VRRouteSide side = VRRouteSide::Any;

    bool operator==(const VRRouteEnd &) const = default;
};

struct VRRouteRequest {
    VRRouteKind kind = VRRouteKind::Orthogonal;
    VRRouteEnd start;
    VRRouteEnd end;

    bool operator==(const VRRouteRequest &) const = default;
};

struct VRRouteParameters {
    double segmentPenalty = 10.0; // cost of one more bend (orthogonal) or segment (polyline)
    double bufferDistance = 8.0;  // free space kept around every shape
    double nudgeDistance = 4.0;   // spacing of parallel orthogonal segments sharing a channel
    bool nudgeOrthogonalSegments = true;

    bool operator==(const VRRouteParameters &) const = default;
};
