#pragma once

#include "framework/base/VRTypes.h"
#include "framework/model/QntConnector.h"
#include "framework/view/VRDrawingTool.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <memory>

class VKInfoFloater;
class QntElement;
class VRObjectDrawingLayer;

// Click and Shift-click select, rubber band, move, eight resize handles, a rotation handle;
// a connector's label is dragged on its own; double-click edits text or highlights the
// sub-element under the pointer.
class VRSelectAndEditTool : public VRDrawingTool
{
    VR_CLASS(VRSelectAndEditTool)
public:
    VRSelectAndEditTool();
    ~VRSelectAndEditTool() override;

    // 0 idle, 1 a drag or edit in progress.
    int operationMode() const { return m_drag == Drag::None ? 0 : 1; }

    void mousePressed(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseDragged(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseReleased(VRDrawingView &view, const VRToolEvent &event) override;
    void mouseDoubleClicked(VRDrawingView &view, const VRToolEvent &event) override;
    void paintOverlay(VRDrawingView &view, QPainter &painter) const override;
    QCursor cursor() const override { return QCursor(Qt::ArrowCursor); }
    bool isSelectionTool() const override { return true; }
    bool isBusy() const override { return m_drag != Drag::None; }
    // The size read-out shown while resizing (when drawables display size info); may be null.
    VKInfoFloater *sizeInfoFloater() const { return m_sizeInfo.get(); }

private:
    enum class Drag {
        None,
        Pending,
        Move,
        Resize,
        Rotate,
        RubberBand,
        ConnectorEnd,
        ConnectorBend,
        ConnectorLabel
    };
    struct Saved {
        VRObjectRef object;
        QPointF location;
        QSizeF size;
        QSizeF offset;
        double angle = 0.0;
        QPointF centre;
        // How far from the centre the object reaches (reachBounds()) at the start.
        double reach = 0.0;
    };
    static Saved saved(const VRObjectRef &object);

    // Whether an area lies well within the coordinates a drawing holds.
    static bool nearTheDrawing(const QRectF &area);
    // The same for a disc.
    static bool nearTheDrawing(QPointF centre, double radius);
    // A move, resize or turn would take objects beyond them: the drawing tells the user.
    void refuseTooFarOut(VRDrawingView &view);
    void beginGesture(VRDrawingView &view);
    void endGesture(VRDrawingView &view, const QString &actionName);
    void moveTo(VRDrawingView &view, const VRToolEvent &event);
    // The pointer left the visible drawing while moving: the move is undone and the selection
    // is dragged out (the layer keeps it as pending for the drop target).
    void dragOut(VRDrawingView &view);
    void resizeTo(VRDrawingView &view, const VRToolEvent &event);
    void rotateTo(VRDrawingView &view, const VRToolEvent &event);
    void dragConnectorEnd(VRDrawingView &view, const VRToolEvent &event);
    void dropConnectorEnd(VRDrawingView &view, const VRToolEvent &event);
    // A press on a connector's label: the drag moves the label only. False elsewhere.
    bool startLabelDrag(const std::shared_ptr<QntConnector> &connector, QPointF point);

    Drag m_drag = Drag::None;
    Drag m_pendingKind = Drag::None;
    VRObjectDrawingLayer *m_layer = nullptr;
    QPointF m_start;
    QPoint m_startView;
    QRectF m_band;
    QRectF m_startBounds;
    // The moved objects' reachBounds() at the start: what the shortcut of nearTheDrawing() is
    // asked about while they move.
    QRectF m_startReach;
    QList<Saved> m_saved;
    int m_handle = -1;
    // Dragging one end of the selected connector to another element.
    std::shared_ptr<QntConnector> m_connector;
    int m_connectorEnd = 0;
    std::weak_ptr<QntElement> m_endElement;
    int m_endSpot = -1;
    QPointF m_endPoint;
    VRRouteSide m_endSide = VRRouteSide::Any;
    // Dragging the middle run of the selected manual orthogonal connector.
    QPointF m_bendStart;
    // Across which axis the grabbed run moves: (1, 0) for a vertical run, (0, 1) for a level one.
    QPointF m_bendAxis;
    std::weak_ptr<QntElement> m_endHover;
    // Dragging the label of a connector: where it was, and the grab point's offset from its
    // centre.
    QntConnector::LabelSettings m_labelStart;
    QPointF m_labelGrab;
    // How far the moved connectors have gone so far: they move by steps, since their ends
    // may follow moved elements meanwhile.
    QPointF m_movedBy;
    std::unique_ptr<VKInfoFloater> m_sizeInfo;
    bool m_grouping = false;
    bool m_changed = false;
    bool m_refusedTooFarOut = false;
};
