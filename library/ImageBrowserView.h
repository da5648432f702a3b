#pragma once

#include <QAbstractListModel>
#include <QImage>
#include <QListView>
#include <QPointer>

#include <memory>

class ImageBrowserCell;
class ImagesBankItem;
class QMimeData;
class QntImagesBankController;

// What the browser asks of the object that owns its entries.
class ImageBrowserDataSource
{
public:
    virtual ~ImageBrowserDataSource() = default;
    virtual int numberOfItemsInImageBrowser() const = 0;
    virtual std::shared_ptr<ImagesBankItem> imageBrowserItemAtIndex(int index) const = 0;
    // Answers true when the entries were moved (the browser reorders by dragging).
    virtual bool imageBrowserMoveItemsAtIndexes(const QList<int> &indexes, int toIndex) = 0;
    // Fills the drag's data; answers the number of entries written.
    virtual int imageBrowserWriteItemsAtIndexes(const QList<int> &indexes, QMimeData *data) = 0;
    // Drops from outside the browser (files, pictures); true when the drop was taken.
    virtual Qt::DropAction draggingEntered(const QMimeData *data, bool fromBrowser) = 0;
    virtual bool performDragOperation(const QMimeData *data, int dropIndex, bool fromBrowser) = 0;
    virtual void imageBrowserSelectionDidChange() = 0;
    // A double click on a selected entry.
    virtual void openImageTitleEditorForCellAtIndex(int index) = 0;
    // The Delete key.
    virtual void removeSelectedItems() = 0;
};

// The image bank's browser: a grid of pictures with their titles, a zoom (the cell size),
// reordering by drag, drags out into drawings and drops of picture files.
class ImageBrowserView : public QListView
{
    Q_OBJECT
public:
    explicit ImageBrowserView(QWidget *parent = nullptr);
    ~ImageBrowserView() override;

    ImageBrowserDataSource *dataSource() const { return m_dataSource; }
    void setDataSource(ImageBrowserDataSource *source) { m_dataSource = source; }
    QntImagesBankController *parentController() const { return m_parentController; }
    void setParentController(QntImagesBankController *controller)
    {
        m_parentController = controller;
    }

    // The entries changed: the browser asks its data source again.
    void reloadData();
    // 0 (smallest cells) … 1 (largest).
    void setZoomValue(float zoom);
    float zoomValue() const { return m_zoom; }
    QSize cellSize() const;
    void setAllowsReordering(bool allows) { m_allowsReordering = allows; }
    bool allowsReordering() const { return m_allowsReordering; }
    void setAnimates(bool animates) { m_animates = animates; }

    // Ascending indexes of the selected entries.
    QList<int> selectionIndexes() const;
    void setSelectionIndexes(const QList<int> &indexes);
    int indexOfItemAtPoint(QPoint point) const;
    // Where the current drop goes (the gap nearest the pointer).
    int indexAtLocationOfDroppedItem() const { return m_dropIndex; }
    // The gap before which a drop at the point would insert (0 … count).
    int dropIndexForPoint(QPoint point) const;
    ImageBrowserCell *cell() const { return m_cell; }

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    class Model;
    bool isFromThisBrowser(const QDropEvent *event) const;

    Model *m_model;
    ImageBrowserCell *m_cell;
    ImageBrowserDataSource *m_dataSource = nullptr;
    // Not owned; the controller owns the window holding the browser.
    QntImagesBankController *m_parentController = nullptr;
    float m_zoom = 0.5f;
    bool m_allowsReordering = false;
    bool m_animates = false;
    int m_dropIndex = -1;
};
