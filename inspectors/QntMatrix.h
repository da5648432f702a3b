#pragma once

#include <QList>
#include <QWidget>

class QAbstractButton;
class QHBoxLayout;

// A row of checkable cells whose clicks all act as Ctrl-clicks: a click toggles the cell under
// the pointer on its own instead of choosing it alone. A click already carrying other modifiers
// keeps them. The cells take no mouse presses themselves; the matrix does.
class QntMatrix : public QWidget
{
    Q_OBJECT
public:
    explicit QntMatrix(QWidget *parent = nullptr);

    // Takes the cell (made checkable) into the row.
    void addCell(QAbstractButton *cell);
    const QList<QAbstractButton *> &cells() const { return m_cells; }
    int cellAt(QPoint position) const;

    // The matrix's own handling of a press: with Ctrl, toggles the cell under the press alone;
    // without, checks it and unchecks every other cell. Then emits cellClicked.
    void mouseDown(QMouseEvent *event);

signals:
    void cellClicked(int index, Qt::KeyboardModifiers modifiers);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QHBoxLayout *m_layout = nullptr;
    QList<QAbstractButton *> m_cells;
};
