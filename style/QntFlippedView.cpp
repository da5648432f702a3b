#include "style/QntFlippedView.h"

QntFlippedView::QntFlippedView(QWidget *parent)
    : QWidget(parent)
{
}
