#include "framework/model/QntText.h"

VR_CLASS_IMPL(QntText, QntElement)

QntText::QntText()
{
    addTextShape();
}
