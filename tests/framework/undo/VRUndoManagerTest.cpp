#include "framework/undo/VRUndoManager.h"

#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VKConcreteUndoTask.h"
#include "framework/undo/VKUndoGroup.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

// A drawing holding one 10 x 10 shape, with nothing left to undo.
struct OneShapeDrawing {
    OneShapeDrawing()
    {
        drawing.activeLayerOfClass<VRObjectDrawingLayer>()->addObject(shape);
        QCoreApplication::processEvents();
        drawing.undoManager()->removeAllActions();
    }
    VRDrawing drawing;
    std::shared_ptr<VRDrawableShape> shape = VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 10));
};

} // namespace

TEST(VRUndoManager, GroupsByEventLoopTurnAndNotifies)
{
    OneShapeDrawing fixture;
    auto &shape = fixture.shape;
    VRUndoManager *um = fixture.drawing.undoManager();

    QList<Notification> seen;
    auto token = NotificationCenter::defaultCenter().addObserver(
        kQntUndoRedoChangedNotification, nullptr, [&](const Notification &n) { seen.append(n); });
    shape->moveBy(QPointF(1, 0));
    shape->moveBy(QPointF(1, 0)); // coalesced: the group keeps the oldest state
    shape->setSize(QSizeF(20, 20));
    EXPECT_EQ(um->groupingLevel(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(um->groupingLevel(), 0);
    ASSERT_EQ(um->undoStack().size(), 1);
    EXPECT_EQ(um->undoStack().first()->tasks().size(), 2);
    ASSERT_EQ(seen.size(), 1);
    const void *firstTask = um->undoStack().first()->tasks().first().get();
    EXPECT_EQ(seen.first().object, firstTask);
    EXPECT_EQ(seen.first().userInfo.value(QStringLiteral("UndoManager")).value<VRUndoManager *>(),
              um);
    auto *task = static_cast<VKUndoTask *>(const_cast<void *>(firstTask));
    EXPECT_TRUE(task->isMemberOf<VKConcreteUndoTask>());
    EXPECT_EQ(static_cast<VKConcreteUndoTask *>(task)->selectorName(),
              QStringLiteral("setLocation:"));

    bool didUndo = false;
    auto undoToken = NotificationCenter::defaultCenter().addObserver(
        kVRUndoManagerDidUndoChangeNotification, um, [&](const Notification &) { didUndo = true; });
    um->undo();
    EXPECT_TRUE(didUndo);
    EXPECT_EQ(shape->location(), QPointF(5, 5));
    EXPECT_EQ(shape->size(), QSizeF(10, 10));
    EXPECT_EQ(um->undoMenuItemTitle(), QStringLiteral("Undo"));
    EXPECT_EQ(um->redoMenuItemTitle(), QStringLiteral("Redo Resize"));

    // Nested explicit groups form one step; empty groups are dropped.
    um->beginUndoGrouping();
    um->beginUndoGrouping();
    um->endUndoGrouping();
    um->endUndoGrouping();
    EXPECT_FALSE(um->canUndo());
    EXPECT_TRUE(um->canRedo());

    // Registration can be switched off (counted).
    um->disableUndoRegistration();
    um->disableUndoRegistration();
    shape->moveBy(QPointF(3, 3));
    um->enableUndoRegistration();
    shape->moveBy(QPointF(3, 3));
    um->enableUndoRegistration();
    um->closeOpenGroups();
    EXPECT_FALSE(um->canUndo());
    // A new step after undo empties the redo stack.
    shape->moveBy(QPointF(1, 1));
    um->closeOpenGroups();
    EXPECT_FALSE(um->canRedo());
    seen.clear();
    um->removeAllActions();
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen.first().object, nullptr);
}

TEST(VRUndoManager, ANameGivenAfterClosingAnEmptyGroupLeavesTheStepBeforeAlone)
{
    OneShapeDrawing fixture;
    auto &shape = fixture.shape;
    VRUndoManager *um = fixture.drawing.undoManager();

    um->beginUndoGrouping();
    shape->moveBy(QPointF(1, 0));
    um->endUndoGrouping();
    um->setActionName(QStringLiteral("Move"));
    // A change that turned out to change nothing names its step after closing it.
    um->beginUndoGrouping();
    um->endUndoGrouping();
    um->setActionName(QStringLiteral("Apply Colour Scheme"));
    EXPECT_EQ(um->undoActionName(), QStringLiteral("Move"));
    // Once something is recorded again, naming after closing works as before.
    um->beginUndoGrouping();
    shape->setSize(QSizeF(20, 20));
    um->endUndoGrouping();
    um->setActionName(QStringLiteral("Resize"));
    EXPECT_EQ(um->undoActionName(), QStringLiteral("Resize"));
    um->undo();
    EXPECT_EQ(um->undoActionName(), QStringLiteral("Move"));
    um->removeAllActions();
}

TEST(VRUndoManager, CleanStateFollowsUndoAndIsLostWhenActionsAreRemoved)
{
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    auto shape = VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 10));
    layer->addObject(shape);
    VRUndoManager *um = drawing.undoManager();
    um->closeOpenGroups();
    um->markClean();
    EXPECT_TRUE(um->isClean());
    shape->moveBy(QPointF(1, 0));
    EXPECT_FALSE(um->isClean());
    um->closeOpenGroups();
    um->undo();
    EXPECT_TRUE(um->isClean());
    um->redo();
    EXPECT_FALSE(um->isClean());
    um->undo();
    um->undo(); // back before the clean point
    EXPECT_FALSE(um->isClean());
    um->redo();
    EXPECT_TRUE(um->isClean());
    um->removeAllActions();
    EXPECT_FALSE(um->isClean());
    // At most 100 steps are kept.
    for (int i = 0; i < 120; ++i) {
        shape->moveBy(QPointF(1, 0));
        um->closeOpenGroups();
    }
    EXPECT_EQ(um->undoStack().size(), VRUndoManager::kMaximumGroups);
}

TEST(VRUndoManager, DetachedObjectsAndPrototypesRecordNothing)
{
    VRDrawing drawing;
    auto detached = VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 10));
    detached->moveBy(QPointF(1, 1));
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    auto prototype = VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 10));
    prototype->setIsPrototype(true);
    drawing.undoManager()->disableUndoRegistration();
    layer->addObject(prototype);
    drawing.undoManager()->enableUndoRegistration();
    prototype->moveBy(QPointF(1, 1));
    drawing.undoManager()->closeOpenGroups();
    EXPECT_FALSE(drawing.undoManager()->canUndo());
}
