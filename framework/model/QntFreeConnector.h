#pragma once

#include "framework/model/QntConnector.h"

// A line object of a notation not attached to elements.
class QntFreeConnector : public QntConnector
{
    VR_CLASS(QntFreeConnector)
public:
    QntFreeConnector() { setMode(1); }
};
