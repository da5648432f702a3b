// Rendering speed of a drawing of styled shapes joined by connectors, drawn into a 1920 x 1080
// picture (the whole drawing scaled to fit, and 1:1 on the visible part), and the memory the
// application pays to open a document and show it.
#include "BenchDocument.h"
#include "BenchHome.h"
#include "app/launch/QntDocumentController.h"
#include "app/launch/VOReruRerAppDelegate.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/styles/VRStyle.h"
#include "framework/view/VRDrawingView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

bool smoke()
{
    return qEnvironmentVariableIsSet("QNT_BENCH_SMOKE");
}

// count shapes on a grid: every fourth an element; one connector per element to a neighbour.
std::unique_ptr<VRDrawing> makeDrawing(int count)
{
    auto drawing = std::make_unique<VRDrawing>();
    drawing->undoManager()->disableUndoRegistration();
    drawing->gridLayer()->setVisible(false);
    const int cols = int(std::ceil(std::sqrt(count * 16.0 / 9.0)));
    const int rows = (count + cols - 1) / cols;
    drawing->setDrawingSize(QSizeF(cols * 90.0 + 40, rows * 70.0 + 40));
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    QRandomGenerator rng(7);
    VRObjectList objects;
    QList<std::shared_ptr<QntElement>> elements;
    objects.reserve(count);
    for (int k = 0; k < count; ++k) {
        const QRectF frame(20 + (k % cols) * 90.0, 20 + (k / cols) * 70.0, 50 + rng.bounded(20),
                           30 + rng.bounded(15));
        const QColor fill = QColor::fromHsv(int(rng.bounded(360)), 90, 240);
        auto style = VRStyle::styleWithFillColour(fill, fill.darker(180), 1.5);
        if (k % 4 == 0) {
            auto contour =
                VRDrawableShape::shapeWithRect(frame, VRDrawableShape::unitOvalAtOrigin());
            contour->setID(QStringLiteral("contour"));
            contour->setStyle(style);
            auto element =
                QntElement::createWithObjects({contour}, QStringLiteral("bench"), frame.size());
            elements.append(element);
            objects.append(element);
        } else {
            auto shape = VRDrawableShape::shapeWithRect(frame);
            shape->setStyle(style);
            objects.append(shape);
        }
    }
    layer->addObjectsFromArray(objects);
    VRObjectList connectors;
    for (int i = 1; i < elements.size(); ++i) {
        auto connector = std::make_shared<QntConnector>();
        connector->setStyle(VRStyle::styleWithFillColour(QColor(), QColor(40, 40, 40), 1.0));
        layer->addObject(connector);
        elements.at(i - 1)->connectToTargetElement(elements.at(i).get(), connector);
        connectors.append(connector);
    }
    drawing->undoManager()->enableUndoRegistration();
    return drawing;
}

void renderInto(const VRDrawing &drawing, QImage &image, bool fit)
{
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF area(QPointF(), drawing.drawingSize());
    if (fit) {
        const double scale = std::min(image.width() / area.width(), image.height() / area.height());
        painter.scale(scale, scale);
    } else {
        area = QRectF(0, 0, image.width(), image.height());
    }
    drawing.render(painter, area, false);
}

void BM_RenderFit(benchmark::State &state)
{
    auto drawing = makeDrawing(int(state.range(0)));
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        renderInto(*drawing, image, true);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["objects"] = double(state.range(0));
}

void BM_RenderVisiblePart(benchmark::State &state)
{
    auto drawing = makeDrawing(int(state.range(0)));
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        renderInto(*drawing, image, false);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The process's resident memory in bytes (VmRSS), as the system counts it.
double residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() * 1024.0;
    }
    return 0;
}

// Delivers events for a while, so work the application defers (timers, layouts, sections
// built as they come into view) is done.
void deliverEventsFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Notes the first paint of a drawing view.
class DrawingViewPaintWatcher : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && qobject_cast<VRDrawingView *>(watched))
            painted = true;
        return false;
    }
};

// What opening a document costs the user's process, measured in a fresh child process so
// nothing the benchmark made before counts. The child starts as the application starts
// (document controller, application delegate, launch), then opens the document as a file
// named on the command line is opened: read, its window made, shown and painted once. It
// prints how much its resident size (what the system sees), its heap (live blocks plus what
// the allocator keeps) and its live blocks grew.
constexpr char kOpenDocumentArgument[] = "--open-document=";

int openDocumentAndReportGrowth(const QString &path)
{
    QntDocumentController documentController(QCoreApplication::instance());
    VOReruRerAppDelegate::initialize();
    VOReruRerAppDelegate delegate;
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    deliverEventsFor(500);
    // What the allocator holds free at this point is not the document's to reuse.
    malloc_trim(0);
    const double rssBefore = residentBytes();
    const struct mallinfo2 before = mallinfo2();
    DrawingViewPaintWatcher watcher;
    QCoreApplication::instance()->installEventFilter(&watcher);
    delegate.handleOpenFile(path);
    if (documentController.documents().isEmpty()) {
        QTextStream(stderr) << "the document did not open" << Qt::endl;
        return 1;
    }
    QElapsedTimer waited;
    waited.start();
    while (!watcher.painted && waited.elapsed() < 60000)
        deliverEventsFor(20);
    QCoreApplication::instance()->removeEventFilter(&watcher);
    if (!watcher.painted) {
        QTextStream(stderr) << "the document's view was never painted" << Qt::endl;
        return 1;
    }
    deliverEventsFor(500);
    const struct mallinfo2 after = mallinfo2();
    const double resident = residentBytes() - rssBefore;
    const double heap = double(after.arena + after.hblkhd) - double(before.arena + before.hblkhd);
    const double live =
        double(after.uordblks + after.hblkhd) - double(before.uordblks + before.hblkhd);
    QTextStream(stdout) << resident << ' ' << heap << ' ' << live << Qt::endl;
    // Closing the document is not measured: the child leaves at once, with its private home.
    std::fflush(stdout);
    qnt::bench::removePrivateHome();
    _exit(0);
}

void BM_MemoryPerObject(benchmark::State &state)
{
    const int count = int(state.range(0));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("memory.quintora"));
    {
        VRDrawingDocument document;
        document.setDrawing(qnt::bench::makeDocumentDrawing(count));
        if (!document.writeToFile(path).ok()) {
            state.SkipWithError("the document could not be written");
            return;
        }
    }
    double resident = 0, heap = 0, live = 0;
    for (auto _ : state) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QLatin1String(kOpenDocumentArgument) + path});
        if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit
            || child.exitCode() != 0) {
            state.SkipWithError("the child process did not open the document");
            return;
        }
        const QList<QByteArray> figures = child.readAllStandardOutput().simplified().split(' ');
        if (figures.size() != 3) {
            state.SkipWithError("the child process reported nothing");
            return;
        }
        resident = figures[0].toDouble();
        heap = figures[1].toDouble();
        live = figures[2].toDouble();
    }
    state.counters["resident_bytes_per_object"] = resident / count;
    state.counters["heap_bytes_per_object"] = heap / count;
    state.counters["live_bytes_per_object"] = live / count;
    state.counters["resident_growth_MiB"] = resident / (1024.0 * 1024.0);
}

void BM_MemoryPerPlainShape(benchmark::State &state)
{
    const int count = int(state.range(0));
    double perObject = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        VRObjectList shapes;
        shapes.reserve(count);
        auto style = VRStyle::styleWithFillColour(Qt::yellow, Qt::black, 1);
        style->setStyleSharable(true);
        for (int k = 0; k < count; ++k) {
            auto shape = VRDrawableShape::shapeWithRect(QRectF(k, k, 10, 10));
            shape->setStyle(style);
            shapes.append(shape);
        }
        perObject = double(mallinfo2().uordblks - before) / count;
        benchmark::DoNotOptimize(shapes.data());
    }
    state.counters["bytes_per_object"] = perObject;
}

} // namespace

int main(int argc, char **argv)
{
    // The memory child starts the application's launch: the user's settings, notations and
    // image bank are neither read nor changed.
    qnt::bench::usePrivateHome();
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kOpenDocumentArgument, sizeof kOpenDocumentArgument - 1) == 0)
            return openDocumentAndReportGrowth(
                QString::fromLocal8Bit(argv[i] + sizeof kOpenDocumentArgument - 1));
    }
    const QList<int> sizes = smoke() ? QList<int>{50} : QList<int>{1000, 10000};
    for (int n : sizes) {
        benchmark::RegisterBenchmark("BM_RenderFit", BM_RenderFit)
            ->Arg(n)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_RenderVisiblePart", BM_RenderVisiblePart)
            ->Arg(n)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("BM_MemoryPerObject", BM_MemoryPerObject)
        ->Arg(smoke() ? 50 : 10000)
        ->Iterations(1);
    benchmark::RegisterBenchmark("BM_MemoryPerPlainShape", BM_MemoryPerPlainShape)
        ->Arg(smoke() ? 50 : 10000)
        ->Iterations(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
