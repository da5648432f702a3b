#include "framework/view/VRViewController.h"

#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRToolRegistry.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawing.h"
#include "platform/NotificationCenter.h"

QPointer<VRViewController> VRViewController::s_current;

VRViewController::VRViewController(VRDrawingView *view)
    : QObject(view)
    , m_view(view)
{
    if (!s_current)
        s_current = this;
}

VRViewController::~VRViewController() = default;

VRDrawing *VRViewController::drawing() const
{
    return m_view ? m_view->drawing() : nullptr;
}

VRDrawingTool *VRViewController::drawingTool() const
{
    if (m_tool)
        return m_tool;
    return VRToolRegistry::sharedToolRegistry().drawingToolWithName(kVRSelectToolName);
}

void VRViewController::setDrawingTool(VRDrawingTool *tool)
{
    VRDrawingTool *select =
        VRToolRegistry::sharedToolRegistry().drawingToolWithName(kVRSelectToolName);
    if (!tool)
        tool = select;
    VRDrawingTool *old = drawingTool();
    if (tool == old && m_tool)
        return;
    if (old && old != tool && m_view)
        old->toolWillResign(*m_view);
    m_tool = tool;
    if (m_view) {
        tool->toolDidBecomeCurrent(*m_view);
        m_view->setCursor(tool->cursor());
        m_view->update();
    }
    emit drawingToolChanged(tool);
    QVariantMap info{{QStringLiteral("tool"), QVariant::fromValue(tool)},
                     {QStringLiteral("name"), tool->registeredName()}};
    NotificationCenter::defaultCenter().post(kVRDidChangeToolNotification, m_view, info);
}

bool VRViewController::selectDrawingToolWithName(const QString &name)
{
    VRDrawingTool *tool = VRToolRegistry::sharedToolRegistry().drawingToolWithName(name);
    if (!tool)
        return false;
    setDrawingTool(tool);
    return true;
}

VRViewController *VRViewController::current()
{
    return s_current.data();
}

void VRViewController::setCurrent(VRViewController *controller)
{
    s_current = controller;
}
