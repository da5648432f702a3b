#include "framework/model/QntConnectorSkin.h"

VR_CLASS_IMPL(QntConnectorSkin, VRShapeGroup)
