#include "framework/ViewTestSupport.h"

#include "common/BoxElements.h"

#include "framework/archive/VRArchiver.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntStickySpot.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/routing/VRConnectorGeometry.h"
#include "framework/styles/VRStyle.h"

#include <gtest/gtest.h>

#include <QtMath>

#include <functional>

namespace {

QList<QPointF> pointsOf(const QPainterPath &path)
{
    QList<QPointF> points;
    for (int i = 0; i < path.elementCount(); ++i)
        points.append({path.elementAt(i).x, path.elementAt(i).y});
    return points;
}

void expectSamePoints(const QList<QPointF> &actual, const QList<QPointF> &expected,
                      double tolerance)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (int i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual.at(i).x(), expected.at(i).x(), tolerance) << "point " << i;
        EXPECT_NEAR(actual.at(i).y(), expected.at(i).y(), tolerance) << "point " << i;
    }
}

void expectNear(QPointF actual, QPointF expected, double tolerance)
{
    EXPECT_NEAR(actual.x(), expected.x(), tolerance);
    EXPECT_NEAR(actual.y(), expected.y(), tolerance);
}

QTransform about(QPointF centre, const QTransform &linear)
{
    return QTransform::fromTranslate(-centre.x(), -centre.y()) * linear
           * QTransform::fromTranslate(centre.x(), centre.y());
}

struct State {
    QPainterPath path;
    QPointF start, end;
    QList<QPointF> userPoints;
};

State stateOf(const QntConnector &c)
{
    return {c.path(), c.startEndPoint()->location(), c.endEndPoint()->location(), c.userPoints()};
}

void expectState(const QntConnector &c, const State &s, double tolerance)
{
    // The arrowhead sits on the end of the drawn line.
    if (const QntConnectorArrow *arrow = c.endEndPoint()->arrow())
        expectNear(arrow->location(), pointsOf(c.path()).last(), tolerance);
    expectSamePoints(pointsOf(c.path()), pointsOf(s.path), tolerance);
    expectNear(c.startEndPoint()->location(), s.start, tolerance);
    expectNear(c.endEndPoint()->location(), s.end, tolerance);
    expectSamePoints(c.userPoints(), s.userPoints, tolerance);
}

struct Operation {
    const char *name;
    QString actionName;
    std::function<void(QntConnector &)> apply;
    // What a connector free at both ends goes through, from its bounds before.
    std::function<QTransform(const QRectF &)> expected;
};

const QList<Operation> &operations()
{
    static const QList<Operation> list{
        {"resize", QStringLiteral("Resize"),
         [](QntConnector &c) { c.setSize(QSizeF(c.size().width() * 1.5, c.size().height() * 2)); },
         [](const QRectF &before) {
             return about(before.center(), QTransform::fromScale(1.5, 2));
         }},
        {"turn", QStringLiteral("Rotate"), [](QntConnector &c) { c.setAngle(M_PI / 2); },
         [](const QRectF &before) { return about(before.center(), QTransform().rotate(90)); }},
        {"mirror", QStringLiteral("Change Path"),
         [](QntConnector &c) {
             c.applyTransform(
                 about(c.path().boundingRect().center(), QTransform::fromScale(-1, 1)));
         },
         [](const QRectF &before) { return about(before.center(), QTransform::fromScale(-1, 1)); }},
    };
    return list;
}

std::shared_ptr<QntConnector> firstConnector(const VRDrawing &drawing)
{
    for (const VRObjectRef &o : drawing.activeLayerOfClass<VRObjectDrawingLayer>()->objects())
        if (o->isKindOf<QntConnector>())
            return std::static_pointer_cast<QntConnector>(o);
    return nullptr;
}

// The way each segment runs: r, l, u or d.
std::string turnsOf(const QPainterPath &path)
{
    std::string turns;
    const QList<QPointF> points = pointsOf(path);
    for (int i = 1; i < points.size(); ++i) {
        const QPointF d = points.at(i) - points.at(i - 1);
        if (d.isNull())
            continue;
        const char c =
            std::abs(d.x()) >= std::abs(d.y()) ? (d.x() > 0 ? 'r' : 'l') : (d.y() > 0 ? 'd' : 'u');
        if (turns.empty() || turns.back() != c)
            turns.push_back(c);
    }
    return turns;
}

std::shared_ptr<QntElement> addBox(ViewHarness &h, const QRectF &rect, const QString &id)
{
    return qnt::test::addBoxElement(*h.layer(), rect, id);
}

} // namespace

// Duplicating a connector the router laid between two elements: the copy is free at both ends
// and drawn as the original; routed again, its route runs the same way as the original's,
// after it is moved, after an undone move and in a file.
TEST(QntConnector, ACopyOfARoutedConnectorKeepsTheWayItsRouteRuns)
{
    struct Layout {
        const char *name;
        QRectF a, b;
        QPointF from, to;
    };
    const QList<Layout> layouts{
        {"side by side", {50, 50, 80, 60}, {300, 200, 80, 60}, {130, 80}, {300, 230}},
        {"one above the other", {50, 50, 80, 60}, {250, 260, 80, 60}, {90, 110}, {290, 260}},
    };
    for (const Layout &l : layouts) {
        SCOPED_TRACE(l.name);
        ViewHarness h;
        VRAvoidRouter &router = *h.drawing->avoidRouter();
        auto a = addBox(h, l.a, QStringLiteral("a"));
        auto b = addBox(h, l.b, QStringLiteral("b"));
        auto c = qnt::test::addAttachedConnector(*h.layer(), a, l.from, b, l.to);
        c->makeRoutingColaOrthogonal();
        router.processPendingChanges();
        const std::string turns = turnsOf(c->path());
        ASSERT_GE(turns.size(), 3u) << turns;

        const VRObjectList copies = h.layer()->linearDuplicate({c}, QSizeF(10, 10), 1);
        ASSERT_EQ(copies.size(), 1);
        h.layer()->addObjectsFromArray(copies);
        router.processPendingChanges();
        const auto copy = std::static_pointer_cast<QntConnector>(copies.first());
        EXPECT_EQ(copy->startEndPoint()->targetElement(), nullptr);
        // At first the copy is drawn just as the original, a step away.
        expectSamePoints(pointsOf(copy->path()), pointsOf(c->path().translated(10, 10)), 1e-6);

        h.undo()->removeAllActions();
        copy->moveBy({40, 300});
        router.processPendingChanges();
        EXPECT_EQ(turnsOf(copy->path()), turns);
        h.undoStep();
        router.processPendingChanges();
        EXPECT_EQ(turnsOf(copy->path()), turns);

        auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*h.drawing));
        ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
        read.value()->avoidRouter()->rerouteAll();
        for (const VRObjectRef &o :
             read.value()->activeLayerOfClass<VRObjectDrawingLayer>()->objects()) {
            if (o->isKindOf<QntConnector>()) {
                EXPECT_EQ(turnsOf(static_cast<QntConnector &>(*o).path()), turns);
            }
        }
    }
}

// Curve on a connector the router laid draws the same route as a curve through its corners;
// the router's routing chosen again draws it straight.
TEST(QntConnector, CurveOnARoutedConnectorDrawsItsRouteCurved)
{
    ViewHarness h;
    VRAvoidRouter &router = *h.drawing->avoidRouter();
    auto a = addBox(h, {50, 50, 80, 60}, QStringLiteral("a"));
    auto b = addBox(h, {300, 200, 80, 60}, QStringLiteral("b"));
    auto c = qnt::test::addAttachedConnector(*h.layer(), a, {130, 80}, b, {300, 230});
    c->makeRoutingColaOrthogonal();
    router.processPendingChanges();
    const QList<QPointF> corners = VRConnectorGeometry::pointsOf(c->path());
    ASSERT_GE(corners.size(), 3);
    const auto curved = [](const QPainterPath &path) {
        for (int i = 0; i < path.elementCount(); ++i)
            if (path.elementAt(i).type == QPainterPath::CurveToElement)
                return true;
        return false;
    };
    ASSERT_FALSE(curved(c->path()));

    for (const bool curve : {true, false}) {
        SCOPED_TRACE(curve ? "curve" : "straight again");
        if (curve)
            c->makeCurve();
        else
            c->makeRoutingColaOrthogonal();
        router.processPendingChanges();
        EXPECT_EQ(c->isCurve(), curve);
        EXPECT_EQ(c->routing(), 3);
        EXPECT_EQ(curved(c->path()), curve);
        expectSamePoints(VRConnectorGeometry::pointsOf(c->path()), corners, 1e-6);
    }
}

TEST(QntConnector, ResizingTurningAndMirroringTakeTheFreeEndsAlongInOneUndoStep)
{
    for (const bool heldByElement : {false, true}) {
        for (const Operation &op : operations()) {
            SCOPED_TRACE(std::string(op.name) + (heldByElement ? " (held)" : " (free)"));
            ViewHarness h;
            auto connector = std::make_shared<QntConnector>();
            connector->setMode(2);
            connector->setEnds({100, 180}, {300, 150});
            h.layer()->addObject(connector);
            connector->addSkin({{QStringLiteral("endArrowheadId"), QStringLiteral("a1")}});
            ASSERT_NE(connector->endEndPoint()->arrow(), nullptr);
            // A point of the user's own: the route goes through it.
            connector->insertPathPoint({200, 120});
            ASSERT_EQ(connector->userPoints(), QList<QPointF>{QPointF(200, 120)});
            std::shared_ptr<QntElement> element;
            if (heldByElement) {
                auto contour = VRDrawableShape::shapeWithRect({20, 160, 60, 60},
                                                              VRDrawableShape::unitRectAtOrigin());
                contour->setID(QStringLiteral("contour"));
                contour->setStyle(VRStyle::styleWithFillColour(Qt::white, Qt::black, 1));
                element = QntElement::createWithObjects({contour}, QStringLiteral("e"), {60, 60});
                h.layer()->addObject(element);
                const auto spot = element->nearestStickySpot({100, 180});
                ASSERT_NE(spot, nullptr);
                connector->reattachEnd(0, element, spot->index());
            }
            QApplication::processEvents();
            h.undo()->removeAllActions();
            const State before = stateOf(*connector);
            const QRectF bounds = before.path.boundingRect();

            op.apply(*connector);
            QApplication::processEvents();
            const State after = stateOf(*connector);

            if (heldByElement) {
                // The held end stays on its element; the line leaves from it.
                expectNear(after.start, before.start, 1e-6);
                expectNear(pointsOf(after.path).first(), before.start, 1e-6);
                EXPECT_NE(after.end, before.end);
            } else {
                const QTransform t = op.expected(bounds);
                expectSamePoints(pointsOf(after.path), pointsOf(t.map(before.path)), 1e-6);
                expectNear(after.start, t.map(before.start), 1e-6);
                expectSamePoints(after.userPoints, {t.map(before.userPoints.first())}, 1e-6);
            }
            // The drawn line and the ends agree: routing again keeps the line where it is.
            expectNear(pointsOf(after.path).last(), after.end, 1e-6);
            connector->endsDidMove();
            expectState(*connector, after, 1e-6);

            h.undoStep();
            expectState(*connector, before, 1e-6);
            EXPECT_EQ(h.undo()->redoActionName(), op.actionName);
            EXPECT_FALSE(h.undo()->canUndo());
            h.redoStep();
            expectState(*connector, after, 1e-6);

            auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*h.drawing));
            ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
            const auto reread = firstConnector(*read.value());
            ASSERT_NE(reread, nullptr);
            expectState(*reread, after, 1e-6);
        }
    }
}
