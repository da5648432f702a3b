#include "framework/model/QntElementTable.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

TEST(QntElementTable, CommandsFollowTheirPreconditions)
{
    auto table = QntElementTable::tableWithRows(2, 2, QSizeF(40, 20));
    EXPECT_TRUE(table->validateAction("addRow:"));
    EXPECT_TRUE(table->validateAction("removeColumn:"));
    EXPECT_FALSE(table->validateAction("joinCells:"));
    const VRObjectList cells = table->cells();
    table->selectCells({cells.at(0), cells.at(3)}); // diagonal: not a rectangle
    EXPECT_FALSE(table->validateAction("joinCells:"));
    table->selectCells({cells.at(0), cells.at(1), cells.at(2), cells.at(3)});
    EXPECT_TRUE(table->validateAction("joinCells:"));
    table->joinCells();
    EXPECT_EQ(table->cells().size(), 1);
    EXPECT_TRUE(table->validateAction("splitCells:"));
    table->splitCells();
    EXPECT_EQ(table->cells().size(), 4);
    table->selectCells({});
    table->removeRow();
    EXPECT_EQ(table->rowCount(), 1);
    EXPECT_FALSE(table->validateAction("removeRow:"));
    EXPECT_EQ(table->size(), QSizeF(80, 20));
}

// The outer corners are round with the corner radius, whether or not the grid is shown: the
// corner cells' lines and fills do not stick out past the frame.
TEST(QntElementTable, RoundCornersStayRoundUnderTheGrid)
{
    auto table = QntElementTable::tableWithRows(2, 2, QSizeF(100, 50));
    table->setLocation(QPointF(150, 100)); // spans (50, 50) to (250, 150)
    table->setGridColor(Qt::blue);
    table->setGridLineWidth(8);
    table->setRectangleCornerRaduis(30);
    for (const bool grid : {true, false}) {
        table->setShowGrid(grid);
        QImage picture(300, 200, QImage::Format_ARGB32);
        picture.fill(Qt::white);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        table->render(painter);
        painter.end();
        SCOPED_TRACE(grid ? "grid" : "no grid");
        // Beyond the rounded corner: paper.
        for (const QPoint corner :
             {QPoint(52, 52), QPoint(247, 52), QPoint(52, 147), QPoint(247, 147)})
            EXPECT_EQ(picture.pixelColor(corner), QColor(Qt::white)) << corner.x() << corner.y();
        // The frame's straight edges and the rounded edge are drawn.
        EXPECT_EQ(picture.pixelColor(150, 50), QColor(Qt::blue));
        EXPECT_EQ(picture.pixelColor(50, 100), QColor(Qt::blue));
        const QPointF onArc = QPointF(80, 80) - QPointF(30, 30) / std::sqrt(2.0);
        EXPECT_EQ(picture.pixelColor(onArc.toPoint()).blue(), 255);
    }
}
