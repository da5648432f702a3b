#include "framework/ViewTestSupport.h"
#include "common/BoxElements.h"
#include "common/SegmentChecks.h"

#include "framework/archive/VRArchiver.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/view/QntConnectorTool.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/QntFreeConnector.h"
#include "framework/model/QntStickySpot.h"
#include "framework/model/QntText.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/model/VRTextShape.h"
#include "framework/base/VRConstants.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QTextDocumentFragment>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using qnt::test::pathCrossesInterior;

namespace {

std::shared_ptr<QntElement> addElement(ViewHarness &h, const QRectF &rect, const QString &id)
{
    return qnt::test::addBoxElement(*h.layer(), rect, id, QColor(230, 240, 255),
                                    QColor(30, 60, 120), 1.5);
}

QList<QPointF> pointsOf(const QntConnector &c)
{
    QList<QPointF> pts;
    const QPainterPath p = c.path();
    for (int k = 0; k < p.elementCount(); ++k)
        pts.push_back(QPointF(p.elementAt(k).x, p.elementAt(k).y));
    return pts;
}

bool near(QPointF a, QPointF b, double tolerance = 0.5)
{
    return std::abs(a.x() - b.x()) <= tolerance && std::abs(a.y() - b.y()) <= tolerance;
}

std::shared_ptr<QntConnector> connectWithTool(ViewHarness &h, const std::shared_ptr<QntElement> &a,
                                              const std::shared_ptr<QntElement> &b)
{
    h.useTool(kVRQntConnectorToolName);
    h.drag(a->logicalBounds().center(), b->logicalBounds().center());
    for (const VRObjectRef &o : h.layer()->objects())
        if (o->isKindOf<QntConnector>())
            return std::static_pointer_cast<QntConnector>(o);
    return nullptr;
}

// A loose text object as a library text (an element) or the Text tool makes it (a text shape).
VRObjectRef addText(ViewHarness &h, const QRectF &rect, bool element)
{
    VRObjectRef text;
    if (element) {
        auto libraryText = std::make_shared<QntText>();
        libraryText->setGroupObjects({}, QRectF(QPointF(0, 0), rect.size()));
        text = libraryText;
    } else {
        text = std::make_shared<VRTextShape>();
    }
    text->setSize(rect.size());
    text->setLocation(rect.center());
    text->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("Label")));
    h.layer()->addObject(text);
    return text;
}

} // namespace

TEST(ConnectorRouting, ToolConnectsTwoElementsAtFacingSpots)
{
    ViewHarness h;
    QList<Notification> created;
    NotificationToken token = NotificationCenter::defaultCenter().addObserver(
        kQntDidCreateConnectorNotification, nullptr,
        [&](const Notification &n) { created.push_back(n); });
    auto a = addElement(h, {100, 200, 100, 60}, "eA");
    auto b = addElement(h, {500, 200, 100, 60}, "eB");
    auto c = connectWithTool(h, a, b);
    ASSERT_NE(c, nullptr);
    QApplication::processEvents();
    EXPECT_EQ(c->startEndPoint()->targetElement(), a);
    EXPECT_EQ(c->endEndPoint()->targetElement(), b);
    EXPECT_EQ(c->routing(), 3);
    EXPECT_EQ(h.layer()->singleSelection(), c);
    ASSERT_EQ(created.size(), 1);
    EXPECT_EQ(created.first().object, c.get());
    const QList<QPointF> pts = pointsOf(*c);
    ASSERT_GE(pts.size(), 2);
    EXPECT_TRUE(near(pts.first(), QPointF(200, 230))); // A's right spot
    EXPECT_TRUE(near(pts.last(), QPointF(500, 230)));  // B's left spot
    EXPECT_TRUE(h.drawing->avoidRouter()->isRegistered(c.get()));
    EXPECT_TRUE(h.view->drawingTool()->registeredName() != kVRQntConnectorToolName); // reverted

    h.undoStep();
    EXPECT_FALSE(h.layer()->objects().contains(c));
    h.redoStep();
    EXPECT_TRUE(h.layer()->objects().contains(c));
}

// The tool joins two elements inside a group: the connector holds them, goes round the third
// shape of the group and follows the group when it moves.
TEST(ConnectorRouting, ToolConnectsElementsInsideAGroup)
{
    ViewHarness h;
    auto a = addElement(h, {100, 200, 100, 60}, "eA");
    auto b = addElement(h, {300, 200, 100, 60}, "eB");
    auto c = addElement(h, {500, 200, 100, 60}, "eC");
    const VRObjectList members{a, b, c};
    h.layer()->removeObjectsInArray(members);
    const VRObjectRef group = VRShapeGroup::groupWithObjects(members);
    h.layer()->addObject(group);

    auto line = connectWithTool(h, a, c);
    ASSERT_NE(line, nullptr);
    h.drawing->avoidRouter()->processPendingChanges();
    EXPECT_EQ(line->startEndPoint()->targetElement(), a);
    EXPECT_EQ(line->endEndPoint()->targetElement(), c);
    EXPECT_FALSE(pathCrossesInterior(pointsOf(*line), b->logicalBounds()));

    group->setLocation(group->location() + QPointF(40, 120));
    h.drawing->avoidRouter()->processPendingChanges();
    const QList<QPointF> pts = pointsOf(*line);
    ASSERT_GE(pts.size(), 2);
    EXPECT_TRUE(near(pts.first(), line->startEndPoint()->location()));
    EXPECT_TRUE(near(pts.last(), line->endEndPoint()->location()));
    EXPECT_FALSE(pathCrossesInterior(pts, b->logicalBounds()));
}

TEST(ConnectorRouting, ConnectorFollowsAMovedElementAndAvoidsAThirdShape)
{
    ViewHarness h;
    auto a = addElement(h, {100, 200, 100, 60}, "eA");
    auto b = addElement(h, {500, 200, 100, 60}, "eB");
    auto c = connectWithTool(h, a, b);
    ASSERT_NE(c, nullptr);
    // A third shape dropped between them: the route goes around it.
    auto wall = addElement(h, {300, 150, 60, 160}, "eWall");
    QApplication::processEvents();
    QList<QPointF> pts = pointsOf(*c);
    EXPECT_FALSE(pathCrossesInterior(pts, wall->logicalBounds()));
    EXPECT_TRUE(near(pts.first(), QPointF(200, 230)));
    EXPECT_TRUE(near(pts.last(), QPointF(500, 230)));

    // Drag B down with the select tool: the connector's end follows, still around the wall.
    h.useTool(kVRSelectToolName);
    h.click(QPointF(550, 230));
    h.drag(QPointF(550, 230), QPointF(550, 430));
    QApplication::processEvents();
    pts = pointsOf(*c);
    const QPointF spot = c->endEndPoint()->location();
    EXPECT_NEAR(spot.y(), b->logicalBounds().center().y(), 31); // a spot of B where it is now
    EXPECT_TRUE(near(pts.last(), spot));
    EXPECT_FALSE(pathCrossesInterior(pts, wall->logicalBounds()));
    EXPECT_FALSE(pathCrossesInterior(pts, a->logicalBounds()));
    EXPECT_FALSE(pathCrossesInterior(pts, b->logicalBounds()));

    // Undo the move: B and the connector go back.
    h.undoStep();
    QApplication::processEvents();
    EXPECT_NEAR(b->logicalBounds().top(), 200, 0.5);
    EXPECT_TRUE(near(pointsOf(*c).last(), QPointF(500, 230)));
    h.redoStep();
    QApplication::processEvents();
    EXPECT_NEAR(b->logicalBounds().top(), 400, 0.5);
    EXPECT_TRUE(near(pointsOf(*c).last(), c->endEndPoint()->location()));
}

TEST(ConnectorRouting, RouterParametersAndDisabling)
{
    ViewHarness h;
    VRAvoidRouter *router = h.drawing->avoidRouter();
    ASSERT_NE(router, nullptr);
    EXPECT_EQ(router->routingParameter(0), 10.0);
    EXPECT_EQ(router->routingParameter(6), 8.0);
    EXPECT_EQ(router->routingParameter(7), 4.0);
    EXPECT_EQ(router->routingParameter(3), 0.0);
    EXPECT_TRUE(router->routingOption(0));
    router->setRoutingParameter(3, 99);
    EXPECT_EQ(router->routingParameter(3), 0.0);

    auto a = addElement(h, {100, 200, 100, 60}, "eA");
    auto b = addElement(h, {500, 200, 100, 60}, "eB");
    auto wall = addElement(h, {300, 170, 60, 160}, "eWall"); // nearer its top
    auto c = connectWithTool(h, a, b);
    ASSERT_NE(c, nullptr);
    QApplication::processEvents();
    auto topOf = [&] {
        double y = 1e9;
        for (const QPointF &p : pointsOf(*c))
            y = std::min(y, p.y());
        return y;
    };
    EXPECT_NEAR(topOf(), 170 - 8, 0.5);
    router->setRoutingParameter(6, 20);
    QApplication::processEvents();
    EXPECT_NEAR(topOf(), 170 - 20, 0.5);

    // While the router is off, automatic connectors keep their last path.
    h.drawing->setAvoidRouterIsDisabled(true);
    const QPainterPath kept = c->path();
    b->setLocation(b->location() + QPointF(0, 100));
    QApplication::processEvents();
    EXPECT_EQ(c->path(), kept);
    h.drawing->setAvoidRouterIsDisabled(false);
    router->rerouteAll();
    EXPECT_TRUE(near(pointsOf(*c).last(), c->endEndPoint()->location()));
}

TEST(ConnectorRouting, RightMouseUpOnAConnectorNotifies)
{
    ViewHarness h;
    QList<Notification> seen;
    NotificationToken token = NotificationCenter::defaultCenter().addObserver(
        kQntConnectorRightMouseUpNotification, nullptr,
        [&](const Notification &n) { seen.push_back(n); });
    auto a = addElement(h, {100, 200, 100, 60}, "eA");
    auto b = addElement(h, {500, 200, 100, 60}, "eB");
    auto c = connectWithTool(h, a, b);
    ASSERT_NE(c, nullptr);
    QApplication::processEvents();
    h.layer()->deselectAll();
    h.press(QPointF(350, 230), Qt::NoModifier, Qt::RightButton);
    h.release(QPointF(350, 230), Qt::NoModifier, Qt::RightButton);
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen.first().object, c.get());
    EXPECT_EQ(h.layer()->singleSelection(), c);
}

TEST(ConnectorRouting, StickySpotToolsInsertAndDelete)
{
    ViewHarness h;
    auto a = addElement(h, {100, 200, 100, 60}, "eA");
    ASSERT_EQ(a->stickySpots().size(), 4);
    h.useTool("Insert Sticky Spot");
    h.click(QPointF(125, 200)); // on the top edge, a quarter along
    ASSERT_EQ(a->stickySpots().size(), 5);
    EXPECT_TRUE(near(a->stickySpots().last()->location(), QPointF(125, 200)));
    h.useTool("Delete Sticky Spot");
    h.click(QPointF(125, 200));
    EXPECT_EQ(a->stickySpots().size(), 4);
    h.useTool("Insert Only One Sticky Spot");
    h.click(QPointF(100, 215));
    EXPECT_EQ(a->stickySpots().size(), 5);
    EXPECT_EQ(h.view->drawingTool(), VRDrawingTool::drawingToolWithName(kVRSelectToolName));
}

TEST(ConnectorRouting, ConnectorKeyArmsTheSelectedElement)
{
    ViewHarness h;
    auto a = addElement(h, {100, 200, 100, 60}, "eA");
    auto b = addElement(h, {500, 200, 100, 60}, "eB");
    VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(kVRQntConnectorToolName);
    tool->setKeyCode(8); // C
    h.layer()->replaceSelectionWithObject(a);
    QTest::keyClick(h.view, Qt::Key_C);
    EXPECT_EQ(a->state(), 6);
    EXPECT_EQ(h.view->drawingTool(), tool);
    // The document arms the drag; the next click on B ends the connector there.
    a->postMouseDownAtPoint(a->logicalBounds().center(), h.view);
    h.click(QPointF(550, 230));
    QApplication::processEvents();
    std::shared_ptr<QntConnector> made;
    for (const VRObjectRef &o : h.layer()->objects())
        if (o->isKindOf<QntConnector>())
            made = std::static_pointer_cast<QntConnector>(o);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->startEndPoint()->targetElement(), a);
    EXPECT_EQ(made->endEndPoint()->targetElement(), b);
    EXPECT_EQ(a->state(), 0);
    tool->setKeyCode(0);
}

TEST(ConnectorRouting, PolylineAndManualRoutingsThroughTheConnector)
{
    ViewHarness h;
    auto a = addElement(h, {100, 200, 100, 60}, "eA");
    auto b = addElement(h, {500, 200, 100, 60}, "eB");
    auto wall = addElement(h, {300, 170, 60, 160}, "eWall");
    auto c = connectWithTool(h, a, b);
    ASSERT_NE(c, nullptr);
    c->makeRoutingColaPolyline();
    QApplication::processEvents();
    EXPECT_EQ(c->routing(), 4);
    QList<QPointF> pts = pointsOf(*c);
    EXPECT_FALSE(pathCrossesInterior(pts, wall->logicalBounds()));
    bool diagonal = false;
    for (qsizetype k = 0; k + 1 < pts.size(); ++k)
        diagonal = diagonal
                   || (std::abs(pts[k].x() - pts[k + 1].x()) > 0.5
                       && std::abs(pts[k].y() - pts[k + 1].y()) > 0.5);
    EXPECT_TRUE(diagonal);
    // Back to a straight line through the wall: manual routings ignore obstacles.
    c->makeStraight();
    QApplication::processEvents();
    EXPECT_EQ(pointsOf(*c).size(), 2);
    h.undoStep();
    QApplication::processEvents();
    EXPECT_EQ(c->routing(), 4);
}

TEST(ConnectorRouting, ManualRoutingsFollowAMovedElement)
{
    struct Row {
        const char *name;
        void (QntConnector::*make)();
        int routing;
    };
    const Row rows[] = {{"straight", &QntConnector::makeStraight, 0},
                        {"orthogonal", &QntConnector::routeOrthogonal, 1},
                        {"zig-zag", &QntConnector::makeZigZag, 2},
                        {"curve", &QntConnector::makeCurve, -1}};
    for (const Row &row : rows) {
        ViewHarness h;
        auto a = addElement(h, {100, 200, 100, 60}, "eA");
        auto b = addElement(h, {500, 300, 100, 60}, "eB");
        auto c = connectWithTool(h, a, b);
        ASSERT_NE(c, nullptr) << row.name;
        ((*c).*row.make)();
        if (row.routing >= 0)
            EXPECT_EQ(c->routing(), row.routing) << row.name;
        else
            EXPECT_TRUE(c->isCurve()) << row.name;
        h.useTool(kVRSelectToolName);
        h.click(QPointF(550, 330));
        h.drag(QPointF(550, 330), QPointF(600, 480));
        QApplication::processEvents();
        const QPainterPath path = c->path();
        EXPECT_TRUE(near(path.pointAtPercent(0), c->startEndPoint()->location())) << row.name;
        EXPECT_TRUE(near(path.currentPosition(), c->endEndPoint()->location())) << row.name;
        EXPECT_NEAR(c->endEndPoint()->location().y(), b->logicalBounds().top(), 31) << row.name;
    }
}

TEST(ConnectorRouting, DraggingAConnectorEndReconnectsIt)
{
    ViewHarness h;
    auto a = addElement(h, {100, 200, 100, 60}, "eA");
    auto b = addElement(h, {500, 200, 100, 60}, "eB");
    auto c3 = addElement(h, {300, 450, 100, 60}, "eC");
    auto c = connectWithTool(h, a, b);
    ASSERT_NE(c, nullptr);
    QApplication::processEvents();
    ASSERT_EQ(h.layer()->singleSelection(), c);
    const QPointF endAt = c->endEndPoint()->location();
    h.useTool(kVRSelectToolName);
    h.drag(endAt, QPointF(350, 470));
    QApplication::processEvents();
    EXPECT_EQ(c->endEndPoint()->targetElement(), c3);
    EXPECT_EQ(c->startEndPoint()->targetElement(), a);
    EXPECT_TRUE(near(c->path().currentPosition(), c->endEndPoint()->location()));
    EXPECT_NEAR(c->endEndPoint()->location().y(), 450, 0.5); // c3's top spot, nearest the drop

    h.undoStep();
    QApplication::processEvents();
    EXPECT_EQ(c->endEndPoint()->targetElement(), b);
    EXPECT_TRUE(near(c->path().currentPosition(), QPointF(500, 230)));
    h.redoStep();
    EXPECT_EQ(c->endEndPoint()->targetElement(), c3);

    // Dropped on paper the end stays free where it was let go.
    h.layer()->replaceSelectionWithObject(c);
    h.drag(c->endEndPoint()->location(), QPointF(700, 600));
    EXPECT_EQ(c->endEndPoint()->targetElement(), nullptr);
    EXPECT_TRUE(near(c->endEndPoint()->location(), QPointF(700, 600)));
}

TEST(ConnectorRouting, DoubleClickTypesElementAndConnectorLabelsInPlace)
{
    ViewHarness h;
    UserDefaults::standardUserDefaults().setBool(true, kQntEnableInlineEditor);
    auto a = addElement(h, {100, 200, 100, 60}, "eA");
    a->addTextShape();
    auto b = addElement(h, {500, 200, 100, 60}, "eB");
    auto c = connectWithTool(h, a, b);
    ASSERT_NE(c, nullptr);
    QApplication::processEvents();
    struct Row {
        VRObjectRef object;
        QPointF at;
        QString text;
    };
    for (const Row &row :
         {Row{a, QPointF(150, 230), "Order received"}, Row{c, QPointF(350, 230), "yes"}}) {
        h.useTool(kVRSelectToolName);
        h.send(QEvent::MouseButtonDblClick, h.at(row.at), Qt::LeftButton, Qt::LeftButton);
        ASSERT_NE(h.view->inlineEditor(), nullptr) << row.text.toStdString();
        EXPECT_EQ(h.view->inlineEditedObject(), row.object);
        h.view->inlineEditor()->setPlainText(row.text);
        QTest::keyClick(h.view->inlineEditor(), Qt::Key_Return, Qt::ControlModifier);
        EXPECT_EQ(h.view->inlineEditor(), nullptr);
        EXPECT_EQ(row.object->textContent().toPlainText(), row.text);
        QApplication::processEvents(); // each edit is its own user action
    }
    h.undoStep();
    EXPECT_NE(c->textContent().toPlainText(), QStringLiteral("yes"));
    EXPECT_EQ(a->textContent().toPlainText(), QStringLiteral("Order received"));
    UserDefaults::standardUserDefaults().removeObjectForKey(kQntEnableInlineEditor);
}

TEST(ConnectorRouting, DeletedShapesLeaveTheRouter)
{
    ViewHarness h;
    auto a = addElement(h, {100, 200, 100, 60}, "eA");
    auto b = addElement(h, {500, 200, 100, 60}, "eB");
    auto wall = addElement(h, {300, 170, 60, 160}, "eWall");
    auto c = connectWithTool(h, a, b);
    ASSERT_NE(c, nullptr);
    QApplication::processEvents();
    VRAvoidRouter *router = h.drawing->avoidRouter();
    EXPECT_GT(pointsOf(*c).size(), 2);
    // Deleting the wall straightens the connector; undo brings the detour back.
    h.layer()->replaceSelectionWithObject(wall);
    h.view->deleteSelection();
    QApplication::processEvents();
    EXPECT_FALSE(router->isRegistered(wall.get()));
    EXPECT_EQ(pointsOf(*c).size(), 2);
    h.undoStep();
    QApplication::processEvents();
    EXPECT_TRUE(router->isRegistered(wall.get()));
    EXPECT_FALSE(pathCrossesInterior(pointsOf(*c), wall->logicalBounds()));
    // Deleting an element and the connector together leaves nothing behind in the router.
    h.layer()->exchangeSelectionWithObjectsFromArray({b, c});
    h.view->deleteSelection();
    QApplication::processEvents();
    EXPECT_FALSE(router->isRegistered(b.get()));
    EXPECT_FALSE(router->isRegistered(c.get()));
    EXPECT_EQ(router->engine().connectorCount(), 0);
    // Moving what is left still works.
    a->setLocation(a->location() + QPointF(10, 10));
    QApplication::processEvents();
}

TEST(ConnectorRouting, ATextLyingOnAShapeLeavesTheConnectorToTheShape)
{
    // Dragged from, or dropped on, a loose text over a shape: the connector takes the shape.
    for (const bool libraryText : {true, false}) {
        SCOPED_TRACE(libraryText ? "library text" : "text tool's text");
        ViewHarness h;
        auto a = addElement(h, {100, 200, 100, 60}, "eA");
        auto b = addElement(h, {500, 200, 100, 60}, "eB");
        addText(h, {110, 215, 80, 30}, libraryText);
        addText(h, {510, 215, 80, 30}, libraryText);
        auto c = connectWithTool(h, a, b);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->startEndPoint()->targetElement(), a);
        EXPECT_EQ(c->endEndPoint()->targetElement(), b);
        EXPECT_FALSE(pathCrossesInterior(pointsOf(*c), a->logicalBounds()));
        EXPECT_FALSE(pathCrossesInterior(pointsOf(*c), b->logicalBounds()));

        // Reconnecting the end onto a text over a third shape takes that shape too.
        auto c3 = addElement(h, {300, 450, 100, 60}, "eC");
        addText(h, {310, 465, 80, 30}, libraryText);
        h.useTool(kVRSelectToolName);
        h.layer()->replaceSelectionWithObject(c);
        h.drag(c->endEndPoint()->location(), QPointF(350, 480));
        EXPECT_EQ(c->endEndPoint()->targetElement(), c3);
    }
}

TEST(ConnectorRouting, ATextStandingAloneIsATargetItself)
{
    ViewHarness h;
    auto a = addElement(h, {100, 200, 100, 60}, "eA");
    auto text = std::static_pointer_cast<QntElement>(addText(h, {480, 215, 120, 30}, true));
    // Part of the text also lies over a shape: where it stands alone it is the target.
    auto under = addElement(h, {560, 150, 100, 140}, "eUnder");
    h.layer()->moveObjectToBottom(under);
    auto c = connectWithTool(h, a, text);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->endEndPoint()->targetElement(), text);
    // A library text without parts answers a click anywhere on its frame.
    h.useTool(kVRSelectToolName);
    h.click(QPointF(500, 220));
    EXPECT_EQ(h.layer()->singleSelection(), text);
    h.useTool(kVRQntConnectorToolName);
    h.drag(a->logicalBounds().center(), QPointF(580, 230));
    VRObjectRef second = h.layer()->singleSelection();
    ASSERT_TRUE(second && second->isKindOf<QntConnector>());
    EXPECT_EQ(std::static_pointer_cast<QntConnector>(second)->endEndPoint()->targetElement(),
              under);
}

namespace {
bool allAxisParallel(const QList<QPointF> &pts)
{
    for (qsizetype k = 0; k + 1 < pts.size(); ++k) {
        if (std::abs(pts[k].x() - pts[k + 1].x()) > 1e-6
            && std::abs(pts[k].y() - pts[k + 1].y()) > 1e-6)
            return false;
    }
    return true;
}

std::shared_ptr<QntConnector> firstConnector(VRDrawing &drawing)
{
    for (const VRObjectRef &o : drawing.activeLayerOfClass<VRObjectDrawingLayer>()->objects())
        if (o->isKindOf<QntConnector>())
            return std::static_pointer_cast<QntConnector>(o);
    return nullptr;
}
} // namespace

TEST(ConnectorRouting, DraggingTheRunOfAnOrthogonalRouteKeepsItOrthogonalAndSaved)
{
    // Two routes: ends facing (a middle run) and ends at right angles (a single elbow).
    for (const QRectF &other : {QRectF(500, 330, 100, 60), QRectF(400, 460, 100, 60)}) {
        ViewHarness h;
        auto a = addElement(h, {100, 200, 100, 60}, "eA");
        auto b = addElement(h, other, "eB");
        auto c = connectWithTool(h, a, b);
        ASSERT_NE(c, nullptr);
        c->routeOrthogonal();
        QApplication::processEvents();
        const QList<QPointF> before = pointsOf(*c);
        ASSERT_GE(before.size(), 3);
        // Grab the route in the middle of its second segment and pull it across by 40.
        const QPointF grabAt = (before.at(1) + before.at(2)) / 2;
        const bool vertical = std::abs(before.at(1).x() - before.at(2).x()) < 1e-6;
        const QPointF pull = vertical ? QPointF(40, 0) : QPointF(0, 40);
        h.useTool(kVRSelectToolName);
        h.click(grabAt);
        ASSERT_EQ(h.layer()->singleSelection(), c);
        h.drag(grabAt, grabAt + pull);
        QApplication::processEvents();
        const QList<QPointF> after = pointsOf(*c);
        EXPECT_NE(after, before);
        EXPECT_TRUE(allAxisParallel(after));
        EXPECT_TRUE(near(after.first(), c->startEndPoint()->location()));
        EXPECT_TRUE(near(after.last(), c->endEndPoint()->location()));
        const QPointF bend = c->bendOffset();
        EXPECT_FALSE(bend.isNull());
        // One undo step puts the run back, and redo moves it again.
        h.undoStep();
        EXPECT_TRUE(c->bendOffset().isNull());
        EXPECT_EQ(pointsOf(*c), before);
        h.redoStep();
        EXPECT_EQ(c->bendOffset(), bend);
        // The moved run stays when an attached element moves, and comes back from a file.
        b->setLocation(b->location() + QPointF(30, 10));
        c->endsDidMove();
        EXPECT_TRUE(allAxisParallel(pointsOf(*c)));
        EXPECT_TRUE(near(pointsOf(*c).last(), c->endEndPoint()->location()));
        auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*h.drawing));
        ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
        const auto reread = firstConnector(*read.value());
        ASSERT_NE(reread, nullptr);
        EXPECT_EQ(reread->bendOffset(), bend);
        EXPECT_EQ(reread->routing(), 1);
        EXPECT_EQ(pointsOf(*reread), pointsOf(*c));
    }
}

TEST(ConnectorRouting, InsertedPathPointsStayWhenAnAttachedElementMoves)
{
    ViewHarness h;
    auto a = addElement(h, {100, 200, 100, 60}, "eA");
    auto b = addElement(h, {500, 200, 100, 60}, "eB");
    auto c = connectWithTool(h, a, b);
    ASSERT_NE(c, nullptr);
    c->makeStraight();
    QApplication::processEvents();
    ASSERT_EQ(pointsOf(*c).size(), 2);
    c->insertPathPoint(QPointF(350, 230));
    ASSERT_EQ(pointsOf(*c).size(), 3);
    b->setLocation(b->location() + QPointF(0, 120));
    c->endsDidMove();
    const QList<QPointF> pts = pointsOf(*c);
    ASSERT_EQ(pts.size(), 3);
    EXPECT_TRUE(near(pts.at(1), QPointF(350, 230)));
    EXPECT_TRUE(near(pts.last(), c->endEndPoint()->location()));
    // Saved with the drawing; straightening drops them.
    auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*h.drawing));
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    EXPECT_EQ(firstConnector(*read.value())->userPoints(), QList<QPointF>{QPointF(350, 230)});
    c->makeZigZag();
    c->makeStraight();
    EXPECT_EQ(pointsOf(*c).size(), 2);
}

// Free-standing lines: their free ends go with the line when it is moved, so the next routing
// keeps it where it is drawn, and the selection marks its real ends.
TEST(ConnectorRouting, FreeEndsGoWithAMovedLine)
{
    const std::vector<std::function<std::shared_ptr<QntConnector>()>> makers = {
        [] { return std::make_shared<QntElementArrow>(); },
        [] { return std::make_shared<QntFreeConnector>(); },
        [] { return std::make_shared<QntConnector>(); },
    };
    for (const auto &make : makers) {
        ViewHarness h;
        const std::shared_ptr<QntConnector> line = make();
        line->setEnds({0, 0}, {120, 0});
        h.layer()->addObject(line);
        SCOPED_TRACE(line->className().toStdString());
        line->setLocation(line->location() + QPointF(300, 200));
        EXPECT_TRUE(near(line->startEndPoint()->location(), {300, 200}));
        EXPECT_TRUE(near(line->endEndPoint()->location(), {420, 200}));
        line->endsDidMove();
        EXPECT_TRUE(near(VRPath::firstPoint(line->path()), {300, 200}));
        h.undo()->closeOpenGroups();
        h.undo()->undo();
        EXPECT_TRUE(near(line->startEndPoint()->location(), {0, 0}));
        EXPECT_TRUE(near(line->endEndPoint()->location(), {120, 0}));

        // A drawing that kept a free end where the line was first put reads back with the
        // ends on the drawn line.
        h.undo()->redo();
        line->startEndPoint()->setPoint({0, 0});
        line->endEndPoint()->setPoint({120, 0});
        const auto read = std::dynamic_pointer_cast<QntConnector>(
            VRArchiver::objectFromData(VRArchiver::objectData(line)));
        ASSERT_NE(read, nullptr);
        EXPECT_TRUE(near(read->startEndPoint()->location(), {300, 200}));
        EXPECT_TRUE(near(read->endEndPoint()->location(), {420, 200}));
    }
}

TEST(ConnectorRouting, AnElementArrowAnswersForItsStylePart)
{
    auto arrow = std::make_shared<QntElementArrow>();
    EXPECT_EQ(arrow->objectWithId(QStringLiteral("p")), arrow);
    EXPECT_EQ(arrow->objectsWithPrefixId(QStringLiteral("p")), VRObjectList{arrow});
    EXPECT_TRUE(arrow->objectsWithPrefixId(QStringLiteral("decor")).isEmpty());
    EXPECT_EQ(arrow->objectWithId(QStringLiteral("contour")), nullptr);
}
