#pragma once

#include "framework/model/VRShapeGroup.h"

// The body of a connector drawn from a notation's connector body.
class QntConnectorSkin : public VRShapeGroup
{
    VR_CLASS(QntConnectorSkin)
public:
    QntConnectorSkin() = default;
    // The repeated body segments (a body drawn along the route has none).
    struct QntPolySkin {
        VRObjectList elements;
    };
    QntPolySkin polySkin() const { return m_polySkin; }
    void setPolySkin(const QntPolySkin &skin) { m_polySkin = skin; }

private:
    QntPolySkin m_polySkin;
};
