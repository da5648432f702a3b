#pragma once

#include <QCache>
#include <QPixmap>
#include <QStyledItemDelegate>

// A cell of the image browser: the entry's picture above its title, the title laid under the
// picture's width. The picture is scaled once per cell size and kept, so painting a page never
// decodes or scales a picture again.
class ImageBrowserCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ImageBrowserCell(QObject *parent = nullptr);

    static constexpr int kTitleHeight = 18;
    static constexpr int kMargin = 6;

    void setCellSize(QSize size);
    QSize cellSize() const { return m_cellSize; }
    // Inside a cell's rectangle: where the picture goes (its aspect kept) and where its title goes
    // (under the picture, as wide as the picture).
    QRect imageFrame(const QRect &cellRect, QSize pictureSize) const;
    QRect titleFrame(const QRect &cellRect, QSize pictureSize) const;

    // How many scaled pictures have been made (the cache's effect is measurable).
    qint64 scaledPictureCount() const { return m_scaled; }
    void forgetPictures() { m_pictures.clear(); }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    QSize m_cellSize{120, 120};
    mutable QCache<QString, QPixmap> m_pictures{4096};
    mutable qint64 m_scaled = 0;
};
