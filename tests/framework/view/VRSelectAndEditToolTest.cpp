#include "framework/ViewTestSupport.h"

#include "framework/archive/VRArchiver.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntStickySpot.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRTextBlock.h"
#include "framework/styles/VRStyle.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::shared_ptr<QntConnector> addConnector(ViewHarness &h, QPointF from, QPointF to,
                                           const QString &label = QString())
{
    auto connector = std::make_shared<QntConnector>();
    connector->setMode(2);
    connector->setEnds(from, to);
    if (!label.isEmpty()) {
        VRTextBlock text;
        text.setPlainText(label);
        connector->setLabel(text);
    }
    h.layer()->addObject(connector);
    QApplication::processEvents();
    return connector;
}

std::shared_ptr<QntConnector> firstConnector(const VRDrawing &drawing)
{
    for (const VRObjectRef &o : drawing.activeLayerOfClass<VRObjectDrawingLayer>()->objects())
        if (o->isKindOf<QntConnector>())
            return std::static_pointer_cast<QntConnector>(o);
    return nullptr;
}

void expectNear(QPointF actual, QPointF expected, double tolerance = 0.6)
{
    EXPECT_NEAR(actual.x(), expected.x(), tolerance);
    EXPECT_NEAR(actual.y(), expected.y(), tolerance);
}

QPointF first(const QPainterPath &path)
{
    return {path.elementAt(0).x, path.elementAt(0).y};
}

} // namespace

TEST(SelectAndEditTool, DraggingALabelMovesOnlyTheLabelInOneUndoStep)
{
    struct Case {
        int layoutMode;
        QPointF pull;
    };
    // Along the line, along it mirrored, and at a point; pulled along and across the line.
    for (const Case &c : {Case{1, {60, -25}}, Case{2, {-70, 30}}, Case{40, {45, 50}}}) {
        SCOPED_TRACE(c.layoutMode);
        ViewHarness h;
        auto connector = addConnector(h, {100, 250}, {420, 250}, QStringLiteral("request()"));
        connector->setLayoutMode(c.layoutMode);
        connector->setTextYOffset(14);
        h.undo()->removeAllActions();
        const QPainterPath path = connector->path();
        const QPointF label = connector->labelPosition();
        ASSERT_TRUE(connector->labelFrame().contains(label));

        h.useTool(kVRSelectToolName);
        h.drag(label, label + c.pull);

        EXPECT_EQ(h.layer()->singleSelection(), connector);
        EXPECT_EQ(connector->path(), path);
        expectNear(connector->labelPosition(), label + c.pull);
        EXPECT_EQ(connector->layoutMode(), c.layoutMode);
        // The press on the label still selects the connector by it.
        EXPECT_EQ(h.layer()->hitTest(connector->labelPosition()), connector);

        h.undoStep();
        expectNear(connector->labelPosition(), label, 1e-6);
        EXPECT_EQ(h.undo()->redoActionName(), QStringLiteral("Move Label"));
        EXPECT_FALSE(h.undo()->canUndo());
        h.redoStep();
        expectNear(connector->labelPosition(), label + c.pull);

        // The placement is kept in the file.
        auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*h.drawing));
        ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
        const auto reread = firstConnector(*read.value());
        ASSERT_NE(reread, nullptr);
        expectNear(reread->labelPosition(), label + c.pull);
    }
}

TEST(SelectAndEditTool, DraggingTheLineOfAConnectorWithFreeEndsMovesAllOfIt)
{
    ViewHarness h;
    auto straight = addConnector(h, {100, 150}, {300, 150});
    // A loop back to the same place, as a message to self is drawn: its shape is kept.
    auto loop = addConnector(h, {100, 300}, {100, 340});
    QPainterPath bends(QPointF(100, 300));
    bends.lineTo(140, 300);
    bends.lineTo(140, 340);
    bends.lineTo(100, 340);
    loop->setRoutedPath(bends);
    h.undo()->removeAllActions();

    const QPointF pull(40, 60);
    h.useTool(kVRSelectToolName);
    for (const auto &[connector, grab] :
         {std::pair{straight, QPointF(200, 150)}, std::pair{loop, QPointF(140, 320)}}) {
        const QPainterPath before = connector->path();
        const QPointF start = connector->startEndPoint()->location();
        const QPointF end = connector->endEndPoint()->location();
        h.drag(grab, grab + pull);
        expectNear(connector->startEndPoint()->location(), start + pull);
        expectNear(connector->endEndPoint()->location(), end + pull);
        EXPECT_EQ(connector->path(), before.translated(pull));
        // The drawn line is where the connector is: its ends do not pull it back.
        connector->endsDidMove();
        if (connector == straight)
            expectNear(first(connector->path()), start + pull);
        h.undoStep();
        EXPECT_EQ(connector->path(), before);
        expectNear(connector->startEndPoint()->location(), start, 1e-6);
        EXPECT_EQ(h.undo()->redoActionName(), QStringLiteral("Move"));
        h.redoStep();
        expectNear(connector->endEndPoint()->location(), end + pull);
    }
    auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*h.drawing));
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    const auto reread = firstConnector(*read.value());
    ASSERT_NE(reread, nullptr);
    EXPECT_EQ(reread->path(), straight->path());
}

TEST(SelectAndEditTool, MovingAConnectorKeepsTheEndOnAnElementWhereItIs)
{
    ViewHarness h;
    auto contour =
        VRDrawableShape::shapeWithRect({100, 100, 100, 60}, VRDrawableShape::unitRectAtOrigin());
    contour->setID(QStringLiteral("contour"));
    contour->setStyle(VRStyle::styleWithFillColour(Qt::white, Qt::black, 1));
    auto element = QntElement::createWithObjects({contour}, QStringLiteral("e"), {100, 60});
    h.layer()->addObject(element);
    auto connector = addConnector(h, {200, 130}, {400, 130});
    const std::shared_ptr<QntStickySpot> spot = element->nearestStickySpot({200, 130});
    ASSERT_NE(spot, nullptr);
    connector->reattachEnd(0, element, spot->index());
    const QPointF held = connector->startEndPoint()->location();
    const QPointF free = connector->endEndPoint()->location();

    h.useTool(kVRSelectToolName);
    h.drag({300, 130}, {300, 190});
    expectNear(connector->startEndPoint()->location(), held, 1e-6);
    expectNear(connector->endEndPoint()->location(), free + QPointF(0, 60));
    expectNear(first(connector->path()), held);

    // Moving the element and the connector together moves both ends by the same amount.
    h.layer()->exchangeSelectionWithObjectsFromArray({element, connector});
    h.drag({150, 130}, {180, 150});
    expectNear(connector->startEndPoint()->location(), held + QPointF(30, 20));
    expectNear(connector->endEndPoint()->location(), free + QPointF(30, 80));
}
