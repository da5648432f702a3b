// Connector routing speed on a generated diagram: a grid of shapes with jittered positions and
// sizes, joined by connectors between nearby shapes (and a few long ones across the drawing).
// The grid benchmarks route a fixed family of seeded diagrams at growing sizes and report how
// good the routes are: length, bends, crossings, overlapping parallel segments of unrelated
// connectors (their share of the length and how many pairs), arrowheads on one point and
// segments through shapes, per connector.
#include "framework/routing/VRAvoidRouter.h"
#include "framework/routing/VRConnectorRouter.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntStickySpot.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <limits>
#include <queue>
#include <ctime>
#include <cmath>
#include <vector>

namespace {

struct Corpus {
    QList<QRectF> shapes;
    QList<VRRouteRequest> connectors;
};

bool smoke()
{
    return qEnvironmentVariableIsSet("QNT_BENCH_SMOKE");
}

QPointF spotOn(const QRectF &r, VRRouteSide side)
{
    switch (side) {
    case VRRouteSide::Left: return {r.left(), r.center().y()};
    case VRRouteSide::Right: return {r.right(), r.center().y()};
    case VRRouteSide::Top: return {r.center().x(), r.top()};
    default: return {r.center().x(), r.bottom()};
    }
}

VRRouteSide facing(const QRectF &from, const QRectF &to)
{
    const QPointF d = to.center() - from.center();
    if (std::abs(d.x()) >= std::abs(d.y()))
        return d.x() > 0 ? VRRouteSide::Right : VRRouteSide::Left;
    return d.y() > 0 ? VRRouteSide::Bottom : VRRouteSide::Top;
}

Corpus makeCorpus(int shapeCount, int connectorCount, VRRouteKind kind, quint32 seed = 42)
{
    QRandomGenerator rng(seed);
    Corpus c;
    const int cols = int(std::ceil(std::sqrt(shapeCount * 1.25)));
    for (int k = 0; k < shapeCount; ++k) {
        const int col = k % cols, row = k / cols;
        const double w = 60 + rng.bounded(60), h = 36 + rng.bounded(30);
        const double x = col * 180 + rng.bounded(40), y = row * 140 + rng.bounded(40);
        c.shapes.push_back(QRectF(x, y, w, h));
    }
    for (int k = 0; k < connectorCount; ++k) {
        const int a = rng.bounded(shapeCount);
        int b;
        if (k % 20 == 0) {
            b = rng.bounded(shapeCount); // an occasional long connector
        } else {
            const int dc = rng.bounded(7) - 3, dr = rng.bounded(7) - 3;
            b = std::clamp(a + dr * cols + dc, 0, shapeCount - 1);
        }
        if (b == a)
            b = (a + 1) % shapeCount;
        const QRectF ra = c.shapes[a], rb = c.shapes[b];
        const VRRouteSide sa = facing(ra, rb), sb = facing(rb, ra);
        c.connectors.push_back({kind, {spotOn(ra, sa), a, sa}, {spotOn(rb, sb), b, sb}});
    }
    return c;
}

void load(VRConnectorRouter &router, const Corpus &c)
{
    for (int k = 0; k < c.shapes.size(); ++k)
        router.setObstacle(k, c.shapes[k]);
    for (int k = 0; k < c.connectors.size(); ++k)
        router.setConnector(k, c.connectors[k]);
}

int shapes()
{
    return smoke() ? 50 : 500;
}
int connectors()
{
    return smoke() ? 100 : 1000;
}

// N shapes of 120 x 60 on a grid of pitch 200 x 150, each moved by a random offset of up to
// 40 x 30; M connectors from a random shape to one within 3 grid cells in each direction, both
// ends at the shapes' centres with no side given (the router picks it).
Corpus makeGridCorpus(int shapeCount, int connectorCount, quint32 seed = 2026)
{
    QRandomGenerator rng(seed);
    Corpus c;
    const int cols = int(std::ceil(std::sqrt(double(shapeCount))));
    const int rows = (shapeCount + cols - 1) / cols;
    for (int k = 0; k < shapeCount; ++k) {
        const double x = (k % cols) * 200.0 + rng.bounded(40.0);
        const double y = (k / cols) * 150.0 + rng.bounded(30.0);
        c.shapes.push_back(QRectF(x, y, 120, 60));
    }
    while (c.connectors.size() < connectorCount) {
        const int a = int(rng.bounded(shapeCount));
        const int col = a % cols + int(rng.bounded(7)) - 3;
        const int row = a / cols + int(rng.bounded(7)) - 3;
        const int b = row * cols + col;
        if (col < 0 || col >= cols || row < 0 || row >= rows || b >= shapeCount || b == a)
            continue;
        const VRRouteEnd start{c.shapes[a].center(), a, VRRouteSide::Any};
        const VRRouteEnd end{c.shapes[b].center(), b, VRRouteSide::Any};
        c.connectors.push_back({VRRouteKind::Orthogonal, start, end});
    }
    return c;
}

// Quality of a set of routes, summed over all connectors.
struct RouteQuality {
    double length = 0;
    double bends = 0;
    double crossings = 0;        // pairs of segments of different connectors that cross
    double overlap = 0;          // length shared by parallel segments of unrelated connectors
    double overlaps = 0;         // pairs of such segments (runs of unrelated connectors together)
    double sharedEnds = 0;       // pairs of route ends on one point arriving from one way, of
                                 // connectors that do not join the same two shapes (their
                                 // arrowheads would lie on each other)
    double throughShapes = 0;    // segments that pass through the inside of a shape
    double throughOwnShapes = 0; // ... of which through the shape of one of its own ends
};

struct Segment {
    int connector;
    bool horizontal;
    double at;       // y of a horizontal segment, x of a vertical one
    double from, to; // extent along the segment, from < to
};

RouteQuality measure(const Corpus &corpus, const QList<QList<QPointF>> &routes)
{
    RouteQuality q;
    std::vector<Segment> segments;
    for (int c = 0; c < routes.size(); ++c) {
        const QList<QPointF> &r = routes[c];
        q.bends += std::max<qsizetype>(0, r.size() - 2);
        for (int k = 1; k < r.size(); ++k) {
            const QPointF a = r[k - 1], b = r[k];
            q.length += std::hypot(b.x() - a.x(), b.y() - a.y());
            const bool horizontal = std::abs(a.y() - b.y()) < 1e-6;
            if (horizontal)
                segments.push_back(
                    {c, true, a.y(), std::min(a.x(), b.x()), std::max(a.x(), b.x())});
            else
                segments.push_back(
                    {c, false, a.x(), std::min(a.y(), b.y()), std::max(a.y(), b.y())});
            // A segment through a shape other than the end shapes it starts or ends in.
            const QRectF seg = QRectF(a, b).normalized();
            for (int s = 0; s < corpus.shapes.size(); ++s) {
                const VRRouteRequest &req = corpus.connectors[c];
                if ((k == 1 && s == req.start.shape) || (k == r.size() - 1 && s == req.end.shape))
                    continue;
                const QRectF inside = corpus.shapes[s].adjusted(1, 1, -1, -1);
                if (seg.left() < inside.right() && seg.right() > inside.left()
                    && seg.top() < inside.bottom() && seg.bottom() > inside.top()) {
                    q.throughShapes += 1;
                    if (s == req.start.shape || s == req.end.shape)
                        q.throughOwnShapes += 1;
                    break;
                }
            }
        }
    }
    auto related = [&](int a, int b) {
        const VRRouteRequest &x = corpus.connectors[a], &y = corpus.connectors[b];
        return x.start.shape == y.start.shape || x.start.shape == y.end.shape
               || x.end.shape == y.start.shape || x.end.shape == y.end.shape;
    };
    for (size_t i = 0; i < segments.size(); ++i) {
        const Segment &s = segments[i];
        for (size_t j = i + 1; j < segments.size(); ++j) {
            const Segment &t = segments[j];
            if (s.connector == t.connector)
                continue;
            if (s.horizontal != t.horizontal) {
                if (t.at > s.from + 1e-6 && t.at < s.to - 1e-6 && s.at > t.from + 1e-6
                    && s.at < t.to - 1e-6)
                    q.crossings += 1;
            } else if (std::abs(s.at - t.at) < 0.5 && !related(s.connector, t.connector)) {
                const double shared = std::min(s.to, t.to) - std::max(s.from, t.from);
                if (shared > 1e-6) {
                    q.overlap += shared;
                    q.overlaps += 1;
                }
            }
        }
    }
    auto sameShapes = [&](int a, int b) {
        const VRRouteRequest &x = corpus.connectors[a], &y = corpus.connectors[b];
        return (x.start.shape == y.start.shape && x.end.shape == y.end.shape)
               || (x.start.shape == y.end.shape && x.end.shape == y.start.shape);
    };
    // Ends on one point arriving from one direction: their arrowheads lie on each other.
    struct End {
        QPointF at;
        int connector;
        int direction;
    };
    auto direction = [](const QPointF &end, const QPointF &before) {
        const QPointF d = end - before;
        return std::abs(d.x()) >= std::abs(d.y()) ? (d.x() > 0 ? 0 : 1) : (d.y() > 0 ? 2 : 3);
    };
    std::vector<End> ends;
    for (int c = 0; c < routes.size(); ++c) {
        if (routes[c].size() < 2)
            continue;
        const QList<QPointF> &r = routes[c];
        ends.push_back({r.front(), c, direction(r.front(), r[1])});
        ends.push_back({r.back(), c, direction(r.back(), r[r.size() - 2])});
    }
    std::sort(ends.begin(), ends.end(), [](const End &a, const End &b) {
        return a.at.x() != b.at.x() ? a.at.x() < b.at.x() : a.at.y() < b.at.y();
    });
    for (size_t i = 0; i < ends.size(); ++i)
        for (size_t j = i + 1; j < ends.size() && ends[j].at.x() - ends[i].at.x() < 0.5; ++j)
            if (std::abs(ends[j].at.y() - ends[i].at.y()) < 0.5
                && ends[i].connector != ends[j].connector && ends[i].direction == ends[j].direction
                && !sameShapes(ends[i].connector, ends[j].connector))
                q.sharedEnds += 1;
    return q;
}

void reportQuality(benchmark::State &state, const Corpus &corpus, const RouteQuality &q)
{
    const double n = std::max<qsizetype>(1, corpus.connectors.size());
    state.counters["shapes"] = corpus.shapes.size();
    state.counters["connectors"] = corpus.connectors.size();
    state.counters["length"] = q.length / n;
    state.counters["bends"] = q.bends / n;
    state.counters["crossings"] = q.crossings / n;
    state.counters["overlapPercent"] = 100.0 * q.overlap / std::max(q.length, 1.0);
    state.counters["overlaps"] = q.overlaps;
    state.counters["arrowheadsOnOnePoint"] = q.sharedEnds;
    state.counters["throughShapes"] = q.throughShapes;
    state.counters["throughOwnShapes"] = q.throughOwnShapes;
}

QList<QList<QPointF>> routesOf(const VRConnectorRouter &router, const Corpus &corpus)
{
    QList<QList<QPointF>> routes;
    for (int k = 0; k < corpus.connectors.size(); ++k)
        routes.push_back(router.route(k));
    return routes;
}

// The first route of the whole diagram: one iteration loads every shape and connector into a new
// router and routes them all.
void BM_FullRoute(benchmark::State &state, VRRouteKind kind)
{
    const Corpus corpus = makeCorpus(shapes(), connectors(), kind);
    qint64 unrouted = 0;
    qint64 expansions = 0;
    QList<QList<QPointF>> routes;
    for (auto _ : state) {
        VRConnectorRouter router;
        load(router, corpus);
        benchmark::DoNotOptimize(router.update());
        state.PauseTiming();
        routes = routesOf(router, corpus);
        expansions = router.searchExpansions();
        unrouted = 0;
        for (int k = 0; k < corpus.connectors.size(); ++k)
            unrouted += router.wasRouted(k) ? 0 : 1;
        state.ResumeTiming();
    }
    if (kind == VRRouteKind::Orthogonal)
        reportQuality(state, corpus, measure(corpus, routes));
    state.counters["unrouted"] = double(unrouted);
    state.counters["expansionsPerConnector"] =
        double(expansions) / std::max<qsizetype>(1, corpus.connectors.size());
}

// Drags one shape a few points at a time. One iteration is one drag step: it updates the shape's
// rectangle and the ends of its connectors, then re-routes (attached connectors and routes the
// shape now crosses or freed).
void BM_RerouteMovedShape(benchmark::State &state, VRRouteKind kind)
{
    Corpus corpus = makeCorpus(shapes(), connectors(), kind);
    VRConnectorRouter router;
    load(router, corpus);
    router.update();
    const int moved = corpus.shapes.size() / 2 + 3;
    QList<int> attached;
    for (int k = 0; k < corpus.connectors.size(); ++k)
        if (corpus.connectors[k].start.shape == moved || corpus.connectors[k].end.shape == moved)
            attached.push_back(k);
    int step = 0;
    qint64 rerouted = 0, updates = 0;
    for (auto _ : state) {
        const double dx = (step++ % 20) < 10 ? 6 : -6;
        QRectF &r = corpus.shapes[moved];
        r.translate(dx, dx / 2);
        router.setObstacle(moved, r);
        for (int k : std::as_const(attached)) {
            VRRouteRequest &req = corpus.connectors[k];
            if (req.start.shape == moved)
                req.start.point = spotOn(r, req.start.side);
            if (req.end.shape == moved)
                req.end.point = spotOn(r, req.end.side);
            router.setConnector(k, req);
        }
        rerouted += router.update().size();
        ++updates;
    }
    state.counters["attached"] = attached.size();
    state.counters["changedPerMove"] = double(rerouted) / std::max<qint64>(updates, 1);
}

// The same corpus as elements and connectors of a drawing: adding everything and routing it,
// then dragging one element (its connectors follow and re-route through the drawing's router).
struct ModelScene {
    std::unique_ptr<VRDrawing> drawing = std::make_unique<VRDrawing>();
    QList<std::shared_ptr<QntElement>> elements;
    QList<std::shared_ptr<QntConnector>> connectors;

    explicit ModelScene(const Corpus &corpus)
    {
        drawing->undoManager()->disableUndoRegistration();
        drawing->setDrawingSize(QSizeF(6000, 6000));
        auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
        VRObjectList all;
        for (const QRectF &r : corpus.shapes) {
            auto contour = VRDrawableShape::shapeWithRect(r, VRDrawableShape::unitRectAtOrigin());
            contour->setID(QStringLiteral("contour"));
            auto e = QntElement::createWithObjects({contour}, QStringLiteral("e"), r.size());
            elements.push_back(e);
            all.push_back(e);
        }
        layer->addObjectsFromArray(all);
        VRObjectList lines;
        for (const VRRouteRequest &req : corpus.connectors) {
            auto c = std::make_shared<QntConnector>();
            c->setEnds(req.start.point, req.end.point);
            lines.push_back(c);
            connectors.push_back(c);
        }
        layer->addObjectsFromArray(lines);
        for (int k = 0; k < corpus.connectors.size(); ++k) {
            const VRRouteRequest &req = corpus.connectors[k];
            auto &c = connectors[k];
            auto a = elements[int(req.start.shape)], b = elements[int(req.end.shape)];
            c->startEndPoint()->attach(a, a->nearestStickySpot(req.start.point)->index());
            c->endEndPoint()->attach(b, b->nearestStickySpot(req.end.point)->index());
            c->setRouting(3);
        }
    }
};

// One iteration makes the drawing of elements and connectors and routes it all.
void BM_ModelFullRoute(benchmark::State &state)
{
    const Corpus corpus = makeCorpus(shapes(), connectors(), VRRouteKind::Orthogonal);
    for (auto _ : state) {
        ModelScene scene(corpus);
        scene.drawing->avoidRouter()->processPendingChanges();
        state.PauseTiming();
        scene.drawing.reset();
        state.ResumeTiming();
    }
}

// One iteration moves one element by one drag step and lets the drawing's router re-route.
void BM_ModelDragElement(benchmark::State &state)
{
    const Corpus corpus = makeCorpus(shapes(), connectors(), VRRouteKind::Orthogonal);
    ModelScene scene(corpus);
    VRAvoidRouter *router = scene.drawing->avoidRouter();
    router->processPendingChanges();
    auto moved = scene.elements[scene.elements.size() / 2 + 3];
    int step = 0;
    for (auto _ : state) {
        const double dx = (step++ % 20) < 10 ? 6 : -6;
        moved->setLocation(moved->location() + QPointF(dx, dx / 2));
        router->processPendingChanges();
    }
    state.counters["attached"] = moved->connectedConnectors().size();
}

// The first route of a whole grid diagram, and the quality of its routes. One iteration loads the
// diagram into a new router and routes every connector.
void BM_GridFirstRoute(benchmark::State &state)
{
    const Corpus corpus = makeGridCorpus(int(state.range(0)), int(state.range(1)));
    QList<QList<QPointF>> routes;
    for (auto _ : state) {
        VRConnectorRouter router;
        load(router, corpus);
        benchmark::DoNotOptimize(router.update());
        state.PauseTiming();
        routes = routesOf(router, corpus);
        state.ResumeTiming();
    }
    reportQuality(state, corpus, measure(corpus, routes));
    // QNT_BENCH_ROUTES_PICTURE=file.png: a picture of the 250/500 diagram's routes, to look at.
    const QString picture = qEnvironmentVariable("QNT_BENCH_ROUTES_PICTURE");
    if (!picture.isEmpty() && state.range(0) == 250) {
        QRectF all;
        for (const QRectF &r : corpus.shapes)
            all |= r;
        all.adjust(-40, -40, 40, 40);
        QImage image((all.size() * 0.5).toSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(0.5, 0.5);
        p.translate(-all.topLeft());
        p.setPen(QPen(QColor(90, 90, 90), 1.5));
        p.setBrush(QColor(235, 240, 250));
        for (const QRectF &r : corpus.shapes)
            p.drawRect(r);
        p.setBrush(Qt::NoBrush);
        for (int k = 0; k < routes.size(); ++k) {
            p.setPen(QPen(QColor::fromHsv((k * 47) % 360, 220, 200), 2));
            p.drawPolyline(routes[k].constData(), int(routes[k].size()));
        }
        p.end();
        image.save(picture);
    }
}

// The processor time this thread has used, in milliseconds: on a busy machine the time of one
// short step is its own work, not the other programs that ran meanwhile.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// How many drag steps each shape takes per iteration: out and back again, so the diagram ends
// each iteration as it began.
constexpr int kStepsPerShape = 6;

// Drags every shape of a routed diagram in turn by kStepsPerShape steps (half of them out, half
// back) and re-routes after each step. One iteration drags every shape once; each step is one
// sample of its shape. A shape's time is the median of its samples (a single sample is at the
// mercy of whatever else the machine did meanwhile); reported are the median and the worst of
// those over all shapes, and the single slowest sample.
void rerouteEveryShape(benchmark::State &state, Corpus corpus)
{
    VRConnectorRouter router;
    load(router, corpus);
    router.update();
    std::vector<std::vector<int>> attached(corpus.shapes.size());
    for (int k = 0; k < corpus.connectors.size(); ++k) {
        attached[corpus.connectors[k].start.shape].push_back(k);
        attached[corpus.connectors[k].end.shape].push_back(k);
    }
    std::vector<std::vector<double>> samples(corpus.shapes.size());
    for (auto _ : state) {
        for (int s = 0; s < corpus.shapes.size(); ++s) {
            for (int step = 0; step < kStepsPerShape; ++step) {
                const double sign = step < kStepsPerShape / 2 ? 1 : -1;
                const QPointF by(6 * sign, 3 * sign);
                const double began = threadCpuMs();
                QRectF &r = corpus.shapes[s];
                r.translate(by);
                router.setObstacle(s, r);
                for (int k : attached[s]) {
                    VRRouteRequest &req = corpus.connectors[k];
                    if (req.start.shape == s)
                        req.start.point += by;
                    if (req.end.shape == s)
                        req.end.point += by;
                    router.setConnector(k, req);
                }
                benchmark::DoNotOptimize(router.update());
                samples[s].push_back(threadCpuMs() - began);
            }
        }
    }
    std::vector<double> perShape(samples.size());
    double slowestSample = 0;
    for (size_t s = 0; s < samples.size(); ++s) {
        std::vector<double> &mine = samples[s];
        std::sort(mine.begin(), mine.end());
        perShape[s] = mine[mine.size() / 2];
        slowestSample = std::max(slowestSample, mine.back());
    }
    const auto worst = std::max_element(perShape.begin(), perShape.end()) - perShape.begin();
    std::vector<double> sorted = perShape;
    std::sort(sorted.begin(), sorted.end());
    state.counters["medianStepMs"] = sorted[sorted.size() / 2];
    state.counters["worstStepMs"] = sorted.back();
    state.counters["slowestSampleMs"] = slowestSample;
    state.counters["worstShapeConnectors"] = double(attached[worst].size());
    state.counters["samplesPerShape"] = double(samples.front().size());
}

// Every shape of a grid diagram dragged in turn: one iteration drags every shape of it.
void BM_GridRerouteEveryShape(benchmark::State &state)
{
    rerouteEveryShape(state, makeGridCorpus(int(state.range(0)), int(state.range(1))));
}

// The same on the diagram with a few connectors across the whole drawing: one iteration drags
// every shape of it.
void BM_RerouteEveryShape(benchmark::State &state)
{
    rerouteEveryShape(state, makeCorpus(shapes(), connectors(), VRRouteKind::Orthogonal));
}

// What the best possible routes of a grid diagram can reach, whatever the router: each connector
// alone (nothing else routed, so no crossing to avoid) gets its cheapest route for the cost
// length + w x bends, found exactly by a search over every line through an edge of an inflated
// shape or an end's exit, leaving and entering its shapes from the centre through the middle of
// any of the four sides, keeping the default free space around every shape. Any set of routes
// has, per connector, length + w x bends of at least that cost, so the least length of routes
// with b bends per connector is at least cost(w) - w x b for every w ("lengthAtMost<b>Bends"
// takes the best w). Lengths include the part inside the end shapes, as the quality figures do.
struct CheapestRoute {
    double cost = 0;
    double length = 0;
    int bends = 0;
};

CheapestRoute cheapestAloneRoute(const Corpus &corpus, const VRRouteRequest &request,
                                 double bendCost)
{
    const double buffer = VRRouteParameters().bufferDistance;
    const QRectF a = corpus.shapes[request.start.shape], b = corpus.shapes[request.end.shape];
    const QRectF window = (a | b).adjusted(-320, -320, 320, 320);
    std::vector<QRectF> obstacles;
    for (const QRectF &s : corpus.shapes) {
        const QRectF inflated = s.adjusted(-buffer, -buffer, buffer, buffer);
        if (inflated.intersects(window))
            obstacles.push_back(inflated);
    }
    // Directions 0 +x, 1 -x, 2 +y, 3 -y; an end leaving through side d starts its route at the
    // centre and turns no earlier than the free space around its shape.
    static constexpr double dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
    auto exitOf = [&](const QRectF &r, int d) {
        const double reach = (d < 2 ? r.width() : r.height()) / 2 + buffer;
        return QPointF(r.center().x() + dx[d] * reach, r.center().y() + dy[d] * reach);
    };
    auto inside = [&](const QRectF &r, int d) {
        return (d < 2 ? r.width() : r.height()) / 2 + buffer;
    };
    std::vector<double> xs{window.left(), window.right()}, ys{window.top(), window.bottom()};
    for (const QRectF &o : obstacles) {
        xs.insert(xs.end(), {o.left(), o.right()});
        ys.insert(ys.end(), {o.top(), o.bottom()});
    }
    for (int d = 0; d < 4; ++d) {
        for (const QPointF &p : {exitOf(a, d), exitOf(b, d)}) {
            xs.push_back(p.x());
            ys.push_back(p.y());
        }
    }
    auto lines = [](std::vector<double> &v, double lo, double hi) {
        for (double &x : v)
            x = std::clamp(x, lo, hi);
        std::sort(v.begin(), v.end());
        v.erase(std::unique(v.begin(), v.end(), [](double p, double q) { return q - p < 1e-9; }),
                v.end());
    };
    lines(xs, window.left(), window.right());
    lines(ys, window.top(), window.bottom());
    const int nx = int(xs.size()), ny = int(ys.size());
    auto indexOf = [](const std::vector<double> &v, double x) {
        return int(std::lower_bound(v.begin(), v.end(), x - 1e-9) - v.begin());
    };
    // blockedX[j * nx + i]: the step from line i to i + 1 along line j runs inside a shape.
    std::vector<char> blockedX(size_t(nx) * ny, 0), blockedY(size_t(nx) * ny, 0);
    for (const QRectF &o : obstacles) {
        const int i0 = indexOf(xs, o.left()), i1 = indexOf(xs, o.right());
        const int j0 = indexOf(ys, o.top()), j1 = indexOf(ys, o.bottom());
        for (int j = j0; j < j1; ++j) {
            for (int i = i0; i < i1; ++i) {
                if (j > j0)
                    blockedX[size_t(j) * nx + i] = 1;
                if (i > i0)
                    blockedY[size_t(j) * nx + i] = 1;
            }
        }
    }
    auto state = [&](QPointF p, int d) {
        return (size_t(indexOf(ys, p.y())) * nx + indexOf(xs, p.x())) * 4 + d;
    };
    std::vector<double> cost(size_t(nx) * ny * 4, std::numeric_limits<double>::infinity());
    std::vector<CheapestRoute> path(cost.size());
    using Entry = std::pair<double, size_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> open;
    auto reach = [&](size_t s, const CheapestRoute &r) {
        if (r.cost < cost[s] - 1e-9) {
            cost[s] = r.cost;
            path[s] = r;
            open.push({r.cost, s});
        }
    };
    for (int d = 0; d < 4; ++d)
        reach(state(exitOf(a, d), d), {inside(a, d), inside(a, d), 0});
    std::array<size_t, 4> goal{};
    for (int d = 0; d < 4; ++d)
        goal[d] = state(exitOf(b, d), d ^ 1);
    CheapestRoute best{std::numeric_limits<double>::infinity(), 0, 0};
    while (!open.empty()) {
        const auto [c, s] = open.top();
        open.pop();
        if (c > cost[s] || c >= best.cost)
            continue;
        for (int d = 0; d < 4; ++d) {
            if (s == goal[d] && c + inside(b, d) < best.cost)
                best = {c + inside(b, d), path[s].length + inside(b, d), path[s].bends};
        }
        const int dir = int(s % 4), i = int(s / 4 % nx), j = int(s / 4 / nx);
        int i2 = i, j2 = j;
        if (dir == 0 && i + 1 < nx && !blockedX[size_t(j) * nx + i])
            ++i2;
        else if (dir == 1 && i > 0 && !blockedX[size_t(j) * nx + i - 1])
            --i2;
        else if (dir == 2 && j + 1 < ny && !blockedY[size_t(j) * nx + i])
            ++j2;
        else if (dir == 3 && j > 0 && !blockedY[size_t(j - 1) * nx + i])
            --j2;
        if (i2 != i || j2 != j) {
            const double step = std::abs(xs[i2] - xs[i]) + std::abs(ys[j2] - ys[j]);
            reach((size_t(j2) * nx + i2) * 4 + dir,
                  {c + step, path[s].length + step, path[s].bends});
        }
        for (int turn = dir < 2 ? 2 : 0, last = turn + 2; turn < last; ++turn)
            reach(s - dir + turn, {c + bendCost, path[s].length, path[s].bends + 1});
    }
    return best;
}

// One iteration finds, for each weight, the cheapest lone route of every connector.
void BM_GridRouteBound(benchmark::State &state)
{
    const Corpus corpus = makeGridCorpus(int(state.range(0)), int(state.range(1)));
    const double n = double(corpus.connectors.size());
    struct Sum {
        double weight, cost = 0, length = 0, bends = 0;
    };
    std::vector<Sum> sums{{1e-3}, {10}, {20}, {30}, {1e4}};
    for (auto _ : state) {
        for (Sum &sum : sums) {
            sum.cost = sum.length = sum.bends = 0;
            for (const VRRouteRequest &request : corpus.connectors) {
                const CheapestRoute r = cheapestAloneRoute(corpus, request, sum.weight);
                sum.cost += r.cost;
                sum.length += r.length;
                sum.bends += r.bends;
            }
        }
    }
    for (const Sum &sum : sums) {
        const QString w = sum.weight < 1     ? QStringLiteral("Shortest")
                          : sum.weight > 1e3 ? QStringLiteral("Fewest")
                                             : QStringLiteral("W%1").arg(sum.weight);
        state.counters[(w + QStringLiteral("Length")).toStdString()] = sum.length / n;
        state.counters[(w + QStringLiteral("Bends")).toStdString()] = sum.bends / n;
    }
    for (const double bends : {2.4, 2.5}) {
        double least = 0;
        for (const Sum &sum : sums)
            if (sum.weight < 1e3)
                least = std::max(least, (sum.cost - sum.weight * bends * n) / n);
        state.counters[QStringLiteral("lengthAtMost%1Bends").arg(bends).toStdString()] = least;
    }
}

void gridSizes(benchmark::internal::Benchmark *b)
{
    if (smoke()) {
        b->Args({50, 100});
        return;
    }
    for (const auto &[n, m] : {std::pair{50, 100}, {250, 500}, {500, 1000}, {1000, 2000}})
        b->Args({n, m});
}

BENCHMARK(BM_GridFirstRoute)->Apply(gridSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridRouteBound)->Apply(gridSizes)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RerouteEveryShape)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridRerouteEveryShape)
    ->Args({smoke() ? 50 : 500, smoke() ? 100 : 1000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FullRoute, orthogonal, VRRouteKind::Orthogonal)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FullRoute, polyline, VRRouteKind::Polyline)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RerouteMovedShape, orthogonal, VRRouteKind::Orthogonal)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RerouteMovedShape, polyline, VRRouteKind::Polyline)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelFullRoute)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelDragElement)->Unit(benchmark::kMillisecond);

// A drawing of a diagram (shapes and automatic connectors), to open in the application and
// drag its shapes there.
int writeRoutesDocument(const QString &path, const Corpus &corpus)
{
    QRectF bounds;
    for (const QRectF &r : corpus.shapes)
        bounds |= r;
    auto drawing = std::make_unique<VRDrawing>();
    drawing->undoManager()->disableUndoRegistration();
    drawing->setDrawingSize(QSizeF(bounds.right() + 120, bounds.bottom() + 120));
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    VRObjectList all;
    QList<std::shared_ptr<QntElement>> elements;
    for (const QRectF &r : corpus.shapes) {
        const QRectF frame = r.translated(40, 40);
        auto contour = VRDrawableShape::shapeWithRect(frame);
        contour->setID(QStringLiteral("contour"));
        contour->setStyle(
            VRStyle::styleWithFillColour(QColor(225, 235, 250), QColor(70, 90, 130), 1.0));
        auto e = QntElement::createWithObjects({contour}, QStringLiteral("e"), frame.size());
        elements.push_back(e);
        all.push_back(e);
    }
    layer->addObjectsFromArray(all);
    VRObjectList lines;
    QList<std::shared_ptr<QntConnector>> connectors;
    for (const VRRouteRequest &req : corpus.connectors) {
        auto c = std::make_shared<QntConnector>();
        c->setStyle(VRStyle::styleWithFillColour(QColor(), QColor(40, 40, 40), 1.0));
        c->setEnds(req.start.point + QPointF(40, 40), req.end.point + QPointF(40, 40));
        lines.push_back(c);
        connectors.push_back(c);
    }
    layer->addObjectsFromArray(lines);
    for (int k = 0; k < corpus.connectors.size(); ++k) {
        const VRRouteRequest &req = corpus.connectors[k];
        auto a = elements[int(req.start.shape)], b = elements[int(req.end.shape)];
        connectors[k]->startEndPoint()->attach(
            a, a->nearestStickySpot(req.start.point + QPointF(40, 40))->index());
        connectors[k]->endEndPoint()->attach(
            b, b->nearestStickySpot(req.end.point + QPointF(40, 40))->index());
        connectors[k]->setRouting(3);
    }
    drawing->avoidRouter()->processPendingChanges();
    drawing->undoManager()->enableUndoRegistration();
    VRDrawingDocument document;
    document.setDrawing(std::move(drawing));
    return document.writeToFile(path).ok() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // QNT_BENCH_ROUTES_DOCUMENT=file.quintora: only writes a 100-shape grid diagram there.
    const QString document = qEnvironmentVariable("QNT_BENCH_ROUTES_DOCUMENT");
    if (!document.isEmpty())
        return writeRoutesDocument(document, makeGridCorpus(100, 200));
    // QNT_BENCH_LONG_ROUTES_DOCUMENT=file.quintora: only writes the diagram of
    // BM_RerouteEveryShape there (connectors across the drawing, 46 on its first shape).
    const QString longRoutes = qEnvironmentVariable("QNT_BENCH_LONG_ROUTES_DOCUMENT");
    if (!longRoutes.isEmpty())
        return writeRoutesDocument(longRoutes,
                                   makeCorpus(shapes(), connectors(), VRRouteKind::Orthogonal));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
