#include "framework/model/QntTextShape.h"

VR_CLASS_IMPL(QntTextShape, VRDrawableShape)
