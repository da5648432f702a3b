#include "app/panels/VKTableView.h"

#include "app/panels/VKCheckboxCell.h"
#include "framework/styles/VRGradient.h"
#include "style/VKColourCell.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>

VKTableView::VKTableView(QWidget *parent)
    : QTableView(parent)
{
    QPalette colours = palette();
    // The selected row draws its own gradient; cells paint no highlight of their own.
    colours.setColor(QPalette::Highlight, Qt::transparent);
    colours.setColor(QPalette::HighlightedText, Qt::white);
    setPalette(colours);
    const QColor grid = gridColour();
    setStyleSheet(QStringLiteral("QTableView { gridline-color: rgba(%1, %2, %3, %4); }")
                      .arg(grid.red())
                      .arg(grid.green())
                      .arg(grid.blue())
                      .arg(grid.alphaF()));
    verticalHeader()->hide();
}

QColor VKTableView::gridColour()
{
    return QColor::fromRgbF(0.3f, 0.6f, 0.92f, 0.15f);
}

void VKTableView::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid() || event->button() != Qt::LeftButton) {
        QTableView::mousePressEvent(event);
        return;
    }
    QAbstractItemDelegate *cell = itemDelegateForColumn(index.column());
    if (auto *colourCell = qobject_cast<VKColourCell *>(cell)) {
        // A layer without a selection colour has nothing to pick.
        if (index.data(Qt::EditRole).typeId() != QMetaType::QColor)
            return;
        const QRect frame = visualRect(index);
        const QPersistentModelIndex target(index);
        colourCell->trackMouse(event, frame, this);
        if (target.isValid())
            model()->setData(target, colourCell->objectValue(), Qt::EditRole);
        viewport()->update();
        return;
    }
    if (auto *box = qobject_cast<VKCheckboxCell *>(cell)) {
        m_checkboxIndex = index;
        box->setHighlightedIndex(index);
        viewport()->update(visualRect(index));
        return;
    }
    QTableView::mousePressEvent(event);
}

void VKTableView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_checkboxIndex.isValid()) {
        QTableView::mouseMoveEvent(event);
        return;
    }
    auto *box = qobject_cast<VKCheckboxCell *>(itemDelegateForColumn(m_checkboxIndex.column()));
    const QRect frame = visualRect(m_checkboxIndex);
    if (box)
        box->setHighlightedIndex(frame.contains(event->position().toPoint())
                                     ? QModelIndex(m_checkboxIndex)
                                     : QModelIndex());
    viewport()->update(frame);
}

void VKTableView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_checkboxIndex.isValid()) {
        QTableView::mouseReleaseEvent(event);
        return;
    }
    const QPersistentModelIndex index = m_checkboxIndex;
    m_checkboxIndex = QPersistentModelIndex();
    if (auto *box = qobject_cast<VKCheckboxCell *>(itemDelegateForColumn(index.column())))
        box->setHighlightedIndex(QModelIndex());
    const QRect frame = visualRect(index);
    if (frame.contains(event->position().toPoint()))
        model()->setData(index, VKCheckboxCell::toggledValue(index.data(Qt::EditRole)),
                         Qt::EditRole);
    viewport()->update();
}

void VKTableView::paintEvent(QPaintEvent *event)
{
    const QModelIndexList selected =
        selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    QRect rowRect;
    if (selected.size() == 1) {
        const int row = selected.first().row();
        rowRect = QRect(0, rowViewportPosition(row), viewport()->width(), rowHeight(row));
        if (rowRect.intersects(event->rect())) {
            QPainter painter(viewport());
            VRGradientRef gradient = VRGradient::sourceListSelectedGradient()->copy();
            gradient->setAngleInDegrees(-90);
            gradient->fillRect(painter, rowRect);
        }
    }
    QTableView::paintEvent(event);
    if (!rowRect.isNull() && rowRect.intersects(event->rect())) {
        QPainter painter(viewport());
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(rowRect.adjusted(-1, 0, 0, -1));
    }
}
