#include "framework/QntConnectorSkin.h"

VR_CLASS_IMPL(QntConnectorSkin, VRShapeGroup)
