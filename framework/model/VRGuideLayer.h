#pragma once

#include "framework/model/VRLayer.h"

#include <QList>
#include <QRectF>

// Smart guides: while objects move or resize they snap to other objects' edges and centres,
// and the guide lines in use are drawn.
class VRGuideLayer : public VRLayer
{
    VR_CLASS(VRGuideLayer)
public:
    VRGuideLayer();

    static bool showSmartGuides();
    static void setShowSmartGuides(bool show);

    // Snaps a moving rectangle to the edges and centres of the others within tolerance;
    // returns the offset to apply and remembers the guide lines to draw.
    QPointF snapRect(const QRectF &moving, const QList<QRectF> &others, double tolerance);
    void clearGuides();
    QList<double> verticalGuides() const { return m_vertical; }
    QList<double> horizontalGuides() const { return m_horizontal; }

    void render(QPainter &painter, bool printing) const override;

private:
    QList<double> m_vertical;
    QList<double> m_horizontal;
};
