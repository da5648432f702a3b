#include "inspectors/QntColorMatrix.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

QntColorMatrix::QntColorMatrix(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_TranslucentBackground);
}

void QntColorMatrix::renewRows(int rows, int columns)
{
    m_rows = std::max(0, rows);
    m_columns = std::max(0, columns);
    m_cells.assign(size_t(m_rows) * size_t(m_columns), std::nullopt);
    m_selectedRow = m_selectedColumn = -1;
    m_pressedIndex = -1;
    update();
}

void QntColorMatrix::addRowAndDropFirst(const QList<Cell> &cells)
{
    if (m_rows == 0 || m_columns == 0)
        return;
    m_cells.erase(m_cells.begin(), m_cells.begin() + m_columns);
    for (int column = 0; column < m_columns; ++column) {
        if (column < cells.size())
            m_cells.push_back(cells.at(column));
        else
            m_cells.push_back(std::nullopt);
    }
    update();
}

void QntColorMatrix::addColumnAndDropFirst(const QList<Cell> &cells)
{
    if (m_rows == 0 || m_columns == 0)
        return;
    std::vector<std::optional<Cell>> renewed;
    renewed.reserve(m_cells.size());
    for (int row = 0; row < m_rows; ++row) {
        for (int column = 1; column < m_columns; ++column)
            renewed.push_back(m_cells[size_t(indexOf(row, column))]);
        if (row < cells.size())
            renewed.push_back(cells.at(row));
        else
            renewed.push_back(std::nullopt);
    }
    m_cells = std::move(renewed);
    update();
}

const QntColorMatrix::Cell *QntColorMatrix::cellAtRow(int row, int column) const
{
    if (row < 0 || column < 0 || row >= m_rows || column >= m_columns)
        return nullptr;
    const std::optional<Cell> &cell = m_cells[size_t(indexOf(row, column))];
    return cell ? &*cell : nullptr;
}

QList<QntColorMatrix::Cell> QntColorMatrix::cells() const
{
    QList<Cell> all;
    for (const std::optional<Cell> &cell : m_cells) {
        if (cell)
            all.append(*cell);
    }
    return all;
}

void QntColorMatrix::sizeToCells()
{
    const auto extent = [](int count, int cell, int spacing) {
        return count == 0 ? 0 : count * cell + (count - 1) * spacing;
    };
    resize(extent(m_columns, m_cellSize.width(), m_spacing.width()),
           extent(m_rows, m_cellSize.height(), m_spacing.height()));
}

QRect QntColorMatrix::cellFrameAtRow(int row, int column) const
{
    return {column * (m_cellSize.width() + m_spacing.width()),
            row * (m_cellSize.height() + m_spacing.height()), m_cellSize.width(),
            m_cellSize.height()};
}

void QntColorMatrix::performClickOnCell(int row, int column)
{
    const Cell *cell = cellAtRow(row, column);
    if (!cell)
        return;
    m_selectedRow = row;
    m_selectedColumn = column;
    update();
    // The action may close the popover and with it this grid.
    const Action action = cell->action;
    if (action)
        action(this);
}

bool QntColorMatrix::cellAt(QPoint position, int *row, int *column) const
{
    for (int r = 0; r < m_rows; ++r) {
        for (int c = 0; c < m_columns; ++c) {
            if (cellFrameAtRow(r, c).contains(position) && cellAtRow(r, c)) {
                *row = r;
                *column = c;
                return true;
            }
        }
    }
    return false;
}

void QntColorMatrix::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int row = 0; row < m_rows; ++row) {
        for (int column = 0; column < m_columns; ++column) {
            const Cell *cell = cellAtRow(row, column);
            if (!cell)
                continue;
            const QRect frame = cellFrameAtRow(row, column);
            if (cell->backgroundColor.isValid())
                painter.fillRect(frame, cell->backgroundColor);
            painter.drawImage(frame, cell->image);
            const int index = indexOf(row, column);
            if (index == m_pressedIndex)
                painter.fillRect(frame, QColor(0, 0, 0, 90));
            if (m_keyboardFocus && hasFocus() && row == m_selectedRow
                && column == m_selectedColumn) {
                painter.setPen(QPen(QColor(120, 170, 255), 2));
                painter.drawRect(QRectF(frame).adjusted(1, 1, -1, -1));
            }
        }
    }
}

void QntColorMatrix::mousePressEvent(QMouseEvent *event)
{
    int row = -1, column = -1;
    if (event->button() != Qt::LeftButton || !cellAt(event->position().toPoint(), &row, &column))
        return QWidget::mousePressEvent(event);
    m_keyboardFocus = false;
    m_pressedIndex = indexOf(row, column);
    update();
}

void QntColorMatrix::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_pressedIndex < 0)
        return QWidget::mouseReleaseEvent(event);
    const int pressed = m_pressedIndex;
    m_pressedIndex = -1;
    update();
    int row = -1, column = -1;
    // Released outside the pressed cell: nothing is chosen, as with a button.
    if (cellAt(event->position().toPoint(), &row, &column) && indexOf(row, column) == pressed)
        performClickOnCell(row, column);
}

void QntColorMatrix::keyPressEvent(QKeyEvent *event)
{
    if (m_rows == 0 || m_columns == 0)
        return QWidget::keyPressEvent(event);
    int row = std::max(0, m_selectedRow), column = std::max(0, m_selectedColumn);
    switch (event->key()) {
    case Qt::Key_Left: column = std::max(0, column - 1); break;
    case Qt::Key_Right: column = std::min(m_columns - 1, column + 1); break;
    case Qt::Key_Up: row = std::max(0, row - 1); break;
    case Qt::Key_Down: row = std::min(m_rows - 1, row + 1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (m_selectedRow >= 0)
            performClickOnCell(m_selectedRow, m_selectedColumn);
        return;
    default: return QWidget::keyPressEvent(event);
    }
    // Arrows move the keyboard's cell without choosing it.
    m_keyboardFocus = true;
    if (cellAtRow(row, column)) {
        m_selectedRow = row;
        m_selectedColumn = column;
    }
    update();
}
