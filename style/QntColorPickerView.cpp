#include "style/QntColorPickerView.h"

namespace {
constexpr int kSwatchesPerRow = 6;
}

QntColorPickerView::QntColorPickerView(const QRect &frame, QWidget *parent)
    : VKColourPickerView(frame, parent)
{
}

QColor QntColorPickerView::colorForSwatchX(int x, int y) const
{
    const int i = x + kSwatchesPerRow * y;
    if (!_currentNotation || i < 0)
        return Qt::gray;
    const QList<QntColorSchemeItemRecord> items =
        _currentNotation->colorSchemesItemsText(_currentColorSchemeId);
    return i < items.size() ? items.at(i).colour : QColor(Qt::gray);
}

QntColorSchemePickerView::QntColorSchemePickerView(const QRect &frame, QWidget *parent)
    : QntColorPickerView(frame, parent)
{
}

QColor QntColorSchemePickerView::colorForSwatchX(int x, int y) const
{
    const int i = x + kSwatchesPerRow * y;
    if (!_currentNotation || i < 0)
        return Qt::gray;
    const QList<QntColorSchemeData> schemes = _currentNotation->colorSchemesList();
    return i < schemes.size() ? schemes.at(i).colour : QColor(Qt::gray);
}

qint64 QntColorSchemePickerView::colorSchemeIdForSwatchX(int x, int y) const
{
    const int i = x + kSwatchesPerRow * y;
    if (!_currentNotation || i < 0)
        return 0;
    const QList<QntColorSchemeData> schemes = _currentNotation->colorSchemesList();
    return i < schemes.size() ? schemes.at(i).schemeId : 0;
}

qint64 QntColorSchemePickerView::colorSchemeId() const
{
    const QPointF s = selection();
    if (mode() != SwatchMode || s.y() != 0 || s.x() < 0 || s.x() >= kSwatchesPerRow)
        return 0;
    return colorSchemeIdForSwatchX(int(s.x()), 0);
}
