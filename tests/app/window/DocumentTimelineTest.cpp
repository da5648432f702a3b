#include "app/window/DIDizeZoziDocument.h"
#include "app/window/OXOverlayController.h"
#include "app/window/OXOverlayView.h"
#include "app/window/OXOverlayWindow.h"
#include "app/launch/QntDocumentController.h"
#include "framework/archive/VRArchiver.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/routing/VRConnectorGeometry.h"
#include "framework/undo/VRUndoManager.h"
#include "app/TestDocumentController.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class DocumentTimeline : public ::testing::Test
{
protected:
    void SetUp() override
    {
        document = new DIDizeZoziDocument;
        testDocumentController().addDocument(document);
        document->makeWindowControllers();
        layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
        d = document->drawing()->gridLayer()->divisionDistance();
    }
    void TearDown() override
    {
        testDocumentController().removeDocument(document);
        delete document;
    }

    VRObjectRef addDated(const QVariant &year, QSizeF size, QPointF centre,
                         VRObjectDrawingLayer *into = nullptr)
    {
        VRObjectRef shape = VRDrawableShape::shapeWithRect(QRectF(QPointF(), size));
        (into ? into : layer)->addObject(shape);
        shape->setLocation(centre);
        shape->setMetadataObject(year, QStringLiteral("year"));
        return shape;
    }
    double column(double year) const
    {
        return document->drawing()->gridLayer()->pointForGridLocation(QPointF(year, 0)).x();
    }
    VRObjectList leaderLines() const
    {
        VRObjectList lines;
        for (const VRObjectRef &o : layer->objects())
            if (o->hasMetadataForKey(DIDizeZoziDocument::kTimelineLeaderLineKey))
                lines.append(o);
        return lines;
    }
    QString overlayText() const
    {
        OXOverlayController *overlay = document->overlayController();
        if (!overlay || !overlay->isOverlay() || !overlay->overlayWindow())
            return {};
        return overlay->overlayWindow()->overlayView()->label();
    }
    QRectF frame(const VRObjectRef &o) const { return QRectF(o->location(), o->size()); }

    DIDizeZoziDocument *document = nullptr;
    VRObjectDrawingLayer *layer = nullptr;
    double d = 0;
};

} // namespace

TEST_F(DocumentTimeline, DatedObjectsGoToTheirColumnsWithSnappedHeightsAndALeaderLineEach)
{
    struct Case {
        int year;
        double height; // in grid steps
        double snapped;
    };
    const Case cases[] = {{3, 2.0, 4}, {7, 4.5, 4}, {12, 5.5, 6}, {20, 4.0, 4}};
    std::vector<VRObjectRef> objects;
    double base = -1e9;
    for (const Case &c : cases) {
        objects.push_back(addDated(c.year, QSizeF(50, c.height * d), QPointF(300, 400 + c.year)));
        base = std::max(base, objects.back()->location().y());
    }
    ASSERT_TRUE(document->performTimelineLayoutWithLayer(layer, false));
    for (size_t i = 0; i < objects.size(); ++i) {
        const VRObjectRef &o = objects[i];
        const double h = cases[i].snapped * d;
        EXPECT_NEAR(o->size().height(), h, 1e-9) << cases[i].year;
        EXPECT_NEAR(o->location().x(), column(cases[i].year) + d, 1e-9);
        EXPECT_NEAR(o->location().y(), base - h, 1e-9);
        EXPECT_EQ(o->offset(), QSizeF(-0.5, -0.5));
        EXPECT_EQ(o->verticalAlignment(), 1);
    }
    const VRObjectList lines = leaderLines();
    ASSERT_EQ(lines.size(), 4);
    for (const VRObjectRef &line : lines) {
        EXPECT_EQ(line->style(), DIDizeZoziDocument::leaderLineStyle());
        // Lines lie under everything else.
        EXPECT_LT(layer->indexOfObject(line.get()), 4);
        const QList<QPointF> p = VRConnectorGeometry::pointsOf(
            DIDizeZoziDocument::leaderLinePathFromPoint(QPointF(1, 2), QPointF(5, 9)));
        EXPECT_EQ(p, QList<QPointF>({QPointF(1, 2), QPointF(1, 9), QPointF(5, 9)}));
    }
    document->undoManager()->closeOpenGroups();
    EXPECT_EQ(document->undoManager()->undoActionName(), QStringLiteral("Timeline Layout"));
}

TEST_F(DocumentTimeline, RunningItAgainChangesNothingAndKeepsOneLineEach)
{
    std::vector<VRObjectRef> objects{addDated(4, {60, 30}, {100, 500}),
                                     addDated(4, {60, 30}, {200, 450}),
                                     addDated(5, {60, 40}, {300, 300})};
    ASSERT_TRUE(document->performTimelineLayoutWithLayer(layer, false));
    std::vector<QRectF> first;
    for (const auto &o : objects)
        first.push_back(frame(o));
    ASSERT_TRUE(document->performTimelineLayoutWithLayer(layer, false));
    for (size_t i = 0; i < objects.size(); ++i)
        EXPECT_EQ(frame(objects[i]), first[i]) << i;
    EXPECT_EQ(leaderLines().size(), 3);
    // No two overlap; the one later in the layer of the two of year 4 sits on the axis and
    // the earlier one above it by whole steps.
    for (size_t i = 0; i < objects.size(); ++i)
        for (size_t j = i + 1; j < objects.size(); ++j)
            EXPECT_FALSE(frame(objects[i]).intersects(frame(objects[j]))) << i << j;
    const double rise = objects[1]->location().y() - objects[0]->location().y();
    EXPECT_GT(rise, 0);
    EXPECT_NEAR(std::remainder(rise, d), 0, 1e-6);
}

TEST_F(DocumentTimeline, FarApartYearsDoNotPushEachOtherUpAndYearsCompareAsNumbers)
{
    const VRObjectRef early = addDated(QStringLiteral("3"), {60, 30}, {100, 500});
    const VRObjectRef late = addDated(QStringLiteral("30"), {60, 30}, {100, 500});
    // As text "10" sorts before "9"; as numbers 10 is later and is placed first.
    const VRObjectRef nine = addDated(QStringLiteral("9"), {120, 30}, {100, 500});
    const VRObjectRef ten = addDated(QStringLiteral("10"), {120, 30}, {100, 500});
    ASSERT_TRUE(document->performTimelineLayoutWithLayer(layer, false));
    const double onAxis = late->location().y();
    EXPECT_EQ(early->location().y(), onAxis);
    EXPECT_EQ(ten->location().y(), onAxis);
    EXPECT_LT(nine->location().y(), onAxis);
    EXPECT_FALSE(frame(nine).intersects(frame(ten)));
}

TEST_F(DocumentTimeline, WithoutDatedObjectsNothingChangesAndTheUserIsTold)
{
    layer->addObject(DIDizeZoziDocument::leaderLineFromPoint({10, 10}, {40, 40}));
    EXPECT_FALSE(document->performTimelineLayoutWithLayer(layer, false));
    EXPECT_EQ(leaderLines().size(), 1);
    EXPECT_EQ(overlayText(), QStringLiteral("No object has a year"));
}

TEST_F(DocumentTimeline, AYearTooFarOutForTheDrawingMovesNothingAndTheUserIsTold)
{
    // Each of these years puts its column beyond the coordinates a document keeps.
    for (const char *far : {"900000000", "-900000000"}) {
        const VRObjectRef near = addDated(QStringLiteral("3"), {60, 30}, {100, 500});
        const VRObjectRef out = addDated(QString::fromLatin1(far), {60, 30}, {200, 500});
        document->undoManager()->closeOpenGroups();
        const bool couldUndo = document->undoManager()->canUndo();
        EXPECT_FALSE(document->performTimelineLayoutWithLayer(layer, false)) << far;
        EXPECT_EQ(near->location(), QPointF(100, 500)) << far;
        EXPECT_EQ(out->location(), QPointF(200, 500)) << far;
        EXPECT_TRUE(leaderLines().isEmpty()) << far;
        EXPECT_EQ(overlayText(), QStringLiteral("A year lies too far out for the drawing")) << far;
        document->undoManager()->closeOpenGroups();
        EXPECT_EQ(document->undoManager()->canUndo(), couldUndo) << far;
        layer->removeObjectsInArray({near, out});
    }
}

TEST_F(DocumentTimeline, LinesOfAReopenedDrawingAreReplacedAndTheAxisIsTheDrawingsOwn)
{
    addDated(3, {60, 30}, {100, 500});
    addDated(8, {60, 30}, {100, 600});
    ASSERT_TRUE(document->performTimelineLayoutWithLayer(layer, false));
    const double axis =
        document->drawing()->metadata().value(DIDizeZoziDocument::kTimelineBaseLineKey).toDouble();

    auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*document->drawing()));
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    document->setDrawing(std::move(read.value()));
    layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    ASSERT_EQ(leaderLines().size(), 2);
    ASSERT_TRUE(document->performTimelineLayoutWithLayer(layer, false));
    EXPECT_EQ(leaderLines().size(), 2);
    EXPECT_EQ(
        document->drawing()->metadata().value(DIDizeZoziDocument::kTimelineBaseLineKey).toDouble(),
        axis);

    // Another drawing's timeline starts from its own objects, not from this axis.
    DIDizeZoziDocument other;
    auto *otherLayer = other.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    const VRObjectRef high = addDated(3, {60, 20}, {100, 200}, otherLayer);
    ASSERT_TRUE(other.performTimelineLayoutWithLayer(otherLayer, false));
    EXPECT_NEAR(high->location().y(), 200 - 4 * d, 1e-9);
}
