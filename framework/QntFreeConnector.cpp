#include "framework/QntFreeConnector.h"

VR_CLASS_IMPL(QntFreeConnector, QntConnector)
