// An object's outer bounds, which the layer's index is built on before anything is measured
// exactly, hold its exact bounds whatever it is, however it is stroked, shadowed and turned.
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/model/VRTextBlock.h"
#include "framework/styles/VRShadow.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRTextAdornment.h"

#include <QPainterPath>

#include <gtest/gtest.h>

#include <functional>

namespace {

struct Styling {
    const char *name;
    double strokeWidth;
    bool shadow;
    bool label;
};

VRStyleRef styled(const Styling &styling)
{
    auto style =
        VRStyle::styleWithFillColour(QColor(200, 220, 250), Qt::black, styling.strokeWidth);
    if (styling.shadow) {
        auto stroke = VRStroke::strokeWithWidth(std::max(1.0, styling.strokeWidth), Qt::blue);
        stroke->setShadow(VRShadow(Qt::black, 6.0, 9.0, 225.0));
        style->addRenderer(stroke);
    }
    if (styling.label) {
        auto text = std::make_shared<VRTextAdornment>();
        text->setLabel(QStringLiteral("A label wider than its shape, Wj"));
        style->addRenderer(text);
    }
    return style;
}

QPainterPath starUnitPath()
{
    // Curves whose control points reach past the unit square.
    QPainterPath path;
    path.moveTo(0, -0.5);
    path.cubicTo(0.9, -0.9, 0.2, 0.1, 0.5, 0.5);
    path.quadTo(0, 1.2, -0.5, 0.5);
    path.cubicTo(-0.7, 0.1, -1.1, -0.6, 0, -0.5);
    return path;
}

using Maker = std::function<VRObjectRef(const Styling &, VRObjectDrawingLayer &)>;

struct Kind {
    const char *name;
    Maker make;
};

QList<Kind> kinds()
{
    const QRectF frame(100, 80, 90, 50);
    return {
        {"rectangle",
         [=](const Styling &s, VRObjectDrawingLayer &) {
             auto shape = VRDrawableShape::shapeWithRect(frame);
             shape->setStyle(styled(s));
             return shape;
         }},
        {"oval",
         [=](const Styling &s, VRObjectDrawingLayer &) {
             auto shape =
                 VRDrawableShape::shapeWithRect(frame, VRDrawableShape::unitOvalAtOrigin());
             shape->setStyle(styled(s));
             return shape;
         }},
        {"curved shape",
         [=](const Styling &s, VRObjectDrawingLayer &) {
             auto shape = VRDrawableShape::shapeWithRect(frame, starUnitPath());
             shape->setStyle(styled(s));
             return shape;
         }},
        {"curved path",
         [=](const Styling &s, VRObjectDrawingLayer &) {
             QPainterPath path;
             path.moveTo(100, 80);
             path.cubicTo(260, 20, 40, 200, 190, 130);
             auto object = VRDrawablePath::drawablePathWithBezierPath(path);
             object->setStyle(styled(s));
             return object;
         }},
        {"group",
         [=](const Styling &s, VRObjectDrawingLayer &) {
             auto a = VRDrawableShape::shapeWithRect(frame, starUnitPath());
             a->setStyle(styled(s));
             auto b = VRDrawableShape::shapeWithRect(frame.translated(70, 40),
                                                     VRDrawableShape::unitOvalAtOrigin());
             b->setStyle(styled(s));
             return VRShapeGroup::groupWithObjects({a, b});
         }},
        {"element with a text",
         [=](const Styling &s, VRObjectDrawingLayer &) {
             auto contour = VRDrawableShape::shapeWithRect(frame);
             contour->setID(QStringLiteral("contour"));
             contour->setStyle(styled(s));
             auto element =
                 QntElement::createWithObjects({contour}, QStringLiteral("e"), frame.size());
             element->addTextShape();
             element->text()->setString(QStringLiteral("Element with a long name Wj"));
             return element;
         }},
        {"connector with arrowheads and a label",
         [=](const Styling &s, VRObjectDrawingLayer &layer) {
             auto connector = std::make_shared<QntConnector>();
             connector->setMode(2);
             connector->setEnds(frame.topLeft(), frame.bottomRight() + QPointF(60, 30));
             layer.addObject(connector);
             connector->addSkin({{QStringLiteral("startArrowheadId"), QStringLiteral("a1")},
                                 {QStringLiteral("endArrowheadId"), QStringLiteral("a1")}});
             connector->setStyle(styled({s.name, s.strokeWidth, s.shadow, false}));
             if (s.label) {
                 VRTextBlock label;
                 label.setPlainText(QStringLiteral("a connector's label"));
                 connector->setLabel(label);
             }
             return connector;
         }},
    };
}

TEST(ObjectBounds, OuterBoundsHoldTheExactBounds)
{
    const QList<Styling> stylings = {{"hairline", 0.5, false, false},
                                     {"thick", 12.0, false, false},
                                     {"shadowed", 3.0, true, false},
                                     {"labelled", 1.0, false, true},
                                     {"thick, shadowed and labelled", 9.0, true, true}};
    int compared = 0;
    for (const Kind &kind : kinds())
        for (const Styling &styling : stylings)
            for (const double degrees : {0.0, 30.0, 90.0, 145.0, -60.0}) {
                SCOPED_TRACE(std::string(kind.name) + ", " + styling.name + ", "
                             + std::to_string(degrees) + " degrees");
                VRObjectDrawingLayer layer;
                const VRObjectRef object = kind.make(styling, layer);
                if (!object->layer())
                    layer.addObject(object);
                object->setAngle(degrees * M_PI / 180.0);
                if (kind.name == std::string("connector with arrowheads and a label")) {
                    ASSERT_NE(static_cast<QntConnector &>(*object).endEndPoint()->arrow(), nullptr);
                }
                // Asked first, as the index asks before anything is drawn.
                const QRectF outer = object->outerBounds();
                const QRectF exact = object->bounds();
                ASSERT_FALSE(exact.isEmpty());
                EXPECT_LE(outer.left(), exact.left());
                EXPECT_LE(outer.top(), exact.top());
                EXPECT_GE(outer.right(), exact.right());
                EXPECT_GE(outer.bottom(), exact.bottom());
                // Once measured, the exact bounds are the outer ones.
                EXPECT_EQ(object->outerBounds(), exact);
                ++compared;
            }
    EXPECT_EQ(compared, 7 * 5 * 5);
}

} // namespace

namespace {

// A large layer's objects, many of them sharing one style with a rich text and a label.
VRObjectList manyObjects(VRObjectDrawingLayer &layer)
{
    auto shared = styled({"shared", 2.0, true, true});
    auto rich = std::make_shared<VRTextAdornment>();
    rich->setRichText(QStringLiteral("<b>Bold</b> and <i>italic</i> Wj"));
    shared->addRenderer(rich);
    const QList<Kind> all = kinds();
    VRObjectList objects;
    for (int k = 0; k < 2600; ++k) {
        const Kind &kind = all.at(k % all.size());
        const VRObjectRef object = kind.make({"own", 1.0 + k % 4, k % 3 == 0, k % 2 == 0}, layer);
        if (k % 5 == 0 && kind.name != std::string("group")
            && kind.name != std::string("element with a text"))
            object->setStyle(shared);
        object->setLocation(object->location() + QPointF((k % 50) * 200, (k / 50) * 150));
        object->setAngle((k % 7) * 0.4);
        objects.append(object);
    }
    for (const VRObjectRef &object : std::as_const(objects))
        if (!object->layer())
            layer.addObject(object);
    return objects;
}

TEST(ObjectBounds, ObjectsMeasuredTogetherForTheIndexGetTheBoundsEachGetsAlone)
{
    VRObjectDrawingLayer alone;
    const VRObjectList measuredAlone = manyObjects(alone);
    QList<QRectF> expected;
    for (const VRObjectRef &object : measuredAlone)
        expected.append(object->outerBounds());

    VRObjectDrawingLayer together;
    const VRObjectList measuredTogether = manyObjects(together);
    // Asking where nothing is builds the index on every object's outer bounds.
    EXPECT_EQ(together.hitTest(QPointF(-1e5, -1e5)), nullptr);
    ASSERT_EQ(measuredTogether.size(), expected.size());
    for (qsizetype i = 0; i < measuredTogether.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(measuredTogether.at(i)->outerBounds(), expected.at(i));
        EXPECT_EQ(measuredTogether.at(i)->bounds(), measuredAlone.at(i)->bounds());
    }
    EXPECT_EQ(together.objectsInRect(QRectF(-1e6, -1e6, 2e6, 2e6)).size(), measuredTogether.size());
}

} // namespace
