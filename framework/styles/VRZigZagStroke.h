#pragma once

#include "framework/styles/VRStroke.h"
#include "framework/styles/VRZigZag.h"

// A stroke that zig-zags along the path.
class VRZigZagStroke : public VRZigZag<VRStroke>
{
    VR_CLASS(VRZigZagStroke)

public:
    VRZigZagStroke() = default;

    static QString UIName() { return QStringLiteral("Zig-Zag Stroke"); }
    QString uiName() const override { return UIName(); }

protected:
    QPainterPath strokedPath(const VRRenderContext &context) const override;
};
