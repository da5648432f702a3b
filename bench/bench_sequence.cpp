// Sequence layout speed: a diagram of many timelines and messages (with responses, self
// messages, options, loops and alternatives among them) drawn into an empty drawing.
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/sequence/ISDiagram.h"
#include "framework/sequence/QntSequenceLayoutManager.h"
#include "framework/undo/VRUndoManager.h"

#include <QApplication>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

namespace {

bool smoke()
{
    return qEnvironmentVariableIsSet("QNT_BENCH_SMOKE");
}

std::shared_ptr<ISDiagram> diagram(int timelineCount, int messageCount, QVariantMap &titles)
{
    QRandomGenerator rng(7);
    auto d = std::make_shared<ISDiagram>("SequenceDiagram");
    QList<ISTimeline *> timelines;
    for (int t = 0; t < timelineCount; ++t) {
        const QString id = QStringLiteral("T%1").arg(t);
        timelines << d->timelineWithName(id);
        timelines.last()->setID(id);
        titles.insert(id, QStringLiteral("Participant %1").arg(t));
    }
    ISContainer *container = d.get();
    for (int m = 0; m < messageCount; ++m) {
        // Every 25 messages a new frame starts at the top level.
        if (m % 25 == 0) {
            switch ((m / 25) % 4) {
            case 0: container = d->optionWithName(QStringLiteral("Option")); break;
            case 1: container = d->loopWithName(QStringLiteral("Loop"), 3); break;
            case 2: {
                auto *alt = d->alternativeWithName(QStringLiteral("Alternative"));
                alt->alternativeConditionWithName(QStringLiteral("first"));
                container = alt;
                break;
            }
            default: container = d.get(); break;
            }
            container->setID(QStringLiteral("F%1").arg(m));
        }
        ISTimeline *from = timelines[rng.bounded(timelineCount)];
        ISTimeline *to = m % 10 == 9 ? from : timelines[rng.bounded(timelineCount)];
        ISMessage *message =
            container->messageFromTimeline(from, to, QStringLiteral("message %1()").arg(m));
        message->setID(QStringLiteral("M%1").arg(m));
        if (m % 3 == 2)
            message->setLineType(1);
    }
    return d;
}

void BM_SequenceLayout(benchmark::State &state)
{
    const int timelines = smoke() ? 5 : int(state.range(0));
    const int messages = smoke() ? 20 : int(state.range(1));
    QVariantMap titles;
    const auto model = diagram(timelines, messages, titles);
    for (auto _ : state) {
        state.PauseTiming();
        auto drawing = std::make_unique<VRDrawing>();
        state.ResumeTiming();
        QntSequenceLayoutManager manager;
        manager.setDiagram(model);
        const VRObjectList objects = manager.performDrawingOnDrawing(drawing.get(), titles, {});
        benchmark::DoNotOptimize(objects.size());
        state.PauseTiming();
        drawing.reset();
        state.ResumeTiming();
    }
    state.counters["objects"] = double(2 * timelines + messages);
}

} // namespace

BENCHMARK(BM_SequenceLayout)
    ->Args({50, 500})
    ->Args({50, 25000})
    ->Args({10, 100})
    ->Unit(benchmark::kMillisecond);

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
