#include "inspectors/QntMatrix.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPushButton>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Click {
    Qt::KeyboardModifiers modifiers;
    Qt::KeyboardModifiers seen;
};

class QntMatrixTest : public testing::TestWithParam<Click>
{
};

void press(QntMatrix &matrix, int cell, Qt::KeyboardModifiers modifiers)
{
    const QPointF at = matrix.cells()[cell]->geometry().center();
    QMouseEvent event(QEvent::MouseButtonPress, at, matrix.mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(&matrix, &event);
}

} // namespace

TEST_P(QntMatrixTest, EveryClickTogglesItsCellAloneKeepingOtherModifiers)
{
    QntMatrix matrix;
    for (int i = 0; i < 3; ++i)
        matrix.addCell(new QPushButton(QString::number(i)));
    matrix.resize(matrix.sizeHint());
    matrix.show();
    std::vector<std::pair<int, Qt::KeyboardModifiers>> clicks;
    QObject::connect(&matrix, &QntMatrix::cellClicked,
                     [&](int index, Qt::KeyboardModifiers m) { clicks.emplace_back(index, m); });

    press(matrix, 0, GetParam().modifiers);
    press(matrix, 2, GetParam().modifiers);
    // Both stay on: the second click did not choose its cell alone.
    EXPECT_TRUE(matrix.cells()[0]->isChecked());
    EXPECT_FALSE(matrix.cells()[1]->isChecked());
    EXPECT_TRUE(matrix.cells()[2]->isChecked());
    press(matrix, 0, GetParam().modifiers);
    EXPECT_FALSE(matrix.cells()[0]->isChecked());
    EXPECT_TRUE(matrix.cells()[2]->isChecked());

    ASSERT_EQ(clicks.size(), 3u);
    EXPECT_EQ(clicks[1].first, 2);
    for (const auto &click : clicks)
        EXPECT_EQ(click.second, GetParam().seen);
}

INSTANTIATE_TEST_SUITE_P(Modifiers, QntMatrixTest,
                         testing::Values(Click{Qt::NoModifier, Qt::ControlModifier},
                                         Click{Qt::ShiftModifier,
                                               Qt::ShiftModifier | Qt::ControlModifier},
                                         Click{Qt::AltModifier | Qt::ControlModifier,
                                               Qt::AltModifier | Qt::ControlModifier}));

TEST(QntMatrixPlainHandlingTest, ClickWithoutCtrlChoosesOneCell)
{
    QntMatrix matrix;
    for (int i = 0; i < 3; ++i)
        matrix.addCell(new QPushButton(QString::number(i)));
    matrix.resize(matrix.sizeHint());
    matrix.show();
    matrix.cells()[0]->setChecked(true);
    const QPointF at = matrix.cells()[1]->geometry().center();
    QMouseEvent event(QEvent::MouseButtonPress, at, matrix.mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    matrix.mouseDown(&event);
    EXPECT_FALSE(matrix.cells()[0]->isChecked());
    EXPECT_TRUE(matrix.cells()[1]->isChecked());
    EXPECT_EQ(matrix.cellAt(QPoint(-5, -5)), -1);
}
