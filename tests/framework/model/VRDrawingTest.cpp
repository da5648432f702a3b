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

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocale>
#include <QtMath>

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
