#include "inspectors/QntMatrix.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QMouseEvent>

QntMatrix::QntMatrix(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(4);
}

void QntMatrix::addCell(QAbstractButton *cell)
{
    cell->setCheckable(true);
    cell->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_layout->addWidget(cell);
    m_cells.append(cell);
}

int QntMatrix::cellAt(QPoint position) const
{
    for (int i = 0; i < m_cells.size(); ++i) {
        if (m_cells[i]->isVisible() && m_cells[i]->geometry().contains(position))
            return i;
    }
    return -1;
}

void QntMatrix::mouseDown(QMouseEvent *event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const int index = cellAt(event->position().toPoint());
    if (index < 0 || !m_cells[index]->isEnabled())
        return;
    if (event->modifiers() & Qt::ControlModifier) {
        m_cells[index]->setChecked(!m_cells[index]->isChecked());
    } else {
        for (int i = 0; i < m_cells.size(); ++i)
            m_cells[i]->setChecked(i == index);
    }
    emit cellClicked(index, event->modifiers());
}

void QntMatrix::mousePressEvent(QMouseEvent *event)
{
    QMouseEvent commandClick(event->type(), event->position(), event->scenePosition(),
                             event->globalPosition(), event->button(), event->buttons(),
                             event->modifiers() | Qt::ControlModifier, event->pointingDevice());
    commandClick.setTimestamp(event->timestamp());
    mouseDown(&commandClick);
    event->setAccepted(commandClick.isAccepted());
}
