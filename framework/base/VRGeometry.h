#pragma once

// Small geometry helpers the framework shares.

#include <QRectF>

#include <algorithm>

// The smallest rectangle holding both, flat ones (a line's zero width or height, a bare point)
// included: QRectF::united() drops a rectangle without area, and with it the place it marks.
inline QRectF vrSpanOfRects(const QRectF &a, const QRectF &b)
{
    return QRectF(QPointF(std::min(a.left(), b.left()), std::min(a.top(), b.top())),
                  QPointF(std::max(a.right(), b.right()), std::max(a.bottom(), b.bottom())));
}
