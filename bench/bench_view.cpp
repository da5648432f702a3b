// Redraw speed of the drawing view on a large drawing at 1920x1080: a generated drawing of
// 10,000 objects (boxes, ovals, lines), at 100 % and zoomed out to 25 %. Every iteration waits for
// one painted frame of the view, so the time per iteration is what a user waits for a frame.
#include "framework/view/VRDrawingView.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/VRStyle.h"

#include <QApplication>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QScrollBar>

#include <benchmark/benchmark.h>

namespace {

bool smoke()
{
    return qEnvironmentVariableIsSet("QNT_BENCH_SMOKE");
}

// Counts the paint events the view receives.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

struct Scene {
    std::unique_ptr<VRDrawing> drawing;
    std::unique_ptr<QScrollArea> area;
    VRDrawingView *view = nullptr;
    PaintCounter counter;
    int objects = 0;
    int panX = 1, panY = 1;

    explicit Scene(int count)
        : objects(count)
    {
        drawing = std::make_unique<VRDrawing>();
        const int cols = 100;
        const int rows = (count + cols - 1) / cols;
        drawing->setDrawingSize(QSizeF(cols * 120.0 + 100, rows * 90.0 + 100));
        auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
        QRandomGenerator rng(7);
        const QList<VRStyleRef> styles{
            VRStyle::styleWithFillColour(QColor(0xFF, 0xF4, 0xD6), QColor(0x80, 0x60, 0x20), 1.0),
            VRStyle::styleWithFillColour(QColor(0xDD, 0xEE, 0xFF), QColor(0x20, 0x50, 0x90), 1.5),
            VRStyle::styleWithFillColour(QColor(0xE4, 0xF7, 0xE4), QColor(0x30, 0x70, 0x30), 1.0),
        };
        const VRStyleRef lineStyle =
            VRStyle::styleWithFillColour(Qt::transparent, Qt::darkGray, 1.0);
        VRObjectList all;
        for (int k = 0; k < count; ++k) {
            const double x = 50 + (k % cols) * 120 + rng.bounded(20);
            const double y = 50 + (k / cols) * 90 + rng.bounded(20);
            VRObjectRef o;
            if (k % 10 == 9) {
                QPainterPath p(QPointF(x, y));
                p.lineTo(x + 80, y + 40);
                o = VRDrawablePath::drawablePathWithBezierPath(p);
                o->setStyle(lineStyle);
            } else {
                auto shape = VRDrawableShape::shapeWithRect(
                    QRectF(x, y, 70 + rng.bounded(20), 40 + rng.bounded(15)),
                    k % 3 == 0 ? VRDrawableShape::unitOvalAtOrigin()
                               : VRDrawableShape::unitRectAtOrigin());
                shape->setStyle(styles[k % styles.size()]);
                o = shape;
            }
            all.push_back(o);
        }
        layer->addObjectsFromArray(all);
        if (qEnvironmentVariableIsSet("QNT_BENCH_NO_GRID"))
            drawing->gridLayer()->setVisible(false);
        area = std::make_unique<QScrollArea>();
        view = new VRDrawingView(drawing.get());
        area->setWidget(view);
        area->resize(1920, 1080);
        view->installEventFilter(&counter);
        area->show();
        QApplication::processEvents();
    }
    ~Scene()
    {
        view->removeEventFilter(&counter);
        delete area->takeWidget();
    }

    // Delivers events until the view has painted one more frame (a change is painted from a
    // deferred update, so one pass of the event loop is not enough). False if nothing painted.
    bool waitForFrame()
    {
        const int before = counter.paints;
        for (int k = 0; k < 1000 && counter.paints == before; ++k)
            QApplication::processEvents();
        return counter.paints != before;
    }

    // One pan step of a fast pan: far enough that what scrolls into view lies beyond the margin
    // the view keeps drawn around the visible part, so every step draws objects. The view
    // scrolls as the pan tool scrolls it.
    bool panStep()
    {
        // Back and forth between the ends of the drawing: turn round where a step would stop.
        const auto next = [](QScrollBar *bar, int &direction, int step) {
            if (bar->value() + direction * step > bar->maximum()
                || bar->value() + direction * step < bar->minimum())
                direction = -direction;
            return direction * step;
        };
        const int dx = next(area->horizontalScrollBar(), panX, 300);
        const int dy = next(area->verticalScrollBar(), panY, 150);
        view->scrollByPixels(QPointF(dx, dy));
        return waitForFrame();
    }
};

int objectCount()
{
    return smoke() ? 500 : 10000;
}

void BM_PanRedraw(benchmark::State &state)
{
    Scene scene(objectCount());
    scene.view->setScale(state.range(0) / 100.0);
    scene.view->scrollPointToCentre(QPointF(scene.drawing->drawingSize().width() / 2,
                                            scene.drawing->drawingSize().height() / 2));
    QApplication::processEvents();
    double painted = 0;
    for (auto _ : state) {
        if (!scene.panStep()) {
            state.SkipWithError("the view painted no frame");
            return;
        }
        painted += scene.view->lastPaintedObjectCount();
    }
    state.counters["objects"] = scene.objects;
    state.counters["paintedPerFrame"] =
        painted / std::max<benchmark::IterationCount>(1, state.iterations());
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// Everything on screen drawn again (the drawing changed as a whole: paper, layers, undo).
void BM_FullRedraw(benchmark::State &state)
{
    Scene scene(objectCount());
    scene.view->setScale(state.range(0) / 100.0);
    scene.view->scrollPointToCentre(QPointF(scene.drawing->drawingSize().width() / 2,
                                            scene.drawing->drawingSize().height() / 2));
    QApplication::processEvents();
    for (auto _ : state) {
        scene.drawing->setNeedsDisplay(true);
        if (!scene.waitForFrame()) {
            state.SkipWithError("the view painted no frame");
            return;
        }
    }
    state.counters["paintedPerFrame"] = scene.view->lastPaintedObjectCount();
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// Dragging one object with the select tool: each mouse move moves it and repaints the view.
void BM_DragObject(benchmark::State &state)
{
    Scene scene(objectCount());
    scene.view->setScale(state.range(0) / 100.0);
    const QPointF centre(scene.drawing->drawingSize().width() / 2,
                         scene.drawing->drawingSize().height() / 2);
    scene.view->scrollPointToCentre(centre);
    QApplication::processEvents();
    auto *layer = scene.drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    VRObjectRef target = layer->hitTest(centre);
    for (int k = 0; !target && k < 200; ++k)
        target = layer->hitTest(centre + QPointF(k * 3, k * 2));
    if (!target) {
        state.SkipWithError("no object under the centre");
        return;
    }
    const QPointF start = target->logicalBounds().center();
    auto send = [&](QEvent::Type type, QPointF drawingPoint, Qt::MouseButtons buttons) {
        const QPointF pos = scene.view->mapFromDrawing(drawingPoint);
        QMouseEvent event(type, pos, scene.view->mapToGlobal(pos), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(scene.view, &event);
    };
    send(QEvent::MouseButtonPress, start, Qt::LeftButton);
    int step = 0;
    double painted = 0;
    for (auto _ : state) {
        const int k = ++step % 40; // a back-and-forth drag; no two moves in a row are equal
        const double dx = 10.0 * (k < 20 ? k : 40 - k);
        send(QEvent::MouseMove, start + QPointF(dx, dx / 2), Qt::LeftButton);
        if (!scene.waitForFrame()) {
            state.SkipWithError("the view painted no frame");
            return;
        }
        painted += scene.view->lastPaintedObjectCount();
    }
    send(QEvent::MouseButtonRelease, start, Qt::NoButton);
    state.counters["paintedPerFrame"] =
        painted / std::max<benchmark::IterationCount>(1, state.iterations());
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_PanRedraw)->Arg(100)->Arg(25)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullRedraw)->Arg(100)->Arg(25)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragObject)->Arg(100)->Arg(25)->Unit(benchmark::kMillisecond);

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
