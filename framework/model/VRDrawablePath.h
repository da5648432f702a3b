#pragma once

#include "framework/model/VRDrawableObject.h"

// An open or closed path in container (for top-level objects: drawing) coordinates. Its
// location and size are those of the path's bounds; geometry setters transform the path.
class VRDrawablePath : public VRDrawableObject
{
    VR_CLASS(VRDrawablePath)
public:
    VRDrawablePath() = default;
    explicit VRDrawablePath(const QPainterPath &path);
    static VRObjectRef drawablePathWithBezierPath(const QPainterPath &path);

    QPainterPath path() const { return m_path; }
    virtual void setPath(const QPainterPath &path);
    QPainterPath renderingPath() const override;

    void setLocation(QPointF location) override;
    void setSize(QSizeF size) override;
    void setAngle(double radians) override;
    void applyTransform(const QTransform &transform) override;
    bool hitTest(QPointF drawingPoint) const override;
    Geometry saveGeometry() const override;
    void restoreGeometry(const Geometry &geometry) override;

    // A shape with this path normalised into its bounds and the same style.
    VRObjectRef makeShape() const;
    double length() const;
    virtual void insertPathPoint(QPointF point);
    virtual void deletePathPoint(QPointF point);

    VRObjectRef copy() const override;
    void writeRecord(VRJsonWriter &record, VRArchiveWriter &writer) const override;
    bool readRecord(const QJsonObject &record, VRArchiveReader &reader,
                    const QString &path) override;

protected:
    // Replaces the path, recording the old one for undo under the given names.
    void changePath(const QPainterPath &path, const char *selector, const QString &actionName);
    void syncGeometryFromPath();

private:
    QPainterPath m_path;
};

// Path functions.
namespace VRPath {
QPainterPath rotatedPath(const QPainterPath &path, double radians);
QPointF firstPoint(const QPainterPath &path);
QPointF lastPoint(const QPainterPath &path);
QString toSvgData(const QPainterPath &path);
// Parses the path data written by toSvgData (M, L, C, Z with absolute coordinates); null on error.
std::optional<QPainterPath> fromSvgData(const QString &data);
} // namespace VRPath
