// Rendering speed of a drawing of styled shapes joined by connectors, drawn into a 1920 x 1080
// picture (the whole drawing scaled to fit, and 1:1 on the visible part), and the memory an
// opened document costs.
#include "BenchDocument.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/styles/VRStyle.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

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

// The process's resident memory in bytes, as the system counts it.
double residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().simplified().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) : 0;
}

// What opening a document costs the process, measured in a fresh child process so nothing
// the benchmark made before counts: the child reads the document from its file as the
// application does, draws it once as a shown document is drawn, and prints how much its
// resident size (what the system sees), its heap (live blocks plus what the allocator keeps)
// and its live blocks grew.
constexpr char kOpenDocumentArgument[] = "--open-document=";

int openDocumentAndReportGrowth(const QString &path)
{
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        // The running application has drawn text before it opens a document: its fonts are
        // loaded already and do not count.
        QPainter painter(&image);
        painter.drawText(QPointF(10, 20), QStringLiteral("Quintora"));
    }
    malloc_trim(0);
    const double rssBefore = residentBytes();
    const struct mallinfo2 before = mallinfo2();
    VRDrawingDocument document;
    const auto result = document.readFromFile(path);
    if (!result.ok()) {
        QTextStream(stderr) << result.errorMessage() << Qt::endl;
        return 1;
    }
    renderInto(*document.drawing(), image, false);
    const struct mallinfo2 after = mallinfo2();
    const double resident = residentBytes() - rssBefore;
    const double heap = double(after.arena + after.hblkhd) - double(before.arena + before.hblkhd);
    const double live =
        double(after.uordblks + after.hblkhd) - double(before.uordblks + before.hblkhd);
    QTextStream(stdout) << resident << ' ' << heap << ' ' << live << Qt::endl;
    // Closing the document is not measured: the child leaves at once.
    std::fflush(stdout);
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
