#pragma once

#include "framework/base/VRTypes.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <vector>

class QntConnector;
class QntElement;
class VRObjectDrawingLayer;

// Automatic layered layout of a layer's connected elements. The elements that connectors join
// are the nodes, the connectors between two of them the edges; Graphviz's dot layout (in
// process) ranks them top to bottom with the layer's vertex and layer distances, the elements
// move to their places, and the connectors are re-attached at facing sticky spots and routed as
// the layer's edge-routing type says.
//
// The work runs in three steps so that a caller can keep the user interface alive: prepare()
// reads the layer (main thread), compute() runs Graphviz on a copy of the graph and touches no
// model object (any thread, one computation at a time), apply() moves the objects as one undo
// step "Automatic Layout" (main thread). VRObjectDrawingLayer::layout() runs all three.
class VRAutomaticLayout
{
public:
    // Layout parameter keys of VRObjectDrawingLayer::layoutParams() and their defaults.
    static const QString kVertexDistanceKey; // "VertexDistance", default 40
    static const QString kLayerDistanceKey;  // "LayerDistance", default 60
    static const QString kEdgeRoutingKey;    // "EdgeRoutingsType", default 1
    static const QString kLayoutOffsetKey;   // "LayoutOffset", default 20
    static constexpr double kDefaultVertexDistance = 40.0;
    static constexpr double kDefaultLayerDistance = 60.0;
    static constexpr int kDefaultEdgeRouting = 1;
    static constexpr double kDefaultLayoutOffset = 20.0;
    // The largest distance and offset taken, in points (about 3.5 m): larger ones throw the
    // diagram off any page a drawing can have.
    static constexpr double kMaximumDistance = 10000.0;

    // Edge routing types: 0 straight, 1 automatic orthogonal, 2 automatic polyline, 3 curved.
    enum EdgeRouting { Straight = 0, Orthogonal = 1, Polyline = 2, Curved = 3 };

    // Why nothing can be laid out.
    enum class Emptiness { None, NoElements, NoConnectors };

    struct Parameters {
        double vertexDistance = kDefaultVertexDistance;
        double layerDistance = kDefaultLayerDistance;
        int edgeRouting = kDefaultEdgeRouting;
        double layoutOffset = kDefaultLayoutOffset;
    };
    // Reads the parameters; missing, non-numeric or non-positive distances, a negative or
    // non-numeric offset, distances or an offset above kMaximumDistance and an unknown routing
    // type take the defaults.
    static Parameters parametersFrom(const QVariantMap &layoutParams);

    // The graph, independent of the model: what compute() works on.
    struct Graph {
        std::vector<QSizeF> nodeSizes;
        std::vector<std::pair<int, int>> edges; // tail, head indices into nodeSizes
        Parameters parameters;
        bool wantsEdgeCurves = false;
    };
    struct Placement {
        std::vector<QPointF> centres;             // node centres, y down, bounds start at (0, 0)
        std::vector<std::vector<QPointF>> curves; // per edge: cubic Bézier points (when wanted)
        QSizeF size;
    };
    // Graphviz dot over the graph; thread-safe (calls are serialised). Fails with a readable
    // message when Graphviz cannot lay the graph out.
    static VRResult<Placement> computePlacement(const Graph &graph);

    explicit VRAutomaticLayout(VRObjectDrawingLayer &layer);
    ~VRAutomaticLayout();
    VRAutomaticLayout(const VRAutomaticLayout &) = delete;
    VRAutomaticLayout &operator=(const VRAutomaticLayout &) = delete;

    Emptiness emptiness() const;
    int nodeCount() const { return int(m_nodes.size()); }
    int edgeCount() const { return int(m_edges.size()); }
    const Graph &graph() const { return m_graph; }

    // Runs Graphviz; no model object is touched.
    VRResult<void> compute();
    bool isComputed() const { return m_placement != nullptr; }
    // Takes the result of computePlacement(graph()) made elsewhere, on a worker thread.
    void setPlacement(Placement placement);
    // Whether the computed diagram, placed at the offset, stays within the coordinates a drawing
    // can hold (a document keeps and reads back only those); false when nothing was computed.
    bool fitsTheDrawing() const;
    // Moves the nodes and re-routes the edges (one undo step); false, with nothing changed, when
    // nothing was computed, an object left the layer since prepare() or the diagram does not
    // fit the drawing.
    bool apply();
    // The area the laid-out elements and connectors cover now.
    QRectF laidOutBounds() const;

private:
    // Where the diagram's top left corner goes: the page's margins plus the offset.
    QPointF origin() const;

    VRObjectDrawingLayer &m_layer;
    std::vector<std::shared_ptr<QntElement>> m_nodes;
    std::vector<std::shared_ptr<QntConnector>> m_edges;
    Graph m_graph;
    std::unique_ptr<Placement> m_placement;
    bool m_hasElements = false;
};
