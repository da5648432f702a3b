#include "framework/model/QntConnectorStylizedPath.h"

VR_CLASS_IMPL(QntConnectorStylizedPath, VRDrawablePath)
