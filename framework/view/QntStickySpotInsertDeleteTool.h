#pragma once

#include "framework/view/VRDrawingTool.h"

#include <QPointF>

#include <memory>

class QntElement;

// Edits the sticky spots of elements: move one (drag), insert one per click, insert exactly one
// and revert, or delete the spot under the pointer. Spots of the element under the pointer are
// shown while the tool is current.
class QntStickySpotInsertDeleteTool : public VRDrawingTool
{
    VR_CLASS(QntStickySpotInsertDeleteTool)
public:
    enum class Mode { Select, Insert, InsertOne, Delete };

    explicit QntStickySpotInsertDeleteTool(Mode mode)
        : m_mode(mode)
    {
    }
    Mode mode() const { return m_mode; }

    void mousePressed(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseDragged(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseReleased(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseMoved(VRDrawingView &view, const VRToolEvent &event) override;
    void paintOverlay(VRDrawingView &view, QPainter &painter) const override;
    bool isBusy() const override { return m_dragSpot >= 0; }

private:
    std::shared_ptr<QntElement> elementAt(VRDrawingView &view, QPointF point) const;
    int spotNear(VRDrawingView &view, const QntElement &element, QPointF point) const;

    Mode m_mode;
    std::weak_ptr<QntElement> m_element;
    int m_dragSpot = -1;
};
