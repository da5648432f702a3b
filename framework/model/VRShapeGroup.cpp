#include "framework/model/VRShapeGroup.h"

#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/archive/VRJsonWriter.h"

#include <algorithm>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QSet>

#include <cmath>

VR_CLASS_IMPL(VRShapeGroup, VRDrawableShape)

VRShapeGroup::~VRShapeGroup()
{
    for (const auto &m : std::as_const(m_members)) {
        if (m->container() == this)
            m->setContainer(nullptr);
    }
}

VRObjectRef VRShapeGroup::groupWithObjects(const VRObjectList &objects)
{
    if (objects.isEmpty())
        return nullptr;
    auto group = std::make_shared<VRShapeGroup>();
    group->setGroupObjects(objects);
    return group;
}

void VRShapeGroup::setGroupObjects(const VRObjectList &objects)
{
    QRectF rect;
    for (const auto &o : objects) {
        const QRectF r = o->saveGeometry().path.isEmpty()
                             ? o->transform().mapRect(QRectF(-0.5, -0.5, 1, 1))
                             : o->saveGeometry().path.boundingRect();
        rect = rect.isNull() ? r : rect.united(r);
    }
    setGroupObjects(objects, rect);
    m_location = rect.center();
    m_size = rect.size();
    m_offset = QSizeF(0, 0);
    m_angle = 0;
    invalidateBoundsCache();
}

void VRShapeGroup::setGroupObjects(const VRObjectList &objects, const QRectF &contentRect)
{
    for (const auto &m : std::as_const(m_members)) {
        if (m->container() == this)
            m->setContainer(nullptr);
    }
    m_members = objects;
    m_contentRect = contentRect;
    for (const auto &m : std::as_const(m_members))
        m->setContainer(this);
    invalidateBoundsCache();
}

void VRShapeGroup::addGroupObject(const VRObjectRef &object)
{
    if (!object || m_members.contains(object))
        return;
    m_members.append(object);
    object->setContainer(this);
    memberDidChange(*object);
}

void VRShapeGroup::removeGroupObject(const VRObjectRef &object)
{
    if (m_members.removeAll(object) > 0) {
        if (object->container() == this)
            object->setContainer(nullptr);
        invalidateBoundsCache();
    }
}

QTransform VRShapeGroup::contentTransform() const
{
    const double w = m_contentRect.width() > 0 ? m_contentRect.width() : 1.0;
    const double h = m_contentRect.height() > 0 ? m_contentRect.height() : 1.0;
    QTransform toUnit;
    toUnit.scale(1.0 / w, 1.0 / h);
    toUnit.translate(-m_contentRect.center().x(), -m_contentRect.center().y());
    // Degenerate content keeps its own scale rather than collapsing.
    QTransform t = transformIncludingParent();
    if (m_contentRect.width() <= 0 || m_contentRect.height() <= 0) {
        QTransform fallback;
        fallback.translate(-m_contentRect.center().x(), -m_contentRect.center().y());
        QTransform place;
        place.translate(m_location.x(), m_location.y());
        place.rotateRadians(m_angle);
        return fallback * place;
    }
    return toUnit * t;
}

void VRShapeGroup::memberDidChange(VRDrawableObject &)
{
    // Observers of the group hear about changes of its parts (text edits, restyling).
    notifyVisualChange();
}

namespace {

void collectElements(const VRObjectList &objects, QSet<const VRDrawableObject *> &elements)
{
    for (const auto &o : objects) {
        if (o->isKindOf<QntElement>())
            elements.insert(o.get());
        if (o->isKindOf<VRShapeGroup>())
            collectElements(static_cast<const VRShapeGroup &>(*o).groupObjects(), elements);
    }
}

} // namespace

void VRShapeGroup::geometryDidChange()
{
    for (const auto &m : std::as_const(m_members))
        m->containerGeometryDidChange();
    VRDrawableShape::geometryDidChange();
    // The drawing's connectors on the elements inside follow them.
    QSet<const VRDrawableObject *> elements;
    collectElements(m_members, elements);
    VRObjectOwnerLayer *l = layer();
    if (elements.isEmpty() || !l)
        return;
    for (const auto &o : l->objects()) {
        if (!o->isKindOf<QntConnector>())
            continue;
        auto &connector = static_cast<QntConnector &>(*o);
        if (elements.contains(connector.startEndPoint()->targetElement().get())
            || elements.contains(connector.endEndPoint()->targetElement().get()))
            connector.endsDidMove();
    }
}

void VRShapeGroup::containerGeometryDidChange()
{
    for (const auto &m : std::as_const(m_members))
        m->containerGeometryDidChange();
    VRDrawableShape::containerGeometryDidChange();
}

QPainterPath VRShapeGroup::renderingPath() const
{
    QPainterPath path;
    for (const auto &m : m_members)
        path.addPath(m->renderingPath());
    if (path.isEmpty())
        return VRDrawableShape::renderingPath();
    return path;
}

QRectF VRShapeGroup::outlineOuterRect() const
{
    // Spanned by corner, as a member's outline may be a mere point or line.
    if (m_members.isEmpty())
        return VRDrawableShape::outlineOuterRect();
    QRectF r = m_members.front()->outlineOuterRect();
    for (const auto &m : m_members) {
        const QRectF member = m->outlineOuterRect();
        r.setCoords(std::min(r.left(), member.left()), std::min(r.top(), member.top()),
                    std::max(r.right(), member.right()), std::max(r.bottom(), member.bottom()));
    }
    return r;
}

QRectF VRShapeGroup::computeBounds(VRBoundsMeasure measure) const
{
    QRectF r;
    for (const auto &m : m_members)
        r = r.isNull() ? m->bounds(measure) : r.united(m->bounds(measure));
    if (style())
        r = r.isNull() ? VRDrawableShape::computeBounds(measure)
                       : r.united(VRDrawableShape::computeBounds(measure));
    return r.isNull() ? VRDrawableShape::renderingPath().boundingRect() : r;
}

bool VRShapeGroup::hitTest(QPointF p) const
{
    if (!isVisible() || !bounds().contains(p))
        return false;
    for (const auto &m : m_members) {
        if (m->hitTest(p))
            return true;
    }
    return style() && VRDrawableShape::renderingPath().contains(p);
}

void VRShapeGroup::drawContent(QPainter &painter) const
{
    if (style())
        renderStyle(painter, style().get(), *this, VRDrawableShape::renderingPath());
    for (const auto &m : m_members)
        m->render(painter);
}

VRObjectRef VRShapeGroup::copy() const
{
    auto object = VRDrawableShape::copy();
    if (!object)
        return object;
    auto &group = static_cast<VRShapeGroup &>(*object);
    group.setGroupObjects(deepCopy(m_members), m_contentRect);
    return object;
}

void VRShapeGroup::moveGeometryThrough(VRDrawableObject &object, const QTransform &t)
{
    Geometry g = object.saveGeometry();
    if (!g.path.isEmpty() || object.isKindOf<VRDrawablePath>()) {
        g.path = t.map(g.path);
        for (QPointF &p : g.routePoints)
            p = t.map(p);
        g.routeBend = QTransform(t.m11(), t.m12(), t.m21(), t.m22(), 0, 0).map(g.routeBend);
        object.restoreGeometry(g);
        return;
    }
    const QTransform full = object.transform() * t;
    g.location = full.map(QPointF(g.offset.width(), g.offset.height()));
    g.size = QSizeF(std::hypot(full.m11(), full.m12()), std::hypot(full.m21(), full.m22()));
    g.angle = std::atan2(full.m12(), full.m11());
    object.restoreGeometry(g);
}

namespace {

struct MemberState {
    VRObjectRef object;
    VRDrawableObject::Geometry geometry;
};

// Puts members into the group (inGroup) or out of it with the given geometries, recording the
// opposite move so undo and redo both restore the exact geometry.
void applyMembership(const std::shared_ptr<VRShapeGroup> &group, const QList<MemberState> &state,
                     const QList<MemberState> &opposite, const QRectF &content, bool inGroup,
                     VRUndoManager *um)
{
    if (um) {
        std::weak_ptr<VRShapeGroup> weak = group;
        um->registerUndo(group.get(),
                         "ungroupToLayer:", [weak, state, opposite, content, inGroup, um] {
                             if (auto g = weak.lock())
                                 applyMembership(g, opposite, state, content, !inGroup, um);
                         });
    }
    VRObjectList objects;
    for (const auto &s : state)
        objects.append(s.object);
    group->setGroupObjects({}, content);
    for (const auto &s : state) {
        s.object->setContainer(nullptr);
        s.object->restoreGeometry(s.geometry);
    }
    if (inGroup)
        group->setGroupObjects(objects, content);
}

} // namespace

void VRShapeGroup::ungroupToLayer(VRObjectOwnerLayer &layer)
{
    auto self = std::static_pointer_cast<VRShapeGroup>(shared_from_this());
    const QTransform toLayer = contentTransform();
    const QRectF content = m_contentRect;
    QList<MemberState> inGroup;
    QList<MemberState> inLayer;
    const VRObjectList members = m_members;
    for (const auto &m : members)
        inGroup.append({m, m->saveGeometry()});
    setGroupObjects({}, content);
    for (const auto &m : members) {
        moveGeometryThrough(*m, toLayer);
        inLayer.append({m, m->saveGeometry()});
    }
    const int index = int(layer.objects().indexOf(shared_from_this()));
    VRUndoManager *um = isPrototype() ? nullptr : layer.undoManager();
    if (um && !um->isUndoRegistrationEnabled())
        um = nullptr;
    if (um)
        um->beginUndoGrouping();
    applyMembership(self, inLayer, inGroup, content, false, um);
    layer.removeObject(self);
    layer.insertObjects(members, index < 0 ? int(layer.objects().size()) : index);
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Ungroup"));
    }
}

void VRShapeGroup::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    VRDrawableShape::writeRecord(r, writer);
    r.insert("contentRect",
             {m_contentRect.x(), m_contentRect.y(), m_contentRect.width(), m_contentRect.height()});
    r.key(QLatin1String("members"));
    writer.writeObjects(r, m_members);
}

bool VRShapeGroup::readRecord(const QJsonObject &r, VRArchiveReader &reader, const QString &path)
{
    if (!VRDrawableShape::readRecord(r, reader, path))
        return false;
    const QJsonValue rect = r.value(QStringLiteral("contentRect"));
    QRectF content;
    if (!rect.isUndefined()) {
        const QJsonArray a = rect.toArray();
        bool ok = a.size() == 4;
        double v[4] = {0, 0, 0, 0};
        for (int i = 0; ok && i < 4; ++i) {
            ok = a.at(i).isDouble() && std::isfinite(a.at(i).toDouble())
                 && std::abs(a.at(i).toDouble()) <= VRArchiveReader::kMaximumCoordinate;
            v[i] = a.at(i).toDouble();
        }
        if (!ok || v[2] < 0 || v[3] < 0)
            return reader.fail(path + QStringLiteral(".contentRect"),
                               VRArchiveReader::typeError("four numbers"));
        content = QRectF(v[0], v[1], v[2], v[3]);
    }
    const VRObjectList members =
        reader.readObjects(r.value(QStringLiteral("members")), path + QStringLiteral(".members"));
    if (reader.failed())
        return false;
    if (rect.isUndefined()) {
        const QPointF location = m_location;
        const QSizeF size = m_size;
        const double angle = m_angle;
        setGroupObjects(members);
        m_location = location;
        m_size = size;
        m_angle = angle;
    } else {
        setGroupObjects(members, content);
    }
    return true;
}
