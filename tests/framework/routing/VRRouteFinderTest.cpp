#include "framework/routing/VRRouteFinder.h"

#include "framework/model/VRDrawableShape.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

VRObjectList objectsAt(const QList<QPointF> &points)
{
    VRObjectList objects;
    for (const QPointF &p : points) {
        VRObjectRef o = VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 10));
        o->setLocation(p);
        objects.append(o);
    }
    return objects;
}

} // namespace

TEST(VRRouteFinder, NearestNeighbourWalksToTheClosestUnvisitedObject)
{
    const VRObjectList objects = objectsAt({{0, 0}, {30, 0}, {10, 0}, {20, 0}, {-5, 0}});
    VRRouteFinder finder = VRRouteFinder::routeFinderWithObjects(objects);
    const VRObjectList route = finder.shortestRoute(VRRouteFinder::kNearestNeighbour);
    ASSERT_EQ(route.size(), 5);
    EXPECT_EQ(route, VRObjectList({objects[0], objects[4], objects[2], objects[3], objects[1]}));
    EXPECT_DOUBLE_EQ(finder.pathLength(), 5 + 15 + 10 + 10);
    EXPECT_EQ(finder.routePath().elementCount(), 5);
    EXPECT_TRUE(finder.shortestRoute(7).isEmpty());
}

TEST(VRRouteFinder, AnnealingNeverLengthensTheRouteAndRepeatsItself)
{
    QRandomGenerator rng(3);
    QList<QPointF> points;
    for (int i = 0; i < 60; ++i)
        points.append(QPointF(rng.bounded(1000), rng.bounded(1000)));
    const VRObjectList objects = objectsAt(points);
    VRRouteFinder finder = VRRouteFinder::routeFinderWithObjects(objects);
    finder.shortestRoute(VRRouteFinder::kNearestNeighbour);
    const double nearest = finder.pathLength();
    const VRObjectList annealed = finder.shortestRoute(VRRouteFinder::kSimulatedAnnealing);
    EXPECT_LE(finder.pathLength(), nearest);
    EXPECT_EQ(annealed.size(), objects.size());
    EXPECT_EQ(QSet<VRObjectRef>(annealed.begin(), annealed.end()).size(), objects.size());
    EXPECT_EQ(annealed.first(), objects.first());
    EXPECT_EQ(finder.shortestRoute(VRRouteFinder::kSimulatedAnnealing), annealed);
}
