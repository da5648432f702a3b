#include "app/window/DIDizeZoziDocument.h"
#include "app/window/OXOverlayController.h"
#include "app/window/OXOverlayView.h"
#include "app/window/OXOverlayWindow.h"
#include "app/launch/QntDocumentController.h"
#include "framework/archive/VRArchiver.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntElement.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/routing/VRAutomaticLayout.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/routing/VRConnectorGeometry.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingView.h"
#include "app/TestDocumentController.h"
#include "common/BoxElements.h"
#include "common/WaitUntil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>

#include <gtest/gtest.h>

using qnt::test::waitUntil;

namespace {

// A document window over a drawing of boxes; the window is made as the application makes it.
class DocumentLayout : public ::testing::Test
{
protected:
    void SetUp() override
    {
        document = new DIDizeZoziDocument;
        testDocumentController().addDocument(document);
        document->makeWindowControllers();
        layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    }
    void TearDown() override
    {
        DIDizeZoziDocument::setLayoutProgressThreshold(m_threshold);
        testDocumentController().removeDocument(document);
        delete document;
        // A cancelled computation may still run; none outlives the test.
        EXPECT_TRUE(waitUntil([] { return DIDizeZoziDocument::runningLayoutComputations() == 0; }));
    }

    std::shared_ptr<QntElement> addElement(QRectF rect)
    {
        auto element = qnt::test::addBoxElement(*layer, rect);
        elements.push_back(element);
        return element;
    }
    std::shared_ptr<QntConnector> connect(int from, int to)
    {
        auto connector = std::make_shared<QntConnector>();
        layer->addObject(connector);
        elements[size_t(from)]->connectToTargetElement(elements[size_t(to)].get(), connector);
        connectors.push_back(connector);
        return connector;
    }
    void addTree(int count)
    {
        for (int i = 0; i < count; ++i)
            addElement({10.0 + i, 10, 80, 40});
        for (int i = 1; i < count; ++i)
            connect((i - 1) / 2, i);
    }
    QString overlayText() const
    {
        OXOverlayController *overlay = document->overlayController();
        if (!overlay || !overlay->isOverlay() || !overlay->overlayWindow())
            return {};
        return overlay->overlayWindow()->overlayView()->label();
    }
    std::vector<QPointF> centres() const
    {
        std::vector<QPointF> result;
        for (const auto &e : elements)
            result.push_back(e->logicalBounds().center());
        return result;
    }
    void type(QLineEdit *field, const QString &text)
    {
        field->setText(text);
        field->setModified(true);
        emit field->editingFinished();
    }

    DIDizeZoziDocument *document = nullptr;
    VRObjectDrawingLayer *layer = nullptr;
    std::vector<std::shared_ptr<QntElement>> elements;
    std::vector<std::shared_ptr<QntConnector>> connectors;

private:
    int m_threshold = DIDizeZoziDocument::layoutProgressThreshold();
};

} // namespace

TEST_F(DocumentLayout, TheSectionShowsTheLayoutThatWillBeUsedAndTheMenuLaysOut)
{
    EXPECT_EQ(document->vertexDistanceTextfield()->text(), QStringLiteral("40"));
    EXPECT_EQ(document->layerDistanceTextfield()->text(), QStringLiteral("60"));
    EXPECT_EQ(document->layoutOffsetTextfield()->text(), QStringLiteral("20"));
    EXPECT_EQ(document->edgeRoutingPopUp()->currentText(), QStringLiteral("Orthogonal"));
    for (int i = 0; i < document->edgeRoutingPopUp()->count(); ++i)
        EXPECT_EQ(document->edgeRoutingPopUp()->itemData(i).toInt(), i);

    addTree(5);
    const std::vector<QPointF> before = centres();
    auto *action =
        document->window()->findChild<QAction *>(QStringLiteral("automaticLayoutAction"));
    ASSERT_NE(action, nullptr);
    document->undoManager()->closeOpenGroups();
    action->trigger();
    document->undoManager()->closeOpenGroups();
    EXPECT_NE(centres(), before);
    EXPECT_LT(elements[0]->logicalBounds().bottom(), elements[1]->logicalBounds().top());
    EXPECT_EQ(document->undoManager()->undoActionName(), QStringLiteral("Automatic Layout"));
    EXPECT_NE(document->window()->findChild<QAction *>(QStringLiteral("timelineLayoutAction")),
              nullptr);
}

// The laid-out diagram comes into sight, zoomed out to fit when it is larger than the window.
TEST_F(DocumentLayout, TheLaidOutDiagramIsBroughtIntoSight)
{
    VRDrawingView *view = document->mainView();
    ASSERT_NE(view, nullptr);
    document->showWindows();
    ASSERT_TRUE(document->drawing()->setDrawingSize(QSizeF(4000, 4000)));
    addTree(15);
    QCoreApplication::processEvents();
    view->setScale(4.0);
    view->scrollPointToCentre(QPointF(3800, 3800));
    document->layoutAction();
    QRectF laidOut;
    for (const auto &element : elements)
        laidOut = laidOut.united(element->bounds());
    ASSERT_GT(laidOut.width() * 4.0, view->visibleDrawingRect().width());
    EXPECT_TRUE(waitUntil([&] { return view->visibleDrawingRect().contains(laidOut); }))
        << "scale " << view->scale();
    EXPECT_LT(view->scale(), 4.0);
}

TEST_F(DocumentLayout, ZeroNegativeOrNonNumericDistancesAreRefusedAndTheStoredOnesStay)
{
    addTree(4);
    type(document->vertexDistanceTextfield(), QStringLiteral("33"));
    ASSERT_EQ(layer->layoutParams().value(VRAutomaticLayout::kVertexDistanceKey).toDouble(), 33.0);
    const std::vector<QPointF> laidOut = centres();
    struct Case {
        QLineEdit *field;
        QString key;
        QString text;
        QString shown;
        QString message;
    };
    const QString distances = QStringLiteral("Distances must be above 0");
    const QString offset = QStringLiteral("The offset must be 0 or more");
    const Case cases[] = {
        {document->vertexDistanceTextfield(), VRAutomaticLayout::kVertexDistanceKey, "0", "33",
         distances},
        {document->vertexDistanceTextfield(), VRAutomaticLayout::kVertexDistanceKey, "-12", "33",
         distances},
        {document->vertexDistanceTextfield(), VRAutomaticLayout::kVertexDistanceKey, "wide", "33",
         distances},
        {document->layerDistanceTextfield(), VRAutomaticLayout::kLayerDistanceKey, "", "60",
         distances},
        {document->layoutOffsetTextfield(), VRAutomaticLayout::kLayoutOffsetKey, "-1", "20",
         offset},
        {document->layoutOffsetTextfield(), VRAutomaticLayout::kLayoutOffsetKey, "nan", "20",
         offset},
        {document->vertexDistanceTextfield(), VRAutomaticLayout::kVertexDistanceKey, "1e300", "33",
         "Distances must be at most 10000"},
        {document->layerDistanceTextfield(), VRAutomaticLayout::kLayerDistanceKey, "10001", "60",
         "Distances must be at most 10000"},
        {document->layoutOffsetTextfield(), VRAutomaticLayout::kLayoutOffsetKey, "1e300", "20",
         "The offset must be at most 10000"},
    };
    for (const Case &c : cases) {
        const QVariant stored = layer->layoutParams().value(c.key);
        type(c.field, c.text);
        EXPECT_EQ(layer->layoutParams().value(c.key), stored) << c.text.toStdString();
        EXPECT_EQ(c.field->text(), c.shown) << c.text.toStdString();
        EXPECT_EQ(overlayText(), c.message) << c.text.toStdString();
        EXPECT_EQ(centres(), laidOut) << c.text.toStdString();
    }
    // An offset of 0 is a place, and keeps its fraction when it has one.
    type(document->layoutOffsetTextfield(), QStringLiteral("0"));
    EXPECT_EQ(layer->layoutParams().value(VRAutomaticLayout::kLayoutOffsetKey).toDouble(), 0.0);
    type(document->layoutOffsetTextfield(), QStringLiteral("12.5"));
    document->layoutAction();
    EXPECT_EQ(layer->layoutParams().value(VRAutomaticLayout::kLayoutOffsetKey).toDouble(), 12.5);
    EXPECT_EQ(document->layoutOffsetTextfield()->text(), QStringLiteral("12.5"));
}

TEST_F(DocumentLayout, ADiagramTooLargeForADrawingIsLeftAloneWithAMessage)
{
    addElement({10, 10, 80, 40});
    addElement({10, 100, 80, 6e6});
    addElement({10, 200, 80, 6e6});
    connect(0, 1);
    connect(1, 2);
    const std::vector<QPointF> before = centres();
    document->layoutAction();
    EXPECT_EQ(centres(), before);
    EXPECT_EQ(overlayText(), QStringLiteral("The diagram would not fit a drawing"));
}

TEST_F(DocumentLayout, ChangingOnlyTheEdgeRoutingRelayoutsWithTheStoredDistances)
{
    addTree(6);
    type(document->vertexDistanceTextfield(), QStringLiteral("70"));
    type(document->layerDistanceTextfield(), QStringLiteral("90"));
    const std::vector<QPointF> laidOut = centres();
    document->undoManager()->closeOpenGroups();
    const int steps = int(document->undoManager()->undoStack().size());

    document->edgeRoutingPopUp()->setCurrentIndex(VRAutomaticLayout::Polyline);
    emit document->edgeRoutingPopUp()->activated(VRAutomaticLayout::Polyline);
    EXPECT_EQ(layer->layoutParams().value(VRAutomaticLayout::kEdgeRoutingKey).toInt(), 2);
    EXPECT_EQ(layer->layoutParams().value(VRAutomaticLayout::kVertexDistanceKey).toDouble(), 70.0);
    EXPECT_EQ(layer->layoutParams().value(VRAutomaticLayout::kLayerDistanceKey).toDouble(), 90.0);
    for (const auto &c : connectors)
        EXPECT_EQ(c->routing(), 4);
    const std::vector<QPointF> relaid = centres();
    for (size_t i = 0; i < laidOut.size(); ++i)
        EXPECT_LT(QLineF(relaid[i], laidOut[i]).length(), 0.01) << i;
    document->undoManager()->closeOpenGroups();
    EXPECT_EQ(int(document->undoManager()->undoStack().size()), steps + 1);
}

TEST_F(DocumentLayout, AnEmptyDrawingOrOneWithoutConnectorsIsLeftAloneWithAMessage)
{
    document->layoutAction();
    EXPECT_EQ(overlayText(), QStringLiteral("Nothing to lay out"));
    // The values shown were stored as they were: nothing to save.
    addElement({10, 10, 50, 50});
    addElement({15, 15, 50, 50});
    document->undoManager()->closeOpenGroups();
    document->undoManager()->removeAllActions();
    document->layoutAction();
    EXPECT_EQ(overlayText(), QStringLiteral("No connectors to lay out"));
    EXPECT_EQ(elements[1]->logicalBounds(), QRectF(15, 15, 50, 50));
    document->undoManager()->closeOpenGroups();
    EXPECT_TRUE(document->undoManager()->undoStack().isEmpty());
}

TEST_F(DocumentLayout, LargeGraphsLayOutBehindAProgressDialogThatCancels)
{
    DIDizeZoziDocument::setLayoutProgressThreshold(3);
    addTree(7);
    const std::vector<QPointF> before = centres();
    document->undoManager()->closeOpenGroups();
    document->layoutAction();
    EXPECT_TRUE(document->isLayoutRunning());
    auto *progress =
        document->window()->findChild<QProgressDialog *>(QStringLiteral("layoutProgress"));
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(waitUntil([this] { return !document->isLayoutRunning(); }));
    EXPECT_NE(centres(), before);
    document->undoManager()->closeOpenGroups();
    EXPECT_EQ(document->undoManager()->undoActionName(), QStringLiteral("Automatic Layout"));

    // Cancelled: the drawing stays as it was, whenever the computation ends.
    document->undoManager()->undo();
    document->layoutAction();
    progress = document->window()->findChild<QProgressDialog *>(QStringLiteral("layoutProgress"));
    ASSERT_NE(progress, nullptr);
    auto *cancel = progress->findChild<QPushButton *>();
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_FALSE(document->isLayoutRunning());
    EXPECT_EQ(overlayText(), QStringLiteral("Layout cancelled"));
    EXPECT_TRUE(waitUntil([] { return DIDizeZoziDocument::runningLayoutComputations() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(centres(), before);
}

TEST_F(DocumentLayout, SmartConnectorsControlsReachTheRouterAndTheDrawing)
{
    VRAvoidRouter *router = document->drawing()->avoidRouter();
    auto a = addElement({100, 100, 80, 40});
    auto b = addElement({100, 400, 80, 40});
    auto wall = addElement({60, 250, 160, 40});
    auto c = connect(0, 1);
    c->reattachEnd(0, a, 2);
    c->reattachEnd(1, b, 0);
    c->makeRoutingColaOrthogonal();
    // How far the part of the route that passes the wall keeps from it.
    const auto clearance = [&] {
        router->processPendingChanges();
        const QList<QPointF> p = VRConnectorGeometry::pointsOf(c->path());
        double least = 1e9;
        for (int k = 0; k + 1 < p.size(); ++k)
            if (p[k].x() == p[k + 1].x() && std::min(p[k].y(), p[k + 1].y()) <= 250
                && std::max(p[k].y(), p[k + 1].y()) >= 290)
                least =
                    std::min(least, std::min(std::abs(p[k].x() - 60), std::abs(p[k].x() - 220)));
        return least;
    };
    document->bufferDistanceField()->setValue(8);
    const double near = clearance();
    document->bufferDistanceField()->setValue(40);
    EXPECT_EQ(router->routingParameter(6), 40.0);
    EXPECT_EQ(document->drawing()->shapeBufferDistance(), 40.0);
    EXPECT_GE(clearance(), 40.0 - 1e-6);
    EXPECT_GT(clearance(), near);
    // The field takes no 0: the router would quietly use its default instead.
    document->bufferDistanceField()->setValue(0);
    EXPECT_GT(router->routingParameter(6), 0.0);

    document->segmentPenaltyField()->setValue(30);
    EXPECT_EQ(router->routingParameter(0), 30.0);
    EXPECT_EQ(document->drawing()->segmentPenalty(), 30.0);

    ASSERT_TRUE(document->nudgeCheckBox()->isChecked());
    document->nudgeCheckBox()->setChecked(false);
    EXPECT_FALSE(router->routingOption(0));
    EXPECT_FALSE(document->drawing()->nudgeOrthogonalSegments());
    EXPECT_TRUE(document->drawing()->wasChangedFromDefaultNudgeOrthogonalSegments());

    // All three are kept with the drawing.
    auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*document->drawing()));
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value()->shapeBufferDistance(), 1.0);
    EXPECT_EQ(read.value()->segmentPenalty(), 30.0);
    EXPECT_FALSE(read.value()->nudgeOrthogonalSegments());
    EXPECT_TRUE(read.value()->wasChangedFromDefaultNudgeOrthogonalSegments());
}

TEST_F(DocumentLayout, NudgingSeparatesParallelSegmentsAndItsAbsenceMergesThem)
{
    // Two connectors from side by side boxes to side by side boxes share one channel.
    auto a1 = addElement({100, 100, 60, 40});
    auto a2 = addElement({100, 150, 60, 40});
    auto b1 = addElement({400, 100, 60, 40});
    auto b2 = addElement({400, 150, 60, 40});
    auto wall = addElement({240, 60, 40, 340});
    auto c1 = connect(0, 2);
    auto c2 = connect(1, 3);
    for (auto [c, from, to] : {std::tuple(c1, a1, b1), std::tuple(c2, a2, b2)}) {
        c->reattachEnd(0, from, 1);
        c->reattachEnd(1, to, 3);
        c->makeRoutingColaOrthogonal();
    }
    VRAvoidRouter *router = document->drawing()->avoidRouter();
    const auto horizontalsAbove = [&] {
        router->processPendingChanges();
        QList<double> ys;
        for (const auto &c : {c1, c2}) {
            const QList<QPointF> p = VRConnectorGeometry::pointsOf(c->path());
            for (int k = 0; k + 1 < p.size(); ++k)
                if (p[k].y() == p[k + 1].y() && p[k].y() < 60)
                    ys.append(p[k].y());
        }
        return ys;
    };
    document->nudgeCheckBox()->setChecked(false);
    const QList<double> merged = horizontalsAbove();
    ASSERT_EQ(merged.size(), 2);
    EXPECT_EQ(merged[0], merged[1]);
    document->nudgeCheckBox()->setChecked(true);
    const QList<double> spread = horizontalsAbove();
    ASSERT_EQ(spread.size(), 2);
    EXPECT_NE(spread[0], spread[1]);
}

TEST_F(DocumentLayout, ShortestRoutesAreDrawnWithoutUndoAndReplacedOnTheNextRun)
{
    for (int i = 0; i < 6; ++i)
        addElement({50.0 + (i * 37) % 200, 50.0 + (i * 71) % 300, 30, 30});
    document->undoManager()->closeOpenGroups();
    document->undoManager()->removeAllActions();
    auto *action =
        document->window()->findChild<QAction *>(QStringLiteral("computeShortestRouteAction"));
    ASSERT_NE(action, nullptr);
    action->trigger();
    const auto [nearest, annealed] = document->computeShortestRoute();
    EXPECT_GT(nearest, 0);
    EXPECT_LE(annealed, nearest);
    int routes = 0;
    for (const VRObjectRef &o : layer->objects()) {
        if (!o->hasMetadataForKey(DIDizeZoziDocument::kShortestRouteKey))
            continue;
        ++routes;
        EXPECT_TRUE(o->isKindOf<VRDrawablePath>());
    }
    EXPECT_EQ(routes, 2);
    document->undoManager()->closeOpenGroups();
    EXPECT_TRUE(document->undoManager()->undoStack().isEmpty());
}

TEST_F(DocumentLayout, ClosingTheWindowDuringALayoutLeavesTheComputationHarmless)
{
    DIDizeZoziDocument::setLayoutProgressThreshold(3);
    addTree(40);
    document->layoutAction();
    ASSERT_TRUE(document->isLayoutRunning());
    testDocumentController().removeDocument(document);
    delete document;
    elements.clear();
    connectors.clear();
    // The computation ends on its own; the next document starts clean.
    EXPECT_TRUE(waitUntil([] { return DIDizeZoziDocument::runningLayoutComputations() == 0; }));
    QCoreApplication::processEvents();
    document = new DIDizeZoziDocument;
    testDocumentController().addDocument(document);
}
