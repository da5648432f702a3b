#include "framework/model/QntUMLSequenceElement.h"

VR_CLASS_IMPL(QntUMLSequenceElement, QntElement)
