#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"

#include "common/GoldenPicture.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {

// The grid over white paper, into a picture, either copied from its row pictures or drawn
// line by line.
QImage paintGrid(const VRGridLayer &grid, double scale, QPointF offset, const QRect &clip,
                 bool roundClip, bool copied)
{
    QImage image(640, 480, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xC9, 0xCD, 0xD3));
    QPainter painter(&image);
    if (roundClip) {
        QPainterPath round;
        round.addEllipse(QRectF(clip));
        painter.setClipPath(round);
    } else if (!clip.isNull()) {
        painter.setClipRect(clip);
    }
    painter.translate(offset);
    painter.scale(scale, scale);
    painter.fillRect(QRectF(QPointF(), grid.drawing()->drawingSize()), Qt::white);
    if (copied)
        grid.renderOnPaper(painter, Qt::white);
    else
        grid.render(painter, false);
    return image;
}

} // namespace

// Copying the grid from its row pictures gives the very pixels of drawing it line by line, at
// any zoom, sub-pixel offset, part of the view (a rectangle or not), colour and spacing; each
// change of these makes new pictures.
TEST(VRGridLayer, CopiedGridMatchesTheGridDrawnLineByLine)
{
    struct Row {
        double scale;
        QPointF offset;
        QRect clip;
        bool roundClip;
        int divisions;
        QColor colour;
    };
    const Row rows[] = {
        {1.0, {0, 0}, {}, false, 5, QColor(0xE5, 0xE5, 0xE5)},
        {1.0, {0, 0}, {}, false, 4, QColor(0xE5, 0xE5, 0xE5)},
        {0.25, {3, 7}, {}, false, 5, QColor(0xE5, 0xE5, 0xE5)},
        {0.37, {0.3, 0.6}, {}, false, 5, QColor(0xE5, 0xE5, 0xE5)},
        {0.37, {0.3, 0.6}, {}, false, 5, QColor(200, 0, 0, 128)},
        {2.0, {-100.5, -40.25}, {50, 40, 300, 200}, false, 5, QColor(0xE5, 0xE5, 0xE5)},
        {0.5, {20.75, 10.5}, {10, 10, 100, 400}, false, 10, QColor(0x30, 0x60, 0xC0)},
        {1.5, {-30.5, 12.25}, {20, 30, 500, 400}, true, 5, QColor(0xE5, 0xE5, 0xE5)},
    };
    VRDrawing drawing;
    drawing.setDrawingSize(QSizeF(1000, 800));
    VRGridLayer *grid = drawing.gridLayer();
    ASSERT_TRUE(grid);
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "scale " << row.scale << ", divisions " << row.divisions);
        ASSERT_TRUE(grid->setDistanceForUnitSpan(grid->unitDistance(), QString(), grid->span(),
                                                 row.divisions, grid->majors(),
                                                 grid->rulerSteps()));
        grid->setGridThemeColour(row.colour);
        const QImage drawn =
            paintGrid(*grid, row.scale, row.offset, row.clip, row.roundClip, false);
        const QImage copied =
            paintGrid(*grid, row.scale, row.offset, row.clip, row.roundClip, true);
        EXPECT_EQ(qnt::test::differingPixels(drawn, copied, 0), 0);
        // Lines were drawn at all: some pixels are neither paper nor the pasteboard.
        int lines = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                lines += drawn.pixel(x, y) != qRgb(255, 255, 255)
                         && drawn.pixel(x, y) != qRgb(0xC9, 0xCD, 0xD3);
        EXPECT_GT(lines, 100);
    }
}
