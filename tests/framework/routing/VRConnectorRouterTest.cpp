#include "framework/routing/VRConnectorGeometry.h"
#include "framework/routing/VRConnectorRouter.h"

#include "common/SegmentChecks.h"

#include <gtest/gtest.h>

#include <cmath>

using qnt::test::isOrthogonal;
using qnt::test::pathCrossesInterior;

namespace {

int bends(const QList<QPointF> &path)
{
    return std::max<int>(0, int(path.size()) - 2);
}

// Places where a segment of one path passes right through a segment of the other.
int crossings(const QList<QPointF> &a, const QList<QPointF> &b)
{
    const auto between = [](double v, double p, double q) {
        return v > std::min(p, q) + 1e-6 && v < std::max(p, q) - 1e-6;
    };
    int count = 0;
    for (qsizetype i = 0; i + 1 < a.size(); ++i) {
        for (qsizetype j = 0; j + 1 < b.size(); ++j) {
            const QPointF &p = a[i], &q = a[i + 1], &r = b[j], &t = b[j + 1];
            const bool ph = std::abs(p.y() - q.y()) < 1e-9, rh = std::abs(r.y() - t.y()) < 1e-9;
            if (ph == rh)
                continue;
            if (ph ? (between(r.x(), p.x(), q.x()) && between(p.y(), r.y(), t.y()))
                   : (between(p.x(), r.x(), t.x()) && between(r.y(), p.y(), q.y())))
                ++count;
        }
    }
    return count;
}

double length(const QList<QPointF> &path)
{
    double sum = 0;
    for (qsizetype i = 0; i + 1 < path.size(); ++i)
        sum += std::abs(path[i + 1].x() - path[i].x()) + std::abs(path[i + 1].y() - path[i].y());
    return sum;
}

// Two boxes left and right with a wall between them.
struct Scene {
    VRConnectorRouter router;
    QRectF left{0, 100, 80, 50};
    QRectF right{400, 100, 80, 50};
    QRectF wall{200, 60, 40, 170};
    Scene()
    {
        router.setObstacle(1, left);
        router.setObstacle(2, right);
        router.setObstacle(3, wall);
    }
    VRRouteRequest request(VRRouteKind kind = VRRouteKind::Orthogonal) const
    {
        return {kind,
                {QPointF(80, 125), 1, VRRouteSide::Right},
                {QPointF(400, 125), 2, VRRouteSide::Left}};
    }
};

} // namespace

TEST(Router, StraightWhenNothingIsInTheWay)
{
    VRConnectorRouter router;
    router.setObstacle(1, {0, 0, 50, 50});
    router.setObstacle(2, {200, 0, 50, 50});
    router.setConnector(7, {VRRouteKind::Orthogonal,
                            {QPointF(50, 25), 1, VRRouteSide::Right},
                            {QPointF(200, 25), 2, VRRouteSide::Left}});
    EXPECT_EQ(router.update(), QList<VRRouteId>{7});
    EXPECT_EQ(router.route(7), (QList<QPointF>{{50, 25}, {200, 25}}));
    EXPECT_TRUE(router.wasRouted(7));
}

TEST(Router, OrthogonalRouteAvoidsObstaclesWithBuffer)
{
    Scene s;
    s.router.setConnector(1, s.request());
    s.router.update();
    const QList<QPointF> path = s.router.route(1);
    ASSERT_GE(path.size(), 4);
    EXPECT_EQ(path.first(), QPointF(80, 125));
    EXPECT_EQ(path.last(), QPointF(400, 125));
    EXPECT_TRUE(isOrthogonal(path));
    const double b = s.router.parameters().bufferDistance;
    EXPECT_FALSE(pathCrossesInterior(path, s.wall.adjusted(-b + 0.5, -b + 0.5, b - 0.5, b - 0.5)));
    EXPECT_FALSE(pathCrossesInterior(path, s.left));
    EXPECT_FALSE(pathCrossesInterior(path, s.right));
    // Ends leave perpendicular to their side.
    EXPECT_DOUBLE_EQ(path[1].y(), 125);
    EXPECT_GT(path[1].x(), 80);
    EXPECT_DOUBLE_EQ(path[path.size() - 2].y(), 125);
    EXPECT_LT(path[path.size() - 2].x(), 400);
}

TEST(Router, SegmentPenaltyTradesLengthForBends)
{
    // A short route with many bends and a long route with few: the penalty decides.
    VRConnectorRouter router;
    router.setObstacle(1, {0, 0, 40, 40});
    router.setObstacle(2, {300, 300, 40, 40});
    const VRRouteRequest req{VRRouteKind::Orthogonal,
                             {QPointF(40, 20), 1, VRRouteSide::Right},
                             {QPointF(320, 300), 2, VRRouteSide::Top}};
    VRRouteParameters p;
    p.segmentPenalty = 1000;
    router.setParameters(p);
    router.setConnector(1, req);
    router.update();
    EXPECT_EQ(bends(router.route(1)), 1); // one elbow: right, then down into the top side
    EXPECT_TRUE(isOrthogonal(router.route(1)));
}

TEST(Router, BufferDistanceIsKeptAroundShapes)
{
    for (double buffer : {4.0, 8.0, 20.0}) {
        Scene s;
        VRRouteParameters p;
        p.bufferDistance = buffer;
        s.router.setParameters(p);
        s.router.setConnector(1, s.request());
        s.router.update();
        const QList<QPointF> path = s.router.route(1);
        EXPECT_FALSE(pathCrossesInterior(
            path, s.wall.adjusted(-buffer + 0.1, -buffer + 0.1, buffer - 0.1, buffer - 0.1)))
            << buffer;
        // It hugs the inflated wall: the detour is as short as the buffer allows.
        double minY = 1e9;
        for (const QPointF &q : path)
            minY = std::min(minY, q.y());
        EXPECT_NEAR(minY, std::min(125.0, s.wall.top() - buffer), 1e-6) << buffer;
    }
}

TEST(Router, NudgingSpreadsParallelSegments)
{
    for (bool nudge : {true, false}) {
        Scene s;
        VRRouteParameters p;
        p.nudgeOrthogonalSegments = nudge;
        p.nudgeDistance = 4;
        s.router.setParameters(p);
        s.router.setConnector(1, s.request());
        VRRouteRequest second = s.request();
        second.start.point = QPointF(80, 135);
        second.end.point = QPointF(400, 135);
        s.router.setConnector(2, second);
        s.router.update();
        const QList<QPointF> a = s.router.route(1), b = s.router.route(2);
        // Both pass over the wall on its top; find their topmost horizontal segments.
        auto top = [](const QList<QPointF> &path) {
            double y = 1e9;
            for (const QPointF &q : path)
                y = std::min(y, q.y());
            return y;
        };
        if (nudge)
            EXPECT_NEAR(std::abs(top(a) - top(b)), 4.0, 1e-6);
        else
            EXPECT_DOUBLE_EQ(top(a), top(b));
        EXPECT_TRUE(isOrthogonal(a));
        EXPECT_TRUE(isOrthogonal(b));
        EXPECT_FALSE(pathCrossesInterior(a, s.wall));
        EXPECT_FALSE(pathCrossesInterior(b, s.wall));
    }
}

// Two walls whose tops lie 2 apart: the long connector passes over both, the short one over
// the lower wall only, so their raw routes run on neighbouring lines. Nudging spreads them as
// one channel, the short one inside (below) since its ends turn down within the long one's span.
TEST(Router, SegmentsOnNeighbouringLinesAreNudgedApartTogether)
{
    VRConnectorRouter router;
    VRRouteParameters p;
    p.nudgeDistance = 4;
    router.setParameters(p);
    router.setObstacle(1, {60, -48, 40, 348});  // top -48: its line runs at -56
    router.setObstacle(2, {140, -50, 20, 100}); // top -50: its line runs at -58
    router.setConnector(1, {VRRouteKind::Orthogonal, {QPointF(0, 0)}, {QPointF(300, 0)}});
    router.setConnector(2, {VRRouteKind::Orthogonal, {QPointF(20, 10)}, {QPointF(130, 10)}});
    router.update();
    const QList<QPointF> longer = router.route(1), shorter = router.route(2);
    ASSERT_EQ(longer.size(), 4);
    ASSERT_EQ(shorter.size(), 4);
    const double outer = longer[1].y(), inner = shorter[1].y();
    EXPECT_NEAR(inner - outer, 4.0, 1e-6);
    // Both stay clear of the walls' buffers they ran along.
    EXPECT_LE(outer, -58 + 8 * 0.9);
    EXPECT_LE(inner, -56 + 8 * 0.9);
    EXPECT_GT(inner, outer);
}

// A connector whose two shortest routes (one bend each) differ only in crossing another
// connector's route takes the one that does not cross it.
TEST(Router, TheRouteWithoutACrossingWinsBetweenEqualRoutes)
{
    struct Case {
        QPointF otherFrom, otherTo;
        QPointF corner; // of the route that does not cross
    };
    const Case cases[] = {{{-300, 100}, {50, 100}, {150, 0}},  // across the first leg going down
                          {{100, -300}, {100, 50}, {0, 150}}}; // across the first leg going right
    for (const Case &c : cases) {
        VRConnectorRouter router;
        // The other connector is routed first and lies straight.
        router.setConnector(1, {VRRouteKind::Orthogonal, {c.otherFrom}, {c.otherTo}});
        router.update();
        router.setConnector(2, {VRRouteKind::Orthogonal, {QPointF(0, 0)}, {QPointF(150, 150)}});
        router.update();
        EXPECT_EQ(router.route(1), (QList<QPointF>{c.otherFrom, c.otherTo}));
        EXPECT_EQ(router.route(2), (QList<QPointF>{{0, 0}, c.corner, {150, 150}}));
    }
}

// A connector ending at a shape with many connectors (a hub) takes its way without weighing
// the crossings with other routes: its route is the one it takes with those routes absent.
TEST(Router, AConnectorAtAHubTakesItsWayWithoutWeighingCrossings)
{
    const QPointF otherEnds[][2] = {{{100, -300}, {100, 50}}, {{-300, 100}, {50, 100}}};
    for (const auto &other : otherEnds) {
        QList<QPointF> routes[2];
        for (const bool withOther : {true, false}) {
            VRConnectorRouter router;
            router.setObstacle(1, {-10, -10, 20, 20});
            // Seventeen more connectors leave the hub to the left, far from the others.
            for (int k = 0; k < 17; ++k)
                router.setConnector(10 + k, {VRRouteKind::Orthogonal,
                                             {QPointF(-10, 0), 1, VRRouteSide::Left},
                                             {QPointF(-2000, -1000 + 100 * k)}});
            if (withOther) {
                router.setConnector(2, {VRRouteKind::Orthogonal, {other[0]}, {other[1]}});
                router.update();
            }
            router.setConnector(3, {VRRouteKind::Orthogonal,
                                    {QPointF(0, 0), 1, VRRouteSide::Any},
                                    {QPointF(150, 150)}});
            router.update();
            routes[withOther ? 0 : 1] = router.route(3);
        }
        EXPECT_EQ(routes[0], routes[1]);
    }
}

// Two routes on one line whose ends turn off it to opposite sides of each other cross once they
// are spread apart. Of two equal routes the one that only runs beside the other connector wins
// over the one that would share its line so.
TEST(Router, SharingALineThatSpreadingTurnsIntoACrossingCountsAsCrossing)
{
    struct Case {
        QPointF from, to;
        QList<QPointF> expected;
    };
    const Case cases[] = {{{-50, 0}, {150, 20}, {{-50, 0}, {-50, 20}, {150, 20}}},
                          {{-50, 20}, {150, 0}, {{-50, 20}, {150, 20}, {150, 0}}}};
    for (const Case &c : cases) {
        VRConnectorRouter router;
        // Comes down onto y = 0 at x = 0 and leaves it downwards at x = 100.
        const QList<QPointF> other{{0, -10}, {0, 0}, {100, 0}, {100, 10}};
        router.setConnectorRoute(1, {VRRouteKind::Orthogonal, {other.first()}, {other.last()}},
                                 other);
        router.setConnector(2, {VRRouteKind::Orthogonal, {c.from}, {c.to}});
        router.update();
        EXPECT_EQ(router.route(2), c.expected);
        EXPECT_EQ(crossings(router.route(1), router.route(2)), 0);
    }
}

// Of two connectors routed together the shorter one is laid first, and the longer one finds
// the way round it.
TEST(Router, TheLongerConnectorGoesRoundTheShorterOne)
{
    for (const auto &[from, to] : {std::pair{QPointF(50, -50), QPointF(150, 50)},
                                   std::pair{QPointF(-50, -50), QPointF(50, 50)}}) {
        VRConnectorRouter router;
        router.setConnector(1, {VRRouteKind::Orthogonal, {from}, {to}});
        router.setConnector(2, {VRRouteKind::Orthogonal, {QPointF(0, 0)}, {QPointF(100, 0)}});
        router.update();
        EXPECT_EQ(router.route(2), (QList<QPointF>{{0, 0}, {100, 0}}));
        EXPECT_EQ(bends(router.route(1)), 1);
        EXPECT_EQ(crossings(router.route(1), router.route(2)), 0);
    }
}

// Once every route of an update is laid, a middle segment that a later route crosses moves to
// another line where nothing crosses it, keeping its bends and its length.
TEST(Router, AMiddleSegmentMovesToTheLineWhereNothingCrossesIt)
{
    // The middle segment may run at x = 108 or x = 142, along either shape's buffer.
    for (const auto &[from, to] : {std::pair{QPointF(-400, 150), QPointF(120, 150)},
                                   std::pair{QPointF(130, 150), QPointF(800, 150)}}) {
        VRConnectorRouter router;
        router.setObstacle(1, {0, 0, 100, 100});
        router.setObstacle(2, {150, 200, 100, 100});
        router.setConnector(1, {VRRouteKind::Orthogonal,
                                {QPointF(100, 50), 1, VRRouteSide::Right},
                                {QPointF(150, 250), 2, VRRouteSide::Left}});
        router.setConnector(2, {VRRouteKind::Orthogonal, {from}, {to}});
        router.update();
        const QList<QPointF> path = router.route(1);
        EXPECT_EQ(router.route(2), (QList<QPointF>{from, to}));
        EXPECT_EQ(bends(path), 2);
        EXPECT_DOUBLE_EQ(length(path), 250.0);
        EXPECT_EQ(crossings(path, router.route(2)), 0);
    }
}

TEST(Router, UpdateReroutesOnlyAffectedConnectors)
{
    Scene s;
    s.router.setObstacle(10, {1000, 1000, 50, 50});
    s.router.setObstacle(11, {1200, 1000, 50, 50});
    s.router.setConnector(1, s.request());
    s.router.setConnector(2, {VRRouteKind::Orthogonal,
                              {QPointF(1050, 1025), 10, VRRouteSide::Right},
                              {QPointF(1200, 1025), 11, VRRouteSide::Left}});
    EXPECT_EQ(s.router.update().size(), 2);
    EXPECT_FALSE(s.router.hasPendingChanges());

    // A shape moved far from every route changes nothing.
    s.router.setObstacle(12, {3000, 3000, 10, 10});
    EXPECT_TRUE(s.router.update().isEmpty());

    // Removing the wall frees the way: the first connector straightens, the second stays.
    const QList<QPointF> before2 = s.router.route(2);
    s.router.removeObstacle(3);
    EXPECT_EQ(s.router.update(), QList<VRRouteId>{1});
    EXPECT_EQ(s.router.route(1).size(), 2);
    EXPECT_EQ(s.router.route(2), before2);

    // A shape dropped onto the second route makes it go around.
    s.router.setObstacle(13, {1110, 990, 30, 70});
    EXPECT_EQ(s.router.update(), QList<VRRouteId>{2});
    EXPECT_FALSE(pathCrossesInterior(s.router.route(2), QRectF(1110, 990, 30, 70)));
}

TEST(Router, PolylineAvoidsObstacles)
{
    Scene s;
    s.router.setConnector(1, s.request(VRRouteKind::Polyline));
    s.router.update();
    const QList<QPointF> path = s.router.route(1);
    ASSERT_GE(path.size(), 3);
    EXPECT_EQ(path.first(), QPointF(80, 125));
    EXPECT_EQ(path.last(), QPointF(400, 125));
    const double b = s.router.parameters().bufferDistance;
    EXPECT_FALSE(pathCrossesInterior(path, s.wall.adjusted(-b + 0.5, -b + 0.5, b - 0.5, b - 0.5)));
    EXPECT_FALSE(pathCrossesInterior(path, s.left));
    EXPECT_FALSE(pathCrossesInterior(path, s.right));
    EXPECT_FALSE(isOrthogonal(path));
    EXPECT_TRUE(s.router.wasRouted(1));
}

TEST(Router, EnclosedEndFallsBackToStraightSegment)
{
    VRConnectorRouter router;
    router.setObstacle(1, {0, 0, 20, 20});
    // A ring of walls around the start shape.
    router.setObstacle(2, {-100, -100, 220, 40});
    router.setObstacle(3, {-100, 80, 220, 40});
    router.setObstacle(4, {-100, -100, 40, 220});
    router.setObstacle(5, {80, -100, 40, 220});
    router.setObstacle(6, {400, 0, 20, 20});
    for (VRRouteKind kind : {VRRouteKind::Orthogonal, VRRouteKind::Polyline}) {
        router.setConnector(1, {kind,
                                {QPointF(20, 10), 1, VRRouteSide::Right},
                                {QPointF(400, 10), 6, VRRouteSide::Left}});
        router.update();
        EXPECT_FALSE(router.wasRouted(1));
        EXPECT_EQ(router.route(1), (QList<QPointF>{{20, 10}, {400, 10}}));
    }
}

TEST(Router, NonPositiveParametersTakeDefaults)
{
    VRConnectorRouter router;
    router.setParameters({0, -3, std::nan(""), false});
    EXPECT_EQ(router.parameters().segmentPenalty, 10.0);
    EXPECT_EQ(router.parameters().bufferDistance, 8.0);
    EXPECT_EQ(router.parameters().nudgeDistance, 4.0);
    EXPECT_FALSE(router.parameters().nudgeOrthogonalSegments);
}

TEST(Router, FreeEndsRouteWithoutPorts)
{
    Scene s;
    s.router.setConnector(1, {VRRouteKind::Orthogonal,
                              {QPointF(150, 60), -1, VRRouteSide::Any},
                              {QPointF(300, 180), -1, VRRouteSide::Any}});
    s.router.update();
    const QList<QPointF> path = s.router.route(1);
    EXPECT_EQ(path.first(), QPointF(150, 60));
    EXPECT_EQ(path.last(), QPointF(300, 180));
    EXPECT_TRUE(isOrthogonal(path));
    EXPECT_FALSE(pathCrossesInterior(path, s.wall));
}

TEST(Router, EndAtTheCentreLeavesThroughTheSideFacingTheOtherEnd)
{
    const QRectF own(400, 300, 120, 60);
    struct Case {
        QPointF otherOffset;
        VRRouteSide expected;
    };
    const Case cases[] = {{{-300, 20}, VRRouteSide::Left},
                          {{300, -20}, VRRouteSide::Right},
                          {{30, -250}, VRRouteSide::Top},
                          {{-30, 250}, VRRouteSide::Bottom}};
    for (const Case &c : cases) {
        VRConnectorRouter router;
        const QRectF other = own.translated(c.otherOffset);
        router.setObstacle(1, own);
        router.setObstacle(2, other);
        router.setConnector(1, {VRRouteKind::Orthogonal,
                                {own.center(), 1, VRRouteSide::Any},
                                {other.center(), 2, VRRouteSide::Any}});
        router.update();
        const QList<QPointF> path = router.route(1);
        ASSERT_GE(path.size(), 2);
        EXPECT_EQ(path.first(), own.center());
        EXPECT_EQ(path.last(), other.center());
        const QPointF out = path[1];
        switch (c.expected) {
        case VRRouteSide::Left: EXPECT_LT(out.x(), own.left()); break;
        case VRRouteSide::Right: EXPECT_GT(out.x(), own.right()); break;
        case VRRouteSide::Top: EXPECT_LT(out.y(), own.top()); break;
        default: EXPECT_GT(out.y(), own.bottom()); break;
        }
        // Past its first segment the route stays out of both its shapes.
        EXPECT_FALSE(pathCrossesInterior(path.mid(1, path.size() - 2), own));
        EXPECT_FALSE(pathCrossesInterior(path.mid(1, path.size() - 2), other));
    }
}

TEST(Router, EndsAtCentresOfDiagonalNeighboursJoinWithOneBend)
{
    // Leaving both shapes through the sides facing each other would take two bends.
    VRConnectorRouter router;
    const QRectF a(0, 0, 120, 60), b(300, 250, 120, 60);
    router.setObstacle(1, a);
    router.setObstacle(2, b);
    router.setConnector(1, {VRRouteKind::Orthogonal,
                            {a.center(), 1, VRRouteSide::Any},
                            {b.center(), 2, VRRouteSide::Any}});
    router.update();
    const QList<QPointF> path = router.route(1);
    EXPECT_EQ(bends(path), 1);
    EXPECT_TRUE(isOrthogonal(path));
    EXPECT_FALSE(pathCrossesInterior(path.mid(1, path.size() - 2), a));
    EXPECT_FALSE(pathCrossesInterior(path.mid(1, path.size() - 2), b));
}

TEST(Router, RandomDiagramsRouteClearOfEveryShape)
{
    // Shapes on a jittered grid (never overlapping) joined at random; every route found must be
    // orthogonal (or a polyline), start and end at its spots and cross no shape.
    for (quint32 seed : {1u, 2u, 3u}) {
        VRConnectorRouter router;
        QList<QRectF> shapes;
        quint32 state = seed * 2654435761u;
        auto next = [&state](int bound) {
            state = state * 1664525u + 1013904223u;
            return int((state >> 8) % quint32(bound));
        };
        for (int k = 0; k < 48; ++k) {
            const QRectF r(40 + (k % 8) * 150 + next(30), 40 + (k / 8) * 120 + next(30),
                           50 + next(40), 30 + next(30));
            shapes.push_back(r);
            router.setObstacle(k, r);
        }
        for (int k = 0; k < 60; ++k) {
            const int a = next(48);
            const int b = (a + 1 + next(47)) % 48;
            const VRRouteKind kind = k % 3 == 0 ? VRRouteKind::Polyline : VRRouteKind::Orthogonal;
            const VRRouteSide sa = VRConnectorGeometry::sideOf(shapes[a], shapes[b].center());
            const VRRouteSide sb = VRConnectorGeometry::sideOf(shapes[b], shapes[a].center());
            auto spot = [](const QRectF &r, VRRouteSide side) {
                switch (side) {
                case VRRouteSide::Left: return QPointF(r.left(), r.center().y());
                case VRRouteSide::Right: return QPointF(r.right(), r.center().y());
                case VRRouteSide::Top: return QPointF(r.center().x(), r.top());
                default: return QPointF(r.center().x(), r.bottom());
                }
            };
            router.setConnector(k,
                                {kind, {spot(shapes[a], sa), a, sa}, {spot(shapes[b], sb), b, sb}});
        }
        router.update();
        int routed = 0;
        for (int k = 0; k < 60; ++k) {
            if (!router.wasRouted(k))
                continue;
            ++routed;
            const QList<QPointF> path = router.route(k);
            ASSERT_GE(path.size(), 2);
            if (k % 3 != 0) {
                EXPECT_TRUE(isOrthogonal(path)) << seed << " " << k;
            }
            for (int s = 0; s < shapes.size(); ++s)
                EXPECT_FALSE(pathCrossesInterior(path, shapes[s]))
                    << seed << " connector " << k << " shape " << s;
        }
        EXPECT_GE(routed, 58) << seed;
    }
}

// Dragging shapes nudges only the channels the re-routed connectors left or entered (and the
// removal of a connector only those it ran through); the routes are the same as when every
// channel is nudged again from the same raw routes (turning nudging off and on).
TEST(Router, NudgingTheChangedChannelsEqualsNudgingEveryChannel)
{
    VRConnectorRouter router;
    QList<QRectF> shapes;
    quint32 state = 7u;
    auto next = [&state](int bound) {
        state = state * 1664525u + 1013904223u;
        return int((state >> 8) % quint32(bound));
    };
    // Shapes on a jittered grid joined to near neighbours at their centres: many connectors
    // share the gaps between the shapes.
    for (int k = 0; k < 36; ++k) {
        shapes.push_back(QRectF((k % 6) * 200 + next(40), (k / 6) * 150 + next(30), 120, 60));
        router.setObstacle(k, shapes.last());
    }
    QList<VRRouteRequest> requests;
    while (requests.size() < 80) {
        const int a = next(36), col = a % 6 + next(5) - 2, row = a / 6 + next(5) - 2;
        if (col < 0 || col >= 6 || row < 0 || row >= 6 || row * 6 + col == a)
            continue;
        const int b = row * 6 + col;
        requests.push_back({VRRouteKind::Orthogonal,
                            {shapes[a].center(), a, VRRouteSide::Any},
                            {shapes[b].center(), b, VRRouteSide::Any}});
        router.setConnector(requests.size() - 1, requests.last());
    }
    router.update();
    for (int step = 0; step < 12; ++step) {
        const int moved = (step * 7) % 36;
        const QPointF by(step % 2 ? -14 : 22, step % 3 ? 9 : -17);
        shapes[moved].translate(by);
        router.setObstacle(moved, shapes[moved]);
        for (int k = 0; k < requests.size(); ++k) {
            VRRouteRequest &r = requests[k];
            if (r.start.shape != moved && r.end.shape != moved)
                continue;
            if (r.start.shape == moved)
                r.start.point += by;
            if (r.end.shape == moved)
                r.end.point += by;
            router.setConnector(k, r);
        }
        if (step == 6)
            router.removeConnector(3);
        router.update();
    }
    QList<QList<QPointF>> incremental;
    for (int k = 0; k < requests.size(); ++k)
        incremental.push_back(router.route(k));

    VRRouteParameters p = router.parameters();
    p.nudgeOrthogonalSegments = false;
    router.setParameters(p);
    router.update();
    int nudged = 0;
    for (int k = 0; k < requests.size(); ++k)
        nudged += router.route(k) != incremental[k] ? 1 : 0;
    EXPECT_GE(nudged, 10); // the fixture has channels to spread
    p.nudgeOrthogonalSegments = true;
    router.setParameters(p);
    router.update();
    for (int k = 0; k < requests.size(); ++k)
        EXPECT_EQ(router.route(k), incremental[k]) << "connector " << k;
}

// A connector across a crowded field of shapes: its route keeps no jog that one corner could
// replace without passing through a shape.
TEST(Router, RoutesAcrossManyShapesKeepNoNeedlessJog)
{
    VRConnectorRouter router;
    QList<QRectF> shapes;
    quint32 state = 11u;
    auto next = [&state](int bound) {
        state = state * 1664525u + 1013904223u;
        return int((state >> 8) % quint32(bound));
    };
    for (int k = 0; k < 100; ++k) {
        shapes.push_back(QRectF((k % 10) * 180 + next(40), (k / 10) * 140 + next(40), 60 + next(60),
                                36 + next(30)));
        router.setObstacle(k, shapes.last());
    }
    const double b = router.parameters().bufferDistance;
    int checked = 0;
    for (const auto &[from, to] : {std::pair{0, 99}, {9, 90}, {5, 94}, {40, 59}, {3, 96}}) {
        router.setConnector(from, {VRRouteKind::Orthogonal,
                                   {shapes[from].center(), from, VRRouteSide::Any},
                                   {shapes[to].center(), to, VRRouteSide::Any}});
    }
    router.update();
    for (int from : {0, 9, 5, 40, 3}) {
        const QList<QPointF> path = router.route(from);
        ASSERT_TRUE(router.wasRouted(from));
        ASSERT_TRUE(isOrthogonal(path));
        for (int i = 1; i + 4 < path.size(); ++i) {
            for (int j = i + 3; j + 1 < path.size(); ++j) {
                for (const QPointF corner :
                     {QPointF(path[j].x(), path[i].y()), QPointF(path[i].x(), path[j].y())}) {
                    bool clear = true;
                    for (const QRectF &r : shapes) {
                        const QRectF inflated =
                            r.adjusted(-b + 0.01, -b + 0.01, b - 0.01, b - 0.01);
                        if (pathCrossesInterior({path[i], corner, path[j]}, inflated))
                            clear = false;
                    }
                    EXPECT_FALSE(clear) << "connector " << from << " points " << i << "-" << j;
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 0);
}

// Connectors from the centre of one shape (walled in above and below) to shapes beside it at
// several heights: they leave through its right side apart, each straight out and toward where
// it turns, and none crosses another; the straight one keeps the centre.
TEST(Router, EndsLeavingOneSideFromInsideLieApart)
{
    VRConnectorRouter router;
    const QRectF hub(0, 0, 120, 60);
    router.setObstacle(0, hub);
    router.setObstacle(10, {-40, -60, 200, 30});
    router.setObstacle(11, {-40, 90, 200, 30});
    const QList<QRectF> others{{300, -200, 120, 60},
                               {500, -120, 120, 60},
                               {400, 0, 120, 60},
                               {500, 120, 120, 60},
                               {300, 200, 120, 60}};
    for (int k = 0; k < others.size(); ++k) {
        router.setObstacle(k + 1, others[k]);
        router.setConnector(k, {VRRouteKind::Orthogonal,
                                {hub.center(), 0, VRRouteSide::Any},
                                {others[k].center(), k + 1, VRRouteSide::Any}});
    }
    const auto check = [&](int straight) {
        QList<QList<QPointF>> routes;
        for (int k = 0; k < others.size(); ++k)
            routes.push_back(router.route(k));
        for (int k = 0; k < routes.size(); ++k) {
            const QList<QPointF> &r = routes[k];
            ASSERT_GE(r.size(), 2);
            EXPECT_TRUE(isOrthogonal(r));
            // Inside the hub, leaving it straight through its right side.
            EXPECT_TRUE(hub.adjusted(1, 1, -1, -1).contains(r[0])) << k;
            EXPECT_DOUBLE_EQ(r[0].y(), r[1].y()) << k;
            EXPECT_GT(r[1].x(), hub.right()) << k;
            for (int j = 0; j < k; ++j) {
                EXPECT_NE(r[0], routes[j][0]) << k << " " << j;
                EXPECT_EQ(crossings(r, routes[j]), 0) << k << " " << j;
            }
            if (k == straight) {
                EXPECT_EQ(r.first(), hub.center());
                EXPECT_EQ(r.size(), 2);
            } else {
                // Turning up it lies above the middle, turning down below.
                ASSERT_GE(r.size(), 3);
                EXPECT_EQ(r[0].y() < hub.center().y(), r[2].y() < r[1].y()) << k;
            }
        }
    };
    router.update();
    check(2);
    // Moving one of them spreads the rest again as a whole routing would.
    router.setObstacle(3, others[2].translated(0, 60));
    router.setConnector(2, {VRRouteKind::Orthogonal,
                            {hub.center(), 0, VRRouteSide::Any},
                            {others[2].translated(0, 60).center(), 3, VRRouteSide::Any}});
    router.update();
    check(-1);
    QList<QList<QPointF>> moved;
    for (int k = 0; k < others.size(); ++k)
        moved.push_back(router.route(k));
    router.routeAll();
    for (int k = 0; k < others.size(); ++k)
        EXPECT_EQ(router.route(k), moved[k]) << k;
}

// Nudging spreads each channel within the lines of its neighbours: on a crowded diagram no two
// connectors that share no shape run together on one line.
TEST(Router, NudgedChannelsKeepOffEachOthersLines)
{
    VRConnectorRouter router;
    QList<QRectF> shapes;
    quint32 state = 2026u;
    auto next = [&state](int bound) {
        state = state * 1664525u + 1013904223u;
        return int((state >> 8) % quint32(bound));
    };
    const int cols = 10;
    for (int k = 0; k < 100; ++k) {
        shapes.push_back(QRectF((k % cols) * 200 + next(40), (k / cols) * 150 + next(30), 120, 60));
        router.setObstacle(k, shapes.last());
    }
    QList<VRRouteRequest> requests;
    while (requests.size() < 220) {
        const int a = next(100), col = a % cols + next(7) - 3, row = a / cols + next(7) - 3;
        if (col < 0 || col >= cols || row < 0 || row >= 10 || row * cols + col == a)
            continue;
        const int b = row * cols + col;
        requests.push_back({VRRouteKind::Orthogonal,
                            {shapes[a].center(), a, VRRouteSide::Any},
                            {shapes[b].center(), b, VRRouteSide::Any}});
        router.setConnector(requests.size() - 1, requests.last());
    }
    router.update();
    struct Run {
        int connector;
        bool horizontal;
        double at, lo, hi;
    };
    std::vector<Run> runs;
    for (int k = 0; k < requests.size(); ++k) {
        const QList<QPointF> r = router.route(k);
        for (qsizetype i = 1; i + 2 < r.size(); ++i) {
            const QPointF a = r[i], b = r[i + 1];
            const bool horizontal = std::abs(a.y() - b.y()) < 1e-9;
            runs.push_back({k, horizontal, horizontal ? a.y() : a.x(),
                            horizontal ? std::min(a.x(), b.x()) : std::min(a.y(), b.y()),
                            horizontal ? std::max(a.x(), b.x()) : std::max(a.y(), b.y())});
        }
    }
    const auto related = [&](int a, int b) {
        const VRRouteRequest &x = requests[a], &y = requests[b];
        return x.start.shape == y.start.shape || x.start.shape == y.end.shape
               || x.end.shape == y.start.shape || x.end.shape == y.end.shape;
    };
    int together = 0;
    for (size_t i = 0; i < runs.size(); ++i)
        for (size_t j = i + 1; j < runs.size(); ++j) {
            const Run &s = runs[i], &t = runs[j];
            if (s.connector != t.connector && s.horizontal == t.horizontal
                && std::abs(s.at - t.at) < 0.5 && !related(s.connector, t.connector)
                && std::min(s.hi, t.hi) - std::max(s.lo, t.lo) > 1e-6)
                ++together;
        }
    EXPECT_EQ(together, 0);
}

// An end whose route turns again right after leaving its shape has no room to move that way: the
// other ends of its side make way for it instead of lying on it, whichever way it turns.
TEST(Router, EndsWithNoRoomToMoveStillLieApart)
{
    struct Case {
        double jog;            // how far the first connector's other end lies up (-) or down
        QList<QRectF> turning; // the other connectors' shapes, which they turn toward
    };
    const QList<Case> cases{
        {-0.5, {{260, 140, 120, 60}, {480, 260, 120, 60}}},
        {0.5, {{260, -140, 120, 60}, {480, -260, 120, 60}}},
        {-0.5, {{260, 140, 120, 60}, {480, 260, 120, 60}, {260, -140, 120, 60}}},
    };
    for (const Case &c : cases) {
        VRConnectorRouter router;
        const QRectF hub(0, 0, 120, 60);
        router.setObstacle(0, hub);
        router.setObstacle(10, {-40, -60, 200, 30});
        router.setObstacle(11, {-40, 90, 200, 30});
        QList<QRectF> others{QRectF(300, c.jog, 120, 60)};
        others.append(c.turning);
        for (int k = 0; k < others.size(); ++k) {
            router.setObstacle(k + 1, others[k]);
            router.setConnector(k, {VRRouteKind::Orthogonal,
                                    {hub.center(), 0, VRRouteSide::Any},
                                    {others[k].center(), k + 1, VRRouteSide::Any}});
        }
        router.update();
        QList<QList<QPointF>> routes;
        for (int k = 0; k < others.size(); ++k)
            routes.push_back(router.route(k));
        for (int k = 0; k < routes.size(); ++k) {
            const QList<QPointF> &r = routes[k];
            ASSERT_GE(r.size(), 3) << c.jog << " " << k;
            EXPECT_TRUE(isOrthogonal(r));
            EXPECT_TRUE(hub.adjusted(1, 1, -1, -1).contains(r[0])) << c.jog << " " << k;
            EXPECT_DOUBLE_EQ(r[0].y(), r[1].y()) << c.jog << " " << k;
            EXPECT_GT(r[1].x(), hub.right()) << c.jog << " " << k;
            // It still turns the way its route goes, with no step back.
            EXPECT_EQ(r[2].y() > r[1].y(), k == 0 ? c.jog > 0 : others[k].center().y() > 30)
                << c.jog << " " << k;
            for (int j = 0; j < k; ++j) {
                EXPECT_NE(r[0], routes[j][0]) << c.jog << " " << k << " " << j;
                EXPECT_EQ(crossings(r, routes[j]), 0) << c.jog << " " << k << " " << j;
            }
        }
    }
}
