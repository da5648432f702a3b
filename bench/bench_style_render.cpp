// Style rendering speed: many shapes on a 1920 × 1080 picture, each drawn by its style, for the
// common looks (fill and stroke, gradient, dashed with shadow, text label), plus style copies
// and file records.
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRTextAdornment.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

bool smoke()
{
    return qEnvironmentVariableIsSet("QNT_BENCH_SMOKE");
}

enum class Look { Plain, Gradient, DashedShadow, Text, Arrow };

VRStyleRef styleFor(Look look)
{
    auto style = VRStyle::styleWithFillColour(QColor(250, 240, 200), QColor(40, 40, 40), 1.0);
    switch (look) {
    case Look::Gradient:
        style->fill()->setGradient(
            VRGradient::gradientWithStartingColor(Qt::white, QColor(90, 130, 200), 0, 90));
        break;
    case Look::DashedShadow:
        style->stroke()->setDash(VRStrokeDash::registeredDashes().at(1));
        style->fill()->setShadow(VRStyle::defaultShadow());
        break;
    case Look::Text: {
        auto text = std::make_shared<VRTextAdornment>();
        text->setLabel(QStringLiteral("Label"));
        style->addRenderer(text);
        break;
    }
    case Look::Arrow: {
        style = VRStyle::create();
        auto arrow = std::make_shared<VRArrowStroke>();
        arrow->setArrowHeadAtEnd(1);
        style->addRenderer(arrow);
        break;
    }
    default: break;
    }
    return style;
}

void renderShapes(benchmark::State &state, Look look)
{
    const int count = smoke() ? 50 : static_cast<int>(state.range(0));
    const VRStyleRef style = styleFor(look);
    QList<VRRenderContext> contexts;
    const int columns = 100;
    for (int i = 0; i < count; ++i) {
        const QRectF frame(10 + (i % columns) * 19.0, 10 + (i / columns) * 10.5, 16, 8);
        VRRenderContext context;
        if (look == Look::Arrow) {
            context.path.moveTo(frame.topLeft());
            context.path.lineTo(frame.bottomRight());
        } else {
            context.path.addRect(frame);
        }
        context.bounds = frame;
        contexts.append(context);
    }
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        for (const VRRenderContext &context : std::as_const(contexts))
            style->render(painter, context);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_StyleCopy(benchmark::State &state)
{
    const VRStyleRef style = styleFor(Look::Gradient);
    for (auto _ : state)
        benchmark::DoNotOptimize(style->copy());
}

void BM_StyleRecordRoundTrip(benchmark::State &state)
{
    const VRStyleRef style = styleFor(Look::DashedShadow);
    for (auto _ : state) {
        QJsonObject images;
        const QJsonObject record = style->toJson(images);
        benchmark::DoNotOptimize(VRStyle::fromJson(record, images));
    }
}

BENCHMARK_CAPTURE(renderShapes, plain, Look::Plain)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderShapes, gradient, Look::Gradient)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderShapes, dashedShadow, Look::DashedShadow)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderShapes, text, Look::Text)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(renderShapes, arrow, Look::Arrow)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StyleCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StyleRecordRoundTrip)->Unit(benchmark::kMicrosecond);

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
