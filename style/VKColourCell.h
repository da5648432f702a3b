#pragma once

#include "style/VKColourPickerView.h"

#include <QColor>
#include <QPointer>
#include <QStyledItemDelegate>

class QMouseEvent;
class QTableView;

// Who receives colours picked in a table's colour cells: the picked colour is held as a
// temporary colour of the row until the table commits it.
class VKColourCellDataSource
{
public:
    virtual ~VKColourCellDataSource() = default;
    virtual void setTemporaryColour(const QColor &colour, QTableView *table, int row) = 0;
};

// A table cell showing a colour swatch; a click pops a swatch picker up under it and hands
// every colour picked to the table's colour data source, live.
class VKColourCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit VKColourCell(QObject *parent = nullptr);

    // A null colour or the colour already held changes nothing.
    void setColorValue(const QColor &colour);
    QColor colorValue() const { return mColour; }
    // Colours go to setColorValue; anything else changes nothing.
    void setObjectValue(const QVariant &value);
    QVariant objectValue() const { return mColour; }
    void setState(bool highlighted) { mHighlighted = highlighted; }
    bool isHighlighted() const { return mHighlighted; }
    void setDataSource(VKColourCellDataSource *source) { m_dataSource = source; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    void drawInteriorWithFrame(QPainter &painter, const QRectF &frame, const QColor &colour,
                               bool highlighted) const;
    // Pops the picker up under the cell and returns when it has closed.
    bool trackMouse(const QMouseEvent *event, const QRect &cellFrame, QTableView *view);
    // The picker's action.
    void colourChangeFromPicker(VKColourPickerView &picker);
    // The picker of the pop-up being shown, if any.
    VKColourPickerView *activePicker() const { return m_picker; }

signals:
    // The picker is up (for hosts and tests that act while the menu tracks).
    void pickerShown(VKColourPickerView *picker);

private:
    QColor mColour;
    bool mHighlighted = false;
    QRect mFrame;
    QPointer<QTableView> mControlView;
    int m_row = -1;
    VKColourCellDataSource *m_dataSource = nullptr;
    QPointer<VKColourPickerView> m_picker;
};
