#include "framework/view/QntStickySpotInsertDeleteTool.h"

#include "framework/view/VRDrawingView.h"
#include "framework/view/VRViewController.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntStickySpot.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

VR_CLASS_IMPL_WITH(QntStickySpotInsertDeleteTool, &VRDrawingTool::staticClass(), nullptr)

namespace {
// View pixels within which a click picks a spot.
constexpr double kPickDistance = 8.0;
}

std::shared_ptr<QntElement> QntStickySpotInsertDeleteTool::elementAt(VRDrawingView &view,
                                                                     QPointF point) const
{
    VRObjectRef hit = view.objectAtPoint(point);
    if (hit && hit->isKindOf<QntElement>())
        return std::static_pointer_cast<QntElement>(hit);
    // A spot just outside the outline still belongs to the element under the pointer before.
    if (auto e = m_element.lock(); e && e->bounds().adjusted(-10, -10, 10, 10).contains(point))
        return e;
    return nullptr;
}

int QntStickySpotInsertDeleteTool::spotNear(VRDrawingView &view, const QntElement &element,
                                            QPointF point) const
{
    int best = -1;
    double bestDistance = kPickDistance;
    const QPointF v = view.mapFromDrawing(point);
    const auto &spots = element.stickySpots();
    for (int k = 0; k < spots.size(); ++k) {
        const QPointF s = view.mapFromDrawing(spots[k]->location());
        const double d = std::hypot(s.x() - v.x(), s.y() - v.y());
        if (d <= bestDistance) {
            bestDistance = d;
            best = k;
        }
    }
    return best;
}

void QntStickySpotInsertDeleteTool::mousePressed(VRDrawingView &view, const VRToolEvent &event)
{
    std::shared_ptr<QntElement> element = elementAt(view, event.rawPoint);
    m_element = element;
    m_dragSpot = -1;
    if (!element || element->isLocked())
        return;
    switch (m_mode) {
    case Mode::Insert:
    case Mode::InsertOne: {
        QPointF rel = element->transformIncludingParent().inverted().map(event.rawPoint);
        rel = QPointF(std::clamp(rel.x(), -0.5, 0.5), std::clamp(rel.y(), -0.5, 0.5));
        element->insertStickySpot(rel);
        view.updateDrawingRect(element->bounds());
        if (m_mode == Mode::InsertOne)
            view.controller()->setDrawingTool(nullptr);
        break;
    }
    case Mode::Delete: {
        const int k = spotNear(view, *element, event.rawPoint);
        if (k >= 0)
            element->removeStickySpot(element->stickySpots().at(k).get());
        view.updateDrawingRect(element->bounds());
        break;
    }
    case Mode::Select: m_dragSpot = spotNear(view, *element, event.rawPoint); break;
    }
}

void QntStickySpotInsertDeleteTool::mouseDragged(VRDrawingView &view, const VRToolEvent &event)
{
    std::shared_ptr<QntElement> element = m_element.lock();
    if (!element || m_dragSpot < 0 || m_dragSpot >= element->stickySpots().size())
        return;
    QPointF rel = element->transformIncludingParent().inverted().map(event.rawPoint);
    rel = QPointF(std::clamp(rel.x(), -0.5, 0.5), std::clamp(rel.y(), -0.5, 0.5));
    element->stickySpots().at(m_dragSpot)->setRelativePosition(rel);
    element->updateConnectedConnectors();
    view.updateDrawingRect(element->bounds());
}

void QntStickySpotInsertDeleteTool::mouseReleased(VRDrawingView &view, const VRToolEvent &)
{
    if (std::shared_ptr<QntElement> element = m_element.lock())
        view.updateDrawingRect(element->bounds());
    m_dragSpot = -1;
}

void QntStickySpotInsertDeleteTool::mouseMoved(VRDrawingView &view, const VRToolEvent &event)
{
    std::shared_ptr<QntElement> old = m_element.lock();
    std::shared_ptr<QntElement> element = elementAt(view, event.rawPoint);
    if (element == old)
        return;
    if (old)
        view.updateDrawingRect(old->bounds());
    if (element)
        view.updateDrawingRect(element->bounds());
    m_element = element;
}

void QntStickySpotInsertDeleteTool::paintOverlay(VRDrawingView &view, QPainter &painter) const
{
    std::shared_ptr<QntElement> element = m_element.lock();
    if (!element)
        return;
    const double px = 1.0 / view.scale();
    painter.setPen(QPen(QColor(220, 70, 40), px));
    painter.setBrush(QColor(255, 255, 255, 220));
    for (const auto &spot : element->stickySpots())
        painter.drawEllipse(spot->location(), 4 * px, 4 * px);
}
