#include "framework/routing/VRAutomaticLayout.h"

#include "framework/archive/VRArchiveReader.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/QntStickySpot.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/undo/VRUndoManager.h"

#include <QHash>
#include <QLibrary>
#include <QLineF>
#include <QLoggingCategory>
#include <QPainterPath>

#include <graphviz/gvc.h>

#include <cmath>
#include <mutex>

Q_LOGGING_CATEGORY(lcLayout, "vr.layout")

const QString VRAutomaticLayout::kVertexDistanceKey = QStringLiteral("VertexDistance");
const QString VRAutomaticLayout::kLayerDistanceKey = QStringLiteral("LayerDistance");
const QString VRAutomaticLayout::kEdgeRoutingKey = QStringLiteral("EdgeRoutingsType");
const QString VRAutomaticLayout::kLayoutOffsetKey = QStringLiteral("LayoutOffset");

namespace {

// Graphviz keeps global state (its error level, its layout engines' statics): one at a time.
std::mutex &graphvizMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Graphviz, opened by the first layout rather than linked: a session that lays nothing out never
// maps it. Every function is set when loaded.
struct Graphviz {
#define VR_GRAPHVIZ_FUNCTIONS(F)                                                                   \
    F(gvc, gvContext)                                                                              \
    F(gvc, gvLayout)                                                                               \
    F(gvc, gvFreeLayout)                                                                           \
    F(gvc, gvFreeContext)                                                                          \
    F(cgraph, agseterr)                                                                            \
    F(cgraph, agopen)                                                                              \
    F(cgraph, agclose)                                                                             \
    F(cgraph, agsafeset)                                                                           \
    F(cgraph, agattr)                                                                              \
    F(cgraph, agnode)                                                                              \
    F(cgraph, agedge)                                                                              \
    F(cgraph, agxset)
#define VR_GRAPHVIZ_MEMBER(library, name) decltype(&::name) name = nullptr;
    VR_GRAPHVIZ_FUNCTIONS(VR_GRAPHVIZ_MEMBER)
#undef VR_GRAPHVIZ_MEMBER
    Agdesc_t *directed = nullptr;
    bool loaded = false;
    QString error; // why it is not loaded

    // Opens the libraries once per process; thread-safe.
    static const Graphviz &shared()
    {
        static const Graphviz graphviz = [] {
            Graphviz api;
            // Kept loaded for the process: Graphviz's plugins stay registered with it.
            static QLibrary gvc(QStringLiteral("gvc"), 6);
            static QLibrary cgraph(QStringLiteral("cgraph"), 6);
            for (QLibrary *library : {&gvc, &cgraph}) {
                if (!library->load()) {
                    api.error = library->errorString();
                    return api;
                }
            }
            const auto resolve = [&api](QLibrary &library, auto &function, const char *name) {
                function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                    library.resolve(name));
                if (!function && api.error.isEmpty())
                    api.error = library.errorString();
            };
#define VR_GRAPHVIZ_RESOLVE(library, name) resolve(library, api.name, #name);
            VR_GRAPHVIZ_FUNCTIONS(VR_GRAPHVIZ_RESOLVE)
#undef VR_GRAPHVIZ_RESOLVE
            api.directed = reinterpret_cast<Agdesc_t *>(cgraph.resolve("Agdirected"));
            if (!api.directed && api.error.isEmpty())
                api.error = cgraph.errorString();
            api.loaded = api.error.isEmpty();
            return api;
        }();
        return graphviz;
    }
};
#undef VR_GRAPHVIZ_FUNCTIONS

const Graphviz &graphviz()
{
    return Graphviz::shared();
}

// Graphviz's C interface takes mutable strings it never changes.
char *gv(const char *text)
{
    return const_cast<char *>(text);
}

QByteArray inches(double points)
{
    return QByteArray::number(points / 72.0, 'f', 4);
}

std::optional<double> numberIn(const QVariantMap &map, const QString &key)
{
    const QVariant v = map.value(key);
    if (!v.isValid())
        return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

// Releases a Graphviz graph and its layout on every way out.
struct GraphvizSession {
    GVC_t *context = nullptr;
    Agraph_t *graph = nullptr;
    bool laidOut = false;
    int savedErrorLevel = 0;

    GraphvizSession()
    {
        // Warnings about the graph go nowhere; errors still reach the log through gvLayout's
        // result.
        savedErrorLevel = graphviz().agseterr(AGERR);
        context = graphviz().gvContext();
    }
    ~GraphvizSession()
    {
        if (laidOut)
            graphviz().gvFreeLayout(context, graph);
        if (graph)
            graphviz().agclose(graph);
        if (context)
            graphviz().gvFreeContext(context);
        graphviz().agseterr(agerrlevel_t(savedErrorLevel));
    }
};

QPointF centreOf(const QntElement &element)
{
    return element.logicalBounds().center();
}

// The index of the element's sticky spot nearest to a point, -1 without spots.
int spotNear(const QntElement &element, QPointF point)
{
    const std::shared_ptr<QntStickySpot> spot = element.nearestStickySpot(point);
    return spot ? spot->index() : -1;
}

void attachEnd(QntConnector &connector, int which, const std::shared_ptr<QntElement> &element,
               int spot)
{
    if (spot < 0)
        return;
    QntConnectorEndPoint *end = which == 0 ? connector.startEndPoint() : connector.endEndPoint();
    if (end->targetElement() == element && end->spotIndex() == spot && end->targetStickySpot())
        return;
    connector.reattachEnd(which, element, spot);
}

} // namespace

VRAutomaticLayout::Parameters VRAutomaticLayout::parametersFrom(const QVariantMap &params)
{
    Parameters p;
    if (const auto v = numberIn(params, kVertexDistanceKey); v && *v > 0 && *v <= kMaximumDistance)
        p.vertexDistance = *v;
    if (const auto v = numberIn(params, kLayerDistanceKey); v && *v > 0 && *v <= kMaximumDistance)
        p.layerDistance = *v;
    if (const auto v = numberIn(params, kLayoutOffsetKey); v && *v >= 0 && *v <= kMaximumDistance)
        p.layoutOffset = *v;
    if (const auto v = numberIn(params, kEdgeRoutingKey); v && *v >= 0 && *v <= 3)
        p.edgeRouting = int(*v);
    return p;
}

VRResult<VRAutomaticLayout::Placement> VRAutomaticLayout::computePlacement(const Graph &input)
{
    if (!graphviz().loaded)
        return VRError{QStringLiteral("Graphviz is not available: %1").arg(graphviz().error)};
    std::lock_guard lock(graphvizMutex());
    GraphvizSession session;
    if (!session.context)
        return VRError{QStringLiteral("Graphviz could not be started.")};
    session.graph = graphviz().agopen(gv("layout"), *graphviz().directed, nullptr);
    if (!session.graph)
        return VRError{QStringLiteral("Graphviz could not make a graph.")};
    Agraph_t *g = session.graph;
    graphviz().agsafeset(g, gv("rankdir"), gv("TB"), gv(""));
    graphviz().agsafeset(g, gv("nodesep"), gv(inches(input.parameters.vertexDistance).constData()),
                         gv(""));
    graphviz().agsafeset(g, gv("ranksep"), gv(inches(input.parameters.layerDistance).constData()),
                         gv(""));
    // Without curves dot skips its edge routing: our own router draws the connectors.
    graphviz().agsafeset(g, gv("splines"), gv(input.wantsEdgeCurves ? "spline" : ""), gv(""));
    graphviz().agattr(g, AGNODE, gv("shape"), gv("box"));
    graphviz().agattr(g, AGNODE, gv("fixedsize"), gv("true"));
    graphviz().agattr(g, AGNODE, gv("label"), gv(""));
    Agsym_t *width = graphviz().agattr(g, AGNODE, gv("width"), gv("1"));
    Agsym_t *height = graphviz().agattr(g, AGNODE, gv("height"), gv("1"));

    std::vector<Agnode_t *> nodes;
    nodes.reserve(input.nodeSizes.size());
    for (size_t i = 0; i < input.nodeSizes.size(); ++i) {
        const QByteArray name = "n" + QByteArray::number(qulonglong(i));
        Agnode_t *n = graphviz().agnode(g, gv(name.constData()), 1);
        const QSizeF s = input.nodeSizes[i];
        graphviz().agxset(n, width, gv(inches(std::max(s.width(), 1.0)).constData()));
        graphviz().agxset(n, height, gv(inches(std::max(s.height(), 1.0)).constData()));
        nodes.push_back(n);
    }
    std::vector<Agedge_t *> edges;
    edges.reserve(input.edges.size());
    const int count = int(nodes.size());
    for (const auto &[tail, head] : input.edges) {
        if (tail < 0 || head < 0 || tail >= count || head >= count || tail == head) {
            edges.push_back(nullptr);
            continue;
        }
        edges.push_back(graphviz().agedge(g, nodes[size_t(tail)], nodes[size_t(head)], nullptr, 1));
    }
    if (graphviz().gvLayout(session.context, g, "dot") != 0) {
        qCWarning(lcLayout) << "Graphviz dot failed to lay out" << count << "nodes";
        return VRError{QStringLiteral("Graphviz could not lay the diagram out.")};
    }
    session.laidOut = true;

    const boxf bb = GD_bb(g);
    const auto flip = [&bb](pointf p) { return QPointF(p.x - bb.LL.x, bb.UR.y - p.y); };
    Placement placement;
    placement.size = QSizeF(bb.UR.x - bb.LL.x, bb.UR.y - bb.LL.y);
    placement.centres.reserve(nodes.size());
    for (Agnode_t *n : nodes)
        placement.centres.push_back(flip(ND_coord(n)));
    if (input.wantsEdgeCurves) {
        placement.curves.resize(edges.size());
        for (size_t k = 0; k < edges.size(); ++k) {
            Agedge_t *e = edges[k];
            if (!e || !ED_spl(e))
                continue;
            const splines *spl = ED_spl(e);
            std::vector<QPointF> &points = placement.curves[k];
            for (int b = 0; b < spl->size; ++b) {
                const bezier &bz = spl->list[b];
                for (int i = 0; i < bz.size; ++i) {
                    if (b > 0 && i == 0)
                        continue; // the pieces of one edge join end to start
                    points.push_back(flip(bz.list[i]));
                }
            }
        }
    }
    return placement;
}

VRAutomaticLayout::VRAutomaticLayout(VRObjectDrawingLayer &layer)
    : m_layer(layer)
{
    m_graph.parameters = parametersFrom(layer.layoutParams());
    m_graph.wantsEdgeCurves = m_graph.parameters.edgeRouting == Curved;

    QHash<const QntElement *, std::shared_ptr<QntElement>> elements;
    std::vector<std::shared_ptr<QntConnector>> connectors;
    const VRObjectList available = layer.availableObjects();
    for (const VRObjectRef &o : available) {
        if (o->isKindOf<QntElement>())
            elements.insert(static_cast<const QntElement *>(o.get()),
                            std::static_pointer_cast<QntElement>(o));
        else if (o->isKindOf<QntConnector>() && !o->isKindOf<QntElementArrow>())
            connectors.push_back(std::static_pointer_cast<QntConnector>(o));
    }
    m_hasElements = !elements.isEmpty();

    // Nodes in the layer's order, so equal input gives equal output.
    QHash<const QntElement *, int> index;
    std::vector<std::pair<const QntElement *, const QntElement *>> pairs;
    for (const auto &c : connectors) {
        const std::shared_ptr<QntElement> a = c->startEndPoint()->targetElement();
        const std::shared_ptr<QntElement> b = c->endEndPoint()->targetElement();
        if (!a || !b || a == b || !elements.contains(a.get()) || !elements.contains(b.get()))
            continue;
        m_edges.push_back(c);
        pairs.emplace_back(a.get(), b.get());
        index.insert(a.get(), -1);
        index.insert(b.get(), -1);
    }
    for (const VRObjectRef &o : available) {
        if (!o->isKindOf<QntElement>())
            continue;
        auto it = index.find(static_cast<const QntElement *>(o.get()));
        if (it == index.end())
            continue;
        it.value() = int(m_nodes.size());
        m_nodes.push_back(std::static_pointer_cast<QntElement>(o));
        m_graph.nodeSizes.push_back(o->logicalBounds().size());
    }
    for (const auto &[a, b] : pairs)
        m_graph.edges.emplace_back(index.value(a), index.value(b));
}

VRAutomaticLayout::~VRAutomaticLayout() = default;

VRAutomaticLayout::Emptiness VRAutomaticLayout::emptiness() const
{
    if (!m_hasElements)
        return Emptiness::NoElements;
    if (m_edges.empty())
        return Emptiness::NoConnectors;
    return Emptiness::None;
}

VRResult<void> VRAutomaticLayout::compute()
{
    if (m_nodes.empty())
        return VRError{QStringLiteral("There are no connected elements to lay out.")};
    VRResult<Placement> result = computePlacement(m_graph);
    if (!result)
        return VRError{result.errorMessage()};
    m_placement = std::make_unique<Placement>(std::move(result.value()));
    return {};
}

void VRAutomaticLayout::setPlacement(Placement placement)
{
    m_placement = std::make_unique<Placement>(std::move(placement));
}

QPointF VRAutomaticLayout::origin() const
{
    const VRDrawing *drawing = m_layer.drawing();
    const double offset = m_graph.parameters.layoutOffset;
    return drawing ? QPointF(drawing->leftMargin() + offset, drawing->topMargin() + offset)
                   : QPointF(offset, offset);
}

bool VRAutomaticLayout::fitsTheDrawing() const
{
    if (!m_placement)
        return false;
    const VRDrawing *drawing = m_layer.drawing();
    const double offset = m_graph.parameters.layoutOffset;
    const QPointF far =
        origin() + QPointF(m_placement->size.width(), m_placement->size.height())
        + QPointF(offset, offset)
        + (drawing ? QPointF(drawing->rightMargin(), drawing->bottomMargin()) : QPointF());
    const double limit = VRArchiveReader::kMaximumCoordinate;
    return std::isfinite(far.x()) && std::isfinite(far.y()) && far.x() <= limit && far.y() <= limit;
}

QRectF VRAutomaticLayout::laidOutBounds() const
{
    QRectF bounds;
    for (const auto &node : m_nodes)
        bounds = bounds.united(node->bounds());
    for (const auto &edge : m_edges)
        bounds = bounds.united(edge->bounds());
    return bounds;
}

bool VRAutomaticLayout::apply()
{
    if (!m_placement || m_placement->centres.size() != m_nodes.size() || !fitsTheDrawing())
        return false;
    for (const auto &n : m_nodes)
        if (n->layer() != &m_layer)
            return false;
    for (const auto &e : m_edges)
        if (e->layer() != &m_layer)
            return false;

    VRDrawing *drawing = m_layer.drawing();
    const double offset = m_graph.parameters.layoutOffset;
    const QPointF origin = this->origin();
    VRUndoManager *um = m_layer.undoManager();
    if (um)
        um->beginUndoGrouping();
    QRectF laidOut;
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        QntElement &node = *m_nodes[i];
        node.moveBy(origin + m_placement->centres[i] - centreOf(node));
        laidOut = laidOut.united(node.logicalBounds());
    }
    // The page grows to hold the diagram, keeping the offset as its margin on the far sides.
    if (drawing) {
        const QSizeF size = drawing->drawingSize();
        const QSizeF needed(laidOut.right() + offset + drawing->rightMargin(),
                            laidOut.bottom() + offset + drawing->bottomMargin());
        if (needed.width() > size.width() || needed.height() > size.height())
            drawing->setDrawingSize(QSizeF(std::max(size.width(), std::ceil(needed.width())),
                                           std::max(size.height(), std::ceil(needed.height()))));
    }

    const int routing = m_graph.parameters.edgeRouting;
    for (size_t k = 0; k < m_edges.size(); ++k) {
        QntConnector &c = *m_edges[k];
        const std::shared_ptr<QntElement> tail = m_nodes[size_t(m_graph.edges[k].first)];
        const std::shared_ptr<QntElement> head = m_nodes[size_t(m_graph.edges[k].second)];
        const QRectF a = tail->logicalBounds(), b = head->logicalBounds();
        std::vector<QPointF> curve;
        if (routing == Curved && k < m_placement->curves.size()) {
            curve = m_placement->curves[k];
            for (QPointF &p : curve)
                p += origin;
            if (curve.size() >= 4
                && QLineF(curve.front(), a.center()).length()
                       > QLineF(curve.back(), a.center()).length())
                std::reverse(curve.begin(), curve.end());
        }
        QPointF tailPoint, headPoint;
        if (curve.size() >= 4) {
            tailPoint = curve.front();
            headPoint = curve.back();
        } else if (b.center().y() > a.center().y() + 0.5) {
            tailPoint = QPointF(a.center().x(), a.bottom());
            headPoint = QPointF(b.center().x(), b.top());
        } else if (b.center().y() < a.center().y() - 0.5) {
            // Edges back up a cycle leave and enter on the right, around the ranks between.
            tailPoint = QPointF(a.right(), a.center().y());
            headPoint = QPointF(b.right(), b.center().y());
        } else if (b.center().x() >= a.center().x()) {
            tailPoint = QPointF(a.right(), a.center().y());
            headPoint = QPointF(b.left(), b.center().y());
        } else {
            tailPoint = QPointF(a.left(), a.center().y());
            headPoint = QPointF(b.right(), b.center().y());
        }
        attachEnd(c, 0, tail, spotNear(*tail, tailPoint));
        attachEnd(c, 1, head, spotNear(*head, headPoint));
        switch (routing) {
        case Straight: c.makeStraight(); break;
        case Polyline: c.makeRoutingColaPolyline(); break;
        case Curved: {
            c.makeStraight();
            c.makeCurve();
            if (curve.size() >= 4 && (curve.size() - 1) % 3 == 0) {
                QPainterPath path(c.startEndPoint()->location());
                for (size_t i = 1; i + 2 < curve.size(); i += 3) {
                    const QPointF last =
                        i + 3 == curve.size() ? c.endEndPoint()->location() : curve[i + 2];
                    path.cubicTo(curve[i], curve[i + 1], last);
                }
                c.setRoutedPath(path);
            }
            break;
        }
        case Orthogonal:
        default: c.makeRoutingColaOrthogonal(); break;
        }
    }
    if (um) {
        um->endUndoGrouping();
        um->setActionName(QStringLiteral("Automatic Layout"));
    }
    // The routes belong to the layout: they are drawn now, not at the next turn of the loop.
    if (drawing)
        drawing->avoidRouter()->processPendingChanges();
    return true;
}
