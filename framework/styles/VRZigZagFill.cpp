#include "framework/styles/VRZigZagFill.h"

VR_CLASS_IMPL(VRZigZagFill, VRFill)

QPainterPath VRZigZagFill::filledPath(const VRRenderContext &context) const
{
    return zigZag(VRFill::filledPath(context));
}
