#pragma once

#include "framework/model/VRDrawableObject.h"

// A closed shape: a path in the unit square (-0.5 ... 0.5) mapped through location, size,
// angle and offset.
class VRDrawableShape : public VRDrawableObject
{
    VR_CLASS(VRDrawableShape)
public:
    VRDrawableShape() = default;
    explicit VRDrawableShape(const QPainterPath &unitPath);
    // A shape covering a rectangle of the drawing.
    static std::shared_ptr<VRDrawableShape> shapeWithRect(const QRectF &rect,
                                                          const QPainterPath &unitPath = {});

    static QPainterPath unitRectAtOrigin();
    static QPainterPath unitOvalAtOrigin();
    // The unit path; the unit rectangle when none was set.
    QPainterPath unitPath() const;
    bool hasCustomUnitPath() const { return !m_unitPath.isEmpty(); }
    void setUnitPath(const QPainterPath &path);
    QPainterPath renderingPath() const override;
    QRectF outlineOuterRect() const override;

    VRObjectRef copy() const override;
    void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const override;
    bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                    const QString &path) override;

protected:
    void copyShapeInto(VRDrawableShape &target) const;

private:
    QPainterPath m_unitPath;
};
