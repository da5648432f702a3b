#include "app/common/VKOutlineView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

QColor VKOutlineView::gridColor()
{
    return QColor::fromRgbF(0.3f, 0.6f, 0.92f, 0.15f);
}

bool VKOutlineView::isOnCheckBox(const QModelIndex &index, const QPoint &position) const
{
    if (!index.isValid())
        return false;
    const Qt::ItemFlags flags = model()->flags(index);
    if (!(flags & Qt::ItemIsUserCheckable) || !(flags & Qt::ItemIsEnabled))
        return false;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
    return box.contains(position);
}

void VKOutlineView::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    // A click outside every column, or on anything but a check box, is the outline's own.
    if (event->button() != Qt::LeftButton || !isOnCheckBox(index, event->position().toPoint())) {
        QTreeView::mousePressEvent(event);
        return;
    }
    const auto state = Qt::CheckState(model()->data(index, Qt::CheckStateRole).toInt());
    const Qt::CheckState next = state == Qt::Checked ? Qt::Unchecked : Qt::Checked;
    model()->setData(index, next, Qt::CheckStateRole);
    update(index);
    event->accept();
    buttonCellClicked(index);
}

void VKOutlineView::drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const
{
    if (selectionModel() && selectionModel()->isRowSelected(index.row(), index.parent()))
        painter->fillRect(option.rect, palette().brush(QPalette::Highlight));
    QTreeView::drawRow(painter, option, index);
}
