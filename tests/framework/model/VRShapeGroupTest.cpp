#include "framework/ViewTestSupport.h"

#include "common/BoxElements.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntStickySpot.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/routing/VRAvoidRouter.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<QntElement> addElement(ViewHarness &h, const QRectF &rect, const QString &id)
{
    return qnt::test::addBoxElement(*h.layer(), rect, id);
}

QList<QPointF> pointsOf(const QPainterPath &path)
{
    QList<QPointF> points;
    for (int i = 0; i < path.elementCount(); ++i)
        points.append({path.elementAt(i).x, path.elementAt(i).y});
    return points;
}

void expectSamePoints(const QList<QPointF> &actual, const QList<QPointF> &expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (int i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual.at(i).x(), expected.at(i).x(), 1e-6) << "point " << i;
        EXPECT_NEAR(actual.at(i).y(), expected.at(i).y(), 1e-6) << "point " << i;
    }
}

QList<QPointF> mapped(const QTransform &t, const QList<QPointF> &points)
{
    QList<QPointF> result;
    for (const QPointF &p : points)
        result.append(t.map(p));
    return result;
}

// The drawn line, with the end arrowhead where the line ends.
QList<QPointF> drawnLine(const QntConnector &c)
{
    const QList<QPointF> line = pointsOf(c.renderingPath());
    const QntConnectorArrow *arrow = c.endEndPoint()->arrow();
    EXPECT_NE(arrow, nullptr);
    if (arrow && !line.isEmpty()) {
        EXPECT_NEAR(arrow->location().x(), line.last().x(), 1e-6);
        EXPECT_NEAR(arrow->location().y(), line.last().y(), 1e-6);
    }
    return line;
}

struct Routing {
    const char *name;
    int routing;
    std::function<void(QntConnector &)> shape;
};

} // namespace

// A connector between two elements of a group: the group is resized and moved, the connector
// is routed again, the group is ungrouped and the connector routed again, and the ungrouping
// is undone. The line and its arrowhead follow the group at once, and routing again never
// moves the line.
TEST(VRShapeGroup, ConnectorsInsideFollowTheGroupAndKeepTheirRouteWhenUngrouped)
{
    const QList<Routing> routings{
        {"straight through a point of the user's", 0,
         [](QntConnector &c) {
             c.insertPathPoint({200, 100});
         }},
        {"orthogonal with a moved run", 1,
         [](QntConnector &c) {
             c.setBendOffset({20, 0});
         }},
        {"laid by the router", 3, [](QntConnector &) {}},
    };
    for (const Routing &r : routings) {
        SCOPED_TRACE(r.name);
        ViewHarness h;
        auto a = addElement(h, {50, 50, 80, 60}, QStringLiteral("a"));
        auto b = addElement(h, {300, 200, 80, 60}, QStringLiteral("b"));
        auto c = std::make_shared<QntConnector>();
        c->setEnds({130, 80}, {300, 230});
        h.layer()->addObject(c);
        c->addSkin({{QStringLiteral("endArrowheadId"), QStringLiteral("a1")}});
        c->reattachEnd(0, a, a->nearestStickySpot({130, 80})->index());
        c->reattachEnd(1, b, b->nearestStickySpot({300, 230})->index());
        c->setRouting(r.routing);
        r.shape(*c);
        h.drawing->avoidRouter()->processPendingChanges();
        const QList<QPointF> laid = drawnLine(*c);
        const QList<QPointF> userPoints = c->userPoints();
        const QPointF bend = c->bendOffset();

        const VRObjectList members{a, b, c};
        h.layer()->removeObjectsInArray(members);
        auto group =
            std::static_pointer_cast<VRShapeGroup>(VRShapeGroup::groupWithObjects(members));
        h.layer()->addObject(group);
        h.undo()->removeAllActions();
        const QTransform before = group->contentTransform();
        group->setSize(QSizeF(group->size().width() * 1.5, group->size().height() * 1.5));
        group->setLocation(group->location() + QPointF(40, 30));
        const QTransform moved = before.inverted() * group->contentTransform();
        const QList<QPointF> expected = mapped(moved, laid);
        expectSamePoints(drawnLine(*c), expected);

        c->endsDidMove();
        QApplication::processEvents();
        expectSamePoints(drawnLine(*c), expected);

        group->ungroupToLayer(*h.layer());
        expectSamePoints(drawnLine(*c), expected);
        expectSamePoints(c->userPoints(), mapped(moved, userPoints));
        EXPECT_EQ(c->bendOffset(), bend * 1.5);
        if (r.routing != 3) {
            // The router lays its own connectors again, at its own distances from the shapes.
            c->endsDidMove();
            expectSamePoints(drawnLine(*c), expected);
        }

        h.undoStep();
        EXPECT_EQ(c->container(), group.get());
        expectSamePoints(c->userPoints(), userPoints);
        EXPECT_EQ(c->bendOffset(), bend);
        c->endsDidMove();
        expectSamePoints(drawnLine(*c), expected);
    }
}

// A connector of the drawing between an element outside a group and one inside it follows the
// group's move at once, and back with undo.
TEST(VRShapeGroup, ConnectorsOutsideFollowTheElementsInside)
{
    ViewHarness h;
    auto a = addElement(h, {50, 50, 80, 60}, QStringLiteral("a"));
    auto b = addElement(h, {300, 200, 80, 60}, QStringLiteral("b"));
    auto d = addElement(h, {500, 50, 80, 60}, QStringLiteral("d"));
    auto c = qnt::test::addAttachedConnector(*h.layer(), a, {130, 80}, d, {500, 80});
    // The group is nested in another, with a shape of its own.
    const VRObjectList members{a, b};
    h.layer()->removeObjectsInArray(members);
    auto inner = VRShapeGroup::groupWithObjects(members);
    auto shape =
        VRDrawableShape::shapeWithRect({300, 400, 40, 40}, VRDrawableShape::unitRectAtOrigin());
    auto group =
        std::static_pointer_cast<VRShapeGroup>(VRShapeGroup::groupWithObjects({inner, shape}));
    h.layer()->addObject(group);
    h.undo()->removeAllActions();
    const QList<QPointF> before = pointsOf(c->renderingPath());

    group->setLocation(group->location() + QPointF(0, 100));
    QList<QPointF> line = pointsOf(c->renderingPath());
    ASSERT_FALSE(line.isEmpty());
    EXPECT_EQ(line.first(), c->startEndPoint()->location());
    EXPECT_EQ(line.first(), before.first() + QPointF(0, 100));
    EXPECT_EQ(line.last(), before.last());

    h.undoStep();
    line = pointsOf(c->renderingPath());
    ASSERT_FALSE(line.isEmpty());
    EXPECT_EQ(line.first(), before.first());

    // Laid by the router, it leaves the element inside straight out of its spot's side.
    c->makeRoutingColaOrthogonal();
    group->setLocation(group->location() + QPointF(0, 100));
    h.drawing->avoidRouter()->processPendingChanges();
    line = pointsOf(c->renderingPath());
    ASSERT_GE(line.size(), 3);
    EXPECT_EQ(line.first(), c->startEndPoint()->location());
    EXPECT_EQ(line.at(1).y(), line.first().y());
    EXPECT_GT(line.at(1).x(), line.first().x());
}

namespace {

// True when a segment of the line passes through the inside of the rectangle.
bool crosses(const QList<QPointF> &line, const QRectF &rect)
{
    const QRectF inside = rect.adjusted(1, 1, -1, -1);
    for (int i = 1; i < line.size(); ++i) {
        const QPointF a = line.at(i - 1), b = line.at(i);
        for (int k = 0; k <= 64; ++k)
            if (inside.contains(a + (b - a) * (k / 64.0)))
                return true;
    }
    return false;
}

} // namespace

// A connector the router lays between elements of a group goes round the other shapes inside
// the group, not round the group's box that holds its ends, whether it lies in the layer beside
// the group or inside the group. One inside the group is laid again while grouped when an end
// moves: an element inside (the group resized first), or an element outside that it ends on.
TEST(VRShapeGroup, AConnectorBetweenElementsOfAGroupGoesRoundTheOtherShapesInside)
{
    struct Case {
        const char *name;
        bool connectorInGroup;
        bool endOutside;
    };
    const QList<Case> cases{
        {"connector in the layer", false, false},
        {"connector in the group", true, false},
        {"connector in the group, ending outside it", true, true},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        ViewHarness h;
        auto a = addElement(h, {50, 50, 80, 60}, QStringLiteral("a"));
        auto b = addElement(h, {250, 50, 80, 60}, QStringLiteral("b"));
        auto c = addElement(h, {450, 50, 80, 60}, QStringLiteral("c"));
        auto d = addElement(h, {450, 300, 80, 60}, QStringLiteral("d"));
        const auto target = k.endOutside ? d : c;
        const QPointF to = k.endOutside ? QPointF(450, 330) : QPointF(450, 80);
        auto line = qnt::test::addAttachedConnector(*h.layer(), a, {130, 80}, target, to);
        line->makeRoutingColaOrthogonal();
        h.drawing->avoidRouter()->processPendingChanges();

        VRObjectList members{a, b, c};
        if (k.connectorInGroup)
            members.append(line);
        h.layer()->removeObjectsInArray(members);
        auto group =
            std::static_pointer_cast<VRShapeGroup>(VRShapeGroup::groupWithObjects(members));
        h.layer()->addObject(group);
        group->setSize(QSizeF(group->size().width() * 1.5, group->size().height()));
        QApplication::processEvents();
        h.drawing->avoidRouter()->processPendingChanges();

        // An end moves: the element inside the group, or the one outside it.
        const auto moved = k.endOutside ? d : a;
        moved->setLocation(moved->location() + QPointF(0, 20));
        h.drawing->avoidRouter()->processPendingChanges();

        const QList<QPointF> drawn = pointsOf(line->renderingPath());
        ASSERT_GE(drawn.size(), 2);
        const QPointF start = line->startEndPoint()->location();
        const QPointF end = line->endEndPoint()->location();
        EXPECT_NEAR(drawn.first().x(), start.x(), 1e-6);
        EXPECT_NEAR(drawn.first().y(), start.y(), 1e-6);
        EXPECT_NEAR(drawn.last().x(), end.x(), 1e-6);
        EXPECT_NEAR(drawn.last().y(), end.y(), 1e-6);
        for (const auto &shape : {a, b, c, d})
            EXPECT_FALSE(crosses(drawn, shape->logicalBounds())) << shape->ID().toStdString();
    }
}
