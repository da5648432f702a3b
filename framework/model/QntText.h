#pragma once

#include "framework/model/QntElement.h"

// A free text element of a notation; its width is its text part's fixed width.
class QntText : public QntElement
{
    VR_CLASS(QntText)
public:
    QntText();

    // Its whole text frame answers, not only its (often absent) parts.
    bool hitTest(QPointF drawingPoint) const override;
};
