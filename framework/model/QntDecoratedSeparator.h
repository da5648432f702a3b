#pragma once

#include "framework/model/QntFreeConnector.h"

// A separator line whose style repeats an element along it.
class QntDecoratedSeparator : public QntFreeConnector
{
    VR_CLASS(QntDecoratedSeparator)
public:
    QntDecoratedSeparator() = default;
    bool fixedLayoutMode() const override { return true; }
};
