#pragma once

#include "framework/document/VRInspectorBase.h"
#include "platform/NotificationCenter.h"

#include <vector>

class QTreeView;
class RedoDataSource;
class UndoDataSource;
class VRUndoManager;

// A panel with the current document's undo and redo stacks as trees of groups and their
// tasks, newest first, refreshed at every change of the undo state; it can empty both stacks.
class QntUndoInspector : public VRInspectorBase
{
    Q_OBJECT
public:
    explicit QntUndoInspector(QObject *parent = nullptr);
    ~QntUndoInspector() override;

    void undoRedoChangedNotification(const Notification *notification);
    void reloadData() { undoRedoChangedNotification(nullptr); }
    void close();
    void clearStacks();

    QTreeView *undoOutline() const { return _undoOutline; }
    QTreeView *redoOutline() const { return _redoOutline; }
    UndoDataSource *undoDataSource() const { return m_undoSource; }
    RedoDataSource *redoDataSource() const { return m_redoSource; }

protected:
    QWidget *createWindow() override;
    void windowDidLoad() override;
    void documentDidChange(const Notification &notification) override;

private:
    VRUndoManager *currentUndoManager() const;

    QTreeView *_undoOutline = nullptr;
    QTreeView *_redoOutline = nullptr;
    UndoDataSource *m_undoSource = nullptr;
    RedoDataSource *m_redoSource = nullptr;
    std::vector<NotificationToken> m_observers;
};
