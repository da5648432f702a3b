#pragma once

#include "framework/model/VRDrawableContainer.h"
#include "framework/model/VRDrawableShape.h"

// Member objects drawn and transformed together. Members keep their geometry in the group's
// content coordinates; the content rectangle maps onto the group's own unit square.
class VRShapeGroup : public VRDrawableShape, public VRDrawableContainer
{
    VR_CLASS(VRShapeGroup)
public:
    VRShapeGroup() = default;
    ~VRShapeGroup() override;

    VRObjectList groupObjects() const { return m_members; }
    VRObjectList parts() const override { return m_members; }
    // A group of the objects, which must share one container; null for an empty list.
    static VRObjectRef groupWithObjects(const VRObjectList &objects);
    // Replaces the members; the content rectangle becomes their bounds.
    void setGroupObjects(const VRObjectList &objects);
    void setGroupObjects(const VRObjectList &objects, const QRectF &contentRect);
    void addGroupObject(const VRObjectRef &object);
    void removeGroupObject(const VRObjectRef &object);
    QRectF contentRect() const { return m_contentRect; }
    // Members move into the layer with their drawing geometry; the group leaves the layer.
    void ungroupToLayer(VRObjectOwnerLayer &layer);

    // VRDrawableContainer
    VRObjectOwnerLayer *containerLayer() const override { return layer(); }
    QTransform contentTransform() const override;
    void memberDidChange(VRDrawableObject &member) override;
    // Members inside nested groups follow an outer group too.
    void containerGeometryDidChange() override;

    QPainterPath renderingPath() const override;
    QRectF outlineOuterRect() const override;
    bool hitTest(QPointF drawingPoint) const override;
    VRObjectRef copy() const override;
    void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const override;
    bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                    const QString &path) override;

    // Maps an object's geometry through a transform into new (container) coordinates.
    static void moveGeometryThrough(VRDrawableObject &object, const QTransform &transform);

protected:
    void drawContent(QPainter &painter) const override;
    QRectF computeBounds(VRBoundsMeasure measure) const override;
    void geometryDidChange() override;

    VRObjectList m_members;
    QRectF m_contentRect;
};
