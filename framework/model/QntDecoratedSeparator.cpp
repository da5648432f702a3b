#include "framework/model/QntDecoratedSeparator.h"

VR_CLASS_IMPL(QntDecoratedSeparator, QntFreeConnector)
