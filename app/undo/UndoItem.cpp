#include "app/undo/UndoItem.h"

#include "framework/undo/VKConcreteUndoTask.h"
#include "framework/undo/VKUndoGroup.h"
#include "framework/undo/VRUndoManager.h"

#include <algorithm>

namespace {

std::unique_ptr<UndoItem> &undoRoot()
{
    static std::unique_ptr<UndoItem> root;
    return root;
}

} // namespace

UndoItem::UndoItem(VRUndoManager *undoManager, std::shared_ptr<VKUndoTask> task, UndoItem *parent)
    : m_parent(parent)
    , _undoMngr(undoManager)
    , _undoTask(std::move(task))
{
}

UndoItem::~UndoItem() = default;

UndoItem *UndoItem::rootItem(VRUndoManager *undoManager)
{
    std::unique_ptr<UndoItem> &root = undoRoot();
    if (!root)
        root = std::make_unique<UndoItem>(undoManager, nullptr, nullptr);
    return root.get();
}

void UndoItem::reset()
{
    undoRoot().reset();
}

QList<std::shared_ptr<VKUndoGroup>> UndoItem::stack() const
{
    return _undoMngr ? _undoMngr->undoStack() : QList<std::shared_ptr<VKUndoGroup>>();
}

void UndoItem::makeChildren()
{
    if (m_childrenMade)
        return;
    m_childrenMade = true;
    QList<std::shared_ptr<VKUndoTask>> source;
    if (!_undoTask) {
        for (const auto &group : stack())
            source.append(group);
    } else if (auto *group = dynamic_cast<VKUndoGroup *>(_undoTask.get())) {
        source = group->tasks();
    } else {
        m_leaf = true;
        return;
    }
    // Newest first.
    for (auto it = source.crbegin(); it != source.crend(); ++it)
        m_children.push_back(std::make_unique<UndoItem>(_undoMngr.data(), *it, this));
}

const std::vector<std::unique_ptr<UndoItem>> &UndoItem::children()
{
    makeChildren();
    return m_children;
}

bool UndoItem::isLeaf()
{
    makeChildren();
    return m_leaf;
}

int UndoItem::numberOfChildren()
{
    makeChildren();
    return m_leaf ? -1 : int(m_children.size());
}

UndoItem *UndoItem::childAtIndex(int index)
{
    makeChildren();
    return index >= 0 && index < int(m_children.size()) ? m_children[size_t(index)].get() : nullptr;
}

int UndoItem::indexInParent() const
{
    if (!m_parent)
        return 0;
    const auto &siblings = m_parent->m_children;
    const auto it = std::find_if(siblings.begin(), siblings.end(),
                                 [this](const auto &c) { return c.get() == this; });
    return it == siblings.end() ? 0 : int(it - siblings.begin());
}

QString UndoItem::name() const
{
    if (!_undoTask)
        return rootName();
    if (auto *group = dynamic_cast<const VKUndoGroup *>(_undoTask.get()))
        return group->actionName();
    if (auto *task = dynamic_cast<const VKConcreteUndoTask *>(_undoTask.get()))
        return task->selectorName();
    return QStringLiteral("unknown task");
}

void UndoItem::removeAllActions()
{
    if (_undoMngr)
        _undoMngr->removeAllActions();
}
