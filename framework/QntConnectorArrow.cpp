#include "framework/QntConnectorArrow.h"

VR_CLASS_IMPL(QntConnectorArrow, VRShapeGroup)
