#include "library/QntSeqTableViewHeaderView.h"

#include "library/QntSequenceDiagramController.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>

QntSeqTableViewHeaderView::QntSeqTableViewHeaderView(QntSequenceDiagramController *controller,
                                                     QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent)
    , m_controller(controller)
    , m_menu(new QMenu(this))
{
    m_menu->setObjectName(QStringLiteral("headerViewMenu"));
    setSectionsClickable(true);
    setHighlightSections(false);
}

int QntSeqTableViewHeaderView::clickedColumn() const
{
    return m_controller->clickedColumn();
}

void QntSeqTableViewHeaderView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        m_controller->setClickedColumn(logicalIndexAt(event->position().toPoint()));
    QHeaderView::mousePressEvent(event);
}

void QntSeqTableViewHeaderView::contextMenuEvent(QContextMenuEvent *event)
{
    m_controller->setClickedColumn(logicalIndexAt(event->pos()));
    m_controller->prepareHeaderMenu(*m_menu);
    m_menu->popup(event->globalPos());
}

void QntSeqTableViewHeaderView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!editTitle(logicalIndexAt(event->position().toPoint())))
        QHeaderView::mouseDoubleClickEvent(event);
}

bool QntSeqTableViewHeaderView::editTitle(int column)
{
    if (column < QntSequenceDiagramController::kFixedColumns
        || column >= m_controller->numberOfColumns())
        return false;
    finishEditing(false);
    m_editedColumn = column;
    m_editor = new QLineEdit(m_controller->timelineTitle(column), viewport());
    m_editor->setObjectName(QStringLiteral("timelineTitleEditor"));
    m_editor->setStyleSheet(QStringLiteral("background: white;"));
    m_editor->setGeometry(sectionViewportPosition(column), 0, sectionSize(column), height());
    m_editor->selectAll();
    connect(m_editor, &QLineEdit::editingFinished, this, [this] { finishEditing(true); });
    m_editor->show();
    m_editor->setFocus();
    return true;
}

void QntSeqTableViewHeaderView::finishEditing(bool commit)
{
    if (!m_editor)
        return;
    QLineEdit *editor = m_editor;
    m_editor = nullptr;
    const QString text = editor->text().trimmed();
    if (commit && !text.isEmpty())
        m_controller->setTimelineTitle(m_editedColumn, text);
    m_editedColumn = -1;
    editor->hide();
    editor->deleteLater();
}
