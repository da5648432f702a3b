#include "inspectors/QntButtonCell.h"

#include <QPainter>
#include <QPainterPath>

namespace {
QColor borderColour(bool enabled)
{
    return QColor::fromRgbF(0.749f, 0.761f, 0.788f, enabled ? 1.0f : 0.2f);
}
} // namespace

QntButtonCell::QntButtonCell(QWidget *parent)
    : QToolButton(parent)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
}

QColor QntButtonCell::defaultQntBackgroundColor()
{
    return QColor::fromRgbF(0.224f, 0.224f, 0.224f, 0.85f);
}

QColor QntButtonCell::qntBackgroundColor() const
{
    return _qntBackgroundColor.isValid() ? _qntBackgroundColor : defaultQntBackgroundColor();
}

void QntButtonCell::setQntBackgroundColor(const QColor &colour)
{
    _qntBackgroundColor = colour;
    update();
}

void QntButtonCell::setBordered(bool bordered)
{
    m_bordered = bordered;
    update();
}

void QntButtonCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF inset = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath outline;
    outline.addRoundedRect(inset, 3, 3);
    QColor fill = qntBackgroundColor();
    if (isChecked())
        fill = QColor(70, 120, 200, 230);
    else if (isDown())
        fill = fill.lighter(180);
    else if (underMouse() && isEnabled())
        fill = fill.lighter(130);
    painter.fillPath(outline, fill);
    if (m_bordered) {
        painter.setPen(QPen(borderColour(isEnabled()), 1));
        painter.drawPath(outline);
    }
    if (!icon().isNull()) {
        const QSize size = iconSize().boundedTo(inset.size().toSize() - QSize(4, 4));
        const QPixmap pixmap = icon().pixmap(size, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        const QSize drawn = pixmap.deviceIndependentSize().toSize();
        const QPoint centre = rect().center() + QPoint(1, 1);
        painter.drawPixmap(centre - QPoint(drawn.width() / 2, drawn.height() / 2), pixmap);
        return;
    }
    painter.setPen(isEnabled() ? Qt::white : QColor(255, 255, 255, 51));
    painter.drawText(inset, Qt::AlignCenter, text());
}
