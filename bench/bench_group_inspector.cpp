// One colour-scheme change from the group inspector applied to a selection of 1,000 flow-chart
// elements, and its undo; each is one undo step over the whole selection.
#include "inspectors/QntGroupModeInspector.h"

#include "app/common/QntUtils.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

QString g_notationPath;

bool smoke()
{
    return qEnvironmentVariableIsSet("QNT_BENCH_SMOKE");
}

struct Selection {
    explicit Selection(int count)
    {
        document.drawing()->setCurrentNotation(QntNotation::notationWithPath(g_notationPath));
        notation = document.drawing()->currentNotation();
        auto *layer = document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
        const VRObjectRef prototype = notation->shapeElementsList().at(0).prototype;
        VRObjectList all;
        for (int i = 0; i < count; ++i) {
            VRObjectRef element = prototype->copy();
            element->setIsPrototype(false);
            element->setLocation(QPointF(40 + (i % 40) * 60.0, 40 + (i / 40) * 50.0));
            all.append(element);
        }
        layer->addObjectsFromArray(all);
        layer->exchangeSelectionWithObjectsFromArray(all);
        document.drawing()->undoManager()->closeOpenGroups();
        VRInspectorBase::setMainDocumentOverride(&document);
        schemes = notation->colorSchemesList();
    }
    ~Selection() { VRInspectorBase::setMainDocumentOverride(nullptr); }

    VRDrawingDocument document;
    QntNotationRef notation;
    QList<QntColorSchemeData> schemes;
    QntGroupModeInspector inspector;
};

void BM_SchemeChangeOnSelection(benchmark::State &state)
{
    Selection s(smoke() ? 50 : int(state.range(0)));
    VRUndoManager *undo = s.document.drawing()->undoManager();
    int k = 0;
    for (auto _ : state) {
        s.inspector.colorMatrixAction(s.schemes.at(1 + (k++ % (s.schemes.size() - 1))).schemeId);
        state.PauseTiming();
        undo->closeOpenGroups();
        state.ResumeTiming();
    }
}

void BM_UndoSchemeChangeOnSelection(benchmark::State &state)
{
    Selection s(smoke() ? 50 : int(state.range(0)));
    VRUndoManager *undo = s.document.drawing()->undoManager();
    for (auto _ : state) {
        state.PauseTiming();
        s.inspector.colorMatrixAction(s.schemes.at(1).schemeId);
        undo->closeOpenGroups();
        state.ResumeTiming();
        undo->undo();
    }
}

BENCHMARK(BM_SchemeChangeOnSelection)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoSchemeChangeOnSelection)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A private home, so the user's notations and settings are neither read nor changed.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + "/.cache").toUtf8());
    QApplication app(argc, argv);
    registerQntDefaults(UserDefaults::standardUserDefaults());
    (void)QntNotation::copyNotationsFromBundleToAppSupportFolder();
    g_notationPath =
        QntNotation::rootNotationsSrcFolderPath() + QStringLiteral("/FlowChart/FlowChart.db");
    if (!QntNotation::notationWithPath(g_notationPath)) {
        std::fprintf(stderr, "no flow-chart notation installed\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
