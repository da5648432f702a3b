#pragma once

#include <QPointF>
#include <QRectF>

// The attached windows' screen geometry: y grows upwards and a rectangle's origin is its
// bottom-left corner, so "above" and "below" read as on paper. Every conversion from and to
// Qt's global coordinates (y down, top-left origins) happens here.
namespace AXScreen {

QPointF fromGlobal(QPointF global);
QPointF toGlobal(QPointF point);
QRectF fromGlobal(const QRectF &global);
QRectF toGlobal(const QRectF &rect);

// The frame and the visible frame (without panels) of the screen that holds the point; the
// primary screen when none does. Empty without screens.
QRectF frameForPoint(QPointF point);
QRectF visibleFrameForPoint(QPointF point);

} // namespace AXScreen
