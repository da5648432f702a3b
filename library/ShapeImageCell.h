#pragma once

#include "framework/base/VRTypes.h"

#include <QImage>
#include <QStyledItemDelegate>

class QntNotationSubGroupItem;
class QntNotationSubgroup;

// Draws a shape's picture smoothly scaled into its cell, and a group row as a titled header.
// The outline's rows carry their item or group (see itemRole and groupRole).
class ShapeImageCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // Data roles of the outline's rows: the QntNotationSubGroupItem* or QntNotationSubgroup*.
    static constexpr int itemRole = Qt::UserRole + 1;
    static constexpr int groupRole = Qt::UserRole + 2;

    explicit ShapeImageCell(QObject *parent = nullptr);

    static QntNotationSubGroupItem *itemForIndex(const QModelIndex &index);
    static QntNotationSubgroup *groupForIndex(const QModelIndex &index);

    // The shape of the tool the last drag started from; not owned by the cell.
    VRObjectRef shapePrototype() const { return m_shapePrototype.lock(); }
    void setShapePrototype(const VRObjectRef &prototype) { m_shapePrototype = prototype; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The picture drawn into the rectangle keeping its proportions, only ever scaled down.
    virtual void drawInteriorWithFrame(QPainter &painter, const QRectF &frame,
                                       const QImage &image) const;
    // Where the picture goes inside a cell frame (proportional, scaled down, centred).
    static QRectF imageRectForFrame(const QRectF &frame, QSizeF imageSize);

protected:
    void paintGroupRow(QPainter *painter, const QStyleOptionViewItem &option,
                       const QModelIndex &index) const;

private:
    std::weak_ptr<VRDrawableObject> m_shapePrototype;
};
