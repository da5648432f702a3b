#include "framework/routing/VRAvoidRouter.h"

#include "common/BoxElements.h"
#include "common/SegmentChecks.h"

#include "framework/archive/VRArchiver.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntStickySpot.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/routing/VRConnectorGeometry.h"

#include <gtest/gtest.h>

using qnt::test::pathCrossesInterior;

namespace {

constexpr int kTop = 0;
constexpr int kBottom = 2;

std::shared_ptr<QntElement> element(VRObjectOwnerLayer &layer, QRectF rect)
{
    return qnt::test::addBoxElement(layer, rect);
}

std::shared_ptr<QntConnector> connect(VRObjectOwnerLayer &layer, QntElement &from, int fromSpot,
                                      const std::shared_ptr<QntElement> &to, int toSpot)
{
    auto c = std::make_shared<QntConnector>();
    layer.addObject(c);
    c->reattachEnd(0, std::static_pointer_cast<QntElement>(from.shared_from_this()), fromSpot);
    c->reattachEnd(1, to, toSpot);
    c->makeRoutingColaOrthogonal();
    return c;
}

QList<QPointF> routed(VRDrawing &drawing, const QntConnector &c)
{
    drawing.avoidRouter()->processPendingChanges();
    return VRConnectorGeometry::pointsOf(c.path());
}

} // namespace

TEST(VRAvoidRouter, ShapesOnAHiddenLayerAreNoObstacles)
{
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    auto a = element(*layer, {100, 100, 80, 40});
    auto b = element(*layer, {100, 400, 80, 40});
    auto wallLayer = std::make_shared<VRObjectDrawingLayer>();
    drawing.addLayer(wallLayer, false);
    auto wall = element(*wallLayer, {40, 250, 200, 40});
    auto c = connect(*layer, *a, kBottom, b, kTop);

    EXPECT_FALSE(pathCrossesInterior(routed(drawing, *c), wall->logicalBounds()));
    wallLayer->setVisible(false);
    const QList<QPointF> straight = routed(drawing, *c);
    EXPECT_TRUE(pathCrossesInterior(straight, wall->logicalBounds()));
    EXPECT_EQ(straight.size(), 2);
    wallLayer->setVisible(true);
    EXPECT_FALSE(pathCrossesInterior(routed(drawing, *c), wall->logicalBounds()));
}

TEST(VRAvoidRouter, EndsOnOneSpotSpreadAlongTheSideInTheOrderOfTheirOtherEnds)
{
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    auto hub = element(*layer, {300, 100, 120, 50});
    // Added right to left: the order along the side follows the targets, not the additions.
    auto right = element(*layer, {560, 300, 80, 40});
    auto middle = element(*layer, {320, 300, 80, 40});
    auto left = element(*layer, {80, 300, 80, 40});
    auto toRight = connect(*layer, *hub, kBottom, right, kTop);
    auto toMiddle = connect(*layer, *hub, kBottom, middle, kTop);
    auto toLeft = connect(*layer, *hub, kBottom, left, kTop);

    const QRectF h = hub->logicalBounds();
    const QPointF l = routed(drawing, *toLeft).front();
    const QPointF m = routed(drawing, *toMiddle).front();
    const QPointF r = routed(drawing, *toRight).front();
    for (const QPointF &p : {l, m, r}) {
        EXPECT_DOUBLE_EQ(p.y(), h.bottom());
        EXPECT_GT(p.x(), h.left());
        EXPECT_LT(p.x(), h.right());
    }
    EXPECT_LT(l.x(), m.x());
    EXPECT_LT(m.x(), r.x());
    EXPECT_NEAR(m.x(), h.center().x(), 1e-6);
    EXPECT_NEAR(r.x() - m.x(), VRAvoidRouter::kEndSpacing, 1e-6);
    // The other ends, alone on their spots, stay on them.
    EXPECT_EQ(routed(drawing, *toLeft).back(), toLeft->endEndPoint()->location());

    // One leaves: the two left close up around the spot.
    layer->removeObject(toMiddle);
    const QPointF l2 = routed(drawing, *toLeft).front();
    const QPointF r2 = routed(drawing, *toRight).front();
    EXPECT_NEAR((l2.x() + r2.x()) / 2, h.center().x(), 1e-6);
    EXPECT_NEAR(r2.x() - l2.x(), VRAvoidRouter::kEndSpacing, 1e-6);
    // Alone again, an end sits on its spot.
    layer->removeObject(toLeft);
    EXPECT_EQ(routed(drawing, *toRight).front(), toRight->startEndPoint()->location());
}

TEST(VRAvoidRouter, ManyEndsOnANarrowSideStayOnTheSide)
{
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    auto hub = element(*layer, {300, 100, 30, 30});
    std::vector<std::shared_ptr<QntConnector>> connectors;
    for (int i = 0; i < 8; ++i)
        connectors.push_back(
            connect(*layer, *hub, kBottom, element(*layer, {40.0 + i * 70, 300, 50, 30}), kTop));
    drawing.avoidRouter()->processPendingChanges();
    const QRectF h = hub->logicalBounds();
    double last = -1;
    for (const auto &c : connectors) {
        const QPointF p = VRConnectorGeometry::pointsOf(c->path()).front();
        EXPECT_GT(p.x(), h.left());
        EXPECT_LT(p.x(), h.right());
        EXPECT_GT(p.x(), last);
        last = p.x();
    }
}

TEST(VRAvoidRouter, ADrawingReadFromAFileRoutesAroundItsShapesButNotItsHiddenOnes)
{
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    auto a = element(*layer, {100, 100, 80, 40});
    auto b = element(*layer, {100, 400, 80, 40});
    auto wallLayer = std::make_shared<VRObjectDrawingLayer>();
    drawing.addLayer(wallLayer, false);
    auto wall = element(*wallLayer, {40, 250, 200, 40});
    auto hiddenWall = element(*wallLayer, {40, 180, 200, 20});
    hiddenWall->setVisible(false);
    connect(*layer, *a, kBottom, b, kTop);
    connect(*layer, *a, kBottom, b, kTop);

    auto read = VRArchiver::drawingFromData(VRArchiver::documentData(drawing));
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    VRDrawing &reread = *read.value();
    VRAvoidRouter *router = reread.avoidRouter();
    EXPECT_EQ(router->engine().obstacleCount(), 3); // a, b and the visible wall
    QList<std::shared_ptr<QntConnector>> connectors;
    for (const VRObjectRef &o : reread.activeLayerOfClass<VRObjectDrawingLayer>()->objects())
        if (o->isKindOf<QntConnector>())
            connectors.append(std::static_pointer_cast<QntConnector>(o));
    ASSERT_EQ(connectors.size(), 2);
    for (const auto &c : connectors)
        EXPECT_FALSE(pathCrossesInterior(routed(reread, *c), wall->logicalBounds()));
    // The two ends sharing each spot are spread, as before saving.
    EXPECT_NE(routed(reread, *connectors[0]).front(), routed(reread, *connectors[1]).front());
    EXPECT_NE(routed(reread, *connectors[0]).back(), routed(reread, *connectors[1]).back());
}
