#include "app/common/ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace ToolbarIcons {

namespace {

void draw(QPainter &p, const QString &name)
{
    const QColor ink(0x33, 0x3b, 0x47);
    const QColor accent(0x2f, 0x6f, 0xc4);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    if (name == QLatin1String("Select")) {
        QPainterPath arrow;
        arrow.moveTo(7, 4);
        arrow.lineTo(7, 19);
        arrow.lineTo(10.5, 15.5);
        arrow.lineTo(13, 21);
        arrow.lineTo(15, 20);
        arrow.lineTo(12.5, 14.5);
        arrow.lineTo(17.5, 14.5);
        arrow.closeSubpath();
        p.setBrush(ink);
        p.drawPath(arrow);
    } else if (name == QLatin1String("Text")) {
        QFont font(QStringLiteral("DejaVu Serif"));
        font.setPixelSize(18);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, QStringLiteral("T"));
    } else if (name == QLatin1String("Rectangle")) {
        p.setBrush(QColor(0xd6, 0xe6, 0xf7));
        p.setPen(QPen(accent, 1.6));
        p.drawRoundedRect(QRectF(3.5, 6.5, 17, 12), 1.5, 1.5);
    } else if (name == QLatin1String("Oval")) {
        p.setBrush(QColor(0xd6, 0xe6, 0xf7));
        p.setPen(QPen(accent, 1.6));
        p.drawEllipse(QRectF(3.5, 6, 17, 12));
    } else if (name == QLatin1String("Line")) {
        p.setPen(QPen(accent, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 19), QPointF(20, 5));
        p.setBrush(accent);
        p.drawEllipse(QPointF(4, 19), 1.8, 1.8);
        p.drawEllipse(QPointF(20, 5), 1.8, 1.8);
    } else if (name == QLatin1String("Connector")) {
        // Two boxes joined by an elbow with an arrowhead.
        p.setBrush(QColor(0xd6, 0xe6, 0xf7));
        p.setPen(QPen(accent, 1.4));
        p.drawRect(QRectF(2.5, 3.5, 7, 5));
        p.drawRect(QRectF(14.5, 15.5, 7, 5));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath elbow;
        elbow.moveTo(6, 8.5);
        elbow.lineTo(6, 18);
        elbow.lineTo(12, 18);
        p.drawPath(elbow);
        QPainterPath head;
        head.moveTo(14.5, 18);
        head.lineTo(11, 15.8);
        head.lineTo(11, 20.2);
        head.closeSubpath();
        p.setBrush(ink);
        p.drawPath(head);
    } else if (name == QLatin1String("Pan")) {
        // Four arrows from the centre.
        p.drawLine(QPointF(12, 3), QPointF(12, 21));
        p.drawLine(QPointF(3, 12), QPointF(21, 12));
        const QPointF tips[][3] = {{{9, 6}, {12, 3}, {15, 6}},
                                   {{9, 18}, {12, 21}, {15, 18}},
                                   {{6, 9}, {3, 12}, {6, 15}},
                                   {{18, 9}, {21, 12}, {18, 15}}};
        for (const auto &tip : tips)
            p.drawPolyline(tip, 3);
    } else if (name == QLatin1String("Zoom")) {
        p.drawEllipse(QRectF(4, 4, 11, 11));
        p.setPen(QPen(ink, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(13.5, 13.5), QPointF(20, 20));
        p.setPen(QPen(ink, 1.4));
        p.drawLine(QPointF(7, 9.5), QPointF(12, 9.5));
        p.drawLine(QPointF(9.5, 7), QPointF(9.5, 12));
    } else if (name == QLatin1String("Zoom Out")) {
        p.drawEllipse(QRectF(4, 4, 11, 11));
        p.setPen(QPen(ink, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(13.5, 13.5), QPointF(20, 20));
        p.setPen(QPen(ink, 1.4));
        p.drawLine(QPointF(7, 9.5), QPointF(12, 9.5));
    } else if (name == QLatin1String("Sticky Spot")) {
        // A box with its connection spots, one of them picked.
        p.setBrush(QColor(0xd6, 0xe6, 0xf7));
        p.setPen(QPen(accent, 1.4));
        p.drawRect(QRectF(5.5, 6.5, 13, 11));
        p.setPen(QPen(ink, 1.2));
        p.setBrush(Qt::white);
        for (const QPointF &spot : {QPointF(12, 6.5), QPointF(5.5, 12), QPointF(12, 17.5)})
            p.drawEllipse(spot, 1.8, 1.8);
        p.setBrush(accent);
        p.drawEllipse(QPointF(18.5, 12), 2.6, 2.6);
    } else if (name == QLatin1String("Table")) {
        p.setBrush(QColor(0xd6, 0xe6, 0xf7));
        p.setPen(QPen(accent, 1.4));
        p.drawRect(QRectF(3.5, 5.5, 17, 13));
        p.setPen(QPen(ink, 1.1));
        p.drawLine(QPointF(3.5, 9.8), QPointF(20.5, 9.8));
        p.drawLine(QPointF(3.5, 14.2), QPointF(20.5, 14.2));
        p.drawLine(QPointF(9.2, 5.5), QPointF(9.2, 18.5));
        p.drawLine(QPointF(14.8, 5.5), QPointF(14.8, 18.5));
    } else if (name == QLatin1String("Double Connector")) {
        // Two boxes joined by a line with a label on each end.
        p.setBrush(QColor(0xd6, 0xe6, 0xf7));
        p.setPen(QPen(accent, 1.4));
        p.drawRect(QRectF(1.5, 9.5, 5, 5));
        p.drawRect(QRectF(17.5, 9.5, 5, 5));
        p.setPen(QPen(ink, 1.4));
        p.drawLine(QPointF(6.5, 12), QPointF(17.5, 12));
        p.setPen(QPen(ink, 1.0));
        p.drawLine(QPointF(8, 8), QPointF(11, 8));
        p.drawLine(QPointF(13, 16), QPointF(16, 16));
    } else if (name == QLatin1String("Inspector")) {
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(3.5, 4.5, 17, 15), 2, 2);
        p.setBrush(QColor(0xd6, 0xe6, 0xf7));
        p.drawRect(QRectF(13.5, 4.5, 7, 15));
        p.setPen(QPen(ink, 1.2));
        for (double y : {8.0, 11.0, 14.0})
            p.drawLine(QPointF(15, y), QPointF(19, y));
    }
}

} // namespace

QIcon icon(const QString &name)
{
    QIcon result;
    for (int scale : {1, 2}) {
        QPixmap pixmap(24 * scale, 24 * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        draw(painter, name);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace ToolbarIcons
