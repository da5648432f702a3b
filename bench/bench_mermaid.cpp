// Building a flowchart from Mermaid text: rendering in the off-screen web page, reading the
// picture and attaching the connectors, until the objects are in a drawing's layer. Cold is the
// first build in the process (the plugin loads, the web engine and the page start), "launch_ms"
// its end counted from the start of the process; warm is every later one. Targets: 100 nodes
// under 1.5 s cold from launch and under 200 ms warm, 500 nodes under 1.5 s warm. The counters
// split a build's time: "page_ms" from Build until the picture is back from the page (and
// "page_cpu_ms" the CPU time the web engine's processes spent meanwhile), of which
// "mermaid_ms" is Mermaid's own drawing and "naming_ms" naming the nodes and edge ends; then
// "parse_ms" reading the SVG, "tree_ms" making the objects and attaching the connectors, "place_ms"
// replacing the previous build in the drawing (undo included).
#include "BenchHome.h"
#include "app/window/DIDizeZoziDocument.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/svg/SVGKImage.h"
#include "library/mermaid/QntMermaidPlugin.h"
#include "platform/QntPaths.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>

#include <unistd.h>

namespace {

QntMermaidRenderer *g_renderer = nullptr;

QntMermaidRenderer *newRenderer()
{
    return QntMermaidPlugin::createRenderer().release();
}

struct BuildTimes {
    double pageMs = 0;
    double mermaidMs = 0;
    double namingMs = 0;
    double parseMs = 0;
    double treeMs = 0;
    double placeMs = 0;
    double pageCpuMs = 0;
};

// The CPU time (user and system) the web engine's processes, the descendants of this one, have
// used so far, in milliseconds: what a build costs the page, however loaded the machine is.
double pageCpuMs()
{
    QHash<qint64, qint64> parents;
    QHash<qint64, double> cpu;
    const double ticks = double(::sysconf(_SC_CLK_TCK));
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = file.readAll();
        // After the command's closing parenthesis: the parent is the 4th field, utime and stime
        // the 14th and 15th.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 13)
            continue;
        parents.insert(pid, fields.at(1).toLongLong());
        cpu.insert(pid, (fields.at(11).toDouble() + fields.at(12).toDouble()) * 1000.0 / ticks);
    }
    const qint64 self = ::getpid();
    double total = 0;
    for (auto it = parents.cbegin(); it != parents.cend(); ++it) {
        qint64 up = it.value();
        for (int depth = 0; depth < 8 && up > 1 && up != self; ++depth)
            up = parents.value(up, 0);
        if (up == self && it.key() != self)
            total += cpu.value(it.key());
    }
    return total;
}

int nodeCount(int nodes = 100)
{
    return qEnvironmentVariableIsSet("QNT_BENCH_SMOKE") ? 10 : nodes;
}

QString flowchart(int nodes)
{
    QString text = QStringLiteral("graph TD\n");
    for (int i = 1; i < nodes; ++i)
        text += QStringLiteral("  n%1[Node %1] --> n%2(Step %2)\n").arg((i - 1) / 2).arg(i);
    return text;
}

// One build into the drawing, replacing its previous build as the document does; answers the
// number of objects in the layer and adds its times to times.
int build(VRDrawing &drawing, const QString &text, BuildTimes &times)
{
    QntMermaidRenderer::Result result;
    QEventLoop loop;
    QElapsedTimer clock;
    const double cpuBefore = pageCpuMs();
    clock.start();
    // The first build of a document makes its renderer, loading the plugin the first time.
    if (!g_renderer)
        g_renderer = newRenderer();
    if (!g_renderer)
        return -1;
    g_renderer->render(QntPaths::bundleResourcesPath() + QStringLiteral("/Mermaid/seq.html"), text,
                       QString(), [&](const QntMermaidRenderer::Result &r) {
                           result = r;
                           loop.quit();
                       });
    loop.exec();
    times.pageMs += double(clock.nsecsElapsed()) / 1e6;
    times.pageCpuMs += pageCpuMs() - cpuBefore;
    times.mermaidMs += result.mermaidMs;
    times.namingMs += result.namingMs;
    clock.restart();
    if (!result.ok())
        return -1;
    const auto image = SVGKImage::imageWithData(result.svg.toUtf8());
    if (!image)
        return -1;
    times.parseMs += double(clock.nsecsElapsed()) / 1e6;
    clock.restart();
    auto tree = DIDizeZoziDocument::buildTree(**image);
    times.treeMs += double(clock.nsecsElapsed()) / 1e6;
    clock.restart();
    DIDizeZoziDocument::replaceBuild(drawing, *tree);
    times.placeMs += double(clock.nsecsElapsed()) / 1e6;
    return int(drawing.activeLayerOfClass<VRObjectDrawingLayer>()->objects().size());
}

// Milliseconds since this process started, from its start time in /proc.
double msSinceProcessStart()
{
    QFile file(QStringLiteral("/proc/self/stat"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    // The fields after the command's closing parenthesis; the start time is the 22nd field.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return 0;
    const double ticks = double(::sysconf(_SC_CLK_TCK));
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    const double startMs = fields.at(19).toDouble() / ticks * 1000.0;
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6 - startMs;
}

void addTimes(benchmark::State &state, const BuildTimes &times)
{
    const auto average = [&](double ms) {
        return benchmark::Counter(ms, benchmark::Counter::kAvgIterations);
    };
    state.counters["page_ms"] = average(times.pageMs);
    state.counters["page_cpu_ms"] = average(times.pageCpuMs);
    state.counters["mermaid_ms"] = average(times.mermaidMs);
    state.counters["naming_ms"] = average(times.namingMs);
    state.counters["parse_ms"] = average(times.parseMs);
    state.counters["tree_ms"] = average(times.treeMs);
    state.counters["place_ms"] = average(times.placeMs);
}

void BM_MermaidBuildCold(benchmark::State &state)
{
    const QString text = flowchart(nodeCount());
    BuildTimes times;
    for (auto _ : state) {
        delete g_renderer;
        g_renderer = nullptr;
        VRDrawing drawing;
        const int objects = build(drawing, text, times);
        if (objects <= 0)
            state.SkipWithError("the build failed");
        state.counters["objects"] = objects;
        state.counters["launch_ms"] = msSinceProcessStart();
    }
    addTimes(state, times);
}

void BM_MermaidBuildWarm(benchmark::State &state)
{
    const QString text = flowchart(nodeCount(int(state.range(0))));
    // Run alone (--benchmark_filter), the warm build makes its page here.
    // Every build replaces the one before it, as pressing Build again does.
    VRDrawing drawing;
    BuildTimes warmUp;
    build(drawing, text, warmUp);
    BuildTimes times;
    for (auto _ : state) {
        if (build(drawing, text, times) <= 0)
            state.SkipWithError("the build failed");
    }
    addTimes(state, times);
}

// Cold runs once and first: only the first build of a process starts the web engine.
BENCHMARK(BM_MermaidBuildCold)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MermaidBuildWarm)->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qnt::bench::usePrivateHome();
    QntMermaidPlugin::prepareApplication();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete g_renderer;
    g_renderer = nullptr;
    return 0;
}
