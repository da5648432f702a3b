#include "framework/model/QntConnectorArrow.h"

VR_CLASS_IMPL(QntConnectorArrow, VRShapeGroup)
