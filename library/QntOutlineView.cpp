#include "library/QntOutlineView.h"

#include "library/DXDragEffectManager.h"
#include "library/DraggableImageCell.h"

#include "framework/model/VRObjectDrawingLayer.h"

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

namespace {
QntOutlineView::DragRunner &dragRunner()
{
    static QntOutlineView::DragRunner runner;
    return runner;
}
} // namespace

QntOutlineView::QntOutlineView(QWidget *parent)
    : QTreeWidget(parent)
    , m_cell(new DraggableImageCell(this))
{
    setObjectName(QStringLiteral("notationOutline"));
    setColumnCount(1);
    setHeaderHidden(true);
    setIndentation(0);
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setUniformRowHeights(false);
    setExpandsOnDoubleClick(false);
    setMouseTracking(false);
    setItemDelegate(m_cell);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setAnimated(false);
}

QntOutlineView::~QntOutlineView() = default;

void QntOutlineView::setDragRunner(DragRunner runner)
{
    dragRunner() = std::move(runner);
}

void QntOutlineView::registerDraggedTypes(const VRObjectDrawingLayer *layer)
{
    m_draggedTypes.clear();
    if (layer)
        m_draggedTypes = layer->pasteboardTypesForOperation(8);
}

QRect QntOutlineView::sourceScreenRect() const
{
    const QWidget *area = viewport();
    if (!area)
        return {};
    return QRect(area->mapToGlobal(QPoint(0, 0)), area->size());
}

Qt::DropAction QntOutlineView::performDrag(QMimeData *data, QPointF, QPointF)
{
    draggedImageBeganAt(QCursor::pos());
    Qt::DropAction result = Qt::IgnoreAction;
    if (dragRunner()) {
        result = dragRunner()(data);
        delete data;
    } else {
        auto *drag = new QDrag(this);
        drag->setMimeData(data);
        QPixmap empty(1, 1);
        empty.fill(Qt::transparent);
        drag->setPixmap(empty);
        // The drag loop reports no positions: follow the pointer while it runs.
        QTimer follow;
        follow.setInterval(16);
        connect(&follow, &QTimer::timeout, this, [this] { draggedImageMovedTo(QCursor::pos()); });
        follow.start();
        result = drag->exec(Qt::CopyAction, Qt::CopyAction);
        follow.stop();
        drag->deleteLater();
    }
    draggedImageEndedAt(QCursor::pos(), result);
    return result;
}

void QntOutlineView::draggedImageBeganAt(QPoint globalPoint)
{
    DXDragEffectManager::sharedDragEffectManager().startDragShowFromSourceScreenRect(
        sourceScreenRect(), globalPoint, QSize(0, 0), m_insideImage, m_outsideImage, true);
}

void QntOutlineView::draggedImageMovedTo(QPoint globalPoint)
{
    DXDragEffectManager::sharedDragEffectManager().updatePosition(globalPoint);
}

void QntOutlineView::draggedImageEndedAt(QPoint, Qt::DropAction operation)
{
    DXDragEffectManager::sharedDragEffectManager().endDragShowWithResult(operation);
}

void QntOutlineView::mousePressEvent(QMouseEvent *event)
{
    m_pressedItem = nullptr;
    QTreeWidgetItem *row = itemAt(event->position().toPoint());
    if (!row || event->button() != Qt::LeftButton) {
        QTreeWidget::mousePressEvent(event);
        return;
    }
    if (ShapeImageCell::groupForIndex(indexFromItem(row))) {
        row->setExpanded(!row->isExpanded());
        return;
    }
    if (m_cell->trackMouse(event->position(), visualItemRect(row), *this)) {
        m_pressedItem = row;
        m_pressPosition = event->position().toPoint();
    }
}

void QntOutlineView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressedItem || !(event->buttons() & Qt::LeftButton))
        return;
    if ((event->position().toPoint() - m_pressPosition).manhattanLength()
        < QApplication::startDragDistance())
        return;
    QTreeWidgetItem *row = m_pressedItem;
    m_pressedItem = nullptr;
    m_cell->continueTracking(QPointF(m_pressPosition), event->position(), *this,
                             ShapeImageCell::itemForIndex(indexFromItem(row)));
}

void QntOutlineView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_pressedItem) {
        m_pressedItem = nullptr;
        m_cell->stopTracking(true);
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void QntOutlineView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (QTreeWidgetItem *row = itemAt(event->position().toPoint()))
        emit itemDoubleClicked(row);
}

void QntOutlineView::dragEnterEvent(QDragEnterEvent *event)
{
    // Whether a drop is taken depends on the row under the pointer: the drag is followed over
    // the whole outline, each position answered by dragMoveEvent.
    if (!m_dropHandler) {
        event->ignore();
        return;
    }
    dragMoveEvent(event);
    if (!event->isAccepted()) {
        event->setDropAction(Qt::IgnoreAction);
        event->accept();
    }
}

void QntOutlineView::dragMoveEvent(QDragMoveEvent *event)
{
    const Qt::DropAction action =
        m_dropHandler
            ? m_dropHandler(event->mimeData(), event->position().toPoint(), event->source(), false)
            : Qt::IgnoreAction;
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void QntOutlineView::dragLeaveEvent(QDragLeaveEvent *event)
{
    event->accept();
}

void QntOutlineView::dropEvent(QDropEvent *event)
{
    const Qt::DropAction action =
        m_dropHandler
            ? m_dropHandler(event->mimeData(), event->position().toPoint(), event->source(), true)
            : Qt::IgnoreAction;
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}
