#include "inspectors/BWTransparentButton.h"

#include <QPainter>

#include <algorithm>

BWTransparentButton::BWTransparentButton(const QString &title, QWidget *parent)
    : QPushButton(title, parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    setFont(small);
}

QSize BWTransparentButton::sizeHint() const
{
    const QSize text = fontMetrics().size(Qt::TextSingleLine, this->text());
    return {text.width() + 20, text.height() + 8};
}

void BWTransparentButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The body keeps clear of the frame's edges, as the square bezel does.
    const int bodyHeight = std::min(height() - 2, fontMetrics().height() + 6);
    const QRectF body(1.5, 1.5, width() - 3.0, bodyHeight);
    const bool down = isDown();
    painter.setPen(QPen(QColor(255, 255, 255, isEnabled() ? 170 : 80), 1.0));
    painter.setBrush(down ? QColor(255, 255, 255, 90) : QColor(0, 0, 0, 110));
    painter.drawRoundedRect(body, 3.5, 3.5);
    if (hasFocus()) {
        painter.setPen(QPen(QColor(120, 170, 255), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(body.adjusted(-0.5, -0.5, 0.5, 0.5), 4, 4);
    }
    painter.setPen(isEnabled() ? QColor(Qt::white) : QColor(255, 255, 255, 110));
    painter.drawText(body, Qt::AlignCenter, text());
}
