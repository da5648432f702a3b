// Saving and reading a native document of 10,000 styled objects (shapes, elements and
// connectors), through the same serialiser and atomic file writes the application uses.
#include "BenchDocument.h"
#include "framework/archive/VRArchiver.h"
#include "framework/document/VRDrawingDocument.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <ctime>

namespace {

// CPU time of the calling thread, in milliseconds.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

bool smoke()
{
    return qEnvironmentVariableIsSet("QNT_BENCH_SMOKE");
}

int objectCount()
{
    return smoke() ? 100 : 10000;
}

void BM_SaveDocument(benchmark::State &state)
{
    QTemporaryDir dir;
    VRDrawingDocument document;
    document.setDrawing(qnt::bench::makeDocumentDrawing(objectCount()));
    const QString path = dir.filePath(QStringLiteral("bench.quintora"));
    qint64 bytes = 0;
    for (auto _ : state) {
        const auto result = document.writeToFile(path);
        if (!result.ok())
            state.SkipWithError("save failed");
        bytes = QFileInfo(path).size();
    }
    state.counters["objects"] = objectCount();
    state.counters["file_bytes"] = double(bytes);
}

// Writes the benchmark's document into the folder and returns its path.
QString writtenDocument(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("bench.quintora"));
    VRDrawingDocument document;
    document.setDrawing(qnt::bench::makeDocumentDrawing(objectCount()));
    document.writeToFile(path);
    return path;
}

void BM_LoadDocument(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = writtenDocument(dir);
    double readingThread = 0;
    for (auto _ : state) {
        const double before = threadCpuMs();
        auto document = std::make_unique<VRDrawingDocument>();
        const auto result = document->readFromFile(path);
        readingThread += threadCpuMs() - before;
        if (!result.ok())
            state.SkipWithError(result.errorMessage().toUtf8().constData());
        benchmark::DoNotOptimize(document->drawing());
        // Opening is what the user waits for; closing the document is not part of it.
        state.PauseTiming();
        document.reset();
        state.ResumeTiming();
    }
    state.counters["objects"] = objectCount();
    // What the opening thread itself spends: the part no idle core can take over.
    state.counters["reading_thread_ms"] = readingThread / double(state.iterations());
}

// What the first paint of a document just read asks before it draws: the bounds of every object,
// for the layer's index (a text's bounds hold its glyphs, so each text is measured).
void BM_FirstIndexAfterLoad(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = writtenDocument(dir);
    for (auto _ : state) {
        state.PauseTiming();
        auto document = std::make_unique<VRDrawingDocument>();
        if (const auto result = document->readFromFile(path); !result.ok())
            state.SkipWithError(result.errorMessage().toUtf8().constData());
        const QRectF area(QPointF(), document->drawing()->drawingSize());
        auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
        state.ResumeTiming();
        benchmark::DoNotOptimize(layer->objectsInRect(area).size());
        state.PauseTiming();
        document.reset();
        state.ResumeTiming();
    }
    state.counters["objects"] = objectCount();
}

void BM_SerialiseOnly(benchmark::State &state)
{
    auto drawing = qnt::bench::makeDocumentDrawing(objectCount());
    for (auto _ : state) {
        const QByteArray data = VRArchiver::documentData(*drawing);
        benchmark::DoNotOptimize(data.constData());
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // QNT_BENCH_DOCUMENT_OUT=file.quintora: only writes the benchmark's document there, to open
    // it in the application and look at it.
    const QString out = qEnvironmentVariable("QNT_BENCH_DOCUMENT_OUT");
    if (!out.isEmpty()) {
        VRDrawingDocument document;
        document.setDrawing(qnt::bench::makeDocumentDrawing(objectCount()));
        return document.writeToFile(out).ok() ? 0 : 1;
    }
    benchmark::RegisterBenchmark("BM_SaveDocument", BM_SaveDocument)->Unit(benchmark::kMillisecond);
    // Large documents are parsed on worker threads as well: the CPU column counts the whole
    // process, the time column what the user waits.
    benchmark::RegisterBenchmark("BM_LoadDocument", BM_LoadDocument)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_FirstIndexAfterLoad", BM_FirstIndexAfterLoad)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_SerialiseOnly", BM_SerialiseOnly)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
