#pragma once

#include <QPointF>

class QntElement;

// A connection point of an element, in the element's unit coordinates (-0.5 ... 0.5).
class QntStickySpot
{
public:
    QntStickySpot(QntElement *owner, QPointF relativePosition)
        : m_owner(owner)
        , m_relative(relativePosition)
    {
    }

    QntElement *owner() const { return m_owner; }
    void setOwner(QntElement *owner) { m_owner = owner; }
    QPointF relativePosition() const { return m_relative; }
    void setRelativePosition(QPointF p) { m_relative = p; }
    // In drawing coordinates.
    QPointF location() const;
    int index() const;

private:
    QntElement *m_owner = nullptr;
    QPointF m_relative;
};
