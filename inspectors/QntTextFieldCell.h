#pragma once

#include <QLineEdit>

// A text field of the dark attached toolbars: white text in a light rounded border, on a dark
// fill when it fills its background.
class QntTextFieldCell : public QLineEdit
{
    Q_OBJECT
public:
    explicit QntTextFieldCell(QWidget *parent = nullptr);
    // A narrow field for a number, aligned right, as beside a slider.
    static QntTextFieldCell *numberField(QWidget *parent, const QString &name, int width = 50);

    bool fillsBackground() const { return m_fillsBackground; }
    void setFillsBackground(bool fills);

private:
    void updateLook();

    bool m_fillsBackground = true;
};
