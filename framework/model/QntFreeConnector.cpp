#include "framework/model/QntFreeConnector.h"

VR_CLASS_IMPL(QntFreeConnector, QntConnector)
