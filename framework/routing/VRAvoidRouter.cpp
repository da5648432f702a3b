#include "framework/routing/VRAvoidRouter.h"

#include "framework/routing/VRConnectorGeometry.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntStickySpot.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "framework/model/VRShapeGroup.h"

#include <QObject>
#include <QPair>
#include <QTimer>

#include <cmath>

namespace {

const VRRouteParameters kDefaults;

VRRouteId idOf(const VRDrawableObject *object)
{
    return VRRouteId(reinterpret_cast<quintptr>(object));
}

// Elements are known by their identity as drawables, as the entries are.
QPair<const void *, int> keyOf(const QntElement &element, int spot)
{
    return {static_cast<const void *>(static_cast<const VRDrawableObject *>(&element)), spot};
}

bool isAutomatic(const QntConnector &connector)
{
    return connector.routing() == 3 || connector.routing() == 4;
}

const VRDrawableObject *enclosingObject(const VRDrawableObject &object)
{
    return dynamic_cast<const VRDrawableObject *>(object.container());
}

// Shown in the drawing: visible, in visible groups, on a visible layer.
bool isShown(const VRDrawableObject &object)
{
    for (const VRDrawableObject *o = &object; o; o = enclosingObject(*o))
        if (!o->isVisible())
            return false;
    const VRObjectOwnerLayer *layer = object.layer();
    return !layer || layer->isVisible();
}

// The shapes inside a group, nested groups and their shapes included; connectors are not
// obstacles.
void collectShapes(const VRShapeGroup &group, QList<std::shared_ptr<VRDrawableObject>> &shapes)
{
    for (const VRObjectRef &m : group.groupObjects()) {
        if (!m || m->isKindOf<QntConnector>() || !m->isKindOf<VRDrawableShape>())
            continue;
        shapes.append(m);
        if (m->isMemberOf<VRShapeGroup>())
            collectShapes(static_cast<const VRShapeGroup &>(*m), shapes);
    }
}

} // namespace

VRAvoidRouter::VRAvoidRouter(VRDrawing &drawing)
    : m_drawing(drawing)
    , m_timerContext(std::make_unique<QObject>())
{
    m_engine.setParameters(m_parameters);
    m_changeToken = NotificationCenter::defaultCenter().addObserver(
        kVRDrawableDidChangeNotification, nullptr,
        [this](const Notification &n) { objectDidChange(n.object); });
    m_layerToken = NotificationCenter::defaultCenter().addObserver(
        kVRLayerVisibleStateDidChange, nullptr,
        [this](const Notification &n) { layerVisibilityDidChange(n.object); });
}

VRAvoidRouter::~VRAvoidRouter() = default;

void VRAvoidRouter::setRoutingParameter(int index, double value)
{
    if (!std::isfinite(value))
        return;
    const double v = value > 0 ? value : -1;
    switch (index) {
    case 0: m_parameters.segmentPenalty = v > 0 ? v : kDefaults.segmentPenalty; break;
    case 6: m_parameters.bufferDistance = v > 0 ? v : kDefaults.bufferDistance; break;
    case 7: m_parameters.nudgeDistance = v > 0 ? v : kDefaults.nudgeDistance; break;
    default: return;
    }
    applyParameters();
}

double VRAvoidRouter::routingParameter(int index) const
{
    switch (index) {
    case 0: return m_parameters.segmentPenalty;
    case 6: return m_parameters.bufferDistance;
    case 7: return m_parameters.nudgeDistance;
    default: return 0.0;
    }
}

void VRAvoidRouter::setRoutingOption(int index, bool value)
{
    if (index != 0)
        return;
    m_parameters.nudgeOrthogonalSegments = value;
    applyParameters();
}

bool VRAvoidRouter::routingOption(int index) const
{
    return index == 0 && m_parameters.nudgeOrthogonalSegments;
}

void VRAvoidRouter::applyParameters()
{
    m_engine.setParameters(m_parameters);
    schedule();
}

void VRAvoidRouter::registerObject(VRDrawableObject *object)
{
    if (!object || object->isPrototype())
        return;
    if (object->isKindOf<QntConnector>()) {
        m_entries.insert(object, {object, true});
        updateConnector(static_cast<QntConnector &>(*object));
        return;
    }
    if (!object->isKindOf<VRDrawableShape>())
        return;
    m_entries.insert(object, {object, false});
    updateObstacle(*object);
    if (object->isMemberOf<VRShapeGroup>()) {
        m_groupMembers.insert(object, {});
        // Members may still be on their way in (undo of an ungroup): looked at again later.
        m_staleGroups.insert(object);
        syncGroup(static_cast<VRShapeGroup &>(*object));
        schedule();
    }
}

void VRAvoidRouter::unregisterObject(VRDrawableObject *object)
{
    auto it = m_entries.find(object);
    if (it == m_entries.end())
        return;
    const bool connector = it->connector;
    m_entries.erase(it);
    if (connector) {
        m_engine.removeConnector(idOf(object));
        // The ends that shared its spots close up.
        const QList<SpotKey> changed =
            updateSpotMembership(static_cast<QntConnector &>(*object), false);
        for (const SpotKey &key : changed)
            for (QntConnector *member : m_spotMembers.value(key))
                submitRequest(*member);
    } else {
        m_engine.removeObstacle(idOf(object));
        forgetGroup(object);
    }
    schedule();
}

bool VRAvoidRouter::isRegistered(const VRDrawableObject *object) const
{
    return m_entries.contains(object);
}

void VRAvoidRouter::rerouteAll()
{
    for (const void *group : m_groupMembers.keys())
        m_staleGroups.insert(group);
    syncStaleGroups();
    for (const Entry &e : std::as_const(m_entries)) {
        if (e.member)
            continue; // brought up to date with their groups
        if (e.connector)
            updateConnector(static_cast<QntConnector &>(*e.object));
        else
            updateObstacle(*e.object);
    }
    m_engine.routeAll();
    // routeAll reports only what changed; a forced reroute applies every automatic route.
    for (const Entry &e : std::as_const(m_entries)) {
        if (!e.connector)
            continue;
        auto &c = static_cast<QntConnector &>(*e.object);
        if (!isAutomatic(c))
            continue;
        const QList<QPointF> points = m_engine.route(idOf(&c));
        if (points.size() >= 2)
            c.setRoutedPath(VRConnectorGeometry::pathThrough(points, c.isCurve()));
    }
}

void VRAvoidRouter::objectDidChange(const void *identity)
{
    auto it = m_entries.find(identity);
    if (it == m_entries.end())
        return;
    if (it->connector)
        return; // connectors report through the hook when their ends move
    updateObstacle(*it->object);
    // A group that moved or changed carries its shapes along.
    if (m_groupMembers.contains(identity))
        syncGroup(static_cast<VRShapeGroup &>(*it->object));
}

void VRAvoidRouter::layerVisibilityDidChange(const void *layer)
{
    for (const Entry &e : std::as_const(m_entries)) {
        if (e.member)
            continue;
        const VRObjectOwnerLayer *owner = e.object->layer();
        if (!e.connector && owner && static_cast<const VRLayer *>(owner) == layer) {
            updateObstacle(*e.object);
            if (m_groupMembers.contains(e.object))
                m_staleGroups.insert(e.object);
        }
    }
    syncStaleGroups();
}

void VRAvoidRouter::updateObstacle(VRDrawableObject &object)
{
    if (!isShown(object)) {
        m_engine.removeObstacle(idOf(&object));
    } else {
        const QRectF r = object.logicalBounds();
        if (!std::isfinite(r.width()) || !std::isfinite(r.height()))
            return;
        m_engine.setObstacle(idOf(&object), r);
    }
    if (m_engine.hasPendingChanges())
        schedule();
}

void VRAvoidRouter::syncGroup(VRShapeGroup &group)
{
    const void *key = static_cast<const VRDrawableObject *>(&group);
    auto it = m_groupMembers.find(key);
    if (it == m_groupMembers.end())
        return;
    m_staleGroups.remove(key);
    QList<std::shared_ptr<VRDrawableObject>> shapes;
    collectShapes(group, shapes);
    QSet<const void *> now;
    for (const auto &shape : std::as_const(shapes))
        now.insert(shape.get());
    // Shapes gone from the group (or destroyed) are no obstacles of it any more; a shape that
    // went to a layer has its own entry there.
    for (const Member &old : std::as_const(*it)) {
        if (now.contains(old.identity) && !old.object.expired())
            continue;
        auto e = m_entries.find(old.identity);
        if (e != m_entries.end() && e->member) {
            m_engine.removeObstacle(idOf(static_cast<const VRDrawableObject *>(old.identity)));
            m_entries.erase(e);
        }
    }
    QList<Member> kept;
    QSet<const void *> added;
    for (const auto &shape : std::as_const(shapes)) {
        auto e = m_entries.find(shape.get());
        if (e == m_entries.end()) {
            m_entries.insert(shape.get(), {shape.get(), false, true});
            added.insert(shape.get());
        } else if (!e->member) {
            continue;
        }
        kept.append({shape.get(), shape});
        updateObstacle(*shape);
    }
    *it = kept;
    if (added.isEmpty())
        return;
    // Connectors on the elements that just became shapes of their own leave them by their
    // spots' sides.
    QList<QntConnector *> attached;
    for (const Entry &e : std::as_const(m_entries)) {
        if (!e.connector)
            continue;
        auto &c = static_cast<QntConnector &>(*e.object);
        const auto on = [&added](const QntConnectorEndPoint *end) {
            return added.contains(
                static_cast<const VRDrawableObject *>(end->targetElement().get()));
        };
        if (on(c.startEndPoint()) || on(c.endEndPoint()))
            attached.append(&c);
    }
    for (QntConnector *c : std::as_const(attached))
        updateConnector(*c);
}

void VRAvoidRouter::forgetGroup(const void *group)
{
    auto it = m_groupMembers.find(group);
    if (it == m_groupMembers.end())
        return;
    for (const Member &member : std::as_const(*it)) {
        auto e = m_entries.find(member.identity);
        if (e != m_entries.end() && e->member) {
            m_engine.removeObstacle(idOf(static_cast<const VRDrawableObject *>(member.identity)));
            m_entries.erase(e);
        }
    }
    m_groupMembers.erase(it);
    m_staleGroups.remove(group);
}

void VRAvoidRouter::syncStaleGroups()
{
    const QSet<const void *> stale = m_staleGroups;
    for (const void *group : stale) {
        auto it = m_entries.find(group);
        if (it != m_entries.end())
            syncGroup(static_cast<VRShapeGroup &>(*it->object));
        else
            m_staleGroups.remove(group);
    }
}

void VRAvoidRouter::updateConnector(QntConnector &connector)
{
    const bool routed = isAutomatic(connector);
    if (!routed)
        m_engine.removeConnector(idOf(&connector));
    const QList<SpotKey> changed = updateSpotMembership(connector, routed);
    if (routed)
        submitRequest(connector);
    for (const SpotKey &key : changed) {
        for (QntConnector *member : m_spotMembers.value(key))
            if (member != &connector)
                submitRequest(*member);
    }
    schedule();
}

QList<VRAvoidRouter::SpotKey> VRAvoidRouter::updateSpotMembership(QntConnector &connector,
                                                                  bool routed)
{
    QList<SpotKey> keys;
    if (routed) {
        for (const QntConnectorEndPoint *end :
             {connector.startEndPoint(), connector.endEndPoint()}) {
            std::shared_ptr<QntElement> element = end->targetElement();
            if (element && end->targetStickySpot() && m_entries.contains(element.get()))
                keys.append(keyOf(*element, end->spotIndex()));
        }
    }
    const QList<SpotKey> old = m_connectorSpots.value(&connector);
    if (old == keys)
        return keys; // the members' order may follow the moved other end
    for (const SpotKey &key : old) {
        auto it = m_spotMembers.find(key);
        if (it == m_spotMembers.end())
            continue;
        it->removeAll(&connector);
        if (it->isEmpty())
            m_spotMembers.erase(it);
    }
    for (const SpotKey &key : std::as_const(keys)) {
        QList<QntConnector *> &members = m_spotMembers[key];
        if (!members.contains(&connector))
            members.append(&connector);
    }
    if (keys.isEmpty())
        m_connectorSpots.remove(&connector);
    else
        m_connectorSpots.insert(&connector, keys);
    QList<SpotKey> changed = old;
    for (const SpotKey &key : std::as_const(keys))
        if (!changed.contains(key))
            changed.append(key);
    return changed;
}

QPointF VRAvoidRouter::spreadEndPoint(const QntConnector &connector, QPointF spot,
                                      const SpotKey &key) const
{
    const QList<QntConnector *> members = m_spotMembers.value(key);
    if (members.size() < 2)
        return spot;
    const auto *element = static_cast<const VRDrawableObject *>(key.first);
    const QRectF bounds = element->logicalBounds();
    const VRRouteSide side = VRConnectorGeometry::sideOf(bounds, spot);
    const bool horizontal = side == VRRouteSide::Top || side == VRRouteSide::Bottom;
    // Members in the order of where their other ends lie along the side, so they do not cross.
    const auto otherEnd = [&key](const QntConnector *c) {
        const QntConnectorEndPoint *s = c->startEndPoint();
        const std::shared_ptr<QntElement> element = s->targetElement();
        const bool startHere = element && keyOf(*element, s->spotIndex()) == key;
        return (startHere ? c->endEndPoint() : s)->location();
    };
    QList<QPair<double, int>> order;
    for (int i = 0; i < members.size(); ++i) {
        const QPointF p = otherEnd(members.at(i));
        order.append({horizontal ? p.x() : p.y(), i});
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    int rank = 0;
    for (int i = 0; i < order.size(); ++i)
        if (members.at(order.at(i).second) == &connector)
            rank = i;
    const int n = int(members.size());
    const double length = horizontal ? bounds.width() : bounds.height();
    const double gap = std::min(kEndSpacing, length * 0.8 / std::max(1, n - 1));
    double shift = (rank - (n - 1) / 2.0) * gap;
    const double lo = horizontal ? bounds.left() : bounds.top();
    const double hi = horizontal ? bounds.right() : bounds.bottom();
    const double at = (horizontal ? spot.x() : spot.y()) + shift;
    shift = std::clamp(at, lo + 1, hi - 1) - (horizontal ? spot.x() : spot.y());
    return horizontal ? QPointF(spot.x() + shift, spot.y()) : QPointF(spot.x(), spot.y() + shift);
}

VRRouteEnd VRAvoidRouter::routeEnd(const QntConnector &connector, const QntConnectorEndPoint &point,
                                   bool spread) const
{
    VRRouteEnd e;
    e.point = point.location();
    e.side = point.freeSide();
    std::shared_ptr<QntElement> element = point.targetElement();
    if (element && point.targetStickySpot() && m_entries.contains(element.get())) {
        e.shape = idOf(element.get());
        // A spot inside the element leaves through whichever side the router finds best.
        const QRectF bounds = element->logicalBounds();
        const bool inside = bounds.adjusted(1e-6, 1e-6, -1e-6, -1e-6).contains(e.point);
        e.side = inside ? VRRouteSide::Any : VRConnectorGeometry::sideOf(bounds, e.point);
        if (inside || !spread)
            return e;
        e.point = spreadEndPoint(connector, e.point, keyOf(*element, point.spotIndex()));
    } else if (element && point.targetStickySpot()) {
        // An element the router does not know as a shape: the end leaves it straight out of
        // the side its spot is on.
        const QRectF bounds = element->logicalBounds();
        if (!bounds.adjusted(1e-6, 1e-6, -1e-6, -1e-6).contains(e.point))
            e.side = VRConnectorGeometry::sideOf(bounds, e.point);
    }
    return e;
}

void VRAvoidRouter::submitRequest(QntConnector &connector)
{
    if (!isAutomatic(connector) || !m_entries.contains(&connector))
        return;
    VRRouteRequest request;
    request.kind = connector.routing() == 4 ? VRRouteKind::Polyline : VRRouteKind::Orthogonal;
    request.start = routeEnd(connector, *connector.startEndPoint(), true);
    request.end = routeEnd(connector, *connector.endEndPoint(), true);
    if (connector.takeLaidRoute())
        m_engine.setConnectorRoute(idOf(&connector), request,
                                   VRConnectorGeometry::pointsOf(connector.path()));
    else
        m_engine.setConnector(idOf(&connector), request);
}

QList<QPointF> VRAvoidRouter::routeInsideGroup(QntConnector &connector)
{
    if (!isAutomatic(connector) || m_drawing.avoidRouterIsDisabled()
        || connector.drawing() != &m_drawing)
        return {};
    // The group that lies in the layer holds the shapes the route goes round.
    const VRDrawableObject *outermost = &connector;
    while (const VRDrawableObject *up = enclosingObject(*outermost))
        outermost = up;
    auto it = m_entries.find(outermost);
    if (outermost == &connector || it == m_entries.end() || !m_groupMembers.contains(outermost))
        return {};
    syncGroup(static_cast<VRShapeGroup &>(*it->object));
    VRRouteRequest request;
    request.kind = connector.routing() == 4 ? VRRouteKind::Polyline : VRRouteKind::Orthogonal;
    request.start = routeEnd(connector, *connector.startEndPoint(), false);
    request.end = routeEnd(connector, *connector.endEndPoint(), false);
    // A free end inside a group lies in the group's content coordinates.
    const QTransform toDrawing = connector.container()->contentTransform();
    if (!connector.startEndPoint()->targetStickySpot())
        request.start.point = toDrawing.map(request.start.point);
    if (!connector.endEndPoint()->targetStickySpot())
        request.end.point = toDrawing.map(request.end.point);
    return m_engine.routeOnce(request);
}

bool VRAvoidRouter::routeConnector(QntConnector &connector)
{
    if (!isAutomatic(connector))
        return false;
    if (!m_entries.contains(&connector)) {
        // Not in a layer of this drawing yet: route it at once, on its own.
        if (connector.layer() && connector.drawing() == &m_drawing) {
            registerObject(&connector);
        } else {
            return false;
        }
    }
    updateConnector(connector);
    // A connector without any route yet gets one immediately, so it never shows empty.
    if (connector.path().isEmpty())
        processPendingChanges();
    return true;
}

void VRAvoidRouter::schedule()
{
    if (m_scheduled)
        return;
    m_scheduled = true;
    QTimer::singleShot(0, m_timerContext.get(), [this] { processPendingChanges(); });
}

bool VRAvoidRouter::hasPendingChanges() const
{
    return m_engine.hasPendingChanges();
}

void VRAvoidRouter::processPendingChanges()
{
    m_scheduled = false;
    syncStaleGroups();
    if (m_drawing.avoidRouterIsDisabled())
        return;
    const QList<VRRouteId> changed = m_engine.update();
    for (VRRouteId id : changed) {
        auto it = m_entries.find(reinterpret_cast<const void *>(quintptr(id)));
        if (it == m_entries.end() || !it->connector)
            continue;
        auto &c = static_cast<QntConnector &>(*it->object);
        if (!isAutomatic(c))
            continue;
        const QList<QPointF> points = m_engine.route(id);
        if (points.size() >= 2)
            c.setRoutedPath(VRConnectorGeometry::pathThrough(points, c.isCurve()));
    }
}
