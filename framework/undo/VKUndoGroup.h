#pragma once

#include "framework/undo/VKUndoTask.h"

#include <QList>
#include <QString>

#include <memory>

// A named user action: child tasks and nested groups, undone newest first.
class VKUndoGroup : public VKUndoTask
{
    VR_CLASS(VKUndoGroup)
public:
    VKUndoGroup() = default;

    void perform() override;
    QString actionName() const { return m_actionName; }
    void setActionName(const QString &name) { m_actionName = name; }
    QList<std::shared_ptr<VKUndoTask>> tasks() const { return m_tasks; }
    void addTask(std::shared_ptr<VKUndoTask> task) { m_tasks.append(std::move(task)); }
    void removeTask(const VKUndoTask *task);
    bool isEmpty() const { return m_tasks.isEmpty(); }
    // The last task added directly to this group, or null.
    VKUndoTask *lastTask() const { return m_tasks.isEmpty() ? nullptr : m_tasks.last().get(); }
    // The first concrete task in this group or its subgroups, or null.
    class VKConcreteUndoTask *firstConcreteTask() const;

private:
    QString m_actionName;
    QList<std::shared_ptr<VKUndoTask>> m_tasks;
};
