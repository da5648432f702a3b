// Editing a shared style: 5,000 objects on a 1920 × 1080 view use one style; each step types a
// new stroke width into the style inspector's width field and lets the view repaint, as a
// user's edit does. The time per step is the time from the edit to the redrawn window.
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/view/VRDrawingView.h"
#include "style/VKStyleInspector.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QScrollArea>

#include <benchmark/benchmark.h>

namespace {

bool smoke()
{
    return qEnvironmentVariableIsSet("QNT_BENCH_SMOKE");
}

void BM_SharedStrokeWidthEdit(benchmark::State &state)
{
    const int count = smoke() ? 200 : int(state.range(0));
    VRDrawing drawing;
    drawing.setDrawingSize(QSizeF(1900, 1060));
    drawing.gridLayer()->setVisible(false);
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    const VRStyleRef style =
        VRStyle::styleWithFillColour(QColor(0xDD, 0xEE, 0xFF), QColor(0x20, 0x50, 0x90), 1.0);
    style->setStyleSharable(true);
    VRObjectList all;
    const int columns = 100;
    for (int i = 0; i < count; ++i) {
        auto shape = VRDrawableShape::shapeWithRect(
            QRectF(10 + (i % columns) * 18.8, 10 + (i / columns) * 20.0, 14, 12));
        shape->setStyle(style);
        all.append(shape);
    }
    layer->addObjectsFromArray(all);
    layer->addObjectToSelection(all.first());

    QScrollArea area;
    auto *view = new VRDrawingView(&drawing);
    area.setWidget(view);
    area.resize(1920, 1080);
    area.show();
    VKStyleInspector inspector(VREmbedded{}, nullptr, &drawing);
    std::unique_ptr<QWidget> panel(inspector.mainView());
    panel->show();
    inspector.redisplayContentForSelection(layer->selection());
    inspector.selectRow(inspector.rowForItem(style->stroke()));
    QApplication::processEvents();

    double width = 1.0;
    for (auto _ : state) {
        width = width == 1.0 ? 3.0 : 1.0;
        inspector.strokeWidthControl()->field()->setValue(width);
        QApplication::processEvents(); // delivers the change and paints
    }
    if (style->stroke()->width() != width)
        state.SkipWithError("the width did not reach the style");
    state.counters["objects"] = count;
    state.counters["painted"] = view->lastPaintedObjectCount();
    panel.reset();
}

} // namespace

BENCHMARK(BM_SharedStrokeWidthEdit)->Arg(5000)->Unit(benchmark::kMillisecond);

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
