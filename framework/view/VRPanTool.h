#pragma once

#include "framework/view/VRDrawingTool.h"

// Dragging scrolls the view.
class VRPanTool : public VRDrawingTool
{
    VR_CLASS(VRPanTool)
public:
    VRPanTool() = default;

    void mousePressed(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseDragged(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseReleased(VRDrawingView &view, const VRToolEvent &event) override;
    QCursor cursor() const override;
    bool isBusy() const override { return m_active; }

private:
    bool m_active = false;
    QPointF m_lastGlobal;
};
