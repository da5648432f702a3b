#include "framework/ViewTestSupport.h"

#include "common/BoxElements.h"

#include "framework/archive/VRArchiver.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntElement.h"

#include <gtest/gtest.h>

namespace {

// Two participants, tall as their lifelines, with spots along them; a frame holding a message
// and a smaller frame, which holds another message; a message below both frames.
struct Frames {
    std::shared_ptr<QntElement> a, b, outer, inner;
    std::shared_ptr<QntConnector> held, nested, below;

    explicit Frames(ViewHarness &h)
    {
        VRObjectOwnerLayer &layer = *h.layer();
        a = qnt::test::addBoxElement(layer, {100, 50, 60, 400}, QStringLiteral("a"));
        b = qnt::test::addBoxElement(layer, {300, 50, 60, 400}, QStringLiteral("b"));
        for (const auto &p : {a, b})
            p->setStickySpots({{0, -0.25}, {0, 0}, {0, 0.125}, {0, 0.375}});
        outer = qnt::test::addBoxElement(layer, {80, 120, 320, 200}, QStringLiteral("outer"));
        inner = qnt::test::addBoxElement(layer, {90, 200, 300, 100}, QStringLiteral("inner"));
        held = qnt::test::addAttachedConnector(layer, a, {130, 150}, b, {330, 150});
        nested = qnt::test::addAttachedConnector(layer, b, {330, 250}, a, {130, 250});
        below = qnt::test::addAttachedConnector(layer, a, {130, 400}, b, {330, 400});
        const QList<std::pair<VRObjectRef, QString>> uids{
            {outer, "frame-1"}, {inner, "frame-2"}, {held, "m1"}, {nested, "m2"}, {below, "m3"}};
        for (const auto &[object, uid] : uids)
            object->setString(uid, QStringLiteral("uid"));
        outer->setString(QStringLiteral("m1\nframe-2"), QStringLiteral("holds"));
        inner->setString(QStringLiteral("m2"), QStringLiteral("holds"));
        h.undo()->removeAllActions();
    }

    // Where each message's ends and the inner frame are.
    QList<QPointF> places() const
    {
        QList<QPointF> points{inner->location()};
        for (const auto &c : {held, nested, below})
            points << c->startEndPoint()->location() << c->endEndPoint()->location();
        return points;
    }
};

void expectPlaces(const QList<QPointF> &actual, const QList<QPointF> &expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (int i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual.at(i).x(), expected.at(i).x(), 1e-6) << "place " << i;
        EXPECT_NEAR(actual.at(i).y(), expected.at(i).y(), 1e-6) << "place " << i;
    }
}

QList<QPointF> pointsOf(const QPainterPath &path)
{
    QList<QPointF> points;
    for (int i = 0; i < path.elementCount(); ++i)
        points.append({path.elementAt(i).x, path.elementAt(i).y});
    return points;
}

// Each message drawn from one end to the other.
void expectDrawnOnTheirEnds(const Frames &f)
{
    for (const auto &c : {f.held, f.nested, f.below}) {
        const QPainterPath path = c->renderingPath();
        EXPECT_LT(QLineF(VRPath::firstPoint(path), c->startEndPoint()->location()).length(), 1e-6);
        EXPECT_LT(QLineF(VRPath::lastPoint(path), c->endEndPoint()->location()).length(), 1e-6);
    }
}

} // namespace

// A frame moved by the user, dragged or with the arrow keys, takes what it holds along: the
// frames inside it by the same offset, its messages up or down their lifelines, staying on
// them. What it does not hold stays. Undo puts everything back, a step at a time.
TEST(QntElement, AFrameMovedTakesWhatItHoldsAlong)
{
    for (const bool dragged : {true, false}) {
        SCOPED_TRACE(dragged ? "dragged" : "arrow keys");
        ViewHarness h;
        Frames f(h);
        const QList<QPointF> before = f.places();
        const QPointF start = f.outer->location();
        if (dragged) {
            h.drag({85, 310}, {115, 350});
        } else {
            h.click({85, 310});
            h.undo()->removeAllActions();
            for (int i = 0; i < 3; ++i)
                QTest::keyClick(h.view, Qt::Key_Down);
            QTest::keyClick(h.view, Qt::Key_Right);
        }
        const QPointF d = f.outer->location() - start;
        ASSERT_GT(d.y(), 1);
        ASSERT_GT(d.x(), 0.5);
        QList<QPointF> expected = before;
        expected[0] += d;
        for (int i = 1; i <= 4; ++i)
            expected[i] += QPointF(0, d.y());
        expectPlaces(f.places(), expected);
        expectDrawnOnTheirEnds(f);

        // A drag is one step, each key press one.
        const int steps = dragged ? 1 : 4;
        for (int i = 0; i < steps; ++i)
            h.undoStep();
        EXPECT_EQ(f.outer->location(), start);
        expectPlaces(f.places(), before);
        expectDrawnOnTheirEnds(f);
        for (int i = 0; i < steps; ++i)
            h.redoStep();
        expectPlaces(f.places(), expected);
        expectDrawnOnTheirEnds(f);
    }
}

// What a frame holds is kept with the document: the reopened frame takes it along as well.
TEST(QntElement, AReopenedFrameStillHoldsWhatItHeld)
{
    ViewHarness h;
    Frames f(h);
    auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*h.drawing));
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    auto *layer = read.value()->activeLayerOfClass<VRObjectDrawingLayer>();
    ASSERT_TRUE(layer);
    const auto find = [layer](const QString &uid) -> VRObjectRef {
        for (const VRObjectRef &o : layer->objects()) {
            if (o->stringForKey(QStringLiteral("uid")) == uid)
                return o;
        }
        return nullptr;
    };
    const auto outer = find(QStringLiteral("frame-1"));
    const auto inner = find(QStringLiteral("frame-2"));
    const auto held = std::dynamic_pointer_cast<QntConnector>(find(QStringLiteral("m1")));
    ASSERT_TRUE(outer && inner && held);
    EXPECT_EQ(outer->stringForKey(QStringLiteral("holds")), QStringLiteral("m1\nframe-2"));
    const QPointF innerAt = inner->location();
    const QPointF heldAt = held->startEndPoint()->location();
    outer->setLocation(outer->location() + QPointF(5, 20));
    QntElement::carryHeldObjects({outer}, QPointF(5, 20));
    EXPECT_EQ(inner->location(), innerAt + QPointF(5, 20));
    EXPECT_NEAR(held->startEndPoint()->location().x(), heldAt.x(), 1e-6);
    EXPECT_NEAR(held->startEndPoint()->location().y(), heldAt.y() + 20, 1e-6);
}

// A connector from an element back to it, a loop beside it, moves with the element: dragged
// alone, or together with the loop; undo puts it back.
TEST(QntElement, ALoopOnAnElementMovesWithIt)
{
    for (const bool withLoop : {false, true}) {
        SCOPED_TRACE(withLoop ? "element and loop dragged" : "element dragged");
        ViewHarness h;
        auto a = qnt::test::addBoxElement(*h.layer(), {100, 50, 60, 400}, QStringLiteral("a"));
        a->setStickySpots({{0, -0.25}, {0, -0.125}, {0, 0.25}});
        auto loop = qnt::test::addAttachedConnector(*h.layer(), a, {130, 150}, a, {130, 200});
        loop->insertPathPoint({170, 150});
        loop->insertPathPoint({170, 200});
        const QList<QPointF> before = pointsOf(loop->renderingPath());
        ASSERT_EQ(before.size(), 4);
        ASSERT_EQ(before.at(1), QPointF(170, 150));
        h.undo()->removeAllActions();
        const QPointF start = a->location();
        if (withLoop) {
            h.layer()->exchangeSelectionWithObjectsFromArray({a, loop});
            h.drag({110, 70}, {150, 100});
        } else {
            h.drag({110, 70}, {150, 100});
        }
        const QPointF d = a->location() - start;
        ASSERT_GT(d.x(), 1);
        ASSERT_GT(d.y(), 1);
        QList<QPointF> expected;
        for (const QPointF &p : before)
            expected.append(p + d);
        expectPlaces(pointsOf(loop->renderingPath()), expected);
        h.undoStep();
        expectPlaces(pointsOf(loop->renderingPath()), before);
    }
}
