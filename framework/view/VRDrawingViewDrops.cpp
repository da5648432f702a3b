// VRDrawingView: accepting dragged and pasted objects and pictures.
#include "framework/view/VRDrawingView.h"

#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRImageShape.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"

#include <QDropEvent>
#include <QImageReader>
#include <QMimeData>

bool VRDrawingView::canAcceptDrop(const QMimeData *data) const
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!data || !layer || layer->isLocked())
        return false;
    for (const QString &type : layer->pasteboardTypesForOperation(8)) {
        if (type == QLatin1String("text/uri-list")) {
            for (const QUrl &url : data->urls())
                if (url.isLocalFile() && !QImageReader::imageFormat(url.toLocalFile()).isEmpty())
                    return true;
            continue;
        }
        if (data->hasFormat(type))
            return true;
    }
    return data->hasImage();
}

void VRDrawingView::dragEnterEvent(QDragEnterEvent *event)
{
    // The view's own drag out comes back: nothing to add.
    if (event->source() == this) {
        event->ignore();
        return;
    }
    if (canAcceptDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void VRDrawingView::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->source() == this) {
        event->ignore();
        return;
    }
    if (canAcceptDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void VRDrawingView::dropEvent(QDropEvent *event)
{
    if (event->source() == this || !canAcceptDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    const VRObjectList dropped = dropData(event->mimeData(), mapToDrawing(event->position()));
    if (dropped.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

VRObjectList VRDrawingView::dropData(const QMimeData *data, QPointF drawingPoint)
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!data || !layer || layer->isLocked())
        return {};
    VRObjectList objects = VRDrawableObject::nativeObjectsFromPasteboard(data);
    if (objects.isEmpty()) {
        QList<QImage> images;
        for (const QUrl &url : data->urls()) {
            if (!url.isLocalFile())
                continue;
            QImageReader reader(url.toLocalFile());
            const QImage image = reader.read();
            if (!image.isNull())
                images.push_back(image);
        }
        if (images.isEmpty() && data->hasImage())
            images.push_back(qvariant_cast<QImage>(data->imageData()));
        // Several pictures are laid side by side.
        double x = 0;
        for (const QImage &image : std::as_const(images)) {
            if (image.isNull())
                continue;
            auto shape = std::make_shared<VRImageShape>(image);
            const QSizeF size = shape->size();
            shape->setLocation(QPointF(x + size.width() / 2, size.height() / 2));
            x += size.width() + 10;
            objects.push_back(shape);
        }
    }
    if (objects.isEmpty())
        return {};
    QRectF bounds;
    for (const VRObjectRef &o : std::as_const(objects))
        bounds |= o->logicalBounds();
    const QPointF shift = drawingPoint - bounds.center();
    if (m_drawing->refusesObjectsTooFarOut(objects, shift))
        return {};
    VRUndoManager *undo = m_drawing->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    for (const VRObjectRef &o : std::as_const(objects))
        o->setLocation(o->location() + shift);
    layer->recordSelectionForUndo();
    layer->addObjectsFromArray(objects);
    layer->exchangeSelectionWithObjectsFromArray(objects);
    layer->commitSelectionUndoWithActionName(QStringLiteral("Drop"));
    // A dropped object is selected like a newly created one, so its size and place show at once.
    if (objects.size() == 1)
        postShapeInfo(objects.first());
    if (undo) {
        undo->endUndoGrouping();
        if (undo->groupingLevel() == 0)
            undo->setActionName(QStringLiteral("Drop"));
    }
    updateDrawingRect(bounds.translated(shift));
    return objects;
}
