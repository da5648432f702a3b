#include "framework/routing/VRRouteSpatialIndex.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

// Every rectangle of `live` that intersects or touches the area, by id.
std::vector<VRRouteId> bruteForce(const std::map<VRRouteId, QRectF> &live, const QRectF &area)
{
    std::vector<VRRouteId> ids;
    for (const auto &[id, r] : live)
        if (r.right() >= area.left() && r.left() <= area.right() && r.bottom() >= area.top()
            && r.top() <= area.bottom())
            ids.push_back(id);
    return ids;
}

} // namespace

// Inserts, moves and removals of many rectangles (so the table grows and cells empty out and
// fill again), across negative coordinates and cell borders: queries, point lookups and the
// any-test always agree with a plain list of the rectangles.
TEST(RouteSpatialIndex, AnswersAsAListOfEveryRectangleWouldThroughGrowthAndRemoval)
{
    QRandomGenerator rng(7);
    VRRouteSpatialIndex index(64.0);
    std::map<VRRouteId, QRectF> live;
    const auto randomRect = [&] {
        const double x = rng.bounded(4000.0) - 2000, y = rng.bounded(3000.0) - 1500;
        return QRectF(x, y, 1 + rng.bounded(300.0), 1 + rng.bounded(200.0));
    };
    for (int step = 0; step < 3000; ++step) {
        const VRRouteId id = rng.bounded(600);
        const auto it = live.find(id);
        if (it != live.end()) {
            index.remove(id, it->second);
            live.erase(it);
        }
        if (rng.bounded(4) != 0) {
            const QRectF r = randomRect();
            index.insert(id, r);
            live[id] = r;
        }
        if (step % 50 != 0)
            continue;
        for (int q = 0; q < 20; ++q) {
            const QRectF area = randomRect();
            const std::vector<VRRouteId> expected = bruteForce(live, area);
            EXPECT_EQ(index.query(area), expected) << "step " << step;
            const bool anyExpected = !expected.empty();
            EXPECT_EQ(index.any(area, [](const VRRouteSpatialIndex::Entry &) { return true; }),
                      anyExpected);
            // A point's bucket holds every rectangle that contains the point.
            const QPointF p = area.center();
            const auto *entries = index.entriesAt(p.x(), p.y());
            for (const VRRouteId id : bruteForce(live, QRectF(p, p))) {
                ASSERT_NE(entries, nullptr);
                EXPECT_TRUE(std::any_of(entries->begin(), entries->end(),
                                        [&](const auto &e) { return e.id == id; }));
            }
        }
    }
    index.clear();
    EXPECT_TRUE(index.query(QRectF(-3000, -3000, 6000, 6000)).empty());
    EXPECT_EQ(index.entriesAt(0, 0), nullptr);
}
