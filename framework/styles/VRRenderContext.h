#pragma once

#include <QPainterPath>
#include <QRectF>
#include <QString>

class QTextDocument;

// What a renderer draws on: the object's outline and frame, in the painter's coordinates, plus
// the little else some renderers need, so styles never depend on the model's classes.
struct VRRenderContext {
    // The object's outline (rotation applied).
    QPainterPath path;
    // The object's unrotated frame, centred on the object; renderers that lay things out in
    // the frame (text, images, pattern angles) turn by angle about its centre.
    QRectF bounds;
    // The object's rotation in radians (clockwise on screen).
    double angle = 0.0;
    // The object's text, for text renderers without their own label; the document wins.
    QString text;
    const QTextDocument *textDocument = nullptr;
    // Device pixels per drawing point (view zoom × device ratio); sizes off-screen buffers.
    double scale = 1.0;
    // A number that identifies the object, for renderers with stable randomness.
    quint64 seed = 0;

    // A context for a bare path (frame = its bounds).
    static VRRenderContext forPath(const QPainterPath &path)
    {
        VRRenderContext context;
        context.path = path;
        context.bounds = path.boundingRect();
        return context;
    }
};
