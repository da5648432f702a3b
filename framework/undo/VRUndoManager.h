#pragma once

#include "framework/undo/VKConcreteUndoTask.h"
#include "framework/undo/VKUndoGroup.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// The undo and redo stacks of one document. Registrations made during one turn of the event
// loop form one user action (a top-level group) unless beginUndoGrouping() holds the group
// open; registrations made while undoing go to the redo stack and vice versa.
class VRUndoManager : public QObject
{
    Q_OBJECT
public:
    explicit VRUndoManager(QObject *parent = nullptr);
    ~VRUndoManager() override;

    static constexpr int kMaximumGroups = 100;

    // Records the inverse of a change to target. selectorName names the change in the undo
    // inspector and, with target, identifies it for coalescing.
    template <class T>
    void registerUndo(T *target, const char *selectorName, std::function<void()> inverse)
    {
        registerUndoTask(static_cast<const void *>(target), QString::fromLatin1(selectorName),
                         std::move(inverse));
    }
    void registerUndoTask(const void *target, const QString &selectorName,
                          std::function<void()> inverse);

    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const { return int(m_open.size()); }

    // Names the open top-level group, else the newest group on the undo stack.
    void setActionName(const QString &name);

    void undo();
    void redo();
    bool canUndo() const;
    bool canRedo() const;
    bool isUndoing() const { return m_undoing; }
    bool isRedoing() const { return m_redoing; }

    bool isUndoRegistrationEnabled() const { return m_disableCount == 0; }
    void disableUndoRegistration() { ++m_disableCount; }
    void enableUndoRegistration();

    void disableUndoTaskCoalescing() { m_coalescing = false; }
    void enableUndoTaskCoalescing() { m_coalescing = true; }
    bool isUndoTaskCoalescingEnabled() const { return m_coalescing; }

    // Oldest first.
    QList<std::shared_ptr<VKUndoGroup>> undoStack() const { return m_undoStack; }
    QList<std::shared_ptr<VKUndoGroup>> redoStack() const { return m_redoStack; }

    void removeAllActions();
    void removeAllActionsWithTarget(const void *target);

    QString undoActionName() const;
    QString redoActionName() const;
    QString undoMenuItemTitle() const;
    QString redoMenuItemTitle() const;

    // The clean position is set when a document is opened or saved.
    void markClean();
    bool isClean() const;

    // Closes the group of the current event-loop turn now (the event loop does it otherwise).
    void closeOpenGroups();

private:
    void commitTopLevelGroup(std::shared_ptr<VKUndoGroup> group);
    void scheduleAutoClose();
    void postChanged(const void *object, const std::shared_ptr<VKUndoGroup> &group,
                     VKConcreteUndoTask *task);
    static bool groupHasTarget(VKUndoGroup &group, const void *target);

    QList<std::shared_ptr<VKUndoGroup>> m_undoStack;
    QList<std::shared_ptr<VKUndoGroup>> m_redoStack;
    QList<std::shared_ptr<VKUndoGroup>> m_open;
    bool m_autoGroupOpen = false;
    bool m_autoCloseScheduled = false;
    // The last top-level group closed was empty and dropped: a name given to it right after
    // closing must not go to the step before it.
    bool m_droppedEmptyGroup = false;
    bool m_undoing = false;
    bool m_redoing = false;
    bool m_coalescing = true;
    int m_disableCount = 0;
    // Positions count groups ever pushed below the top of the undo stack.
    qint64 m_position = 0;
    qint64 m_trimmed = 0;
    qint64 m_cleanPosition = 0;
    bool m_cleanValid = true;
};
