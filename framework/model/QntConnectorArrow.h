#pragma once

#include "framework/model/VRShapeGroup.h"

// An arrowhead element at one end of a connector, made from the notation's element of that id.
class QntConnectorArrow : public VRShapeGroup
{
    VR_CLASS(QntConnectorArrow)
public:
    QntConnectorArrow() = default;
};
