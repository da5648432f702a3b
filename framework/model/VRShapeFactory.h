#pragma once

#include <QPainterPath>
#include <QRectF>

// Ready-made outlines.
class VRShapeFactory
{
public:
    // The radius is clamped to half the shorter side.
    static QPainterPath roundRectInRect(const QRectF &rect, double andCornerRadius);
};
