#pragma once

#include "framework/model/QntElement.h"

// A free text element of a notation; its width is its text part's fixed width.
class QntText : public QntElement
{
    VR_CLASS(QntText)
public:
    QntText();
};
