#include "framework/model/QntText.h"

VR_CLASS_IMPL(QntText, QntElement)

QntText::QntText()
{
    addTextShape();
}

bool QntText::hitTest(QPointF p) const
{
    if (!isVisible() || !bounds().contains(p))
        return false;
    return QntElement::hitTest(p) || VRDrawableShape::renderingPath().contains(p);
}
