#include "library/ShapeImageCell.h"

#include "library/QntNotationSubGroupItem.h"
#include "library/QntNotationSubgroup.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>

ShapeImageCell::ShapeImageCell(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

QntNotationSubGroupItem *ShapeImageCell::itemForIndex(const QModelIndex &index)
{
    return reinterpret_cast<QntNotationSubGroupItem *>(index.data(itemRole).value<quintptr>());
}

QntNotationSubgroup *ShapeImageCell::groupForIndex(const QModelIndex &index)
{
    return reinterpret_cast<QntNotationSubgroup *>(index.data(groupRole).value<quintptr>());
}

QRectF ShapeImageCell::imageRectForFrame(const QRectF &frame, QSizeF imageSize)
{
    const QRectF inner = frame.adjusted(4, 3, -4, -3);
    if (imageSize.isEmpty() || inner.isEmpty())
        return {};
    QSizeF size = imageSize;
    if (size.width() > inner.width() || size.height() > inner.height())
        size.scale(inner.size(), Qt::KeepAspectRatio);
    return QRectF(inner.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

void ShapeImageCell::drawInteriorWithFrame(QPainter &painter, const QRectF &frame,
                                           const QImage &image) const
{
    if (image.isNull())
        return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawImage(imageRectForFrame(frame, image.size()), image);
    painter.restore();
}

void ShapeImageCell::paintGroupRow(QPainter *painter, const QStyleOptionViewItem &option,
                                   const QModelIndex &index) const
{
    const QntNotationSubgroup *group = groupForIndex(index);
    painter->save();
    QFont font = option.font;
    font.setBold(true);
    painter->setFont(font);
    painter->setPen(option.palette.color(QPalette::Text));
    const QString title = group ? group->title() : index.data().toString();
    // Disclosure triangle: the outline has no indentation, so the row draws its own.
    const QRectF r(option.rect);
    const double cy = r.center().y();
    QPolygonF triangle;
    if (option.state & QStyle::State_Open)
        triangle << QPointF(r.left() + 5, cy - 3) << QPointF(r.left() + 13, cy - 3)
                 << QPointF(r.left() + 9, cy + 3);
    else
        triangle << QPointF(r.left() + 6, cy - 4) << QPointF(r.left() + 12, cy)
                 << QPointF(r.left() + 6, cy + 4);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(option.palette.color(QPalette::Text));
    painter->setPen(Qt::NoPen);
    painter->drawPolygon(triangle);
    painter->setPen(option.palette.color(QPalette::Text));
    const QRectF textRect = r.adjusted(17, 0, -4, 0);
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                      QFontMetrics(font).elidedText(title, Qt::ElideRight, int(textRect.width())));
    painter->restore();
}

void ShapeImageCell::paint(QPainter *painter, const QStyleOptionViewItem &option,
                           const QModelIndex &index) const
{
    if (groupForIndex(index)) {
        paintGroupRow(painter, option, index);
        return;
    }
    if (const QntNotationSubGroupItem *item = itemForIndex(index))
        drawInteriorWithFrame(*painter, option.rect, item->image());
}

QSize ShapeImageCell::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (const QntNotationSubGroupItem *item = itemForIndex(index))
        return QSize(int(item->size().width()), int(item->size().height()));
    const QSize base = QStyledItemDelegate::sizeHint(option, index);
    return QSize(base.width(), std::max(base.height(), 22));
}
