#pragma once

#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>

class QMenu;
class QntSequenceDiagramController;

// The header of the sequence outline: remembers the column of the last right click for the
// timeline commands of its menu, and edits a timeline's title in place on a double click.
class QntSeqTableViewHeaderView : public QHeaderView
{
    Q_OBJECT
public:
    QntSeqTableViewHeaderView(QntSequenceDiagramController *controller, QWidget *parent = nullptr);

    int clickedColumn() const;
    QMenu *headerMenu() const { return m_menu; }
    // Starts editing the title of a timeline column; false for the fixed columns.
    bool editTitle(int column);
    QLineEdit *titleEditor() const { return m_editor; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void finishEditing(bool commit);

    QntSequenceDiagramController *m_controller;
    QMenu *m_menu;
    QPointer<QLineEdit> m_editor;
    int m_editedColumn = -1;
};
