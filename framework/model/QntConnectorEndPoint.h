#pragma once

#include "framework/routing/VRRouteTypes.h"

#include <QPointF>

#include <memory>

class QntConnector;
class QntConnectorArrow;
class QntElement;
class QntStickySpot;

// One end of a connector: free at a point, or attached to a sticky spot of an element.
class QntConnectorEndPoint
{
public:
    explicit QntConnectorEndPoint(QntConnector *owner)
        : m_owner(owner)
    {
    }

    QntConnector *owner() const { return m_owner; }
    QntConnectorArrow *arrow() const { return m_arrow.get(); }
    std::shared_ptr<QntConnectorArrow> arrowRef() const { return m_arrow; }
    void setArrow(std::shared_ptr<QntConnectorArrow> arrow) { m_arrow = std::move(arrow); }
    // Null when free (or when its element is gone).
    QntStickySpot *targetStickySpot() const;
    std::shared_ptr<QntElement> targetElement() const { return m_element.lock(); }
    int spotIndex() const { return m_spot; }
    // In drawing coordinates: the spot's location when attached, else the free point.
    QPointF location() const;
    void setPoint(QPointF point) { m_point = point; }
    QPointF point() const { return m_point; }
    // The way a free end's line leaves it, for the router: a copied or stored route keeps its
    // look. Any once the end is put somewhere else.
    VRRouteSide freeSide() const { return m_freeSide; }
    void setFreeSide(VRRouteSide side) { m_freeSide = side; }
    // Attaches to a spot; null frees the end where it is.
    void attachTo(QntStickySpot *spot);
    void attach(const std::shared_ptr<QntElement> &element, int spotIndex);

private:
    QntConnector *m_owner = nullptr;
    std::weak_ptr<QntElement> m_element;
    std::shared_ptr<QntConnectorArrow> m_arrow;
    QPointF m_point;
    int m_spot = -1;
    VRRouteSide m_freeSide = VRRouteSide::Any;
};
