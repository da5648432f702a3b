// VRDrawingView: accepting dragged and pasted objects and pictures.
#include "framework/view/VRDrawingView.h"

#include "framework/model/QntElement.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/QntImageShape.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/base/VRConstants.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/NotificationCenter.h"

#include <QDropEvent>
#include <QImageReader>
#include <QMimeData>

bool VRDrawingView::canAcceptDrop(const QMimeData *data) const
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!data || !layer || layer->isLocked())
        return false;
    for (const QString &type : layer->pasteboardTypesForOperation(8)) {
        if (type == QLatin1String("text/uri-list"))
            continue;
        if (data->hasFormat(type))
            return true;
    }
    return holdsPictures(data);
}

bool VRDrawingView::holdsPictures(const QMimeData *data)
{
    if (!data)
        return false;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile() && !QImageReader::imageFormat(url.toLocalFile()).isEmpty())
            return true;
    return data->hasImage();
}

VRObjectList VRDrawingView::pastePictures(const QMimeData *data)
{
    if (!holdsPictures(data) || !VRDrawableObject::nativeObjectsFromPasteboard(data).isEmpty())
        return {};
    return dropData(data, centredPointInDocView(), QStringLiteral("Paste"));
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

VRObjectList VRDrawingView::dropData(const QMimeData *data, QPointF drawingPoint,
                                     const QString &actionName)
{
    VRObjectDrawingLayer *layer = activeObjectLayer();
    if (!data || !layer || layer->isLocked())
        return {};
    VRObjectList objects = VRDrawableObject::nativeObjectsFromPasteboard(data);
    const bool pictures = objects.isEmpty();
    QntElement::separateHeldCopies({objects}, layer);
    if (pictures) {
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
            auto shape = QntImageShape::imageShapeWithImage(image);
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
    layer->commitSelectionUndoWithActionName(actionName);
    // A dropped object is selected like a newly created one, so its size and place show at once.
    if (objects.size() == 1)
        postShapeInfo(objects.first());
    if (undo) {
        undo->endUndoGrouping();
        if (undo->groupingLevel() == 0)
            undo->setActionName(actionName);
    }
    updateDrawingRect(bounds.translated(shift));
    // A picture that came in alone is a new element: it takes the saved image-shape look.
    if (pictures && objects.size() == 1)
        NotificationCenter::defaultCenter().post(kQntElementAddedToLayerNotification,
                                                 objects.first().get(),
                                                 objectInfo(objects.first()));
    return objects;
}
