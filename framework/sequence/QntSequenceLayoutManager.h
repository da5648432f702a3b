#pragma once

#include "framework/base/VRTypes.h"

#include <QRectF>
#include <QString>
#include <QVariantMap>

#include <memory>

class ISDiagram;
class QntConnector;
class VRDrawing;

// Draws a sequence-diagram model into a drawing: a header and a dashed lifeline per timeline,
// evenly spaced; one row per message, top to bottom in model order; self messages as loops;
// responses dashed with an open arrowhead; option, loop and alternative frames around exactly
// their rows, with dashed separators for the alternative conditions. Every generated object
// carries the metadata by which a later layout finds it, and takes the look the drawing's
// sequenceStyleDic remembers for its identifier.
class QntSequenceLayoutManager
{
public:
    QntSequenceLayoutManager() = default;

    void setDiagram(std::shared_ptr<ISDiagram> diagram) { m_diagram = std::move(diagram); }
    std::shared_ptr<ISDiagram> diagram() const { return m_diagram; }

    // Adds the diagram's objects to the drawing's active object layer as one undo step
    // "Sequence Layout". timelineIdentifiersAndNames maps a timeline identifier to its title;
    // options holds the QntSeq…Key values (a missing or non-positive value takes the default).
    // The drawing grows when the diagram does not fit. Returns the objects added.
    VRObjectList performDrawingOnDrawing(VRDrawing *drawing,
                                         const QVariantMap &timelineIdentifiersAndNames,
                                         const QVariantMap &options);

    // The look of a connector's line as the layout keeps it: the style of its skin's shaft,
    // else its own style.
    static VRStyleRef shaftStyle(const QntConnector &connector);

    // The bounds of everything the last drawing added.
    QRectF diagramBounds() const { return m_bounds; }

private:
    std::shared_ptr<ISDiagram> m_diagram;
    QRectF m_bounds;
};
