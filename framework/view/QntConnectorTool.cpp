#include "framework/view/QntConnectorTool.h"

#include "framework/view/VRDrawingView.h"
#include "framework/view/VRViewController.h"
#include "framework/routing/VRConnectorGeometry.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorDoubleText.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/model/QntStickySpot.h"
#include "framework/model/QntText.h"
#include "framework/model/VRTextShapeBase.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/NotificationCenter.h"

#include <QPainter>

#include <cmath>
#include <limits>

VR_CLASS_IMPL_WITH(QntConnectorTool, &VRDrawingTool::staticClass(), nullptr)

namespace {

int &newRouting()
{
    static int routing = 3;
    return routing;
}

constexpr int kMinimumDrag = 4;

// Connectors drawn without a notation skin: a dark line with an arrowhead at the end.
VRStyleRef defaultConnectorStyle()
{
    auto style = VRStyle::create();
    auto stroke = std::make_shared<VRArrowStroke>();
    stroke->setColour(QColor(45, 45, 45));
    stroke->setWidth(1.5);
    stroke->setArrowHeadAtStart(0);
    stroke->setArrowHeadAtEnd(1);
    style->addRenderer(stroke);
    return style;
}
constexpr double kSpotPickDistance = 8.0;

} // namespace

QntConnectorTool::QntConnectorTool(Kind kind)
    : m_kind(kind)
{
}

int QntConnectorTool::routingForNewConnectors()
{
    return newRouting();
}

void QntConnectorTool::setRoutingForNewConnectors(int routing)
{
    if (routing >= 0 && routing <= 4)
        newRouting() = routing;
}

namespace {

// The topmost element under the point inside a group, nested groups included; a shape that is
// no element hides what lies beneath it.
std::shared_ptr<QntElement> elementInGroup(const VRShapeGroup &group, QPointF point,
                                           const VRDrawableObject *ignore)
{
    const VRObjectList members = group.groupObjects();
    for (auto it = members.crbegin(); it != members.crend(); ++it) {
        const VRObjectRef &m = *it;
        if (m.get() == ignore || !m->isVisible() || !m->hitTest(point))
            continue;
        if (m->isKindOf<QntElement>())
            return std::static_pointer_cast<QntElement>(m);
        if (m->isMemberOf<VRShapeGroup>())
            return elementInGroup(static_cast<const VRShapeGroup &>(*m), point, ignore);
        return nullptr;
    }
    return nullptr;
}

} // namespace

std::shared_ptr<QntElement> QntConnectorTool::elementForConnectorEnd(VRDrawingView &view,
                                                                     QPointF point,
                                                                     const VRDrawableObject *ignore)
{
    VRObjectDrawingLayer *layer = nullptr;
    const VRObjectRef top = view.objectAtPoint(point, &layer);
    if (!top || !layer)
        return nullptr;
    const auto isText = [](const VRDrawableObject &o) {
        return o.isKindOf<QntText>() || dynamic_cast<const VRTextShapeBase *>(&o);
    };
    std::shared_ptr<QntElement> text;
    const VRObjectList &objects = layer->objects();
    for (int i = layer->indexOfObject(top.get()); i >= 0; --i) {
        const VRObjectRef &o = objects.at(i);
        if (o.get() == ignore || !o->isVisible() || !o->hitTest(point))
            continue;
        if (isText(*o)) {
            if (!text && o->isKindOf<QntElement>())
                text = std::static_pointer_cast<QntElement>(o);
            continue;
        }
        if (o->isKindOf<QntElement>())
            return std::static_pointer_cast<QntElement>(o);
        // The elements of a group are ends of their own.
        if (o->isMemberOf<VRShapeGroup>()) {
            if (std::shared_ptr<QntElement> inside =
                    elementInGroup(static_cast<const VRShapeGroup &>(*o), point, ignore))
                return inside;
        }
        break; // any other object hides what lies beneath
    }
    return text;
}

void QntConnectorTool::setHover(VRDrawingView &view, const std::shared_ptr<QntElement> &element)
{
    std::shared_ptr<QntElement> old = m_hover.lock();
    std::shared_ptr<QntElement> source = m_source.lock();
    if (old == element)
        return;
    if (old && old != source)
        old->setHighlightedForConnectorSnapping(false);
    if (old)
        view.updateDrawingRect(old->bounds());
    m_hover = element;
    if (element) {
        element->setHighlightedForConnectorSnapping(true);
        view.updateDrawingRect(element->bounds());
    }
}

void QntConnectorTool::beginDragFromElement(VRDrawingView &view, QntElement &element, QPointF point)
{
    std::shared_ptr<QntElement> source =
        std::static_pointer_cast<QntElement>(element.shared_from_this());
    std::shared_ptr<QntStickySpot> spot = source->nearestStickySpot(point);
    m_source = source;
    m_sourceSpot = spot ? spot->index() : -1;
    m_from = spot ? spot->location() : point;
    m_to = point;
    m_sourceSpotFixed = false;
    m_active = true;
    m_armed = true;
    source->setHighlightedForConnectorSnapping(true);
    view.update();
}

void QntConnectorTool::mousePressed(VRDrawingView &view, const VRToolEvent &event)
{
    if (m_active && m_armed) {
        finish(view, event.rawPoint);
        return;
    }
    m_pressView = event.viewPosition;
    std::shared_ptr<QntElement> source = elementForConnectorEnd(view, event.rawPoint);
    m_source = source;
    m_sourceSpot = -1;
    m_from = event.point;
    m_sourceSpotFixed = false;
    if (source) {
        if (std::shared_ptr<QntStickySpot> spot = source->nearestStickySpot(event.rawPoint)) {
            m_sourceSpot = spot->index();
            m_from = spot->location();
            // A press right on a spot keeps it; elsewhere the spot facing the target is taken.
            const QPointF d = view.mapFromDrawing(spot->location()) - QPointF(event.viewPosition);
            m_sourceSpotFixed = std::hypot(d.x(), d.y()) <= kSpotPickDistance;
        }
        source->setHighlightedForConnectorSnapping(true);
    }
    m_to = event.point;
    m_active = true;
    m_armed = false;
    view.update();
}

void QntConnectorTool::mouseDragged(VRDrawingView &view, const VRToolEvent &event)
{
    if (!m_active)
        return;
    const QRectF old = QRectF(m_from, m_to).normalized();
    m_to = event.point;
    std::shared_ptr<QntElement> over = elementForConnectorEnd(view, event.rawPoint);
    setHover(view, over == m_source.lock() ? nullptr : over);
    updateSourceSpot(m_hover.lock() ? m_hover.lock()->logicalBounds().center() : m_to);
    if (std::shared_ptr<QntElement> target = m_hover.lock()) {
        if (std::shared_ptr<QntStickySpot> spot = target->nearestStickySpot(m_from))
            m_to = spot->location();
    }
    view.updateDrawingRect(old | QRectF(m_from, m_to).normalized());
}

void QntConnectorTool::mouseMoved(VRDrawingView &view, const VRToolEvent &event)
{
    if (m_active && m_armed) {
        mouseDragged(view, event);
        return;
    }
    // Show which element a press would start from.
    if (!m_active)
        setHover(view, elementForConnectorEnd(view, event.rawPoint));
}

void QntConnectorTool::mouseReleased(VRDrawingView &view, const VRToolEvent &event)
{
    if (!m_active || m_armed)
        return;
    if ((event.viewPosition - m_pressView).manhattanLength() < kMinimumDrag) {
        cancel(view);
        return;
    }
    finish(view, event.rawPoint);
}

void QntConnectorTool::finish(VRDrawingView &view, QPointF point)
{
    std::shared_ptr<QntElement> source = m_source.lock();
    std::shared_ptr<QntElement> target = elementForConnectorEnd(view, point);
    if (target == source)
        target = nullptr;
    VRObjectDrawingLayer *layer = view.activeObjectLayer();
    if (!layer || layer->isLocked() || (!source && !target && QLineF(m_from, point).length() < 2)) {
        cancel(view);
        return;
    }
    updateSourceSpot(target ? target->logicalBounds().center() : point);
    int targetSpot = -1;
    if (target) {
        const auto [sourceIndex, targetIndex] = bestSpotPair(source.get(), *target);
        if (source && !m_sourceSpotFixed && sourceIndex >= 0)
            m_sourceSpot = sourceIndex;
        targetSpot = targetIndex;
        if (source && m_sourceSpot >= 0)
            if (auto spot = source->stickySpotAtIndex(m_sourceSpot))
                m_from = spot->location();
    }
    std::shared_ptr<QntConnector> connector;
    if (m_kind == Kind::DoubleText)
        connector = std::make_shared<QntConnectorDoubleText>();
    else
        connector = std::make_shared<QntConnector>();
    if (m_kind == Kind::Sequence)
        connector->setMode(2);
    if (!connector->style())
        connector->setStyle(defaultConnectorStyle());
    connector->setEnds(m_from, target ? m_to : view.snapToGrid(point));

    VRUndoManager *undo = view.drawing()->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    layer->recordSelectionForUndo();
    layer->addObject(connector);
    if (source && m_sourceSpot >= 0)
        connector->startEndPoint()->attach(source, m_sourceSpot);
    if (target && targetSpot >= 0)
        connector->endEndPoint()->attach(target, targetSpot);
    connector->setRouting(routingForNewConnectors());
    connector->updateStyle();
    connector->endsDidMove();
    layer->replaceSelectionWithObject(connector);
    layer->commitSelectionUndoWithActionName(QStringLiteral("Create Connector"));
    if (undo) {
        undo->endUndoGrouping();
        if (undo->groupingLevel() == 0)
            undo->setActionName(QStringLiteral("Create Connector"));
    }
    cancel(view);
    view.updateDrawingRect(connector->bounds());
    QVariantMap info{{QStringLiteral("object"), QVariant::fromValue(VRObjectRef(connector))}};
    NotificationCenter::defaultCenter().post(kQntDidCreateConnectorNotification, connector.get(),
                                             info);
    finishedUse(view);
}

std::pair<int, int> QntConnectorTool::bestSpotPair(const QntElement *source,
                                                   const QntElement &target) const
{
    // Spots that face each other along the shortest orthogonal path win: length plus a
    // charge per bend the route will need, and a heavy charge for a spot facing away.
    const auto sideNormal = [](const QntElement &e, QPointF p) {
        return VRConnectorGeometry::normal(VRConnectorGeometry::sideOf(e.logicalBounds(), p));
    };
    const auto cost = [&](QPointF s, QPointF ns, QPointF t, QPointF nt) {
        const QPointF d = t - s;
        double bends = 0;
        const double outS = QPointF::dotProduct(ns, d), outT = QPointF::dotProduct(nt, -d);
        if ((ns != QPointF() && outS <= 0) || (nt != QPointF() && outT <= 0))
            bends = 4;
        else if (ns == QPointF() || nt == QPointF())
            bends = 1;
        else if (std::abs(QPointF::dotProduct(ns, nt)) > 0.5) {
            const double across = std::abs(ns.x() != 0 ? d.y() : d.x());
            bends = across < 0.5 ? 0 : 2;
        } else {
            bends = 1;
        }
        return std::abs(d.x()) + std::abs(d.y()) + 40.0 * bends;
    };
    int bestS = -1, bestT = -1;
    double best = std::numeric_limits<double>::infinity();
    const auto &targetSpots = target.stickySpots();
    if (!source || m_sourceSpotFixed) {
        const QPointF s = m_from;
        const QPointF ns = source ? sideNormal(*source, s) : QPointF();
        for (int t = 0; t < targetSpots.size(); ++t) {
            const QPointF tp = targetSpots[t]->location();
            const double c = cost(s, ns, tp, sideNormal(target, tp));
            if (c < best) {
                best = c;
                bestT = t;
            }
        }
        return {m_sourceSpot, bestT};
    }
    const auto &sourceSpots = source->stickySpots();
    for (int si = 0; si < sourceSpots.size(); ++si) {
        const QPointF sp = sourceSpots[si]->location();
        const QPointF ns = sideNormal(*source, sp);
        for (int t = 0; t < targetSpots.size(); ++t) {
            const QPointF tp = targetSpots[t]->location();
            const double c = cost(sp, ns, tp, sideNormal(target, tp));
            if (c < best) {
                best = c;
                bestS = si;
                bestT = t;
            }
        }
    }
    return {bestS, bestT};
}

void QntConnectorTool::updateSourceSpot(QPointF towards)
{
    std::shared_ptr<QntElement> source = m_source.lock();
    if (!source || m_sourceSpotFixed)
        return;
    if (std::shared_ptr<QntStickySpot> spot = source->nearestStickySpot(towards)) {
        m_sourceSpot = spot->index();
        m_from = spot->location();
    }
}

void QntConnectorTool::cancel(VRDrawingView &view)
{
    if (std::shared_ptr<QntElement> source = m_source.lock()) {
        source->setHighlightedForConnectorSnapping(false);
        if (source->state() == 6)
            source->setState(0);
    }
    setHover(view, nullptr);
    m_source.reset();
    m_active = false;
    m_armed = false;
    view.update();
}

void QntConnectorTool::toolWillResign(VRDrawingView &view)
{
    cancel(view);
}

void QntConnectorTool::paintOverlay(VRDrawingView &view, QPainter &painter) const
{
    const double px = 1.0 / view.scale();
    // Sticky spots of the element a connector would start from or end at.
    for (const std::shared_ptr<QntElement> &e : {m_source.lock(), m_hover.lock()}) {
        if (!e)
            continue;
        painter.setPen(QPen(QColor(40, 110, 220), px));
        painter.setBrush(Qt::white);
        for (const auto &spot : e->stickySpots())
            painter.drawEllipse(spot->location(), 3.5 * px, 3.5 * px);
    }
    if (!m_active)
        return;
    painter.setPen(QPen(QColor(40, 110, 220), 1.5 * px, Qt::DashLine));
    painter.drawLine(m_from, m_to);
}
