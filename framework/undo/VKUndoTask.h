#pragma once

#include "framework/base/VRClassInfo.h"

// One undoable step: performing it restores an earlier state.
class VKUndoTask
{
    VR_ROOT_CLASS(VKUndoTask)
public:
    VKUndoTask() = default;
    virtual ~VKUndoTask() = default;
    VKUndoTask(const VKUndoTask &) = delete;
    VKUndoTask &operator=(const VKUndoTask &) = delete;

    virtual void perform() = 0;
};
