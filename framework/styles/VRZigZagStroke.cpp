#include "framework/styles/VRZigZagStroke.h"

VR_CLASS_IMPL(VRZigZagStroke, VRStroke)

QPainterPath VRZigZagStroke::strokedPath(const VRRenderContext &context) const
{
    return zigZag(VRStroke::strokedPath(context));
}
