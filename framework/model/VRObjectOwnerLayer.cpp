#include "framework/model/VRObjectOwnerLayer.h"

#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/undo/VRUndoManager.h"

#include <QPainter>
#include <QSet>

VR_CLASS_IMPL(VRObjectOwnerLayer, VRLayer)
VR_ROOT_CLASS_IMPL(VRObjectStorage, nullptr)
VR_CLASS_IMPL(VRLinearObjectStorage, VRObjectStorage)
VR_CLASS_IMPL(VRBSPObjectStorage, VRObjectStorage)

namespace {
const VRClassInfo *g_storageClass = nullptr;
} // namespace

VRObjectOwnerLayer::~VRObjectOwnerLayer()
{
    for (const auto &o : std::as_const(m_objects)) {
        if (o->container() == this)
            o->setContainer(nullptr);
    }
}

VRObjectList VRObjectOwnerLayer::availableObjects() const
{
    VRObjectList result;
    for (const auto &o : m_objects) {
        if (o->isVisible() && !o->isLocked())
            result.append(o);
    }
    return result;
}

void VRObjectOwnerLayer::addObject(VRObjectRef object)
{
    if (object)
        insertObjects({object}, int(m_objects.size()));
}

void VRObjectOwnerLayer::addObjectsFromArray(const VRObjectList &objects)
{
    insertObjects(objects, int(m_objects.size()));
}

void VRObjectOwnerLayer::notifyMembership(VRDrawableObject &object, bool added)
{
    VRDrawing *d = drawing();
    if (!d || object.isPrototype())
        return;
    // The drawing's router keeps every object of its layers as an obstacle or a connector.
    VRAvoidRouter *router = d->avoidRouter();
    if (!router)
        return;
    if (added)
        router->registerObject(&object);
    else
        router->unregisterObject(&object);
}

void VRObjectOwnerLayer::insertObjects(const VRObjectList &objects, int index)
{
    // An object already in the layer has the layer for its container, so adding one object to a
    // large layer costs no walk over the layer; the set only drops repeats within the new ones.
    QSet<const VRDrawableObject *> seen;
    seen.reserve(objects.size());
    VRObjectList toAdd;
    toAdd.reserve(objects.size());
    for (const auto &o : objects) {
        if (o && o->container() != this && !seen.contains(o.get())) {
            seen.insert(o.get());
            toAdd.append(o);
        }
    }
    if (toAdd.isEmpty())
        return;
    index = std::clamp(index, 0, int(m_objects.size()));
    recordLayerUndo(
        "addObject:",
        toAdd.size() == 1 ? QStringLiteral("Add Object") : QStringLiteral("Add Objects"),
        [toAdd](VRLayer &l) { static_cast<VRObjectOwnerLayer &>(l).removeObjectsInArray(toAdd); },
        toAdd.first().get());
    for (int i = 0; i < toAdd.size(); ++i) {
        const auto &o = toAdd.at(i);
        if (auto *old = o->layer(); old && old != this)
            old->removeObject(o);
        m_objects.insert(index + i, o);
        o->setContainer(this);
    }
    for (const auto &o : std::as_const(toAdd)) {
        o->objectWasAddedToLayer(this);
        notifyMembership(*o, true);
        o->notifyVisualChange();
    }
}

void VRObjectOwnerLayer::removeObject(const VRObjectRef &object)
{
    if (object)
        removeObjectsInArray({object});
}

void VRObjectOwnerLayer::removeObjectsInArray(const VRObjectList &objects)
{
    // Remember each object's z-index so undo puts it back exactly where it was.
    QSet<const VRDrawableObject *> victims;
    for (const auto &o : objects)
        victims.insert(o.get());
    QList<QPair<int, VRObjectRef>> removed;
    for (int i = 0; i < m_objects.size(); ++i) {
        if (victims.contains(m_objects.at(i).get()))
            removed.append({i, m_objects.at(i)});
    }
    if (removed.isEmpty())
        return;
    VRObjectList list;
    for (const auto &r : std::as_const(removed))
        list.append(r.second);
    objectsWillBeRemoved(list);
    recordLayerUndo(
        "removeObject:", QStringLiteral("Delete"),
        [removed](VRLayer &l) {
            auto &layer = static_cast<VRObjectOwnerLayer &>(l);
            for (const auto &r : removed)
                layer.insertObjects({r.second}, r.first);
        },
        removed.first().second.get());
    for (auto it = removed.crbegin(); it != removed.crend(); ++it) {
        it->second->objectWillBeRemovedFromLayer(this);
        notifyMembership(*it->second, false);
    }
    VRObjectList kept;
    kept.reserve(m_objects.size() - removed.size());
    for (const auto &o : std::as_const(m_objects)) {
        if (!victims.contains(o.get()))
            kept.append(o);
    }
    m_objects = kept;
    for (const auto &r : std::as_const(removed)) {
        if (r.second->container() == this)
            r.second->setContainer(nullptr);
    }
    setNeedsDisplay();
}

void VRObjectOwnerLayer::objectsWillBeRemoved(const VRObjectList &)
{
}

int VRObjectOwnerLayer::indexOfObject(const VRDrawableObject *object) const
{
    for (int i = 0; i < m_objects.size(); ++i) {
        if (m_objects.at(i).get() == object)
            return i;
    }
    return -1;
}

void VRObjectOwnerLayer::moveObjectToIndex(const VRObjectRef &object, int index)
{
    const int from = indexOfObject(object.get());
    if (from < 0)
        return;
    index = std::clamp(index, 0, int(m_objects.size()) - 1);
    if (from == index)
        return;
    std::weak_ptr<VRDrawableObject> weak = object;
    recordLayerUndo(
        "moveObjectToIndex:", QStringLiteral("Change Stacking Order"),
        [weak, from](VRLayer &l) {
            if (auto o = weak.lock())
                static_cast<VRObjectOwnerLayer &>(l).moveObjectToIndex(o, from);
        },
        object.get());
    m_objects.move(from, index);
    setNeedsDisplay();
}

void VRObjectOwnerLayer::moveObjectToBottom(const VRObjectRef &object)
{
    moveObjectToIndex(object, 0);
}

void VRObjectOwnerLayer::moveObjectToTop(const VRObjectRef &object)
{
    moveObjectToIndex(object, int(m_objects.size()) - 1);
}

VRObjectList VRObjectOwnerLayer::objectsWithStyle(const VRStyleRef &style) const
{
    VRObjectList result;
    for (const auto &o : m_objects) {
        if (o->style() == style)
            result.append(o);
    }
    return result;
}

QRectF VRObjectOwnerLayer::unionOfAllObjectBounds() const
{
    QRectF r;
    for (const auto &o : m_objects)
        r = r.isNull() ? o->bounds() : r.united(o->bounds());
    return r;
}

void VRObjectOwnerLayer::unregisterObjectsFromAvoidRouter()
{
    for (const auto &o : std::as_const(m_objects))
        notifyMembership(*o, false);
}

VRObjectRef VRObjectOwnerLayer::hitTest(QPointF point) const
{
    for (auto it = m_objects.crbegin(); it != m_objects.crend(); ++it) {
        if ((*it)->hitTest(point))
            return *it;
    }
    return nullptr;
}

VRObjectList VRObjectOwnerLayer::objectsInRect(const QRectF &rect) const
{
    VRObjectList result;
    for (auto it = m_objects.crbegin(); it != m_objects.crend(); ++it) {
        if ((*it)->isVisible() && rect.intersects((*it)->bounds()))
            result.append(*it);
    }
    return result;
}

void VRObjectOwnerLayer::setStorageClass(const VRClassInfo &storageClass)
{
    if (storageClass.isSubclassOf(VRObjectStorage::staticClass()))
        g_storageClass = &storageClass;
}

const VRClassInfo &VRObjectOwnerLayer::storageClass()
{
    return g_storageClass ? *g_storageClass : VRBSPObjectStorage::staticClass();
}

bool VRObjectOwnerLayer::layerMayBeDeleted() const
{
    VRDrawing *d = drawing();
    if (!d)
        return true;
    return d->layersOfClass(VRObjectOwnerLayer::staticClass()).size() > 1;
}

void VRObjectOwnerLayer::render(QPainter &painter, bool) const
{
    const QRectF clip = painter.hasClipping() ? painter.clipBoundingRect() : QRectF();
    for (const auto &o : m_objects) {
        if (!o->isVisible())
            continue;
        if (!clip.isNull() && !clip.intersects(o->bounds()))
            continue;
        o->render(painter);
    }
}
