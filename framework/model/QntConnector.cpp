#include "framework/model/QntConnector.h"

#include "framework/styles/VRTextAdornment.h"

#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntConnectorShape.h"
#include "framework/model/QntConnectorSkin.h"
#include "framework/model/QntConnectorStylizedPath.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntStickySpot.h"
#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/routing/VRConnectorGeometry.h"
#include "framework/styles/QntConnectorStyle.h"
#include "framework/styles/VRRenderContext.h"
#include "framework/styles/VRStyle.h"
#include "framework/archive/VRJsonWriter.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <limits>

VR_CLASS_IMPL(QntConnector, VRDrawablePath)

namespace {
// The light backing around a label, which keeps the line from running through its text.
constexpr QMarginsF kLabelBacking(2, 1, 2, 1);

// Takes the renderer out of the group it sits in, if any.
void detachRenderer(VRRasterizer &renderer)
{
    if (VRRastGroup *group = renderer.container())
        group->removeRenderer(&renderer);
}

// Makes the renderer the style's last one and the only one of its class.
void makeSoleLastRenderer(VRStyle &style, const VRRendererRef &renderer)
{
    if (!renderer)
        return;
    const QList<VRRendererRef> found = style.renderersOfClass(renderer->classInfo());
    if (found.size() == 1 && found.first() == renderer
        && style.indexOfRenderer(renderer.get()) == style.countOfRenderList() - 1)
        return;
    for (const VRRendererRef &r : found) {
        if (r != renderer && r->container())
            r->container()->removeRenderer(r.get());
    }
    style.addRenderer(renderer);
}

// The side of its element an attached end leaves through, seen in the connector's path
// coordinates (toPath maps drawing coordinates there).
VRRouteSide sideOfEnd(const QntConnectorEndPoint &end, const QTransform &toPath = {})
{
    auto element = end.targetElement();
    if (!element || !end.targetStickySpot())
        return VRRouteSide::Any;
    return VRConnectorGeometry::sideOf(toPath.mapRect(element->logicalBounds()),
                                       toPath.map(end.location()));
}

// The side a direction points to, along its main axis; Any for no direction.
VRRouteSide sideOfDirection(QPointF d)
{
    if (d.isNull())
        return VRRouteSide::Any;
    if (std::abs(d.x()) >= std::abs(d.y()))
        return d.x() > 0 ? VRRouteSide::Right : VRRouteSide::Left;
    return d.y() > 0 ? VRRouteSide::Bottom : VRRouteSide::Top;
}

// The way a line leaves one of its ends: towards the neighbouring point.
VRRouteSide leavingSide(const QPainterPath &path, bool atStart)
{
    const QList<QPointF> points = VRConnectorGeometry::pointsOf(path);
    if (points.size() < 2)
        return VRRouteSide::Any;
    return sideOfDirection(atStart ? points.at(1) - points.first()
                                   : points.at(points.size() - 2) - points.last());
}

// A side turned, scaled or mirrored by the linear part of t.
VRRouteSide mappedSide(VRRouteSide side, const QTransform &t)
{
    QPointF d;
    switch (side) {
    case VRRouteSide::Left: d = {-1, 0}; break;
    case VRRouteSide::Right: d = {1, 0}; break;
    case VRRouteSide::Top: d = {0, -1}; break;
    case VRRouteSide::Bottom: d = {0, 1}; break;
    case VRRouteSide::Any: return side;
    }
    return sideOfDirection(
        QPointF(t.m11() * d.x() + t.m21() * d.y(), t.m12() * d.x() + t.m22() * d.y()));
}
} // namespace

QntConnector::QntConnector()
    : m_start(std::make_unique<QntConnectorEndPoint>(this))
    , m_end(std::make_unique<QntConnectorEndPoint>(this))
{
    QFont font = m_label.font();
    font.setPointSizeF(11);
    m_label.setFont(font);
    m_connectorStyle = std::make_shared<QntConnectorStyle>();
}

QntConnector::~QntConnector() = default;

bool QntConnector::isAttachedTo(const QntElement *element) const
{
    return element
           && (m_start->targetElement().get() == element
               || m_end->targetElement().get() == element);
}

void QntConnector::reattachEnd(int which, const std::shared_ptr<QntElement> &element, int spotIndex)
{
    QntConnectorEndPoint *end = which == 0 ? m_start.get() : m_end.get();
    const std::shared_ptr<QntElement> oldElement = end->targetElement();
    const int oldSpot = end->targetStickySpot() ? end->spotIndex() : -1;
    const QPointF oldPoint = end->location();
    const VRRouteSide oldSide = end->freeSide();
    std::weak_ptr<QntElement> weakOld = oldElement;
    recordUndo(which == 0 ? "reattachStart:" : "reattachEnd:", QStringLiteral("Connect"),
               [which, weakOld, oldSpot, oldPoint, oldSide](VRDrawableObject &o) {
                   auto &c = static_cast<QntConnector &>(o);
                   auto old = weakOld.lock();
                   if (!old || oldSpot < 0) {
                       QntConnectorEndPoint *e = which == 0 ? c.m_start.get() : c.m_end.get();
                       e->attachTo(nullptr);
                       e->setPoint(oldPoint);
                       e->setFreeSide(oldSide);
                       c.reattachEnd(which, nullptr, -1);
                   } else {
                       c.reattachEnd(which, old, oldSpot);
                   }
               });
    if (element && element->stickySpotAtIndex(spotIndex)) {
        end->attach(element, spotIndex);
    } else if (end->targetStickySpot()) {
        end->setPoint(end->location());
        end->attachTo(nullptr);
    }
    endsDidMove();
}

void QntConnector::setEnds(QPointF start, QPointF end)
{
    m_start->setPoint(start);
    m_end->setPoint(end);
    m_start->setFreeSide(VRRouteSide::Any);
    m_end->setFreeSide(VRRouteSide::Any);
    const QPainterPath old = path();
    recordUndo("setEnds:", QStringLiteral("Move"), [old](VRDrawableObject &o) {
        auto &c = static_cast<QntConnector &>(o);
        c.setPath(old);
        c.m_start->setPoint(VRPath::firstPoint(old));
        c.m_end->setPoint(VRPath::lastPoint(old));
    });
    endsDidMove();
}

QPointF QntConnector::endPoint() const
{
    return VRPath::lastPoint(renderingPath());
}

double QntConnector::lastSegmentAngle() const
{
    const QList<QPointF> points = VRConnectorGeometry::pointsOf(renderingPath());
    if (points.size() < 2)
        return 0.0;
    const QPointF a = points.at(points.size() - 2), b = points.last();
    // y up, counter-clockwise: the one y-up value of the framework.
    return std::atan2(-(b.y() - a.y()), b.x() - a.x());
}

bool QntConnector::loopsOnOneElement() const
{
    const auto element = m_start->targetElement();
    return element && element == m_end->targetElement() && m_start->targetStickySpot()
           && m_end->targetStickySpot();
}

bool QntConnector::isInGroup() const
{
    return container() && container() != static_cast<VRDrawableContainer *>(layer());
}

QTransform QntConnector::drawingToPath() const
{
    if (!isInGroup())
        return {};
    bool invertible = false;
    const QTransform t = container()->contentTransform().inverted(&invertible);
    return invertible ? t : QTransform();
}

QPointF QntConnector::endInPath(const QntConnectorEndPoint &end) const
{
    // A free end follows the path; a spot's place is known in drawing coordinates.
    return end.targetStickySpot() ? drawingToPath().map(end.location()) : end.location();
}

QPainterPath QntConnector::manualRoute() const
{
    const QTransform toPath = drawingToPath();
    const QPointF a = endInPath(*m_start), b = endInPath(*m_end);
    const VRRouteSide startSide = sideOfEnd(*m_start, toPath);
    const VRRouteSide endSide = sideOfEnd(*m_end, toPath);
    QList<QPointF> points;
    switch (m_routing) {
    case 1: points = VRConnectorGeometry::orthogonal(a, startSide, b, endSide, m_bendOffset); break;
    case 3: points = VRConnectorGeometry::orthogonal(a, startSide, b, endSide); break;
    case 2: points = VRConnectorGeometry::zigZag(a, b); break;
    default: points = VRConnectorGeometry::straight(a, b); break;
    }
    if ((m_routing == 0 || m_routing == 2) && !m_userPoints.isEmpty())
        points = QList<QPointF>{a} + m_userPoints + QList<QPointF>{b};
    return VRConnectorGeometry::pathThrough(points, m_curve, startSide, endSide);
}

void QntConnector::endsDidMove()
{
    if (isPrototype())
        return;
    const bool automatic = m_routing == 3 || m_routing == 4;
    if (automatic && isInGroup()) {
        // Inside a group the laid route moves and scales with the group. Once an end has
        // moved within it (or an end outside it moved), the route is laid again round the
        // shapes as they are now.
        if (!path().isEmpty() && routeMeetsEnds())
            return;
        VRDrawing *d = drawing();
        VRAvoidRouter *router = d && !d->avoidRouterIsDisabled() ? d->avoidRouter() : nullptr;
        const QList<QPointF> route = router ? router->routeInsideGroup(*this) : QList<QPointF>();
        if (route.size() >= 2) {
            const QTransform toPath = drawingToPath();
            QList<QPointF> points;
            for (const QPointF &p : route)
                points.append(toPath.map(p));
            setRoutedPath(VRConnectorGeometry::pathThrough(points, m_curve));
            return;
        }
        if (!path().isEmpty())
            return;
    }
    if (automatic && !isInGroup()) {
        VRDrawing *d = drawing();
        if (d && !d->avoidRouterIsDisabled()) {
            VRAvoidRouter *router = d->avoidRouter();
            if (router && router->routeConnector(*this))
                return;
        }
        if (d && d->avoidRouterIsDisabled() && !path().isEmpty())
            return; // keeps its last path while the router is off
    }
    // A loop from an element back to it stays beside the element: its route points go along
    // with its ends, by as far as they moved since it was last drawn.
    const QPainterPath drawn = path();
    if ((m_routing == 0 || m_routing == 2) && !m_userPoints.isEmpty() && loopsOnOneElement()
        && drawn.elementCount() >= 2) {
        const QPointF moved = (endInPath(*m_start) - VRPath::firstPoint(drawn) + endInPath(*m_end)
                               - VRPath::lastPoint(drawn))
                              / 2;
        if (std::isfinite(moved.x()) && std::isfinite(moved.y()) && !moved.isNull()) {
            for (QPointF &point : m_userPoints)
                point += moved;
        }
    }
    setRoutedPath(manualRoute());
}

bool QntConnector::routeMeetsEnds() const
{
    const QPainterPath &p = path();
    if (p.elementCount() < 2)
        return false;
    const auto near = [](QPointF a, QPointF b) {
        return std::abs(a.x() - b.x()) <= 1e-6 * std::max(1.0, std::abs(a.x()))
               && std::abs(a.y() - b.y()) <= 1e-6 * std::max(1.0, std::abs(a.y()));
    };
    return near(VRPath::firstPoint(p), endInPath(*m_start))
           && near(VRPath::lastPoint(p), endInPath(*m_end));
}

void QntConnector::geometryDidChange()
{
    const QPainterPath p = path();
    if (p.elementCount() >= 2) {
        if (!m_start->targetStickySpot())
            m_start->setPoint(VRPath::firstPoint(p));
        if (!m_end->targetStickySpot())
            m_end->setPoint(VRPath::lastPoint(p));
    }
    VRDrawablePath::geometryDidChange();
}

VRDrawableObject::Geometry QntConnector::saveGeometry() const
{
    Geometry g = VRDrawablePath::saveGeometry();
    g.routePoints = m_userPoints;
    g.routeBend = m_bendOffset;
    return g;
}

void QntConnector::restoreGeometry(const Geometry &g)
{
    m_userPoints = g.routePoints;
    m_bendOffset = g.routeBend;
    VRDrawablePath::restoreGeometry(g);
}

void QntConnector::containerGeometryDidChange()
{
    // The arrowheads sit on the drawn line, which the group has just moved.
    placeArrows();
    VRDrawablePath::containerGeometryDidChange();
}

void QntConnector::setRoutedPath(const QPainterPath &path)
{
    Geometry g = saveGeometry();
    g.path = path;
    restoreGeometry(g);
    placeArrows();
}

namespace {

// A laid route meets a free end at its point, and an end on a spot on its element's outline
// (the router may have moved it along the side) or at the spot itself, or within the element
// for a spot inside it.
bool routeMeets(const QntConnectorEndPoint &end, QPointF point)
{
    if (point == end.location())
        return true;
    const std::shared_ptr<QntElement> element = end.targetElement();
    if (!element || !end.targetStickySpot())
        return false;
    const QRectF r = element->logicalBounds();
    constexpr double kOn = 1e-6;
    // The router spreads the ends on a spot inside the element apart within it.
    const QRectF within = r.adjusted(kOn, kOn, -kOn, -kOn);
    if (within.contains(end.location()))
        return within.contains(point);
    const bool withinX = point.x() >= r.left() - kOn && point.x() <= r.right() + kOn;
    const bool withinY = point.y() >= r.top() - kOn && point.y() <= r.bottom() + kOn;
    const bool onSide =
        std::abs(point.x() - r.left()) <= kOn || std::abs(point.x() - r.right()) <= kOn;
    const bool onEdge =
        std::abs(point.y() - r.top()) <= kOn || std::abs(point.y() - r.bottom()) <= kOn;
    return (onSide && withinY) || (onEdge && withinX);
}

} // namespace

bool QntConnector::takeLaidRoute()
{
    const bool keeps = m_keepsLaidRoute && (m_routing == 3 || m_routing == 4) && !m_curve
                       && !isInGroup() && path().elementCount() >= 2
                       && routeMeets(*m_start, VRPath::firstPoint(path()))
                       && routeMeets(*m_end, VRPath::lastPoint(path()));
    m_keepsLaidRoute = false;
    return keeps;
}

void QntConnector::keepLaidRoute()
{
    m_keepsLaidRoute = (m_routing == 3 || m_routing == 4) && !path().isEmpty();
}

void QntConnector::changeRouting(int routing, bool curve)
{
    if (routing == m_routing && curve == m_curve)
        return;
    const int oldRouting = m_routing;
    const bool oldCurve = m_curve;
    const QPainterPath oldPath = path();
    const QPointF oldBend = m_bendOffset;
    const QList<QPointF> oldPoints = m_userPoints;
    recordUndo("setRouting:", QStringLiteral("Change Routing"),
               [oldRouting, oldCurve, oldPath, oldBend, oldPoints](VRDrawableObject &o) {
                   auto &c = static_cast<QntConnector &>(o);
                   c.changeRouting(oldRouting, oldCurve);
                   c.m_bendOffset = oldBend;
                   c.m_userPoints = oldPoints;
                   c.setRoutedPath(oldPath);
               });
    // Another routing starts from its own shape: no moved run, no user points.
    if (routing != m_routing) {
        m_bendOffset = QPointF();
        m_userPoints.clear();
        m_start->setFreeSide(VRRouteSide::Any);
        m_end->setFreeSide(VRRouteSide::Any);
    }
    m_routing = routing;
    m_curve = curve;
    endsDidMove();
    // The router keeps a route whose ends stay where they are: turning the curve on or off
    // changes only how that route is drawn.
    if (routing == oldRouting && curve != oldCurve && (routing == 3 || routing == 4)
        && !path().isEmpty())
        setRoutedPath(
            VRConnectorGeometry::pathThrough(VRConnectorGeometry::pointsOf(path()), m_curve));
}

void QntConnector::setBendOffsetLive(QPointF offset)
{
    if (!std::isfinite(offset.x()) || !std::isfinite(offset.y()))
        return;
    m_bendOffset = offset;
    endsDidMove();
    notifyVisualChange();
}

void QntConnector::setBendOffset(QPointF offset)
{
    if (!std::isfinite(offset.x()) || !std::isfinite(offset.y()) || offset == m_bendOffset)
        return;
    const QPointF old = m_bendOffset;
    recordUndo("setBendOffset:", QStringLiteral("Move Bend"),
               [old](VRDrawableObject &o) { static_cast<QntConnector &>(o).setBendOffset(old); });
    setBendOffsetLive(offset);
}

void QntConnector::setUserPoints(const QList<QPointF> &points)
{
    if (points == m_userPoints)
        return;
    const QList<QPointF> old = m_userPoints;
    recordUndo("setUserPoints:", QStringLiteral("Change Path"),
               [old](VRDrawableObject &o) { static_cast<QntConnector &>(o).setUserPoints(old); });
    m_userPoints = points;
}

void QntConnector::insertPathPoint(QPointF point)
{
    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    VRDrawablePath::insertPathPoint(point);
    // A point put on a straight or zig-zag route is the user's: it stays when the ends move.
    QList<QPointF> points = VRConnectorGeometry::pointsOf(path());
    if (points.size() > 2 && (m_routing == 0 || m_routing == 2) && !m_curve)
        setUserPoints(points.mid(1, points.size() - 2));
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Insert Path Point"));
    }
}

void QntConnector::deletePathPoint(QPointF point)
{
    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    VRDrawablePath::deletePathPoint(point);
    QList<QPointF> points = VRConnectorGeometry::pointsOf(path());
    if ((m_routing == 0 || m_routing == 2) && !m_curve)
        setUserPoints(points.size() > 2 ? points.mid(1, points.size() - 2) : QList<QPointF>());
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Delete Path Point"));
    }
}

void QntConnector::setRouting(int routing)
{
    if (routing < 0 || routing > 4)
        return;
    changeRouting(routing, m_curve);
}

void QntConnector::setCurve(bool curve)
{
    changeRouting(m_routing, curve);
}

void QntConnector::makeZigZag()
{
    changeRouting(2, false);
}

void QntConnector::makeCurve()
{
    changeRouting(m_routing, true);
}

void QntConnector::routeOrthogonal()
{
    changeRouting(1, false);
}

void QntConnector::makeStraight()
{
    changeRouting(0, false);
}

void QntConnector::makeRoutingColaPolyline()
{
    changeRouting(4, false);
}

void QntConnector::makeRoutingColaOrthogonal()
{
    changeRouting(3, false);
}

void QntConnector::addSkin(const QVariantMap &options)
{
    if (options == m_skinOptions)
        return;
    const QVariantMap old = m_skinOptions;
    const QString oldID = ID();
    recordUndo("addSkin:", QStringLiteral("Change Connector Skin"),
               [old, oldID](VRDrawableObject &o) {
                   auto &c = static_cast<QntConnector &>(o);
                   c.addSkin(old);
                   c.setID(oldID);
               });
    m_skinOptions = options;
    // The connector is known by the body it is drawn with.
    const QVariant body = options.value(QStringLiteral("bodyID"));
    if (body.metaType().id() == QMetaType::QString && !body.toString().isEmpty()) {
        QVariantMap info = userInfo();
        info.insert(QStringLiteral("ID"), body.toString());
        setUserInfo(info);
    }
    updateStyle();
    notifyVisualChange();
}

static std::shared_ptr<QntConnectorArrow> makeArrow(const QVariant &id, const QVariant &size,
                                                    const QString &notationPath, qint64 schemeId)
{
    if (id.metaType().id() != QMetaType::QString || id.toString().isEmpty())
        return nullptr;
    auto arrow = std::make_shared<QntConnectorArrow>();
    arrow->setUserInfo({{QStringLiteral("ID"), id.toString()}});
    if (VRObjectRef prototype = QntElement::createWithElementId(id.toString(), notationPath)) {
        // Drawn in the end's colour scheme, not the prototype's.
        if (prototype->isKindOf<QntElement>())
            static_cast<QntElement &>(*prototype).replaceColorScheme(schemeId);
        if (prototype->isKindOf<VRShapeGroup>()) {
            auto group = std::static_pointer_cast<VRShapeGroup>(prototype);
            const VRObjectList members = group->groupObjects();
            group->setGroupObjects({}, group->contentRect());
            arrow->setGroupObjects(members, group->contentRect());
        } else {
            arrow->setGroupObjects({prototype});
        }
        arrow->restoreGeometry({QPointF(), prototype->size(), QSizeF(0, 0), 0.0, QPainterPath()});
    } else {
        arrow->restoreGeometry({QPointF(), QSizeF(10, 10), QSizeF(0, 0), 0.0, QPainterPath()});
    }
    const QSizeF wanted = size.toSizeF();
    if (size.isValid() && wanted.width() > 0 && wanted.height() > 0) {
        VRDrawableObject::Geometry g = arrow->saveGeometry();
        g.size = wanted;
        arrow->restoreGeometry(g);
    }
    return arrow;
}

void QntConnector::updateStyle()
{
    VRDrawing *d = drawing();
    const QString notationPath = d ? d->currentNotationPath() : QString();
    // An arrowhead is made again only when what it is made from changes, so that a part the
    // user restyled on its own keeps its look.
    const auto arrowKey = [&](const QString &idKey, const QString &sizeKey, qint64 scheme) {
        const QVariant id = m_skinOptions.value(idKey);
        return ArrowKey{true, id.metaType().id() == QMetaType::QString ? id.toString() : QString(),
                        m_skinOptions.value(sizeKey).toSizeF(), scheme, notationPath};
    };
    const ArrowKey startKey = arrowKey(QStringLiteral("startArrowheadId"),
                                       QStringLiteral("startArrowheadSize"), m_startSchemeId);
    if (startKey != m_startArrowKey || !m_start->arrow()) {
        m_startArrowKey = startKey;
        m_start->setArrow(makeArrow(m_skinOptions.value(QStringLiteral("startArrowheadId")),
                                    m_skinOptions.value(QStringLiteral("startArrowheadSize")),
                                    notationPath, m_startSchemeId));
    }
    const ArrowKey endKey = arrowKey(QStringLiteral("endArrowheadId"),
                                     QStringLiteral("endArrowheadSize"), m_endSchemeId);
    if (endKey != m_endArrowKey || !m_end->arrow()) {
        m_endArrowKey = endKey;
        m_end->setArrow(makeArrow(m_skinOptions.value(QStringLiteral("endArrowheadId")),
                                  m_skinOptions.value(QStringLiteral("endArrowheadSize")),
                                  notationPath, m_endSchemeId));
    }
    if (!m_shaft)
        m_shaft = std::make_shared<QntConnectorStylizedPath>();
    rebuildSkinBody(notationPath);
    // Parts restyled on their own come back once the notation has built them.
    if (!m_pendingPartStyles.isEmpty() && !notationPath.isEmpty()) {
        applyPartStyles(m_pendingPartStyles);
        m_pendingPartStyles.clear();
    }
    // A skin's own shaft style draws the shaft, else its thin body's; without either the shaft
    // is drawn by the connector's style itself (its strokes come before the connector
    // renderer), so that edits to that style show at once.
    const QVariant shaftStyle = m_skinOptions.value(QStringLiteral("shaftStyle"));
    VRStyleRef style =
        shaftStyle.canConvert<VRStyleRef>() ? shaftStyle.value<VRStyleRef>() : nullptr;
    if (!style && m_skin && !m_thickBody)
        style = m_bodyStyle;
    m_shaft->setStyle(style != this->style() ? style : nullptr);
    m_connectorStyle->setShaft(m_shaft);
    m_connectorStyle->setStartArrow(m_start->arrowRef());
    m_connectorStyle->setEndArrow(m_end->arrowRef());
    attachConnectorStyle();
    placeArrows();
    invalidateBoundsCache();
}

void QntConnector::objectWasAddedToLayer(VRObjectOwnerLayer *layer)
{
    VRDrawablePath::objectWasAddedToLayer(layer);
    if (drawing())
        updateStyle();
}

VRStyleRef QntConnector::shaftStyle() const
{
    if (m_shaft && m_shaft->style())
        return m_shaft->style();
    return style();
}

void QntConnector::changeShaftStyle(const std::function<bool(VRStyle &)> &change)
{
    const QVariant skinShaft = m_skinOptions.value(QStringLiteral("shaftStyle"));
    const VRStyleRef skinStyle =
        skinShaft.canConvert<VRStyleRef>() ? skinShaft.value<VRStyleRef>() : nullptr;
    if (skinStyle || (m_shaft && m_shaft->style())) {
        // The skin's style (or its body's) is a value of the skin: a changed copy replaces it.
        const VRStyleRef from = skinStyle ? skinStyle : m_shaft->style();
        VRStyleRef copy = from->copy();
        if (!copy || !change(*copy))
            return;
        QVariantMap options = m_skinOptions;
        options.insert(QStringLiteral("shaftStyle"), QVariant::fromValue(copy));
        addSkin(options);
        return;
    }
    if (VRStyleRef own = style())
        change(*own);
}

void QntConnector::rebuildSkinBody(const QString &notationPath)
{
    const QVariant bodyValue = m_skinOptions.value(QStringLiteral("bodyID"));
    const QString body =
        bodyValue.metaType().id() == QMetaType::QString ? bodyValue.toString() : QString();
    const QString key = QStringLiteral("%1|%2|%3").arg(body).arg(m_colorSchemeId).arg(notationPath);
    if (key == m_skinKey)
        return; // keeps the parts (and a part restyled by the user) while the body stays
    m_skinKey = key;
    m_skin.reset();
    m_bodyStyle.reset();
    m_thickBody = false;
    if (body.isEmpty())
        return;
    QSizeF size;
    m_bodyStyle = builtBodyStyle(body, notationPath, &size);
    if (!m_bodyStyle)
        return;
    auto part = std::make_shared<QntConnectorShape>();
    part->setUserInfo({{QStringLiteral("ID"), QStringLiteral("body")}});
    part->setStyle(m_bodyStyle);
    part->restoreGeometry({QPointF(), size, QSizeF(0, 0), 0.0, QPainterPath()});
    m_skin = std::make_shared<QntConnectorSkin>();
    m_skin->setUserInfo({{QStringLiteral("ID"), body}});
    m_skin->setGroupObjects({part});
    m_thickBody = body.endsWith(QStringLiteral("Thick"));
    m_bodyThickness = std::max(4.0, size.height());
    m_bodyShaft = m_bodyThickness;
    m_bodyHeadLength = 0.0;
    m_bodyHeadWidth = 0.0;
    if (m_thickBody)
        measureBodyHead(body, notationPath);
}

namespace {

// How much of the height of a shape's outline is covered across one place along it (0 … 1).
double coverAcross(const QPainterPath &outline, const QRectF &box, double along)
{
    constexpr int kSteps = 96;
    const double x = box.left() + along * box.width();
    int first = -1, last = -1;
    for (int i = 0; i <= kSteps; ++i) {
        if (outline.contains(QPointF(x, box.top() + box.height() * i / kSteps))) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    return first < 0 ? 0.0 : double(last - first) / kSteps;
}

} // namespace

void QntConnector::measureBodyHead(const QString &body, const QString &notationPath)
{
    // A body shape that widens towards its end and then comes to a point is a band with a
    // head: the band is as thick as the shape's start, the head as long and wide as its end.
    // Measured once per body, in heights of the shape.
    struct Head {
        double shaft = 0, length = 0, width = 0;
    };
    static QHash<QString, Head> measured;
    const QString key = body + QLatin1Char('|') + notationPath;
    auto it = measured.constFind(key);
    if (it == measured.constEnd()) {
        Head head;
        const VRObjectRef prototype = QntElement::createWithElementId(body, notationPath);
        const VRObjectRef contour = prototype && prototype->isKindOf<QntElement>()
                                        ? static_cast<QntElement &>(*prototype).contourObject()
                                        : nullptr;
        const QPainterPath outline = contour ? contour->renderingPath() : QPainterPath();
        const QRectF box = outline.boundingRect();
        const double shaft =
            box.width() > 0 && box.height() > 0 ? coverAcross(outline, box, 0.02) : 0.0;
        if (shaft > 0 && coverAcross(outline, box, 0.995) < shaft * 0.5) {
            constexpr int kSteps = 100;
            double start = -1, width = 0;
            for (int i = 2; i < kSteps; ++i) {
                const double across = coverAcross(outline, box, double(i) / kSteps);
                if (start < 0 && (across > shaft * 1.05 || across < shaft * 0.95))
                    start = double(i) / kSteps;
                if (start >= 0)
                    width = std::max(width, across);
            }
            if (start >= 0)
                head = {shaft, (1.0 - start) * box.width() / box.height(), std::max(shaft, width)};
        }
        it = measured.insert(key, head);
    }
    m_bodyShaft = it->length > 0 ? it->shaft * m_bodyThickness : m_bodyThickness;
    m_bodyHeadLength = it->length * m_bodyThickness;
    m_bodyHeadWidth = it->width * m_bodyThickness;
}

VRStyleRef QntConnector::builtBodyStyle(const QString &body, const QString &notationPath,
                                        QSizeF *size) const
{
    const VRObjectRef prototype = QntElement::createWithElementId(body, notationPath);
    if (!prototype || !prototype->isKindOf<QntElement>())
        return nullptr;
    auto &element = static_cast<QntElement &>(*prototype);
    element.replaceColorScheme(m_colorSchemeId);
    VRObjectRef contour = element.contourObject();
    if (!contour && !element.groupObjects().isEmpty())
        contour = element.groupObjects().first();
    if (!contour || !contour->style())
        return nullptr;
    if (size)
        *size = prototype->size();
    // The body's look, built from the notation's body element in the connector's scheme.
    VRStyleRef style = contour->style()->copy();
    if (m_shaftColour.isValid() && style->hasStroke())
        style->setStrokeColour(m_shaftColour);
    return style;
}

namespace {
// The styles of an arrowhead's shapes, in order.
QList<VRStyleRef> memberStyles(const QntConnectorArrow *arrow)
{
    QList<VRStyleRef> styles;
    if (!arrow)
        return styles;
    for (const VRObjectRef &member : arrow->groupObjects())
        styles.append(member ? member->style() : nullptr);
    return styles;
}
} // namespace

QVariantMap QntConnector::partStyles(bool restyledOnly) const
{
    QVariantMap styles;
    VRDrawing *d = drawing();
    const QString notationPath = d ? d->currentNotationPath() : QString();
    if (notationPath.isEmpty())
        return m_pendingPartStyles;
    const auto differs = [restyledOnly](const VRStyleRef &mine, const VRStyleRef &built) {
        return mine && (!restyledOnly || !built || !mine->isEqual(*built));
    };
    if (m_skin && m_bodyStyle) {
        const VRStyleRef built =
            restyledOnly ? builtBodyStyle(m_skinOptions.value(QStringLiteral("bodyID")).toString(),
                                          notationPath)
                         : nullptr;
        if (differs(m_bodyStyle, built))
            styles.insert(QStringLiteral("body"), QVariant::fromValue(m_bodyStyle->copy()));
    }
    const struct {
        const char *prefix;
        const QntConnectorEndPoint *end;
        const char *idKey;
        const char *sizeKey;
        qint64 scheme;
    } ends[] = {{"start", m_start.get(), "startArrowheadId", "startArrowheadSize", m_startSchemeId},
                {"end", m_end.get(), "endArrowheadId", "endArrowheadSize", m_endSchemeId}};
    for (const auto &e : ends) {
        const QList<VRStyleRef> mine = memberStyles(e.end->arrow());
        if (mine.isEmpty())
            continue;
        QList<VRStyleRef> theirs;
        if (restyledOnly) {
            const std::shared_ptr<QntConnectorArrow> built =
                makeArrow(m_skinOptions.value(QLatin1String(e.idKey)),
                          m_skinOptions.value(QLatin1String(e.sizeKey)), notationPath, e.scheme);
            theirs = memberStyles(built.get());
        }
        for (int i = 0; i < mine.size(); ++i) {
            if (differs(mine.at(i), i < theirs.size() ? theirs.at(i) : nullptr))
                styles.insert(QStringLiteral("%1.%2").arg(QLatin1String(e.prefix)).arg(i),
                              QVariant::fromValue(mine.at(i)->copy()));
        }
    }
    return styles;
}

void QntConnector::applyPartStyles(const QVariantMap &styles)
{
    for (auto it = styles.constBegin(); it != styles.constEnd(); ++it) {
        if (!it.value().canConvert<VRStyleRef>())
            continue;
        const VRStyleRef style = it.value().value<VRStyleRef>();
        if (!style)
            continue;
        if (it.key() == QLatin1String("body")) {
            if (!m_skin || m_skin->groupObjects().isEmpty())
                continue;
            m_bodyStyle = style->copy();
            m_skin->groupObjects().first()->setStyle(m_bodyStyle);
            continue;
        }
        const QStringList name = it.key().split(QLatin1Char('.'));
        bool number = false;
        const int index = name.size() == 2 ? name.at(1).toInt(&number) : -1;
        const QntConnectorEndPoint *end = name.value(0) == QLatin1String("start") ? m_start.get()
                                          : name.value(0) == QLatin1String("end") ? m_end.get()
                                                                                  : nullptr;
        const QntConnectorArrow *arrow = end ? end->arrow() : nullptr;
        if (!arrow || !number || index < 0 || index >= arrow->groupObjects().size())
            continue;
        if (const VRObjectRef member = arrow->groupObjects().at(index))
            member->setStyle(style->copy());
    }
}

QPainterPath QntConnector::bodyBand() const
{
    // The band stops where an arrowhead begins, so the arrowhead shows whole.
    QList<QPointF> points = VRConnectorGeometry::pointsOf(renderingPath());
    if (points.size() < 2)
        return {};
    const auto pullBack = [](QPointF &end, QPointF towards, double by) {
        const QPointF d = towards - end;
        const double length = std::hypot(d.x(), d.y());
        if (by > 0 && length > by)
            end += d * (by / length);
    };
    if (const QntConnectorArrow *arrow = m_start->arrow())
        pullBack(points.first(), points.at(1), arrow->size().width() * 0.8);
    const QPointF tip = points.last();
    const bool head = !m_end->arrow() && m_bodyHeadLength > 0;
    if (const QntConnectorArrow *arrow = m_end->arrow())
        pullBack(points.last(), points.at(points.size() - 2), arrow->size().width() * 0.8);
    else if (head)
        pullBack(points.last(), points.at(points.size() - 2), m_bodyHeadLength);
    QPainterPathStroker stroker;
    stroker.setWidth(head ? m_bodyShaft : m_bodyThickness);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    QPainterPath band = stroker.createStroke(VRConnectorGeometry::pathThrough(points, m_curve));
    if (head && points.last() != tip) {
        // The body's own head, from where the band stops to the end of the line.
        const QPointF base = points.last();
        const QPointF d = tip - base;
        const double length = std::hypot(d.x(), d.y());
        const QPointF across = QPointF(-d.y(), d.x()) * (m_bodyHeadWidth / 2 / length);
        QPainterPath arrowHead;
        arrowHead.addPolygon(QPolygonF{base + across, tip, base - across, base + across});
        band = band.united(arrowHead);
    }
    return band.simplified();
}

void QntConnector::setStyle(VRStyleRef style)
{
    VRDrawablePath::setStyle(std::move(style));
    updateStyle();
}

void QntConnector::attachConnectorStyle()
{
    // Rebuilt from the skin, never a user's edit: keeps the undo history clean.
    VRUndoManager *um = undoManager();
    if (um)
        um->disableUndoRegistration();
    const VRStyleRef own = style();
    if (!own) {
        detachRenderer(*m_connectorStyle);
    } else if (own->isStyleSharable() && own->countOfClients() > 1) {
        // A style shared by several objects cannot hold one connector's parts: each
        // connector then draws its arrowheads itself.
        detachRenderer(*m_connectorStyle);
        if (!own->renderersOfClass(QntConnectorStyle::staticClass()).isEmpty())
            own->removeRenderersOfClass(QntConnectorStyle::staticClass(), true);
    } else {
        // Stale connector renderers (read from a file or copied with the style) have no parts.
        makeSoleLastRenderer(*own, m_connectorStyle);
    }
    if (um)
        um->enableUndoRegistration();
}

void QntConnector::placeArrows()
{
    const QList<QPointF> points = VRConnectorGeometry::pointsOf(renderingPath());
    if (m_shaft) {
        Geometry g = m_shaft->saveGeometry();
        g.path = renderingPath();
        m_shaft->restoreGeometry(g);
    }
    if (points.size() < 2)
        return;
    auto place = [](QntConnectorArrow *arrow, QPointF tip, QPointF from) {
        if (!arrow)
            return;
        const double angle = std::atan2(tip.y() - from.y(), tip.x() - from.x());
        VRDrawableObject::Geometry g = arrow->saveGeometry();
        // The arrowhead's tip (its right edge) sits on the end of the line.
        g.offset = QSizeF(0.5, 0);
        g.location = tip;
        g.angle = angle;
        arrow->restoreGeometry(g);
    };
    place(m_start->arrow(), points.first(), points.at(1));
    place(m_end->arrow(), points.last(), points.at(points.size() - 2));
}

VRObjectList QntConnector::parts() const
{
    VRObjectList result;
    if (m_skin)
        result.append(m_skin);
    if (m_start->arrow())
        result.append(m_start->arrowRef());
    if (m_end->arrow())
        result.append(m_end->arrowRef());
    return result;
}

qint64 QntConnector::colorSchemeIdArrowKind(int kind) const
{
    if (kind == 1)
        return m_startSchemeId;
    if (kind == 2)
        return m_endSchemeId;
    return m_colorSchemeId;
}

void QntConnector::replaceColorScheme(qint64 schemeId)
{
    VRUndoManager *um = undoManager();
    if (um)
        um->beginUndoGrouping();
    replaceColorScheme(schemeId, 0);
    replaceColorScheme(schemeId, 1);
    replaceColorScheme(schemeId, 2);
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Change Colour Scheme"));
    }
}

void QntConnector::replaceColorScheme(qint64 schemeId, int arrowKind)
{
    qint64 *target = arrowKind == 1   ? &m_startSchemeId
                     : arrowKind == 2 ? &m_endSchemeId
                                      : &m_colorSchemeId;
    if (*target == schemeId)
        return;
    const qint64 old = *target;
    // Each part has its own name, so that changing the start and then the end arrowhead in one
    // step keeps both former schemes (one name would keep only the first).
    const char *const selector = arrowKind == 1   ? "replaceColorScheme:arrowKind:start"
                                 : arrowKind == 2 ? "replaceColorScheme:arrowKind:end"
                                                  : "replaceColorScheme:";
    recordUndo(selector, QStringLiteral("Change Colour Scheme"),
               [old, arrowKind](VRDrawableObject &o) {
                   static_cast<QntConnector &>(o).replaceColorScheme(old, arrowKind);
               });
    *target = schemeId;
    VRDrawing *d = drawing();
    const QString notationPath = d ? d->currentNotationPath() : QString();
    double alpha = 1.0;
    QColor c =
        QntElement::schemeColour(notationPath, schemeId, QStringLiteral("Stroke"), 0, &alpha);
    if (c.isValid()) {
        c.setAlphaF(std::clamp(alpha * m_transparency, 0.0, 1.0));
        if (arrowKind == 0)
            setShaftColor(c);
    }
    // The arrowheads take the scheme's colours part by part.
    if (arrowKind == 1 || arrowKind == 2)
        updateStyle();
    notifyVisualChange();
}

void QntConnector::setShaftColor(const QColor &colour)
{
    if (colour == m_shaftColour)
        return;
    const QColor old = m_shaftColour;
    recordUndo("setShaftColor:", QStringLiteral("Change Colour"),
               [old](VRDrawableObject &o) { static_cast<QntConnector &>(o).setShaftColor(old); });
    m_shaftColour = colour;
    if (style() && colour.isValid())
        style()->setStrokeColour(colour);
    // The shaft drawn by the skin takes the colour too.
    if (colour.isValid()) {
        if (m_bodyStyle && m_bodyStyle->hasStroke() && !m_thickBody)
            m_bodyStyle->setStrokeColour(colour);
        const QVariant skinShaft = m_skinOptions.value(QStringLiteral("shaftStyle"));
        if (const VRStyleRef s =
                skinShaft.canConvert<VRStyleRef>() ? skinShaft.value<VRStyleRef>() : nullptr;
            s && s->hasStroke())
            s->setStrokeColour(colour);
    }
    notifyVisualChange();
}

void QntConnector::changeTransparencyWithCoef(double coef)
{
    if (!std::isfinite(coef))
        return;
    coef = std::clamp(coef, 0.0, 2.0);
    const double old = m_transparency;
    recordUndo("changeTransparencyWithCoef:", QStringLiteral("Change Transparency"),
               [old](VRDrawableObject &o) {
                   static_cast<QntConnector &>(o).changeTransparencyWithCoef(old);
               });
    m_transparency = coef;
    if (m_shaftColour.isValid()) {
        QColor c = m_shaftColour;
        c.setAlphaF(std::clamp(coef, 0.0, 1.0));
        if (style())
            style()->setStrokeColour(c);
    }
    notifyVisualChange();
}

void QntConnector::setLabel(const VRTextBlock &label)
{
    if (label == m_label)
        return;
    const VRTextBlock old = m_label;
    recordUndo("setLabel:", QStringLiteral("Changing text attributes"),
               [old](VRDrawableObject &o) { static_cast<QntConnector &>(o).setLabel(old); });
    m_label = label;
    notifyVisualChange();
}

void QntConnector::setFont(const QFont &font)
{
    VRTextBlock label = m_label;
    label.setFont(font);
    setLabel(label);
}

void QntConnector::setFontSize(double size)
{
    if (!(size > 0) || size > 5000)
        return;
    VRTextBlock label = m_label;
    QFont font = label.font();
    font.setPointSizeF(size);
    label.setFont(font);
    setLabel(label);
}

void QntConnector::setTextColour(const QColor &colour)
{
    VRTextBlock label = m_label;
    label.setColour(colour);
    setLabel(label);
}

void QntConnector::setTextFontFamily(const QString &family)
{
    VRTextBlock label = m_label;
    QFont font = label.font();
    font.setFamily(family);
    label.setFont(font);
    setLabel(label);
}

void QntConnector::setTextFontTypeface(int traitMask, bool underlined)
{
    VRTextBlock label = m_label;
    label.setFont(VRTextBlock::fontWithTraits(label.font(), traitMask, underlined));
    setLabel(label);
}

void QntConnector::setTextAlign(int alignment)
{
    VRTextBlock label = m_label;
    label.setAlignment(alignment);
    setLabel(label);
}

void QntConnector::setTextContent(const QTextDocumentFragment &content)
{
    VRTextBlock label = m_label;
    label.setFragment(content);
    setLabel(label);
}

QntConnector::LabelSettings QntConnector::labelSettings() const
{
    return {m_layoutMode, m_textX, m_textY, m_reference, m_pointOffset};
}

void QntConnector::setLabelSettings(const LabelSettings &s)
{
    const LabelSettings old = labelSettings();
    if (old == s)
        return;
    recordUndo(
        "setLabelSettings:", QStringLiteral("Change Label Position"),
        [old](VRDrawableObject &o) { static_cast<QntConnector &>(o).setLabelSettings(old); });
    setLabelSettingsLive(s);
}

void QntConnector::setLabelSettingsLive(const LabelSettings &s)
{
    if (!std::isfinite(s.x) || !std::isfinite(s.y) || !std::isfinite(s.reference)
        || !std::isfinite(s.offset.width()) || !std::isfinite(s.offset.height())
        || labelSettings() == s)
        return;
    m_layoutMode = s.layoutMode;
    m_textX = s.x;
    m_textY = s.y;
    m_reference = s.reference;
    m_pointOffset = s.offset;
    notifyVisualChange();
}

void QntConnector::setLayoutMode(int mode)
{
    LabelSettings s = labelSettings();
    s.layoutMode = mode;
    setLabelSettings(s);
}

void QntConnector::setTextXOffset(double x)
{
    if (!std::isfinite(x))
        return;
    LabelSettings s = labelSettings();
    s.x = x;
    setLabelSettings(s);
}

void QntConnector::setTextYOffset(double y)
{
    if (!std::isfinite(y))
        return;
    LabelSettings s = labelSettings();
    s.y = y;
    setLabelSettings(s);
}

void QntConnector::setTextReferencePointRelative(double r)
{
    if (!std::isfinite(r))
        return;
    LabelSettings s = labelSettings();
    s.reference = r;
    setLabelSettings(s);
}

void QntConnector::setOffsetForPointForTextLayout(QSizeF offset)
{
    if (!std::isfinite(offset.width()) || !std::isfinite(offset.height()))
        return;
    LabelSettings s = labelSettings();
    s.offset = offset;
    setLabelSettings(s);
}

QPointF QntConnector::pointAlongPath(double fraction, double normalOffset) const
{
    const QPainterPath p = renderingPath();
    if (p.isEmpty())
        return {};
    fraction = std::clamp(fraction, 0.0, 1.0);
    const double t = p.percentAtLength(p.length() * fraction);
    const QPointF at = p.pointAtPercent(t);
    const double angle = qDegreesToRadians(p.angleAtPercent(t)); // counter-clockwise, y up
    const QPointF normal(-std::sin(angle), -std::cos(angle));
    return at + normal * normalOffset;
}

QPointF QntConnector::labelPosition() const
{
    if (m_layoutMode == 1 || m_layoutMode == 2)
        return pointAlongPath(m_textX + 0.5, m_layoutMode == 2 ? -m_textY : m_textY);
    return pointAlongPath(m_reference, 0) + QPointF(m_pointOffset.width(), m_pointOffset.height());
}

QRectF QntConnector::labelFrame() const
{
    if (m_label.isEmpty())
        return {};
    QRectF frame(QPointF(), m_label.naturalSize(0));
    frame.moveCenter(labelPosition());
    return frame;
}

QntConnector::LabelSettings QntConnector::labelSettingsForCentre(QPointF centre) const
{
    LabelSettings s = labelSettings();
    const QPainterPath route = renderingPath();
    if (route.isEmpty() || !std::isfinite(centre.x()) || !std::isfinite(centre.y()))
        return s;
    if (m_layoutMode != 1 && m_layoutMode != 2) {
        const QPointF reference = pointAlongPath(m_reference, 0);
        s.offset = QSizeF(centre.x() - reference.x(), centre.y() - reference.y());
        return s;
    }
    // The point of the route nearest the centre, as a fraction of the route's length.
    double travelled = 0, bestAt = 0, best = std::numeric_limits<double>::infinity();
    for (const QPolygonF &polygon : route.toSubpathPolygons()) {
        for (int k = 1; k < polygon.size(); ++k) {
            const QPointF a = polygon.at(k - 1), b = polygon.at(k);
            const QPointF ab = b - a;
            const double length = std::hypot(ab.x(), ab.y());
            const double t =
                length > 0
                    ? std::clamp(QPointF::dotProduct(centre - a, ab) / (length * length), 0.0, 1.0)
                    : 0.0;
            const QPointF on = a + t * ab;
            const double d = std::hypot(centre.x() - on.x(), centre.y() - on.y());
            if (d < best) {
                best = d;
                bestAt = travelled + t * length;
            }
            travelled += length;
        }
    }
    const double fraction = travelled > 0 ? std::clamp(bestAt / travelled, 0.0, 1.0) : 0.5;
    // The distance off the line is measured along the same normal the drawing uses.
    const QPointF at = pointAlongPath(fraction, 0);
    const QPointF normal = pointAlongPath(fraction, 1) - at;
    const double off = QPointF::dotProduct(centre - at, normal);
    s.x = fraction - 0.5;
    s.y = m_layoutMode == 2 ? -off : off;
    return s;
}

void QntConnector::setLocation(QPointF location)
{
    if (!std::isfinite(location.x()) || !std::isfinite(location.y()))
        return;
    moveFreePartsBy(location - this->location());
}

void QntConnector::moveFreePartsBy(QPointF delta)
{
    if (delta.isNull())
        return;
    transformFreeParts(QTransform::fromTranslate(delta.x(), delta.y()), QStringLiteral("Move"));
}

void QntConnector::setSize(QSizeF size)
{
    if (!std::isfinite(size.width()) || !std::isfinite(size.height()) || size.width() < 0
        || size.height() < 0 || size == this->size())
        return;
    const QRectF r = path().boundingRect();
    const double sx = r.width() > 0 ? size.width() / r.width() : 1.0;
    const double sy = r.height() > 0 ? size.height() / r.height() : 1.0;
    QTransform t;
    t.translate(r.center().x(), r.center().y());
    t.scale(sx, sy);
    t.translate(-r.center().x(), -r.center().y());
    transformFreeParts(t, QStringLiteral("Resize"));
}

void QntConnector::setAngle(double radians)
{
    if (!std::isfinite(radians))
        return;
    const double delta = radians - angle();
    if (delta == 0.0)
        return;
    const QPointF c = path().boundingRect().center();
    QTransform t;
    t.translate(c.x(), c.y());
    t.rotateRadians(delta);
    t.translate(-c.x(), -c.y());
    recordAngle();
    m_angle = std::remainder(radians, 2 * M_PI);
    transformFreeParts(t, QStringLiteral("Rotate"));
}

void QntConnector::applyTransform(const QTransform &transform)
{
    transformFreeParts(transform, QStringLiteral("Change Path"));
}

void QntConnector::transformFreeParts(const QTransform &t, const QString &actionName)
{
    if (t.isIdentity() || !t.isAffine() || !std::isfinite(t.m11()) || !std::isfinite(t.m12())
        || !std::isfinite(t.m21()) || !std::isfinite(t.m22()) || !std::isfinite(t.dx())
        || !std::isfinite(t.dy()))
        return;
    recordFreeParts(actionName);
    bool attached = false;
    for (QntConnectorEndPoint *end : {m_start.get(), m_end.get()}) {
        if (end->targetStickySpot()) {
            attached = true;
        } else {
            end->setPoint(t.map(end->location()));
            end->setFreeSide(mappedSide(end->freeSide(), t));
        }
    }
    // A loop on one element follows the element, not the line's own moves.
    if (!loopsOnOneElement()) {
        for (QPointF &point : m_userPoints)
            point = t.map(point);
    }
    // The moved run of a manual orthogonal route turns and scales with the line.
    m_bendOffset = QTransform(t.m11(), t.m12(), t.m21(), t.m22(), 0, 0).map(m_bendOffset);
    // A connector free at both ends keeps its shape; one held by an element, or one the
    // router lays, takes a new route.
    VRDrawing *d = drawing();
    const bool routed = (m_routing == 3 || m_routing == 4) && d && !d->avoidRouterIsDisabled();
    // A route kept for a connector on its way into a drawing moves with it, as its elements do.
    if ((attached || routed) && !(m_keepsLaidRoute && !d))
        endsDidMove();
    else
        setRoutedPath(t.map(path()));
    notifyVisualChange();
}

void QntConnector::recordFreeParts(const QString &actionName)
{
    // The whole state, not the step: a gesture's group keeps the first record of each kind.
    const QPointF start = m_start->point(), end = m_end->point();
    const VRRouteSide startSide = m_start->freeSide(), endSide = m_end->freeSide();
    const QList<QPointF> points = m_userPoints;
    const QPointF bend = m_bendOffset;
    const QPainterPath route = path();
    recordUndo(
        "setFreeParts:", actionName,
        [start, end, startSide, endSide, points, bend, route, actionName](VRDrawableObject &o) {
            auto &c = static_cast<QntConnector &>(o);
            c.recordFreeParts(actionName);
            c.m_start->setPoint(start);
            c.m_end->setPoint(end);
            c.m_start->setFreeSide(startSide);
            c.m_end->setFreeSide(endSide);
            c.m_userPoints = points;
            c.m_bendOffset = bend;
            c.setRoutedPath(route);
            c.notifyVisualChange();
        });
}

void QntConnector::recordAngle()
{
    const double old = m_angle;
    recordUndo("setPathAngle:", QString(), [old](VRDrawableObject &o) {
        auto &c = static_cast<QntConnector &>(o);
        c.recordAngle();
        c.m_angle = old;
        c.notifyVisualChange();
    });
}

bool QntConnector::hitTest(QPointF p) const
{
    if (VRDrawablePath::hitTest(p))
        return true;
    return isVisible() && labelFrame().contains(p);
}

void QntConnector::drawLabel(QPainter &painter, const VRTextBlock &label, VRTextAdornment &renderer,
                             QPointF centre) const
{
    if (label.isEmpty())
        return;
    const QSizeF size = label.naturalSize(0);
    QRectF frame(QPointF(), size);
    frame.moveCenter(centre);
    painter.save();
    // Keeps the line from running through the text.
    painter.fillRect(frame.marginsAdded(kLabelBacking), QColor(255, 255, 255, 200));
    painter.restore();
    if (frame.width() <= 0)
        return;
    VRRenderContext context;
    context.bounds = frame;
    renderer.render(painter, context);
}

QRectF QntConnector::labelBounds(const VRTextBlock &label, const VROwnTextRenderer &renderer,
                                 QPointF centre, VRBoundsMeasure measure) const
{
    if (label.isEmpty())
        return {};
    QRectF frame(QPointF(), label.naturalSize(0));
    frame.moveCenter(centre);
    const QRectF backing = frame.marginsAdded(kLabelBacking);
    if (frame.width() <= 0)
        return backing;
    VRRenderContext context;
    context.bounds = frame;
    const QRectF ink = renderer.inkBounds(label, context, labelLayoutMode(), measure);
    return ink.isNull() ? backing : backing.united(ink);
}

int QntConnector::labelLayoutMode() const
{
    return m_layoutMode == 1 || m_layoutMode == 2 ? m_layoutMode : VRTextAdornment::AtPoint;
}

void QntConnector::drawContent(QPainter &painter) const
{
    const QPainterPath path = renderingPath();
    const VRStyle *own = style().get();
    const bool hasShaftStyle = m_shaft && m_shaft->style();
    const bool rendererAttached = own && m_connectorStyle->style() == own;
    if (m_skin && m_thickBody && !m_skinOptions.contains(QStringLiteral("shaftStyle"))) {
        // A thick body: a band along the route in the body's colours, then the arrowheads.
        const VRObjectList members = m_skin->groupObjects();
        const VRStyleRef look = members.isEmpty() ? m_bodyStyle : members.first()->style();
        painter.save();
        painter.setBrush(look && look->hasFill() ? QBrush(look->fillColour()) : QBrush(Qt::gray));
        QPen pen(look && look->hasStroke() ? look->strokeColour() : QColor(Qt::black));
        pen.setWidthF(look && look->hasStroke() ? look->strokeWidth() : 1.0);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.drawPath(bodyBand());
        painter.restore();
        if (m_start->arrow())
            m_start->arrow()->render(painter);
        if (m_end->arrow())
            m_end->arrow()->render(painter);
        drawLabel(painter, m_label, *textAdornment(), labelPosition());
        return;
    }
    if (hasShaftStyle) {
        // The skin's shaft style replaces the connector's own strokes.
        VRRenderContext context;
        context.path = path;
        context.bounds = path.boundingRect();
        m_connectorStyle->render(painter, context);
        drawLabel(painter, m_label, *textAdornment(), labelPosition());
        return;
    }
    if (own) {
        // Strokes first, then the connector renderer with the arrowheads.
        renderStyle(painter, own, *this, path);
    } else {
        QPen pen(m_shaftColour.isValid() ? m_shaftColour : QColor(Qt::black));
        pen.setWidthF(1.0);
        painter.save();
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
        painter.restore();
    }
    if (!rendererAttached) {
        if (m_start->arrow())
            m_start->arrow()->render(painter);
        if (m_end->arrow())
            m_end->arrow()->render(painter);
    }
    drawLabel(painter, m_label, *textAdornment(), labelPosition());
}

QRectF QntConnector::computeBounds(VRBoundsMeasure measure) const
{
    QRectF r = VRDrawablePath::computeBounds(measure);
    // Without a style the route is drawn with a pen a point wide, whose square ends reach up to
    // that far past the route whatever its angle.
    if (r.isEmpty() || !style())
        r = r.adjusted(-1, -1, 1, 1);
    if (m_skin && m_thickBody) {
        // A mitred bend of the band reaches its thickness past the route (the body's own head
        // half its width), and the band's outline, mitred too, its pen's width past that.
        const VRObjectList members = m_skin->groupObjects();
        const VRStyleRef look = members.isEmpty() ? m_bodyStyle : members.first()->style();
        const double outline = look && look->hasStroke() ? look->strokeWidth() : 1.0;
        const double reach = std::max(m_bodyThickness, m_bodyHeadWidth / 2) + outline;
        r = r.adjusted(-reach, -reach, reach, reach);
    }
    for (auto *arrow : {m_start->arrow(), m_end->arrow()}) {
        if (arrow)
            r = r.united(arrow->bounds(measure));
    }
    if (const QRectF label = labelBounds(m_label, m_textRenderer, labelPosition(), measure);
        !label.isNull())
        r = r.united(label);
    return r;
}

void QntConnector::copyConnectorInto(QntConnector &t) const
{
    t.m_mode = m_mode;
    t.m_routing = m_routing;
    t.m_curve = m_curve;
    t.m_skinOptions = m_skinOptions;
    t.m_label = m_label;
    t.m_shaftColour = m_shaftColour;
    t.m_pointOffset = m_pointOffset;
    t.m_colorSchemeId = m_colorSchemeId;
    t.m_startSchemeId = m_startSchemeId;
    t.m_endSchemeId = m_endSchemeId;
    t.m_textX = m_textX;
    t.m_textY = m_textY;
    t.m_reference = m_reference;
    t.m_transparency = m_transparency;
    t.m_layoutMode = m_layoutMode;
    t.m_bendOffset = m_bendOffset;
    t.m_userPoints = m_userPoints;
    t.m_pendingPartStyles = partStyles(false);
    // A copy is not attached: its ends stay where they are. A route the router laid leaves
    // them the way it did, so that the copy's route keeps its look.
    t.m_start->setPoint(m_start->location());
    t.m_end->setPoint(m_end->location());
    if (m_routing == 3 || m_routing == 4) {
        t.m_start->setFreeSide(leavingSide(path(), true));
        t.m_end->setFreeSide(leavingSide(path(), false));
        t.m_keepsLaidRoute = !path().isEmpty();
    }
    t.updateStyle();
}

VRObjectRef QntConnector::copy() const
{
    auto object = VRDrawablePath::copy();
    if (object)
        copyConnectorInto(static_cast<QntConnector &>(*object));
    return object;
}

static void writeEnd(VRJsonWriter &r, const QntConnectorEndPoint &end, VRArchiveWriter &writer)
{
    auto element = end.targetElement();
    const bool attached = element && end.targetStickySpot();
    r.beginObject();
    if (attached) {
        r.insert("element", writer.uidOf(element.get()));
        r.insert("spot", end.spotIndex());
    } else {
        r.insert("element", nullptr);
        r.insert("spot", nullptr);
    }
    const QPointF point = end.location();
    r.insert("point", {point.x(), point.y()});
    r.end();
}

void QntConnector::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    VRDrawablePath::writeRecord(r, writer);
    r.insert("mode", m_mode);
    r.insert("routing", m_routing);
    r.insert("curve", m_curve);
    r.key(QLatin1String("start"));
    writeEnd(r, *m_start, writer);
    r.key(QLatin1String("end"));
    writeEnd(r, *m_end, writer);
    r.key(QLatin1String("skinOptions"));
    VRArchiveWriter::writeMap(r, m_skinOptions, &writer);
    if (const QVariantMap parts = partStyles(true); !parts.isEmpty()) {
        r.key(QLatin1String("partStyles"));
        VRArchiveWriter::writeMap(r, parts, &writer);
    }
    r.insert("colorSchemeId", m_colorSchemeId);
    r.insert("startSchemeId", m_startSchemeId);
    r.insert("endSchemeId", m_endSchemeId);
    r.insert("transparency", m_transparency);
    if (!m_bendOffset.isNull())
        r.insert("bendOffset", {m_bendOffset.x(), m_bendOffset.y()});
    if (!m_userPoints.isEmpty()) {
        r.beginArray("userPoints");
        for (const QPointF &p : m_userPoints)
            r.numbers({p.x(), p.y()});
        r.end();
    }
    if (m_shaftColour.isValid())
        r.insert("shaftColour", VRArchiveWriter::colour(m_shaftColour));
    else
        r.insert("shaftColour", nullptr);
    r.beginObject("label");
    m_label.write(r);
    r.insert("layoutMode", m_layoutMode);
    r.insert("x", m_textX);
    r.insert("y", m_textY);
    r.insert("reference", m_reference);
    r.insert("offset", {m_pointOffset.width(), m_pointOffset.height()});
    r.end();
}

static bool readEnd(const QJsonObject &r, const QString &key, QntConnectorEndPoint &end,
                    VRArchiveReader &reader, const QString &path)
{
    QJsonObject record;
    if (!reader.readObjectRecord(r, key, path, record))
        return false;
    const QString ep = path + QLatin1Char('.') + key;
    QPointF point;
    if (!reader.readPoint(record, QStringLiteral("point"), ep, point))
        return false;
    end.setPoint(point);
    const QJsonValue element = record.value(QStringLiteral("element"));
    if (element.isUndefined() || element.isNull())
        return true;
    qint64 uid = 0;
    int spot = 0;
    if (!reader.readInt64(record, QStringLiteral("element"), ep, uid, true)
        || !reader.readInt(record, QStringLiteral("spot"), ep, spot, true, 0, 100000))
        return false;
    QntConnectorEndPoint *target = &end;
    reader.defer([target, uid, spot, ep](VRArchiveReader &rd) {
        VRObjectRef object = rd.objectForUid(uid);
        if (!object && rd.freesEndsOfMissingElements())
            return true;
        if (!object || !object->isKindOf<QntElement>())
            return rd.fail(ep + QStringLiteral(".element"),
                           QStringLiteral("names no element of this drawing"));
        auto element = std::static_pointer_cast<QntElement>(object);
        if (!element->stickySpotAtIndex(spot))
            return rd.fail(ep + QStringLiteral(".spot"),
                           QStringLiteral("names no sticky spot of the element"));
        const QPointF stored = target->point();
        target->attach(element, spot);
        target->setPoint(stored);
        return true;
    });
    return true;
}

// Drawings written before free ends followed their line may hold a free end where the line
// was first put (a dropped shape's corner); the drawn path is what the user saw.
static bool freeEndsFollowPath(const QJsonObject &r, QntConnectorEndPoint &start,
                               QntConnectorEndPoint &end, const QPainterPath &path)
{
    if (path.elementCount() < 2)
        return true;
    const auto isFree = [&r](const QString &key) {
        const QJsonValue element = r.value(key).toObject().value(QStringLiteral("element"));
        return element.isUndefined() || element.isNull();
    };
    if (isFree(QStringLiteral("start")))
        start.setPoint(VRPath::firstPoint(path));
    if (isFree(QStringLiteral("end")))
        end.setPoint(VRPath::lastPoint(path));
    return true;
}

bool QntConnector::readRecord(const QJsonObject &r, VRArchiveReader &reader, const QString &path)
{
    if (!VRDrawablePath::readRecord(r, reader, path))
        return false;
    QJsonObject label;
    if (!reader.readInt(r, QStringLiteral("mode"), path, m_mode, false, 0, 100)
        || !reader.readInt(r, QStringLiteral("routing"), path, m_routing, false, 0, 4)
        || !reader.readBool(r, QStringLiteral("curve"), path, m_curve)
        || !readEnd(r, QStringLiteral("start"), *m_start, reader, path)
        || !readEnd(r, QStringLiteral("end"), *m_end, reader, path)
        || !freeEndsFollowPath(r, *m_start, *m_end, this->path())
        || !reader.readMap(r, QStringLiteral("skinOptions"), path, m_skinOptions)
        || !reader.readMap(r, QStringLiteral("partStyles"), path, m_pendingPartStyles)
        || !reader.readInt64(r, QStringLiteral("colorSchemeId"), path, m_colorSchemeId)
        || !reader.readInt64(r, QStringLiteral("startSchemeId"), path, m_startSchemeId)
        || !reader.readInt64(r, QStringLiteral("endSchemeId"), path, m_endSchemeId)
        || !reader.readNumber(r, QStringLiteral("transparency"), path, m_transparency, false, 0, 2)
        || !reader.readColour(r, QStringLiteral("shaftColour"), path, m_shaftColour, false, true)
        || !reader.readObjectRecord(r, QStringLiteral("label"), path, label)
        || !reader.readPoint(r, QStringLiteral("bendOffset"), path, m_bendOffset))
        return false;
    QJsonArray points;
    if (!reader.readArray(r, QStringLiteral("userPoints"), path, points))
        return false;
    m_userPoints.clear();
    for (int i = 0; i < points.size(); ++i) {
        const QJsonArray p = points.at(i).toArray();
        if (p.size() != 2 || !p.at(0).isDouble() || !p.at(1).isDouble()
            || !std::isfinite(p.at(0).toDouble()) || !std::isfinite(p.at(1).toDouble())
            || std::abs(p.at(0).toDouble()) > VRArchiveReader::kMaximumCoordinate
            || std::abs(p.at(1).toDouble()) > VRArchiveReader::kMaximumCoordinate)
            return reader.fail(path + QStringLiteral(".userPoints"),
                               QStringLiteral("holds a point that is not two numbers"));
        m_userPoints.append(QPointF(p.at(0).toDouble(), p.at(1).toDouble()));
    }
    // The stored route of the router leaves its free ends the way it is drawn.
    if (m_routing == 3 || m_routing == 4) {
        m_start->setFreeSide(leavingSide(this->path(), true));
        m_end->setFreeSide(leavingSide(this->path(), false));
    }
    const QString lp = path + QStringLiteral(".label");
    return m_label.read(label, reader, lp)
           && reader.readInt(label, QStringLiteral("layoutMode"), lp, m_layoutMode, false, 0, 1000)
           && reader.readNumber(label, QStringLiteral("x"), lp, m_textX)
           && reader.readNumber(label, QStringLiteral("y"), lp, m_textY)
           && reader.readNumber(label, QStringLiteral("reference"), lp, m_reference)
           && reader.readSize(label, QStringLiteral("offset"), lp, m_pointOffset, false, true);
}

VRTextAdornment *QntConnector::textAdornment() const
{
    return m_textRenderer.renderer(
        m_label,
        [this] {
            return VROwnTextRenderer::writingBackTo(*this, &QntConnector::label,
                                                    &QntConnector::setLabel);
        },
        labelLayoutMode());
}
