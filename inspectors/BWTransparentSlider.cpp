#include "inspectors/BWTransparentSlider.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

BWTransparentSlider::BWTransparentSlider(QWidget *parent)
    : QntDoubleSlider(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::StrongFocus);
}

void BWTransparentSlider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double knob = std::min(bounds.height(), 11.0);
    const double y = bounds.center().y();
    const double left = bounds.left() + knob / 2, right = bounds.right() - knob / 2;
    QRectF track(left, y - 1.5, right - left, 3.0);
    painter.setPen(QPen(QColor(255, 255, 255, 110), 1.0));
    painter.setBrush(QColor(0, 0, 0, 120));
    painter.drawRoundedRect(track, 1.5, 1.5);
    const double fraction =
        maximum() == minimum() ? 0.0 : double(value() - minimum()) / (maximum() - minimum());
    const QPointF centre(left + fraction * (right - left), y);
    painter.setPen(QPen(QColor(0, 0, 0, 160), 1.0));
    painter.setBrush(isSliderDown() ? QColor(200, 200, 200) : QColor(Qt::white));
    painter.drawEllipse(centre, knob / 2, knob / 2);
    if (hasFocus()) {
        painter.setPen(QPen(QColor(120, 170, 255), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(centre, knob / 2 + 1.5, knob / 2 + 1.5);
    }
}
