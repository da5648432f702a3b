#pragma once

#include <QColor>
#include <QTreeView>

// An outline whose check boxes toggle in place: clicking a check box changes the item's value
// without changing the selection. The selected row is filled with the selection colour.
class VKOutlineView : public QTreeView
{
    Q_OBJECT
public:
    using QTreeView::QTreeView;

    // Colour of the grid lines: red 0.3, green 0.6, blue 0.92, alpha 0.15.
    static QColor gridColor();

protected:
    // A check box was clicked and its value changed; the row's selection is left alone.
    virtual void buttonCellClicked(const QModelIndex &index) { Q_UNUSED(index); }

    void mousePressEvent(QMouseEvent *event) override;
    void drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                 const QModelIndex &index) const override;

private:
    bool isOnCheckBox(const QModelIndex &index, const QPoint &position) const;
};
