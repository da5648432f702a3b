#pragma once

#include "framework/model/VRDrawableShape.h"

// A plain shape part of a connector skin.
class QntConnectorShape : public VRDrawableShape
{
    VR_CLASS(QntConnectorShape)
public:
    QntConnectorShape() = default;
};
