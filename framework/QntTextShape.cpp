#include "framework/QntTextShape.h"

VR_CLASS_IMPL(QntTextShape, VRDrawableShape)
