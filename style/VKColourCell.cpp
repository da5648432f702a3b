#include "style/VKColourCell.h"

#include "style/VKColourPickerView.h"
#include "style/VKWindowMenu.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTableView>

VKColourCell::VKColourCell(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

void VKColourCell::setColorValue(const QColor &colour)
{
    if (!colour.isValid() || colour == mColour)
        return;
    mColour = colour;
    if (mControlView)
        mControlView->viewport()->update(mFrame);
}

void VKColourCell::setObjectValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::QColor)
        setColorValue(value.value<QColor>());
}

void VKColourCell::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const
{
    const QVariant value = index.data(Qt::EditRole);
    if (value.typeId() != QMetaType::QColor)
        return;
    const bool highlighted = mHighlighted && index.row() == m_row;
    drawInteriorWithFrame(*painter, option.rect, value.value<QColor>(), highlighted);
}

void VKColourCell::drawInteriorWithFrame(QPainter &painter, const QRectF &f, const QColor &colour,
                                         bool highlighted) const
{
    if (!colour.isValid())
        return;
    painter.save();
    painter.fillRect(f.adjusted(6, 5, -6, -5), highlighted ? QColor(Qt::darkGray) : Qt::white);
    painter.fillRect(f.adjusted(8, 7, -8, -7), colour);
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(f.adjusted(6.5, 5.5, -6.5, -5.5));
    // The pop-up marker in the lower right corner.
    QPainterPath marker;
    const QPointF corner(f.x() + f.width() - 18, f.y() + f.height() - 13);
    marker.moveTo(corner + QPointF(2, 3));
    marker.lineTo(corner + QPointF(8, 3));
    marker.lineTo(corner + QPointF(5, 6.5));
    marker.closeSubpath();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(Qt::black);
    painter.drawPath(marker);
    painter.restore();
}

bool VKColourCell::trackMouse(const QMouseEvent *event, const QRect &r, QTableView *view)
{
    mControlView = view;
    mFrame = r;
    m_row = view ? view->rowAt(r.center().y()) : -1;
    if (view)
        mColour = view->model()
                      ->index(m_row, view->columnAt(r.center().x()))
                      .data(Qt::EditRole)
                      .value<QColor>();
    setState(true);
    if (view)
        view->viewport()->update(r);
    QWidget *anchorView = view ? view->viewport() : nullptr;
    QPoint anchor(r.x() + 6, r.y() + r.height() - 5);
    if (anchorView)
        anchor = anchorView->mapTo(anchorView->window(), anchor);
    auto *picker = new VKColourPickerView(QRect(0, 0, 161, 161));
    VKWindowMenu *menu = VKWindowMenu::windowMenuWithContentView(picker);
    picker->setMode(VKColourPickerView::SwatchMode);
    picker->setTarget(this);
    picker->setAction([this](VKColourPickerView &p) { colourChangeFromPicker(p); });
    picker->setColorForUndefinedSelection(mColour);
    picker->setShowsInfo(false);
    m_picker = picker;
    QMetaObject::invokeMethod(
        this,
        [this, p = QPointer<VKColourPickerView>(picker)] {
            if (p)
                emit pickerShown(p);
        },
        Qt::QueuedConnection);
    VKWindowMenu::popUpWindowMenu(menu, anchor, event, anchorView);
    m_picker = nullptr;
    setState(false);
    if (view)
        view->viewport()->update(r);
    return true;
}

void VKColourCell::colourChangeFromPicker(VKColourPickerView &picker)
{
    if (!mControlView || !m_dataSource)
        return;
    m_dataSource->setTemporaryColour(picker.color(), mControlView, m_row);
    mControlView->viewport()->update(mFrame);
}
