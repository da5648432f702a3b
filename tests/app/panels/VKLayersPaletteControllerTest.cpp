#include "app/panels/VKLayersPaletteController.h"
#include "app/panels/VKTableView.h"
#include "framework/archive/VRArchiver.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingView.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

int column(const QString &identifier)
{
    return int(VKLayersPaletteController::columnIdentifiers().indexOf(identifier));
}

class LayersPaletteTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        document = std::make_unique<VRDrawingDocument>();
        palette = std::make_unique<VKLayersPaletteController>(VREmbedded{}, nullptr, drawing());
        palette->contentView();
    }
    void TearDown() override
    {
        if (palette)
            delete palette->contentView();
        palette.reset();
        document.reset();
    }
    VRDrawing *drawing() const { return document->drawing(); }
    VRUndoManager *undo() const { return drawing()->undoManager(); }
    QAbstractItemModel *model() const { return palette->layersTable()->model(); }
    // One user action: the undo manager closes its group as the event loop turns.
    void endAction() const { undo()->closeOpenGroups(); }
    VRLayer *layerNamed(const QString &name) const
    {
        for (int i = 0; i < drawing()->countOfLayers(); ++i) {
            if (drawing()->objectInLayersAtIndex(i)->name() == name)
                return drawing()->objectInLayersAtIndex(i);
        }
        return nullptr;
    }
    void edit(const QString &identifier, int row, const QVariant &value) const
    {
        model()->setData(model()->index(row, column(identifier)), value, Qt::EditRole);
        endAction();
    }

    std::unique_ptr<VRDrawingDocument> document;
    std::unique_ptr<VKLayersPaletteController> palette;
};

TEST_F(LayersPaletteTest, RowsAreTheDrawingsLayersInItsOrder)
{
    ASSERT_EQ(model()->rowCount(), drawing()->countOfLayers());
    for (int row = 0; row < drawing()->countOfLayers(); ++row) {
        EXPECT_EQ(model()->index(row, column("name")).data().toString(),
                  drawing()->objectInLayersAtIndex(row)->name());
    }
    // The active layer's row is the one selected.
    const QModelIndexList selected = palette->layersTable()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.first().row(), drawing()->indexOfActiveLayer());
}

TEST_F(LayersPaletteTest, AddMakesAnActiveLayerThatUndoesInOneStep)
{
    const int before = drawing()->countOfLayers();
    palette->addButton()->click();
    endAction();
    ASSERT_EQ(drawing()->countOfLayers(), before + 1);
    EXPECT_EQ(drawing()->activeLayer()->name(), QStringLiteral("Layer 2"));
    EXPECT_EQ(undo()->undoActionName(), QStringLiteral("Add Layer \u201CLayer 2\u201D"));
    EXPECT_EQ(model()->rowCount(), before + 1);
    undo()->undo();
    EXPECT_EQ(drawing()->countOfLayers(), before);
    EXPECT_EQ(drawing()->activeLayer()->name(), QStringLiteral("Layer 1"));
}

TEST_F(LayersPaletteTest, DeleteRemovesTheActiveLayerButNeverTheLast)
{
    EXPECT_FALSE(palette->removeButton()->isEnabled());
    const int before = drawing()->countOfLayers();
    palette->removeLayerButtonAction();
    EXPECT_EQ(drawing()->countOfLayers(), before);

    palette->addLayerButtonAction();
    endAction();
    EXPECT_TRUE(palette->removeButton()->isEnabled());
    palette->removeButton()->click();
    endAction();
    EXPECT_EQ(drawing()->countOfLayers(), before);
    EXPECT_EQ(undo()->undoActionName(), QStringLiteral("Delete Layer \u201CLayer 2\u201D"));
    undo()->undo();
    EXPECT_EQ(drawing()->countOfLayers(), before + 1);
    EXPECT_EQ(drawing()->activeLayer()->name(), QStringLiteral("Layer 2"));
}

TEST_F(LayersPaletteTest, EveryColumnEditsItsLayerUndoably)
{
    const int row = drawing()->indexOfLayer(layerNamed("Layer 1"));
    struct Case {
        QString identifier;
        QVariant value;
        QVariant expected;
        QString actionName;
    };
    const Case cases[] = {
        {"name", "Background", "Background", "Rename Layer"},
        {"visible", 0, false, "Hide Layer"},
        {"locked", 1, true, "Lock Layer"},
        {"shouldDrawToPrinter", 0, false, "Change Layer Printing"},
    };
    VRLayer *layer = drawing()->objectInLayersAtIndex(row);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.identifier.toStdString());
        const QVariant old = layer->valueForKey(c.identifier);
        edit(c.identifier, row, c.value);
        EXPECT_EQ(layer->valueForKey(c.identifier), c.expected);
        EXPECT_EQ(undo()->undoActionName(), c.actionName);
        undo()->undo();
        EXPECT_EQ(layer->valueForKey(c.identifier), old);
    }
}

TEST_F(LayersPaletteTest, BadEditsChangeNothing)
{
    const int row = drawing()->indexOfLayer(layerNamed("Layer 1"));
    edit("name", row, "   ");
    EXPECT_EQ(drawing()->objectInLayersAtIndex(row)->name(), QStringLiteral("Layer 1"));
    EXPECT_FALSE(undo()->canUndo());
    // Rows beyond the layers and colours without a picked colour are ignored.
    palette->setObjectValue(QStringLiteral("X"), QStringLiteral("name"), 99);
    palette->setObjectValue(QColor(Qt::red), QStringLiteral("selectionColour"), row);
    EXPECT_FALSE(undo()->canUndo());
}

TEST_F(LayersPaletteTest, APickedColourShowsInItsRowUntilCommitted)
{
    const int row = drawing()->indexOfLayer(layerNamed("Layer 1"));
    auto *layer = static_cast<VRObjectDrawingLayer *>(drawing()->objectInLayersAtIndex(row));
    const QModelIndex cell = model()->index(row, column("selectionColour"));
    EXPECT_EQ(cell.data(Qt::EditRole).value<QColor>(),
              VRObjectDrawingLayer::defaultSelectionColour());
    palette->setTemporaryColour(QColor(Qt::green), palette->layersTable(), row);
    EXPECT_EQ(cell.data(Qt::EditRole).value<QColor>(), QColor(Qt::green));
    EXPECT_FALSE(layer->selectionColour().isValid());
    model()->setData(cell, QColor(Qt::blue), Qt::EditRole);
    endAction();
    EXPECT_EQ(layer->selectionColour(), QColor(Qt::green));
    EXPECT_EQ(palette->temporaryColourRow(), -1);
    EXPECT_EQ(undo()->undoActionName(), QStringLiteral("Change Selection Colour"));
    undo()->undo();
    EXPECT_FALSE(layer->selectionColour().isValid());
}

TEST_F(LayersPaletteTest, DraggingARowReordersTheLayers)
{
    palette->addLayerButtonAction();
    endAction();
    const int from = drawing()->indexOfLayer(layerNamed("Layer 2"));
    const int to = drawing()->indexOfLayer(layerNamed("Layer 1"));
    QMimeData *data = model()->mimeData({model()->index(from, column("name"))});
    ASSERT_TRUE(
        model()->dropMimeData(data, Qt::CopyAction, -1, -1, model()->index(to, column("name"))));
    delete data;
    endAction();
    EXPECT_EQ(drawing()->indexOfLayer(layerNamed("Layer 2")), to);
    EXPECT_EQ(undo()->undoActionName(), QStringLiteral("Reorder Layers"));
    undo()->undo();
    EXPECT_EQ(drawing()->indexOfLayer(layerNamed("Layer 2")), from);
    // Drag data of another kind, or naming no layer, is refused.
    QMimeData bad;
    bad.setData(QStringLiteral("kVRTableRowInternalDragPasteboardType"), "x");
    EXPECT_FALSE(model()->dropMimeData(&bad, Qt::CopyAction, 0, 0, {}));
    EXPECT_FALSE(palette->acceptDrop({99}, 0));
}

TEST_F(LayersPaletteTest, SelectingARowActivatesItsLayer)
{
    palette->addLayerButtonAction();
    endAction();
    const int row = drawing()->indexOfLayer(layerNamed("Layer 1"));
    palette->layersTable()->selectRow(row);
    EXPECT_EQ(drawing()->activeLayer()->name(), QStringLiteral("Layer 1"));
}

TEST_F(LayersPaletteTest, LayerPropertiesSurviveSavingAndReading)
{
    palette->addLayerButtonAction();
    endAction();
    const int row = drawing()->indexOfLayer(layerNamed("Layer 2"));
    edit("name", row, "Notes");
    edit("locked", row, 1);
    edit("visible", row, 0);
    edit("shouldDrawToPrinter", row, 0);
    palette->setTemporaryColour(QColor(Qt::magenta), palette->layersTable(), row);
    edit("selectionColour", row, QColor());

    auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*drawing()));
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    VRDrawing &again = *read.value();
    ASSERT_EQ(again.countOfLayers(), drawing()->countOfLayers());
    auto *notes = static_cast<VRObjectDrawingLayer *>(again.objectInLayersAtIndex(row));
    EXPECT_EQ(notes->name(), QStringLiteral("Notes"));
    EXPECT_TRUE(notes->isLocked());
    EXPECT_FALSE(notes->isVisible());
    EXPECT_FALSE(notes->shouldDrawToPrinter());
    EXPECT_EQ(notes->selectionColour(), QColor(Qt::magenta));
}

TEST_F(LayersPaletteTest, NothingOfALockedLayerIsSelectedOrMoved)
{
    auto *layer = drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    VRObjectRef shape = VRDrawableShape::shapeWithRect(QRectF(10, 10, 40, 40));
    layer->addObject(shape);
    layer->selectAll();
    edit("locked", drawing()->indexOfLayer(layer), 1);
    VRDrawingView view(drawing());
    layer->deselectAll();
    view.selectAll(nullptr);
    EXPECT_EQ(layer->countOfSelection(), 0);
    layer->addObjectToSelection(shape);
    const QPointF where = shape->location();
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &right);
    EXPECT_EQ(shape->location(), where);
    EXPECT_FALSE(view.objectAtPoint(QPointF(30, 30)));
}

} // namespace
