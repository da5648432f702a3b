#include "framework/base/VRConstants.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntTextShape.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRGuideLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/UserDefaults.h"

#include "common/ScopeExit.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QtMath>

namespace {
std::shared_ptr<VRDrawableShape> square(QPointF centre, double side = 10)
{
    return VRDrawableShape::shapeWithRect(
        QRectF(centre - QPointF(side / 2, side / 2), QSizeF(side, side)));
}
} // namespace

TEST(LayerOperations, PolarDuplicationTurnsCopiesAboutTheCentre)
{
    VRObjectDrawingLayer layer;
    auto s = square(QPointF(100, 0));
    const VRObjectList copies = layer.polarDuplicate({s}, QPointF(0, 0), 3, M_PI / 2, true);
    ASSERT_EQ(copies.size(), 3);
    const QPointF expected[] = {QPointF(0, 100), QPointF(-100, 0), QPointF(0, -100)};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(copies[k]->location().x(), expected[k].x(), 1e-9);
        EXPECT_NEAR(copies[k]->location().y(), expected[k].y(), 1e-9);
        EXPECT_NEAR(std::remainder(copies[k]->angle() - (k + 1) * M_PI / 2, 2 * M_PI), 0.0, 1e-9);
        EXPECT_EQ(copies[k]->layer(), nullptr); // returned, not added
    }
    const VRObjectList unrotated = layer.polarDuplicate({s}, QPointF(0, 0), 1, M_PI / 2, false);
    EXPECT_EQ(unrotated.first()->angle(), 0.0);
    EXPECT_TRUE(layer.polarDuplicate({s}, QPointF(), 0, 1, true).isEmpty());
    EXPECT_TRUE(layer.polarDuplicate({s}, QPointF(), 1001, 1, true).isEmpty());
    EXPECT_EQ(layer.polarDuplicate({s}, QPointF(), 1000, 0.001, true).size(), 1000);
}

TEST(LayerOperations, AutoPolarAndLinearDuplication)
{
    VRObjectDrawingLayer layer;
    auto s = square(QPointF(100, 0), 20);
    // Circumference 628.3 / (20 x 1.25) = 25.1 -> 25 - 1 = 24 copies at 2 pi / 25.
    const VRObjectList copies = layer.autoPolarDuplicate(s, QPointF(0, 0));
    ASSERT_EQ(copies.size(), 24);
    EXPECT_NEAR(copies.first()->angle(), 2 * M_PI / 25, 1e-9);
    EXPECT_TRUE(layer.autoPolarDuplicate(s, QPointF(100, 0)).isEmpty());
    const VRObjectList row = layer.linearDuplicate({s}, QSizeF(30, -5), 4);
    ASSERT_EQ(row.size(), 4);
    EXPECT_EQ(row.last()->location(), QPointF(220, -20));
}

TEST(LayerOperations, AddingKeepsEachObjectOnceAndMovesItFromAnotherLayer)
{
    VRObjectDrawingLayer layer, other;
    auto a = square(QPointF(10, 10)), b = square(QPointF(50, 40)), c = square(QPointF(90, 70));
    layer.addObjectsFromArray({a, b, a});
    EXPECT_EQ(layer.objects(), (VRObjectList{a, b}));
    layer.addObject(b); // already there: nothing changes
    layer.addObjectsFromArray({b, c});
    EXPECT_EQ(layer.objects(), (VRObjectList{a, b, c}));
    other.addObject(a);
    EXPECT_EQ(layer.objects(), (VRObjectList{b, c}));
    EXPECT_EQ(other.objects(), VRObjectList{a});
    layer.addObject(a); // back again, once
    EXPECT_EQ(layer.objects(), (VRObjectList{b, c, a}));
    EXPECT_TRUE(other.objects().isEmpty());
}

// Hit testing and area queries look up a spatial index of the objects' bounds; it must follow
// objects that move, grow, change order, join and leave, and give the topmost object first.
TEST(LayerOperations, HitTestingFollowsEveryChangeOfBoundsOrderAndMembership)
{
    VRObjectDrawingLayer layer;
    auto low = square(QPointF(100, 100), 40), high = square(QPointF(110, 100), 40);
    auto far = square(QPointF(2000, 1500), 40);
    layer.addObjectsFromArray({low, high, far});
    EXPECT_EQ(layer.hitTest(QPointF(105, 100)), high);
    EXPECT_EQ(layer.objectsInRect(QRectF(90, 90, 30, 20)), (VRObjectList{high, low}));
    EXPECT_EQ(layer.hitTest(QPointF(2000, 1500)), far);

    high->moveBy(QPointF(1000, 0)); // leaves its cells
    EXPECT_EQ(layer.hitTest(QPointF(105, 100)), low);
    EXPECT_EQ(layer.hitTest(QPointF(1110, 100)), high);
    far->setSize(QSizeF(4000, 40)); // grows across many cells
    EXPECT_EQ(layer.hitTest(QPointF(500, 1500)), far);

    high->moveBy(QPointF(-1000, 0));
    layer.moveObjectToBottom(high);
    EXPECT_EQ(layer.hitTest(QPointF(105, 100)), low);
    layer.removeObject(low);
    EXPECT_EQ(layer.hitTest(QPointF(105, 100)), high);
    EXPECT_EQ(layer.hitTest(QPointF(1110, 100)), nullptr);
    layer.addObject(low);
    EXPECT_EQ(layer.objectsInRect(QRectF(0, 0, 3000, 3000)), (VRObjectList{low, far, high}));
    low->setVisible(false);
    EXPECT_EQ(layer.hitTest(QPointF(105, 100)), high);
}

// Zoomed out on screen, an element too small to read is drawn as its outline in its colours,
// without its text; printing and export at the same scale draw it in full.
TEST(LayerOperations, ZoomedOutScreenDrawingLeavesOutTextThatCannotBeRead)
{
    VRObjectDrawingLayer layer;
    const QRectF frame(0, 0, 160, 80);
    auto contour = VRDrawableShape::shapeWithRect(frame);
    contour->setStyle(
        VRStyle::styleWithFillColour(QColor(250, 200, 200), QColor(250, 200, 200), 1));
    auto element = QntElement::createWithObjects({contour}, QStringLiteral("e"), frame.size());
    element->addTextShape();
    element->text()->setString(QStringLiteral("WWWWWWWW"));
    layer.addObject(element);
    const auto draw = [&](bool printing) {
        QImage image(60, 40, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter p(&image);
        p.scale(0.25, 0.25);
        p.setClipRect(QRectF(-20, -20, 240, 160));
        layer.render(p, printing);
        p.end();
        int dark = 0, fill = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                dark += c.red() < 160 ? 1 : 0;
                fill += c == QColor(250, 200, 200) ? 1 : 0;
            }
        return std::pair{dark, fill};
    };
    const auto [screenText, screenFill] = draw(false);
    const auto [printText, printFill] = draw(true);
    EXPECT_EQ(screenText, 0);
    EXPECT_GT(screenFill, 500); // 40 x 20 pixels, the whole box
    EXPECT_GT(printText, 0);
    EXPECT_GT(printFill, 300);
}

TEST(LayerOperations, AlignmentAndDistributionUseTheSelection)
{
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    auto a = square(QPointF(10, 10)), b = square(QPointF(50, 40)), c = square(QPointF(200, 90));
    layer->addObjectsFromArray({a, b, c});
    layer->exchangeSelectionWithObjectsFromArray({a, b});
    EXPECT_TRUE(layer->alignSelection(VRObjectDrawingLayer::Alignment::RightEdges));
    EXPECT_EQ(a->logicalBounds().right(), 55);
    EXPECT_EQ(c->location(), QPointF(200, 90)); // not selected
    layer->exchangeSelectionWithObjectsFromArray({a});
    EXPECT_FALSE(layer->alignSelection(VRObjectDrawingLayer::Alignment::LeftEdges));
    EXPECT_FALSE(layer->distributeSelection(Qt::Horizontal));
    layer->exchangeSelectionWithObjectsFromArray({c, a, b});
    a->setLocation(QPointF(0, 0));
    b->setLocation(QPointF(30, 0));
    c->setLocation(QPointF(100, 0));
    EXPECT_TRUE(layer->distributeSelection(Qt::Horizontal));
    EXPECT_NEAR(b->location().x(), 50, 1e-9); // equal gaps of 40 between 10-wide squares
}

TEST(LayerOperations, RestackingKeepsTheSelectionsOrderAndPassesOverlappingObjects)
{
    using R = VRObjectDrawingLayer::Restacking;
    // a, b, c overlap each other; far overlaps nothing; bottom to top: a far b c.
    struct Case {
        const char *name;
        QList<int> selected; // indices into a, far, b, c
        R restacking;
        QList<int> expected; // stacking order afterwards, bottom to top
        const char *undoName;
    };
    const Case cases[] = {
        {"front", {0}, R::ToFront, {1, 2, 3, 0}, "Bring to Front"},
        {"front keeps order", {2, 0}, R::ToFront, {1, 3, 0, 2}, "Bring to Front"},
        {"back", {3}, R::ToBack, {3, 0, 1, 2}, "Send to Back"},
        {"back keeps order", {3, 2}, R::ToBack, {2, 3, 0, 1}, "Send to Back"},
        {"forward skips what it does not overlap", {0}, R::Forward, {1, 2, 0, 3}, "Bring Forward"},
        {"backward", {3}, R::Backward, {0, 1, 3, 2}, "Send Backward"},
        {"backward skips what it does not overlap",
         {2},
         R::Backward,
         {2, 0, 1, 3},
         "Send Backward"},
        {"forward together", {0, 2}, R::Forward, {1, 3, 0, 2}, "Bring Forward"},
        {"nothing above to pass", {3}, R::Forward, {0, 1, 2, 3}, nullptr},
        {"already at the back", {0}, R::ToBack, {0, 1, 2, 3}, nullptr},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        VRDrawing drawing;
        auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
        const VRObjectList objects{square(QPointF(10, 10), 20), square(QPointF(300, 300), 20),
                                   square(QPointF(20, 15), 20), square(QPointF(25, 5), 20)};
        layer->addObjectsFromArray(objects);
        drawing.undoManager()->closeOpenGroups();
        VRObjectList selection;
        for (int k : row.selected)
            selection << objects.at(k);
        layer->exchangeSelectionWithObjectsFromArray(selection);
        const VRObjectList before = layer->objects();
        EXPECT_EQ(layer->restackSelection(row.restacking), row.undoName != nullptr);
        VRObjectList expected;
        for (int k : row.expected)
            expected << objects.at(k);
        EXPECT_EQ(layer->objects(), expected);
        drawing.undoManager()->closeOpenGroups();
        if (!row.undoName)
            continue;
        EXPECT_EQ(drawing.undoManager()->undoActionName(), QLatin1String(row.undoName));
        drawing.undoManager()->undo();
        EXPECT_EQ(layer->objects(), before);
        drawing.undoManager()->redo();
        EXPECT_EQ(layer->objects(), expected);
    }
}

TEST(LayerOperations, LockingTheSelectionIsOneStepAndLockedObjectsStayPut)
{
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    auto a = square(QPointF(10, 10), 20), b = square(QPointF(20, 15), 20);
    layer->addObjectsFromArray({a, b});
    drawing.undoManager()->closeOpenGroups();
    layer->exchangeSelectionWithObjectsFromArray({a, b});
    EXPECT_TRUE(layer->setSelectionLocked(true));
    EXPECT_TRUE(a->isLocked() && b->isLocked());
    EXPECT_FALSE(layer->setSelectionLocked(true)); // nothing left to lock
    drawing.undoManager()->closeOpenGroups();
    EXPECT_EQ(drawing.undoManager()->undoActionName(), QStringLiteral("Lock"));
    // Locked objects keep their place in the stack.
    EXPECT_FALSE(layer->restackSelection(VRObjectDrawingLayer::Restacking::ToBack));
    drawing.undoManager()->undo();
    EXPECT_FALSE(a->isLocked() || b->isLocked());
    drawing.undoManager()->redo();
    layer->exchangeSelectionWithObjectsFromArray({b});
    EXPECT_TRUE(layer->setSelectionLocked(false));
    drawing.undoManager()->closeOpenGroups();
    EXPECT_EQ(drawing.undoManager()->undoActionName(), QStringLiteral("Unlock"));
    EXPECT_TRUE(a->isLocked());
    EXPECT_FALSE(b->isLocked());
}

TEST(LayerOperations, LayersPaletteKeysAndLayerRules)
{
    VRDrawing drawing;
    VRLayer *layer = drawing.activeLayer();
    EXPECT_EQ(layer->valueForKey(QStringLiteral("name")).toString(), QStringLiteral("Layer 1"));
    EXPECT_TRUE(layer->setValueForKey(QStringLiteral("Top"), QStringLiteral("name")));
    EXPECT_EQ(layer->name(), QStringLiteral("Top"));
    EXPECT_TRUE(layer->setValueForKey(QColor(Qt::red), QStringLiteral("selectionColour")));
    EXPECT_EQ(layer->valueForKey(QStringLiteral("selectionColour")).value<QColor>(),
              QColor(Qt::red));
    EXPECT_FALSE(layer->setValueForKey(1, QStringLiteral("bogus")));
    EXPECT_FALSE(layer->valueForKey(QStringLiteral("bogus")).isValid());
    // The last object layer, the grid and the guides stay.
    EXPECT_FALSE(layer->layerMayBeDeleted());
    EXPECT_FALSE(drawing.removeLayer(layer, nullptr));
    EXPECT_FALSE(drawing.setActiveLayer(drawing.gridLayer()));
    auto second = std::make_shared<VRObjectDrawingLayer>();
    drawing.addLayer(second, true);
    EXPECT_EQ(drawing.activeLayer(), second.get());
    EXPECT_EQ(drawing.objectInLayersAtIndex(1), second.get()); // on top of the object layers
    EXPECT_TRUE(drawing.removeLayer(second.get(), nullptr));
    EXPECT_EQ(drawing.activeLayer(), layer);
}

TEST(LayerOperations, ClassSettingsAreSavedAndLoaded)
{
    const bool undoable = VRObjectDrawingLayer::defaultSelectionChangesAreUndoable();
    const bool guides = VRGuideLayer::showSmartGuides();
    const VRClassInfo &storage = VRObjectOwnerLayer::storageClass();
    const qnt::test::ScopeExit restore([&] {
        VRObjectDrawingLayer::setDefaultSelectionChangesAreUndoable(undoable);
        VRGuideLayer::setShowSmartGuides(guides);
        VRObjectOwnerLayer::setStorageClass(storage);
        for (const QString &key : {kVRObjectStorageClassKey,
                                   kVRDefaultSelectionChangesAreUndoableKey, kVRShowSmartGuidesKey})
            UserDefaults::standardUserDefaults().removeObjectForKey(key);
    });
    VRObjectDrawingLayer::setDefaultSelectionChangesAreUndoable(true);
    VRGuideLayer::setShowSmartGuides(false);
    VRObjectOwnerLayer::setStorageClass(VRLinearObjectStorage::staticClass());
    VRDrawing::saveDefaults();
    EXPECT_EQ(UserDefaults::standardUserDefaults().stringForKey(kVRObjectStorageClassKey),
              QStringLiteral("VRLinearObjectStorage"));
    VRObjectDrawingLayer::setDefaultSelectionChangesAreUndoable(false);
    VRGuideLayer::setShowSmartGuides(true);
    VRObjectOwnerLayer::setStorageClass(VRBSPObjectStorage::staticClass());
    VRDrawing::loadDefaults();
    EXPECT_TRUE(VRObjectDrawingLayer::defaultSelectionChangesAreUndoable());
    EXPECT_FALSE(VRGuideLayer::showSmartGuides());
    EXPECT_EQ(&VRObjectOwnerLayer::storageClass(), &VRLinearObjectStorage::staticClass());
}
