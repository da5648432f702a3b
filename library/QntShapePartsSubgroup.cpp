#include "library/QntShapePartsSubgroup.h"

#include "library/QntNotationSubGroupItem.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntConnectorSkin.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/document/VRInspectorBase.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/undo/VRUndoManager.h"

#include <QPainter>

#include <cmath>

namespace {

VRObjectList groupObjectsOf(const VRObjectRef &object)
{
    if (object && object->isKindOf<VRShapeGroup>())
        return static_cast<const VRShapeGroup &>(*object).groupObjects();
    return {};
}

} // namespace

QntShapePartsSubgroup::QntShapePartsSubgroup(const QString &title,
                                             const VRObjectRef &selectedElement)
    : QntNotationSubgroup(title)
{
    if (!selectedElement)
        return;
    VRObjectList parts;
    if (selectedElement->isKindOf<QntElement>())
        parts = groupObjectsOf(selectedElement);
    else if (selectedElement->isKindOf<QntConnector>())
        parts = selectedElement->parts();

    if (selectedElement->isMemberOf<QntConnector>()) {
        for (const VRObjectRef &part : std::as_const(parts)) {
            if (part->isKindOf<QntConnectorArrow>()) {
                // Arrowheads are shown at a common size: fitted into 50 by 50.
                VRObjectRef fitted = part->copy();
                const QSizeF size = part->size();
                if (size.width() > 0 && size.height() > 0) {
                    const double ratio = size.width() / size.height();
                    fitted->setSize(ratio < 1 ? QSizeF(50 * ratio, 50) : QSizeF(50, 50 / ratio));
                }
                createSubGroupItemsForObjects(groupObjectsOf(part), fitted, QString());
            } else if (part->isKindOf<QntConnectorSkin>()) {
                const auto &skin = static_cast<const QntConnectorSkin &>(*part);
                VRObjectList objects = skin.groupObjects();
                objects += skin.polySkin().elements;
                createSubGroupItemsForObjects(objects, selectedElement, QString(), part);
            } else {
                createSubGroupItemsForObjects({part}, selectedElement, QString());
            }
        }
        return;
    }
    const bool isArrow = selectedElement->isKindOf<QntElementArrow>();
    createSubGroupItemsForObjects(parts, selectedElement,
                                  isArrow ? QStringLiteral("Part of the arrow in long state")
                                          : QString());
    if (!isArrow)
        return;
    const auto shortForm =
        static_cast<const QntElementArrow &>(*selectedElement).elementFromStyle();
    if (!shortForm)
        return;
    VRObjectRef parent = shortForm->copy();
    if (!shortForm->originalSize().isEmpty())
        parent->setSize(shortForm->originalSize());
    createSubGroupItemsForObjects(shortForm->groupObjects(), parent,
                                  QStringLiteral("Part of the arrow in short state"));
}

QntShapePartsSubgroup::~QntShapePartsSubgroup()
{
    for (const ItemRef &item : children())
        item->observeRepresentedObjectRestyling(false);
}

void QntShapePartsSubgroup::createSubGroupItemsForObjects(const VRObjectList &objects,
                                                          const VRObjectRef &parentObject,
                                                          const QString &tooltip,
                                                          const VRObjectRef &objectForIcon)
{
    for (const VRObjectRef &object : objects) {
        auto item = std::make_shared<QntNotationSubGroupItem>(this);
        item->setRepresentedObject(object);
        item->setTooltip(tooltip);
        item->setImage(imageForObject(objectForIcon ? objectForIcon : object, parentObject));
        item->setSize(QSizeF(itemWidth(), QntNotationSubGroupItem::kItemHeight));
        item->observeRepresentedObjectRestyling(true);
        addItem(item);
    }
}

void QntShapePartsSubgroup::itemImageDidChange(QntNotationSubGroupItem *item) const
{
    if (m_itemImageHandler)
        m_itemImageHandler(item);
}

QImage QntShapePartsSubgroup::imageForObject(const VRObjectRef &object,
                                             const VRObjectRef &parentObject) const
{
    if (!object)
        return {};
    // The parent's layer, else the current drawing's; a detached parent draws off-screen.
    VRObjectDrawingLayer *layer = nullptr;
    if (parentObject && parentObject->layer()
        && parentObject->layer()->isKindOf<VRObjectDrawingLayer>())
        layer = static_cast<VRObjectDrawingLayer *>(parentObject->layer());
    if (!layer) {
        auto *document = VRInspectorBase::mainDocument();
        if (document && document->drawing())
            layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    }
    std::unique_ptr<VRDrawing> offscreen;
    if (!layer) {
        offscreen = VRDrawing::defaultDrawingWithSize(VRDrawing::isoA2PaperSize(false));
        layer = offscreen->activeLayerOfClass<VRObjectDrawingLayer>();
    }
    if (!layer)
        return {};

    VRObjectRef copy = object->copy();
    if (!copy)
        return {};
    if (parentObject
        && (parentObject->isKindOf<QntElement>() || parentObject->isKindOf<QntConnectorArrow>())) {
        const QTransform transform =
            object->isKindOf<VRDrawableShape>() && !parentObject->isKindOf<QntConnectorArrow>()
                ? object->transformIncludingParent()
                : parentObject->transformIncludingParent();
        const QSizeF target =
            transform.map(VRDrawableShape::unitRectAtOrigin()).boundingRect().size();
        if (copy->isMemberOf<VRDrawablePath>()) {
            const auto &path = static_cast<const VRDrawablePath &>(*copy);
            const QRectF bounds = path.path().boundingRect();
            // A straight horizontal or vertical line has no area to become a shape: tilt it.
            if (bounds.width() == 0 || bounds.height() == 0)
                copy = VRDrawablePath::drawablePathWithBezierPath(
                    VRPath::rotatedPath(path.path(), M_PI / 10));
            if (copy && copy->isMemberOf<VRDrawablePath>())
                copy = static_cast<const VRDrawablePath &>(*copy).makeShape();
        }
        if (!copy)
            return {};
        if (!target.isEmpty())
            copy->setSize(target);
    }

    VRDrawableContainer *oldContainer = copy->container();
    copy->setContainer(layer);
    VRUndoManager *undo = copy->undoManager();
    if (undo)
        undo->disableUndoRegistration();
    const QImage picture = layer->imageOfObject(*copy);
    if (undo)
        undo->enableUndoRegistration();
    copy->setContainer(oldContainer);
    if (picture.isNull() || picture.size().isEmpty())
        return {};
    QImage result(picture.size(), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(picture.size())), picture);
    return result;
}
