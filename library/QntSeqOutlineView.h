#pragma once

#include "app/common/VKOutlineView.h"

#include <QPointer>

class QMenu;
class QntSequenceDiagramController;

// The sequence outline's view: Delete removes the selected entities (a beep when none is
// selected, nothing while a cell is being edited); drags start from here and end in the
// controller; the context menu is prepared by the controller as it opens (the expandable
// column has a menu of its own). Its check boxes toggle in place.
class QntSeqOutlineView : public VKOutlineView
{
    Q_OBJECT
public:
    QntSeqOutlineView(QntSequenceDiagramController *controller, QWidget *parent = nullptr);

    QMenu *contextMenu() const { return m_menu; }
    QMenu *expandableColumnMenu() const { return m_expandableMenu; }

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void buttonCellClicked(const QModelIndex &index) override;

private:
    QntSequenceDiagramController *m_controller;
    QMenu *m_menu = nullptr;
    QMenu *m_expandableMenu = nullptr;
};
