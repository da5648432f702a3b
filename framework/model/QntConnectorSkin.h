#pragma once

#include "framework/model/VRShapeGroup.h"

// The body of a connector drawn from a notation's connector body.
class QntConnectorSkin : public VRShapeGroup
{
    VR_CLASS(QntConnectorSkin)
public:
    QntConnectorSkin() = default;
    // The repeated body segments.
    struct QntPolySkin {
        VRObjectList elements;
    };
    QntPolySkin polySkin() const { return {groupObjects()}; }
};
