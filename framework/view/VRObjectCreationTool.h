#pragma once

#include "framework/base/VRTypes.h"
#include "framework/view/VRDrawingTool.h"

#include <QImage>
#include <QList>
#include <QPointF>

// Creates a copy of its prototype: a click places it at its natural size centred on the point,
// a drag gives it the dragged rectangle. Path prototypes are drawn as a line, freehand, or a
// polyline clicked point by point (double-click or Return ends it). The new object becomes the
// only selection; undo "Create " + the tool's name.
class VRObjectCreationTool : public VRDrawingTool
{
    VR_CLASS(VRObjectCreationTool)
public:
    enum class Gesture { Box, Line, Freehand, Polyline };

    explicit VRObjectCreationTool(VRObjectRef prototypeObject, Gesture gesture = Gesture::Box);

    VRObjectRef prototype() const { return m_prototype; }
    // The given title, else the prototype's own ("TITLE"), else the registered name.
    QString title() const override;
    void setPrototype(VRObjectRef prototype) { m_prototype = std::move(prototype); }
    Gesture gesture() const { return m_gesture; }
    // Rendered once per tool by the palette.
    QImage cachedImage() const { return m_cachedImage; }
    void setCachedImage(const QImage &image) { m_cachedImage = image; }
    // Text tools start editing the new object's text right away.
    void setEditsTextAfterCreation(bool edits) { m_editsText = edits; }

    // Null = each prototype's own style; applied to plain shapes, never to diagram elements.
    static VRStyleRef styleForCreatedObjects();
    static void setStyleForCreatedObjects(VRStyleRef style);

    // Makes, adds and selects the object for a rectangle (a click passes an empty rectangle at
    // the point). Returns it, or null when there is no object layer to draw in.
    VRObjectRef createObject(VRDrawingView &view, const QRectF &rect);

    void mousePressed(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseDragged(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseReleased(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseDoubleClicked(VRDrawingView &view, const VRToolEvent &event) override;
    bool keyPressed(VRDrawingView &view, QKeyEvent *event) override;
    void paintOverlay(VRDrawingView &view, QPainter &painter) const override;
    bool isBusy() const override { return m_active; }
    void toolWillResign(VRDrawingView &view) override;

private:
    VRObjectRef createPath(VRDrawingView &view, const QList<QPointF> &points);
    void finishPolyline(VRDrawingView &view);
    void addAndSelect(VRDrawingView &view, const VRObjectRef &object);

    VRObjectRef m_prototype;
    Gesture m_gesture;
    QImage m_cachedImage;
    bool m_editsText = false;
    bool m_active = false;
    QPointF m_start;
    QPointF m_current;
    QList<QPointF> m_points;
};
