#include "framework/undo/VKUndoTask.h"

VR_ROOT_CLASS_IMPL(VKUndoTask, nullptr)
