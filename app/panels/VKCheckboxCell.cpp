#include "app/panels/VKCheckboxCell.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

VKCheckboxCell::VKCheckboxCell(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

int VKCheckboxCell::toggledValue(const QVariant &value)
{
    return value.toInt() == 0 ? 1 : 0;
}

void VKCheckboxCell::paint(QPainter *painter, const QStyleOptionViewItem &option,
                           const QModelIndex &index) const
{
    QStyleOptionButton box;
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    const QRect indicator = style->subElementRect(QStyle::SE_CheckBoxIndicator, &box, widget);
    box.rect = QRect(option.rect.center() - indicator.center(), indicator.size());
    box.state = QStyle::State_Enabled
                | (index.data(Qt::EditRole).toInt() != 0 ? QStyle::State_On : QStyle::State_Off);
    if (m_highlighted.isValid() && m_highlighted == index)
        box.state |= QStyle::State_Sunken;
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, widget);
}
