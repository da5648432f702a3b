#include "framework/document/VRDrawingPrinter.h"

#include "common/QtChildProcess.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRGuideLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>

using qnt::test::childOutput;

namespace {

// A4 with 18-point margins: an imageable area of 559.28 × 805.89 points.
std::unique_ptr<VRDrawing> drawingOfSize(QSizeF size)
{
    auto drawing = std::make_unique<VRDrawing>();
    drawing->undoManager()->disableUndoRegistration();
    drawing->setDrawingSize(size);
    drawing->gridLayer()->setVisible(true);
    drawing->gridLayer()->setShouldDrawToPrinterSilently(false);
    return drawing;
}

class Printing : public ::testing::Test
{
protected:
    // Prints to a PDF file as the print dialog's "Print to File" does; the file's path.
    QString printToPdf(const VRDrawing &drawing, const QString &name)
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageLayout(drawing.printInfo().pageLayout());
        const QString path = m_dir.filePath(name);
        printer.setOutputFileName(path);
        EXPECT_TRUE(VRDrawingPrinter::print(drawing, printer));
        return path;
    }
    static int pages(const QString &pdf)
    {
        const QString info = childOutput(QStringLiteral("pdfinfo"), {pdf});
        const auto match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    }
    // The page rasterised at 72 dots per inch.
    QImage page(const QString &pdf, int number)
    {
        const QString base = m_dir.filePath(QStringLiteral("page%1").arg(number));
        childOutput(QStringLiteral("pdftoppm"),
                    {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"),
                     QString::number(number), QStringLiteral("-l"), QString::number(number),
                     QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, base});
        return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
    }
    // Pixels neither white nor near black: the grid's light lines.
    static int greyPixels(const QImage &image)
    {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                count +=
                    c.red() < 250 && c.red() > 120 && c.red() == c.green() && c.green() == c.blue();
            }
        }
        return count;
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST(PrintingPages, TiledPagesFollowThePageBreaksAndFitGivesOnePage)
{
    struct Case {
        QSizeF drawing;
        int pagination;
        QList<QRectF> pages;
    };
    const QSizeF page(500, 800);
    const Case cases[] = {
        {{400, 600}, 0, {QRectF(0, 0, 400, 600)}},
        {{900, 700}, 0, {QRectF(0, 0, 500, 700), QRectF(500, 0, 400, 700)}},
        {{1000, 1700},
         0,
         {QRectF(0, 0, 500, 800), QRectF(500, 0, 500, 800), QRectF(0, 800, 500, 800),
          QRectF(500, 800, 500, 800), QRectF(0, 1600, 500, 100), QRectF(500, 1600, 500, 100)}},
        // A hair past whole pages starts no page of its own.
        {{1000.000001, 800}, 0, {QRectF(0, 0, 500, 800), QRectF(500, 0, 500, 800)}},
        {{900, 1700}, 1, {QRectF(0, 0, 900, 1700)}},
        {{0, 0}, 0, {}},
    };
    for (const Case &c : cases) {
        auto drawing = drawingOfSize(c.drawing);
        drawing->setPaginationMode(c.pagination);
        const QList<QRectF> pages = VRDrawingPrinter::pageRects(*drawing, page);
        ASSERT_EQ(pages.size(), c.pages.size()) << c.drawing.width() << " " << c.pagination;
        for (qsizetype i = 0; i < pages.size(); ++i) {
            EXPECT_NEAR(pages.at(i).left(), c.pages.at(i).left(), 1e-3);
            EXPECT_NEAR(pages.at(i).top(), c.pages.at(i).top(), 1e-3);
            EXPECT_NEAR(pages.at(i).width(), c.pages.at(i).width(), 1e-3);
            EXPECT_NEAR(pages.at(i).height(), c.pages.at(i).height(), 1e-3);
        }
    }
}

TEST_F(Printing, ATwoPageDrawingPrintsTwoPagesOfItsPaperWithTheGridOnlyWhenFlagged)
{
    // Wider than one A4 imageable area, as tall as one.
    auto drawing = drawingOfSize(QSizeF(900, 700));
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    auto left = VRDrawableShape::shapeWithRect(QRectF(100, 100, 200, 150));
    left->setStyle(VRStyle::styleWithFillColour(QColor(200, 0, 0), Qt::black, 2));
    auto right = VRDrawableShape::shapeWithRect(QRectF(650, 300, 150, 100));
    right->setStyle(VRStyle::styleWithFillColour(QColor(0, 0, 200), Qt::black, 2));
    layer->addObjectsFromArray({left, right});
    layer->exchangeSelectionWithObjectsFromArray({left});
    drawing->guideLayer()->setVisible(true);

    const QString plain = printToPdf(*drawing, QStringLiteral("plain.pdf"));
    EXPECT_EQ(pages(plain), 2);
    const QString info = childOutput(QStringLiteral("pdfinfo"), {plain});
    EXPECT_TRUE(info.contains(
        QRegularExpression(QStringLiteral("Page size:\\s+595(\\.\\d+)? x 84[12](\\.\\d+)? pts"))))
        << info.toStdString();
    // The red shape on the first page, the blue one on the second, each where the page shows
    // its part of the drawing: the imageable area begins 18 points in.
    const QImage first = page(plain, 1);
    const QImage second = page(plain, 2);
    EXPECT_EQ(first.pixelColor(18 + 200, 18 + 175), QColor(200, 0, 0));
    EXPECT_EQ(second.pixelColor(18 + 725 - 559, 18 + 350), QColor(0, 0, 200));
    EXPECT_LT(greyPixels(first), 50);

    drawing->gridLayer()->setShouldDrawToPrinterSilently(true);
    const QString withGrid = printToPdf(*drawing, QStringLiteral("grid.pdf"));
    EXPECT_EQ(pages(withGrid), 2);
    EXPECT_GT(greyPixels(page(withGrid, 1)), 5000);

    drawing->setPaginationMode(1);
    EXPECT_EQ(pages(printToPdf(*drawing, QStringLiteral("fit.pdf"))), 1);
}
