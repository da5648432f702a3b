#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/styles/QntPathDecorator.h"
#include "framework/styles/VRStyle.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

std::shared_ptr<QntElement> redSquareElement()
{
    auto square = VRDrawableShape::shapeWithRect(QRectF(0, 0, 8, 8));
    square->setStyle(VRStyle::styleWithFillColour(QColor(255, 0, 0), QColor(), 0.0));
    return QntElement::createWithObjects({square}, QStringLiteral("motif"), QSizeF(8, 8));
}

int redPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qRed(image.pixel(x, y)) > 200 && qGreen(image.pixel(x, y)) < 60;
    return count;
}

TEST(StyleElementDecoratorTest, DrawsTheElementAlongThePath)
{
    QntPathDecorator decorator(redSquareElement());
    decorator.setInterval(20.0);
    EXPECT_EQ(decorator.uiName(), QStringLiteral("Element Decorator"));
    QImage image(200, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    QPainterPath line;
    line.moveTo(10, 20);
    line.lineTo(190, 20);
    decorator.render(painter, VRRenderContext::forPath(line));
    painter.end();
    // Ten motifs of about 8 × 8 along the line.
    EXPECT_GT(redPixels(image), 8 * 8 * 8);
    EXPECT_EQ(qRed(image.pixel(10, 20)), 255);
    EXPECT_EQ(qGreen(image.pixel(10, 20)), 0);
    EXPECT_EQ(image.pixel(15, 20), qRgb(255, 255, 255));
}

TEST(StyleElementDecoratorTest, ElementSurvivesTheRecord)
{
    auto decorator = std::make_shared<QntPathDecorator>(redSquareElement());
    QJsonObject images;
    const QJsonObject record = decorator->toJson(images);
    auto back = VRRasterizer::fromJson(record, images);
    ASSERT_TRUE(back.ok()) << back.errorMessage().toStdString();
    auto copy = std::static_pointer_cast<QntPathDecorator>(back.value());
    ASSERT_TRUE(copy->element());
    EXPECT_NE(copy->element(), decorator->element());
    QJsonObject images2;
    EXPECT_EQ(copy->toJson(images2), record);

    QJsonObject hostile = record;
    hostile["element"] = QJsonObject{{"format", "quintora.objects"},
                                     {"version", 1},
                                     {"objects", QJsonArray{QJsonObject{{"class", "QProcess"}}}}};
    auto refused = VRRasterizer::fromJson(hostile, images);
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(refused.errorMessage().contains(QLatin1String("element")))
        << refused.errorMessage().toStdString();
}

} // namespace
