#include "inspectors/RoundedView.h"

#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

namespace {
QImage picture(QWidget &view)
{
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}
} // namespace

TEST(RoundedViewTest, PaintsTheDarkRoundedRectangleOverItsOwnArea)
{
    // Also when the view does not sit at its parent's origin: the rectangle follows the view.
    QWidget parent;
    parent.resize(300, 200);
    for (const QPoint at : {QPoint(0, 0), QPoint(40, 30)}) {
        RoundedView view(&parent);
        view.setGeometry(QRect(at, QSize(120, 60)));
        const QImage image = picture(view);
        const QColor middle = image.pixelColor(60, 30);
        EXPECT_NEAR(middle.alphaF(), 213.0 / 255.0, 0.01) << at.x();
        EXPECT_NEAR(middle.redF(), 32.0 / 255.0, 0.01) << at.x();
        EXPECT_EQ(middle.red(), middle.blue());
        // Edges are filled, the corners are cut by the radius of 10.
        EXPECT_GT(image.pixelColor(60, 1).alpha(), 150) << at.x();
        EXPECT_GT(image.pixelColor(1, 30).alpha(), 150) << at.x();
        for (const QPoint corner : {QPoint(0, 0), QPoint(119, 0), QPoint(0, 59), QPoint(119, 59)})
            EXPECT_EQ(image.pixelColor(corner).alpha(), 0) << at.x() << " " << corner.x();
    }
}

TEST(RoundedViewTest, PathIsTheRectangleWithRoundedCorners)
{
    const QPainterPath path = RoundedView::roundedPath(QSize(100, 50));
    EXPECT_EQ(path.boundingRect(), QRectF(0, 0, 100, 50));
    EXPECT_TRUE(path.contains(QPointF(50, 25)));
    EXPECT_TRUE(path.contains(QPointF(10, 10)));
    EXPECT_FALSE(path.contains(QPointF(1.5, 1.5)));
    EXPECT_FALSE(path.contains(QPointF(98.5, 48.5)));
}
