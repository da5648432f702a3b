#pragma once

#include <QStyledItemDelegate>

// A text cell that draws its text, and starts its editor, vertically centred in the cell.
class VXVerticallyCenteredTextFieldCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The cell's rectangle narrowed to the text's height and centred: when the rectangle is
    // taller than the text by d > 0, its height shrinks by d and its top moves down by d / 2.
    static QRect drawingRectForBounds(const QRect &bounds, int textHeight);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

private:
    int textHeight(const QStyleOptionViewItem &option, const QModelIndex &index) const;
};
