#pragma once

#include "framework/routing/VRRouteTypes.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QRectF>

#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class VRRouteSpatialIndex;

// Obstacle-avoiding connector router. Orthogonal routes are found with A* on the implicit
// orthogonal grid spanned by the edges of the inflated obstacles (cost = length + penalty per bend,
// ends leave their shape perpendicular to its side); polyline routes with A* over the visibility
// graph of the inflated corners (cost = length + penalty per segment). Parallel orthogonal
// segments sharing a channel are nudged apart afterwards.
//
// The router is incremental: obstacles and connectors are kept between calls and update() re-routes
// only connectors whose ends changed or whose route is affected by a changed obstacle, so dragging
// a shape stays interactive.
class VRConnectorRouter
{
public:
    VRConnectorRouter();
    ~VRConnectorRouter();
    VRConnectorRouter(const VRConnectorRouter &) = delete;
    VRConnectorRouter &operator=(const VRConnectorRouter &) = delete;

    const VRRouteParameters &parameters() const { return m_parameters; }
    // Non-positive distances and penalties fall back to the defaults.
    void setParameters(const VRRouteParameters &parameters);

    void setObstacle(VRRouteId id, const QRectF &rect);
    void removeObstacle(VRRouteId id);
    bool hasObstacle(VRRouteId id) const;
    QRectF obstacle(VRRouteId id) const;
    int obstacleCount() const { return int(m_obstacles.size()); }

    void setConnector(VRRouteId id, const VRRouteRequest &request);
    // Takes a route laid before (a copy's) as the connector's own, without a search; the
    // connector is routed again once its ends or the shapes along it change.
    void setConnectorRoute(VRRouteId id, const VRRouteRequest &request,
                           const QList<QPointF> &route);
    void removeConnector(VRRouteId id);
    bool hasConnector(VRRouteId id) const;
    int connectorCount() const { return int(m_connectors.size()); }

    // Routes what changed since the last call; returns the connectors whose path changed.
    QList<VRRouteId> update();
    // Forgets every route and routes all connectors again.
    QList<VRRouteId> routeAll();
    bool hasPendingChanges() const;

    // The routed path of a connector (after nudging); empty when unknown.
    QList<QPointF> route(VRRouteId id) const;
    // False when no route avoiding the obstacles exists and a straight segment was used.
    bool wasRouted(VRRouteId id) const;

    // Routes one request against the current obstacles without storing it (no nudging).
    QList<QPointF> routeOnce(const VRRouteRequest &request, bool *found = nullptr);

    // Expansions of the last searches, for tests and benchmarks.
    qint64 searchExpansions() const { return m_expansions; }

private:
    struct Obstacle {
        QRectF rect;
        QRectF inflated;
    };
    struct Connector {
        VRRouteRequest request;
        QList<QPointF> raw;
        QList<QPointF> path;
        // How far nudging moved each segment of the raw route across its line.
        std::vector<double> offsets;
        bool dirty = true;
        bool routed = false;
        // Its search weighed the crossings with other routes (not one across much of the
        // drawing).
        bool weighedCrossings = false;
    };
    struct Port {
        QPointF spot;
        QPointF exit;
        int outDir = 4; // 0 +x, 1 -x, 2 +y, 3 -y, 4 none (free end)
    };

    void prepare();
    // toward: the other end; an end inside its shape with no side leaves through the side
    // facing it.
    Port port(const VRRouteEnd &end, const QPointF &toward) const;
    // The ports an end may leave through: one, or for an end inside its shape with no side the
    // two sides facing the other end.
    std::vector<Port> candidatePorts(const VRRouteEnd &end, const QPointF &toward) const;
    Port portOnSide(const VRRouteEnd &end, VRRouteSide side) const;
    Port freePort(const VRRouteEnd &end) const;
    QList<QPointF> routeOrthogonal(const VRRouteRequest &request, bool *found);
    // One search from every start port to every end port: the route of least cost picks the
    // sides.
    QList<QPointF> routeBetween(const std::vector<Port> &starts, const std::vector<Port> &ends,
                                bool *found, bool mayWeighCrossings = true);
    // Keeps the count of connectors ending at each shape: change is +1 for a request taken,
    // -1 for one given up.
    // and the connectors ending at each shape; the shapes are spread again.
    void countEnds(VRRouteId id, const VRRouteRequest &request, int change);
    // True when an end of the request is on a shape with many connectors.
    bool joinsAHub(const VRRouteRequest &request) const;
    bool orthogonalSearch(const std::vector<Port> &starts, const std::vector<Port> &ends,
                          const std::vector<VRRouteId> &ignored, const std::vector<double> &xs,
                          const std::vector<double> &ys, QList<QPointF> *out, double greed,
                          bool weighCrossings);
    // Routed segments of other connectors crossed by a move along a line from a to b (at is
    // the line's other coordinate); the crossing at a is not counted, the one at b is.
    int crossingsAlong(bool horizontal, double at, double a, double b) const;
    // Routed segments on the same line as a segment from lo to hi that overlap it and must lie
    // on one side of it at one place and on the other side at another (so nudging leaves a
    // crossing where they part). turnLo, turnHi: where the segment goes at its ends, -1 to a
    // lower, +1 to a higher coordinate across the line, 0 at a route's end.
    int sharedLineCrossings(bool horizontal, double at, double lo, double hi, int turnLo,
                            int turnHi) const;
    // Every crossing segments from to to (all when to < 0) of a route would have with the
    // routed segments, along and across their lines.
    int crossingsOf(const QList<QPointF> &path, qsizetype from = 0, qsizetype to = -1) const;
    // Moves each inner segment of a route (not in the routed segments) across to the line
    // where it and its two neighbours cost least (length and crossings), keeping its bends
    // and clear of every shape.
    void shiftSegments(const VRRouteRequest &request, QList<QPointF> &path) const;
    void addRoutedSegments(VRRouteId id, const QList<QPointF> &path);
    // True when the segment a-b passes through no inflated shape (but the ignored).
    bool legClear(const QPointF &a, const QPointF &b, const std::vector<VRRouteId> &ignored) const;
    // An orthogonal route with its needless jogs removed.
    QList<QPointF> straightened(QList<QPointF> path, const std::vector<VRRouteId> &ignored) const;
    void removeRoutedSegments(VRRouteId id, const QList<QPointF> &path);
    QList<QPointF> routePolyline(const VRRouteRequest &request, bool *found);
    bool polylineSearch(const Port &from, const Port &to, const VRRouteRequest &request,
                        const QRectF &window, QList<QPointF> *out);
    bool segmentClear(const QPointF &a, const QPointF &b, const VRRouteRequest &request,
                      const std::vector<VRRouteId> &ignored) const;
    std::vector<VRRouteId> ignoredAt(const std::vector<QPointF> &points) const;
    bool blockedAt(double x, double y, const std::vector<VRRouteId> &ignored) const;
    // True when the point lies on or within a hair of a shape's inflated outline (but the
    // ignored), or too near its index cell's border to tell.
    bool nearObstacle(double x, double y, const std::vector<VRRouteId> &ignored) const;
    void markAffectedBy(const QRectF &area);

    struct RoutedSegment {
        VRRouteId id;
        int index;     // segment k runs from point k to point k + 1 of the raw route
        bool inner;    // neither the first nor the last segment: nudging may move it
        qint8 turnLo;  // where the route goes at the low end: -1 lower, +1 higher, 0 its end
        qint8 turnHi;  // ... and at the high end
        double at;     // x of a vertical segment, y of a horizontal one
        double lo, hi; // its extent along the line
    };
    // Routed segments by cell (a key made of the cells of the line and of the extent): an
    // open-addressing table, since a search looks cells up on every step. Cells once used keep
    // their place when emptied.
    class SegmentBuckets
    {
    public:
        // The segments in a cell; null when it holds none.
        const std::vector<RoutedSegment> *find(qint64 key) const;
        void add(qint64 key, const RoutedSegment &segment);
        void remove(qint64 key, VRRouteId id);
        bool empty() const { return m_count == 0; }

    private:
        struct Cell {
            qint64 key = 0;
            bool used = false;
            std::vector<RoutedSegment> segments;
        };
        size_t slotOf(qint64 key) const;
        void grow();

        std::vector<Cell> m_cells;
        size_t m_used = 0;  // cells taken
        size_t m_count = 0; // segments held
    };
    // A place whose channels must be nudged again: a segment of a route before or after it
    // changed.
    struct NudgeSeed {
        bool horizontal;
        double at, lo, hi;
    };

    // Nudges the channels of the changed places (or every channel) and rebuilds the paths of
    // the connectors in them and of the re-routed ones; returns the connectors whose path
    // changed. A channel is nudged as a whole, so the result is the same as nudging every
    // channel.
    QList<VRRouteId> nudge(bool everything);
    void addNudgeSeeds(const QList<QPointF> &raw);
    // Spreads the ends that leave a shape from inside it through one side over that side, so
    // that no two meet on one point: an end whose route turns toward lower coordinates lies
    // lower, the sooner it turns the further out, and a straight route stays in the middle.
    // Marks the connectors whose route that moves.
    void spreadEnds(std::unordered_set<VRRouteId> &touched);
    // Routed segments on lines closer than reach to the given place whose spans overlap it:
    // the inner ones only, or every one.
    template <typename Visit>
    void forEachNeighbour(bool horizontal, double at, double lo, double hi, double reach,
                          bool innerOnly, const Visit &visit) const;
    // How far a nudged segment may reach before it comes nearer than the nudge distance to a
    // segment of another channel: nudging never lays two unrelated segments on one line.
    double neighbourReach() const;

    VRRouteParameters m_parameters;
    // The raw routes' segments, bucketed by their line's coordinate: horizontal by y, vertical
    // by x. A search pays for crossing them.
    SegmentBuckets m_horizontalSegments;
    SegmentBuckets m_verticalSegments;
    std::unordered_map<VRRouteId, Obstacle> m_obstacles;
    std::unordered_map<VRRouteId, Connector> m_connectors;
    // How many connectors end at each shape (shapes with none are left out).
    std::unordered_map<VRRouteId, int> m_connectorsAtShape;
    // The connectors with an end on each shape (once per end).
    std::unordered_map<VRRouteId, std::vector<VRRouteId>> m_endsAtShape;
    // Shapes whose ends are to be spread again.
    std::unordered_set<VRRouteId> m_spreadShapes;
    std::unique_ptr<VRRouteSpatialIndex> m_index;
    std::vector<QRectF> m_changedAreas;
    std::vector<double> m_xs;
    std::vector<double> m_ys;
    bool m_gridDirty = true;
    bool m_allDirty = false;
    bool m_anyDirty = false;
    bool m_renudgeAll = false;
    std::vector<NudgeSeed> m_nudgeSeeds;
    std::unordered_set<VRRouteId> m_rerouted;
    // Routes taken since the last update: the shapes put in with them do not send them back to
    // the search.
    std::unordered_set<VRRouteId> m_taken;
    qint64 m_expansions = 0;
    bool m_weighedCrossings = false; // by the last orthogonal search
};
