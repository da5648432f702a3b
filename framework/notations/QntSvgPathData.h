#pragma once

#include "framework/base/VRTypes.h"

#include <QPainterPath>
#include <QString>

// SVG path data ("M 0 0 L 10 0 A 5 5 0 0 1 ...") as used by notation sources and stencil files.
// All commands, absolute and relative. Malformed data fails with the place and the reason, never
// giving a partial path.
class QntSvgPathData
{
public:
    static VRResult<QPainterPath> parse(const QString &data);
};
