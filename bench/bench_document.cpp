// Saving and reading a native document of 10,000 styled objects (shapes, elements and
// connectors), through the same serialiser and atomic file writes the application uses.
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/archive/VRArchiver.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/styles/VRStyle.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

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
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    VRObjectList objects;
    QList<std::shared_ptr<QntElement>> elements;
    const int shapes = count * 4 / 5;
    for (int k = 0; k < shapes; ++k) {
        const QRectF frame(20 + (k % cols) * 90.0, 20 + (k / cols) * 70.0, 60, 40);
        auto style =
            VRStyle::styleWithFillColour(QColor::fromHsv(k % 360, 90, 240), Qt::black, 1.0);
        if (k % 2 == 0) {
            auto contour = VRDrawableShape::shapeWithRect(frame);
            contour->setID(QStringLiteral("contour"));
            contour->setStyle(style);
            auto element =
                QntElement::createWithObjects({contour}, QStringLiteral("e"), frame.size());
            element->addTextShape();
            element->text()->setString(QStringLiteral("Element %1").arg(k));
            elements.append(element);
            objects.append(element);
        } else {
            auto shape = VRDrawableShape::shapeWithRect(frame);
            shape->setStyle(style);
            shape->setString(QStringLiteral("value %1").arg(k), QStringLiteral("note"));
            objects.append(shape);
        }
    }
    layer->addObjectsFromArray(objects);
    for (int i = 1; i < elements.size() && shapes + i <= count; ++i) {
        auto connector = std::make_shared<QntConnector>();
        connector->setStyle(VRStyle::styleWithFillColour(QColor(), QColor(40, 40, 40), 1.0));
        layer->addObject(connector);
        elements.at(i - 1)->connectToTargetElement(elements.at(i).get(), connector);
    }
    drawing->undoManager()->enableUndoRegistration();
    return drawing;
}

int objectCount()
{
    return smoke() ? 100 : 10000;
}

void BM_SaveDocument(benchmark::State &state)
{
    QTemporaryDir dir;
    VRDrawingDocument document;
    document.setDrawing(makeDrawing(objectCount()));
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

void BM_LoadDocument(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.quintora"));
    {
        VRDrawingDocument document;
        document.setDrawing(makeDrawing(objectCount()));
        document.writeToFile(path);
    }
    for (auto _ : state) {
        auto document = std::make_unique<VRDrawingDocument>();
        const auto result = document->readFromFile(path);
        if (!result.ok())
            state.SkipWithError(result.errorMessage().toUtf8().constData());
        benchmark::DoNotOptimize(document->drawing());
        // Opening is what the user waits for; closing the document is not part of it.
        state.PauseTiming();
        document.reset();
        state.ResumeTiming();
    }
    state.counters["objects"] = objectCount();
}

void BM_SerialiseOnly(benchmark::State &state)
{
    auto drawing = makeDrawing(objectCount());
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
        document.setDrawing(makeDrawing(objectCount()));
        return document.writeToFile(out).ok() ? 0 : 1;
    }
    benchmark::RegisterBenchmark("BM_SaveDocument", BM_SaveDocument)->Unit(benchmark::kMillisecond);
    // Large documents are parsed on worker threads as well: the CPU column counts the whole
    // process, the time column what the user waits.
    benchmark::RegisterBenchmark("BM_LoadDocument", BM_LoadDocument)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_SerialiseOnly", BM_SerialiseOnly)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
