#include "style/QntColorPicker.h"

#include "style/QntColorPickerView.h"

#include <gtest/gtest.h>

namespace {

TEST(ColorPicker, ShowsItsColourAsAPictureOfItsSize)
{
    QntColorPicker button;
    button.resize(44, 20);
    EXPECT_EQ(button.color(), QColor(Qt::black));
    button.setColor(Qt::red);
    EXPECT_EQ(button.color(), QColor(Qt::red));
    EXPECT_EQ(button.iconSize(), QSize(44, 20));
    EXPECT_EQ(button.icon().pixmap(QSize(44, 20)).toImage().pixelColor(10, 10), QColor(Qt::red));
}

// A delegate that says whether it takes picked colours.
struct Inspector : QntColorPickerDelegate {
    bool takes = true;
    QList<QColor> picked;
    VRDrawing *currentDrawing() const override { return nullptr; }
    VRObjectRef contextObject() const override { return nullptr; }
    bool respondsToChangeColor() const override { return takes; }
    void changeColor(QntColorPicker &sender) override { picked.append(sender.color()); }
};

TEST(ColorPicker, PickedColoursGoToADelegateThatTakesThem)
{
    QntColorPicker button;
    Inspector inspector;
    button.setDelegate(&inspector);
    QntColorPickerView view;
    view.setColorForUndefinedSelection(Qt::green);
    button.colourChangeFromPicker(view);
    ASSERT_EQ(inspector.picked.size(), 1);
    EXPECT_EQ(inspector.picked.first(), QColor(Qt::green));
    inspector.takes = false;
    view.setColorForUndefinedSelection(Qt::cyan);
    button.colourChangeFromPicker(view);
    EXPECT_EQ(inspector.picked.size(), 1);
    EXPECT_EQ(button.color(), QColor(Qt::cyan));
    // A scheme picker off its swatches picks no scheme and changes nothing.
    QntColorSchemePicker schemes;
    QntColorSchemePickerView schemeView;
    schemes.colourChangeFromPicker(schemeView);
    EXPECT_EQ(schemes.color(), QColor(Qt::black));
}

TEST(ColorPicker, WithoutANotationEverySwatchIsGreyAndNoSchemeIsPicked)
{
    QntColorSchemePickerView view;
    view.setMode(VKColourPickerView::SwatchMode);
    EXPECT_EQ(view.colorForSwatchX(0, 0), QColor(Qt::gray));
    EXPECT_EQ(view.colorSchemeIdForSwatchX(6, 0), 0);
    EXPECT_EQ(view.colorSchemeId(), 0);
    EXPECT_EQ(view.swatchAtPoint(QPointF(45, 20)), QPointF(1, 0));
}

} // namespace
