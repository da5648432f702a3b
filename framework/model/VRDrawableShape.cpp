#include "framework/model/VRDrawableShape.h"

#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/archive/VRJsonWriter.h"

#include <QJsonObject>

VR_CLASS_IMPL(VRDrawableShape, VRDrawableObject)

namespace {
// The path with its bounds measured: copies share them, and measuring a shape (on any thread)
// reads them without changing anything.
QPainterPath measured(QPainterPath path)
{
    path.boundingRect();
    path.controlPointRect();
    return path;
}
} // namespace

VRDrawableShape::VRDrawableShape(const QPainterPath &unitPath)
    : m_unitPath(measured(unitPath))
{
}

std::shared_ptr<VRDrawableShape> VRDrawableShape::shapeWithRect(const QRectF &rect,
                                                                const QPainterPath &unitPath)
{
    auto shape = std::make_shared<VRDrawableShape>(unitPath);
    shape->m_location = rect.center();
    shape->m_size = rect.size();
    return shape;
}

// Made once and shared by every copy (most shapes of a drawing are plain rectangles), with
// their bounds measured before they are shared: a copy asked for them changes nothing.
QPainterPath VRDrawableShape::unitRectAtOrigin()
{
    static const QPainterPath path = [] {
        QPainterPath p;
        p.addRect(QRectF(-0.5, -0.5, 1, 1));
        p.boundingRect();
        p.controlPointRect();
        return p;
    }();
    return path;
}

QPainterPath VRDrawableShape::unitOvalAtOrigin()
{
    static const QPainterPath path = [] {
        QPainterPath p;
        p.addEllipse(QRectF(-0.5, -0.5, 1, 1));
        p.boundingRect();
        p.controlPointRect();
        return p;
    }();
    return path;
}

QPainterPath VRDrawableShape::unitPath() const
{
    return m_unitPath.isEmpty() ? unitRectAtOrigin() : m_unitPath;
}

void VRDrawableShape::setUnitPath(const QPainterPath &path)
{
    const QPainterPath old = m_unitPath;
    recordUndo("setUnitPath:", QStringLiteral("Change Path"),
               [old](VRDrawableObject &o) { static_cast<VRDrawableShape &>(o).setUnitPath(old); });
    m_unitPath = measured(path);
    geometryDidChange();
}

QPainterPath VRDrawableShape::renderingPath() const
{
    return transformIncludingParent().map(unitPath());
}

QRectF VRDrawableShape::outlineOuterRect() const
{
    // The corners of the unit path's control points, mapped, hold the mapped control points.
    const QRectF unit =
        m_unitPath.isEmpty() ? QRectF(-0.5, -0.5, 1, 1) : m_unitPath.controlPointRect();
    return transformIncludingParent().mapRect(unit);
}

VRObjectRef VRDrawableShape::copy() const
{
    auto object = VRDrawableObject::copy();
    if (object)
        copyShapeInto(static_cast<VRDrawableShape &>(*object));
    return object;
}

void VRDrawableShape::copyShapeInto(VRDrawableShape &target) const
{
    target.m_unitPath = m_unitPath;
}

void VRDrawableShape::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    VRDrawableObject::writeRecord(r, writer);
    if (!m_unitPath.isEmpty() && m_unitPath != unitRectAtOrigin())
        r.insert("unitPath", VRPath::toSvgData(m_unitPath));
}

bool VRDrawableShape::readRecord(const QJsonObject &r, VRArchiveReader &reader, const QString &path)
{
    if (!VRDrawableObject::readRecord(r, reader, path)
        || !reader.readPath(r, QStringLiteral("unitPath"), path, m_unitPath))
        return false;
    m_unitPath = measured(m_unitPath);
    return true;
}
