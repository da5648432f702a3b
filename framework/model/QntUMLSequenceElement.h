#pragma once

#include "framework/model/QntElement.h"

// A participant of a sequence diagram (the header of a lifeline).
class QntUMLSequenceElement : public QntElement
{
    VR_CLASS(QntUMLSequenceElement)
public:
    QntUMLSequenceElement() = default;
};
