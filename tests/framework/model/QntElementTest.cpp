#include "framework/ViewTestSupport.h"

#include "common/BoxElements.h"
#include "common/ScopeExit.h"

#include "framework/archive/VRArchiver.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntElement.h"

#include <QClipboard>
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

// Two participants, tall as their lifelines, with spots along them; a frame holding a message
// and a smaller frame, which holds another message; a message below both frames.
struct Frames {
    static constexpr QRectF kLabel{80, 120, 50, 20};
    std::shared_ptr<QntElement> a, b, outer, inner;
    std::shared_ptr<QntConnector> held, nested, below;

    explicit Frames(ViewHarness &h)
        : Frames(*h.layer(), h.undo())
    {
    }

    Frames(VRObjectOwnerLayer &layer, VRUndoManager *undo)
    {
        a = qnt::test::addBoxElement(layer, {100, 50, 60, 400}, QStringLiteral("a"));
        b = qnt::test::addBoxElement(layer, {300, 50, 60, 400}, QStringLiteral("b"));
        for (const auto &p : {a, b})
            p->setStickySpots({{0, -0.25}, {0, 0}, {0, 0.125}, {0, 0.375}});
        outer = qnt::test::addBoxElement(layer, {80, 120, 320, 200}, QStringLiteral("outer"));
        // The outer frame names its kind in a box at its top left.
        auto label = VRDrawableShape::shapeWithRect(kLabel, VRDrawableShape::unitRectAtOrigin());
        label->setStyle(VRStyle::styleWithFillColour(Qt::lightGray, Qt::black, 1));
        outer->addGroupObject(label);
        inner = qnt::test::addBoxElement(layer, {90, 200, 300, 100}, QStringLiteral("inner"));
        held = qnt::test::addAttachedConnector(layer, a, {130, 150}, b, {330, 150});
        nested = qnt::test::addAttachedConnector(layer, b, {330, 250}, a, {130, 250});
        below = qnt::test::addAttachedConnector(layer, a, {130, 400}, b, {330, 400});
        const QList<std::pair<VRObjectRef, QString>> uids{
            {outer, "frame-1"}, {inner, "frame-2"}, {held, "m1"}, {nested, "m2"},
            {below, "m3"},      {a, "a"},           {b, "b"}};
        for (const auto &[object, uid] : uids)
            object->setString(uid, QStringLiteral("uid"));
        outer->setString(QStringLiteral("m1\nframe-2"), QStringLiteral("holds"));
        inner->setString(QStringLiteral("m2"), QStringLiteral("holds"));
        if (undo)
            undo->removeAllActions();
    }

    VRObjectList all() const { return {a, b, outer, inner, held, nested, below}; }

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

// A copy of a frame, pasted or duplicated, holds the copies of what the frame held that were
// copied with it, and nothing else: moving a copy leaves the originals where they are, and
// moving an original leaves the copies. Copies nothing holds keep their uids.
TEST(QntElement, ACopiedFrameHoldsOnlyTheCopiesOfWhatItHeld)
{
    const qnt::test::ScopeExit clearClipboard([] { QGuiApplication::clipboard()->clear(); });
    const QString uidKey = QStringLiteral("uid"), holdsKey = QStringLiteral("holds");
    // Each copy tells what it is a copy of: the copies' uids may differ from the originals'.
    const QString wasKey = QStringLiteral("test copy of");
    struct Case {
        const char *name;
        QStringList copied;
        bool duplicated;
        // What each copied frame's copy holds, by the uids of the originals.
        QHash<QString, QStringList> holds;
    };
    const QStringList all{"a", "b", "frame-1", "frame-2", "m1", "m2", "m3"};
    const QList<Case> cases{
        {"everything pasted", all, false, {{"frame-1", {"m1", "frame-2"}}, {"frame-2", {"m2"}}}},
        {"everything duplicated", all, true, {{"frame-1", {"m1", "frame-2"}}, {"frame-2", {"m2"}}}},
        {"frames and one message duplicated",
         {"frame-1", "frame-2", "m1"},
         true,
         {{"frame-1", {"m1", "frame-2"}}}},
        {"the inner frame duplicated with its message",
         {"frame-2", "m2", "a", "b"},
         true,
         {{"frame-2", {"m2"}}}},
        {"the outer frame alone", {"frame-1"}, false, {}},
        {"a held message alone", {"m1"}, true, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        VRDrawingDocument document;
        VRObjectDrawingLayer &layer =
            *document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
        Frames f(layer, document.undoManager());
        VRObjectList originals;
        for (const VRObjectRef &o : f.all()) {
            o->setString(o->stringForKey(uidKey), wasKey);
            if (c.copied.contains(o->stringForKey(uidKey)))
                originals.append(o);
        }
        layer.exchangeSelectionWithObjectsFromArray(originals);
        if (c.duplicated) {
            document.duplicate();
        } else {
            document.copy();
            document.paste();
        }
        const VRObjectList copies = layer.selection();
        ASSERT_EQ(copies.size(), originals.size());
        QHash<QString, VRObjectRef> copyOf;
        QSet<QString> copiedUids;
        for (const VRObjectRef &copy : copies) {
            EXPECT_FALSE(originals.contains(copy));
            copyOf.insert(copy->stringForKey(wasKey), copy);
            copiedUids.insert(copy->stringForKey(uidKey));
        }
        EXPECT_EQ(copiedUids.size(), copies.size()) << "each copy has a uid of its own";
        for (const VRObjectRef &original : originals) {
            const QString was = original->stringForKey(uidKey);
            const VRObjectRef copy = copyOf.value(was);
            ASSERT_TRUE(copy) << was.toStdString();
            // The originals are as they were.
            EXPECT_EQ(original->stringForKey(wasKey), was);
            QStringList expected;
            for (const QString &held : c.holds.value(was))
                expected.append(copyOf.value(held)->stringForKey(uidKey));
            EXPECT_EQ(copy->stringForKey(holdsKey).split('\n', Qt::SkipEmptyParts), expected)
                << was.toStdString();
            EXPECT_EQ(copy->hasMetadataForKey(holdsKey), !expected.isEmpty()) << was.toStdString();
            // A copy nothing may hold keeps its uid.
            if (was != "frame-2" && was != "m1" && was != "m2") {
                EXPECT_EQ(copy->stringForKey(uidKey), was);
            }
        }
        EXPECT_EQ(f.outer->stringForKey(holdsKey), QStringLiteral("m1\nframe-2"));
        EXPECT_EQ(f.inner->stringForKey(holdsKey), QStringLiteral("m2"));

        // Moving each copied frame leaves the originals where they were.
        const QList<QPointF> before = f.places();
        for (const QString frame : {"frame-1", "frame-2"}) {
            if (const VRObjectRef copy = copyOf.value(frame)) {
                copy->setLocation(copy->location() + QPointF(0, 20));
                QntElement::carryHeldObjects({copy}, QPointF(0, 20));
            }
        }
        expectPlaces(f.places(), before);
        // And moving the original frame leaves every copy where it is.
        QList<QRectF> copiesAt;
        for (const VRObjectRef &copy : copies)
            copiesAt.append(copy->bounds());
        f.outer->setLocation(f.outer->location() + QPointF(0, -20));
        QntElement::carryHeldObjects({f.outer}, QPointF(0, -20));
        for (qsizetype i = 0; i < copies.size(); ++i)
            EXPECT_EQ(copies.at(i)->bounds(), copiesAt.at(i)) << i;
        EXPECT_NE(f.inner->location(), before.first());
    }
}

// Each copy of a linear duplication holds the copies made in its own step.
TEST(QntElement, EachDuplicatedCopyOfAFrameHoldsItsOwnStepsCopies)
{
    VRDrawingDocument document;
    VRObjectDrawingLayer &layer = *document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    Frames f(layer, document.undoManager());
    // a, b, outer, inner, held, nested, below: each step copies them in that order.
    const VRObjectList originals = f.all();
    const qsizetype n = originals.size();
    const VRObjectList copies = layer.linearDuplicate(originals, QSizeF(0, 500), 3);
    ASSERT_EQ(copies.size(), 3 * n);
    layer.addObjectsFromArray(copies);
    QSet<QString> heldUids;
    for (qsizetype step = 0; step <= 3; ++step) {
        const VRObjectList made = step == 0 ? originals : copies.mid((step - 1) * n, n);
        const auto uid = [&made](qsizetype i) {
            return made.at(i)->stringForKey(QStringLiteral("uid"));
        };
        EXPECT_EQ(made.at(2)->stringForKey(QStringLiteral("holds")), uid(4) + '\n' + uid(3))
            << step;
        EXPECT_EQ(made.at(3)->stringForKey(QStringLiteral("holds")), uid(5)) << step;
        for (qsizetype i : {3, 4, 5}) {
            EXPECT_FALSE(heldUids.contains(uid(i))) << step << " " << uid(i).toStdString();
            heldUids.insert(uid(i));
        }
    }
}

namespace {

QRectF boxOf(const VRDrawableObject &object)
{
    return object.transformIncludingParent().mapRect(QRectF(-0.5, -0.5, 1, 1));
}

} // namespace

// A participant moved sideways, dragged or with the arrow keys, takes the frames across its
// messages along: each frame widens or narrows to enclose what it holds again, as far out
// from it as before, an outer frame around an inner one too; a frame's parts keep their size,
// the box naming its kind stays at its left side. One undo puts it all back.
TEST(QntElement, FramesFollowTheParticipantsTheyLieAcross)
{
    struct Case {
        const char *name;
        bool a, b; // which participants move
        QPointF by;
        bool keys;
    };
    const QList<Case> cases{
        {"b dragged right", false, true, {60, 0}, false},
        {"b dragged left, past the frames' middle", false, true, {-150, 0}, false},
        {"a dragged right", true, false, {100, 0}, false},
        {"both dragged right", true, true, {50, 0}, false},
        {"b moved with the arrow keys", false, true, {3, 0}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ViewHarness h;
        Frames f(h);
        const QRectF outerWas = boxOf(*f.outer), innerWas = boxOf(*f.inner);
        const VRObjectRef label = f.outer->groupObjects().last();
        const QRectF labelWas = boxOf(*label);
        ASSERT_EQ(labelWas, Frames::kLabel);
        const QPointF aWas = f.a->location(), bWas = f.b->location();
        const QPointF grab = (c.b ? f.b : f.a)->location() + QPointF(0, -160);
        h.click(grab);
        if (c.a && c.b)
            h.click(f.a->location() + QPointF(0, -160), Qt::ShiftModifier);
        h.undo()->removeAllActions();
        if (c.keys) {
            for (int i = 0; i < c.by.x(); ++i)
                QTest::keyClick(h.view, Qt::Key_Right);
        } else {
            h.drag(grab, grab + c.by);
        }
        const double da = f.a->location().x() - aWas.x(), db = f.b->location().x() - bWas.x();
        ASSERT_NEAR(c.a ? da : db, c.by.x(), 5); // snapped to the guides
        // Both frames hold messages between a and b only: each side follows its participant.
        const double left = std::min(aWas.x() + da, bWas.x() + db) - aWas.x();
        const double right = std::max(aWas.x() + da, bWas.x() + db) - bWas.x();
        const QRectF outerIs = boxOf(*f.outer), innerIs = boxOf(*f.inner);
        EXPECT_NEAR(innerIs.left(), innerWas.left() + left, 1e-6);
        EXPECT_NEAR(innerIs.right(), innerWas.right() + right, 1e-6);
        EXPECT_NEAR(outerIs.left(), outerWas.left() + left, 1e-6);
        EXPECT_NEAR(outerIs.right(), outerWas.right() + right, 1e-6);
        for (const QRectF &was : {outerWas, innerWas}) {
            EXPECT_EQ(was.top(), (was == outerWas ? outerIs : innerIs).top());
            EXPECT_EQ(was.bottom(), (was == outerWas ? outerIs : innerIs).bottom());
        }
        // The kind's box keeps its size at the frame's left side; the outline follows.
        const QRectF labelIs = boxOf(*label);
        EXPECT_NEAR(labelIs.left(), outerIs.left(), 1e-6);
        EXPECT_NEAR(labelIs.width(), labelWas.width(), 1e-6);
        EXPECT_NEAR(labelIs.top(), labelWas.top(), 1e-6);
        EXPECT_NEAR(f.outer->contourObject()->logicalBounds().width(), outerIs.width(), 1e-6);
        expectDrawnOnTheirEnds(f);

        // A drag is one step, each key press one.
        const int steps = c.keys ? int(c.by.x()) : 1;
        for (int i = 0; i < steps; ++i)
            h.undoStep();
        EXPECT_EQ(f.b->location(), bWas);
        EXPECT_EQ(boxOf(*f.outer), outerWas);
        EXPECT_EQ(boxOf(*f.inner), innerWas);
        EXPECT_EQ(boxOf(*label), labelWas);
        for (int i = 0; i < steps; ++i)
            h.redoStep();
        EXPECT_NEAR(boxOf(*f.outer).left(), outerIs.left(), 1e-6);
        EXPECT_NEAR(boxOf(*f.outer).right(), outerIs.right(), 1e-6);
        EXPECT_NEAR(boxOf(*label).left(), labelIs.left(), 1e-6);
    }
}
