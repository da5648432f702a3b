#pragma once

#include <QList>
#include <QPainterPath>
#include <QPolygonF>

// Path measurements and reshapings shared by the renderers (trimming, zig-zags, rough
// outlines, placing motifs along a path). Curves are followed as flattened polylines.
class VRPathGeometry
{
public:
    struct Placement {
        QPointF point;
        double angleInDegrees = 0.0; // direction of travel, clockwise on screen
    };

    static QList<QPolygonF> polylines(const QPainterPath &path);
    static double length(const QPolygonF &polyline);
    static Placement placementAt(const QPolygonF &polyline, double distance);
    // Removes lengths from the start of the first and the end of the last open subpath.
    static QPainterPath trimmed(const QPainterPath &path, double fromStart, double fromEnd);
    // A zig-zag following the path: peaks every half wavelength, amplitude to each side;
    // spread 0 gives sharp corners, 1 smooth waves.
    static QPainterPath zigZag(const QPainterPath &path, double wavelength, double amplitude,
                               double spread);
    // A hand-drawn variant of the path, the same for the same seed.
    static QPainterPath rough(const QPainterPath &path, double roughness, quint64 seed);
    // A seed from the geometry itself, so an object's rough look is stable between repaints.
    static quint64 seedForPath(const QPainterPath &path);
};
