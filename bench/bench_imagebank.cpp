// The image bank with many pictures (1000; a few dozen in the smoke run): a search through all
// of them, painting one page of the browser, and setting the browser up again with every picture
// already made.
#include "BenchHome.h"
#include "library/ImageBrowserCell.h"
#include "library/ImageBrowserView.h"
#include "library/QntImagesBankController.h"

#include "app/common/QntUtils.h"
#include "framework/notations/QntNotation.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QntImagesBankController *g_bank = nullptr;
int g_pictures = 0;

void fillBank(const QString &folder, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        QImage image(96 + i % 64, 64 + i % 32, QImage::Format_RGB32);
        image.fill(QColor::fromHsv((i * 37) % 360, 160, 220));
        QPainter painter(&image);
        painter.setBrush(QColor::fromHsv((i * 91) % 360, 200, 120));
        painter.drawEllipse(image.rect().adjusted(10, 10, -10, -10));
        painter.end();
        const QString path = QStringLiteral("%1/picture %2.png").arg(folder).arg(i);
        image.save(path);
        paths.push_back(path);
    }
    g_bank->addImagesFromPaths(paths);
}

void BM_ImageBankSearch(benchmark::State &state)
{
    const QStringList searches = {QStringLiteral("7"), QStringLiteral("picture 12"),
                                  QStringLiteral("PICTURE 9"), QString()};
    qsizetype i = 0;
    for (auto _ : state)
        g_bank->searchField()->setText(searches.at(i++ % searches.size()));
    g_bank->searchField()->clear();
    state.counters["pictures"] = g_pictures;
}

void BM_ImageBankPaintPage(benchmark::State &state)
{
    ImageBrowserView *browser = g_bank->imageBrowser();
    browser->doItemsLayout();
    QImage page(browser->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    browser->viewport()->render(&page); // the pictures of this page are scaled once
    const qint64 scaledBefore = browser->cell()->scaledPictureCount();
    for (auto _ : state) {
        browser->viewport()->render(&page);
        benchmark::DoNotOptimize(page.constBits());
    }
    state.counters["pictures on page"] = double(scaledBefore);
    state.counters["scaled/iter"] =
        double(browser->cell()->scaledPictureCount() - scaledBefore) / double(state.iterations());
}

void BM_ImageBankSetUpAgain(benchmark::State &state)
{
    const qint64 madeBefore = QntImagesBankController::thumbnailRenderCount();
    for (auto _ : state)
        g_bank->setupBrowsing();
    state.counters["pictures made/iter"] =
        double(QntImagesBankController::thumbnailRenderCount() - madeBefore)
        / double(state.iterations());
}

BENCHMARK(BM_ImageBankSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageBankPaintPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageBankSetUpAgain)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qnt::bench::usePrivateHome();
    QApplication app(argc, argv);
    registerQntDefaults(UserDefaults::standardUserDefaults());
    (void)QntNotation::copyNotationsFromBundleToAppSupportFolder();
    g_pictures = qEnvironmentVariableIsSet("QNT_BENCH_SMOKE") ? 40 : 1000;
    {
        QntImagesBankController bank(QStringLiteral("QntImagesBank"));
        g_bank = &bank;
        bank.showWindow();
        bank.window()->resize(900, 700);
        bank.setupBrowsing();
        QTemporaryDir pictures;
        fillBank(pictures.path(), g_pictures);
        QApplication::processEvents();
        fprintf(stderr, "image bank: %d pictures\n", bank.numberOfItemsInImageBrowser());
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        g_bank = nullptr;
    }
    return 0;
}
