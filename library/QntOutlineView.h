#pragma once

#include <QImage>
#include <QStringList>
#include <QTreeWidget>

#include <functional>

class DraggableImageCell;
class QMimeData;
class QTimer;
class VRObjectDrawingLayer;

// The palette's outline: titled group rows with shape rows below them. It is the source of
// shape drags (through its DraggableImageCell) and keeps the two feedback pictures of the
// current drag, handing the drag's progress to the shared feedback window.
class QntOutlineView : public QTreeWidget
{
    Q_OBJECT
public:
    explicit QntOutlineView(QWidget *parent = nullptr);
    ~QntOutlineView() override;

    DraggableImageCell *cell() const { return m_cell; }

    // The pasteboard types the object layer takes for a drop on the palette.
    void registerDraggedTypes(const VRObjectDrawingLayer *layer);
    QStringList registeredDraggedTypes() const { return m_draggedTypes; }

    QImage insideImage() const { return m_insideImage; }
    void setInsideImage(const QImage &image) { m_insideImage = image.copy(); }
    QImage outsideImage() const { return m_outsideImage; }
    void setOutsideImage(const QImage &image) { m_outsideImage = image.copy(); }

    // The rectangle (global coordinates) in which the pointer counts as over the palette.
    QRect sourceScreenRect() const;

    // Runs the platform drag of the data (taking ownership) with the feedback window. The
    // result is the drop target's answer (Qt::IgnoreAction when refused).
    Qt::DropAction performDrag(QMimeData *data, QPointF startPoint, QPointF offset);
    // The drag's progress, for the feedback window.
    void draggedImageBeganAt(QPoint globalPoint);
    void draggedImageMovedTo(QPoint globalPoint);
    void draggedImageEndedAt(QPoint globalPoint, Qt::DropAction operation);

    // Tests run the drag through this instead of the platform's drag loop.
    using DragRunner = std::function<Qt::DropAction(QMimeData *data)>;
    static void setDragRunner(DragRunner runner);

    // Drops onto the outline: asked for the operation at a point (perform false) and to take the
    // drop (perform true, answering Qt::IgnoreAction when it was not taken).
    using DropHandler = std::function<Qt::DropAction(const QMimeData *data, QPoint viewportPoint,
                                                     const QObject *source, bool perform)>;
    void setDropHandler(DropHandler handler) { m_dropHandler = std::move(handler); }

signals:
    void itemDoubleClicked(QTreeWidgetItem *item);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    DraggableImageCell *m_cell;
    QImage m_insideImage;
    QImage m_outsideImage;
    QStringList m_draggedTypes;
    QTreeWidgetItem *m_pressedItem = nullptr;
    QPoint m_pressPosition;
    DropHandler m_dropHandler;
};
