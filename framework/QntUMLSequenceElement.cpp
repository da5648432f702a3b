#include "framework/QntUMLSequenceElement.h"

VR_CLASS_IMPL(QntUMLSequenceElement, QntElement)
