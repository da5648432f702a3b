#pragma once

#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class VKUndoGroup;
class VKUndoTask;
#include "framework/undo/VRUndoManager.h"

// One entry of the undo inspector's undo tree: the root (the stack itself), an undo group
// or a task. Children are made on first request, newest first.
class UndoItem
{
public:
    UndoItem(VRUndoManager *undoManager, std::shared_ptr<VKUndoTask> task, UndoItem *parent);
    virtual ~UndoItem();
    UndoItem(const UndoItem &) = delete;
    UndoItem &operator=(const UndoItem &) = delete;

    // The shared root over the given undo manager, made on first request until reset().
    static UndoItem *rootItem(VRUndoManager *undoManager);
    static void reset();

    UndoItem *parent() const { return m_parent; }
    const std::vector<std::unique_ptr<UndoItem>> &children();
    // -1 for a leaf.
    int numberOfChildren();
    UndoItem *childAtIndex(int index);
    int indexInParent() const;
    bool isLeaf();
    QString name() const;
    virtual QString rootName() const { return QStringLiteral("Undo stack"); }
    // The groups of the stack this tree shows, oldest first.
    virtual QList<std::shared_ptr<VKUndoGroup>> stack() const;
    void removeAllActions();
    VRUndoManager *undoManager() const { return _undoMngr; }
    VKUndoTask *undoTask() const { return _undoTask.get(); }

private:
    void makeChildren();

    UndoItem *m_parent = nullptr;
    std::vector<std::unique_ptr<UndoItem>> m_children;
    bool m_childrenMade = false;
    bool m_leaf = false;
    QPointer<VRUndoManager> _undoMngr;
    std::shared_ptr<VKUndoTask> _undoTask;
};
