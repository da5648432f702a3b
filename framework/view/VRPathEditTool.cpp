#include "framework/view/VRPathEditTool.h"

#include "framework/view/VRDrawingView.h"
#include "framework/model/VRDrawablePath.h"

VR_CLASS_IMPL_WITH(VRPathEditTool, &VRDrawingTool::staticClass(), nullptr)

void VRPathEditTool::mousePressed(VRDrawingView &view, const VRToolEvent &event)
{
    VRObjectRef hit = view.objectAtPoint(event.rawPoint);
    if (!hit || !hit->isKindOf<VRDrawablePath>() || hit->isLocked()) {
        finishedUse(view);
        return;
    }
    auto path = std::static_pointer_cast<VRDrawablePath>(hit);
    const QRectF before = path->bounds();
    if (m_inserts)
        path->insertPathPoint(event.rawPoint);
    else
        path->deletePathPoint(event.rawPoint);
    view.updateDrawingRect(before | path->bounds());
    finishedUse(view);
}
