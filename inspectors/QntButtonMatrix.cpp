#include "inspectors/QntButtonMatrix.h"

#include "inspectors/QntButtonCell.h"

#include <QKeyEvent>

QntButtonMatrix::QntButtonMatrix(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void QntButtonMatrix::addRow(const Cell &cell)
{
    if (!cell.button)
        return;
    Cell added = cell;
    added.button->setParent(this);
    QntButtonCell *button = added.button;
    connect(button, &QAbstractButton::clicked, this, [this, button] {
        for (int row = 0; row < m_cells.size(); ++row) {
            if (m_cells.at(row).button == button) {
                performClickOnRow(row);
                return;
            }
        }
    });
    m_cells.append(added);
    button->show();
}

void QntButtonMatrix::removeAllRows()
{
    while (!m_cells.isEmpty()) {
        Cell cell = m_cells.takeLast();
        delete cell.button;
    }
    m_selectedRow = -1;
}

const QntButtonMatrix::Cell *QntButtonMatrix::cellAtRow(int row) const
{
    if (row < 0 || row >= m_cells.size())
        return nullptr;
    return &m_cells.at(row);
}

QRect QntButtonMatrix::cellFrameAtRow(int row) const
{
    return {0, row * (m_cellSize.height() + m_spacing.height()), m_cellSize.width(),
            m_cellSize.height()};
}

void QntButtonMatrix::sizeToCells()
{
    for (int row = 0; row < m_cells.size(); ++row)
        m_cells.at(row).button->setGeometry(cellFrameAtRow(row));
    const int rows = static_cast<int>(m_cells.size());
    const int height = rows == 0 ? 0 : rows * m_cellSize.height() + (rows - 1) * m_spacing.height();
    resize(m_cellSize.width(), height);
}

bool QntButtonMatrix::selectCellWithTag(int tag)
{
    for (int row = 0; row < m_cells.size(); ++row) {
        if (m_cells.at(row).tag == tag) {
            selectCellAtRow(row);
            return true;
        }
    }
    return false;
}

void QntButtonMatrix::selectCellAtRow(int row)
{
    m_selectedRow = cellAtRow(row) ? row : -1;
}

void QntButtonMatrix::performClickOnRow(int row)
{
    if (!cellAtRow(row))
        return;
    m_selectedRow = row;
    if (m_action)
        m_action(this);
}

void QntButtonMatrix::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    if (!typed.isEmpty() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        for (int row = 0; row < m_cells.size(); ++row) {
            const QString key = m_cells.at(row).button->keyEquivalent();
            if (!key.isEmpty() && key == typed) {
                event->accept();
                performClickOnRow(row);
                return;
            }
        }
    }
    QWidget::keyPressEvent(event);
}
