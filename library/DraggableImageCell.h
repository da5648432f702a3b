#pragma once

#include "library/ShapeImageCell.h"

#include "framework/document/VRDrawingDocument.h"

#include <QImage>
#include <QPointF>
#include <QPointer>
#include <QRectF>

class QMimeData;
class QntOutlineView;

class VRDrawingTool;

// The cell of the palette's shape column: a press and drag on a shape carries an independent
// copy of the shape's prototype, at its original size, to the drawing.
class DraggableImageCell : public ShapeImageCell
{
    Q_OBJECT
public:
    explicit DraggableImageCell(QObject *parent = nullptr);

    // The document the drag drops into: the palette's own; else the current document.
    void setDocument(VRDrawingDocument *document) { m_document = document; }
    VRDrawingDocument *document() const;

    QPointF dragOrigin() const { return m_dragOrigin; }
    QRectF lastFrame() const { return m_lastFrame; }

    // A press in a shape row. False (nothing tracked) without a document.
    bool trackMouse(QPointF point, const QRectF &cellFrame, QntOutlineView &view);
    bool startTrackingAt(QPointF point);
    // The first movement after a press starts the drag; answers false so tracking ends.
    bool continueTracking(QPointF lastPoint, QPointF currentPoint, QntOutlineView &view,
                          QntNotationSubGroupItem *item);
    // The press is over (mouseIsUp: released without a drag).
    void stopTracking(bool mouseIsUp);

    // What a drag of a tool's shape carries: the pasteboard, the two feedback pictures.
    struct DragContent {
        QMimeData *data = nullptr; // owned by the caller (or the drag)
        VRObjectRef copy;          // the dragged object, null when the tool makes none
        QImage insideImage;
        QImage outsideImage;
    };
    // Builds the pasteboard and pictures for an item; the zoom is the drawing view's scale.
    DragContent dragContentForItem(const QntNotationSubGroupItem &item, double zoom);
    // After the drag: when the drawing took the drop, the mode inspectors apply their saved
    // defaults to the dropped object and a dropped text opens the text bar. A refused drop
    // changes nothing.
    void dragDidEnd(Qt::DropAction result);

    static QImage scaleImage(const QImage &image, QSizeF toSize);
    static QImage scaleImage(const QImage &image, double scale);

    void drawInteriorWithFrame(QPainter &painter, const QRectF &frame,
                               const QImage &image) const override;

private:
    void prepareObjectLayer();

    QPointer<VRDrawingDocument> m_document;
    QPointF m_dragOrigin;
    QRectF m_lastFrame;
    QPointF m_pressPoint;
    bool m_tracking = false;
    bool m_droppedText = false;
};
