#pragma once

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

// A check box in a table column. A click toggles it without selecting the row; the press
// highlights it while the pointer stays inside, and a release outside changes nothing.
class VKCheckboxCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit VKCheckboxCell(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

    void setHighlightedIndex(const QModelIndex &index) { m_highlighted = index; }
    QModelIndex highlightedIndex() const { return m_highlighted; }
    // 0 becomes 1, anything else 0.
    static int toggledValue(const QVariant &value);

private:
    QPersistentModelIndex m_highlighted;
};
