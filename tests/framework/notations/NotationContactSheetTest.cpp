#include "framework/notations/QntNotation.h"
#include "framework/notations/QntNotationCompiler.h"
#include "framework/notations/QntNotationElementBuilder.h"
#include "common/GoldenPicture.h"

#include "CompiledNotations.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Draws every prototype of every shipped notation on one sheet per notation. Each must draw
// something inside its cell, and each sheet matches its golden (the sheets also go to the test
// pictures for a look).
TEST(NotationContactSheetTest, EveryPrototypeDraws)
{
    QTemporaryDir out;
    const auto written = QntNotationCompiler::compileAll(notationSourceFolder(), out.path());
    ASSERT_TRUE(written.ok()) << written.errorMessage().toStdString();
    const QString keep = qnt::test::picturesFolder(QStringLiteral("contact-sheets"));
    for (const QString &path : *written) {
        QntNotation notation(path);
        ASSERT_TRUE(notation.isValid());
        QList<QntElementRecord> records = notation.allElementsAsPrototypesList();
        ASSERT_FALSE(records.isEmpty()) << path.toStdString();
        const int cell = 110;
        const int columns = 8;
        const int rows = int((records.size() + columns - 1) / columns);
        QImage sheet(columns * cell, rows * (cell + 16), QImage::Format_ARGB32_Premultiplied);
        sheet.fill(Qt::white);
        QPainter painter(&sheet);
        for (int i = 0; i < records.size(); ++i) {
            const QImage image = QntNotationElementBuilder::renderImage(records.at(i).prototype,
                                                                        QSize(cell, cell), 10);
            int opaque = 0;
            for (int y = 0; y < image.height(); y += 2)
                for (int x = 0; x < image.width(); x += 2)
                    opaque += qAlpha(image.pixel(x, y)) > 0;
            EXPECT_GT(opaque, 4) << records.at(i).elementId.toStdString() << " draws nothing";
            const QPoint at((i % columns) * cell, (i / columns) * (cell + 16));
            painter.drawImage(at, image);
            painter.setPen(Qt::darkGray);
            painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 6));
            painter.drawText(QRect(at.x(), at.y() + cell, cell, 16), Qt::AlignCenter,
                             records.at(i).elementId);
        }
        painter.end();
        const QString name = QFileInfo(path).completeBaseName();
        sheet.save(keep + QLatin1Char('/') + name + QStringLiteral(".png"));
        EXPECT_TRUE(qnt::test::matchesGolden(sheet, QStringLiteral("contact-sheets/") + name));
    }
}

} // namespace
