// QntContextMenu: the buttons of the context columns and their line art, shared by the element
// and connector columns.
#include "inspectors/QntContextMenu.h"

#include "inspectors/QntButtonCell.h"

#include "platform/ImageResources.h"

#include <QPainter>
#include <QPainterPath>

QIcon QntContextMenu::columnIcon(const QString &name)
{
    const QIcon shipped = ImageResources::imageNamed(name);
    if (!shipped.isNull())
        return shipped;
    QPixmap pixmap(56, 56);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const auto head = [&p](QPointF tip, QPointF a, QPointF b) {
        QPainterPath path;
        path.moveTo(tip);
        path.lineTo(a);
        path.lineTo(b);
        path.closeSubpath();
        p.setBrush(Qt::white);
        p.drawPath(path);
        p.setBrush(Qt::NoBrush);
    };
    if (name == QStringLiteral("Qnt Connector")) {
        p.drawEllipse(QRectF(6, 34, 14, 14));
        p.drawLine(QPointF(18, 36), QPointF(44, 12));
        QPainterPath head;
        head.moveTo(48, 8);
        head.lineTo(32, 12);
        head.lineTo(44, 24);
        head.closeSubpath();
        p.setBrush(Qt::white);
        p.drawPath(head);
    } else if (name == QStringLiteral("ReplaceElement")) {
        p.drawRect(QRectF(6, 6, 20, 20));
        p.drawEllipse(QRectF(30, 30, 20, 20));
        p.drawLine(QPointF(34, 12), QPointF(46, 12));
        p.drawLine(QPointF(46, 12), QPointF(46, 24));
        p.drawLine(QPointF(22, 44), QPointF(10, 44));
        p.drawLine(QPointF(10, 44), QPointF(10, 32));
    } else if (name == QStringLiteral("RoundedRect")) {
        p.drawRoundedRect(QRectF(8, 12, 40, 32), 8, 8);
    } else if (name == QStringLiteral("Qnt Text Editor")) {
        p.drawLine(QPointF(12, 12), QPointF(44, 12));
        p.drawLine(QPointF(28, 12), QPointF(28, 46));
    } else if (name.startsWith(QStringLiteral("Table"))) {
        p.drawRect(QRectF(6, 10, 44, 36));
        p.drawLine(QPointF(6, 22), QPointF(50, 22));
        p.drawLine(QPointF(28, 10), QPointF(28, 46));
        p.setPen(QPen(QColor(250, 210, 90), 4, Qt::SolidLine, Qt::RoundCap));
        if (name == QStringLiteral("TableAddRow") || name == QStringLiteral("TableAddColumn")) {
            p.drawLine(QPointF(38, 34), QPointF(50, 34));
            p.drawLine(QPointF(44, 28), QPointF(44, 40));
        } else if (name == QStringLiteral("TableRemoveRow")
                   || name == QStringLiteral("TableRemoveColumn")) {
            p.drawLine(QPointF(38, 34), QPointF(50, 34));
        } else if (name == QStringLiteral("TableJoinCells")) {
            p.drawLine(QPointF(18, 34), QPointF(38, 34));
        } else if (name == QStringLiteral("TableSplitCell")) {
            p.drawLine(QPointF(28, 26), QPointF(28, 42));
        } else if (name == QStringLiteral("TableCellStyle")) {
            p.setBrush(QColor(250, 210, 90));
            p.drawRect(QRectF(30, 24, 18, 20));
        }
    } else if (name == QStringLiteral("StickySpot")) {
        p.drawRoundedRect(QRectF(8, 12, 40, 32), 4, 4);
        p.setBrush(QColor(250, 210, 90));
        p.drawEllipse(QPointF(48, 28), 5, 5);
        p.drawEllipse(QPointF(28, 12), 5, 5);
    } else if (name == QStringLiteral("Qnt Connector Style")) {
        p.drawLine(QPointF(8, 44), QPointF(28, 44));
        p.drawLine(QPointF(28, 44), QPointF(28, 14));
        p.drawLine(QPointF(28, 14), QPointF(40, 14));
        head(QPointF(50, 14), QPointF(38, 6), QPointF(38, 22));
        p.setPen(QPen(QColor(250, 210, 90), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(36, 48), QPointF(50, 34));
    } else if (name == QStringLiteral("Qnt Insert Path Point")
               || name == QStringLiteral("Qnt Delete Path Point")) {
        p.drawLine(QPointF(6, 44), QPointF(28, 20));
        p.drawLine(QPointF(28, 20), QPointF(50, 40));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(24, 16, 8, 8));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(38, 8), QPointF(50, 8));
        if (name == QStringLiteral("Qnt Insert Path Point"))
            p.drawLine(QPointF(44, 2), QPointF(44, 14));
    } else if (name == QStringLiteral("DecoratedSeparator")) {
        p.drawLine(QPointF(4, 28), QPointF(52, 28));
        p.setBrush(Qt::white);
        for (double x : {12.0, 28.0, 44.0}) {
            QPainterPath diamond;
            diamond.moveTo(x, 21);
            diamond.lineTo(x + 6, 28);
            diamond.lineTo(x, 35);
            diamond.lineTo(x - 6, 28);
            diamond.closeSubpath();
            p.drawPath(diamond);
        }
    } else {
        p.setBrush(QColor(120, 170, 230));
        p.drawRoundedRect(QRectF(8, 12, 40, 32), 4, 4);
        p.setPen(QPen(QColor(250, 210, 90), 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(18, 38), QPointF(38, 18));
    }
    return QIcon(pixmap);
}

QntButtonCell *QntContextMenu::columnCell(QntButtonCell *cell, const QString &title,
                                          const QString &image, const QString &toolTip)
{
    cell->setObjectName(title);
    cell->setText(title);
    cell->setIcon(columnIcon(image));
    cell->setIconSize(QSize(26, 26));
    cell->setToolTip(toolTip);
    cell->setBordered(false);
    return cell;
}
