#include "framework/QntConnectorStylizedPath.h"

VR_CLASS_IMPL(QntConnectorStylizedPath, VRDrawablePath)
