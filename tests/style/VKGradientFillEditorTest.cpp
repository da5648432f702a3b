#include "style/VKGradientFillEditor.h"

#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/VRColorStop.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "style/VKGradientWell.h"
#include "style/WXGradientControl.h"
#include "common/SharedStateKeepers.h"

#include <gtest/gtest.h>

namespace {

class GradientFillEditorTest : public ::testing::Test
{
protected:
    // Declared first, so it ends last: the colour panel goes back as the test found it.
    qnt::test::ColorPanelKeeper m_colourPanel;
    void SetUp() override
    {
        layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
        shape = VRDrawableShape::shapeWithRect(QRectF(10, 10, 100, 60));
        shape->setStyle(VRStyle::styleWithFillColour(Qt::white, Qt::black, 1));
        layer->addObject(shape);
        layer->addObjectToSelection(shape);
        drawing.undoManager()->removeAllActions();
        editor = std::make_unique<VKGradientFillEditor>(&drawing);
        editor->stopEditor()->resize(222, 24);
        editor->reload();
    }
    VRGradientRef fillGradient() const
    {
        VRFill *fill = shape->style()->fill();
        return fill ? fill->gradient() : nullptr;
    }

    VRDrawing drawing;
    VRObjectDrawingLayer *layer = nullptr;
    std::shared_ptr<VRDrawableShape> shape;
    std::unique_ptr<VKGradientFillEditor> editor;
};

TEST_F(GradientFillEditorTest, AStopDraggedIsOneUndoableChangeOfTheFill)
{
    EXPECT_FALSE(fillGradient());
    EXPECT_FALSE(editor->well()->gradient());
    WXGradientControl *bar = editor->stopEditor();
    const QPointF end = bar->swatchRectForStop(bar->unsortedStops().at(1)).center();
    bar->mouseDownAt(end);
    for (int x = 200; x >= 120; x -= 20)
        bar->mouseDraggedTo(QPointF(x, 12), Qt::ShiftModifier);
    bar->mouseUpAt(QPointF(120, 12));
    drawing.undoManager()->closeOpenGroups();
    ASSERT_TRUE(fillGradient());
    EXPECT_TRUE(fillGradient()->isEqual(*bar->gradient()));
    EXPECT_NE(fillGradient(), bar->gradient()); // the object keeps a gradient of its own
    EXPECT_EQ(editor->well()->gradient(), bar->gradient());
    EXPECT_EQ(drawing.undoManager()->undoActionName(), QStringLiteral("Fill Gradient"));
    drawing.undoManager()->undo();
    EXPECT_FALSE(fillGradient());
}

TEST_F(GradientFillEditorTest, APastedGradientFillsTheObjectAndFeedsTheBar)
{
    auto pasted = VRGradient::gradientWithStartingColor(Qt::red, Qt::blue);
    editor->well()->setGradient(pasted);
    ASSERT_TRUE(fillGradient());
    EXPECT_TRUE(fillGradient()->isEqual(*pasted));
    EXPECT_EQ(editor->stopEditor()->gradient(), pasted);
    // Without a selected object there is nothing to edit.
    layer->deselectAll();
    editor->reload();
    EXPECT_FALSE(editor->isEnabled());
}

} // namespace
