#include "inspectors/QntTextFieldCell.h"

#include <QPalette>

QntTextFieldCell::QntTextFieldCell(QWidget *parent)
    : QLineEdit(parent)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::PlaceholderText, Qt::gray);
    setPalette(palette);
    updateLook();
}

QntTextFieldCell *QntTextFieldCell::numberField(QWidget *parent, const QString &name, int width)
{
    auto *field = new QntTextFieldCell(parent);
    field->setObjectName(name);
    field->setFixedWidth(width);
    field->setAlignment(Qt::AlignRight);
    return field;
}

void QntTextFieldCell::setFillsBackground(bool fills)
{
    m_fillsBackground = fills;
    updateLook();
}

void QntTextFieldCell::updateLook()
{
    setStyleSheet(
        QStringLiteral("QLineEdit { color: white; background: %1; border: 1px solid "
                       "rgb(191, 194, 201); border-radius: 3px; padding: 0 2px; "
                       "selection-background-color: darkgray; selection-color: white; }"
                       "QLineEdit:disabled { color: rgba(255, 255, 255, 51); border-color: "
                       "rgba(191, 194, 201, 51); }")
            .arg(m_fillsBackground ? QStringLiteral("rgba(57, 57, 57, 242)")
                                   : QStringLiteral("transparent")));
}
