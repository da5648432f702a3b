#pragma once

#include "framework/model/VRDrawablePath.h"

// The shaft of a connector: follows the connector's path and is drawn with its own style.
class QntConnectorStylizedPath : public VRDrawablePath
{
    VR_CLASS(QntConnectorStylizedPath)
public:
    QntConnectorStylizedPath() = default;
};
