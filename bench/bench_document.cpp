// Saving and reading a native document of 10,000 styled objects (shapes, elements and
// connectors), through the same serialiser and atomic file writes the application uses; the
// first paint of a document just read, and the peak memory of opening one.
#include "BenchDocument.h"
#include "framework/archive/VRArchiver.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/view/VRDrawingView.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QProcess>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTextStream>

#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// CPU time of the calling thread, in milliseconds.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

bool smoke()
{
    return qEnvironmentVariableIsSet("QNT_BENCH_SMOKE");
}

int objectCount()
{
    if (const int count = qEnvironmentVariableIntValue("QNT_BENCH_DOCUMENT_OBJECTS"); count > 0)
        return count;
    return smoke() ? 100 : 10000;
}

// One iteration writes the whole document to its file (atomically, synced to the disk).
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

// One iteration reads the document from its file into a new document.
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

// Every object's exact bounds, as a search over the whole drawing asks them of a document just
// read (a text's bounds hold its glyphs, so each text is laid out; the index itself is built on
// outer bounds that lay none out). One iteration asks the layer, of a document just read, for
// the objects in the whole drawing.
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

// One iteration turns the drawing into the text of its file, without writing it.
void BM_SerialiseOnly(benchmark::State &state)
{
    auto drawing = qnt::bench::makeDocumentDrawing(objectCount());
    for (auto _ : state) {
        const QByteArray data = VRArchiver::documentData(*drawing);
        benchmark::DoNotOptimize(data.constData());
    }
}

// The view of a document on a 1920 x 1080 window, counting the frames it paints.
class PaintedView : public QObject
{
public:
    explicit PaintedView(VRDrawing *drawing)
    {
        m_area.resize(1920, 1080);
        m_view = new VRDrawingView(drawing);
        m_view->installEventFilter(this);
        m_area.setWidget(m_view);
    }
    ~PaintedView() override
    {
        m_view->removeEventFilter(this);
        delete m_area.takeWidget();
    }
    // Shows the view (the first time) or asks it to draw everything again, and delivers events
    // until it has painted; the painting thread's CPU time of that, in milliseconds, or -1 when
    // nothing was painted.
    double frame()
    {
        const int before = m_paints;
        const double began = threadCpuMs();
        if (m_area.isVisible())
            m_view->drawing()->setNeedsDisplay(true);
        else
            m_area.show();
        for (int k = 0; k < 1000 && m_paints == before; ++k)
            QApplication::processEvents();
        return m_paints == before ? -1 : threadCpuMs() - began;
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++m_paints;
        return false;
    }

private:
    QScrollArea m_area;
    VRDrawingView *m_view = nullptr;
    int m_paints = 0;
};

// Opening a document as the user sees it: one iteration reads the document, shows it in a
// window and waits for the first frame; then (not timed) a later frame of the same view. The
// first frame builds the layer's index on outer bounds (texts not laid out), measured on a few
// threads beside the painting one, and measures only the texts it draws; a later one finds the
// index built. The frames are the painting thread's CPU time; first_frame_all_threads_ms adds
// what other threads spent meanwhile.
void BM_OpenAndFirstFrame(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = writtenDocument(dir);
    // The program has drawn its own window, so read the system's fonts, before a document
    // opens: the first frame of the first document measured does not do it either.
    benchmark::DoNotOptimize(QFontDatabase::families().size());
    double first = 0, later = 0, firstAllThreads = 0;
    for (auto _ : state) {
        auto document = std::make_unique<VRDrawingDocument>();
        if (const auto result = document->readFromFile(path); !result.ok())
            state.SkipWithError(result.errorMessage().toUtf8().constData());
        auto view = std::make_unique<PaintedView>(document->drawing());
        const double processBefore = processCpuMs();
        const double firstFrame = view->frame();
        firstAllThreads += processCpuMs() - processBefore;
        state.PauseTiming();
        const double laterFrame = view->frame();
        if (firstFrame < 0 || laterFrame < 0)
            state.SkipWithError("the view painted no frame");
        first += firstFrame;
        later += laterFrame;
        view.reset();
        document.reset();
        state.ResumeTiming();
    }
    const double n = double(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.counters["objects"] = objectCount();
    state.counters["first_frame_ms"] = first / n;
    state.counters["first_frame_all_threads_ms"] = firstAllThreads / n;
    state.counters["later_frame_ms"] = later / n;
    state.counters["first_to_later"] = first / std::max(later, 1e-9);
}

// What the process has spent so far: page faults that found no page, and switches away from a
// thread, waiting (for the disk, a lock) or preempted.
struct Usage {
    double faults = 0;
    double waits = 0;
    double preempted = 0;
};

Usage processUsage()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return {double(usage.ru_minflt + usage.ru_majflt), double(usage.ru_nvcsw),
            double(usage.ru_nivcsw)};
}

// Saving right after an edit, as a user does: one iteration moves one shape by a point (as an
// undoable change) and writes the whole document to its file (atomically, synced to the disk).
// Per save: the page faults (memory the save asked for afresh and filled), the switches away
// to wait (the disk's sync, the workers) and the preemptions.
void BM_SaveAfterEdit(benchmark::State &state)
{
    QTemporaryDir dir;
    VRDrawingDocument document;
    document.setDrawing(qnt::bench::makeDocumentDrawing(objectCount()));
    const QString path = dir.filePath(QStringLiteral("bench.quintora"));
    auto *layer = document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    const VRObjectRef moved = layer->objects().at(layer->objects().size() / 2);
    double step = 1;
    const Usage before = processUsage();
    for (auto _ : state) {
        moved->setLocation(moved->location() + QPointF(step, 0));
        step = -step;
        if (!document.writeToFile(path).ok())
            state.SkipWithError("save failed");
    }
    const Usage after = processUsage();
    const double saves = double(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.counters["objects"] = objectCount();
    state.counters["page_faults"] = (after.faults - before.faults) / saves;
    state.counters["waits"] = (after.waits - before.waits) / saves;
    state.counters["preempted"] = (after.preempted - before.preempted) / saves;
}

// The peak memory of opening a document, in a fresh process (what an earlier benchmark left in
// the heap would hide growth): the child reads the file named after --peak-open= and prints how
// far its resident size rose above what it was before, at the highest.
constexpr char kPeakOpenArgument[] = "--peak-open=";

qint64 statusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field)))
                .trimmed()
                .split(' ')
                .value(0)
                .toLongLong();
    }
    return -1;
}

int openAndReportPeak(const QString &path)
{
    // Writing 5 here starts the peak resident size afresh from the present one.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
        return 1;
    clear.close();
    const qint64 before = statusKilobytes("VmRSS:");
    VRDrawingDocument document;
    if (!document.readFromFile(path).ok())
        return 1;
    const qint64 peak = statusKilobytes("VmHWM:");
    QTextStream(stdout) << (peak - before) * 1024 << Qt::endl;
    std::fflush(stdout);
    _exit(0);
}

// One iteration opens a document of range(0) objects in a child process; reported are the file's
// size and the highest rise of the child's resident size while it read (the text of the file
// included), also as a multiple of the file's size.
void BM_OpenPeakMemory(benchmark::State &state)
{
    const int count = int(state.range(0));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("peak.quintora"));
    {
        VRDrawingDocument document;
        document.setDrawing(qnt::bench::makeDocumentDrawing(count));
        if (!document.writeToFile(path).ok()) {
            state.SkipWithError("the document could not be written");
            return;
        }
    }
    double peak = 0;
    for (auto _ : state) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QLatin1String(kPeakOpenArgument) + path});
        if (!child.waitForFinished(600000) || child.exitStatus() != QProcess::NormalExit
            || child.exitCode() != 0) {
            state.SkipWithError("the child process did not open the document");
            return;
        }
        peak = child.readAllStandardOutput().trimmed().toDouble();
    }
    const double size = double(QFileInfo(path).size());
    state.counters["objects"] = count;
    state.counters["file_MiB"] = size / (1024.0 * 1024.0);
    state.counters["peak_growth_MiB"] = peak / (1024.0 * 1024.0);
    state.counters["peak_to_file"] = peak / size;
}

} // namespace

int main(int argc, char **argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // QNT_BENCH_DOCUMENT_OUT=file.quintora: only writes the benchmark's document there, to open
    // it in the application and look at it (QNT_BENCH_DOCUMENT_OBJECTS=n: of n objects).
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument.startsWith(QLatin1String(kPeakOpenArgument)))
            return openAndReportPeak(argument.mid(qsizetype(std::strlen(kPeakOpenArgument))));
    }
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
    benchmark::RegisterBenchmark("BM_OpenAndFirstFrame", BM_OpenAndFirstFrame)
        ->Unit(benchmark::kMillisecond);
    // Saving writes the records on worker threads as well.
    benchmark::RegisterBenchmark("BM_SaveAfterEdit", BM_SaveAfterEdit)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
    auto *peak = benchmark::RegisterBenchmark("BM_OpenPeakMemory", BM_OpenPeakMemory)
                     ->Unit(benchmark::kMillisecond)
                     ->Iterations(1);
    if (qEnvironmentVariableIsSet("QNT_BENCH_SMOKE"))
        peak->Arg(100);
    else
        peak->Arg(10000)->Arg(100000)->Arg(180000); // the last about 200 MB
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
