#include "style/QntGradientView.h"

#include "framework/styles/VRGradient.h"

#include <QPainter>

QntGradientView::QntGradientView(QWidget *parent)
    : QWidget(parent)
{
}

void QntGradientView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // y runs upwards here, so -90 degrees runs from the top edge down to the bottom one.
    painter.translate(0, height());
    painter.scale(1, -1);
    const VRGradientRef gradient =
        VRGradient::gradientWithStartingColor(Qt::white, QColor::fromRgbF(0.5f, 0.5f, 0.5f));
    gradient->setAngleInDegrees(-90);
    gradient->fillRect(painter, QRectF(rect()));
}
