#include "framework/routing/VRAvoidRouter.h"

#include "framework/routing/VRConnectorGeometry.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntStickySpot.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectOwnerLayer.h"

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
    }
    schedule();
}

bool VRAvoidRouter::isRegistered(const VRDrawableObject *object) const
{
    return m_entries.contains(object);
}

void VRAvoidRouter::rerouteAll()
{
    for (const Entry &e : std::as_const(m_entries)) {
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
}

void VRAvoidRouter::layerVisibilityDidChange(const void *layer)
{
    for (const Entry &e : std::as_const(m_entries)) {
        const VRObjectOwnerLayer *owner = e.object->layer();
        if (!e.connector && owner && static_cast<const VRLayer *>(owner) == layer)
            updateObstacle(*e.object);
    }
}

void VRAvoidRouter::updateObstacle(VRDrawableObject &object)
{
    const VRObjectOwnerLayer *layer = object.layer();
    if (!object.isVisible() || (layer && !layer->isVisible())) {
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

void VRAvoidRouter::submitRequest(QntConnector &connector)
{
    if (!isAutomatic(connector) || !m_entries.contains(&connector))
        return;
    const auto end = [this, &connector](int which) {
        const QntConnectorEndPoint &point =
            which == 0 ? *connector.startEndPoint() : *connector.endEndPoint();
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
            if (inside)
                return e;
            e.point = spreadEndPoint(connector, e.point, keyOf(*element, point.spotIndex()));
        } else if (element && point.targetStickySpot()) {
            // An element inside a group is no obstacle of its own: the end leaves it straight
            // out of the side its spot is on.
            const QRectF bounds = element->logicalBounds();
            if (!bounds.adjusted(1e-6, 1e-6, -1e-6, -1e-6).contains(e.point))
                e.side = VRConnectorGeometry::sideOf(bounds, e.point);
        }
        return e;
    };
    VRRouteRequest request;
    request.kind = connector.routing() == 4 ? VRRouteKind::Polyline : VRRouteKind::Orthogonal;
    request.start = end(0);
    request.end = end(1);
    if (connector.takeLaidRoute())
        m_engine.setConnectorRoute(idOf(&connector), request,
                                   VRConnectorGeometry::pointsOf(connector.path()));
    else
        m_engine.setConnector(idOf(&connector), request);
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
