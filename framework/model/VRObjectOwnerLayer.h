#pragma once

#include "framework/model/VRDrawableContainer.h"
#include "framework/model/VRLayer.h"

#include <QList>
#include <QRectF>

#include <functional>
#include <memory>

// A layer that owns drawable objects in z-order (bottom first) and hit-tests them. It may
// also stand alone (no drawing) as a container for objects being built.
class VRObjectOwnerLayer : public VRLayer, public VRDrawableContainer
{
    VR_CLASS(VRObjectOwnerLayer)
public:
    VRObjectOwnerLayer();
    ~VRObjectOwnerLayer() override;

    const VRObjectList &objects() const { return m_objects; }
    // Visible and unlocked objects.
    VRObjectList availableObjects() const;
    int countOfObjects() const { return int(m_objects.size()); }

    void addObject(VRObjectRef object);
    void addObjectsFromArray(const VRObjectList &objects);
    // Inserts at a z-index (0 = bottom).
    void insertObjects(const VRObjectList &objects, int index);
    void removeObject(const VRObjectRef &object);
    void removeObjectsInArray(const VRObjectList &objects);
    void moveObjectToBottom(const VRObjectRef &object);
    void moveObjectToTop(const VRObjectRef &object);
    void moveObjectToIndex(const VRObjectRef &object, int index);
    int indexOfObject(const VRDrawableObject *object) const;

    VRObjectList objectsWithStyle(const VRStyleRef &style) const;
    QRectF unionOfAllObjectBounds() const;
    void unregisterObjectsFromAvoidRouter();

    // Topmost first. Both look only at the objects near the place, through a spatial index
    // of the objects' bounds.
    VRObjectRef hitTest(QPointF point) const;
    VRObjectList objectsInRect(const QRectF &rect) const;

    static void setStorageClass(const VRClassInfo &storageClass);
    static const VRClassInfo &storageClass();

    bool layerMayBeDeleted() const override;

    // VRDrawableContainer
    VRObjectOwnerLayer *containerLayer() const override
    {
        return const_cast<VRObjectOwnerLayer *>(this);
    }
    QTransform contentTransform() const override { return {}; }
    void memberBoundsDidChange(VRDrawableObject &member) override;

    void render(QPainter &painter, bool printing) const override;

protected:
    // Objects are about to leave the layer (the drawing layer drops them from the selection).
    virtual void objectsWillBeRemoved(const VRObjectList &objects);
    void notifyMembership(VRDrawableObject &object, bool added);

    // The objects' order or membership changed: the index is built again when next asked.
    void invalidateIndex();

    VRObjectList m_objects;

private:
    class Index;
    // Objects whose bounds meet the area, bottom first, as indices into m_objects.
    std::vector<int> indicesNear(const QRectF &area) const;

    mutable std::unique_ptr<Index> m_index;
};

// Object storage classes a layer may be told to use (linear list or spatial index).
class VRObjectStorage
{
    VR_ROOT_CLASS(VRObjectStorage)
public:
    virtual ~VRObjectStorage() = default;
};

class VRLinearObjectStorage : public VRObjectStorage
{
    VR_CLASS(VRLinearObjectStorage)
};

class VRBSPObjectStorage : public VRObjectStorage
{
    VR_CLASS(VRBSPObjectStorage)
};
