#include "framework/model/QntStickySpot.h"

#include "framework/model/QntElement.h"

QPointF QntStickySpot::location() const
{
    return m_owner ? m_owner->transformIncludingParent().map(m_relative) : m_relative;
}

int QntStickySpot::index() const
{
    if (!m_owner)
        return -1;
    const auto spots = m_owner->stickySpots();
    for (int i = 0; i < spots.size(); ++i) {
        if (spots.at(i).get() == this)
            return i;
    }
    return -1;
}
