#pragma once

#include "framework/model/VRTextShapeBase.h"

// The text part of a diagram element (the element lays it out inside its paddings).
class QntTextShape : public VRTextShapeBase
{
    VR_CLASS(QntTextShape)
public:
    QntTextShape() = default;

protected:
    // The element sizes its text part to the room its text has (inside its paddings, or the
    // rectangle inscribed in a diamond): the text fills that box whatever width was fixed.
    QRectF textFrameInBox(const QRectF &box) const override { return box; }
};
