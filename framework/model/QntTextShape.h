#pragma once

#include "framework/model/VRTextShapeBase.h"

// The text part of a diagram element (the element lays it out inside its paddings).
class QntTextShape : public VRTextShapeBase
{
    VR_CLASS(QntTextShape)
public:
    QntTextShape() = default;
};
