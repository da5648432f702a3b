// VRDrawingView: finding objects under a point, the highlight, and what the view tells others.
#include "framework/view/VRDrawingView.h"

#include "framework/model/QntConnector.h"

#include "framework/view/VRViewController.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"

VRObjectRef VRDrawingView::objectAtPoint(QPointF drawingPoint,
                                         VRObjectDrawingLayer **layerOut) const
{
    if (!m_drawing)
        return nullptr;
    auto usable = [](VRLayer *l) {
        return l && l->isVisible() && !l->isLocked() && l->isKindOf<VRObjectDrawingLayer>();
    };
    auto hitIn = [&](VRObjectDrawingLayer *layer) -> VRObjectRef {
        VRObjectRef hit = layer->hitTest(drawingPoint);
        return hit && hit->isVisible() ? hit : nullptr;
    };
    VRObjectDrawingLayer *active = activeObjectLayer();
    if (usable(active)) {
        if (VRObjectRef hit = hitIn(active)) {
            if (layerOut)
                *layerOut = active;
            return hit;
        }
    }
    if (!m_controller->activatesLayersAutomatically())
        return nullptr;
    for (int k = 0; k < m_drawing->countOfLayers(); ++k) {
        VRLayer *l = m_drawing->objectInLayersAtIndex(k);
        if (l == active || !usable(l))
            continue;
        if (VRObjectRef hit = hitIn(static_cast<VRObjectDrawingLayer *>(l))) {
            if (layerOut)
                *layerOut = static_cast<VRObjectDrawingLayer *>(l);
            return hit;
        }
    }
    return nullptr;
}

QVariantList VRDrawingView::reportedGeometry(const VRDrawableObject &object) const
{
    // The position is the object's location (its centre) from the paper's margins, and the size
    // its own, unturned: the measures in which positions and sizes are shown and typed. An
    // object without a size of its own gives its bounds' size.
    const QSizeF own = object.size();
    const QSizeF size = own.width() > 0 && own.height() > 0 ? own : object.logicalBounds().size();
    return {m_drawing->convertLength(object.location().x() - m_drawing->leftMargin()),
            m_drawing->convertLength(object.location().y() - m_drawing->topMargin()),
            m_drawing->convertLength(size.width()), m_drawing->convertLength(size.height())};
}

void VRDrawingView::postShapeInfo(const VRObjectRef &object)
{
    if (!object || !m_drawing)
        return;
    const QRectF b = object->logicalBounds();
    const QVariantList geometry = reportedGeometry(*object);
    const double x = geometry.at(0).toDouble(), y = geometry.at(1).toDouble();
    const double w = geometry.at(2).toDouble(), h = geometry.at(3).toDouble();
    // The info line gives the top-left corner, named X0 and Y0 as for a multiple selection: the
    // inspectors' X and Y are the centre.
    const QString info =
        QStringLiteral("W:%1 H:%2 X0:%3 Y0:%4")
            .arg(m_drawing->formattedConvertedLength(b.width()),
                 m_drawing->formattedConvertedLength(b.height()),
                 m_drawing->formattedConvertedLength(b.left() - m_drawing->leftMargin()),
                 m_drawing->formattedConvertedLength(b.top() - m_drawing->topMargin()));
    m_reportedObject = object;
    m_reportedGeometry = geometry;
    QVariantMap userInfo{
        {QStringLiteral("sender"), QVariant::fromValue(static_cast<QObject *>(this))},
        {QStringLiteral("info"), info},
        {QStringLiteral("x"), x},
        {QStringLiteral("y"), y},
        {QStringLiteral("width"), w},
        {QStringLiteral("height"), h}};
    NotificationCenter::defaultCenter().post(kQntShapeInfoUpdated, this, userInfo);
}

void VRDrawingView::postObjectsMoved(const VRObjectList &objects)
{
    if (objects.isEmpty())
        return;
    VRObjectRef first = objects.first();
    for (const VRObjectRef &o : objects) {
        if (isKindOfNamed(*o, u"QntElement")) {
            first = o;
            break;
        }
    }
    NotificationCenter::defaultCenter().post(kQntElementMovedNotification, first.get(),
                                             objectInfo(first));
}

void VRDrawingView::rightMouseUp(QPointF drawingPoint)
{
    VRObjectDrawingLayer *layer = nullptr;
    VRObjectRef hit = objectAtPoint(drawingPoint, &layer);
    VRObjectDrawingLayer *active = activeObjectLayer();
    if (!hit || !layer) {
        if (active)
            active->deselectAll();
        return;
    }
    if (layer != active)
        m_drawing->setActiveLayer(layer);
    if (!(layer->isSelectedObject(*hit) && layer->countOfSelection() > 1))
        layer->replaceSelectionWithObject(hit);
    NotificationCenter &nc = NotificationCenter::defaultCenter();
    if (layer->countOfSelection() > 1) {
        nc.post(kQntMultipleChangeStyleModeSelected, this,
                {{QStringLiteral("selection"), QVariant::fromValue(layer->selection())}});
        return;
    }
    if (isKindOfNamed(*hit, u"QntConnector")) {
        static_cast<QntConnector &>(*hit).setLastClickedPointAtAdornment(drawingPoint);
        nc.post(kQntConnectorRightMouseUpNotification, hit.get(), objectInfo(hit));
    } else
        nc.post(kQntElementRightMouseUpNotification, hit.get(), objectInfo(hit));
}

void VRDrawingView::setHighlightedObject(const VRObjectRef &object)
{
    if (object == m_highlighted)
        return;
    if (m_highlighted)
        updateDrawingRect(m_highlighted->bounds());
    m_highlighted = object;
    NotificationCenter &nc = NotificationCenter::defaultCenter();
    if (object) {
        updateDrawingRect(object->bounds());
        nc.post(kQntHighlightChangedNotification, object.get(), objectInfo(object));
    } else {
        nc.post(kQntHighlightChangedNotification, nullptr);
        nc.post(kQntNoHighlightNotification, this);
    }
}
