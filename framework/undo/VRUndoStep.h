#pragma once

#include "framework/undo/VRUndoManager.h"

#include <QString>

#include <functional>

// Runs `change` as one undo step named `name`; without a manager it only runs the change.
inline void vrInOneUndoStep(VRUndoManager *undo, const QString &name,
                            const std::function<void()> &change)
{
    if (undo)
        undo->beginUndoGrouping();
    change();
    if (undo) {
        undo->setActionName(name);
        undo->endUndoGrouping();
    }
}
