#include "library/DraggableImageCell.h"

#include "library/QntNotationSubGroupItem.h"
#include "library/QntOutlineView.h"

#include "framework/model/QntElement.h"
#include "framework/model/QntText.h"
#include "framework/archive/VRArchiver.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/notations/QntNotation.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRObjectCreationTool.h"
#include "platform/DocumentController.h"
#include "platform/NotificationCenter.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QPainter>

namespace {

QSizeF originalSizeOf(const VRDrawableObject &object)
{
    if (object.isKindOf<QntElement>()) {
        const QSizeF size = static_cast<const QntElement &>(object).originalSize();
        if (!size.isEmpty())
            return size;
    }
    return object.size();
}

// The framework's description of the dragged objects: how many and of which classes.
QByteArray pasteboardInfoForObjects(const VRObjectList &objects)
{
    QJsonArray classes;
    for (const VRObjectRef &object : objects)
        classes.append(object->className());
    return QJsonDocument(QJsonObject{{QStringLiteral("count"), int(objects.size())},
                                     {QStringLiteral("classes"), classes}})
        .toJson(QJsonDocument::Compact);
}

} // namespace

DraggableImageCell::DraggableImageCell(QObject *parent)
    : ShapeImageCell(parent)
{
}

VRDrawingDocument *DraggableImageCell::document() const
{
    if (m_document)
        return m_document;
    return qobject_cast<VRDrawingDocument *>(
        DocumentController::sharedDocumentController().currentDocument());
}

void DraggableImageCell::prepareObjectLayer()
{
    VRDrawingDocument *doc = document();
    VRDrawing *drawing = doc ? doc->drawing() : nullptr;
    if (!drawing)
        return;
    VRLayer *active = drawing->activeLayer();
    if (active && active->isKindOf<VRObjectDrawingLayer>())
        return;
    if (VRLayer *layer =
            drawing->firstActivateableLayerOfClass(VRObjectDrawingLayer::staticClass()))
        drawing->setActiveLayer(layer);
}

bool DraggableImageCell::trackMouse(QPointF point, const QRectF &cellFrame, QntOutlineView &)
{
    m_lastFrame = cellFrame;
    m_pressPoint = point;
    if (!document())
        return false;
    prepareObjectLayer();
    m_tracking = true;
    return startTrackingAt(point);
}

bool DraggableImageCell::startTrackingAt(QPointF point)
{
    m_dragOrigin = point;
    return true;
}

bool DraggableImageCell::continueTracking(QPointF, QPointF currentPoint, QntOutlineView &view,
                                          QntNotationSubGroupItem *item)
{
    if (!m_tracking || !item)
        return false;
    m_tracking = false;
    if (m_dragOrigin.isNull())
        m_dragOrigin = currentPoint;
    VRDrawingDocument *doc = document();
    const double zoom = doc && doc->mainView() ? doc->mainView()->scale() : 1.0;
    DragContent content = dragContentForItem(*item, zoom);
    const QPointF offset = currentPoint - m_dragOrigin;
    view.setInsideImage(content.insideImage);
    view.setOutsideImage(content.outsideImage);
    const Qt::DropAction result =
        view.performDrag(content.data, QPointF(m_lastFrame.left(), m_lastFrame.bottom()), offset);
    dragDidEnd(result);
    stopTracking(false);
    return false;
}

void DraggableImageCell::stopTracking(bool)
{
    m_tracking = false;
    // Only a text that the drawing took opens the text bar; a plain click never does.
    if (m_droppedText)
        NotificationCenter::defaultCenter().post(kQntShowTextEditorNotification, nullptr, {});
    m_droppedText = false;
    setShapePrototype(nullptr);
    m_dragOrigin = QPointF();
}

DraggableImageCell::DragContent
DraggableImageCell::dragContentForItem(const QntNotationSubGroupItem &item, double zoom)
{
    DragContent content;
    content.data = new QMimeData;
    VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(item.title());
    VRObjectList objects;
    if (tool && tool->isKindOf<VRObjectCreationTool>()) {
        const VRObjectRef prototype = static_cast<VRObjectCreationTool *>(tool)->prototype();
        setShapePrototype(prototype);
        if (prototype) {
            // An independent copy through the object's stored form, so nothing is shared with
            // the library's prototype.
            VRObjectRef copy = QntNotation::vrObjectWithData(
                QntNotation::vrObject(prototype, QStringLiteral("root")));
            if (copy) {
                const bool isGroup = copy->isKindOf<VRShapeGroup>();
                if (isGroup)
                    copy->setState(1);
                const QSizeF size = originalSizeOf(*prototype);
                if (!size.isEmpty())
                    copy->setSize(size);
                if (isGroup)
                    copy->setState(0);
                objects.push_back(copy);
                content.copy = copy;
            }
        }
    }
    content.data->setData(kVRPasteboardInfoType, pasteboardInfoForObjects(objects));
    if (!objects.isEmpty())
        content.data->setData(kVRDrawableObjectPasteboardType, VRArchiver::objectsData(objects));
    if (objects.size() == 1)
        objects.first()->writeSupplementaryDataToPasteboard(content.data);

    const QImage picture = item.image();
    if (!picture.isNull()) {
        content.insideImage =
            scaleImage(picture, imageRectForFrame(QRectF(0, 0, 68, 44), picture.size()).size());
        const QImage outside = scaleImage(picture, zoom > 0 ? zoom : 1.0);
        QByteArray tiff;
        QBuffer buffer(&tiff);
        buffer.open(QIODevice::WriteOnly);
        if (outside.save(&buffer, "TIFF"))
            content.data->setData(QStringLiteral("image/tiff"), tiff);
        // Half transparent outside the palette.
        QImage faded(outside.size(), QImage::Format_ARGB32_Premultiplied);
        faded.fill(Qt::transparent);
        QPainter painter(&faded);
        painter.setOpacity(0.5);
        painter.drawImage(0, 0, outside);
        painter.end();
        content.outsideImage = faded;
    }
    return content;
}

void DraggableImageCell::dragDidEnd(Qt::DropAction result)
{
    m_dragOrigin = QPointF();
    if (result == Qt::IgnoreAction) {
        // Refused: nothing was added, so no defaults and no text bar for the old selection.
        m_droppedText = false;
        return;
    }
    const VRObjectRef prototype = shapePrototype();
    m_droppedText = prototype && prototype->isKindOf<QntText>();
    NotificationCenter::defaultCenter().post(kQntElementAddedToLayerNotification, nullptr, {});
}

QImage DraggableImageCell::scaleImage(const QImage &image, QSizeF toSize)
{
    const QSize size = toSize.toSize();
    if (image.isNull() || size.isEmpty())
        return {};
    QImage scaled(size, QImage::Format_ARGB32_Premultiplied);
    scaled.fill(Qt::transparent);
    QPainter painter(&scaled);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), image);
    return scaled;
}

QImage DraggableImageCell::scaleImage(const QImage &image, double scale)
{
    return scaleImage(image, QSizeF(image.width() * scale, image.height() * scale));
}

void DraggableImageCell::drawInteriorWithFrame(QPainter &painter, const QRectF &frame,
                                               const QImage &image) const
{
    if (image.isNull())
        return;
    QRectF rect = imageRectForFrame(frame, image.size());
    const QSizeF size(rect.width() * 0.9, rect.height() * 0.9);
    rect = QRectF(QPointF(frame.left() + frame.width() / 2 - size.width() / 2,
                          rect.center().y() - size.height() / 2),
                  size);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect, image);
    painter.restore();
}
