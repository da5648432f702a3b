#include "framework/undo/VKConcreteUndoTask.h"

VR_ABSTRACT_CLASS_IMPL(VKConcreteUndoTask, VKUndoTask)

VKConcreteUndoTask::VKConcreteUndoTask(const void *target, const QString &selectorName,
                                       std::function<void()> inverse)
    : m_target(target)
    , m_selectorName(selectorName)
    , m_inverse(std::move(inverse))
{
}

void VKConcreteUndoTask::perform()
{
    if (m_inverse)
        m_inverse();
}
