#include "framework/view/VRPanTool.h"

#include "framework/view/VRDrawingView.h"

VR_CLASS_IMPL_WITH(VRPanTool, &VRDrawingTool::staticClass(), nullptr)

void VRPanTool::mousePressed(VRDrawingView &, const VRToolEvent &event)
{
    m_active = true;
    m_lastGlobal = event.globalPosition;
}

void VRPanTool::mouseDragged(VRDrawingView &view, const VRToolEvent &event)
{
    if (!m_active)
        return;
    // Global positions: the view itself moves under the pointer while it scrolls.
    view.scrollByPixels(m_lastGlobal - event.globalPosition);
    m_lastGlobal = event.globalPosition;
}

void VRPanTool::mouseReleased(VRDrawingView &view, const VRToolEvent &)
{
    if (!m_active)
        return;
    m_active = false;
    finishedUse(view);
}

QCursor VRPanTool::cursor() const
{
    return QCursor(m_active ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
}
