#include "framework/model/VRTextShape.h"

VR_CLASS_IMPL(VRTextShape, VRDrawableShape)
