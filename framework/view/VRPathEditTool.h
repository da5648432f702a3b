#pragma once

#include "framework/view/VRDrawingTool.h"

// Adds or removes a vertex of the path or connector under the pointer.
class VRPathEditTool : public VRDrawingTool
{
    VR_CLASS(VRPathEditTool)
public:
    explicit VRPathEditTool(bool inserts)
        : m_inserts(inserts)
    {
    }

    bool inserts() const { return m_inserts; }
    void mousePressed(VRDrawingView &view, const VRToolEvent &event) override;

private:
    bool m_inserts;
};
