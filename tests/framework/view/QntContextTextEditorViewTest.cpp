#include "framework/view/QntContextTextEditorView.h"

#include "framework/base/VRConstants.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/NotificationCenter.h"

#include <QTextEdit>

#include <gtest/gtest.h>

TEST(QntContextTextEditorView, EditsGoToTheObjectAndUndoReloadsTheEditor)
{
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    auto contour = VRDrawableShape::shapeWithRect(QRectF(0, 0, 80, 40));
    auto element = QntElement::createWithObjects({contour}, QStringLiteral("e"), QSizeF(80, 40));
    element->addTextShape();
    element->text()->setString(QStringLiteral("before"));
    layer->addObject(element);
    drawing.undoManager()->closeOpenGroups();

    QntContextTextEditorView view;
    element->startEditingInContextEditorWithView(&view);
    EXPECT_TRUE(element->isEditing());
    EXPECT_EQ(element->textEditor(), view.textEditingView());
    EXPECT_EQ(view.textEditingView()->toPlainText(), QStringLiteral("before"));
    view.textEditingView()->setPlainText(QStringLiteral("after"));
    EXPECT_EQ(element->textContent().toPlainText(), QStringLiteral("after"));
    drawing.undoManager()->closeOpenGroups();

    EXPECT_EQ(drawing.undoManager()->undoActionName(), QStringLiteral("Changing text attributes"));

    int updates = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        kQntUpdateTextEditorControlsNotification, element.get(),
        [&](const Notification &) { ++updates; });
    drawing.undoManager()->undo();
    EXPECT_EQ(element->textContent().toPlainText(), QStringLiteral("before"));
    EXPECT_EQ(view.textEditingView()->toPlainText(), QStringLiteral("before"));
    EXPECT_GE(updates, 1);
    element->endEditingInContextEditor(false);
    EXPECT_FALSE(element->isEditing());
}
