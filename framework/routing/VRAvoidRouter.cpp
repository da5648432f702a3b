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
#include <QTimer>

#include <cmath>

namespace {

const VRRouteParameters kDefaults;

VRRouteId idOf(const VRDrawableObject *object)
{
    return VRRouteId(reinterpret_cast<quintptr>(object));
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
    if (it->connector)
        m_engine.removeConnector(idOf(object));
    else
        m_engine.removeObstacle(idOf(object));
    m_entries.erase(it);
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

void VRAvoidRouter::updateObstacle(VRDrawableObject &object)
{
    if (!object.isVisible()) {
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
    if (!isAutomatic(connector)) {
        m_engine.removeConnector(idOf(&connector));
        return;
    }
    const auto end = [this](const QntConnectorEndPoint &point) {
        VRRouteEnd e;
        e.point = point.location();
        std::shared_ptr<QntElement> element = point.targetElement();
        if (element && point.targetStickySpot() && m_entries.contains(element.get())) {
            e.shape = idOf(element.get());
            e.side = VRConnectorGeometry::sideOf(element->logicalBounds(), e.point);
        }
        return e;
    };
    VRRouteRequest request;
    request.kind = connector.routing() == 4 ? VRRouteKind::Polyline : VRRouteKind::Orthogonal;
    request.start = end(*connector.startEndPoint());
    request.end = end(*connector.endEndPoint());
    m_engine.setConnector(idOf(&connector), request);
    schedule();
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
