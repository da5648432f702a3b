#include "framework/VRTextShape.h"

VR_CLASS_IMPL(VRTextShape, VRDrawableShape)
