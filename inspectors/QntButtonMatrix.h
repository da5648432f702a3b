#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>

class QntButtonCell;
class VRDrawingTool;

// A column of square buttons (one cell per row) sending one action: the tool columns of the
// inspectors. Each cell has a title (the key its action is dispatched by), a tag and an optional
// drawing tool that the action makes current. A click selects the cell, then sends the action.
class QntButtonMatrix : public QWidget
{
    Q_OBJECT
public:
    explicit QntButtonMatrix(QWidget *parent = nullptr);

    struct Cell {
        QntButtonCell *button = nullptr;
        QString title;
        int tag = 0;
        VRDrawingTool *representedObject = nullptr;
    };

    // Takes the cell's button; its title is kept as the cell's title.
    void addRow(const Cell &cell);
    void removeAllRows();
    int numberOfRows() const { return static_cast<int>(m_cells.size()); }
    const Cell *cellAtRow(int row) const;
    QList<Cell> cells() const { return m_cells; }

    QSize cellSize() const { return m_cellSize; }
    void setCellSize(QSize size) { m_cellSize = size; }
    QSize intercellSpacing() const { return m_spacing; }
    void setIntercellSpacing(QSize spacing) { m_spacing = spacing; }
    // Lays the cells out and takes the size they need.
    void sizeToCells();
    QRect cellFrameAtRow(int row) const;

    int selectedRow() const { return m_selectedRow; }
    const Cell *selectedCell() const { return cellAtRow(m_selectedRow); }
    // Selects the first cell with the tag; false when there is none.
    bool selectCellWithTag(int tag);
    void selectCellAtRow(int row);

    void setAction(std::function<void(QntButtonMatrix *)> action) { m_action = std::move(action); }
    // Selects the row and sends the action, as a click does.
    void performClickOnRow(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QList<Cell> m_cells;
    QSize m_cellSize{34, 34};
    QSize m_spacing{4, 2};
    int m_selectedRow = -1;
    std::function<void(QntButtonMatrix *)> m_action;
};
