#include "inspectors/QntButtonCell.h"

#include <QPainter>
#include <QPainterPath>

QColor QntButtonCell::borderColour(bool enabled)
{
    return QColor::fromRgbF(0.749f, 0.761f, 0.788f, enabled ? 1.0f : 0.2f);
}

QntButtonCell::QntButtonCell(QWidget *parent)
    : QToolButton(parent)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
}

QntButtonCell *QntButtonCell::bordered(QWidget *parent, const QString &name, const QString &toolTip,
                                       QSize size)
{
    auto *button = new QntButtonCell(parent);
    button->setObjectName(name);
    button->setToolTip(toolTip);
    button->setBordered(true);
    button->setFixedSize(size);
    return button;
}

QColor QntButtonCell::defaultQntBackgroundColor()
{
    return QColor::fromRgbF(0.224f, 0.224f, 0.224f, 0.85f);
}

QColor QntButtonCell::qntBackgroundColor() const
{
    return _qntBackgroundColor.isValid() ? _qntBackgroundColor : defaultBackgroundColor();
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
        fill = fill.lightness() > 200 ? fill.darker(125) : fill.lighter(180);
    else if (underMouse() && isEnabled())
        fill = fill.lightness() > 200 ? fill.darker(108) : fill.lighter(130);
    painter.fillPath(outline, fill);
    if (m_bordered) {
        painter.setPen(QPen(borderColour(isEnabled()), 1));
        painter.drawPath(outline);
    }
    drawAlternatingBorder(painter, inset);
    if (!icon().isNull()) {
        const QSize size = iconSize().boundedTo(inset.size().toSize() - QSize(4, 4));
        const QPixmap pixmap = icon().pixmap(size, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        const QSize drawn = pixmap.deviceIndependentSize().toSize();
        const QPoint centre = rect().center() + QPoint(1, 1);
        painter.drawPixmap(centre - QPoint(drawn.width() / 2, drawn.height() / 2), pixmap);
        return;
    }
    painter.setPen(titleColor());
    painter.drawText(inset, Qt::AlignCenter, text());
}

QColor QntButtonCell::titleColor() const
{
    return isEnabled() ? QColor(Qt::white) : QColor(255, 255, 255, 51);
}

QColor QntButtonWhiteCell::defaultWhiteBackgroundColor()
{
    return QColor::fromRgbF(1, 1, 1, 1);
}

void QntButtonWhiteCell::drawAlternatingBorder(QPainter &painter, const QRectF &frame)
{
    painter.save();
    QPainterPath outline;
    outline.addRoundedRect(frame, 3, 3);
    painter.setPen(QPen(borderColour(isEnabled()), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
    painter.restore();
}

QColor QntButtonWhiteCell::titleColor() const
{
    return isEnabled() ? QColor(Qt::black) : QColor(0, 0, 0, 80);
}
