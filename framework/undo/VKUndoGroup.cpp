#include "framework/undo/VKUndoGroup.h"

#include "framework/undo/VKConcreteUndoTask.h"

VR_CLASS_IMPL(VKUndoGroup, VKUndoTask)

void VKUndoGroup::perform()
{
    // Copy first: performing may not change this group, but be safe against reentry.
    const auto tasks = m_tasks;
    for (auto it = tasks.crbegin(); it != tasks.crend(); ++it)
        (*it)->perform();
}

void VKUndoGroup::removeTask(const VKUndoTask *task)
{
    for (int i = 0; i < m_tasks.size(); ++i) {
        if (m_tasks.at(i).get() == task) {
            m_tasks.removeAt(i);
            return;
        }
    }
}

VKConcreteUndoTask *VKUndoGroup::firstConcreteTask() const
{
    for (const auto &task : m_tasks) {
        if (task->isMemberOf<VKConcreteUndoTask>())
            return static_cast<VKConcreteUndoTask *>(task.get());
        if (task->isKindOf<VKUndoGroup>()) {
            if (auto *found = static_cast<VKUndoGroup *>(task.get())->firstConcreteTask())
                return found;
        }
    }
    return nullptr;
}
