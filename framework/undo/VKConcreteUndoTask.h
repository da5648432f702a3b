#pragma once

#include "framework/undo/VKUndoTask.h"

#include <QString>

#include <functional>

// An inverse call on one target, named by the selector that registered it.
class VKConcreteUndoTask : public VKUndoTask
{
    VR_CLASS(VKConcreteUndoTask)
public:
    VKConcreteUndoTask() = default;
    VKConcreteUndoTask(const void *target, const QString &selectorName,
                       std::function<void()> inverse);

    void perform() override;
    QString selectorName() const { return m_selectorName; }
    const void *target() const { return m_target; }

private:
    const void *m_target = nullptr;
    QString m_selectorName;
    std::function<void()> m_inverse;
};
