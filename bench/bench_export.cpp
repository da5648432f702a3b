// Exporting drawings of 1,000 and 10,000 styled shapes as PDF, PNG and SVG through the
// document's export command, which writes the file atomically; the file size is reported.
// Beside them, the drawing's SVG data and, for comparison, the same drawing painted on Qt's
// own SVG generator.
#include "app/window/QntDocumentCommands.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/styles/VRStyle.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <QBuffer>
#include <QPainter>
#include <QSvgGenerator>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr qint64 kPDF = -1;
constexpr qint64 kPNG = 4;
constexpr qint64 kSVG = 5;

bool smoke()
{
    return qEnvironmentVariableIsSet("QNT_BENCH_SMOKE");
}

std::unique_ptr<VRDrawing> makeDrawing(int count)
{
    auto drawing = std::make_unique<VRDrawing>();
    drawing->undoManager()->disableUndoRegistration();
    const int cols = int(std::ceil(std::sqrt(double(count))));
    drawing->setDrawingSize(QSizeF(cols * 90.0 + 40, cols * 70.0 + 40));
    VRObjectList objects;
    for (int k = 0; k < count; ++k) {
        const QRectF frame(20 + (k % cols) * 90.0, 20 + (k / cols) * 70.0, 60, 40);
        auto shape =
            VRDrawableShape::shapeWithRect(frame, k % 3 == 0 ? VRDrawableShape::unitOvalAtOrigin()
                                                             : VRDrawableShape::unitRectAtOrigin());
        shape->setStyle(
            VRStyle::styleWithFillColour(QColor::fromHsv(k % 360, 90, 240), Qt::black, 1.0));
        objects.append(shape);
    }
    drawing->activeLayerOfClass<VRObjectDrawingLayer>()->addObjectsFromArray(objects);
    drawing->undoManager()->enableUndoRegistration();
    return drawing;
}

void BM_Export(benchmark::State &state, qint64 type)
{
    const int count = smoke() ? int(state.range(0) / 50) : int(state.range(0));
    QTemporaryDir dir;
    VRDrawingDocument document;
    document.setFilePath(dir.filePath(QStringLiteral("Bench.quintora")));
    document.setDrawing(makeDrawing(count));
    QntDocumentCommands commands(document);
    const QString path = type == kSVG ? dir.path()
                                      : dir.filePath(type == kPNG ? QStringLiteral("bench.png")
                                                                  : QStringLiteral("bench.pdf"));
    QVariantMap options{{kVKExportedFileURL, QUrl::fromLocalFile(path)},
                        {kVRExportPropertiesResolution, 72}};
    // A fixed pixel width keeps the bitmap at a size a user would export.
    if (type == kPNG)
        options.insert(kQntExportedWidth, 2000.0);
    const QString written = type == kSVG ? QDir(path).filePath(QStringLiteral("Bench.svg")) : path;
    for (auto _ : state) {
        if (!commands.performExportType(type, options))
            state.SkipWithError("export failed");
    }
    state.counters["objects"] = count;
    state.counters["file_bytes"] = double(QFileInfo(written).size());
}

// The drawing's SVG data, made in memory.
void BM_SvgData(benchmark::State &state)
{
    const int count = smoke() ? int(state.range(0) / 50) : int(state.range(0));
    const std::unique_ptr<VRDrawing> drawing = makeDrawing(count);
    qint64 bytes = 0;
    for (auto _ : state)
        bytes = drawing->SVGDataWithProperties({}).size();
    state.counters["objects"] = count;
    state.counters["file_bytes"] = double(bytes);
}

// The same drawing painted, as exports paint it, on a plain QSvgGenerator in memory.
void BM_SvgPlainGenerator(benchmark::State &state)
{
    const int count = smoke() ? int(state.range(0) / 50) : int(state.range(0));
    const std::unique_ptr<VRDrawing> drawing = makeDrawing(count);
    const QRectF area(QPointF(), drawing->drawingSize());
    qint64 bytes = 0;
    for (auto _ : state) {
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(area.size().toSize());
        generator.setViewBox(area);
        generator.setResolution(72);
        QPainter painter(&generator);
        painter.fillRect(area, drawing->paperColour());
        drawing->render(painter, area, true, false);
        painter.end();
        bytes = data.size();
    }
    state.counters["objects"] = count;
    state.counters["file_bytes"] = double(bytes);
}

} // namespace

int main(int argc, char **argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    for (const auto &[name, type] :
         {std::pair{"BM_ExportPDF", kPDF}, std::pair{"BM_ExportPNG", kPNG},
          std::pair{"BM_ExportSVG", kSVG}}) {
        const qint64 t = type;
        benchmark::RegisterBenchmark(name, [t](benchmark::State &state) { BM_Export(state, t); })
            ->Arg(1000)
            ->Arg(10000)
            ->Unit(benchmark::kMillisecond);
    }
    for (const auto &[name, function] : {std::pair{"BM_SvgData", &BM_SvgData},
                                         std::pair{"BM_SvgPlainGenerator", &BM_SvgPlainGenerator}})
        benchmark::RegisterBenchmark(name, function)
            ->Arg(1000)
            ->Arg(10000)
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
