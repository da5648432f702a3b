// Building the notation palette of the largest built-in notation, every group shown, pictures
// included. Cold: every tool's cached picture is dropped first, so each item is rendered
// off-screen; warm: the tools keep their pictures, as on every later rebuild of a document.
#include "BenchHome.h"
#include "library/QntNotationPalette.h"
#include "library/QntNotationSubGroupItem.h"
#include "library/QntNotationSubgroup.h"

#include "app/common/QntUtils.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/notations/QntNotation.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/view/VRToolRegistry.h"
#include "platform/UserDefaults.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

QString g_largestNotation;
int g_largestCount = 0;

int elementCount(const QntNotation &notation)
{
    return int(notation.shapeElementsList().size() + notation.textElementsList().size()
               + notation.shortArrowElementsList().size() + notation.arrowElementsList().size()
               + notation.separatorElementsList().size() + notation.flowChartElementsList().size());
}

void findLargestNotation()
{
    for (const QVariantMap &entry : QntNotation::notations()) {
        const QString path = entry.value(QStringLiteral("notationPath")).toString();
        const QntNotationRef notation = QntNotation::notationWithPath(path);
        if (!notation || !notation->isValid())
            continue;
        const int count = elementCount(*notation);
        if (count > g_largestCount) {
            g_largestCount = count;
            g_largestNotation = path;
        }
    }
}

void dropCachedPictures()
{
    VRToolRegistry &registry = VRToolRegistry::sharedToolRegistry();
    for (const QString &name : registry.toolNames()) {
        VRDrawingTool *tool = registry.drawingToolWithName(name);
        if (tool && tool->isKindOf<VRObjectCreationTool>())
            static_cast<VRObjectCreationTool *>(tool)->setCachedImage(QImage());
    }
}

qint64 buildPalette()
{
    VRDrawingDocument document;
    document.drawing()->setCurrentNotation(QntNotation::notationWithPath(g_largestNotation));
    document.drawing()->setHiddenGroupTags({});
    QntNotationPalette palette(&document);
    palette.loadNotationElements();
    qint64 items = 0;
    for (const auto &group : palette.notationSubgroups())
        items += group->children().size();
    return items;
}

void BM_PaletteCold(benchmark::State &state)
{
    qint64 items = 0;
    const qint64 renderedBefore = QntNotationSubGroupItem::renderedImageCount();
    for (auto _ : state) {
        state.PauseTiming();
        dropCachedPictures();
        state.ResumeTiming();
        items = buildPalette();
    }
    state.counters["items"] = double(items);
    state.counters["renders/iter"] =
        double(QntNotationSubGroupItem::renderedImageCount() - renderedBefore)
        / double(state.iterations());
}

void BM_PaletteWarm(benchmark::State &state)
{
    buildPalette(); // fills the tools' caches
    qint64 items = 0;
    const qint64 renderedBefore = QntNotationSubGroupItem::renderedImageCount();
    for (auto _ : state)
        items = buildPalette();
    state.counters["items"] = double(items);
    state.counters["renders/iter"] =
        double(QntNotationSubGroupItem::renderedImageCount() - renderedBefore)
        / double(state.iterations());
}

BENCHMARK(BM_PaletteCold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaletteWarm)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qnt::bench::usePrivateHome();
    QApplication app(argc, argv);
    registerQntDefaults(UserDefaults::standardUserDefaults());
    (void)QntNotation::copyNotationsFromBundleToAppSupportFolder();
    findLargestNotation();
    if (g_largestNotation.isEmpty()) {
        fprintf(stderr, "no notation installed\n");
        return 1;
    }
    fprintf(stderr, "largest notation: %s (%d elements)\n", qPrintable(g_largestNotation),
            g_largestCount);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
