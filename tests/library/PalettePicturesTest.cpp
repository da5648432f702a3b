#include "PaletteTestSupport.h"

#include "common/GoldenPicture.h"

#include "library/QntNotationSubGroupItem.h"
#include "library/QntNotationSubgroup.h"
#include "library/QntOutlineView.h"

#include "framework/view/VRObjectCreationTool.h"

#include <QFileInfo>
#include <QApplication>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

// Share of pixels that are not transparent.
double coverage(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    qint64 painted = 0;
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(line[x]) > 0)
                ++painted;
    }
    return argb.isNull() ? 0.0 : double(painted) / (double(argb.width()) * argb.height());
}

// Every item's picture in a grid, group by group, for looking at.
QImage contactSheet(const QntNotationPalette &palette, const QString &title)
{
    constexpr int cell = 96, columns = 8;
    int rows = 1;
    for (const auto &group : palette.notationSubgroups())
        rows += 1 + int((group->children().size() + columns - 1) / columns);
    QImage sheet(columns * cell, rows * cell / 2 + rows * cell / 2, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    int y = 0;
    painter.drawText(QRect(4, y, sheet.width(), 24), Qt::AlignVCenter, title);
    y += 28;
    for (const auto &group : palette.notationSubgroups()) {
        painter.setPen(Qt::darkGray);
        painter.drawText(QRect(4, y, sheet.width(), 20), Qt::AlignVCenter, group->title());
        y += 22;
        int column = 0;
        for (const auto &item : group->children()) {
            const QRect frame(column * cell + 4, y + 4, cell - 8, cell - 8);
            painter.setPen(QColor(230, 230, 230));
            painter.drawRect(frame);
            const QImage image = item->image();
            if (!image.isNull()) {
                QSizeF size = image.size();
                size.scale(QSizeF(frame.size()) * 0.9, Qt::KeepAspectRatio);
                painter.drawImage(
                    QRectF(QPointF(frame.center()) - QPointF(size.width() / 2, size.height() / 2),
                           size),
                    image);
            }
            if (++column == columns) {
                column = 0;
                y += cell;
            }
        }
        if (column)
            y += cell;
    }
    painter.end();
    return sheet.copy(0, 0, sheet.width(), std::min(sheet.height(), y + 8));
}

} // namespace

TEST(PalettePictures, EveryBuiltInNotationRendersItsItems)
{
    preparePaletteEnvironment();
    const QList<QVariantMap> notations = QntNotation::notations();
    ASSERT_FALSE(notations.isEmpty());
    int checked = 0;
    for (const QVariantMap &entry : notations) {
        const QString path = entry.value(QStringLiteral("notationPath")).toString();
        if (path.contains(QLatin1String("/Imported/"))
            || path.contains(QLatin1String("/ImageBank/")))
            continue;
        SCOPED_TRACE(path.toStdString());
        auto document = std::make_unique<VRDrawingDocument>();
        document->drawing()->setCurrentNotation(QntNotation::notationWithPath(path));
        document->drawing()->setHiddenGroupTags({}); // every group
        PaletteHarness h(QString(), std::move(document));
        int items = 0;
        for (const auto &group : h.palette->notationSubgroups()) {
            for (const auto &item : group->children()) {
                if (!item->drawingTool() || !item->drawingTool()->isKindOf<VRObjectCreationTool>())
                    continue;
                ++items;
                const QImage image = item->image();
                ASSERT_FALSE(image.isNull())
                    << group->title().toStdString() << " " << item->title().toStdString();
                EXPECT_GE(image.width(), 4) << item->title().toStdString();
                EXPECT_GE(image.height(), 2) << item->title().toStdString();
                EXPECT_GT(coverage(image), 0.01) << item->title().toStdString();
            }
        }
        EXPECT_GT(items, 0);
        const QString name = QStringLiteral("palette-") + QFileInfo(path).completeBaseName();
        const QImage sheet = contactSheet(*h.palette, QFileInfo(path).completeBaseName());
        sheet.save(QDir(qnt::test::picturesFolder(QStringLiteral("library")))
                       .filePath(name + QStringLiteral(".png")));
        EXPECT_TRUE(qnt::test::matchesGolden(sheet, QStringLiteral("library/") + name));
        ++checked;
    }
    EXPECT_GE(checked, 5);
}

TEST(PalettePictures, DefaultFlowChartPaletteAsShown)
{
    PaletteHarness h;
    h.palette->resize(200, 900);
    h.palette->show();
    QApplication::processEvents();
    const QImage shot = h.palette->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_GT(coverage(shot), 0.5);
    shot.save(QDir(qnt::test::picturesFolder(QStringLiteral("library")))
                  .filePath(QStringLiteral("palette-default-flowchart.png")));
    EXPECT_TRUE(
        qnt::test::matchesGolden(shot, QStringLiteral("library/palette-default-flowchart")));
}
