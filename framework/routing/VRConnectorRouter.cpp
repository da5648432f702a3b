#include "framework/routing/VRConnectorRouter.h"

#include "framework/routing/VRRouteSpatialIndex.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
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
constexpr int kNoDir = 4;
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
        const QRectF seg = QRectF(a, b).normalized();
        if (seg.right() < area.left() || seg.left() > area.right() || seg.bottom() < area.top()
            || seg.top() > area.bottom())
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

std::vector<double> withExtra(const std::vector<double> &base, std::initializer_list<double> extra)
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

// Open-addressing table from search state to its best cost and parent, reused between searches.
class StateTable
{
public:
    struct Slot {
        quint64 key;
        double g;
        quint64 parent;
        quint32 stamp;
    };

    void reset()
    {
        // A rare huge search must not leave a table that makes every later small one miss
        // the cache.
        if (m_slots.empty() || m_slots.size() > (1u << 16)) {
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
                s = {key, std::numeric_limits<double>::infinity(), 0, m_stamp};
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
    m_parameters = p;
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

void VRConnectorRouter::setConnector(VRRouteId id, const VRRouteRequest &request)
{
    auto it = m_connectors.find(id);
    if (it != m_connectors.end() && it->second.request == request && !it->second.raw.isEmpty())
        return;
    Connector &c = m_connectors[id];
    c.request = request;
    c.dirty = true;
    m_anyDirty = true;
}

void VRConnectorRouter::removeConnector(VRRouteId id)
{
    if (m_connectors.erase(id))
        m_anyDirty = true; // the remaining routes may nudge differently
}

bool VRConnectorRouter::hasConnector(VRRouteId id) const
{
    return m_connectors.count(id) != 0;
}

bool VRConnectorRouter::hasPendingChanges() const
{
    return m_allDirty || m_anyDirty || !m_changedAreas.empty();
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
        if (c.dirty || c.raw.isEmpty())
            continue;
        if (pathTouches(c.raw, area)) {
            c.dirty = true;
            m_anyDirty = true;
        }
    }
}

QList<VRRouteId> VRConnectorRouter::update()
{
    if (m_allDirty) {
        for (auto &[id, c] : m_connectors)
            c.dirty = true;
        m_allDirty = false;
        m_anyDirty = true;
    }
    for (const QRectF &area : m_changedAreas)
        markAffectedBy(area);
    m_changedAreas.clear();
    if (!m_anyDirty)
        return {};
    prepare();
    for (auto &[id, c] : m_connectors) {
        if (!c.dirty)
            continue;
        bool found = false;
        c.raw = c.request.kind == VRRouteKind::Orthogonal ? routeOrthogonal(c.request, &found)
                                                          : routePolyline(c.request, &found);
        c.routed = found;
        c.dirty = false;
    }
    m_anyDirty = false;
    return nudgeAll();
}

QList<VRRouteId> VRConnectorRouter::routeAll()
{
    m_allDirty = true;
    return update();
}

QList<QPointF> VRConnectorRouter::routeOnce(const VRRouteRequest &request, bool *found)
{
    prepare();
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
        return {Port{end.point, end.point, kNoDir}};
    const QRectF &rect = it->second.rect;
    // An end inside its shape (its centre, say) has no nearest side that means anything: it
    // leaves through a side that faces the other end, so the route never crosses its own shape.
    // Both facing sides are candidates; the likelier one comes first.
    if (end.side == VRRouteSide::Any && rect.adjusted(kEps, kEps, -kEps, -kEps).contains(end.point)
        && !rect.contains(toward)) {
        const VRRouteSide first = resolvedSide(rect, toward, VRRouteSide::Any);
        const VRRouteSide across =
            toward.x() < rect.center().x() ? VRRouteSide::Left : VRRouteSide::Right;
        const VRRouteSide upDown =
            toward.y() < rect.center().y() ? VRRouteSide::Top : VRRouteSide::Bottom;
        const VRRouteSide second = first == across ? upDown : across;
        return {portOnSide(end, first), portOnSide(end, second)};
    }
    return {portOnSide(end, resolvedSide(rect, end.point, end.side))};
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
    const std::vector<Port> starts = candidatePorts(request.start, request.end.point);
    const std::vector<Port> ends = candidatePorts(request.end, request.start.point);
    if (starts.size() == 1 && ends.size() == 1)
        return routeBetween(starts.front(), ends.front(), found);
    // Where the router picks the sides, the route of least cost wins: length plus a penalty for
    // every bend, as the search itself weighs them.
    QList<QPointF> best;
    double bestCost = std::numeric_limits<double>::infinity();
    *found = false;
    for (const Port &from : starts) {
        for (const Port &to : ends) {
            bool ok = false;
            QList<QPointF> path = routeBetween(from, to, &ok);
            if (!ok) {
                if (best.isEmpty())
                    best = path;
                continue;
            }
            double cost =
                m_parameters.segmentPenalty * double(std::max<qsizetype>(0, path.size() - 2));
            for (qsizetype k = 1; k < path.size(); ++k)
                cost += std::abs(path[k].x() - path[k - 1].x())
                        + std::abs(path[k].y() - path[k - 1].y());
            if (!*found || cost < bestCost) {
                bestCost = cost;
                best = std::move(path);
                *found = true;
            }
        }
    }
    return best;
}

QList<QPointF> VRConnectorRouter::routeBetween(const Port &from, const Port &to, bool *found)
{
    const std::vector<VRRouteId> ignored = ignoredAt({from.exit, to.exit, from.spot, to.spot});
    // Search a window around the ends first: the grid then holds only the lines of nearby shapes.
    // The window grows when it holds no route; the last try uses the whole drawing.
    const QRectF span = QRectF(from.exit, to.exit).normalized();
    double margin = std::max(60.0, std::max(span.width(), span.height()) / 6);
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
        if (orthogonalSearch(from, to, ignored, withExtra(xs, {from.exit.x(), to.exit.x()}),
                             withExtra(ys, {from.exit.y(), to.exit.y()}), &out)) {
            *found = true;
            return out;
        }
    }
    std::vector<double> xs = m_xs, ys = m_ys;
    for (const QPointF &p : {from.exit, to.exit}) {
        xs.push_back(p.x() - 1e5); // room to go around everything
        xs.push_back(p.x() + 1e5);
        ys.push_back(p.y() - 1e5);
        ys.push_back(p.y() + 1e5);
    }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    if (orthogonalSearch(from, to, ignored, withExtra(xs, {from.exit.x(), to.exit.x()}),
                         withExtra(ys, {from.exit.y(), to.exit.y()}), &out, kWideGreed)) {
        *found = true;
        return out;
    }
    *found = false;
    qCDebug(lcRouter) << "no orthogonal route from" << from.spot << "to" << to.spot;
    return {from.spot, to.spot};
}

bool VRConnectorRouter::orthogonalSearch(const Port &from, const Port &to,
                                         const std::vector<VRRouteId> &ignored,
                                         const std::vector<double> &xs,
                                         const std::vector<double> &ys, QList<QPointF> *out,
                                         double greed)
{
    const quint64 ny = ys.size();
    const auto indexOf = [](const std::vector<double> &v, double value) {
        return quint64(std::lower_bound(v.begin(), v.end(), value) - v.begin());
    };
    const quint64 si = indexOf(xs, from.exit.x()), sj = indexOf(ys, from.exit.y());
    const quint64 gi = indexOf(xs, to.exit.x()), gj = indexOf(ys, to.exit.y());
    const double gx = to.exit.x(), gy = to.exit.y();
    const int inDir = opposite(to.outDir); // direction that continues straight into the end
    const double penalty = m_parameters.segmentPenalty;
    const auto stateOf = [ny](quint64 i, quint64 j, int dir) {
        return ((i * ny + j) << 3) | quint64(dir);
    };
    const auto heuristic = [&](double x, double y, int dir) {
        return greed
               * (std::abs(gx - x) + std::abs(gy - y) + penalty * minBends(gx - x, gy - y, dir));
    };
    constexpr quint64 kGoal = ~quint64(0);

    StateTable &table = stateTable();
    table.reset();
    std::priority_queue<QueueItem> open;
    const quint64 start = stateOf(si, sj, from.outDir);
    bool inserted = false;
    table.at(start, &inserted).g = 0;
    open.push({heuristic(from.exit.x(), from.exit.y(), from.outDir), 0, start});
    double bestGoal = std::numeric_limits<double>::infinity();
    quint64 bestGoalParent = 0;
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
        if (i == gi && j == gj) {
            // Arriving while moving away from the end's shape would double back over itself.
            if (to.outDir != kNoDir && dir == to.outDir)
                continue;
            const double cost = item.g + ((to.outDir != kNoDir && dir != inDir) ? penalty : 0.0);
            if (cost < bestGoal) {
                bestGoal = cost;
                bestGoalParent = item.state;
                open.push({cost, cost, kGoal});
            }
            continue;
        }
        for (int nd = 0; nd < 4; ++nd) {
            if (dir != kNoDir && nd == opposite(dir))
                continue; // no U-turn on the spot
            const qint64 ni = qint64(i) + kDi[nd], nj = qint64(j) + kDj[nd];
            if (ni < 0 || nj < 0 || ni >= qint64(xs.size()) || nj >= qint64(ny))
                continue;
            const double x0 = xs[i], y0 = ys[j], x1 = xs[ni], y1 = ys[nj];
            if (blockedAt((x0 + x1) / 2, (y0 + y1) / 2, ignored))
                continue;
            const double g = item.g + std::abs(x1 - x0) + std::abs(y1 - y0)
                             + ((dir != kNoDir && dir != nd) ? penalty : 0.0);
            const quint64 ns = stateOf(quint64(ni), quint64(nj), nd);
            StateTable::Slot &s = table.at(ns, &inserted);
            if (g >= s.g)
                continue;
            s.g = g;
            s.parent = item.state;
            open.push({g + heuristic(x1, y1, nd), g, ns});
        }
    }
    m_expansions += expansions;
    if (!reached)
        return false;
    QList<QPointF> points;
    points.push_back(to.spot);
    quint64 s = bestGoalParent;
    while (true) {
        const quint64 node = s >> 3;
        points.push_back(QPointF(xs[node / ny], ys[node % ny]));
        if (s == start)
            break;
        const StateTable::Slot *slot = table.find(s);
        if (!slot)
            break;
        s = slot->parent;
    }
    points.push_back(from.spot);
    std::reverse(points.begin(), points.end());
    *out = simplified(points);
    return true;
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

QList<VRRouteId> VRConnectorRouter::nudgeAll()
{
    struct Seg {
        VRRouteId id;
        int index; // segment k runs from point k to point k + 1
        double coord;
        double lo, hi;
        double key;
    };
    std::vector<Seg> horizontal, vertical;
    std::unordered_map<VRRouteId, QList<QPointF>> nudged;
    if (m_parameters.nudgeOrthogonalSegments) {
        for (auto &[id, c] : m_connectors) {
            if (c.request.kind != VRRouteKind::Orthogonal || c.raw.size() < 4)
                continue;
            const QList<QPointF> &p = c.raw;
            for (int k = 1; k + 2 < int(p.size()); ++k) {
                const QPointF &a = p[k], &b = p[k + 1];
                if (std::abs(a.y() - b.y()) < kEps) {
                    const double key = (p[k - 1].y() + p[k + 2].y()) / 2 - a.y();
                    horizontal.push_back(
                        {id, k, a.y(), std::min(a.x(), b.x()), std::max(a.x(), b.x()), key});
                } else if (std::abs(a.x() - b.x()) < kEps) {
                    const double key = (p[k - 1].x() + p[k + 2].x()) / 2 - a.x();
                    vertical.push_back(
                        {id, k, a.x(), std::min(a.y(), b.y()), std::max(a.y(), b.y()), key});
                }
            }
        }
    }
    const double spacing = m_parameters.nudgeDistance;
    const double maxOffset = m_parameters.bufferDistance * 0.9;
    const auto spread = [&](std::vector<Seg> &segs, bool horiz) {
        std::sort(segs.begin(), segs.end(), [](const Seg &a, const Seg &b) {
            return a.coord != b.coord ? a.coord < b.coord : a.lo < b.lo;
        });
        size_t k = 0;
        while (k < segs.size()) {
            // One channel: segments on the same line whose spans overlap (transitively).
            size_t e = k + 1;
            double hi = segs[k].hi;
            while (e < segs.size() && segs[e].coord == segs[k].coord && segs[e].lo < hi - kEps) {
                hi = std::max(hi, segs[e].hi);
                ++e;
            }
            const size_t count = e - k;
            if (count > 1) {
                std::sort(segs.begin() + k, segs.begin() + e, [](const Seg &a, const Seg &b) {
                    return a.key != b.key ? a.key < b.key : a.id < b.id;
                });
                double step = spacing;
                if ((count - 1) * step / 2 > maxOffset)
                    step = 2 * maxOffset / double(count - 1);
                for (size_t m = k; m < e; ++m) {
                    const double offset = (double(m - k) - double(count - 1) / 2) * step;
                    const Seg &s = segs[m];
                    auto it = nudged.find(s.id);
                    if (it == nudged.end())
                        it = nudged.emplace(s.id, m_connectors[s.id].raw).first;
                    QPointF &a = it->second[s.index];
                    QPointF &b = it->second[s.index + 1];
                    if (horiz) {
                        a.ry() += offset;
                        b.ry() += offset;
                    } else {
                        a.rx() += offset;
                        b.rx() += offset;
                    }
                }
            }
            k = e;
        }
    };
    spread(horizontal, true);
    spread(vertical, false);
    QList<VRRouteId> changed;
    for (auto &[id, c] : m_connectors) {
        auto it = nudged.find(id);
        const QList<QPointF> &result = it == nudged.end() ? c.raw : it->second;
        if (result != c.path) {
            c.path = result;
            changed.push_back(id);
        }
    }
    std::sort(changed.begin(), changed.end());
    return changed;
}
