#pragma once

#include "app/undo/UndoItem.h"

// The root of the undo inspector's redo tree; its children are ordinary undo items over the
// redo stack's groups.
class RedoItem : public UndoItem
{
public:
    using UndoItem::UndoItem;

    static UndoItem *rootItem(VRUndoManager *undoManager);
    static void reset();

    QString rootName() const override { return QStringLiteral("Redo stack"); }
    QList<std::shared_ptr<VKUndoGroup>> stack() const override;
};
