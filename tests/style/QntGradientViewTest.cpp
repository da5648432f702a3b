#include "style/QntGradientView.h"

#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

QImage paintedImage(QWidget &view)
{
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(QntGradientView, ShadesFromWhiteAtTheTopToGreyAtTheBottomAcrossTheWholeWidth)
{
    QntGradientView view;
    view.resize(200, 101);
    EXPECT_FALSE(view.isFlipped());
    const QImage image = paintedImage(view);
    struct Row {
        int y;
        int grey;
    };
    // Grey is half white; the middle row lies halfway between the two.
    for (const Row row : {Row{0, 255}, Row{50, 191}, Row{100, 128}}) {
        for (int x : {0, 100, 199}) {
            const QColor colour = image.pixelColor(x, row.y);
            EXPECT_NEAR(colour.red(), row.grey, 3) << "x " << x << " y " << row.y;
            EXPECT_EQ(colour.red(), colour.green());
            EXPECT_EQ(colour.red(), colour.blue());
        }
    }
}

TEST(QntGradientView, ChildrenAreDrawnOverTheGradient)
{
    QntGradientView view;
    view.resize(120, 60);
    auto *child = new QLabel(&view);
    child->setGeometry(40, 20, 30, 20);
    child->setAutoFillBackground(true);
    QPalette palette = child->palette();
    palette.setColor(QPalette::Window, Qt::red);
    child->setPalette(palette);
    const QImage image = paintedImage(view);
    EXPECT_EQ(image.pixelColor(55, 30), QColor(Qt::red));
    EXPECT_NE(image.pixelColor(10, 30), QColor(Qt::red));
}

} // namespace
