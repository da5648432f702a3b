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

namespace {

struct GrowingTextCase {
    const char *name;
    bool commit; // OK, then Undo; otherwise Cancel
};

class QntContextTextEditorViewGrowth : public testing::TestWithParam<GrowingTextCase>
{
};

} // namespace

// An autosized shape that grows while the text is typed gets its size back with the text,
// whether the edit is cancelled or kept and then undone; redo grows it again.
TEST_P(QntContextTextEditorViewGrowth, TheShapeGetsItsSizeBackWithItsText)
{
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    auto contour = VRDrawableShape::shapeWithRect(QRectF(0, 0, 80, 40));
    auto element = QntElement::createWithObjects({contour}, QStringLiteral("e"), QSizeF(80, 40));
    element->setOriginalSize(QSizeF(80, 40));
    layer->addObject(element);
    element->setAutoSize(true);
    VRUndoManager *undo = drawing.undoManager();
    undo->closeOpenGroups();
    const QSizeF before = element->size();
    const int steps = undo->undoStack().size();

    QntContextTextEditorView view;
    element->startEditingInContextEditorWithView(&view);
    // One keystroke at a time: the first fits, the later ones widen the shape.
    const QString typed = QStringLiteral("A line long enough to need a wider shape");
    for (const QChar c : typed)
        view.textEditingView()->insertPlainText(QString(c));
    ASSERT_GT(element->size().width(), before.width());

    QSizeF grown;
    if (GetParam().commit) {
        element->endEditingInContextEditor(true);
        undo->closeOpenGroups();
        grown = element->size();
        undo->undo();
    } else {
        element->endEditingInContextEditor(false);
    }
    EXPECT_TRUE(element->textContent().toPlainText().isEmpty());
    EXPECT_EQ(element->size(), before);
    if (GetParam().commit) {
        undo->redo();
        EXPECT_EQ(element->textContent().toPlainText(), typed);
        EXPECT_EQ(element->size(), grown);
    } else {
        EXPECT_EQ(undo->undoStack().size(), steps);
    }
}

INSTANTIATE_TEST_SUITE_P(Ends, QntContextTextEditorViewGrowth,
                         testing::Values(GrowingTextCase{"Cancel", false},
                                         GrowingTextCase{"OkThenUndo", true}),
                         [](const testing::TestParamInfo<GrowingTextCase> &info) {
                             return std::string(info.param.name);
                         });
