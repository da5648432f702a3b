#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>
#include <QVariant>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

// A grid of colour swatches that acts as one radio group: a click selects one cell and sends
// that cell's action with the grid as sender. Each cell carries a swatch picture, the colour its
// background is painted in and a represented object (a colour-scheme value or a colour). Rows
// and lines are filled as whole rows or columns, the way the colour popovers lay them out.
class QntColorMatrix : public QWidget
{
    Q_OBJECT
public:
    using Action = std::function<void(QntColorMatrix *)>;

    struct Cell {
        QImage image;
        QColor backgroundColor;
        QVariant representedObject;
        Action action;
    };

    explicit QntColorMatrix(QWidget *parent = nullptr);

    int numberOfRows() const { return m_rows; }
    int numberOfColumns() const { return m_columns; }
    // Empties the grid to rows x columns empty places.
    void renewRows(int rows, int columns);
    // Adds a row (or a column) made of the cells after the last one and drops the first row
    // (column): the grid keeps its size and the new line goes to the end.
    void addRowAndDropFirst(const QList<Cell> &cells);
    void addColumnAndDropFirst(const QList<Cell> &cells);
    // The cell at a place; null for an empty or outside place.
    const Cell *cellAtRow(int row, int column) const;
    // Every cell row by row, empty places left out.
    QList<Cell> cells() const;

    QSize cellSize() const { return m_cellSize; }
    void setCellSize(QSize size) { m_cellSize = size; }
    QSize intercellSpacing() const { return m_spacing; }
    void setIntercellSpacing(QSize spacing) { m_spacing = spacing; }
    // Takes the size the cells need.
    void sizeToCells();
    QRect cellFrameAtRow(int row, int column) const;

    int selectedRow() const { return m_selectedRow; }
    int selectedColumn() const { return m_selectedColumn; }
    const Cell *selectedCell() const { return cellAtRow(m_selectedRow, m_selectedColumn); }
    // Selects the cell and sends its action, as a click does; an empty place does nothing.
    void performClickOnCell(int row, int column);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool cellAt(QPoint position, int *row, int *column) const;
    int indexOf(int row, int column) const { return row * m_columns + column; }

    std::vector<std::optional<Cell>> m_cells; // row by row
    int m_rows = 0;
    int m_columns = 0;
    QSize m_cellSize{35, 35};
    QSize m_spacing{2, 2};
    int m_selectedRow = -1;
    int m_selectedColumn = -1;
    int m_pressedIndex = -1;
    bool m_keyboardFocus = false;
};
