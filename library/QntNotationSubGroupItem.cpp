#include "library/QntNotationSubGroupItem.h"

#include "library/QntShapePartsSubgroup.h"

#include "app/common/QntConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/document/VRInspectorBase.h"
#include "framework/model/QntConnector.h"

#include "framework/model/QntDecoratedSeparator.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/notations/QntNotation.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRObjectCreationTool.h"

#include <QPainter>

#include <atomic>

namespace {

std::atomic<qint64> g_renderedImages{0};

// The size a prototype was designed at, before any element scale.
QSizeF originalSizeWithoutScale(const VRDrawableObject &object)
{
    if (object.isKindOf<QntElement>()) {
        const auto &element = static_cast<const QntElement &>(object);
        if (!element.originalSizeWithoutScale().isEmpty())
            return element.originalSizeWithoutScale();
        if (!element.originalSize().isEmpty())
            return element.originalSize();
    }
    return object.size();
}

} // namespace

QntNotationSubGroupItem::QntNotationSubGroupItem(QntNotationSubgroup *parent)
    : _parent(parent)
{
}

void QntNotationSubGroupItem::setTitle(const QString &title)
{
    if (title != _title)
        _title = title;
}

void QntNotationSubGroupItem::setTooltip(const QString &tooltip)
{
    if (tooltip != _tooltip)
        _tooltip = tooltip;
}

void QntNotationSubGroupItem::setDrawingTool(std::shared_ptr<VRDrawingTool> tool,
                                             const QntNotation *notation)
{
    if (tool == _tool)
        return;
    _tool = std::move(tool);
    if (!_tool || !_tool->isKindOf<VRObjectCreationTool>())
        return;
    auto *creation = static_cast<VRObjectCreationTool *>(_tool.get());
    if (const VRObjectRef prototype = creation->prototype())
        prototype->setIsPrototype(true);
    // The palette is rebuilt often while its tools stay registered: render each tool once.
    if (!creation->cachedImage().isNull()) {
        _icon = creation->cachedImage();
        return;
    }
    const QImage image = updateImageWithNotation(notation);
    if (!image.isNull())
        creation->setCachedImage(image);
}

QImage QntNotationSubGroupItem::updateImageWithNotation(const QntNotation *notation)
{
    const std::unique_ptr<VRDrawing> drawing =
        VRDrawing::defaultDrawingWithSize(VRDrawing::isoA2PaperSize(false));
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    if (!layer || !_tool || !_tool->isKindOf<VRObjectCreationTool>())
        return {};
    const VRObjectRef prototype = static_cast<VRObjectCreationTool *>(_tool.get())->prototype();
    if (!prototype)
        return {};

    // The shape drawn for the prototype: arrows are shown in their short form.
    VRObjectRef shape = prototype;
    if (prototype->isKindOf<QntElementArrow>()) {
        const auto &arrow = static_cast<const QntElementArrow &>(*prototype);
        if (prototype->stringForKey(QStringLiteral("Kind"))
            == QLatin1String("ElementArrowAsAdjustableArrow")) {
            if (const auto element = arrow.elementFromStyle())
                shape = element->copy();
        } else if (notation) {
            if (VRObjectRef element =
                    QntElement::createWithElementId(prototype->ID(), notation->notationPath()))
                shape = element;
        }
    } else if (prototype->isKindOf<QntDecoratedSeparator>()) {
        shape = prototype->copy();
    }
    if (!shape)
        return {};

    const QSizeF size = originalSizeWithoutScale(*prototype);
    const bool isGroup = shape->isKindOf<VRShapeGroup>();
    if (!size.isEmpty()) {
        if (isGroup)
            shape->setState(1);
        shape->setSize(size);
        if (isGroup)
            shape->setState(0);
    }

    VRDrawableContainer *oldContainer = shape->container();
    shape->setContainer(layer);
    VRUndoManager *undo = shape->undoManager();
    if (undo)
        undo->disableUndoRegistration();
    const QImage picture = layer->imageOfObject(*shape);
    if (undo)
        undo->enableUndoRegistration();
    shape->setContainer(oldContainer);

    if (picture.isNull() || picture.size().isEmpty())
        return {};
    ++g_renderedImages;
    QImage result(picture.size(), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    {
        QPainter painter(&result);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(picture.size())), picture);
    }
    _icon = result;
    return result;
}

qint64 QntNotationSubGroupItem::renderedImageCount()
{
    return g_renderedImages.load();
}

void QntNotationSubGroupItem::observeRepresentedObjectRestyling(bool observe)
{
    m_restyleObserver.reset();
    if (!observe || !_representedObject)
        return;
    m_restyleObserver = NotificationCenter::defaultCenter().addObserver(
        kQntUpdateSubGroupItemNotification, _representedObject.get(),
        [this](const Notification &notification) { updateImageNotification(notification); });
}

void QntNotationSubGroupItem::updateImageNotification(const Notification &notification)
{
    if (!_representedObject || notification.object != _representedObject.get())
        return;
    auto *parts = dynamic_cast<QntShapePartsSubgroup *>(_parent);
    if (!parts)
        return;
    auto *document = VRInspectorBase::mainDocument();
    VRDrawing *drawing = document ? document->drawing() : nullptr;
    auto *layer = drawing ? drawing->activeLayerOfClass<VRObjectDrawingLayer>() : nullptr;
    VRObjectRef selection = layer ? layer->singleSelection() : nullptr;
    if (!selection || selection->isMemberOf<QntConnector>())
        return;
    if (selection->isKindOf<QntElementArrow>()) {
        // An arrow's parts are drawn inside its short form, at that form's own size.
        const auto shortForm = static_cast<const QntElementArrow &>(*selection).elementFromStyle();
        if (!shortForm)
            return;
        VRObjectRef copy = shortForm->copy();
        if (!copy)
            return;
        if (!shortForm->originalSize().isEmpty())
            copy->setSize(shortForm->originalSize());
        selection = copy;
    }
    const QImage picture = parts->imageForObject(_representedObject, selection);
    if (picture.isNull())
        return;
    _icon = picture;
    parts->itemImageDidChange(this);
}
