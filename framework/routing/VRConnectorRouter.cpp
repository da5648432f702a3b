#include "framework/routing/VRConnectorRouter.h"

#include "framework/routing/VRRouteSpatialIndex.h"

#include <QLoggingCategory>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <tuple>
#include <limits>
#include <queue>

Q_LOGGING_CATEGORY(lcRouter, "vr.router")

namespace {

constexpr double kEps = 1e-6;
constexpr qint64 kMaxExpansions = 400000;
// A search over the whole drawing (a connector spanning most of it) leans towards its goal: a
// route a little longer than the shortest, found within a frame rather than in a tenth of a
// second.
constexpr double kWideGreed = 1.5;
// A window among many shapes leans a little towards the goal; the jogs that leaves are
// straightened afterwards.
constexpr double kCrowdedGreed = 1.2;
// The widest margin of a first search window around a connector's ends.
constexpr double kMaxMargin = 240.0;
// Drawings with fewer shapes than this are searched whole without leaning: it is quick anyway.
constexpr size_t kSmallDrawing = 64;
// Searches among more shapes than this do not weigh crossings (connectors across much of the
// drawing): the cost of crossings, which the search cannot foresee, would make it wander
// through most of the drawing looking for a way round, and a drag would miss its frame.
constexpr size_t kCrossingAwareShapes = 40;
// Nor do searches of connectors that end at a shape with more connectors than this (a hub):
// those fanning into it cross one another next to it whatever their ways, and a search
// weighing those crossings wanders round the hub looking for a way with fewer.
constexpr int kHubConnectors = 16;
constexpr int kNoDir = 4;
// A route pays for crossing another connector's route a little over half as much as for one
// more bend.
constexpr double kCrossingWeight = 0.6;
// A search that weighs crossings leans a little towards its goal (by length, not by bends): it
// finds nearly the same routes with far fewer steps.
constexpr double kCrossingGreed = 1.02;
// Moves longer than this (the rim of a search over the whole drawing) are not checked for
// crossings.
constexpr double kMaxCrossingSpan = 4000.0;
constexpr double kSegmentBucketSize = 64.0;

constexpr double kAlongBucketSize = 256.0;

// Routed segments are kept in cells: by their line's coordinate, then by their extent along
// it, so a move looks only at segments near the place it crosses their line.
qint64 segmentBucket(double v)
{
    return qint64(std::floor(v / kSegmentBucketSize));
}

qint64 alongBucket(double v)
{
    return qint64(std::floor(v / kAlongBucketSize));
}

qint64 bucketKey(qint64 line, qint64 along)
{
    return (line << 32) ^ qint64(quint32(along));
}
// Above this many shapes near a polyline's ends its visibility graph gets too slow to search.
constexpr size_t kMaxVisibilityObstacles = 40;

const VRRouteParameters kDefaults;

bool strictlyInside(const QRectF &r, double x, double y)
{
    return x > r.left() + kEps && x < r.right() - kEps && y > r.top() + kEps
           && y < r.bottom() - kEps;
}

// True when the segment a-b passes through the open interior of r (Liang-Barsky clipping).
bool segmentCrossesInterior(const QPointF &a, const QPointF &b, const QRectF &r)
{
    const double l = r.left() + 1e-4, t = r.top() + 1e-4;
    const double rr = r.right() - 1e-4, bb = r.bottom() - 1e-4;
    if (l >= rr || t >= bb)
        return false;
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    double t0 = 0.0, t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - l, rr - a.x(), a.y() - t, bb - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (std::abs(p[i]) < 1e-12) {
            if (q[i] <= 0)
                return false;
            continue;
        }
        const double v = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, v);
        else
            t1 = std::min(t1, v);
        if (t0 >= t1)
            return false;
    }
    return t1 - t0 > 1e-9;
}

bool pathTouches(const QList<QPointF> &path, const QRectF &area)
{
    for (qsizetype i = 0; i + 1 < path.size(); ++i) {
        const QPointF &a = path[i], &b = path[i + 1];
        if (std::max(a.x(), b.x()) < area.left() || std::min(a.x(), b.x()) > area.right()
            || std::max(a.y(), b.y()) < area.top() || std::min(a.y(), b.y()) > area.bottom())
            continue;
        if (segmentCrossesInterior(a, b, area.adjusted(-0.5, -0.5, 0.5, 0.5)))
            return true;
    }
    return false;
}

QList<QPointF> simplified(const QList<QPointF> &pts)
{
    QList<QPointF> out;
    for (const QPointF &p : pts) {
        if (!out.isEmpty() && std::abs(out.last().x() - p.x()) < kEps
            && std::abs(out.last().y() - p.y()) < kEps)
            continue;
        if (out.size() >= 2) {
            const QPointF &a = out[out.size() - 2], &b = out.last();
            const double cross =
                (b.x() - a.x()) * (p.y() - a.y()) - (b.y() - a.y()) * (p.x() - a.x());
            const double dot =
                (b.x() - a.x()) * (p.x() - b.x()) + (b.y() - a.y()) * (p.y() - b.y());
            if (std::abs(cross) < 1e-6 && dot >= 0) {
                out.last() = p;
                continue;
            }
        }
        out.push_back(p);
    }
    return out;
}

VRRouteSide resolvedSide(const QRectF &rect, const QPointF &p, VRRouteSide side)
{
    if (side != VRRouteSide::Any)
        return side;
    const double hw = std::max(rect.width() / 2, kEps), hh = std::max(rect.height() / 2, kEps);
    const double rx = (p.x() - rect.center().x()) / hw, ry = (p.y() - rect.center().y()) / hh;
    if (std::abs(rx) >= std::abs(ry))
        return rx < 0 ? VRRouteSide::Left : VRRouteSide::Right;
    return ry < 0 ? VRRouteSide::Top : VRRouteSide::Bottom;
}

int opposite(int dir)
{
    return dir == kNoDir ? kNoDir : (dir ^ 1);
}

// Fewest bends still needed to reach the goal from a point moving in dir (a lower bound).
int minBends(double dx, double dy, int dir)
{
    const bool needX = std::abs(dx) > kEps, needY = std::abs(dy) > kEps;
    if (!needX && !needY)
        return 0;
    if (dir == kNoDir)
        return needX && needY ? 1 : 0;
    const int wantX = dx > 0 ? 0 : 1, wantY = dy > 0 ? 2 : 3;
    if (needX && needY)
        return (dir == wantX || dir == wantY) ? 1 : 2;
    const int want = needX ? wantX : wantY;
    if (dir == want)
        return 0;
    return dir == opposite(want) ? 2 : 1;
}

std::vector<double> withExtra(const std::vector<double> &base, const std::vector<double> &extra)
{
    std::vector<double> v;
    v.reserve(base.size() + extra.size());
    v = base;
    for (double e : extra) {
        auto it = std::lower_bound(v.begin(), v.end(), e);
        if (it == v.end() || *it != e)
            v.insert(it, e);
    }
    return v;
}

// One segment of a route, seen along its line.
struct LineSegment {
    bool horizontal;
    double coord;       // y of a horizontal segment, x of a vertical one
    double lo, hi;      // its extent along the line
    int turnLo, turnHi; // where the route goes at each end: -1 to a lower, +1 to a higher
                        // coordinate across the line, 0 at the route's end
    int nextLo, nextHi; // index of the neighbouring segment at each end, -1 at the route's end
};

LineSegment lineSegment(const QList<QPointF> &p, int k)
{
    const QPointF &a = p[k], &b = p[k + 1];
    const bool horizontal = std::abs(a.y() - b.y()) < kEps;
    const auto along = [&](const QPointF &q) { return horizontal ? q.x() : q.y(); };
    const auto across = [&](const QPointF &q) { return horizontal ? q.y() : q.x(); };
    const auto turn = [&](int from, int to) {
        if (to < 0 || to >= int(p.size()))
            return 0;
        const double d = across(p[to]) - across(p[from]);
        return d < -kEps ? -1 : (d > kEps ? 1 : 0);
    };
    const int ta = turn(k, k - 1), tb = turn(k + 1, k + 2);
    const int na = k - 1, nb = k + 2 < int(p.size()) ? k + 1 : -1;
    if (along(a) <= along(b))
        return {horizontal, across(a), along(a), along(b), ta, tb, na, nb};
    return {horizontal, across(a), along(b), along(a), tb, ta, nb, na};
}

// How strongly segment ka of route a wants to lie at a lower coordinate than segment kb of
// route b on a shared line, so that neither crosses the other where it turns away: an end
// inside the other's span must lie on the side it turns to; ends at one place turning apart
// take the sides they turn to; ends at one place turning alike nest, which the two routes'
// next segments decide (followed until the routes part). skip: the end (0 lo, 1 hi) the
// comparison came from.
int sidePreference(const QList<QPointF> &a, int ka, const QList<QPointF> &b, int kb, int skip = -1,
                   int depth = 0)
{
    const LineSegment s = lineSegment(a, ka), t = lineSegment(b, kb);
    int votes = 0;
    for (int e = 0; e < 2; ++e) {
        if (e == skip)
            continue;
        const double at = e == 0 ? s.lo : s.hi;
        const int turn = e == 0 ? s.turnLo : s.turnHi;
        if (turn != 0) {
            const double otherAt = e == 0 ? t.lo : t.hi;
            const int otherTurn = e == 0 ? t.turnLo : t.turnHi;
            if (at > t.lo + kEps && at < t.hi - kEps) {
                votes += turn < 0 ? 1 : -1;
            } else if (std::abs(at - otherAt) <= kEps && otherTurn == -turn) {
                votes += turn < 0 ? 1 : -1;
            } else if (std::abs(at - otherAt) <= kEps && otherTurn == turn && depth < 8) {
                // Both turn onto the same line: the inner one of the two corners is lower on
                // this line exactly when it is lower (or higher) on the next.
                const int na = e == 0 ? s.nextLo : s.nextHi, nb = e == 0 ? t.nextLo : t.nextHi;
                if (na >= 0 && nb >= 0 && na + 1 < int(a.size()) && nb + 1 < int(b.size())) {
                    const int next = sidePreference(a, na, b, nb, turn < 0 ? 1 : 0, depth + 1);
                    const int same = (e == 0 ? 1 : -1) * turn;
                    votes += (next > 0 ? 1 : (next < 0 ? -1 : 0)) * same;
                }
            }
        }
        const double otherAt = e == 0 ? t.lo : t.hi;
        const int otherTurn = e == 0 ? t.turnLo : t.turnHi;
        if (otherTurn != 0 && otherAt > s.lo + kEps && otherAt < s.hi - kEps)
            votes -= otherTurn < 0 ? 1 : -1;
    }
    return votes;
}

// Open-addressing table from search state to its best cost and parent, reused between searches.
class StateTable
{
public:
    struct Slot {
        quint64 key;
        double g;
        quint64 parent;
        quint32 stamp;
        // Where the best way here joined its current line (the coordinate along the line), and
        // from which side it came: -1 lower, +1 higher, 0 from the route's start.
        qint8 entry;
        double lineStart;
    };

    void reset()
    {
        // A rare huge search must not leave a table that makes every later small one miss
        // the cache.
        if (m_slots.empty() || m_slots.size() > (1u << 14)) {
            m_slots.assign(1 << 12, Slot{});
            m_stamp = 0;
        }
        if (++m_stamp == 0) {
            for (Slot &s : m_slots)
                s.stamp = 0;
            m_stamp = 1;
        }
        m_count = 0;
    }

    Slot &at(quint64 key, bool *inserted)
    {
        if ((m_count + 1) * 2 > m_slots.size())
            grow();
        const size_t mask = m_slots.size() - 1;
        size_t i = hash(key) & mask;
        while (true) {
            Slot &s = m_slots[i];
            if (s.stamp != m_stamp) {
                s = {key, std::numeric_limits<double>::infinity(), 0, m_stamp, 0, 0.0};
                ++m_count;
                *inserted = true;
                return s;
            }
            if (s.key == key) {
                *inserted = false;
                return s;
            }
            i = (i + 1) & mask;
        }
    }

    const Slot *find(quint64 key) const
    {
        const size_t mask = m_slots.size() - 1;
        size_t i = hash(key) & mask;
        while (true) {
            const Slot &s = m_slots[i];
            if (s.stamp != m_stamp)
                return nullptr;
            if (s.key == key)
                return &s;
            i = (i + 1) & mask;
        }
    }

private:
    static size_t hash(quint64 k)
    {
        k ^= k >> 33;
        k *= 0xff51afd7ed558ccdULL;
        k ^= k >> 33;
        return size_t(k);
    }

    void grow()
    {
        std::vector<Slot> old;
        old.swap(m_slots);
        m_slots.resize(old.size() * 2);
        const quint32 stamp = m_stamp;
        m_count = 0;
        for (const Slot &s : old) {
            if (s.stamp != stamp)
                continue;
            bool inserted = false;
            Slot &n = at(s.key, &inserted);
            n.g = s.g;
            n.parent = s.parent;
            n.entry = s.entry;
            n.lineStart = s.lineStart;
        }
    }

    std::vector<Slot> m_slots;
    size_t m_count = 0;
    quint32 m_stamp = 0;
};

StateTable &stateTable()
{
    static thread_local StateTable table;
    return table;
}

// What a search learns about a point of its grid, kept for the rest of that search: a point is
// reached in up to four directions and each time tries three moves, which ask the same
// questions of the shapes and the routed segments.
class NodeFacts
{
public:
    // Searches over more points than this (the whole of a large drawing) ask afresh.
    static constexpr size_t kMaxNodes = size_t(1) << 18;
    static constexpr quint8 kUnknown = 0xFF;

    struct Node {
        quint32 stamp;
        quint8 free;         // kUnknown, or 0 / 1: no shape on or near the point
        quint8 blocked;      // bits 0-3: move d is known; bits 4-7: move d enters a shape
        quint8 crossings[4]; // routed segments a move crosses; kUnknown when not yet counted
    };

    // Starts a search over `count` points; false when they are too many to keep.
    bool reset(size_t count)
    {
        if (count > kMaxNodes)
            return false;
        if (m_nodes.size() < count)
            m_nodes.resize(count, Node{0, kUnknown, 0, {kUnknown, kUnknown, kUnknown, kUnknown}});
        if (++m_stamp == 0) {
            for (Node &n : m_nodes)
                n.stamp = 0;
            m_stamp = 1;
        }
        return true;
    }

    Node &at(size_t node)
    {
        Node &n = m_nodes[node];
        if (n.stamp != m_stamp)
            n = Node{m_stamp, kUnknown, 0, {kUnknown, kUnknown, kUnknown, kUnknown}};
        return n;
    }

private:
    std::vector<Node> m_nodes;
    quint32 m_stamp = 0;
};

NodeFacts &nodeFacts()
{
    static thread_local NodeFacts facts;
    return facts;
}

struct QueueItem {
    double f;
    double g;
    quint64 state;
    bool operator<(const QueueItem &o) const
    {
        if (f != o.f)
            return f > o.f;
        return g < o.g; // deeper first among equals: fewer expansions on open ground
    }
};

// The search's open list: a binary heap, as std::priority_queue keeps it (so equal items come
// out in the same order), in storage kept between searches.
class OpenList
{
public:
    OpenList()
        : m_items(store())
    {
        m_items.clear();
    }
    bool empty() const { return m_items.empty(); }
    const QueueItem &top() const { return m_items.front(); }
    void push(const QueueItem &item)
    {
        m_items.push_back(item);
        std::push_heap(m_items.begin(), m_items.end());
    }
    void pop()
    {
        std::pop_heap(m_items.begin(), m_items.end());
        m_items.pop_back();
    }

private:
    static std::vector<QueueItem> &store()
    {
        static thread_local std::vector<QueueItem> items;
        return items;
    }
    std::vector<QueueItem> &m_items;
};

} // namespace

VRConnectorRouter::VRConnectorRouter()
    : m_index(std::make_unique<VRRouteSpatialIndex>())
{
}

VRConnectorRouter::~VRConnectorRouter() = default;

void VRConnectorRouter::setParameters(const VRRouteParameters &parameters)
{
    VRRouteParameters p = parameters;
    if (!(p.segmentPenalty > 0) || !std::isfinite(p.segmentPenalty))
        p.segmentPenalty = kDefaults.segmentPenalty;
    if (!(p.bufferDistance > 0) || !std::isfinite(p.bufferDistance))
        p.bufferDistance = kDefaults.bufferDistance;
    if (!(p.nudgeDistance > 0) || !std::isfinite(p.nudgeDistance))
        p.nudgeDistance = kDefaults.nudgeDistance;
    if (p == m_parameters)
        return;
    const bool inflationChanged = p.bufferDistance != m_parameters.bufferDistance;
    const bool routesChanged = inflationChanged || p.segmentPenalty != m_parameters.segmentPenalty;
    m_parameters = p;
    if (!routesChanged) {
        // Only the nudging changed: the routes stay, their channels are spread again.
        m_renudgeAll = true;
        return;
    }
    if (inflationChanged) {
        m_index->clear();
        const double b = m_parameters.bufferDistance;
        for (auto &[id, o] : m_obstacles) {
            o.inflated = o.rect.adjusted(-b, -b, b, b);
            m_index->insert(id, o.inflated);
        }
        m_gridDirty = true;
    }
    m_allDirty = true;
}

void VRConnectorRouter::setObstacle(VRRouteId id, const QRectF &rect)
{
    const QRectF r = rect.normalized();
    const double b = m_parameters.bufferDistance;
    auto it = m_obstacles.find(id);
    if (it != m_obstacles.end()) {
        if (it->second.rect == r)
            return;
        m_changedAreas.push_back(it->second.inflated);
        m_index->remove(id, it->second.inflated);
        it->second.rect = r;
        it->second.inflated = r.adjusted(-b, -b, b, b);
    } else {
        it = m_obstacles.emplace(id, Obstacle{r, r.adjusted(-b, -b, b, b)}).first;
    }
    m_index->insert(id, it->second.inflated);
    m_changedAreas.push_back(it->second.inflated);
    m_gridDirty = true;
}

void VRConnectorRouter::removeObstacle(VRRouteId id)
{
    auto it = m_obstacles.find(id);
    if (it == m_obstacles.end())
        return;
    m_index->remove(id, it->second.inflated);
    m_changedAreas.push_back(it->second.inflated);
    m_obstacles.erase(it);
    m_gridDirty = true;
}

bool VRConnectorRouter::hasObstacle(VRRouteId id) const
{
    return m_obstacles.count(id) != 0;
}

QRectF VRConnectorRouter::obstacle(VRRouteId id) const
{
    auto it = m_obstacles.find(id);
    return it == m_obstacles.end() ? QRectF() : it->second.rect;
}

void VRConnectorRouter::countEnds(VRRouteId id, const VRRouteRequest &request, int change)
{
    for (const VRRouteId shape : {request.start.shape, request.end.shape}) {
        if (shape < 0)
            continue;
        auto it = m_connectorsAtShape.try_emplace(shape, 0).first;
        it->second += change;
        if (it->second <= 0)
            m_connectorsAtShape.erase(it);
        std::vector<VRRouteId> &ids = m_endsAtShape[shape];
        if (change > 0) {
            ids.push_back(id);
        } else if (const auto found = std::find(ids.begin(), ids.end(), id); found != ids.end()) {
            ids.erase(found);
            if (ids.empty())
                m_endsAtShape.erase(shape);
        }
        m_spreadShapes.insert(shape);
    }
}

bool VRConnectorRouter::joinsAHub(const VRRouteRequest &request) const
{
    for (const VRRouteId shape : {request.start.shape, request.end.shape}) {
        const auto it = shape < 0 ? m_connectorsAtShape.end() : m_connectorsAtShape.find(shape);
        if (it != m_connectorsAtShape.end() && it->second > kHubConnectors)
            return true;
    }
    return false;
}

void VRConnectorRouter::setConnector(VRRouteId id, const VRRouteRequest &request)
{
    auto it = m_connectors.find(id);
    if (it != m_connectors.end() && it->second.request == request && !it->second.raw.isEmpty())
        return;
    if (it != m_connectors.end())
        countEnds(id, it->second.request, -1);
    countEnds(id, request, 1);
    Connector &c = m_connectors[id];
    c.request = request;
    c.dirty = true;
    m_anyDirty = true;
}

void VRConnectorRouter::setConnectorRoute(VRRouteId id, const VRRouteRequest &request,
                                          const QList<QPointF> &route)
{
    if (const auto known = m_connectors.find(id); known != m_connectors.end())
        countEnds(id, known->second.request, -1);
    countEnds(id, request, 1);
    Connector &c = m_connectors[id];
    if (!c.raw.isEmpty()) {
        removeRoutedSegments(id, c.raw);
        addNudgeSeeds(c.raw);
    }
    c.request = request;
    c.raw = route;
    c.routed = true;
    c.dirty = false;
    m_rerouted.insert(id);
    m_taken.insert(id);
    if (request.kind == VRRouteKind::Orthogonal) {
        // The channels it runs through are spread again with it.
        addRoutedSegments(id, route);
        addNudgeSeeds(route);
    }
}

void VRConnectorRouter::removeConnector(VRRouteId id)
{
    auto it = m_connectors.find(id);
    if (it == m_connectors.end())
        return;
    m_taken.erase(id);
    countEnds(id, it->second.request, -1);
    removeRoutedSegments(id, it->second.raw);
    // The channels it ran through are spread again without it.
    addNudgeSeeds(it->second.raw);
    m_rerouted.erase(id);
    m_connectors.erase(it);
}

bool VRConnectorRouter::hasConnector(VRRouteId id) const
{
    return m_connectors.count(id) != 0;
}

bool VRConnectorRouter::hasPendingChanges() const
{
    return m_allDirty || m_anyDirty || m_renudgeAll || !m_changedAreas.empty()
           || !m_nudgeSeeds.empty();
}

QList<QPointF> VRConnectorRouter::route(VRRouteId id) const
{
    auto it = m_connectors.find(id);
    return it == m_connectors.end() ? QList<QPointF>() : it->second.path;
}

bool VRConnectorRouter::wasRouted(VRRouteId id) const
{
    auto it = m_connectors.find(id);
    return it != m_connectors.end() && it->second.routed;
}

void VRConnectorRouter::prepare()
{
    if (!m_gridDirty)
        return;
    m_xs.clear();
    m_ys.clear();
    m_xs.reserve(m_obstacles.size() * 2);
    m_ys.reserve(m_obstacles.size() * 2);
    for (const auto &[id, o] : m_obstacles) {
        m_xs.push_back(o.inflated.left());
        m_xs.push_back(o.inflated.right());
        m_ys.push_back(o.inflated.top());
        m_ys.push_back(o.inflated.bottom());
    }
    std::sort(m_xs.begin(), m_xs.end());
    m_xs.erase(std::unique(m_xs.begin(), m_xs.end()), m_xs.end());
    std::sort(m_ys.begin(), m_ys.end());
    m_ys.erase(std::unique(m_ys.begin(), m_ys.end()), m_ys.end());
    m_gridDirty = false;
}

void VRConnectorRouter::markAffectedBy(const QRectF &area)
{
    for (auto &[id, c] : m_connectors) {
        if (c.dirty || c.raw.isEmpty() || m_taken.count(id))
            continue;
        if (pathTouches(c.raw, area)) {
            c.dirty = true;
            m_anyDirty = true;
        }
    }
}

QList<VRRouteId> VRConnectorRouter::update()
{
    bool everything = m_renudgeAll;
    m_renudgeAll = false;
    if (m_allDirty) {
        for (auto &[id, c] : m_connectors)
            c.dirty = true;
        m_allDirty = false;
        m_anyDirty = true;
        everything = true;
    }
    for (const QRectF &area : m_changedAreas)
        markAffectedBy(area);
    m_changedAreas.clear();
    m_taken.clear();
    if (!m_anyDirty)
        return everything || !m_nudgeSeeds.empty() ? nudge(everything) : QList<VRRouteId>();
    for (auto &[id, c] : m_connectors) {
        if (!c.dirty)
            continue;
        m_rerouted.insert(id);
        if (c.raw.isEmpty())
            continue;
        removeRoutedSegments(id, c.raw);
        if (!everything)
            addNudgeSeeds(c.raw);
    }
    // Short connectors first: they have the fewest ways round, and the long ones, which have
    // the most, then find the way that crosses them least. Ties by id, so a drawing routes the
    // same way every time.
    std::vector<std::pair<double, VRRouteId>> order;
    for (const auto &[id, c] : m_connectors)
        if (c.dirty) {
            const QPointF d = c.request.end.point - c.request.start.point;
            order.emplace_back(std::abs(d.x()) + std::abs(d.y()), id);
        }
    std::sort(order.begin(), order.end());
    for (const auto &[span, id] : order) {
        Connector &c = m_connectors.at(id);
        bool found = false;
        c.raw = c.request.kind == VRRouteKind::Orthogonal ? routeOrthogonal(c.request, &found)
                                                          : routePolyline(c.request, &found);
        c.routed = found;
        c.weighedCrossings = found && m_weighedCrossings;
        c.dirty = false;
        if (c.request.kind == VRRouteKind::Orthogonal)
            addRoutedSegments(id, c.raw);
    }
    m_anyDirty = false;
    // When every connector was routed (a drawing opened, the routing changed), the routes laid
    // first could not see the later ones: with every route in place, each now moves its inner
    // segments to the lines where they cross the others least. A drag re-routes a few
    // connectors among routes already laid, so it skips this. Routes whose search did not weigh
    // crossings are left as they are.
    const bool whole = order.size() == m_connectors.size();
    if (whole)
        prepare();
    for (const auto &[span, id] : order) {
        Connector &c = m_connectors.at(id);
        if (!whole || c.request.kind != VRRouteKind::Orthogonal || !c.weighedCrossings)
            continue;
        removeRoutedSegments(id, c.raw);
        shiftSegments(c.request, c.raw);
        addRoutedSegments(id, c.raw);
    }
    if (!everything)
        for (const auto &[span, id] : order)
            if (m_connectors.at(id).request.kind == VRRouteKind::Orthogonal)
                addNudgeSeeds(m_connectors.at(id).raw);
    return nudge(everything);
}

QList<VRRouteId> VRConnectorRouter::routeAll()
{
    m_allDirty = true;
    return update();
}

QList<QPointF> VRConnectorRouter::routeOnce(const VRRouteRequest &request, bool *found)
{
    bool ok = false;
    QList<QPointF> path = request.kind == VRRouteKind::Orthogonal ? routeOrthogonal(request, &ok)
                                                                  : routePolyline(request, &ok);
    if (found)
        *found = ok;
    return path;
}

VRConnectorRouter::Port VRConnectorRouter::port(const VRRouteEnd &end, const QPointF &toward) const
{
    return candidatePorts(end, toward).front();
}

std::vector<VRConnectorRouter::Port> VRConnectorRouter::candidatePorts(const VRRouteEnd &end,
                                                                       const QPointF &toward) const
{
    auto it = m_obstacles.find(end.shape);
    if (end.shape < 0 || it == m_obstacles.end())
        return {freePort(end)};
    const QRectF &rect = it->second.rect;
    // An end inside its shape (its centre, say) has no nearest side that means anything: every
    // side is a candidate and the search takes the cheapest route through any of them, so the
    // route never crosses its own shape. The side facing the other end comes first.
    if (end.side == VRRouteSide::Any && rect.adjusted(kEps, kEps, -kEps, -kEps).contains(end.point)
        && !rect.contains(toward)) {
        const VRRouteSide first = resolvedSide(rect, toward, VRRouteSide::Any);
        const VRRouteSide across =
            toward.x() < rect.center().x() ? VRRouteSide::Left : VRRouteSide::Right;
        const VRRouteSide upDown =
            toward.y() < rect.center().y() ? VRRouteSide::Top : VRRouteSide::Bottom;
        const VRRouteSide second = first == across ? upDown : across;
        std::vector<Port> ports{portOnSide(end, first), portOnSide(end, second)};
        for (VRRouteSide side :
             {VRRouteSide::Left, VRRouteSide::Top, VRRouteSide::Right, VRRouteSide::Bottom})
            if (side != first && side != second)
                ports.push_back(portOnSide(end, side));
        return ports;
    }
    return {portOnSide(end, resolvedSide(rect, end.point, end.side))};
}

VRConnectorRouter::Port VRConnectorRouter::freePort(const VRRouteEnd &end) const
{
    // A free end with a side leaves that way, a buffer's length before it may turn.
    const QPointF p = end.point;
    const double b = m_parameters.bufferDistance;
    switch (end.side) {
    case VRRouteSide::Right: return {p, QPointF(p.x() + b, p.y()), 0};
    case VRRouteSide::Left: return {p, QPointF(p.x() - b, p.y()), 1};
    case VRRouteSide::Bottom: return {p, QPointF(p.x(), p.y() + b), 2};
    case VRRouteSide::Top: return {p, QPointF(p.x(), p.y() - b), 3};
    case VRRouteSide::Any: break;
    }
    return {p, p, kNoDir};
}

VRConnectorRouter::Port VRConnectorRouter::portOnSide(const VRRouteEnd &end, VRRouteSide side) const
{
    const QRectF &infl = m_obstacles.at(end.shape).inflated;
    const QPointF p = end.point;
    switch (side) {
    case VRRouteSide::Left: return {p, QPointF(std::min(infl.left(), p.x()), p.y()), 1};
    case VRRouteSide::Right: return {p, QPointF(std::max(infl.right(), p.x()), p.y()), 0};
    case VRRouteSide::Top: return {p, QPointF(p.x(), std::min(infl.top(), p.y())), 3};
    case VRRouteSide::Bottom:
    case VRRouteSide::Any: break;
    }
    return {p, QPointF(p.x(), std::max(infl.bottom(), p.y())), 2};
}

std::vector<VRRouteId> VRConnectorRouter::ignoredAt(const std::vector<QPointF> &points) const
{
    // An end that starts inside another shape (overlapping shapes) must be able to leave it.
    std::vector<VRRouteId> ids;
    for (const QPointF &p : points) {
        if (const auto *entries = m_index->entriesAt(p.x(), p.y())) {
            for (const auto &e : *entries)
                if (strictlyInside(e.rect, p.x(), p.y()))
                    ids.push_back(e.id);
        }
    }
    return ids;
}

bool VRConnectorRouter::nearObstacle(double x, double y,
                                     const std::vector<VRRouteId> &ignored) const
{
    constexpr double kNear = 1e-3;
    const auto *entries = m_index->entriesAt(x, y);
    if (!entries)
        return !m_index->deepInsideCell(x, y, kNear);
    for (const auto &e : *entries) {
        if (x < e.rect.left() - kNear || x > e.rect.right() + kNear || y < e.rect.top() - kNear
            || y > e.rect.bottom() + kNear)
            continue;
        if (!ignored.empty() && std::find(ignored.begin(), ignored.end(), e.id) != ignored.end())
            continue;
        return true;
    }
    // A shape just across the border of the point's cell is not in its entries.
    return !m_index->deepInsideCell(x, y, kNear);
}

bool VRConnectorRouter::blockedAt(double x, double y, const std::vector<VRRouteId> &ignored) const
{
    const auto *entries = m_index->entriesAt(x, y);
    if (!entries)
        return false;
    for (const auto &e : *entries) {
        if (!strictlyInside(e.rect, x, y))
            continue;
        if (!ignored.empty() && std::find(ignored.begin(), ignored.end(), e.id) != ignored.end())
            continue;
        return true;
    }
    return false;
}

QList<QPointF> VRConnectorRouter::routeOrthogonal(const VRRouteRequest &request, bool *found)
{
    return routeBetween(candidatePorts(request.start, request.end.point),
                        candidatePorts(request.end, request.start.point), found,
                        !joinsAHub(request));
}

QList<QPointF> VRConnectorRouter::routeBetween(const std::vector<Port> &starts,
                                               const std::vector<Port> &ends, bool *found,
                                               bool mayWeighCrossings)
{
    std::vector<QPointF> places;
    std::vector<double> extraXs, extraYs;
    for (const auto *ports : {&starts, &ends}) {
        for (const Port &p : *ports) {
            places.push_back(p.exit);
            places.push_back(p.spot);
            extraXs.push_back(p.exit.x());
            extraYs.push_back(p.exit.y());
        }
    }
    const auto [minX, maxX] = std::minmax_element(extraXs.begin(), extraXs.end());
    const auto [minY, maxY] = std::minmax_element(extraYs.begin(), extraYs.end());
    const QRectF span(QPointF(*minX, *minY), QPointF(*maxX, *maxY));
    const std::vector<VRRouteId> ignored = ignoredAt(places);
    // Search a window around the ends first: the grid then holds only the lines of nearby shapes.
    // The window grows when it holds no route; the last try uses the whole drawing. A long
    // connector's window keeps a bounded margin: its route seldom strays far from the ends' box,
    // and a wider window only makes each step of a drag slower.
    double margin = std::clamp(std::max(span.width(), span.height()) / 6, 60.0, kMaxMargin);
    QList<QPointF> out;
    for (int attempt = 0; attempt < 2; ++attempt, margin *= 3) {
        const QRectF window = span.adjusted(-margin, -margin, margin, margin);
        std::vector<double> xs{window.left(), window.right()};
        std::vector<double> ys{window.top(), window.bottom()};
        const std::vector<VRRouteId> near = m_index->query(window);
        if (near.size() * 2 >= m_obstacles.size())
            break; // the window is most of the drawing already
        for (VRRouteId id : near) {
            const QRectF &r = m_obstacles.at(id).inflated;
            for (double x : {r.left(), r.right()})
                if (x > window.left() && x < window.right())
                    xs.push_back(x);
            for (double y : {r.top(), r.bottom()})
                if (y > window.top() && y < window.bottom())
                    ys.push_back(y);
        }
        std::sort(xs.begin(), xs.end());
        xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
        std::sort(ys.begin(), ys.end());
        ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
        const bool weigh = mayWeighCrossings && near.size() <= kCrossingAwareShapes;
        if (orthogonalSearch(starts, ends, ignored, withExtra(xs, extraXs), withExtra(ys, extraYs),
                             &out, weigh ? kCrossingGreed : kCrowdedGreed, weigh)) {
            *found = true;
            m_weighedCrossings = weigh;
            return straightened(out, ignored);
        }
    }
    // The lines of every shape, gathered only when a search needs the whole drawing: a drag
    // moves a shape on every step.
    prepare();
    const bool small = m_obstacles.size() < kSmallDrawing;
    std::vector<double> xs = m_xs, ys = m_ys;
    for (const QPointF &p : {starts.front().exit, ends.front().exit}) {
        xs.push_back(p.x() - 1e5); // room to go around everything
        xs.push_back(p.x() + 1e5);
        ys.push_back(p.y() - 1e5);
        ys.push_back(p.y() + 1e5);
    }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    const bool weigh = small && mayWeighCrossings;
    if (orthogonalSearch(starts, ends, ignored, withExtra(xs, extraXs), withExtra(ys, extraYs),
                         &out, small ? 1.0 : kWideGreed, weigh)) {
        *found = true;
        m_weighedCrossings = weigh;
        return straightened(out, ignored);
    }
    *found = false;
    m_weighedCrossings = false;
    qCDebug(lcRouter) << "no orthogonal route from" << starts.front().spot << "to"
                      << ends.front().spot;
    return {starts.front().spot, ends.front().spot};
}

bool VRConnectorRouter::orthogonalSearch(const std::vector<Port> &starts,
                                         const std::vector<Port> &ends,
                                         const std::vector<VRRouteId> &ignored,
                                         const std::vector<double> &xs,
                                         const std::vector<double> &ys, QList<QPointF> *out,
                                         double greed, bool weighCrossings)
{
    const quint64 ny = ys.size();
    const auto indexOf = [](const std::vector<double> &v, double value) {
        return quint64(std::lower_bound(v.begin(), v.end(), value) - v.begin());
    };
    const auto stub = [](const Port &p) {
        return std::abs(p.exit.x() - p.spot.x()) + std::abs(p.exit.y() - p.spot.y());
    };
    struct Goal {
        quint64 i, j;
        double x, y;
        int outDir;
        int inDir; // direction that continues straight into the end
        double stub;
    };
    std::vector<Goal> goals;
    goals.reserve(ends.size());
    for (const Port &p : ends)
        goals.push_back({indexOf(xs, p.exit.x()), indexOf(ys, p.exit.y()), p.exit.x(), p.exit.y(),
                         p.outDir, opposite(p.outDir), stub(p)});
    const double penalty = m_parameters.segmentPenalty;
    const double crossingCost = weighCrossings ? kCrossingWeight * penalty : 0.0;
    const auto stateOf = [ny](quint64 i, quint64 j, int dir) {
        return ((i * ny + j) << 3) | quint64(dir);
    };
    const double bendGreed = weighCrossings ? 1.0 : greed;
    const auto heuristic = [&](double x, double y, int dir) {
        double h = std::numeric_limits<double>::infinity();
        for (const Goal &goal : goals)
            h = std::min(h, greed * (std::abs(goal.x - x) + std::abs(goal.y - y))
                                + bendGreed * penalty * minBends(goal.x - x, goal.y - y, dir)
                                + greed * goal.stub);
        return h;
    };
    constexpr quint64 kGoal = ~quint64(0);
    constexpr quint64 kStart = ~quint64(0) - 1;

    StateTable &table = stateTable();
    table.reset();
    NodeFacts &factTable = nodeFacts();
    const bool keepFacts = factTable.reset(size_t(xs.size()) * size_t(ny));
    OpenList open;
    bool inserted = false;
    for (const Port &p : starts) {
        const quint64 state = stateOf(indexOf(xs, p.exit.x()), indexOf(ys, p.exit.y()), p.outDir);
        StateTable::Slot &slot = table.at(state, &inserted);
        const double g = stub(p);
        if (g >= slot.g)
            continue;
        slot.g = g;
        slot.parent = kStart;
        slot.entry = 0;
        slot.lineStart = p.outDir < 2 ? p.spot.x() : p.spot.y();
        open.push({g + heuristic(p.exit.x(), p.exit.y(), p.outDir), g, state});
    }
    double bestGoal = std::numeric_limits<double>::infinity();
    quint64 bestGoalParent = 0;
    size_t bestGoalIndex = 0;
    qint64 expansions = 0;
    bool reached = false;

    static constexpr int kDi[4] = {1, -1, 0, 0};
    static constexpr int kDj[4] = {0, 0, 1, -1};
    while (!open.empty()) {
        const QueueItem item = open.top();
        open.pop();
        if (item.state == kGoal) {
            reached = true;
            break;
        }
        const StateTable::Slot *slot = table.find(item.state);
        if (!slot || item.g > slot->g)
            continue;
        if (++expansions > kMaxExpansions)
            break;
        const int dir = int(item.state & 7);
        const quint64 node = item.state >> 3;
        const quint64 i = node / ny, j = node % ny;
        const int entry = slot->entry;
        const double lineStart = slot->lineStart;
        // The crossings a line of this route makes with routes on the same line once the two
        // are spread apart: known when the route leaves the line, by the side it leaves to.
        const auto leaving = [&](double at, int turn) {
            if (crossingCost <= 0 || dir == kNoDir)
                return 0.0;
            const bool horizontal = dir < 2;
            const double lo = std::min(lineStart, at), hi = std::max(lineStart, at);
            const bool forward = at >= lineStart;
            const int turnLo = forward ? entry : turn, turnHi = forward ? turn : entry;
            return crossingCost
                   * sharedLineCrossings(horizontal, horizontal ? ys[j] : xs[i], lo, hi, turnLo,
                                         turnHi);
        };
        double leavingCost[2] = {-1.0, -1.0}; // by the side it turns to: lower, higher
        bool atGoal = false;
        for (size_t k = 0; k < goals.size(); ++k) {
            const Goal &goal = goals[k];
            if (i != goal.i || j != goal.j)
                continue;
            atGoal = true;
            // Arriving while moving away from the end's shape would double back over itself.
            if (goal.outDir != kNoDir && dir == goal.outDir)
                continue;
            double cost =
                item.g + ((goal.outDir != kNoDir && dir != goal.inDir) ? penalty : 0.0) + goal.stub;
            if (goal.outDir == kNoDir)
                cost += leaving(dir < 2 ? xs[i] : ys[j], 0);
            else if (dir == goal.inDir)
                cost += leaving(dir < 2 ? ends[k].spot.x() : ends[k].spot.y(), 0);
            else
                cost +=
                    leaving(dir < 2 ? xs[i] : ys[j], goal.inDir == 0 || goal.inDir == 2 ? 1 : -1);
            if (cost < bestGoal) {
                bestGoal = cost;
                bestGoalParent = item.state;
                bestGoalIndex = k;
                open.push({cost, cost, kGoal});
            }
        }
        if (atGoal && goals.size() == 1)
            continue;
        // Shapes' edges are lines of the grid, so the moves from a point in the open outside
        // every shape cannot enter one.
        NodeFacts::Node *facts = keepFacts ? &factTable.at(size_t(node)) : nullptr;
        bool free;
        if (facts && facts->free != NodeFacts::kUnknown) {
            free = facts->free != 0;
        } else {
            free = !nearObstacle(xs[i], ys[j], ignored);
            if (facts)
                facts->free = free ? 1 : 0;
        }
        for (int nd = 0; nd < 4; ++nd) {
            if (dir != kNoDir && nd == opposite(dir))
                continue; // no U-turn on the spot
            const qint64 ni = qint64(i) + kDi[nd], nj = qint64(j) + kDj[nd];
            if (ni < 0 || nj < 0 || ni >= qint64(xs.size()) || nj >= qint64(ny))
                continue;
            const double x0 = xs[i], y0 = ys[j], x1 = xs[ni], y1 = ys[nj];
            if (!free) {
                bool blocked;
                if (facts && (facts->blocked & (1 << nd))) {
                    blocked = facts->blocked & (16 << nd);
                } else {
                    blocked = blockedAt((x0 + x1) / 2, (y0 + y1) / 2, ignored);
                    if (facts)
                        facts->blocked |= quint8((1 << nd) | (blocked ? 16 << nd : 0));
                }
                if (blocked)
                    continue;
            }
            const bool turning = dir != kNoDir && dir != nd;
            double g = item.g + std::abs(x1 - x0) + std::abs(y1 - y0) + (turning ? penalty : 0.0);
            const quint64 ns = stateOf(quint64(ni), quint64(nj), nd);
            StateTable::Slot &s = table.at(ns, &inserted);
            if (g >= s.g)
                continue;
            const bool horizontal = nd < 2;
            if (crossingCost > 0) {
                int crossed;
                if (facts && facts->crossings[nd] != NodeFacts::kUnknown) {
                    crossed = facts->crossings[nd];
                } else {
                    crossed = horizontal ? crossingsAlong(true, y0, x0, x1)
                                         : crossingsAlong(false, x0, y0, y1);
                    if (facts && crossed < NodeFacts::kUnknown)
                        facts->crossings[nd] = quint8(crossed);
                }
                g += crossingCost * crossed;
                if (turning) {
                    const int side = (nd == 0 || nd == 2) ? 1 : 0;
                    if (leavingCost[side] < 0)
                        leavingCost[side] = leaving(dir < 2 ? x0 : y0, side ? 1 : -1);
                    g += leavingCost[side];
                }
                if (g >= s.g)
                    continue;
            }
            s.g = g;
            s.parent = item.state;
            if (turning || dir == kNoDir) {
                s.entry = qint8(dir == kNoDir ? 0 : ((dir == 0 || dir == 2) ? -1 : 1));
                s.lineStart = horizontal ? x0 : y0;
            } else {
                s.entry = qint8(entry);
                s.lineStart = lineStart;
            }
            open.push({g + heuristic(x1, y1, nd), g, ns});
        }
    }
    m_expansions += expansions;
    if (!reached)
        return false;
    QList<QPointF> points;
    points.push_back(ends[bestGoalIndex].spot);
    quint64 s = bestGoalParent;
    for (size_t guard = 0; guard <= xs.size() * ny * 4; ++guard) {
        const quint64 node = s >> 3;
        points.push_back(QPointF(xs[node / ny], ys[node % ny]));
        const StateTable::Slot *slot = table.find(s);
        if (!slot || slot->parent == kStart)
            break;
        s = slot->parent;
    }
    points.push_back(starts.front().spot);
    std::reverse(points.begin(), points.end());
    *out = simplified(points);
    return true;
}

bool VRConnectorRouter::legClear(const QPointF &a, const QPointF &b,
                                 const std::vector<VRRouteId> &ignored) const
{
    const QRectF seg = QRectF(a, b).normalized();
    // The index keeps each shape's inflated outline.
    return !m_index->any(seg.adjusted(-1, -1, 1, 1), [&](const VRRouteSpatialIndex::Entry &e) {
        return std::find(ignored.begin(), ignored.end(), e.id) == ignored.end()
               && segmentCrossesInterior(a, b, e.rect);
    });
}

int VRConnectorRouter::crossingsOf(const QList<QPointF> &path, qsizetype from, qsizetype to) const
{
    int count = 0;
    if (to < 0)
        to = path.size() - 1;
    for (qsizetype k = from; k < to; ++k) {
        const QPointF &a = path[k], &b = path[k + 1];
        const bool horizontal = std::abs(a.y() - b.y()) < kEps;
        if (horizontal == (std::abs(a.x() - b.x()) < kEps))
            continue;
        count += horizontal ? crossingsAlong(true, a.y(), a.x(), b.x())
                            : crossingsAlong(false, a.x(), a.y(), b.y());
        const LineSegment line = lineSegment(path, int(k));
        count +=
            sharedLineCrossings(horizontal, line.coord, line.lo, line.hi, line.turnLo, line.turnHi);
    }
    return count;
}

void VRConnectorRouter::shiftSegments(const VRRouteRequest &request, QList<QPointF> &path) const
{
    const qsizetype n = path.size();
    if (n < 4)
        return;
    const std::vector<VRRouteId> ignored = ignoredAt({path.first(), path.last()});
    // A leg from a route's end (given) runs out of its own shape; the moved corner must lie
    // outside it, and the leg must be clear of every other shape.
    const auto legFits = [&](const QPointF &a, const QPointF &b, const VRRouteEnd *end) {
        const auto it = end ? m_obstacles.find(end->shape) : m_obstacles.end();
        if (!end || end->shape < 0 || it == m_obstacles.end())
            return legClear(a, b, ignored);
        if (strictlyInside(it->second.inflated, b.x(), b.y()))
            return false;
        std::vector<VRRouteId> also = ignored;
        also.push_back(end->shape);
        return legClear(a, b, also);
    };
    const double weight = kCrossingWeight * m_parameters.segmentPenalty;
    // A segment moves within a few buffers of its line, past at most a dozen lines each way.
    const double maxShift = 4 * m_parameters.bufferDistance + 2 * m_parameters.nudgeDistance;
    constexpr int kMaxLines = 12;
    for (qsizetype k = 1; k + 2 < n; ++k) {
        const bool horizontal = std::abs(path[k].y() - path[k + 1].y()) < kEps;
        const auto across = [&](const QPointF &q) { return horizontal ? q.y() : q.x(); };
        const double at = across(path[k]), before = across(path[k - 1]),
                     after = across(path[k + 2]);
        const auto moved = [&](const QPointF &q, double v) {
            return horizontal ? QPointF(q.x(), v) : QPointF(v, q.y());
        };
        const qsizetype from = std::max<qsizetype>(0, k - 2), to = std::min(n, k + 4);
        QList<QPointF> local = path.mid(from, to - from);
        const qsizetype lk = k - from;
        const auto costOf = [&](const QList<QPointF> &q) {
            const double length = std::abs(across(q[lk - 1]) - across(q[lk]))
                                  + std::abs(across(q[lk + 1]) - across(q[lk + 2]));
            return length + weight * crossingsOf(q, lk - 1, lk + 2);
        };
        double best = costOf(local), bestAt = at;
        const std::vector<double> &lines = horizontal ? m_ys : m_xs;
        const auto here = std::lower_bound(lines.begin(), lines.end(), at);
        for (int way : {-1, 1}) {
            auto it = here;
            for (int tries = 0; tries < kMaxLines; ++tries) {
                if (way < 0) {
                    if (it == lines.begin())
                        break;
                    --it;
                } else {
                    if (it != lines.end() && std::abs(*it - at) <= kEps)
                        ++it;
                    if (it == lines.end())
                        break;
                }
                const double v = *it;
                if (way > 0)
                    ++it;
                if (std::abs(v - at) <= kEps)
                    continue;
                if (std::abs(v - at) > maxShift || (v - before) * (at - before) <= kEps
                    || (v - after) * (at - after) <= kEps)
                    break; // a neighbour would vanish or turn back
                const QPointF a = moved(path[k], v), b = moved(path[k + 1], v);
                local[lk] = a;
                local[lk + 1] = b;
                const double cost = costOf(local);
                // Only a cheaper line is checked for shapes in the way.
                if (cost < best - kEps && legClear(a, b, ignored)
                    && legFits(path[k - 1], a, k - 1 == 0 ? &request.start : nullptr)
                    && legFits(path[k + 2], b, k + 2 == n - 1 ? &request.end : nullptr)) {
                    best = cost;
                    bestAt = v;
                }
            }
        }
        if (bestAt != at) {
            path[k] = moved(path[k], bestAt);
            path[k + 1] = moved(path[k + 1], bestAt);
        }
    }
}

int VRConnectorRouter::sharedLineCrossings(bool horizontal, double at, double lo, double hi,
                                           int turnLo, int turnHi) const
{
    if (hi - lo > kMaxCrossingSpan || (turnLo == 0 && turnHi == 0))
        return 0;
    const SegmentBuckets &buckets = horizontal ? m_horizontalSegments : m_verticalSegments;
    if (buckets.empty())
        return 0;
    const auto inside = [](double v, double from, double to) {
        return v > from + kEps && v < to - kEps;
    };
    int count = 0;
    const qint64 line = segmentBucket(at), first = alongBucket(lo), last = alongBucket(hi);
    for (qint64 m = first; m <= last; ++m) {
        const auto *cell = buckets.find(bucketKey(line, m));
        if (!cell)
            continue;
        for (const RoutedSegment &seg : *cell) {
            if (std::abs(seg.at - at) > kEps || seg.lo >= hi - kEps || lo >= seg.hi - kEps)
                continue;
            // A segment spanning several cells is met once, in the first cell both share.
            if (m != std::max(first, alongBucket(seg.lo)))
                continue;
            // Where one ends inside the other's span and turns away, it must lie on the side
            // it turns to; ends at one place turning apart take their sides too.
            bool below = false, above = false;
            const auto wish = [&](int turn) { (turn < 0 ? below : above) = true; };
            if (turnLo != 0
                && (inside(lo, seg.lo, seg.hi)
                    || (std::abs(lo - seg.lo) <= kEps && seg.turnLo == -turnLo)))
                wish(turnLo);
            if (turnHi != 0
                && (inside(hi, seg.lo, seg.hi)
                    || (std::abs(hi - seg.hi) <= kEps && seg.turnHi == -turnHi)))
                wish(turnHi);
            if (seg.turnLo != 0 && inside(seg.lo, lo, hi))
                wish(-seg.turnLo);
            if (seg.turnHi != 0 && inside(seg.hi, lo, hi))
                wish(-seg.turnHi);
            if (below && above)
                ++count;
        }
    }
    return count;
}

QList<QPointF> VRConnectorRouter::straightened(QList<QPointF> path,
                                               const std::vector<VRRouteId> &ignored) const
{
    // Jogs the search left (a staircase, a step around nothing) are replaced by one corner or a
    // straight line where that passes no shape and crosses no more routes. The result is never
    // longer: one corner between two points is their shortest orthogonal connection. The first
    // and last segments stay, so the ends leave their shapes as before.
    const auto bendsOf = [](const QList<QPointF> &p) { return int(p.size()) - 2; };
    const auto reverses = [](const QList<QPointF> &p) {
        for (qsizetype k = 1; k + 1 < p.size(); ++k) {
            const QPointF d1 = p[k] - p[k - 1], d2 = p[k + 1] - p[k];
            if (d1.x() * d2.x() + d1.y() * d2.y() < -kEps)
                return true;
        }
        return false;
    };
    bool improved = true;
    int before = -1;
    while (improved && path.size() >= 5) {
        improved = false;
        for (qsizetype i = 1; i + 4 < path.size() && !improved; ++i) {
            for (qsizetype j = path.size() - 2; j >= i + 3 && !improved; --j) {
                const QPointF a = path[i], b = path[j];
                if (before < 0)
                    before = crossingsOf(path);
                for (const QPointF corner : {QPointF(b.x(), a.y()), QPointF(a.x(), b.y())}) {
                    QList<QPointF> candidate = path.mid(0, i + 1);
                    candidate.push_back(corner);
                    candidate.append(path.mid(j));
                    candidate = simplified(candidate);
                    if (bendsOf(candidate) >= bendsOf(path) || reverses(candidate))
                        continue;
                    if (!legClear(a, corner, ignored) || !legClear(corner, b, ignored))
                        continue;
                    const int after = crossingsOf(candidate);
                    if (after > before)
                        continue;
                    path = candidate;
                    before = after;
                    improved = true;
                    break;
                }
            }
        }
    }
    return path;
}

int VRConnectorRouter::crossingsAlong(bool horizontal, double at, double a, double b) const
{
    const double lo = std::min(a, b), hi = std::max(a, b);
    if (hi - lo > kMaxCrossingSpan)
        return 0; // the rim of a whole-drawing search: nothing is routed out there
    // A horizontal move crosses vertical segments, and the other way round.
    const SegmentBuckets &buckets = horizontal ? m_verticalSegments : m_horizontalSegments;
    if (buckets.empty())
        return 0;
    int count = 0;
    const qint64 along = alongBucket(at);
    const qint64 first = segmentBucket(lo), last = segmentBucket(hi);
    for (qint64 k = first; k <= last; ++k) {
        const auto *cell = buckets.find(bucketKey(k, along));
        if (!cell)
            continue;
        for (const RoutedSegment &seg : *cell) {
            const bool passed = a < b ? (seg.at > a + kEps && seg.at <= b + kEps)
                                      : (seg.at < a - kEps && seg.at >= b - kEps);
            if (passed && seg.lo < at - kEps && seg.hi > at + kEps)
                ++count;
        }
    }
    return count;
}

size_t VRConnectorRouter::SegmentBuckets::slotOf(qint64 key) const
{
    const size_t mask = m_cells.size() - 1;
    quint64 h = quint64(key) * 0x9E3779B97F4A7C15ULL;
    h ^= h >> 32;
    size_t i = size_t(h) & mask;
    while (m_cells[i].used && m_cells[i].key != key)
        i = (i + 1) & mask;
    return i;
}

const std::vector<VRConnectorRouter::RoutedSegment> *
VRConnectorRouter::SegmentBuckets::find(qint64 key) const
{
    if (m_count == 0)
        return nullptr;
    const Cell &cell = m_cells[slotOf(key)];
    return cell.used && !cell.segments.empty() ? &cell.segments : nullptr;
}

void VRConnectorRouter::SegmentBuckets::add(qint64 key, const RoutedSegment &segment)
{
    if ((m_used + 1) * 2 > m_cells.size())
        grow();
    Cell &cell = m_cells[slotOf(key)];
    if (!cell.used) {
        cell.used = true;
        cell.key = key;
        ++m_used;
    }
    cell.segments.push_back(segment);
    ++m_count;
}

void VRConnectorRouter::SegmentBuckets::remove(qint64 key, VRRouteId id)
{
    if (m_cells.empty())
        return;
    Cell &cell = m_cells[slotOf(key)];
    if (!cell.used)
        return;
    m_count -=
        size_t(std::erase_if(cell.segments, [id](const RoutedSegment &s) { return s.id == id; }));
}

void VRConnectorRouter::SegmentBuckets::grow()
{
    std::vector<Cell> old;
    old.swap(m_cells);
    m_cells.resize(std::max<size_t>(256, old.size() * 2));
    for (Cell &cell : old) {
        if (!cell.used)
            continue;
        Cell &to = m_cells[slotOf(cell.key)];
        to.used = true;
        to.key = cell.key;
        to.segments = std::move(cell.segments);
    }
}

void VRConnectorRouter::addRoutedSegments(VRRouteId id, const QList<QPointF> &path)
{
    for (qsizetype k = 1; k < path.size(); ++k) {
        const QPointF &a = path[k - 1], &b = path[k];
        const bool horizontal = std::abs(a.y() - b.y()) < kEps;
        if (horizontal == (std::abs(a.x() - b.x()) < kEps))
            continue; // empty or slanted
        const int index = int(k - 1);
        const bool inner = index >= 1 && index + 2 < int(path.size());
        const LineSegment line = lineSegment(path, index);
        const RoutedSegment seg{id,         index,   inner,  qint8(line.turnLo), qint8(line.turnHi),
                                line.coord, line.lo, line.hi};
        SegmentBuckets &buckets = horizontal ? m_horizontalSegments : m_verticalSegments;
        const qint64 bucket = segmentBucket(seg.at);
        for (qint64 m = alongBucket(seg.lo); m <= alongBucket(seg.hi); ++m)
            buckets.add(bucketKey(bucket, m), seg);
    }
}

void VRConnectorRouter::removeRoutedSegments(VRRouteId id, const QList<QPointF> &path)
{
    for (qsizetype k = 1; k < path.size(); ++k) {
        const QPointF &a = path[k - 1], &b = path[k];
        const bool horizontal = std::abs(a.y() - b.y()) < kEps;
        if (horizontal == (std::abs(a.x() - b.x()) < kEps))
            continue;
        SegmentBuckets &buckets = horizontal ? m_horizontalSegments : m_verticalSegments;
        const double at = horizontal ? a.y() : a.x();
        const double lo = horizontal ? std::min(a.x(), b.x()) : std::min(a.y(), b.y());
        const double hi = horizontal ? std::max(a.x(), b.x()) : std::max(a.y(), b.y());
        const qint64 line = segmentBucket(at);
        for (qint64 m = alongBucket(lo); m <= alongBucket(hi); ++m)
            buckets.remove(bucketKey(line, m), id);
    }
}

QList<QPointF> VRConnectorRouter::routePolyline(const VRRouteRequest &request, bool *found)
{
    Port from = port(request.start, request.end.point);
    Port to = port(request.end, request.start.point);
    // Polylines leave from the spot itself; the own shapes block only with their real outline.
    from.exit = from.spot;
    to.exit = to.spot;
    QList<QPointF> out;
    const QRectF span = QRectF(from.spot, to.spot).normalized();
    const double margin = std::max({150.0, span.width() / 2, span.height() / 2});
    const QRectF window = span.adjusted(-margin, -margin, margin, margin);
    if (m_index->query(window).size() <= kMaxVisibilityObstacles
        && polylineSearch(from, to, request, window, &out)) {
        *found = true;
        return out;
    }
    // A crowded neighbourhood makes the visibility graph too slow for dragging: pull the
    // orthogonal route taut instead, which keeps it clear of the same shapes.
    bool ok = false;
    const QList<QPointF> ortho = routeOrthogonal(request, &ok);
    *found = ok;
    if (!ok) {
        qCDebug(lcRouter) << "no polyline route from" << from.spot << "to" << to.spot;
        return ortho;
    }
    const std::vector<VRRouteId> ignored = ignoredAt({from.spot, to.spot});
    out = {ortho.first()};
    qsizetype i = 0;
    while (i + 1 < ortho.size()) {
        qsizetype j = ortho.size() - 1;
        while (j > i + 1 && !segmentClear(ortho[i], ortho[j], request, ignored))
            --j;
        out.push_back(ortho[j]);
        i = j;
    }
    return simplified(out);
}

bool VRConnectorRouter::segmentClear(const QPointF &a, const QPointF &b,
                                     const VRRouteRequest &request,
                                     const std::vector<VRRouteId> &ignored) const
{
    const QRectF seg = QRectF(a, b).normalized().adjusted(-1, -1, 1, 1);
    for (VRRouteId id : m_index->query(seg)) {
        if (std::find(ignored.begin(), ignored.end(), id) != ignored.end())
            continue;
        const Obstacle &o = m_obstacles.at(id);
        const bool own = id == request.start.shape || id == request.end.shape;
        if (segmentCrossesInterior(a, b, own ? o.rect : o.inflated))
            return false;
    }
    return true;
}

bool VRConnectorRouter::polylineSearch(const Port &from, const Port &to,
                                       const VRRouteRequest &request, const QRectF &window,
                                       QList<QPointF> *out)
{
    const std::vector<VRRouteId> ignored = ignoredAt({from.spot, to.spot});
    const auto isIgnored = [&](VRRouteId id) {
        return std::find(ignored.begin(), ignored.end(), id) != ignored.end();
    };
    std::vector<QRectF> blockers;
    std::vector<QPointF> nodes{from.spot, to.spot};
    for (VRRouteId id : m_index->query(window)) {
        const Obstacle &o = m_obstacles.at(id);
        const bool own = id == request.start.shape || id == request.end.shape;
        if (own)
            blockers.push_back(o.rect);
        else if (!isIgnored(id))
            blockers.push_back(o.inflated);
        const QRectF c = o.inflated.adjusted(-0.01, -0.01, 0.01, 0.01);
        for (const QPointF &p : {c.topLeft(), c.topRight(), c.bottomLeft(), c.bottomRight()})
            nodes.push_back(p);
    }
    // Corners buried in other shapes can never be visited.
    std::vector<QPointF> usable;
    usable.reserve(nodes.size());
    for (size_t k = 0; k < nodes.size(); ++k) {
        bool buried = false;
        if (k >= 2) {
            for (const QRectF &b : blockers)
                if (strictlyInside(b, nodes[k].x(), nodes[k].y())) {
                    buried = true;
                    break;
                }
        }
        if (!buried)
            usable.push_back(nodes[k]);
    }
    const auto visible = [&](const QPointF &a, const QPointF &b) {
        const QRectF seg = QRectF(a, b).normalized();
        for (const QRectF &r : blockers) {
            if (r.right() <= seg.left() || r.left() >= seg.right() || r.bottom() <= seg.top()
                || r.top() >= seg.bottom())
                continue;
            if (segmentCrossesInterior(a, b, r))
                return false;
        }
        return true;
    };
    const size_t n = usable.size();
    const double penalty = m_parameters.segmentPenalty;
    std::vector<double> g(n, std::numeric_limits<double>::infinity());
    std::vector<int> parent(n, -1);
    std::vector<char> closed(n, 0);
    const auto dist = [](const QPointF &a, const QPointF &b) {
        return std::hypot(a.x() - b.x(), a.y() - b.y());
    };
    std::priority_queue<QueueItem> open;
    g[0] = 0;
    open.push({dist(usable[0], usable[1]) + penalty, 0, 0});
    while (!open.empty()) {
        const QueueItem item = open.top();
        open.pop();
        const size_t u = size_t(item.state);
        if (closed[u] || item.g > g[u])
            continue;
        closed[u] = 1;
        ++m_expansions;
        if (u == 1)
            break;
        for (size_t v = 1; v < n; ++v) {
            if (closed[v])
                continue;
            const double ng = g[u] + dist(usable[u], usable[v]) + penalty;
            if (ng >= g[v] || !visible(usable[u], usable[v]))
                continue;
            g[v] = ng;
            parent[v] = int(u);
            const double h = v == 1 ? 0.0 : dist(usable[v], usable[1]) + penalty;
            open.push({ng + h, ng, quint64(v)});
        }
    }
    if (parent[1] < 0 && !(usable[0] == usable[1]))
        return false;
    QList<QPointF> pts;
    for (int k = 1; k >= 0; k = parent[k]) {
        pts.push_back(usable[k]);
        if (k == 0)
            break;
    }
    std::reverse(pts.begin(), pts.end());
    *out = simplified(pts);
    return true;
}

void VRConnectorRouter::addNudgeSeeds(const QList<QPointF> &raw)
{
    // Every segment: an end's segment does not move, but the channels beside it keep clear of
    // it.
    for (int k = 0; k + 1 < int(raw.size()); ++k) {
        const QPointF &a = raw[k], &b = raw[k + 1];
        const bool horizontal = std::abs(a.y() - b.y()) < kEps;
        if (horizontal == (std::abs(a.x() - b.x()) < kEps))
            continue;
        m_nudgeSeeds.push_back(
            horizontal ? NudgeSeed{true, a.y(), std::min(a.x(), b.x()), std::max(a.x(), b.x())}
                       : NudgeSeed{false, a.x(), std::min(a.y(), b.y()), std::max(a.y(), b.y())});
    }
}

template <typename Visit>
void VRConnectorRouter::forEachNeighbour(bool horizontal, double at, double lo, double hi,
                                         double reach, bool innerOnly, const Visit &visit) const
{
    const SegmentBuckets &buckets = horizontal ? m_horizontalSegments : m_verticalSegments;
    for (qint64 line = segmentBucket(at - reach); line <= segmentBucket(at + reach); ++line) {
        for (qint64 m = alongBucket(lo); m <= alongBucket(hi); ++m) {
            const auto *cell = buckets.find(bucketKey(line, m));
            if (!cell)
                continue;
            for (const RoutedSegment &s : *cell)
                if ((s.inner || !innerOnly) && std::abs(s.at - at) < reach - kEps
                    && s.lo < hi - kEps && lo < s.hi - kEps)
                    visit(s);
        }
    }
}

double VRConnectorRouter::neighbourReach() const
{
    // Two segments of different channels each move at most the largest offset toward the
    // other.
    return m_parameters.nudgeDistance + 2 * m_parameters.bufferDistance * 0.9;
}

namespace {

// A segment of a route: the route and the segment's index.
struct SegKeyHash {
    size_t operator()(const std::pair<VRRouteId, int> &k) const
    {
        return std::hash<qint64>()(k.first * 131 + k.second);
    }
};

} // namespace

QList<VRRouteId> VRConnectorRouter::nudge(bool everything)
{
    // A movable segment: an inner segment of an orthogonal route (the first and last stay on
    // their ends). Along its line it runs from lo to hi.
    struct Seg {
        VRRouteId id;
        int index; // segment k runs from point k to point k + 1
        double coord;
        double lo, hi;
        double key;
        double offset;
    };
    std::vector<Seg> horizontal, vertical;
    std::unordered_set<VRRouteId> touched;
    const auto makeSeg = [&](VRRouteId id, int k) {
        const QList<QPointF> &p = m_connectors.at(id).raw;
        const QPointF &a = p[k], &b = p[k + 1];
        const bool horiz = std::abs(a.y() - b.y()) < kEps;
        if (horiz)
            horizontal.push_back({id, k, a.y(), std::min(a.x(), b.x()), std::max(a.x(), b.x()),
                                  (p[k - 1].y() + p[k + 2].y()) / 2 - a.y(), 0.0});
        else
            vertical.push_back({id, k, a.x(), std::min(a.y(), b.y()), std::max(a.y(), b.y()),
                                (p[k - 1].x() + p[k + 2].x()) / 2 - a.x(), 0.0});
    };
    if (everything) {
        for (const auto &[id, c] : m_connectors) {
            touched.insert(id);
            if (!m_parameters.nudgeOrthogonalSegments || c.request.kind != VRRouteKind::Orthogonal)
                continue;
            const QList<QPointF> &p = c.raw;
            for (int k = 1; k + 2 < int(p.size()); ++k) {
                const bool horiz = std::abs(p[k].y() - p[k + 1].y()) < kEps;
                if (horiz != (std::abs(p[k].x() - p[k + 1].x()) < kEps))
                    makeSeg(id, k);
            }
        }
    } else if (m_parameters.nudgeOrthogonalSegments) {
        // Every channel that holds a changed place, whole: the segments near the changed
        // places, then their neighbours, until no segment is added.
        struct Found {
            bool horizontal;
            RoutedSegment segment;
        };
        std::unordered_set<std::pair<VRRouteId, int>, SegKeyHash> seen;
        std::vector<Found> queue;
        const auto reach = [&](bool horiz, double at, double lo, double hi, double distance) {
            forEachNeighbour(horiz, at, lo, hi, distance, true, [&](const RoutedSegment &s) {
                if (seen.insert({s.id, s.index}).second)
                    queue.push_back({horiz, s});
            });
        };
        // A changed place moves the channels it shares a line with, and bounds those near
        // enough to meet it once spread.
        const double spacing = m_parameters.nudgeDistance;
        for (const NudgeSeed &seed : m_nudgeSeeds)
            reach(seed.horizontal, seed.at, seed.lo, seed.hi, neighbourReach());
        for (size_t q = 0; q < queue.size(); ++q) {
            const Found found = queue[q];
            reach(found.horizontal, found.segment.at, found.segment.lo, found.segment.hi, spacing);
            makeSeg(found.segment.id, found.segment.index);
            touched.insert(found.segment.id);
        }
    }
    m_nudgeSeeds.clear();
    // Re-routed connectors start from their new route.
    for (VRRouteId id : m_rerouted) {
        auto it = m_connectors.find(id);
        if (it == m_connectors.end())
            continue;
        touched.insert(id);
        it->second.offsets.clear();
    }
    m_rerouted.clear();
    if (everything)
        for (auto &[id, c] : m_connectors)
            c.offsets.clear();

    const double spacing = m_parameters.nudgeDistance;
    const double maxOffset = m_parameters.bufferDistance * 0.9;
    const auto overlapping = [](const Seg &a, const Seg &b) {
        return a.lo < b.hi - kEps && b.lo < a.hi - kEps;
    };
    const auto spread = [&](std::vector<Seg> &segs, bool horizontalSegs) {
        std::sort(segs.begin(), segs.end(), [](const Seg &a, const Seg &b) {
            return std::tie(a.coord, a.lo, a.id, a.index) < std::tie(b.coord, b.lo, b.id, b.index);
        });
        std::unordered_map<std::pair<VRRouteId, int>, size_t, SegKeyHash> position;
        for (size_t k = 0; k < segs.size(); ++k)
            position.emplace(std::pair{segs[k].id, segs[k].index}, k);
        // Channels: segments whose lines are closer than the spacing and whose spans overlap,
        // transitively. Neighbouring lines are nudged together so their segments never meet.
        std::vector<size_t> parent(segs.size());
        for (size_t k = 0; k < segs.size(); ++k)
            parent[k] = k;
        const auto root = [&](size_t k) {
            while (parent[k] != k)
                k = parent[k] = parent[parent[k]];
            return k;
        };
        for (size_t k = 0; k < segs.size(); ++k)
            for (size_t m = k + 1;
                 m < segs.size() && segs[m].coord - segs[k].coord < spacing - kEps; ++m)
                if (overlapping(segs[k], segs[m]))
                    parent[root(m)] = root(k);
        std::unordered_map<size_t, std::vector<size_t>> channels;
        for (size_t k = 0; k < segs.size(); ++k)
            channels[root(k)].push_back(k);
        // Where each segment may go: no nearer than the nudge distance to a fixed segment of
        // another channel, nor past the middle between its line and a movable one's (which
        // keeps to its own side of it in turn).
        // Only the segments nearer than reach count (a band that may come out empty).
        const auto bandWithin = [&](size_t k, double reach) {
            const Seg &seg = segs[k];
            double low = seg.coord - maxOffset, high = seg.coord + maxOffset;
            forEachNeighbour(horizontalSegs, seg.coord, seg.lo, seg.hi, reach, false,
                             [&](const RoutedSegment &s) {
                                 if (s.id == seg.id && s.index == seg.index)
                                     return;
                                 const auto found = position.find({s.id, s.index});
                                 if (found != position.end() && root(found->second) == root(k))
                                     return;
                                 double d = s.at - seg.coord;
                                 if (std::abs(d) < kEps) {
                                     if (s.inner)
                                         return;
                                     // On the very line of an end's segment: off it toward where
                                     // the segment's neighbours go.
                                     d = seg.key > 0 ? -kEps : kEps;
                                 }
                                 const double keep = s.inner ? d / 2 - std::copysign(spacing / 2, d)
                                                             : d - std::copysign(spacing, d);
                                 if (d > 0)
                                     high = std::min(high, seg.coord + keep);
                                 else
                                     low = std::max(low, seg.coord + keep);
                             });
            return std::pair{low, high};
        };
        const auto band = [&](size_t k) {
            const auto [low, high] = bandWithin(k, neighbourReach());
            if (low > high)
                return std::pair{segs[k].coord - maxOffset, segs[k].coord + maxOffset};
            return std::pair{low, high};
        };
        // True when the segment may go to want: only neighbours near enough to bound it there
        // are looked at (a neighbour further off keeps its own side of the middle).
        const auto mayGo = [&](size_t k, double want) {
            const double reach = 2 * std::abs(want - segs[k].coord) + spacing + 1e-3;
            const auto [low, high] = bandWithin(k, std::min(reach, neighbourReach()));
            return low <= want && want <= high;
        };
        for (const auto &channel : channels) {
            const std::vector<size_t> &members = channel.second;
            const size_t count = members.size();
            if (count < 2) {
                // Alone in its channel it stays on its line unless that is too near another.
                Seg &s = segs[members.front()];
                if (mayGo(members.front(), s.coord)) {
                    s.offset = 0;
                } else {
                    const auto [low, high] = band(members.front());
                    s.offset = std::clamp(s.coord, low, high) - s.coord;
                }
                continue;
            }
            // Order: a segment that should lie below an overlapping one comes before it.
            // Segments are taken in turn among those with nothing left to wait for (lowest line
            // first); where the wishes form a cycle, the one waiting for the fewest goes first.
            std::vector<std::vector<size_t>> below(count);
            std::vector<int> waiting(count, 0);
            double centre = 0;
            for (size_t u = 0; u < count; ++u) {
                centre += segs[members[u]].coord;
                for (size_t v = u + 1; v < count; ++v) {
                    const Seg &a = segs[members[u]], &b = segs[members[v]];
                    if (!overlapping(a, b))
                        continue;
                    const int pref = sidePreference(m_connectors.at(a.id).raw, a.index,
                                                    m_connectors.at(b.id).raw, b.index);
                    if (pref > 0) {
                        below[u].push_back(v);
                        ++waiting[v];
                    } else if (pref < 0) {
                        below[v].push_back(u);
                        ++waiting[u];
                    }
                }
            }
            centre /= double(count);
            const auto earlier = [&](size_t u, size_t v) {
                const Seg &a = segs[members[u]], &b = segs[members[v]];
                if (waiting[u] != waiting[v])
                    return waiting[u] < waiting[v];
                if (a.coord != b.coord)
                    return a.coord < b.coord;
                if (a.key != b.key)
                    return a.key < b.key;
                return a.id != b.id ? a.id < b.id : a.index < b.index;
            };
            std::vector<size_t> order;
            order.reserve(count);
            std::vector<char> placed(count, 0);
            while (order.size() < count) {
                size_t next = count;
                for (size_t u = 0; u < count; ++u)
                    if (!placed[u] && (next == count || earlier(u, next)))
                        next = u;
                placed[next] = 1;
                order.push_back(next);
                for (size_t v : below[next])
                    --waiting[v];
            }
            // Tracks: each segment goes one track above every earlier overlapping one, so
            // segments that do not overlap may share a track.
            std::vector<int> track(count, 0);
            int tracks = 1;
            for (size_t u = 0; u < count; ++u) {
                for (size_t v = 0; v < u; ++v)
                    if (overlapping(segs[members[order[u]]], segs[members[order[v]]]))
                        track[u] = std::max(track[u], track[v] + 1);
                tracks = std::max(tracks, track[u] + 1);
            }
            double step = spacing;
            if ((tracks - 1) * step / 2 > maxOffset)
                step = 2 * maxOffset / double(tracks - 1);
            // Never further from the line the search chose than the free space around shapes
            // allows, nor nearer to another channel than its band: the tracks close up (and the
            // channel shifts) until every member fits its band.
            bool free = true;
            for (size_t u = 0; u < count && free; ++u)
                free = mayGo(members[order[u]],
                             centre + (double(track[u]) - double(tracks - 1) / 2) * step);
            if (free) {
                for (size_t u = 0; u < count; ++u) {
                    Seg &s = segs[members[order[u]]];
                    s.offset =
                        centre + (double(track[u]) - double(tracks - 1) / 2) * step - s.coord;
                }
                continue;
            }
            std::vector<std::pair<double, double>> bands(count);
            for (size_t u = 0; u < count; ++u)
                bands[u] = band(members[order[u]]);
            double middle = centre;
            for (int attempt = 0; attempt < 6; ++attempt) {
                double low = -std::numeric_limits<double>::infinity();
                double high = std::numeric_limits<double>::infinity();
                for (size_t u = 0; u < count; ++u) {
                    const double rank = double(track[u]) - double(tracks - 1) / 2;
                    low = std::max(low, bands[u].first - rank * step);
                    high = std::min(high, bands[u].second - rank * step);
                }
                if (low <= high) {
                    middle = std::clamp(centre, low, high);
                    break;
                }
                step *= 0.6;
            }
            for (size_t u = 0; u < count; ++u) {
                Seg &s = segs[members[order[u]]];
                const double want = middle + (double(track[u]) - double(tracks - 1) / 2) * step;
                s.offset = std::clamp(want, bands[u].first, bands[u].second) - s.coord;
            }
        }
    };
    spread(horizontal, true);
    spread(vertical, false);
    for (const std::vector<Seg> *segs : {&horizontal, &vertical}) {
        for (const Seg &s : *segs) {
            Connector &c = m_connectors.at(s.id);
            if (c.offsets.empty())
                c.offsets.assign(size_t(c.raw.size() - 1), 0.0);
            c.offsets[size_t(s.index)] = s.offset;
        }
    }
    spreadEnds(touched);
    QList<VRRouteId> changed;
    for (VRRouteId id : touched) {
        Connector &c = m_connectors.at(id);
        QList<QPointF> p = c.raw;
        bool moved = false;
        for (size_t k = 0; k < c.offsets.size(); ++k) {
            const double offset = c.offsets[k];
            if (offset == 0)
                continue;
            moved = true;
            QPointF &a = p[qsizetype(k)], &b = p[qsizetype(k) + 1];
            if (std::abs(c.raw[qsizetype(k)].y() - c.raw[qsizetype(k) + 1].y()) < kEps) {
                a.ry() += offset;
                b.ry() += offset;
            } else {
                a.rx() += offset;
                b.rx() += offset;
            }
        }
        // An end spread across its side also starts as far out from the middle as it was
        // moved across, so the ends of one shape lie apart and their segments inside it never
        // cross.
        if (!c.offsets.empty()) {
            const auto inset = [](QPointF &end, const QPointF &next, double by) {
                const QPointF d = next - end;
                const double length = std::abs(d.x()) + std::abs(d.y());
                if (by != 0 && length > 1)
                    end += d * (std::min(std::abs(by), length - 1) / length);
            };
            inset(p.first(), p[1], c.offsets.front());
            if (p.size() > 2)
                inset(p.last(), p[p.size() - 2], c.offsets.back());
        }
        // Segments of neighbouring lines nudged onto one line leave empty steps behind.
        QList<QPointF> result = moved ? simplified(p) : c.raw;
        if (result != c.path) {
            c.path = std::move(result);
            changed.push_back(id);
        }
    }
    std::sort(changed.begin(), changed.end());
    return changed;
}

void VRConnectorRouter::spreadEnds(std::unordered_set<VRRouteId> &touched)
{
    // The shapes of the connectors whose routes may have moved, and of those that came or went.
    for (VRRouteId id : touched) {
        const Connector &c = m_connectors.at(id);
        for (const VRRouteId shape : {c.request.start.shape, c.request.end.shape})
            if (shape >= 0)
                m_spreadShapes.insert(shape);
    }
    struct End {
        VRRouteId id;
        int leg;      // the index of its segment inside the shape
        int turn;     // where the route goes past that segment: -1 lower, +1 higher, 0 nowhere
        double reach; // how far from the end it turns
        double room;  // how far across the segment may move before it passes its next turn
    };
    const double spacing = 2 * m_parameters.nudgeDistance;
    std::vector<VRRouteId> shapes(m_spreadShapes.begin(), m_spreadShapes.end());
    m_spreadShapes.clear();
    std::sort(shapes.begin(), shapes.end());
    for (const VRRouteId shape : shapes) {
        const auto obstacle = m_obstacles.find(shape);
        const auto ids = m_endsAtShape.find(shape);
        if (obstacle == m_obstacles.end() || ids == m_endsAtShape.end())
            continue;
        const QRectF &rect = obstacle->second.rect;
        // By side: 0 right, 1 left, 2 bottom, 3 top (the way the end leaves).
        std::array<std::vector<End>, 4> sides;
        std::vector<VRRouteId> members = ids->second;
        std::sort(members.begin(), members.end());
        members.erase(std::unique(members.begin(), members.end()), members.end());
        for (const VRRouteId id : members) {
            Connector &c = m_connectors.at(id);
            const QList<QPointF> &raw = c.raw;
            if (c.request.kind != VRRouteKind::Orthogonal || !c.routed || raw.size() < 2)
                continue;
            for (int which = 0; which < 2; ++which) {
                const VRRouteEnd &end = which == 0 ? c.request.start : c.request.end;
                if (end.shape != shape || end.side != VRRouteSide::Any
                    || !strictlyInside(rect, end.point.x(), end.point.y()))
                    continue;
                const int n = int(raw.size());
                const int leg = which == 0 ? 0 : n - 2;
                const QPointF spot = raw[which == 0 ? 0 : n - 1];
                const QPointF far = raw[which == 0 ? 1 : n - 2];
                if (spot != end.point)
                    continue;
                const bool horizontal = std::abs(spot.y() - far.y()) < kEps;
                const double out = horizontal ? far.x() - spot.x() : far.y() - spot.y();
                if (std::abs(out) < kEps)
                    continue;
                const int side = (horizontal ? 0 : 2) + (out > 0 ? 0 : 1);
                if (c.offsets.empty())
                    c.offsets.assign(size_t(n - 1), 0.0);
                c.offsets[size_t(leg)] = 0;
                touched.insert(id);
                End e{id, leg, 0, std::abs(out), 0};
                if (n > 2) {
                    const int next = which == 0 ? 1 : n - 3;
                    const QPointF beyond = raw[which == 0 ? 2 : n - 3];
                    const double turn = horizontal ? beyond.y() - far.y() : beyond.x() - far.x();
                    e.turn = turn < 0 ? -1 : 1;
                    // Nudging moves the next segment along this one, and the one after it
                    // across (an end's segment of another shape is left out: that shape may
                    // not be spread yet).
                    const bool nextInner = n > 3;
                    const int after = which == 0 ? next + 1 : next - 1;
                    e.reach = std::abs(out + (nextInner ? c.offsets[size_t(next)] : 0.0));
                    e.room = std::abs(turn);
                    if (after > 0 && after < n - 2)
                        e.room = std::abs(turn + c.offsets[size_t(after)]);
                }
                sides[size_t(side)].push_back(e);
            }
        }
        for (int side = 0; side < 4; ++side) {
            std::vector<End> &ends = sides[size_t(side)];
            if (ends.size() < 2)
                continue;
            // Lower first: those turning lower, the soonest first; the straight ones; those
            // turning higher, the soonest last.
            std::sort(ends.begin(), ends.end(), [](const End &a, const End &b) {
                if (a.turn != b.turn)
                    return a.turn < b.turn;
                if (std::abs(a.reach - b.reach) > kEps)
                    return a.turn < 0 ? a.reach < b.reach : a.reach > b.reach;
                return a.id != b.id ? a.id < b.id : a.leg < b.leg;
            });
            const auto lows =
                std::count_if(ends.begin(), ends.end(), [](const End &e) { return e.turn < 0; });
            const auto straights =
                std::count_if(ends.begin(), ends.end(), [](const End &e) { return e.turn == 0; });
            std::vector<double> rank(ends.size());
            for (size_t k = 0; k < ends.size(); ++k) {
                if (straights == 0)
                    rank[k] = double(k) - double(ends.size() - 1) / 2;
                else if (ends[k].turn < 0)
                    rank[k] = double(qsizetype(k) - lows);
                else if (ends[k].turn == 0)
                    rank[k] = 0;
                else
                    rank[k] = double(qsizetype(k) - lows - straights + 1);
            }
            double widest = 0;
            for (double r : rank)
                widest = std::max(widest, std::abs(r));
            const double half = (side < 2 ? rect.height() : rect.width()) / 2;
            const double limit = half * 0.8;
            // Where each end may lie: within the side, never past the place where its route
            // turns next, and a straight route in the middle. The straight ones share one place.
            struct Place {
                double rank, low, high;
            };
            std::vector<Place> places;
            std::vector<size_t> placeOf(ends.size());
            for (size_t k = 0; k < ends.size(); ++k) {
                const End &e = ends[k];
                if (e.turn == 0 && k > 0 && ends[k - 1].turn == 0) {
                    placeOf[k] = places.size() - 1;
                    continue;
                }
                Place place{rank[k], -limit, limit};
                const double room = std::min(limit, std::max(0.0, e.room - 1));
                if (e.turn == 0)
                    place.low = place.high = 0;
                else if (e.turn < 0)
                    place.low = -room;
                else
                    place.high = room;
                placeOf[k] = places.size();
                places.push_back(place);
            }
            // The ends keep their order at least a gap apart, each as near its rank's place as
            // its room allows: one that cannot move far pushes its neighbours aside rather than
            // lying on one of them. Where they do not fit, the gap closes up.
            const size_t count = places.size();
            std::vector<double> at(count, 0.0), lowest(count), highest(count);
            bool fits = false;
            for (double gap = std::min(spacing, limit / std::max(widest, 1.0)); gap >= 1;
                 gap *= 0.5) {
                for (size_t k = 0; k < count; ++k)
                    lowest[k] = std::max(places[k].low, k ? lowest[k - 1] + gap : -limit);
                for (size_t k = count; k-- > 0;)
                    highest[k] =
                        std::min(places[k].high, k + 1 < count ? highest[k + 1] - gap : limit);
                fits = true;
                for (size_t k = 0; k < count && fits; ++k)
                    fits = lowest[k] <= highest[k] + kEps;
                if (!fits)
                    continue;
                for (size_t k = 0; k < count; ++k)
                    at[k] = std::clamp(places[k].rank * gap, lowest[k], highest[k]);
                break;
            }
            if (!fits) {
                const double gap = std::min(spacing, limit / std::max(widest, 1.0));
                for (size_t k = 0; k < count; ++k)
                    at[k] = std::clamp(places[k].rank * gap, places[k].low, places[k].high);
            }
            for (size_t k = 0; k < ends.size(); ++k)
                m_connectors.at(ends[k].id).offsets[size_t(ends[k].leg)] = at[placeOf[k]];
        }
    }
}
