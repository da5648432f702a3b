#include "library/ImageBrowserCell.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

ImageBrowserCell::ImageBrowserCell(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

void ImageBrowserCell::setCellSize(QSize size)
{
    if (size == m_cellSize)
        return;
    m_cellSize = size;
    // Pictures of the old size are not wanted any more.
    m_pictures.clear();
}

QRect ImageBrowserCell::imageFrame(const QRect &cellRect, QSize pictureSize) const
{
    const QRect area = cellRect.adjusted(kMargin, kMargin, -kMargin, -kMargin - kTitleHeight);
    if (pictureSize.isEmpty() || area.isEmpty())
        return QRect(area.center(), QSize(0, 0));
    const QSize fitted =
        pictureSize.width() <= area.width() && pictureSize.height() <= area.height()
            ? pictureSize
            : pictureSize.scaled(area.size(), Qt::KeepAspectRatio);
    return QRect(QPoint(area.x() + (area.width() - fitted.width()) / 2,
                        area.y() + (area.height() - fitted.height()) / 2),
                 fitted);
}

QRect ImageBrowserCell::titleFrame(const QRect &cellRect, QSize pictureSize) const
{
    const QRect picture = imageFrame(cellRect, pictureSize);
    QRect title(cellRect.x(), cellRect.bottom() - kMargin - kTitleHeight + 1, cellRect.width(),
                kTitleHeight);
    // The title is as wide as the picture (never narrower than a few letters).
    const int width = std::max(picture.width(), std::min(cellRect.width() - 2 * kMargin, 48));
    title.setX(cellRect.x() + (cellRect.width() - width) / 2);
    title.setWidth(width);
    return title;
}

void ImageBrowserCell::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    const QImage image = index.data(Qt::DecorationRole).value<QImage>();
    const QString title = index.data(Qt::DisplayRole).toString();
    const QRect cellRect = option.rect;
    const QRect picture = imageFrame(cellRect, image.size());
    const bool selected = option.state & QStyle::State_Selected;

    painter->save();
    if (selected) {
        QColor highlight = option.palette.color(QPalette::Highlight);
        highlight.setAlpha(60);
        painter->setPen(Qt::NoPen);
        painter->setBrush(highlight);
        painter->drawRoundedRect(QRectF(cellRect).adjusted(2, 2, -2, -2), 6, 6);
    }
    if (!image.isNull() && !picture.isEmpty()) {
        const QString key = QString::number(image.cacheKey()) + QLatin1Char('@')
                            + QString::number(picture.width()) + QLatin1Char('x')
                            + QString::number(picture.height());
        QPixmap *scaled = m_pictures.object(key);
        if (!scaled) {
            scaled = new QPixmap(QPixmap::fromImage(
                image.size() == picture.size()
                    ? image
                    : image.scaled(picture.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
            ++m_scaled;
            m_pictures.insert(key, scaled, 1);
        }
        painter->drawPixmap(picture.topLeft(), *scaled);
    }
    const QRect titleRect = titleFrame(cellRect, image.size());
    if (selected) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(option.palette.color(QPalette::Highlight));
        painter->drawRoundedRect(QRectF(titleRect), 4, 4);
        painter->setPen(option.palette.color(QPalette::HighlightedText));
    } else {
        painter->setPen(option.palette.color(QPalette::Text));
    }
    const QFontMetrics metrics(option.font);
    painter->setFont(option.font);
    painter->drawText(titleRect.adjusted(3, 0, -3, 0), Qt::AlignCenter,
                      metrics.elidedText(title, Qt::ElideMiddle, titleRect.width() - 6));
    painter->restore();
}

QSize ImageBrowserCell::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return m_cellSize;
}
