#include "framework/routing/VRAutomaticLayout.h"

#include "common/BoxElements.h"
#include "common/SegmentChecks.h"

#include "framework/archive/VRArchiver.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntStickySpot.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/routing/VRConnectorGeometry.h"
#include "framework/undo/VRUndoManager.h"

#include <gtest/gtest.h>

#include <vector>

using qnt::test::pathCrossesInterior;

namespace {

// A drawing with a flow chart of `count` boxes: a chain with branches and loops back.
class Diagram
{
public:
    Diagram()
        : drawing(std::make_unique<VRDrawing>())
        , layer(drawing->activeLayerOfClass<VRObjectDrawingLayer>())
    {
    }

    std::shared_ptr<QntElement> addElement(QRectF rect)
    {
        auto element = qnt::test::addBoxElement(*layer, rect);
        elements.push_back(element);
        return element;
    }
    std::shared_ptr<QntConnector> connect(int from, int to)
    {
        auto connector = std::make_shared<QntConnector>();
        layer->addObject(connector);
        elements[size_t(from)]->connectToTargetElement(elements[size_t(to)].get(), connector);
        connectors.push_back(connector);
        return connector;
    }
    // Boxes of two sizes piled on one spot, joined as a flow chart with cycles.
    void makeFlowChart(int count)
    {
        for (int i = 0; i < count; ++i)
            addElement(
                QRectF(100 + (i % 3) * 7, 100, i % 4 == 0 ? 140 : 100, i % 5 == 0 ? 70 : 50));
        for (int i = 0; i + 1 < count; ++i)
            connect(i, i + 1);
        for (int i = 0; i + 4 < count; i += 4)
            connect(i, i + 3); // a branch skipping two steps
        for (int i = 6; i < count; i += 7)
            connect(i, i - 5); // a loop back
    }
    std::vector<QPointF> centres() const
    {
        std::vector<QPointF> result;
        for (const auto &e : elements)
            result.push_back(e->logicalBounds().center());
        return result;
    }
    bool lay(const QVariantMap &params = {})
    {
        for (auto it = params.begin(); it != params.end(); ++it)
            layer->layoutParams().insert(it.key(), it.value());
        return layer->layout();
    }

    std::unique_ptr<VRDrawing> drawing;
    VRObjectDrawingLayer *layer = nullptr;
    std::vector<std::shared_ptr<QntElement>> elements;
    std::vector<std::shared_ptr<QntConnector>> connectors;
};

QList<QPointF> pointsOf(const QntConnector &c)
{
    return VRConnectorGeometry::pointsOf(c.path());
}

} // namespace

TEST(VRAutomaticLayout, FlowChartWithCyclesLaysOutTopDownWithoutOverlapsAsOneUndoStep)
{
    Diagram d;
    d.makeFlowChart(30);
    const std::vector<QPointF> before = d.centres();
    VRUndoManager *um = d.drawing->undoManager();
    um->closeOpenGroups();
    um->removeAllActions();

    ASSERT_TRUE(d.lay());
    um->closeOpenGroups();
    ASSERT_EQ(um->undoStack().size(), 1);
    EXPECT_EQ(um->undoActionName(), QStringLiteral("Automatic Layout"));

    // No two shapes overlap, and the chart starts at the margins plus the offset.
    QRectF all;
    for (size_t i = 0; i < d.elements.size(); ++i) {
        const QRectF a = d.elements[i]->logicalBounds();
        all = all.united(a);
        for (size_t j = i + 1; j < d.elements.size(); ++j)
            EXPECT_FALSE(a.intersects(d.elements[j]->logicalBounds())) << i << " and " << j;
    }
    EXPECT_NEAR(all.top(), d.drawing->topMargin() + VRAutomaticLayout::kDefaultLayoutOffset, 1);
    EXPECT_NEAR(all.left(), d.drawing->leftMargin() + VRAutomaticLayout::kDefaultLayoutOffset, 1);
    // Top to bottom: the first element is topmost, and only one step per cycle (4 of them) may
    // go back up.
    int upward = 0;
    for (size_t i = 0; i + 1 < d.elements.size(); ++i) {
        EXPECT_LE(d.elements[0]->logicalBounds().top(), d.elements[i + 1]->logicalBounds().top());
        if (d.elements[i]->logicalBounds().center().y()
            >= d.elements[i + 1]->logicalBounds().center().y())
            ++upward;
    }
    EXPECT_LE(upward, 4);
    // Orthogonal connectors are routed around every shape.
    for (const auto &c : d.connectors) {
        EXPECT_EQ(c->routing(), 3);
        const QList<QPointF> points = pointsOf(*c);
        ASSERT_GE(points.size(), 2);
        for (const auto &e : d.elements) {
            if (c->isAttachedTo(e.get()))
                continue;
            EXPECT_FALSE(pathCrossesInterior(points, e->logicalBounds()));
        }
        EXPECT_TRUE(qnt::test::isOrthogonal(points));
    }

    // The page grows to hold the chart.
    EXPECT_GE(d.drawing->drawingSize().height(), all.bottom() + d.drawing->bottomMargin());

    // Undo puts every element back at once.
    um->undo();
    const std::vector<QPointF> undone = d.centres();
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_NEAR(undone[i].x(), before[i].x(), 1e-6);
        EXPECT_NEAR(undone[i].y(), before[i].y(), 1e-6);
    }
}

TEST(VRAutomaticLayout, TheArrangementAndParametersSurviveSaveAndReopen)
{
    Diagram d;
    d.makeFlowChart(12);
    ASSERT_TRUE(d.lay({{VRAutomaticLayout::kVertexDistanceKey, 55.5},
                       {VRAutomaticLayout::kLayerDistanceKey, 80.0}}));
    d.drawing->avoidRouter()->processPendingChanges();
    auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*d.drawing));
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    auto *layer = read.value()->activeLayerOfClass<VRObjectDrawingLayer>();
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->layoutParams().value(VRAutomaticLayout::kVertexDistanceKey).toDouble(), 55.5);
    EXPECT_EQ(layer->layoutParams().value(VRAutomaticLayout::kLayerDistanceKey).toDouble(), 80.0);
    std::vector<QPointF> reread;
    for (const VRObjectRef &o : layer->objects())
        if (o->isKindOf<QntElement>())
            reread.push_back(o->logicalBounds().center());
    const std::vector<QPointF> laid = d.centres();
    ASSERT_EQ(reread.size(), laid.size());
    for (size_t i = 0; i < laid.size(); ++i)
        EXPECT_LT(QLineF(reread[i], laid[i]).length(), 0.01) << i;
}

TEST(VRAutomaticLayout, DistancesSpreadTheRanksAndTheirMembers)
{
    // One parent above two children: the vertex distance parts the children, the layer
    // distance parts the ranks.
    const auto gaps = [](double vertex, double layer) {
        Diagram d;
        d.addElement({0, 0, 100, 40});
        d.addElement({0, 0, 100, 40});
        d.addElement({0, 0, 100, 40});
        d.connect(0, 1);
        d.connect(0, 2);
        EXPECT_TRUE(d.lay({{VRAutomaticLayout::kVertexDistanceKey, vertex},
                           {VRAutomaticLayout::kLayerDistanceKey, layer}}));
        const QRectF p = d.elements[0]->logicalBounds();
        const QRectF a = d.elements[1]->logicalBounds(), b = d.elements[2]->logicalBounds();
        return std::pair(std::abs(b.center().x() - a.center().x()) - 100, a.top() - p.bottom());
    };
    const auto [vertex1, layer1] = gaps(20, 30);
    const auto [vertex2, layer2] = gaps(90, 150);
    EXPECT_NEAR(vertex1, 20, 2);
    EXPECT_NEAR(vertex2, 90, 2);
    EXPECT_NEAR(layer1, 30, 2);
    EXPECT_NEAR(layer2, 150, 2);
}

TEST(VRAutomaticLayout, EdgeRoutingTypeSetsTheConnectorsRouting)
{
    struct Case {
        int type;
        int routing;
        bool curve;
    };
    for (const Case &c :
         {Case{0, 0, false}, Case{1, 3, false}, Case{2, 4, false}, Case{3, 0, true}}) {
        Diagram d;
        d.makeFlowChart(5);
        ASSERT_TRUE(d.lay({{VRAutomaticLayout::kEdgeRoutingKey, c.type}})) << c.type;
        for (const auto &connector : d.connectors) {
            EXPECT_EQ(connector->routing(), c.routing) << c.type;
            EXPECT_EQ(connector->isCurve(), c.curve) << c.type;
            // Both ends stay on their elements.
            EXPECT_NE(connector->startEndPoint()->targetStickySpot(), nullptr);
            EXPECT_NE(connector->endEndPoint()->targetStickySpot(), nullptr);
        }
    }
}

TEST(VRAutomaticLayout, BadParametersTakeTheDefaults)
{
    struct Case {
        QVariant value;
        bool taken;
    };
    const Case cases[] = {{QVariant(), false},          {0.0, false},     {-20.0, false},
                          {QStringLiteral("x"), false}, {qQNaN(), false}, {25.0, true},
                          {QStringLiteral("25"), true}, {1e300, false},   {20000.0, false}};
    for (const Case &c : cases) {
        QVariantMap params{{VRAutomaticLayout::kVertexDistanceKey, c.value},
                           {VRAutomaticLayout::kLayerDistanceKey, c.value}};
        const auto p = VRAutomaticLayout::parametersFrom(params);
        EXPECT_EQ(p.vertexDistance, c.taken ? 25.0 : VRAutomaticLayout::kDefaultVertexDistance)
            << c.value.toString().toStdString();
        EXPECT_EQ(p.layerDistance, c.taken ? 25.0 : VRAutomaticLayout::kDefaultLayerDistance);
    }
    // An offset of 0 is a place; below 0 it is refused. Unknown routing types are refused.
    EXPECT_EQ(
        VRAutomaticLayout::parametersFrom({{VRAutomaticLayout::kLayoutOffsetKey, 0}}).layoutOffset,
        0.0);
    EXPECT_EQ(
        VRAutomaticLayout::parametersFrom({{VRAutomaticLayout::kLayoutOffsetKey, -1}}).layoutOffset,
        VRAutomaticLayout::kDefaultLayoutOffset);
    EXPECT_EQ(
        VRAutomaticLayout::parametersFrom({{VRAutomaticLayout::kEdgeRoutingKey, 9}}).edgeRouting,
        VRAutomaticLayout::kDefaultEdgeRouting);
    // Offsets beyond the largest distance would throw the diagram off the page.
    EXPECT_EQ(VRAutomaticLayout::parametersFrom({{VRAutomaticLayout::kLayoutOffsetKey, 1e300}})
                  .layoutOffset,
              VRAutomaticLayout::kDefaultLayoutOffset);
    EXPECT_EQ(VRAutomaticLayout::parametersFrom(
                  {{VRAutomaticLayout::kLayoutOffsetKey, VRAutomaticLayout::kMaximumDistance}})
                  .layoutOffset,
              VRAutomaticLayout::kMaximumDistance);
}

TEST(VRAutomaticLayout, ADiagramTooLargeForADrawingIsLeftAsItWas)
{
    // Two elements one above the other are taller than any drawing.
    Diagram d;
    d.addElement({100, 100, 80, 40});
    d.addElement({300, 300, 80, 6e6});
    d.addElement({500, 500, 80, 6e6});
    d.connect(0, 1);
    d.connect(1, 2);
    const std::vector<QPointF> before = d.centres();
    const QSizeF size = d.drawing->drawingSize();
    d.drawing->undoManager()->closeOpenGroups();
    const bool couldUndo = d.drawing->undoManager()->canUndo();

    VRAutomaticLayout layout(*d.layer);
    ASSERT_TRUE(layout.compute());
    EXPECT_FALSE(layout.fitsTheDrawing());
    EXPECT_FALSE(layout.apply());
    EXPECT_FALSE(d.lay());
    d.drawing->undoManager()->closeOpenGroups();
    EXPECT_EQ(d.centres(), before);
    EXPECT_EQ(d.drawing->drawingSize(), size);
    EXPECT_EQ(d.drawing->undoManager()->canUndo(), couldUndo);

    // The same elements at a width a drawing holds are laid out.
    Diagram small;
    small.addElement({100, 100, 80, 40});
    small.addElement({300, 300, 80, 40});
    small.connect(0, 1);
    EXPECT_TRUE(small.lay({{VRAutomaticLayout::kLayoutOffsetKey, 10000.0}}));
    EXPECT_NEAR(small.elements[0]->logicalBounds().top(), small.drawing->topMargin() + 10000.0,
                1.0);
}

TEST(VRAutomaticLayout, NothingHappensWithoutElementsOrConnectors)
{
    Diagram empty;
    EXPECT_EQ(VRAutomaticLayout(*empty.layer).emptiness(),
              VRAutomaticLayout::Emptiness::NoElements);
    EXPECT_FALSE(empty.lay());

    Diagram loose;
    loose.addElement({10, 10, 50, 50});
    loose.addElement({10, 10, 50, 50});
    loose.drawing->undoManager()->closeOpenGroups();
    loose.drawing->undoManager()->removeAllActions();
    EXPECT_EQ(VRAutomaticLayout(*loose.layer).emptiness(),
              VRAutomaticLayout::Emptiness::NoConnectors);
    EXPECT_FALSE(loose.lay());
    EXPECT_EQ(loose.elements[0]->logicalBounds(), QRectF(10, 10, 50, 50));
    loose.drawing->undoManager()->closeOpenGroups();
    EXPECT_TRUE(loose.drawing->undoManager()->undoStack().isEmpty());
}

TEST(VRAutomaticLayout, UnconnectedAndLockedElementsStayPut)
{
    Diagram d;
    d.makeFlowChart(4);
    auto loose = d.addElement({900, 900, 40, 40});
    d.elements[3]->setLocked(true);
    const QRectF locked = d.elements[3]->logicalBounds();
    ASSERT_TRUE(d.lay());
    EXPECT_EQ(loose->logicalBounds(), QRectF(900, 900, 40, 40));
    EXPECT_EQ(d.elements[3]->logicalBounds(), locked);
}
