#include "app/common/VXVerticallyCenteredTextFieldCell.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

QRect VXVerticallyCenteredTextFieldCell::drawingRectForBounds(const QRect &bounds, int textHeight)
{
    QRect rect = bounds;
    const int d = rect.height() - textHeight;
    if (d > 0) {
        rect.setHeight(rect.height() - d);
        rect.moveTop(rect.top() + d / 2);
    }
    return rect;
}

int VXVerticallyCenteredTextFieldCell::textHeight(const QStyleOptionViewItem &option,
                                                  const QModelIndex &index) const
{
    QStyleOptionViewItem measured = option;
    initStyleOption(&measured, index);
    return QFontMetrics(measured.font).height();
}

void VXVerticallyCenteredTextFieldCell::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                              const QModelIndex &index) const
{
    QStyleOptionViewItem centred = option;
    centred.displayAlignment =
        (option.displayAlignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;
    QStyledItemDelegate::paint(painter, centred, index);
}

void VXVerticallyCenteredTextFieldCell::updateEditorGeometry(QWidget *editor,
                                                             const QStyleOptionViewItem &option,
                                                             const QModelIndex &index) const
{
    // The editor starts where the text is, so it does not jump when editing begins.
    QStyleOptionViewItem centred = option;
    const int height = std::max(textHeight(option, index), editor->sizeHint().height());
    centred.rect = drawingRectForBounds(option.rect, height);
    QStyledItemDelegate::updateEditorGeometry(editor, centred, index);
}
