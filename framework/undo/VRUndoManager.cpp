#include "framework/undo/VRUndoManager.h"

#include "framework/base/VRConstants.h"
#include "framework/base/VRTypes.h"
#include "platform/NotificationCenter.h"

#include <QPointer>
#include <QTimer>

VRUndoManager::VRUndoManager(QObject *parent)
    : QObject(parent)
{
}

VRUndoManager::~VRUndoManager() = default;

void VRUndoManager::registerUndoTask(const void *target, const QString &selectorName,
                                     std::function<void()> inverse)
{
    if (!isUndoRegistrationEnabled())
        return;
    m_droppedEmptyGroup = false;
    if (m_open.isEmpty()) {
        m_open.append(std::make_shared<VKUndoGroup>());
        m_autoGroupOpen = true;
        scheduleAutoClose();
    }
    VKUndoGroup &group = *m_open.last();
    if (m_coalescing && !m_undoing && !m_redoing) {
        // The group keeps the oldest state of a repeated change.
        if (VKUndoTask *last = group.lastTask(); last && last->isMemberOf<VKConcreteUndoTask>()) {
            auto *concrete = static_cast<VKConcreteUndoTask *>(last);
            if (concrete->target() == target && concrete->selectorName() == selectorName)
                return;
        }
    }
    group.addTask(std::make_shared<VKConcreteUndoTask>(target, selectorName, std::move(inverse)));
}

void VRUndoManager::scheduleAutoClose()
{
    if (m_autoCloseScheduled)
        return;
    m_autoCloseScheduled = true;
    QPointer<VRUndoManager> self(this);
    QTimer::singleShot(0, this, [self] {
        if (!self)
            return;
        self->m_autoCloseScheduled = false;
        if (self->m_autoGroupOpen && self->m_open.size() == 1) {
            auto group = self->m_open.takeLast();
            self->m_autoGroupOpen = false;
            self->commitTopLevelGroup(group);
        }
    });
}

void VRUndoManager::beginUndoGrouping()
{
    m_droppedEmptyGroup = false;
    auto group = std::make_shared<VKUndoGroup>();
    if (!m_open.isEmpty())
        m_open.last()->addTask(group);
    m_open.append(group);
}

void VRUndoManager::endUndoGrouping()
{
    VR_ASSERT(!m_open.isEmpty(), return );
    if (m_autoGroupOpen && m_open.size() == 1) {
        // The group of this event-loop turn was not opened by beginUndoGrouping().
        qWarning("vr: endUndoGrouping without a matching beginUndoGrouping");
        return;
    }
    auto group = m_open.takeLast();
    if (!m_open.isEmpty()) {
        if (group->isEmpty())
            m_open.last()->removeTask(group.get());
        if (m_autoGroupOpen && m_open.size() == 1)
            scheduleAutoClose();
        return;
    }
    commitTopLevelGroup(group);
}

void VRUndoManager::closeOpenGroups()
{
    while (!m_open.isEmpty()) {
        auto group = m_open.takeLast();
        if (!m_open.isEmpty()) {
            if (group->isEmpty())
                m_open.last()->removeTask(group.get());
            continue;
        }
        m_autoGroupOpen = false;
        commitTopLevelGroup(group);
    }
}

void VRUndoManager::commitTopLevelGroup(std::shared_ptr<VKUndoGroup> group)
{
    m_droppedEmptyGroup = group->isEmpty();
    if (m_droppedEmptyGroup)
        return;
    if (m_undoing) {
        m_redoStack.append(group);
        return;
    }
    if (m_redoing) {
        m_undoStack.append(group);
        ++m_position;
        return;
    }
    if (!m_redoStack.isEmpty()) {
        m_redoStack.clear();
        // The clean state was among the dropped redo steps: it cannot be reached any more.
        if (m_cleanPosition > m_position)
            m_cleanValid = false;
    }
    m_undoStack.append(group);
    ++m_position;
    while (m_undoStack.size() > kMaximumGroups) {
        m_undoStack.removeFirst();
        ++m_trimmed;
    }
    if (m_cleanPosition < m_trimmed)
        m_cleanValid = false;
    postChanged(group->firstConcreteTask(), group, group->firstConcreteTask());
}

void VRUndoManager::postChanged(const void *object, const std::shared_ptr<VKUndoGroup> &group,
                                VKConcreteUndoTask *task)
{
    QVariantMap info;
    info.insert(QStringLiteral("UndoManager"), QVariant::fromValue(this));
    if (task)
        info.insert(QStringLiteral("object"), QVariant::fromValue(task));
    else if (group)
        info.insert(QStringLiteral("object"), QVariant::fromValue(group));
    NotificationCenter::defaultCenter().post(kQntUndoRedoChangedNotification, object, info);
}

void VRUndoManager::setActionName(const QString &name)
{
    if (m_undoing || m_redoing)
        return; // the group being built keeps the name of the step it reverses
    if (!m_open.isEmpty()) {
        m_open.first()->setActionName(name);
        return;
    }
    if (m_droppedEmptyGroup)
        return; // the step being named recorded nothing
    if (!m_undoStack.isEmpty())
        m_undoStack.last()->setActionName(name);
}

bool VRUndoManager::canUndo() const
{
    if (!m_undoStack.isEmpty())
        return true;
    return !m_open.isEmpty() && !m_open.first()->isEmpty();
}

bool VRUndoManager::canRedo() const
{
    return !m_redoStack.isEmpty();
}

void VRUndoManager::enableUndoRegistration()
{
    VR_ASSERT(m_disableCount > 0, return );
    --m_disableCount;
}

void VRUndoManager::undo()
{
    if (m_undoing || m_redoing)
        return;
    closeOpenGroups();
    if (m_undoStack.isEmpty())
        return;
    auto group = m_undoStack.takeLast();
    --m_position;
    m_undoing = true;
    auto redoGroup = std::make_shared<VKUndoGroup>();
    redoGroup->setActionName(group->actionName());
    m_open.append(redoGroup);
    group->perform();
    m_open.clear();
    if (!redoGroup->isEmpty())
        m_redoStack.append(redoGroup);
    m_undoing = false;
    postChanged(group.get(), group, nullptr);
    QVariantMap info{{QStringLiteral("UndoManager"), QVariant::fromValue(this)}};
    NotificationCenter::defaultCenter().post(kVRUndoManagerDidUndoChangeNotification, this, info);
}

void VRUndoManager::redo()
{
    if (m_undoing || m_redoing)
        return;
    closeOpenGroups();
    if (m_redoStack.isEmpty())
        return;
    auto group = m_redoStack.takeLast();
    m_redoing = true;
    auto undoGroup = std::make_shared<VKUndoGroup>();
    undoGroup->setActionName(group->actionName());
    m_open.append(undoGroup);
    group->perform();
    m_open.clear();
    if (!undoGroup->isEmpty()) {
        m_undoStack.append(undoGroup);
        ++m_position;
    }
    m_redoing = false;
    postChanged(group.get(), group, nullptr);
    QVariantMap info{{QStringLiteral("UndoManager"), QVariant::fromValue(this)}};
    NotificationCenter::defaultCenter().post(kVRUndoManagerDidRedoChangeNotification, this, info);
}

void VRUndoManager::removeAllActions()
{
    m_undoStack.clear();
    m_redoStack.clear();
    m_open.clear();
    m_autoGroupOpen = false;
    m_cleanValid = false;
    QVariantMap info{{QStringLiteral("UndoManager"), QVariant::fromValue(this)}};
    NotificationCenter::defaultCenter().post(kQntUndoRedoChangedNotification, nullptr, info);
}

bool VRUndoManager::groupHasTarget(VKUndoGroup &group, const void *target)
{
    for (const auto &task : group.tasks()) {
        if (task->isMemberOf<VKConcreteUndoTask>()) {
            if (static_cast<VKConcreteUndoTask *>(task.get())->target() == target)
                return true;
        } else if (task->isKindOf<VKUndoGroup>()
                   && groupHasTarget(*static_cast<VKUndoGroup *>(task.get()), target)) {
            return true;
        }
    }
    return false;
}

void VRUndoManager::removeAllActionsWithTarget(const void *target)
{
    // A step that touches the target cannot be replayed safely any more, nor can anything
    // stacked after it on the same stack.
    auto cut = [this, target](QList<std::shared_ptr<VKUndoGroup>> &stack, bool undoSide) {
        for (int i = int(stack.size()) - 1; i >= 0; --i) {
            if (groupHasTarget(*stack[i], target)) {
                stack.erase(stack.begin(), stack.begin() + i + 1);
                if (undoSide)
                    m_trimmed += i + 1;
                if (undoSide ? m_cleanPosition < m_trimmed : m_cleanPosition > m_position)
                    m_cleanValid = false;
                return;
            }
        }
    };
    cut(m_undoStack, true);
    cut(m_redoStack, false);
}

QString VRUndoManager::undoActionName() const
{
    return m_undoStack.isEmpty() ? QString() : m_undoStack.last()->actionName();
}

QString VRUndoManager::redoActionName() const
{
    return m_redoStack.isEmpty() ? QString() : m_redoStack.last()->actionName();
}

QString VRUndoManager::undoMenuItemTitle() const
{
    const QString name = undoActionName();
    return name.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo ") + name;
}

QString VRUndoManager::redoMenuItemTitle() const
{
    const QString name = redoActionName();
    return name.isEmpty() ? QStringLiteral("Redo") : QStringLiteral("Redo ") + name;
}

void VRUndoManager::markClean()
{
    closeOpenGroups();
    m_cleanPosition = m_position;
    m_cleanValid = true;
}

bool VRUndoManager::isClean() const
{
    if (!m_open.isEmpty() && !m_open.first()->isEmpty())
        return false;
    return m_cleanValid && m_cleanPosition == m_position;
}
