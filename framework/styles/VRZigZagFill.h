#pragma once

#include "framework/styles/VRFill.h"
#include "framework/styles/VRZigZag.h"

// A fill whose edge zig-zags.
class VRZigZagFill : public VRZigZag<VRFill>
{
    VR_CLASS(VRZigZagFill)

public:
    VRZigZagFill() = default;

    static QString UIName() { return QStringLiteral("Zig-Zag Fill"); }
    QString uiName() const override { return UIName(); }

protected:
    QPainterPath filledPath(const VRRenderContext &context) const override;
};
