#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRGuideLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/NotificationCenter.h"
#include "common/ScopeExit.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocale>
#include <QtMath>

#include <functional>

namespace {

std::shared_ptr<VRDrawableShape> rectShape(QRectF r)
{
    return VRDrawableShape::shapeWithRect(r);
}

} // namespace

TEST(VRDrawing, FactoryValuesOfANewDrawing)
{
    VRDrawing drawing;
    EXPECT_NEAR(drawing.drawingSize().width(), 1685.197, 1e-3);
    EXPECT_NEAR(drawing.drawingSize().height(), 1191.969, 1e-3);
    EXPECT_EQ(drawing.drawingUnits(), QStringLiteral("Centimetres"));
    EXPECT_NEAR(drawing.leftMargin(), 1.225 * 28.346456692913, 1e-9);
    EXPECT_NEAR(drawing.topMargin(), 1.025 * 28.346456692913, 1e-9);
    ASSERT_EQ(drawing.countOfLayers(), 3);
    EXPECT_TRUE(drawing.objectInLayersAtIndex(0)->isMemberOf<VRGuideLayer>());
    EXPECT_TRUE(drawing.objectInLayersAtIndex(1)->isMemberOf<VRObjectDrawingLayer>());
    EXPECT_TRUE(drawing.objectInLayersAtIndex(2)->isMemberOf<VRGridLayer>());
    EXPECT_EQ(drawing.activeLayer()->name(), QStringLiteral("Layer 1"));
    EXPECT_NE(drawing.activeLayerOfClass<VRObjectDrawingLayer>(), nullptr);
    EXPECT_EQ(drawing.activeLayerOfClass<VRGridLayer>(), nullptr);
    EXPECT_EQ(drawing.gridLayer()->divisions(), 5);
    EXPECT_EQ(drawing.gridLayer()->majors(), 10);
    EXPECT_GT(drawing.gridLayer()->divisionDistance(), 0);
}

TEST(VRDrawing, UnitsTableAndFormatting)
{
    EXPECT_DOUBLE_EQ(VRDrawing::standardFactorForUnits(QStringLiteral("Kilometres")),
                     2834645.6692913);
    EXPECT_DOUBLE_EQ(VRDrawing::standardFactorForUnits(QStringLiteral("Furlongs")), 1.0);
    EXPECT_EQ(VRDrawing::abbreviationForUnits(QStringLiteral("Furlongs")),
              QStringLiteral("Furlongs"));
    VRDrawing drawing;
    EXPECT_FALSE(drawing.setDrawingUnits(QStringLiteral("Bad"), 0));
    EXPECT_FALSE(drawing.setDrawingUnits(QStringLiteral("Bad"), qQNaN()));
    ASSERT_TRUE(drawing.setDrawingUnits(QStringLiteral("Millimetres"), 2.8346456692913));
    const QLocale previous;
    const qnt::test::ScopeExit restore([&] { QLocale::setDefault(previous); });
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(drawing.formattedConvertedLength(2.8346456692913 * 12.5), QStringLiteral("12.5 mm"));
    const QStringList p = drawing.formattedConvertedPointOnlyValue(
        QPointF(drawing.leftMargin() + 2.8346456692913 * 10, drawing.topMargin()));
    EXPECT_EQ(p, QStringList({QStringLiteral("10"), QStringLiteral("0")}));
}

TEST(VRDrawing, ClassTestsAndAllowList)
{
    auto shape = rectShape(QRectF(0, 0, 10, 10));
    EXPECT_TRUE(shape->isMemberOf<VRDrawableShape>());
    EXPECT_TRUE(shape->isKindOf<VRDrawableObject>());
    EXPECT_FALSE(shape->isKindOf<VRDrawablePath>());
    EXPECT_EQ(shape->className(), QStringLiteral("VRDrawableShape"));
    EXPECT_NE(VRClassInfo::byName(u"VRShapeGroup"), nullptr);
    EXPECT_EQ(VRClassInfo::byName(u"QProcess"), nullptr);
}

TEST(VRDrawing, SelectionPostsOnceAndFollowsRemoval)
{
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    auto a = rectShape(QRectF(0, 0, 10, 10));
    auto b = rectShape(QRectF(20, 0, 10, 10));
    layer->addObjectsFromArray({a, b});
    int posts = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        kVRLayerSelectionDidChange, layer, [&](const Notification &) { ++posts; });
    layer->exchangeSelectionWithObjectsFromArray({a, b});
    EXPECT_EQ(posts, 1);
    layer->exchangeSelectionWithObjectsFromArray({a, b});
    EXPECT_EQ(posts, 1);
    layer->removeObject(a);
    EXPECT_EQ(layer->selection(), VRObjectList({b}));
    EXPECT_EQ(layer->singleSelection(), b);
}

TEST(VRDrawing, GroupKeepsDrawingGeometryThroughUngroup)
{
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    auto a = rectShape(QRectF(0, 0, 10, 10));
    auto b = rectShape(QRectF(30, 20, 10, 20));
    layer->addObjectsFromArray({a, b});
    QCoreApplication::processEvents();
    auto group = std::static_pointer_cast<VRShapeGroup>(VRShapeGroup::groupWithObjects({a, b}));
    layer->removeObjectsInArray({a, b});
    layer->addObject(group);
    EXPECT_EQ(a->renderingPath().boundingRect(), QRectF(0, 0, 10, 10));
    group->setSize(QSizeF(80, 80));
    EXPECT_EQ(b->renderingPath().boundingRect(), QRectF(40, 20, 20, 40));
    drawing.undoManager()->closeOpenGroups();
    group->ungroupToLayer(*layer);
    drawing.undoManager()->closeOpenGroups();
    EXPECT_EQ(layer->objects().size(), 2);
    EXPECT_EQ(drawing.undoManager()->undoActionName(), QStringLiteral("Ungroup"));
    EXPECT_EQ(b->bounds(), QRectF(40, 20, 20, 40));
    drawing.undoManager()->undo();
    EXPECT_EQ(layer->objects(), VRObjectList({group}));
    EXPECT_EQ(b->renderingPath().boundingRect(), QRectF(40, 20, 20, 40));
    drawing.undoManager()->redo();
    EXPECT_EQ(layer->objects().size(), 2);
    EXPECT_EQ(b->layer(), layer);
    EXPECT_EQ(b->renderingPath().boundingRect(), QRectF(40, 20, 20, 40));
}

TEST(VRDrawing, ObjectsFitWhilePlaceSizeAndOutlineStayWithinTheCoordinatesADocumentKeeps)
{
    const double far = VRDrawing::kMaximumCoordinate;
    QPainterPath curve;
    curve.moveTo(0, 0);
    // The curve itself stays near, one of its control points does not.
    curve.cubicTo(100, 0, far + 10, 50, 200, 100);
    QPainterPath line;
    line.moveTo(far - 100, 0);
    line.lineTo(far, 0);
    struct Case {
        const char *name;
        VRObjectRef object;
        QPointF delta;
        bool fits;
    };
    auto turned = rectShape({far - 60, 0, 100, 10});
    turned->setAngle(M_PI / 2);
    const Case cases[] = {
        {"near the origin", rectShape({10, 10, 100, 50}), {}, true},
        {"far edge on the limit", rectShape({far - 100, -far, 100, 50}), {}, true},
        {"far edge beyond", rectShape({far - 99, 0, 100, 50}), {}, false},
        {"left edge beyond", rectShape({-far - 1, 0, 100, 50}), {}, false},
        {"moved beyond", rectShape({far - 200, 0, 100, 50}), {101, 0}, false},
        {"moved back in", rectShape({far - 99, 0, 100, 50}), {-1, 0}, true},
        {"moved down beyond", rectShape({0, far - 50, 100, 50}), {0, 0.5}, false},
        {"wider than a drawing", rectShape({-far, 0, 2 * far, 50}), {}, false},
        {"not a number away", rectShape({0, 0, 10, 10}), {qQNaN(), 0}, false},
        {"turned upright", turned, {}, true},
        {"a curve's control point beyond",
         VRDrawablePath::drawablePathWithBezierPath(curve),
         {},
         false},
        {"a line to the limit", VRDrawablePath::drawablePathWithBezierPath(line), {}, true},
        {"a line moved beyond", VRDrawablePath::drawablePathWithBezierPath(line), {1, 0}, false},
    };
    // A drawing asked to take the objects refuses those that do not fit, and says so once.
    VRDrawing drawing;
    QStringList told;
    const NotificationToken token = NotificationCenter::defaultCenter().addObserver(
        kVRDrawingRefusedChangeNotification, &drawing, [&told](const Notification &n) {
            told.append(n.userInfo.value(QStringLiteral("message")).toString());
        });
    for (const Case &c : cases) {
        EXPECT_EQ(c.object->fitsTheDrawing(c.delta), c.fits) << c.name;
        EXPECT_EQ(VRDrawing::holdsObjects({rectShape({0, 0, 5, 5}), c.object}, c.delta), c.fits)
            << c.name;
        told.clear();
        EXPECT_EQ(drawing.refusesObjectsTooFarOut({rectShape({0, 0, 5, 5}), c.object}, c.delta),
                  !c.fits)
            << c.name;
        EXPECT_EQ(told, c.fits ? QStringList() : QStringList{VRDrawing::objectsTooFarOutMessage()})
            << c.name;
    }
    // Turning the long shape level again would put its end beyond.
    EXPECT_FALSE(turned->wouldFitTheDrawingAfter([](VRDrawableObject &o) { o.setAngle(0); }));
}

TEST(VRDrawing, TryingAChangeOnAnObjectChangesNothingAndRecordsNothing)
{
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    const auto shape = rectShape({100, 100, 40, 20});
    layer->addObject(shape);
    drawing.undoManager()->closeOpenGroups();
    drawing.undoManager()->removeAllActions();
    const double far = VRDrawing::kMaximumCoordinate;
    struct Case {
        const char *name;
        std::function<void(VRDrawableObject &)> change;
        bool fits;
    };
    const Case cases[] = {
        {"a near place",
         [](VRDrawableObject &o) {
             o.setLocation({500, 500});
         },
         true},
        {"a far place",
         [far](VRDrawableObject &o) {
             o.setLocation({far, 0});
         },
         false},
        {"a size larger than a drawing",
         [far](VRDrawableObject &o) {
             o.setSize({far + 1, 10});
         },
         false},
        {"a size as large as a drawing",
         [far](VRDrawableObject &o) {
             o.setSize({10, far});
         },
         true},
        {"turned", [](VRDrawableObject &o) { o.setAngle(1.0); }, true},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(shape->wouldFitTheDrawingAfter(c.change), c.fits) << c.name;
        EXPECT_EQ(shape->location(), QPointF(120, 110)) << c.name;
        EXPECT_EQ(shape->size(), QSizeF(40, 20)) << c.name;
    }
    drawing.undoManager()->closeOpenGroups();
    EXPECT_FALSE(drawing.undoManager()->canUndo());
    EXPECT_EQ(layer->countOfObjects(), 1);

    // A refusal reaches whoever shows the drawing's messages, with the one text for it.
    QString told;
    const NotificationToken token = NotificationCenter::defaultCenter().addObserver(
        kVRDrawingRefusedChangeNotification, &drawing, [&told](const Notification &n) {
            told = n.userInfo.value(QStringLiteral("message")).toString();
        });
    drawing.refuseObjectsTooFarOut();
    EXPECT_EQ(told, VRDrawing::objectsTooFarOutMessage());
    EXPECT_EQ(told, QStringLiteral("That would put objects too far out for a drawing"));
}
