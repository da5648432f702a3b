#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

namespace qnt::test {

// Whether the segment from a to b passes through the inside of r shrunk by margin on every
// side: touching or running along the shrunk border does not count. Exact (the segment is
// clipped against the rectangle), so a corner cut of any size is found.
bool segmentCrossesInterior(QPointF a, QPointF b, const QRectF &r, double margin = 0.01);

// Whether any segment of the polyline does.
bool pathCrossesInterior(const QList<QPointF> &path, const QRectF &r, double margin = 0.01);

// Whether every segment of the polyline is horizontal or vertical (within a millionth).
bool isOrthogonal(const QList<QPointF> &path);

} // namespace qnt::test
