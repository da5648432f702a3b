#include "library/ImageBrowserView.h"

#include "library/ImageBrowserCell.h"
#include "library/ImagesBankItem.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>

#include <algorithm>

// The browser's rows are the data source's entries; the model only relays.
class ImageBrowserView::Model : public QAbstractListModel
{
public:
    explicit Model(ImageBrowserView *view)
        : QAbstractListModel(view)
        , m_view(view)
    {
    }

    void reset()
    {
        beginResetModel();
        endResetModel();
    }

    int rowCount(const QModelIndex &parent) const override
    {
        if (parent.isValid() || !m_view->dataSource())
            return 0;
        return m_view->dataSource()->numberOfItemsInImageBrowser();
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || !m_view->dataSource())
            return {};
        const std::shared_ptr<ImagesBankItem> item =
            m_view->dataSource()->imageBrowserItemAtIndex(index.row());
        if (!item)
            return {};
        switch (role) {
        case Qt::DisplayRole: return item->imageTitle();
        case Qt::ToolTipRole: {
            const QString title = item->imageTitle();
            return title.isEmpty() ? item->id() : title;
        }
        case Qt::DecorationRole: return item->image();
        case Qt::UserRole: return item->imageUID();
        default: return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        if (!index.isValid())
            return Qt::ItemIsDropEnabled;
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
    }

private:
    ImageBrowserView *m_view;
};

namespace {
constexpr int kSmallestPicture = 72;
constexpr int kLargestPicture = 256;
} // namespace

ImageBrowserView::ImageBrowserView(QWidget *parent)
    : QListView(parent)
    , m_model(new Model(this))
    , m_cell(new ImageBrowserCell(this))
{
    setObjectName(QStringLiteral("imageBrowser"));
    setModel(m_model);
    setItemDelegate(m_cell);
    setViewMode(QListView::IconMode);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    // Drops arrive at the viewport, which must take them itself.
    viewport()->setAcceptDrops(true);
    setSpacing(0);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setZoomValue(m_zoom);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_dataSource)
            m_dataSource->imageBrowserSelectionDidChange();
    });
}

ImageBrowserView::~ImageBrowserView() = default;

void ImageBrowserView::reloadData()
{
    m_model->reset();
}

void ImageBrowserView::setZoomValue(float zoom)
{
    m_zoom = std::clamp(zoom, 0.0f, 1.0f);
    const int side = kSmallestPicture + int((kLargestPicture - kSmallestPicture) * m_zoom);
    const QSize size(side + 2 * ImageBrowserCell::kMargin,
                     side + 2 * ImageBrowserCell::kMargin + ImageBrowserCell::kTitleHeight);
    m_cell->setCellSize(size);
    setGridSize(size);
    doItemsLayout();
    viewport()->update();
}

QSize ImageBrowserView::cellSize() const
{
    return m_cell->cellSize();
}

QList<int> ImageBrowserView::selectionIndexes() const
{
    QList<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ImageBrowserView::setSelectionIndexes(const QList<int> &indexes)
{
    QItemSelection selection;
    for (int row : indexes) {
        const QModelIndex index = m_model->index(row, 0);
        if (index.isValid())
            selection.select(index, index);
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

int ImageBrowserView::indexOfItemAtPoint(QPoint point) const
{
    const QModelIndex index = indexAt(point);
    return index.isValid() ? index.row() : -1;
}

int ImageBrowserView::dropIndexForPoint(QPoint point) const
{
    const int count = m_model->rowCount({});
    const QModelIndex index = indexAt(point);
    if (index.isValid()) {
        const QRect rect = visualRect(index);
        return point.x() > rect.center().x() ? index.row() + 1 : index.row();
    }
    // Between or after the cells: the nearest gap of the row the point is on, else the end.
    int best = count;
    for (int row = 0; row < count; ++row) {
        const QRect rect = visualRect(m_model->index(row, 0));
        if (point.y() < rect.top())
            return row;
        if (point.y() <= rect.bottom() && point.x() < rect.center().x())
            return row;
        if (point.y() <= rect.bottom())
            best = row + 1;
    }
    return best;
}

bool ImageBrowserView::isFromThisBrowser(const QDropEvent *event) const
{
    return event->source() == this;
}

void ImageBrowserView::startDrag(Qt::DropActions)
{
    if (!m_dataSource)
        return;
    const QList<int> rows = selectionIndexes();
    if (rows.isEmpty())
        return;
    auto *data = new QMimeData;
    if (m_dataSource->imageBrowserWriteItemsAtIndexes(rows, data) <= 0) {
        delete data;
        return;
    }
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    const QImage picture = m_model->index(rows.first(), 0).data(Qt::DecorationRole).value<QImage>();
    if (!picture.isNull())
        drag->setPixmap(QPixmap::fromImage(
            picture.scaled(QSize(96, 96), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    m_dropIndex = -1;
    viewport()->update();
}

void ImageBrowserView::dragEnterEvent(QDragEnterEvent *event)
{
    const bool fromBrowser = isFromThisBrowser(event);
    if (!m_dataSource || (fromBrowser && !m_allowsReordering)) {
        event->ignore();
        return;
    }
    const Qt::DropAction action = m_dataSource->draggingEntered(event->mimeData(), fromBrowser);
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
    m_dropIndex = dropIndexForPoint(event->position().toPoint());
    viewport()->update();
}

void ImageBrowserView::dragMoveEvent(QDragMoveEvent *event)
{
    const bool fromBrowser = isFromThisBrowser(event);
    if (!m_dataSource || (fromBrowser && !m_allowsReordering)) {
        event->ignore();
        return;
    }
    const Qt::DropAction action = m_dataSource->draggingEntered(event->mimeData(), fromBrowser);
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
    const int index = dropIndexForPoint(event->position().toPoint());
    if (index != m_dropIndex) {
        m_dropIndex = index;
        viewport()->update();
    }
}

void ImageBrowserView::dragLeaveEvent(QDragLeaveEvent *event)
{
    m_dropIndex = -1;
    viewport()->update();
    event->accept();
}

void ImageBrowserView::dropEvent(QDropEvent *event)
{
    const bool fromBrowser = isFromThisBrowser(event);
    m_dropIndex = dropIndexForPoint(event->position().toPoint());
    bool taken = false;
    if (m_dataSource && fromBrowser && m_allowsReordering) {
        taken = m_dataSource->imageBrowserMoveItemsAtIndexes(selectionIndexes(), m_dropIndex);
        event->setDropAction(Qt::MoveAction);
    } else if (m_dataSource && !fromBrowser) {
        taken = m_dataSource->performDragOperation(event->mimeData(), m_dropIndex, false);
        event->setDropAction(Qt::CopyAction);
    }
    m_dropIndex = -1;
    viewport()->update();
    if (taken)
        event->accept();
    else
        event->ignore();
}

void ImageBrowserView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && selectionModel()->isSelected(index) && m_dataSource)
        m_dataSource->openImageTitleEditorForCellAtIndex(index.row());
    QListView::mouseDoubleClickEvent(event);
}

void ImageBrowserView::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && m_dataSource
        && !selectionIndexes().isEmpty()) {
        m_dataSource->removeSelectedItems();
        return;
    }
    QListView::keyPressEvent(event);
}

void ImageBrowserView::paintEvent(QPaintEvent *event)
{
    QListView::paintEvent(event);
    const int count = m_model->rowCount({});
    if (m_dropIndex < 0 || count == 0)
        return;
    // The gap the drop goes into.
    QRect anchor;
    int x = 0;
    if (m_dropIndex < count) {
        anchor = visualRect(m_model->index(m_dropIndex, 0));
        x = anchor.left();
    } else {
        anchor = visualRect(m_model->index(count - 1, 0));
        x = anchor.right();
    }
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
    painter.drawLine(QPoint(x, anchor.top() + 4), QPoint(x, anchor.bottom() - 4));
}
