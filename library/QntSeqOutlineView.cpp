#include "library/QntSeqOutlineView.h"

#include "library/QntSequenceDiagramController.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QKeyEvent>
#include <QMenu>

QntSeqOutlineView::QntSeqOutlineView(QntSequenceDiagramController *controller, QWidget *parent)
    : QTreeView(parent)
    , m_controller(controller)
    , m_menu(new QMenu(this))
{
    m_menu->setObjectName(QStringLiteral("outlineViewContextMenu"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                    | QAbstractItemView::EditKeyPressed);
    setAlternatingRowColors(true);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
}

void QntSeqOutlineView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        if (!selectionModel() || !selectionModel()->hasSelection()) {
            QApplication::beep();
            event->accept();
            return;
        }
        if (state() != QAbstractItemView::EditingState) {
            m_controller->deleteSelections();
            event->accept();
            return;
        }
    }
    QTreeView::keyPressEvent(event);
}

void QntSeqOutlineView::startDrag(Qt::DropActions)
{
    // The controller moves the rows itself when they land here; the view removes nothing.
    QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    if (rows.isEmpty())
        return;
    QMimeData *data = model()->mimeData(rows);
    if (!data)
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
    m_controller->draggingSessionEnded();
}

void QntSeqOutlineView::contextMenuEvent(QContextMenuEvent *event)
{
    const QModelIndex clicked = indexAt(event->pos());
    m_controller->prepareOutlineMenu(*m_menu, clicked);
    m_menu->popup(event->globalPos());
}
