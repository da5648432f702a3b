#include "framework/QntConnectorShape.h"

VR_CLASS_IMPL(QntConnectorShape, VRDrawableShape)
