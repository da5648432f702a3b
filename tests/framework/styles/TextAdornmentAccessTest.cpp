#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorDoubleText.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/QntTextShape.h"
#include "framework/model/VRTextShape.h"
#include "framework/styles/VRTextAdornment.h"
#include "common/RenderedObject.h"

#include <QPainter>
#include <QTextDocumentFragment>

#include <gtest/gtest.h>

#include <functional>

namespace {

VRTextBlock sampleText()
{
    VRTextBlock block;
    block.setPlainText(QStringLiteral("Sample text"));
    QFont font = block.font();
    font.setPointSizeF(17);
    block.setFont(font);
    block.setColour(QColor(10, 120, 30));
    block.setAlignment(1);
    block.setVerticalAlignment(2);
    block.setAngleInDegrees(30);
    return block;
}

QImage rendered(const VRDrawableObject &object)
{
    return qnt::test::renderedOnWhite(object, QSize(240, 160));
}

struct TextOwnerCase {
    const char *name;
    std::function<std::shared_ptr<VRDrawableObject>()> make;
    std::function<VRTextAdornment *(const VRDrawableObject &)> adornment;
};

template <class T> std::shared_ptr<VRDrawableObject> shapeWithText()
{
    auto shape = std::make_shared<T>();
    VRDrawableObject::Geometry g = shape->saveGeometry();
    g.location = QPointF(120, 80);
    g.size = QSizeF(200, 120);
    shape->restoreGeometry(g);
    shape->setTextBlock(sampleText());
    return shape;
}

template <class T> VRTextAdornment *adornmentOf(const VRDrawableObject &object)
{
    return static_cast<const T &>(object).textAdornment();
}

class TextAdornmentAccess : public ::testing::TestWithParam<TextOwnerCase>
{
};

} // namespace

TEST_P(TextAdornmentAccess, DescribesTheObjectsTextWithoutChangingTheDrawing)
{
    auto object = GetParam().make();
    const QImage before = rendered(*object);

    VRTextAdornment *adornment = GetParam().adornment(*object);
    ASSERT_NE(adornment, nullptr);
    const VRTextBlock expected = sampleText();
    EXPECT_EQ(adornment->string(), QStringLiteral("Sample text"));
    EXPECT_EQ(adornment->font().pointSizeF(), 17);
    EXPECT_EQ(adornment->colour(), expected.colour());
    EXPECT_EQ(adornment->alignment(), 1);
    EXPECT_EQ(adornment->verticalAlignment(), 2);
    EXPECT_DOUBLE_EQ(adornment->angleInDegrees(), 30);
    // One renderer per object, following later edits of the text.
    EXPECT_EQ(GetParam().adornment(*object), adornment);
    object->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("Changed")));
    EXPECT_EQ(GetParam().adornment(*object)->string(), QStringLiteral("Changed"));
    object->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("Sample text")));

    EXPECT_EQ(rendered(*object), before);
    // Copies get their own.
    auto copy = object->copy();
    ASSERT_TRUE(copy);
    EXPECT_NE(GetParam().adornment(*copy), adornment);
}

TEST_P(TextAdornmentAccess, ChangesThroughTheRendererReachTheObject)
{
    auto object = GetParam().make();
    VRTextAdornment *adornment = GetParam().adornment(*object);
    adornment->setAlignment(2);
    adornment->setAngleInDegrees(-45);
    adornment->setColour(QColor(200, 0, 0));
    // Read again from the object: the changes are its own now.
    VRTextAdornment *again = GetParam().adornment(*object);
    EXPECT_EQ(again->alignment(), 2);
    EXPECT_DOUBLE_EQ(again->angleInDegrees(), -45);
    EXPECT_EQ(again->colour(), QColor(200, 0, 0));
    EXPECT_EQ(again->string(), QStringLiteral("Sample text"));
    // And they are drawn.
    auto reference = GetParam().make();
    EXPECT_NE(rendered(*object), rendered(*reference));
}

TEST_P(TextAdornmentAccess, TheObjectsTextIsDrawnByItsRenderer)
{
    auto object = GetParam().make();
    const QImage before = rendered(*object);
    auto reddish = [](const QImage &image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                count += c.red() > 150 && c.green() < 90 && c.blue() < 90;
            }
        return count;
    };
    ASSERT_EQ(reddish(before), 0);

    // A colour kept by the renderer alone (it does not reach the object's text) shows in the
    // drawing: the renderer is what draws.
    VRTextAdornment *adornment = GetParam().adornment(*object);
    adornment->setTextAttributes({{QStringLiteral("colour"), QColor(220, 0, 0)}});
    EXPECT_GT(reddish(rendered(*object)), 20);
    EXPECT_EQ(GetParam().adornment(*object)->colour(), sampleText().colour());
    adornment->setTextAttributes({});
    EXPECT_EQ(rendered(*object), before);
}

TEST_P(TextAdornmentAccess, ANewLabelOnTheRendererBecomesTheObjectsText)
{
    auto object = GetParam().make();
    VRTextAdornment *adornment = GetParam().adornment(*object);
    EXPECT_TRUE(adornment->richText().contains(QStringLiteral("Sample text")));
    adornment->setLabel(QStringLiteral("Renamed"));
    EXPECT_EQ(object->textContent().toPlainText(), QStringLiteral("Renamed"));
    // Described again from the object: rich text with the new words, drawn as the object's.
    EXPECT_TRUE(GetParam().adornment(*object)->richText().contains(QStringLiteral("Renamed")));
    auto reference = GetParam().make();
    reference->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("Renamed")));
    EXPECT_EQ(rendered(*object), rendered(*reference));
    // A copy of the renderer keeps the rich text.
    const auto copy = std::static_pointer_cast<VRTextAdornment>(adornment->copy());
    EXPECT_EQ(copy->richText(), adornment->richText());
}

INSTANTIATE_TEST_SUITE_P(
    TextOwners, TextAdornmentAccess,
    ::testing::Values(
        TextOwnerCase{"QntTextShape", shapeWithText<QntTextShape>, adornmentOf<QntTextShape>},
        TextOwnerCase{"VRTextShape", shapeWithText<VRTextShape>, adornmentOf<VRTextShape>},
        TextOwnerCase{"QntTextCell", shapeWithText<QntTextCell>, adornmentOf<QntTextCell>},
        TextOwnerCase{"QntConnector",
                      [] {
                          auto connector = std::make_shared<QntConnector>();
                          connector->setEnds(QPointF(20, 80), QPointF(220, 80));
                          connector->setLabel(sampleText());
                          return std::static_pointer_cast<VRDrawableObject>(connector);
                      },
                      adornmentOf<QntConnector>}),
    [](const ::testing::TestParamInfo<TextOwnerCase> &info) {
        return std::string(info.param.name);
    });

TEST(TextAdornmentAccess, TheSecondLabelOfADoubleTextConnectorHasItsOwnRenderer)
{
    auto connector = std::make_shared<QntConnectorDoubleText>();
    connector->setEnds(QPointF(0, 0), QPointF(200, 0));
    connector->setLabel(sampleText());
    VRTextBlock second = sampleText();
    second.setPlainText(QStringLiteral("Second"));
    connector->setSecondLabel(second);
    VRTextAdornment *first = connector->textAdornment();
    VRTextAdornment *other = connector->secondTextAdornment();
    ASSERT_NE(first, other);
    EXPECT_EQ(other->string(), QStringLiteral("Second"));
    other->setAlignment(0);
    EXPECT_EQ(connector->secondLabel().alignment(), 0);
    EXPECT_EQ(connector->label().alignment(), 1);
}

TEST(TextAdornmentAccess, AConnectorsLabelPlacementMapsToTheRenderersLayout)
{
    QntConnector connector;
    connector.setEnds(QPointF(0, 0), QPointF(100, 0));
    EXPECT_EQ(connector.textAdornment()->layoutMode(), 1);
    connector.setLayoutMode(2);
    EXPECT_EQ(connector.textAdornment()->layoutMode(), 2);
    connector.setLayoutMode(40);
    EXPECT_EQ(connector.textAdornment()->layoutMode(), 40);
}
