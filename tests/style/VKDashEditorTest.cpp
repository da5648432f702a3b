#include "style/VKDashEditor.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QCoreApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace {

class DashEditorTest : public ::testing::Test
{
protected:
    void SetUp() override { editor.editView()->resize(360, 80); }
    VKDashEditor editor;
};

TEST_F(DashEditorTest, CountKeepsValuesAndFillsWithOnes)
{
    editor.setDash(VRStrokeDash::create({3, 2}));
    editor.setDashCount(8);
    EXPECT_EQ(editor.dash()->dashPattern(), (QList<double>{3, 2, 1, 1, 1, 1, 1, 1}));
    EXPECT_TRUE(editor.field(7)->isEnabled());
    EXPECT_EQ(editor.countMatrix()->checkedId(), 3);

    editor.setDashCount(2);
    EXPECT_EQ(editor.dash()->dashPattern(), (QList<double>{3, 2}));
    for (int i = 2; i < 8; ++i) {
        EXPECT_FALSE(editor.field(i)->isEnabled());
        EXPECT_TRUE(editor.field(i)->text().isEmpty());
    }
    EXPECT_EQ(editor.countMatrix()->checkedId(), 0);
    // An odd count selects the cell of the pair it belongs to.
    editor.setDashCount(3);
    EXPECT_EQ(editor.countMatrix()->checkedId(), 1);
}

TEST_F(DashEditorTest, PreviewOffSendsNothing)
{
    editor.setDash(VRStrokeDash::create({3, 2}));
    int changes = 0;
    QObject::connect(&editor, &VKDashEditor::dashChanged, [&] { ++changes; });
    editor.field(0)->setText(QStringLiteral("6"));
    editor.dashValueAction();
    EXPECT_EQ(changes, 1);
    editor.previewCheckbox()->setChecked(false);
    editor.field(0)->setText(QStringLiteral("7"));
    editor.dashValueAction();
    editor.dashCountMatrixAction(2);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(editor.dash()->dashPattern().first(), 7);
}

TEST_F(DashEditorTest, OpeningWithoutADashEditsTheDefaultOne)
{
    QWidget parent;
    editor.openDashEditorInParentWindow(&parent);
    ASSERT_TRUE(editor.dash());
    EXPECT_TRUE(editor.dash()->isEqual(*VRStrokeDash::defaultDash()));
    QList<int> ended;
    QObject::connect(&editor, &VKDashEditor::sheetEnded, [&](int code) { ended.append(code); });
    editor.cancel();
    EXPECT_EQ(ended, QList<int>{VKDashEditor::kCancel});
}

TEST_F(DashEditorTest, HandlesStackAndDragsNeverGoBelowZero)
{
    VKDashEditView &view = *editor.editView();
    view.setDash(VRStrokeDash::create({0, 0, 10, 4}));
    view.calcHandles();
    const QList<QRectF> handles = view.handles();
    ASSERT_EQ(handles.size(), 4);
    EXPECT_EQ(handles.at(0).x(), handles.at(1).x());
    EXPECT_EQ(handles.at(1).top(), handles.at(0).bottom() + 1);

    // Dragging the third handle left of its segment's start sets it to 0.
    const int hit = view.mouseInHandle(view.handles().at(2).center());
    ASSERT_EQ(hit, 2);
    QMouseEvent press(QEvent::MouseButtonPress, view.handles().at(2).center(),
                      view.mapToGlobal(view.handles().at(2).center()), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &press);
    view.calcDashForPoint(QPointF(2, 0));
    EXPECT_EQ(view.dash()->dashPattern().at(2), 0.0);
    EXPECT_EQ(view.mouseInHandle(QPointF(-50, -50)), VKDashEditView::kNoHandle);
}

TEST_F(DashEditorTest, ScaledDashesMoveFivePointsPerUnitAtWidthFive)
{
    VKDashEditView &view = *editor.editView();
    view.setLineWidth(5);
    view.setDash(VRStrokeDash::create({2, 2}, 0, true));
    view.calcHandles();
    // The first handle's centre sits on the end of the first mark: 8 + 2 × 5.
    EXPECT_DOUBLE_EQ(view.handles().at(0).center().x(), 18.0);
    QMouseEvent press(QEvent::MouseButtonPress, view.handles().at(0).center(),
                      view.mapToGlobal(view.handles().at(0).center()), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &press);
    view.calcDashForPoint(QPointF(8 + 15, 0));
    EXPECT_DOUBLE_EQ(view.dash()->dashPattern().at(0), 3.0);
    // A zero sample width with scaling divides by nothing.
    view.setLineWidth(0);
    view.calcDashForPoint(QPointF(8 + 4, 0));
    EXPECT_DOUBLE_EQ(view.dash()->dashPattern().at(0), 4.0);
}

} // namespace
