#pragma once

#include "framework/model/VRTextShapeBase.h"

// Free text made by the "Text" tool: a shape whose content is a block of rich text.
class VRTextShape : public VRTextShapeBase
{
    VR_CLASS(VRTextShape)
public:
    VRTextShape() = default;
};
