#include "app/window/OXOverlayWindow.h"

#include "app/window/OXOverlayView.h"

#include <QPainterPath>
#include <QRegion>

#include <gtest/gtest.h>

// Where the window's pixels are blended it needs no mask; where they are not, the mask is the
// bezel's rounded rectangle: its inside shown, the rounded-off corners and the surround not.
TEST(OXOverlayWindowTest, UnblendedMaskIsTheBezel)
{
    struct Case {
        QRect bezel;
        double radius;
    };
    const Case cases[] = {{QRect(50, 40, 200, 80), 10.0},
                          {QRect(0, 0, 120, 120), 25.0},
                          {QRect(10, 10, 300, 30), 0.0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.radius);
        EXPECT_TRUE(OXOverlayWindow::maskFor(c.bezel, c.radius, true).isEmpty());
        const QRegion mask = OXOverlayWindow::maskFor(c.bezel, c.radius, false);
        QPainterPath bezel;
        bezel.addRoundedRect(QRectF(c.bezel), c.radius, c.radius);
        EXPECT_TRUE(c.bezel.contains(mask.boundingRect()));
        const QRect around = c.bezel.adjusted(-5, -5, 5, 5);
        for (int y = around.top(); y <= around.bottom(); ++y) {
            for (int x = around.left(); x <= around.right(); ++x) {
                // The outline is drawn with straight pieces: a pixel within a pixel of the curve
                // may fall either way.
                const QRectF pixelAndNeighbours(x - 1, y - 1, 3, 3);
                if (bezel.contains(pixelAndNeighbours)) {
                    EXPECT_TRUE(mask.contains(QPoint(x, y))) << x << "," << y;
                }
                if (!bezel.intersects(QRectF(x, y, 1, 1))) {
                    EXPECT_FALSE(mask.contains(QPoint(x, y))) << x << "," << y;
                }
            }
        }
        EXPECT_EQ(mask.contains(c.bezel.topLeft()), c.radius == 0.0);
    }
}

TEST(OXOverlayWindowTest, OffscreenWindowsBlendWithoutMask)
{
    OXOverlayWindow window(QRect(100, 100, 400, 300));
    window.pinCentred(QSizeF(200, 80));
    EXPECT_TRUE(window.isTranslucent());
    EXPECT_TRUE(window.overlayView()->isTranslucent());
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(window.mask().isEmpty());
    EXPECT_EQ(window.overlayView()->geometry(), QRect(100, 110, 200, 80));
}
