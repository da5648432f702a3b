#include "app/window/OXOverlayView.h"

#include "platform/WindowTranslucency.h"

#include <QPainter>
#include <QPainterPath>

OXOverlayView::OXOverlayView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void OXOverlayView::setBezelRadius(double radius)
{
    m_bezelRadius = radius;
    update();
    emit bezelRadiusChanged();
}

void OXOverlayView::setTranslucent(bool translucent)
{
    m_translucent = translucent;
    update();
}

void OXOverlayView::setLabel(const QString &label)
{
    m_label = label;
    update();
}

void OXOverlayView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath bezel;
    bezel.addRoundedRect(QRectF(rect()), m_bezelRadius, m_bezelRadius);
    const QColor colour = QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.75f);
    painter.fillPath(bezel, m_translucent ? colour : WindowTranslucency::opaqueOverLight(colour));
    if (m_label.isEmpty())
        return;
    QFont font = painter.font();
    font.setPixelSize(24);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QSizeF text = QFontMetricsF(font).size(Qt::TextSingleLine, m_label);
    const QRectF textRect((width() - text.width()) / 2.0, (height() - text.height()) / 2.0,
                          text.width(), text.height());
    painter.drawText(textRect, Qt::AlignCenter, m_label);
}
