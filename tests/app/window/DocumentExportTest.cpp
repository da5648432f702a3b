#include "app/window/QntDocumentCommands.h"
#include "app/sheets/QntPageSetupDialog.h"
#include "app/sheets/VKExportOptionsController.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "platform/UserDefaults.h"
#include "common/QtChildProcess.h"
#include "common/SharedStateKeepers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QButtonGroup>
#include <QDoubleSpinBox>
#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QSlider>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using qnt::test::childOutput;

namespace {

class DocumentExport : public ::testing::Test
{
protected:
    // Declared first, so it ends last: the settings the test's windows save go back after them.
    qnt::test::UserDefaultsKeeper m_defaults;
    void SetUp() override
    {
        for (const QString &key : {kQntFileType, kVRExportPropertiesResolution,
                                   kQntCropExportedFile, kQntPNGAlpha, kQntTIFFAlpha})
            UserDefaults::standardUserDefaults().removeObjectForKey(key);
        document = std::make_unique<VRDrawingDocument>();
        document->setFilePath(folder.filePath(QStringLiteral("Plan.qnt")));
        drawing()->setDrawingSize(QSizeF(800, 400));
        auto *layer = drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
        layer->addObject(VRDrawableShape::shapeWithRect(QRectF(100, 100, 200, 100)));
        commands = std::make_unique<QntDocumentCommands>(*document);
        ASSERT_TRUE(folder.isValid());
    }
    void TearDown() override
    {
        commands.reset();
        document.reset();
    }
    VRDrawing *drawing() const { return document->drawing(); }

    // Opens the dialog, picks the format as a user would and returns the controller.
    VKExportOptionsController *openDialogWithFormat(qint64 type)
    {
        commands->exportAction();
        VKExportOptionsController *controller = commands->exportController();
        QComboBox *format = controller->formatPopUpButton();
        format->setCurrentIndex(format->findData(type));
        controller->formatPopUpAction();
        return controller;
    }
    void chooseResolution(VKExportOptionsController *controller, int dpi)
    {
        QComboBox *resolution = controller->resolutionPopUpButton();
        resolution->setCurrentIndex(resolution->findData(dpi));
        controller->resolutionPopUpAction();
    }
    QString finish(VKExportOptionsController *controller, const QString &name)
    {
        const QString path = folder.filePath(name);
        controller->panel()->hide();
        controller->exportPanelDidEnd(1, QUrl::fromLocalFile(path));
        return path;
    }

    QTemporaryDir folder;
    std::unique_ptr<VRDrawingDocument> document;
    std::unique_ptr<QntDocumentCommands> commands;
};

} // namespace

TEST_F(DocumentExport, PNGWidthTypedAt72DotsPerInchKeepsTheAspectRatio)
{
    VKExportOptionsController *controller = openDialogWithFormat(VKExportOptionsController::PNG);
    chooseResolution(controller, 72);
    EXPECT_EQ(controller->widthTextbox()->text(), "800");
    EXPECT_EQ(controller->heightTextbox()->text(), "400");
    controller->widthTextbox()->setText(QStringLiteral("400"));
    emit controller->widthTextbox()->editingFinished();
    EXPECT_EQ(controller->heightTextbox()->text(), "200");
    const QString path = finish(controller, QStringLiteral("plan.png"));
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 400);
    EXPECT_EQ(image.height(), 200);
    EXPECT_TRUE(childOutput(QStringLiteral("file"), {path})
                    .contains(QStringLiteral("PNG image data, 400 x 200")));

    // Typing the height works the other way round.
    controller = openDialogWithFormat(VKExportOptionsController::PNG);
    controller->heightTextbox()->setText(QStringLiteral("100"));
    emit controller->heightTextbox()->editingFinished();
    EXPECT_EQ(controller->widthTextbox()->text(), "200");
}

TEST_F(DocumentExport, ResolutionScalesThePointSize)
{
    VKExportOptionsController *controller = openDialogWithFormat(VKExportOptionsController::PNG);
    chooseResolution(controller, 300);
    EXPECT_TRUE(controller->widthTextbox()->isHidden());
    const QString path = finish(controller, QStringLiteral("plan300.png"));
    EXPECT_EQ(controller->options().value(kQntExportedWidth).toDouble(), 0.0);
    const QImage image(path);
    EXPECT_EQ(image.width(), qRound(800 * 300 / 72.0));
    EXPECT_EQ(image.height(), qRound(400 * 300 / 72.0));
    // The next dialog starts at the resolution used.
    EXPECT_EQ(UserDefaults::standardUserDefaults().integerForKey(kVRExportPropertiesResolution),
              300);
}

TEST_F(DocumentExport, PDFJPEGAndTIFFOpenInOutsideToolsWithTheirOptions)
{
    VKExportOptionsController *controller = openDialogWithFormat(VKExportOptionsController::PDF);
    EXPECT_EQ(controller->resolutionPopUpButton()->currentData().toInt(), 300);
    EXPECT_FALSE(controller->resolutionPopUpButton()->isEnabled());
    const QString pdf = finish(controller, QStringLiteral("plan.pdf"));
    const QString info = childOutput(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(info.contains(QStringLiteral("Pages:"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("800 x 400 pts"))) << info.toStdString();
    // Looking at PDF does not change the remembered bitmap resolution.
    EXPECT_FALSE(
        UserDefaults::standardUserDefaults().objectForKey(kVRExportPropertiesResolution).isValid()
        && UserDefaults::standardUserDefaults().integerForKey(kVRExportPropertiesResolution)
               == 300);

    controller = openDialogWithFormat(VKExportOptionsController::JPEG);
    EXPECT_EQ(controller->jpegQualitySlider()->value(), 67);
    controller->jpegProgressiveCheckbox()->click();
    const QString jpeg = finish(controller, QStringLiteral("plan.jpg"));
    const QString jpegInfo = childOutput(QStringLiteral("file"), {jpeg});
    EXPECT_TRUE(jpegInfo.contains(QStringLiteral("JPEG image data"))) << jpegInfo.toStdString();
    EXPECT_TRUE(jpegInfo.contains(QStringLiteral("progressive"))) << jpegInfo.toStdString();
    EXPECT_TRUE(jpegInfo.contains(QStringLiteral("800x400"))) << jpegInfo.toStdString();

    controller = openDialogWithFormat(VKExportOptionsController::TIFF);
    QComboBox *compression = controller->tiffCompressionPopUpButton();
    compression->setCurrentIndex(compression->findText(QStringLiteral("LZW")));
    controller->tiffCompressionAction();
    controller->tiffAlphaCheckbox()->click();
    const QString tiff = finish(controller, QStringLiteral("plan.tiff"));
    const QString tiffInfo = childOutput(QStringLiteral("file"), {tiff});
    EXPECT_TRUE(tiffInfo.contains(QStringLiteral("TIFF image data"))) << tiffInfo.toStdString();
    EXPECT_TRUE(tiffInfo.contains(QStringLiteral("LZW"))) << tiffInfo.toStdString();
    const QImage tiffImage(tiff);
    EXPECT_TRUE(tiffImage.hasAlphaChannel());
    EXPECT_EQ(qAlpha(tiffImage.pixel(5, 5)), 0);
    EXPECT_EQ(UserDefaults::standardUserDefaults().integerForKey(kQntFileType),
              VKExportOptionsController::TIFF);
}

TEST_F(DocumentExport, SVGIsNamedAfterTheDocumentAndLeavesTheGridOptionAvailable)
{
    commands->exportSVGAction();
    VKExportOptionsController *controller = commands->exportController();
    EXPECT_FALSE(controller->includeGridCheckbox()->isEnabled());
    EXPECT_EQ(controller->panel()->fileMode(), QFileDialog::Directory);
    controller->panel()->hide();
    controller->exportPanelDidEnd(1, QUrl::fromLocalFile(folder.path()));
    const QString svg = folder.filePath(QStringLiteral("Plan.svg"));
    ASSERT_TRUE(QFile::exists(svg));
    const QString parsed = childOutput(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral(
             "import sys, xml.etree.ElementTree as E; r = E.parse(sys.argv[1]).getroot(); "
             "print(r.tag, r.get('viewBox'))"),
         svg});
    EXPECT_TRUE(parsed.startsWith(QStringLiteral("{http://www.w3.org/2000/svg}svg")))
        << parsed.toStdString();
    EXPECT_TRUE(parsed.contains(QStringLiteral("0 0 800 400"))) << parsed.toStdString();
    EXPECT_EQ(UserDefaults::standardUserDefaults().integerForKey(kQntFileType),
              VKExportOptionsController::SVG);

    // The next save dialog offers no SVG: it starts on its own first format with the grid box
    // usable.
    commands->exportAction();
    EXPECT_NE(controller->fileType(), VKExportOptionsController::SVG);
    EXPECT_TRUE(controller->includeGridCheckbox()->isEnabled());
    controller->panel()->hide();
}

TEST_F(DocumentExport, IncludedGridIsDrawnAndThePrintFlagIsKept)
{
    VRGridLayer *grid = drawing()->gridLayer();
    ASSERT_NE(grid, nullptr);
    grid->setShouldDrawToPrinterSilently(false);
    auto countGridPixels = [](const QImage &image) {
        int count = 0;
        for (int y = 250; y < 400; ++y)
            for (int x = 400; x < 800; ++x)
                count += image.pixel(x, y) != qRgb(255, 255, 255);
        return count;
    };
    VKExportOptionsController *controller = openDialogWithFormat(VKExportOptionsController::PNG);
    const QString plain = finish(controller, QStringLiteral("plain.png"));
    EXPECT_EQ(countGridPixels(QImage(plain).convertToFormat(QImage::Format_RGB32)), 0);

    controller = openDialogWithFormat(VKExportOptionsController::PNG);
    controller->includeGridCheckbox()->click();
    const QString withGrid = finish(controller, QStringLiteral("grid.png"));
    EXPECT_GT(countGridPixels(QImage(withGrid).convertToFormat(QImage::Format_RGB32)), 100);
    EXPECT_FALSE(grid->shouldDrawToPrinter());

    grid->setShouldDrawToPrinterSilently(true);
    controller = openDialogWithFormat(VKExportOptionsController::PDF);
    finish(controller, QStringLiteral("grid.pdf"));
    EXPECT_TRUE(grid->shouldDrawToPrinter());
}

TEST_F(DocumentExport, AFolderThatCannotBeWrittenShowsAnError)
{
    // A plain file where a folder should be: nobody, not even an administrator, can write there.
    QFile blocker(folder.filePath(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    VKExportOptionsController *controller = openDialogWithFormat(VKExportOptionsController::PNG);
    controller->panel()->hide();
    controller->exportPanelDidEnd(
        1, QUrl::fromLocalFile(folder.filePath(QStringLiteral("not-a-folder/plan.png"))));
    QMessageBox *alert = commands->errorAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(alert->isVisible());
    EXPECT_TRUE(alert->text().contains(QStringLiteral("plan.png")));
    alert->close();

    // Nothing to export is not reported as success either.
    QVariantMap options{
        {kVKExportedFileURL, QUrl::fromLocalFile(folder.filePath(QStringLiteral("empty.png")))},
        {kQntCropExportedFile, true}};
    auto *layer = drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    layer->removeObjectsInArray(VRObjectList(layer->objects()));
    EXPECT_FALSE(commands->performExportType(VKExportOptionsController::PNG, options));
    ASSERT_NE(commands->errorAlert(), nullptr);
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("empty.png"))));
}

TEST_F(DocumentExport, AnExportThatMakesNoImageSaysWhy)
{
    // 800 × 400 points: at 72 dpi a small picture; past the pixel limit at a huge resolution or
    // with a huge page; nothing to show when cropped to no objects.
    struct Case {
        const char *name;
        QSizeF page;
        QVariantMap options;
        bool cleared;
        QSize pixels; // named in the message when not empty
        const char *reason;
    };
    const Case cases[] = {
        {"huge resolution",
         QSizeF(800, 400),
         {{kVRExportPropertiesResolution, 7200}},
         false,
         QSize(80000, 40000),
         "is larger than can be made"},
        {"huge page",
         QSizeF(60000, 50000),
         {},
         false,
         QSize(60000, 50000),
         "is larger than can be made"},
        {"huge pixel width",
         QSizeF(800, 400),
         {{kQntExportedWidth, 100000}},
         false,
         QSize(100000, 50000),
         "is larger than can be made"},
        {"nothing in the crop",
         QSizeF(800, 400),
         {{kQntCropExportedFile, true}},
         true,
         QSize(),
         "nothing to export"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        drawing()->setDrawingSize(c.page);
        if (c.cleared) {
            auto *layer = drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
            layer->removeObjectsInArray(VRObjectList(layer->objects()));
        }
        for (const qint64 type :
             {qint64(VKExportOptionsController::PNG), qint64(VKExportOptionsController::TIFF)}) {
            const QString path = folder.filePath(QStringLiteral("big-%1.img").arg(type));
            QVariantMap options = c.options;
            options.insert(kVKExportedFileURL, QUrl::fromLocalFile(path));
            EXPECT_FALSE(commands->performExportType(type, options));
            QMessageBox *alert = commands->errorAlert();
            ASSERT_NE(alert, nullptr);
            const QString said = alert->informativeText();
            EXPECT_TRUE(said.contains(QString::fromUtf8(c.reason))) << said.toStdString();
            if (!c.pixels.isEmpty()) {
                const QString size = QStringLiteral("%1 × %2").arg(
                    QLocale().toString(c.pixels.width()), QLocale().toString(c.pixels.height()));
                EXPECT_TRUE(said.contains(size)) << said.toStdString();
            }
            EXPECT_FALSE(QFile::exists(path));
            QFile::remove(path);
            alert->close();
        }
    }
}

TEST_F(DocumentExport, OtherFormatTagsExportPDF)
{
    const QString path = folder.filePath(QStringLiteral("tag2.pdf"));
    ASSERT_TRUE(commands->performExportType(2, {{kVKExportedFileURL, QUrl::fromLocalFile(path)}}));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");
}

TEST_F(DocumentExport, TheInterlacedBoxWritesAnInterlacedPNG)
{
    for (const bool interlaced : {true, false}) {
        SCOPED_TRACE(interlaced);
        VKExportOptionsController *controller =
            openDialogWithFormat(VKExportOptionsController::PNG);
        QCheckBox *box = controller->pngInterlaceCheckbox();
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isEnabled());
        if (box->isChecked() != interlaced)
            box->click();
        const QString path = finish(controller, QStringLiteral("plan-%1.png").arg(interlaced));
        const QString info = childOutput(QStringLiteral("file"), {path});
        EXPECT_TRUE(info.contains(interlaced ? QStringLiteral(", interlaced")
                                             : QStringLiteral(", non-interlaced")))
            << info.toStdString();
        const QImage image(path);
        EXPECT_EQ(image.size(), QSize(800, 400));
    }
}

namespace {

QByteArray head(const QString &path, int bytes)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(bytes) : QByteArray();
}

void answer(QMessageBox *alert, bool replace)
{
    ASSERT_NE(alert, nullptr);
    for (QAbstractButton *button : alert->buttons()) {
        if ((alert->buttonRole(button) == QMessageBox::DestructiveRole) == replace) {
            button->click();
            return;
        }
    }
    FAIL() << "no button to answer with";
}

} // namespace

TEST_F(DocumentExport, TheFileExtensionFollowsTheFormat)
{
    struct Case {
        const char *typed;
        qint64 type;
        const char *written;
        QByteArray magic;
    };
    const Case cases[] = {
        {"plan.png", VKExportOptionsController::PDF, "plan.pdf", "%PDF-"},
        {"plan", VKExportOptionsController::PNG, "plan.png", "\x89PNG"},
        {"plan.pdf", VKExportOptionsController::PNG, "plan.png", "\x89PNG"},
        {"plan.JPEG", VKExportOptionsController::JPEG, "plan.JPEG", "\xff\xd8\xff"},
        {"plan.tif", VKExportOptionsController::TIFF, "plan.tif", "II*"},
        {"plan.svg", VKExportOptionsController::JPEG, "plan.jpg", "\xff\xd8\xff"},
        {"plan.v2", VKExportOptionsController::PNG, "plan.v2.png", "\x89PNG"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        QTemporaryDir dir;
        VKExportOptionsController *controller = openDialogWithFormat(c.type);
        controller->panel()->hide();
        controller->exportPanelDidEnd(
            1, QUrl::fromLocalFile(dir.filePath(QString::fromLatin1(c.typed))));
        EXPECT_EQ(controller->replaceAlert(), nullptr);
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        EXPECT_EQ(files, QStringList{QString::fromLatin1(c.written)});
        EXPECT_TRUE(head(dir.filePath(QString::fromLatin1(c.written)), 8).startsWith(c.magic));
    }
}

TEST_F(DocumentExport, ReplacingAFileTheChooserDidNotAskAboutIsAsked)
{
    // An SVG goes into the folder chosen under the document's name.
    const QString svg = folder.filePath(QStringLiteral("Plan.svg"));
    {
        QFile old(svg);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("keep me");
    }
    commands->exportSVGAction();
    VKExportOptionsController *controller = commands->exportController();
    controller->panel()->hide();
    controller->exportPanelDidEnd(1, QUrl::fromLocalFile(folder.path()));
    ASSERT_NE(controller->replaceAlert(), nullptr);
    EXPECT_TRUE(controller->replaceAlert()->isVisible());
    EXPECT_TRUE(controller->replaceAlert()->text().contains(QStringLiteral("Plan.svg")));
    answer(controller->replaceAlert(), false);
    EXPECT_EQ(head(svg, 100), QByteArray("keep me"));

    commands->exportSVGAction();
    controller->panel()->hide();
    controller->exportPanelDidEnd(1, QUrl::fromLocalFile(folder.path()));
    answer(controller->replaceAlert(), true);
    EXPECT_TRUE(head(svg, 100).startsWith("<?xml"));

    // A name whose extension changed names a file the chooser did not ask about either.
    const QString pdf = folder.filePath(QStringLiteral("plan.pdf"));
    {
        QFile old(pdf);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("keep me");
    }
    controller = openDialogWithFormat(VKExportOptionsController::PDF);
    controller->panel()->hide();
    controller->exportPanelDidEnd(1,
                                  QUrl::fromLocalFile(folder.filePath(QStringLiteral("plan.png"))));
    answer(controller->replaceAlert(), false);
    EXPECT_EQ(head(pdf, 100), QByteArray("keep me"));
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("plan.png"))));
}

TEST_F(DocumentExport, FileMenuPrintsAndSetsUpPagesThroughTheDrawingsPaper)
{
    QMenuBar bar;
    commands->addMenus(&bar);
    QAction *print = bar.findChild<QAction *>(QStringLiteral("printAction"));
    QAction *pageSetup = bar.findChild<QAction *>(QStringLiteral("pageSetupAction"));
    ASSERT_NE(print, nullptr);
    ASSERT_NE(pageSetup, nullptr);
    EXPECT_EQ(print->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_EQ(print->text(), QStringLiteral("&Print…"));

    // Page Setup: the paper chosen becomes the drawing's, which its page breaks follow.
    pageSetup->trigger();
    auto *setup = qobject_cast<QntPageSetupDialog *>(commands->printDialog());
    ASSERT_NE(setup, nullptr);
    EXPECT_EQ(setup->paperPopUp()->currentText(), QStringLiteral("A4"));
    setup->orientationButtons()->button(QPageLayout::Landscape)->click();
    setup->marginBox(0)->setValue(20.0);
    setup->accept();
    EXPECT_EQ(drawing()->printInfo().pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_NEAR(drawing()->printInfo().imageablePageBounds().top(), 20.0 * 72 / 25.4, 0.5);

    // Print: the dialog offers the drawing's pages (1000 × 400 points on landscape A4 with
    // 18-point margins, 806 points wide inside them: two pages) and prints them on its paper.
    drawing()->setDrawingSize(QSizeF(1000, 400));
    print->trigger();
    auto *dialog = qobject_cast<QPrintDialog *>(commands->printDialog());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->maxPage(), 2);
    EXPECT_EQ(dialog->printer()->pageLayout().orientation(), QPageLayout::Landscape);
    const QString pdf = folder.filePath(QStringLiteral("printed.pdf"));
    dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
    dialog->printer()->setOutputFileName(pdf);
    // Accepted as it stands (accept() would first take the printer chosen on screen).
    dialog->done(QDialog::Accepted);
    const QString info = childOutput(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+84[12]"))))
        << info.toStdString();
}

TEST_F(DocumentExport, EachDialogEmptiesTheFormatsFromTheLastBeforeOfferingItsOwn)
{
    commands->exportAction();
    VKExportOptionsController *controller = commands->exportController();
    QComboBox *format = controller->formatPopUpButton();
    ASSERT_EQ(format->count(), 4);
    controller->panel()->hide();
    QList<int> removed;
    QObject::connect(format->model(), &QAbstractItemModel::rowsAboutToBeRemoved,
                     [&](const QModelIndex &, int first, int) { removed << first; });
    const struct {
        bool svg;
        QList<int> removed;
        QStringList offered;
    } cases[] = {
        {true, {3, 2, 1, 0}, {"SVG"}},
        {false, {0}, {"PDF", "TIFF", "JPEG", "PNG"}},
        {false, {3, 2, 1, 0}, {"PDF", "TIFF", "JPEG", "PNG"}},
    };
    for (const auto &c : cases) {
        removed.clear();
        if (c.svg)
            commands->exportSVGAction();
        else
            commands->exportAction();
        EXPECT_EQ(removed, c.removed);
        QStringList offered;
        for (int i = 0; i < format->count(); ++i)
            offered << format->itemText(i);
        EXPECT_EQ(offered, c.offered);
        controller->panel()->hide();
    }
}
