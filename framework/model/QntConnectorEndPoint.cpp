#include "framework/model/QntConnectorEndPoint.h"

#include "framework/model/QntElement.h"
#include "framework/model/QntStickySpot.h"

QntStickySpot *QntConnectorEndPoint::targetStickySpot() const
{
    auto element = m_element.lock();
    return element ? element->stickySpotAtIndex(m_spot).get() : nullptr;
}

QPointF QntConnectorEndPoint::location() const
{
    if (QntStickySpot *spot = targetStickySpot())
        return spot->location();
    return m_point;
}

void QntConnectorEndPoint::attachTo(QntStickySpot *spot)
{
    m_freeSide = VRRouteSide::Any;
    if (!spot || !spot->owner()) {
        m_point = location();
        m_element.reset();
        m_spot = -1;
        return;
    }
    attach(std::static_pointer_cast<QntElement>(spot->owner()->shared_from_this()), spot->index());
}

void QntConnectorEndPoint::attach(const std::shared_ptr<QntElement> &element, int spotIndex)
{
    m_freeSide = VRRouteSide::Any;
    m_element = element;
    m_spot = element && element->stickySpotAtIndex(spotIndex) ? spotIndex : -1;
    if (m_spot < 0)
        m_element.reset();
    else
        m_point = location();
}
