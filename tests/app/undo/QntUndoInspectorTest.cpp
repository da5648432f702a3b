#include "app/undo/QntUndoInspector.h"
#include "app/undo/RedoDataSource.h"
#include "app/undo/UndoDataSource.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"

#include <QPushButton>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

class UndoInspectorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        document = std::make_unique<VRDrawingDocument>();
        VRInspectorBase::setMainDocumentOverride(document.get());
        inspector = std::make_unique<QntUndoInspector>();
        inspector->window();
    }
    void TearDown() override
    {
        inspector.reset();
        VRInspectorBase::setMainDocumentOverride(nullptr);
        document.reset();
    }
    // One named user action that adds a shape.
    void act(const QString &name)
    {
        VRUndoManager *undo = document->drawing()->undoManager();
        undo->beginUndoGrouping();
        document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>()->addObject(
            VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 10)));
        undo->setActionName(name);
        undo->endUndoGrouping();
    }
    QStringList childNames(const QAbstractItemModel &model, const QModelIndex &parent)
    {
        QStringList names;
        for (int i = 0; i < model.rowCount(parent); ++i)
            names << model.index(i, 0, parent).data().toString();
        return names;
    }

    std::unique_ptr<VRDrawingDocument> document;
    std::unique_ptr<QntUndoInspector> inspector;
};

} // namespace

TEST_F(UndoInspectorTest, ListsGroupsNewestFirstWithTheirTasks)
{
    act(QStringLiteral("First"));
    act(QStringLiteral("Second"));
    act(QStringLiteral("Third"));
    inspector->reloadData();
    UndoDataSource &undo = *inspector->undoDataSource();
    ASSERT_EQ(undo.rowCount({}), 1);
    const QModelIndex root = undo.index(0, 0);
    EXPECT_EQ(root.data().toString(), QStringLiteral("Undo stack"));
    EXPECT_EQ(childNames(undo, root), (QStringList{"Third", "Second", "First"}));
    const QModelIndex third = undo.index(0, 0, root);
    ASSERT_GT(undo.rowCount(third), 0);
    const QModelIndex task = undo.index(0, 0, third);
    EXPECT_FALSE(task.data().toString().isEmpty());
    EXPECT_FALSE(undo.hasChildren(task));
    EXPECT_TRUE(inspector->undoOutline()->isExpanded(root));

    RedoDataSource &redo = *inspector->redoDataSource();
    const QModelIndex redoRoot = redo.index(0, 0);
    EXPECT_EQ(redoRoot.data().toString(), QStringLiteral("Redo stack"));
    EXPECT_EQ(redo.rowCount(redoRoot), 0);

    // An undo moves the group to the redo tree (the notification refreshes the panel).
    document->drawing()->undoManager()->undo();
    EXPECT_EQ(childNames(undo, undo.index(0, 0)), (QStringList{"Second", "First"}));
    EXPECT_EQ(childNames(redo, redo.index(0, 0)), (QStringList{"Third"}));
}

TEST_F(UndoInspectorTest, ClearEmptiesBothStacks)
{
    act(QStringLiteral("One"));
    act(QStringLiteral("Two"));
    document->drawing()->undoManager()->undo();
    inspector->reloadData();
    inspector->window()->findChild<QPushButton *>(QStringLiteral("clearStacksButton"))->click();
    EXPECT_FALSE(document->drawing()->undoManager()->canUndo());
    EXPECT_FALSE(document->drawing()->undoManager()->canRedo());
    UndoDataSource &undo = *inspector->undoDataSource();
    RedoDataSource &redo = *inspector->redoDataSource();
    EXPECT_EQ(undo.rowCount(undo.index(0, 0)), 0);
    EXPECT_EQ(redo.rowCount(redo.index(0, 0)), 0);
}

TEST_F(UndoInspectorTest, NoDocumentShowsEmptyRoots)
{
    VRInspectorBase::setMainDocumentOverride(nullptr);
    document.reset();
    inspector->reloadData();
    UndoDataSource &undo = *inspector->undoDataSource();
    EXPECT_EQ(undo.index(0, 0).data().toString(), QStringLiteral("Undo stack"));
    EXPECT_EQ(undo.rowCount(undo.index(0, 0)), 0);
}
