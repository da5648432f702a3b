#include "framework/model/QntConnectorShape.h"

VR_CLASS_IMPL(QntConnectorShape, VRDrawableShape)
