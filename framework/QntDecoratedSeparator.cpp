#include "framework/QntDecoratedSeparator.h"

VR_CLASS_IMPL(QntDecoratedSeparator, QntFreeConnector)
