#pragma once

#include "framework/QntElement.h"

// A participant of a sequence diagram (the header of a lifeline).
class QntUMLSequenceElement : public QntElement
{
    VR_CLASS(QntUMLSequenceElement)
public:
    QntUMLSequenceElement() = default;
};
