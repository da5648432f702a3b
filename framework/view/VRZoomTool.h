#pragma once

#include "framework/view/VRDrawingTool.h"

#include <QRectF>

// A click zooms x2 about the point (/2 when zoomsOut); a drag zooms to the dragged rectangle.
class VRZoomTool : public VRDrawingTool
{
    VR_CLASS(VRZoomTool)
public:
    explicit VRZoomTool(bool zoomsOut = false)
        : m_zoomsOut(zoomsOut)
    {
    }

    bool zoomsOut() const { return m_zoomsOut; }
    void setZoomsOut(bool zoomsOut) { m_zoomsOut = zoomsOut; }

    void mousePressed(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseDragged(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseReleased(VRDrawingView &view, const VRToolEvent &event) override;
    void paintOverlay(VRDrawingView &view, QPainter &painter) const override;
    QCursor cursor() const override;
    bool isBusy() const override { return m_active; }

private:
    bool m_zoomsOut;
    bool m_active = false;
    QPointF m_start;
    QRectF m_band;
    QPoint m_startView;
};
