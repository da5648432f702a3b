// Building a 100-node flowchart from Mermaid text: rendering in the off-screen web page, reading
// the picture and attaching the connectors, until the objects are in a drawing's layer. Cold is
// the first build in the process (the web engine and the page start); warm is every later one.
// Targets: under 1.5 s cold, under 200 ms warm. The counters split a build's time: "page_ms"
// from Build until the picture is back from the page, "objects_ms" reading it into objects.
#include "BenchHome.h"
#include "app/window/DIDizeZoziDocument.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/svg/SVGKImage.h"
#include "library/webengine/QntWebMermaidRenderer.h"
#include "platform/QntPaths.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

QntWebMermaidRenderer *g_renderer = nullptr;

struct BuildTimes {
    double pageMs = 0;
    double objectsMs = 0;
};

int nodeCount()
{
    return qEnvironmentVariableIsSet("QNT_BENCH_SMOKE") ? 10 : 100;
}

QString flowchart(int nodes)
{
    QString text = QStringLiteral("graph TD\n");
    for (int i = 1; i < nodes; ++i)
        text += QStringLiteral("  n%1[Node %1] --> n%2(Step %2)\n").arg((i - 1) / 2).arg(i);
    return text;
}

// One build; answers the number of objects that reached the layer and adds its times to times.
int build(const QString &text, BuildTimes &times)
{
    QntMermaidRenderer::Result result;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    g_renderer->render(QntPaths::bundleResourcesPath() + QStringLiteral("/Mermaid/seq.html"), text,
                       QString(), [&](const QntMermaidRenderer::Result &r) {
                           result = r;
                           loop.quit();
                       });
    loop.exec();
    times.pageMs += double(clock.nsecsElapsed()) / 1e6;
    clock.restart();
    if (!result.ok())
        return -1;
    const auto image = SVGKImage::imageWithData(result.svg.toUtf8());
    if (!image)
        return -1;
    auto tree = (*image)->newVRTree();
    DIDizeZoziDocument::connectElements(*tree);
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    const VRObjectList objects = tree->objects();
    for (const VRObjectRef &object : objects) {
        tree->removeObject(object);
        layer->addObject(object);
    }
    times.objectsMs += double(clock.nsecsElapsed()) / 1e6;
    return int(layer->objects().size());
}

void addTimes(benchmark::State &state, const BuildTimes &times)
{
    state.counters["page_ms"] =
        benchmark::Counter(times.pageMs, benchmark::Counter::kAvgIterations);
    state.counters["objects_ms"] =
        benchmark::Counter(times.objectsMs, benchmark::Counter::kAvgIterations);
}

void BM_MermaidBuildCold(benchmark::State &state)
{
    const QString text = flowchart(nodeCount());
    BuildTimes times;
    for (auto _ : state) {
        delete g_renderer;
        g_renderer = new QntWebMermaidRenderer;
        const int objects = build(text, times);
        if (objects <= 0)
            state.SkipWithError("the build failed");
        state.counters["objects"] = objects;
    }
    addTimes(state, times);
}

void BM_MermaidBuildWarm(benchmark::State &state)
{
    const QString text = flowchart(nodeCount());
    // Run alone (--benchmark_filter), the warm build makes its page here.
    if (!g_renderer)
        g_renderer = new QntWebMermaidRenderer;
    BuildTimes warmUp;
    build(text, warmUp);
    BuildTimes times;
    for (auto _ : state) {
        if (build(text, times) <= 0)
            state.SkipWithError("the build failed");
    }
    addTimes(state, times);
}

// Cold runs once and first: only the first build of a process starts the web engine.
BENCHMARK(BM_MermaidBuildCold)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MermaidBuildWarm)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qnt::bench::usePrivateHome();
    QntWebMermaidRenderer::prepareApplication();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete g_renderer;
    g_renderer = nullptr;
    return 0;
}
