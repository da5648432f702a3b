#pragma once

#include "framework/view/VRDrawingTool.h"

#include <QPointF>

#include <memory>
#include <utility>

class QntElement;
class QntStickySpot;
class VRDrawableObject;

// Draws connectors: press on an element (its nearest sticky spot; the element is highlighted),
// drag, release on another element (attached to its nearest spot) or on paper (a free end).
// The connector is added and selected (undo "Create Connector") and
// kQntDidCreateConnectorNotification is posted.
class QntConnectorTool : public VRDrawingTool
{
    VR_CLASS(QntConnectorTool)
public:
    enum class Kind { Plain, DoubleText, Sequence };

    explicit QntConnectorTool(Kind kind = Kind::Plain);

    Kind kind() const { return m_kind; }
    // Routing of new connectors (0 straight ... 4 automatic polyline); default 3.
    static int routingForNewConnectors();
    static void setRoutingForNewConnectors(int routing);

    // The element a connector end put down at a drawing point attaches to: the topmost element
    // there, except that a text lying on a shape's area is passed over for the shape (the
    // user meant the shape; the text is a label on it). A text element standing alone is a
    // target itself. `ignore` (the connector being reconnected) is looked through.
    static std::shared_ptr<QntElement>
    elementForConnectorEnd(VRDrawingView &view, QPointF point,
                           const VRDrawableObject *ignore = nullptr);

    // Starts a connector from an element as if the mouse went down there (an armed element);
    // the next click ends it.
    void beginDragFromElement(VRDrawingView &view, QntElement &element, QPointF point);

    void mousePressed(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseDragged(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseReleased(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseMoved(VRDrawingView &view, const VRToolEvent &event) override;
    void paintOverlay(VRDrawingView &view, QPainter &painter) const override;
    void toolWillResign(VRDrawingView &view) override;
    bool isBusy() const override { return m_active; }

private:
    void setHover(VRDrawingView &view, const std::shared_ptr<QntElement> &element);
    void finish(VRDrawingView &view, QPointF point);
    void updateSourceSpot(QPointF towards);
    // The source and target spot indices that give the neatest connection.
    std::pair<int, int> bestSpotPair(const QntElement *source, const QntElement &target) const;
    void cancel(VRDrawingView &view);

    Kind m_kind;
    bool m_active = false;
    bool m_armed = false;
    QPointF m_from;
    QPointF m_to;
    QPoint m_pressView;
    std::weak_ptr<QntElement> m_source;
    std::weak_ptr<QntElement> m_hover;
    int m_sourceSpot = -1;
    bool m_sourceSpotFixed = false;
};
