#include "framework/ViewTestSupport.h"

#include "framework/archive/VRArchiver.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntStickySpot.h"
#include "framework/model/VRDrawableShape.h"
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

} // namespace

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
