#pragma once

#include <QPainterPath>
#include <QRectF>
#include <QSizeF>

// Path shapes of the pop-up controls and the on-cell mini controls. Rectangles are in the
// coordinates they are drawn in; angles of the iris shapes in radians.
class VKBezierPath
{
public:
    // A half-size circle in the middle of the rectangle with a cross through the whole of it.
    static QPainterPath bezierPathWithTargetInRect(const QRectF &rect);
    // offset 0: the target; otherwise a round-ended bar (three quarters wide, half high) against
    // the left edge (offset -1) or the right edge, with the same cross.
    static QPainterPath bezierPathWithOffsetTargetInRect(const QRectF &rect, int offset);
    // A circle for a square, else a rectangle with half-round ends on its shorter sides.
    static QPainterPath bezierPathWithRoundEndedRectInRect(const QRectF &rect);
    // Corners of radius min(radius, w/2, h/2); a plain rectangle when that is not above 0.
    static QPainterPath roundRectInRect(const QRectF &rect, double radius);
    // A ring about the origin, open at angle 0 where a tab sticks out (even-odd fill).
    static QPainterPath bezierPathWithIrisRingWithRadius(double radius, double width,
                                                         QSizeF tabSize);
    // The tab alone, just outside the ring at angle 0.
    static QPainterPath bezierPathWithIrisTabWithRadius(double radius, double width,
                                                        QSizeF tabSize);
    static QPainterPath bezierPathWithIrisRingWithRadius(double radius, double width,
                                                         double tabAngle, QSizeF tabSize);
    static QPainterPath bezierPathWithIrisTabWithRadius(double radius, double width,
                                                        double tabAngle, QSizeF tabSize);
};
