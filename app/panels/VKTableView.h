#pragma once

#include <QPersistentModelIndex>
#include <QTableView>

// The table of the palettes: check box and colour cells act on a click of their own without
// selecting the row and hand their value to the model; the selected row is drawn with the
// source-list gradient.
class VKTableView : public QTableView
{
    Q_OBJECT
public:
    explicit VKTableView(QWidget *parent = nullptr);

    static QColor gridColour();
    bool isEditing() const { return state() == EditingState; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPersistentModelIndex m_checkboxIndex;
};
