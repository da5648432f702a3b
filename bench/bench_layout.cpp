// Automatic layout beside Graphviz alone, on the same generated graph: a tree with extra edges
// across and back up (cycles), boxes of a few sizes. BM_GraphvizDot is libgvc's dot layout of
// the graph as dot draws it (with its splines); BM_GraphvizDotNoEdges the same without edge
// drawing; BM_AutomaticLayout the application's layout into drawing objects: reading the layer,
// dot, moving the elements, attaching and routing every connector, one undo step.
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/routing/VRAutomaticLayout.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"

#include <QApplication>
#include <QByteArray>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>
#include <graphviz/gvc.h>

#include <memory>
#include <vector>

namespace {

struct Graph {
    std::vector<QSizeF> sizes;
    std::vector<std::pair<int, int>> edges;
};

int nodeCount(const benchmark::State &state)
{
    return qEnvironmentVariableIsSet("QNT_BENCH_SMOKE") ? 20 : int(state.range(0));
}

Graph makeGraph(int n, quint32 seed = 7)
{
    QRandomGenerator rng(seed);
    Graph g;
    for (int i = 0; i < n; ++i)
        g.sizes.push_back(QSizeF(80 + 20 * rng.bounded(3), 40 + 10 * rng.bounded(3)));
    for (int i = 1; i < n; ++i)
        g.edges.emplace_back(int(rng.bounded(i)), i); // a random tree
    for (int k = 0; k < n / 2; ++k) {
        const int a = int(rng.bounded(n)), b = int(rng.bounded(n));
        if (a != b)
            g.edges.emplace_back(a, b); // across, and back up: cycles
    }
    return g;
}

char *gv(const char *text)
{
    return const_cast<char *>(text);
}

void graphvizDot(benchmark::State &state, bool edges)
{
    const Graph g = makeGraph(nodeCount(state));
    GVC_t *context = gvContext();
    const int level = agseterr(AGERR);
    for (auto _ : state) {
        Agraph_t *graph = agopen(gv("bench"), Agdirected, nullptr);
        agsafeset(graph, gv("nodesep"), gv("0.5556"), gv(""));
        agsafeset(graph, gv("ranksep"), gv("0.8333"), gv(""));
        if (!edges)
            agsafeset(graph, gv("splines"), gv(""), gv(""));
        agattr(graph, AGNODE, gv("shape"), gv("box"));
        agattr(graph, AGNODE, gv("fixedsize"), gv("true"));
        agattr(graph, AGNODE, gv("label"), gv(""));
        Agsym_t *w = agattr(graph, AGNODE, gv("width"), gv("1"));
        Agsym_t *h = agattr(graph, AGNODE, gv("height"), gv("1"));
        std::vector<Agnode_t *> nodes;
        for (size_t i = 0; i < g.sizes.size(); ++i) {
            const QByteArray name = "n" + QByteArray::number(qulonglong(i));
            Agnode_t *node = agnode(graph, gv(name.constData()), 1);
            agxset(node, w, gv(QByteArray::number(g.sizes[i].width() / 72.0).constData()));
            agxset(node, h, gv(QByteArray::number(g.sizes[i].height() / 72.0).constData()));
            nodes.push_back(node);
        }
        for (const auto &[a, b] : g.edges)
            agedge(graph, nodes[size_t(a)], nodes[size_t(b)], nullptr, 1);
        gvLayout(context, graph, "dot");
        benchmark::DoNotOptimize(GD_bb(graph));
        gvFreeLayout(context, graph);
        agclose(graph);
    }
    agseterr(agerrlevel_t(level));
    gvFreeContext(context);
    state.counters["nodes"] = double(g.sizes.size());
    state.counters["edges"] = double(g.edges.size());
}

void BM_GraphvizDot(benchmark::State &state)
{
    graphvizDot(state, true);
}

void BM_GraphvizDotNoEdges(benchmark::State &state)
{
    graphvizDot(state, false);
}

// The graph as elements and connectors piled in one corner of a drawing.
std::unique_ptr<VRDrawing> makeDrawing(const Graph &g)
{
    auto drawing = std::make_unique<VRDrawing>();
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    const VRStyleRef style = VRStyle::styleWithFillColour(Qt::white, Qt::black, 1);
    std::vector<std::shared_ptr<QntElement>> elements;
    for (const QSizeF &s : g.sizes) {
        auto contour = VRDrawableShape::shapeWithRect(QRectF(QPointF(), s),
                                                      VRDrawableShape::unitRectAtOrigin());
        contour->setStyle(style);
        auto element = QntElement::createWithObjects({contour}, QStringLiteral("box"), s);
        layer->addObject(element);
        elements.push_back(element);
    }
    for (const auto &[a, b] : g.edges) {
        auto connector = std::make_shared<QntConnector>();
        layer->addObject(connector);
        elements[size_t(a)]->connectToTargetElement(elements[size_t(b)].get(), connector);
    }
    drawing->avoidRouter()->processPendingChanges();
    drawing->undoManager()->closeOpenGroups();
    return drawing;
}

void BM_AutomaticLayout(benchmark::State &state)
{
    const Graph g = makeGraph(nodeCount(state));
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<VRDrawing> drawing = makeDrawing(g);
        auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
        state.ResumeTiming();
        if (!layer->layout())
            state.SkipWithError("nothing was laid out");
        state.PauseTiming();
        drawing.reset();
        state.ResumeTiming();
    }
    state.counters["nodes"] = double(g.sizes.size());
    state.counters["edges"] = double(g.edges.size());
}

BENCHMARK(BM_GraphvizDot)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GraphvizDotNoEdges)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutomaticLayout)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

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
