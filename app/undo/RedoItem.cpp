#include "app/undo/RedoItem.h"

#include "framework/undo/VKUndoGroup.h"
#include "framework/undo/VRUndoManager.h"

namespace {

std::unique_ptr<UndoItem> &redoRoot()
{
    static std::unique_ptr<UndoItem> root;
    return root;
}

} // namespace

UndoItem *RedoItem::rootItem(VRUndoManager *undoManager)
{
    std::unique_ptr<UndoItem> &root = redoRoot();
    if (!root)
        root = std::make_unique<RedoItem>(undoManager, nullptr, nullptr);
    return root.get();
}

void RedoItem::reset()
{
    redoRoot().reset();
}

QList<std::shared_ptr<VKUndoGroup>> RedoItem::stack() const
{
    return undoManager() ? undoManager()->redoStack() : QList<std::shared_ptr<VKUndoGroup>>();
}
