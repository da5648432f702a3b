#include "library/QntSeqOutlineView.h"

#include "library/QntSequenceDiagramController.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QKeyEvent>
#include <QMenu>

QntSeqOutlineView::QntSeqOutlineView(QntSequenceDiagramController *controller, QWidget *parent)
    : VKOutlineView(parent)
    , m_controller(controller)
    , m_menu(new QMenu(this))
    , m_expandableMenu(new QMenu(this))
{
    m_menu->setObjectName(QStringLiteral("outlineViewContextMenu"));
    m_expandableMenu->setObjectName(QStringLiteral("expandableColumnMenu"));
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

bool QntSeqOutlineView::event(QEvent *event)
{
    // Delete belongs to the outline while it has the focus, not to the window's Delete command
    // for the drawing.
    if (event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
            event->accept();
            return true;
        }
    }
    return VKOutlineView::event(event);
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
    VKOutlineView::keyPressEvent(event);
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
    if (clicked.isValid() && clicked.column() == m_controller->expandableColumn()) {
        m_controller->prepareExpandableMenu(*m_expandableMenu, clicked);
        m_expandableMenu->popup(event->globalPos());
        return;
    }
    m_controller->prepareOutlineMenu(*m_menu, clicked);
    m_menu->popup(event->globalPos());
}

void QntSeqOutlineView::buttonCellClicked(const QModelIndex &index)
{
    if (!m_controller->allowsButtonCellsToChangeSelection() || !selectionModel()
        || !(model()->flags(index) & Qt::ItemIsSelectable))
        return;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect
                                                 | QItemSelectionModel::Rows);
}
