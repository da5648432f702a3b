#pragma once

#include <QPointer>
#include <QTreeView>

class QMenu;
class QntSequenceDiagramController;

// The sequence outline's view: Delete removes the selected entities (a beep when none is
// selected, nothing while a cell is being edited); drags start from here and end in the
// controller; the context menu is prepared by the controller as it opens.
class QntSeqOutlineView : public QTreeView
{
    Q_OBJECT
public:
    QntSeqOutlineView(QntSequenceDiagramController *controller, QWidget *parent = nullptr);

    QMenu *contextMenu() const { return m_menu; }

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QntSequenceDiagramController *m_controller;
    QMenu *m_menu = nullptr;
};
