// Connector routing speed on a generated diagram: a grid of shapes with jittered positions and
// sizes, joined by connectors between nearby shapes (and a few long ones across the drawing).
#include "framework/routing/VRAvoidRouter.h"
#include "framework/routing/VRConnectorRouter.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntStickySpot.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"

#include <QApplication>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <cmath>

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

void BM_FullRoute(benchmark::State &state, VRRouteKind kind)
{
    const Corpus corpus = makeCorpus(shapes(), connectors(), kind);
    qint64 unrouted = 0;
    qint64 expansions = 0;
    for (auto _ : state) {
        VRConnectorRouter router;
        load(router, corpus);
        benchmark::DoNotOptimize(router.update());
        state.PauseTiming();
        expansions = router.searchExpansions();
        unrouted = 0;
        for (int k = 0; k < corpus.connectors.size(); ++k)
            unrouted += router.wasRouted(k) ? 0 : 1;
        state.ResumeTiming();
    }
    state.counters["shapes"] = corpus.shapes.size();
    state.counters["connectors"] = corpus.connectors.size();
    state.counters["unrouted"] = double(unrouted);
    state.counters["expansionsPerConnector"] =
        double(expansions) / std::max<qsizetype>(1, corpus.connectors.size());
}

// Drags one shape a few points at a time: each step updates its rectangle and the ends of its
// connectors, then re-routes (attached connectors and routes the shape now crosses or freed).
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

BENCHMARK_CAPTURE(BM_FullRoute, orthogonal, VRRouteKind::Orthogonal)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FullRoute, polyline, VRRouteKind::Polyline)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RerouteMovedShape, orthogonal, VRRouteKind::Orthogonal)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RerouteMovedShape, polyline, VRRouteKind::Polyline)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelFullRoute)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModelDragElement)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
