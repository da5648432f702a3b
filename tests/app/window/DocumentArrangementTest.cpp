#include "app/window/QntDocumentCommands.h"
#include "app/sheets/VKLinearDuplicateController.h"
#include "app/sheets/VKPolarDuplicateController.h"
#include "framework/undo/VKUndoGroup.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRZoomTool.h"
#include "framework/base/VRConstants.h"
#include "platform/NotificationCenter.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

class DocumentArrangement : public ::testing::Test
{
protected:
    void SetUp() override
    {
        document = std::make_unique<VRDrawingDocument>();
        layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
        commands = std::make_unique<QntDocumentCommands>(*document);
    }
    VRObjectRef addShape(const QRectF &rect)
    {
        VRObjectRef shape = VRDrawableShape::shapeWithRect(rect);
        layer->addObject(shape);
        return shape;
    }
    void select(const VRObjectList &objects)
    {
        layer->exchangeSelectionWithObjectsFromArray(objects);
    }
    VRUndoManager *undo() const { return document->drawing()->undoManager(); }

    std::unique_ptr<VRDrawingDocument> document;
    VRObjectDrawingLayer *layer = nullptr;
    std::unique_ptr<QntDocumentCommands> commands;
};

} // namespace

TEST_F(DocumentArrangement, AlignLeftGivesOneLeftEdge)
{
    const VRObjectList shapes{addShape({50, 10, 40, 20}), addShape({120, 60, 80, 30}),
                              addShape({30, 140, 20, 20})};
    select(shapes);
    commands->alignButtonMatrixAction(QStringLiteral("Align Left Edges"));
    for (const VRObjectRef &shape : shapes)
        EXPECT_NEAR(shape->bounds().left(), 30.0, 1e-6);
    // Unknown titles do nothing.
    commands->alignButtonMatrixAction(QStringLiteral("Align Diagonally"));
    EXPECT_EQ(QntDocumentCommands::arrangementActionForCellTitle(
                  QStringLiteral("Align Vertical Centers")),
              "alignHorizontalCentres");
    EXPECT_EQ(QntDocumentCommands::arrangementActionForCellTitle(
                  QStringLiteral("Distribute Horizontal Space")),
              "distributeHorizontalSpace");
}

TEST_F(DocumentArrangement, LinearDuplicationAddsCopiesInOneNamedUndoStep)
{
    const VRObjectRef shape = addShape({100, 100, 20, 20});
    select({shape});
    undo()->closeOpenGroups();
    undo()->removeAllActions();
    const int before = layer->countOfObjects();

    commands->linearDuplicate();
    VKLinearDuplicateController *sheet = commands->linearDuplicateController();
    ASSERT_NE(sheet, nullptr);
    sheet->numberOfCopiesTextField()->setText(QStringLiteral("3"));
    sheet->xOffsetTextField()->setText(QStringLiteral("1"));
    sheet->yOffsetTextField()->setText(QStringLiteral("0"));
    EXPECT_TRUE(sheet->okButton()->isEnabled());
    sheet->okAction();

    ASSERT_EQ(layer->countOfObjects(), before + 3);
    const double step = document->drawing()->unitToPointsConversionFactor();
    const VRObjectList copies = layer->selection();
    ASSERT_EQ(copies.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(copies[i]->location().x(), shape->location().x() + (i + 1) * step, 1e-6);
        EXPECT_NEAR(copies[i]->location().y(), shape->location().y(), 1e-6);
    }
    undo()->closeOpenGroups();
    ASSERT_EQ(undo()->undoStack().size(), 1);
    EXPECT_EQ(undo()->undoActionName(), QStringLiteral("Linear Duplication"));
    undo()->undo();
    EXPECT_EQ(layer->countOfObjects(), before);
    EXPECT_EQ(layer->selection(), VRObjectList{shape});
}

TEST_F(DocumentArrangement, LinearSheetRefusesEmptyOrUnreasonableFieldsAndCancelDoesNothing)
{
    select({addShape({0, 0, 10, 10})});
    commands->linearDuplicate();
    VKLinearDuplicateController *sheet = commands->linearDuplicateController();
    sheet->xOffsetTextField()->clear();
    EXPECT_FALSE(sheet->okButton()->isEnabled());
    sheet->xOffsetTextField()->setText(QStringLiteral("2"));
    sheet->numberOfCopiesTextField()->setText(QStringLiteral("100000"));
    EXPECT_FALSE(sheet->okButton()->isEnabled());
    sheet->numberOfCopiesTextField()->setText(QStringLiteral("2"));
    EXPECT_TRUE(sheet->okButton()->isEnabled());
    const int before = layer->countOfObjects();
    sheet->cancelAction();
    EXPECT_EQ(layer->countOfObjects(), before);
}

TEST_F(DocumentArrangement, PolarDuplicationPlacesCopiesOnTheCircle)
{
    const VRObjectRef shape = addShape({0, 0, 10, 10});
    VRGridLayer *grid = document->drawing()->gridLayer();
    const QPointF centre = grid->pointForGridLocation(QPointF(5, 5));
    shape->setLocation(centre + QPointF(100, 0));
    select({shape});
    undo()->closeOpenGroups();

    commands->polarDuplicate();
    VKPolarDuplicateController *sheet = commands->polarDuplicateController();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->autoFitCircleCheckbox()->isEnabled());
    sheet->centreXTextField()->clear();
    EXPECT_FALSE(sheet->okButton()->isEnabled());
    sheet->centreXTextField()->setText(QStringLiteral("5"));
    sheet->centreYTextField()->setText(QStringLiteral("5"));
    sheet->copiesTextField()->setText(QStringLiteral("3"));
    sheet->angleIncrementTextField()->setText(QStringLiteral("90"));
    ASSERT_TRUE(sheet->okButton()->isEnabled());
    sheet->duplicateAction();

    const VRObjectList copies = layer->selection();
    ASSERT_EQ(copies.size(), 3);
    const QPointF expected[] = {centre + QPointF(0, 100), centre + QPointF(-100, 0),
                                centre + QPointF(0, -100)};
    for (int i = 0; i < 3; ++i) {
        const QPointF d = copies[i]->location() - centre;
        EXPECT_NEAR(std::hypot(d.x(), d.y()), 100.0, 1e-6);
        EXPECT_NEAR(copies[i]->location().x(), expected[i].x(), 1e-6);
        EXPECT_NEAR(copies[i]->location().y(), expected[i].y(), 1e-6);
    }
    undo()->closeOpenGroups();
    EXPECT_EQ(undo()->undoActionName(), QStringLiteral("Polar Duplication"));
    undo()->undo();
    EXPECT_EQ(layer->selection(), VRObjectList{shape});
}

TEST_F(DocumentArrangement, AutoFitNeedsOneObjectAndFillsTheCircle)
{
    const VRObjectRef a = addShape({0, 0, 10, 10});
    const VRObjectRef b = addShape({40, 0, 10, 10});
    select({a, b});
    commands->polarDuplicate();
    VKPolarDuplicateController *sheet = commands->polarDuplicateController();
    EXPECT_FALSE(sheet->autoFitCircleCheckbox()->isEnabled());
    sheet->cancelAction();

    VRGridLayer *grid = document->drawing()->gridLayer();
    const QPointF centre = grid->pointForGridLocation(QPointF(4, 4));
    a->setLocation(centre + QPointF(0, -60));
    select({a});
    commands->polarDuplicate();
    ASSERT_TRUE(sheet->autoFitCircleCheckbox()->isEnabled());
    sheet->autoFitCircleCheckbox()->click();
    EXPECT_FALSE(sheet->copiesTextField()->isEnabled());
    EXPECT_TRUE(sheet->rotateCopiesCheckbox()->isChecked());
    sheet->centreXTextField()->setText(QStringLiteral("4"));
    sheet->centreYTextField()->setText(QStringLiteral("4"));
    sheet->duplicateAction();
    const VRObjectList copies = layer->selection();
    EXPECT_GT(copies.size(), 3);
    for (const VRObjectRef &copy : copies) {
        const QPointF d = copy->location() - centre;
        EXPECT_NEAR(std::hypot(d.x(), d.y()), 60.0, 1e-6);
    }
    undo()->closeOpenGroups();
    EXPECT_EQ(undo()->undoActionName(), QStringLiteral("Auto Polar Duplication"));
}

TEST_F(DocumentArrangement, DuplicationWithNothingSelectedRecordsNothing)
{
    addShape({0, 0, 10, 10});
    select({});
    undo()->closeOpenGroups();
    undo()->removeAllActions();
    commands->doLinearDuplicateCopies(3, QSizeF(1, 0));
    commands->doPolarDuplicateCopies(3, QPointF(1, 1), 90, true);
    undo()->closeOpenGroups();
    EXPECT_TRUE(undo()->undoStack().isEmpty());
    EXPECT_EQ(commands->countOfItemsInSelection(), 0);
}

TEST_F(DocumentArrangement, DuplicationsThatWouldLeaveTheDrawingAddNothingAndSaySo)
{
    QString told;
    const NotificationToken token = NotificationCenter::defaultCenter().addObserver(
        kVRDrawingRefusedChangeNotification, document->drawing(), [&told](const Notification &n) {
            told = n.userInfo.value(QStringLiteral("message")).toString();
        });
    const double step =
        document->drawing()->gridLayer()->quartzDistanceForGridDistance({1, 1}).width();
    // A shape 20 grid units wide whose right edge lies 2000 short of the farthest coordinate.
    const double far = VRDrawing::kMaximumCoordinate / step - 2000;
    const VRObjectRef shape = addShape({(far - 20) * step, 100, 20 * step, step});
    struct Case {
        const char *name;
        std::function<void()> duplicate;
        bool refused;
    };
    const Case cases[] = {
        {"linear, the last copy up to the edge",
         [this] {
             commands->doLinearDuplicateCopies(1000, {1.99, 0});
         },
         false},
        {"linear, the last copy beyond",
         [this] {
             commands->doLinearDuplicateCopies(1000, {2.01, 0});
         },
         true},
        {"linear, the first copy beyond",
         [this] {
             commands->doLinearDuplicateCopies(1, {1e6, 0});
         },
         true},
        {"linear, upwards beyond",
         [this] {
             commands->doLinearDuplicateCopies(2, {0, -1e6});
         },
         true},
        {"polar around a far centre",
         [this] {
             commands->doPolarDuplicateCopies(2, {0, 1e6}, 90, true);
         },
         true},
        {"polar around a near centre",
         [this, far] {
             commands->doPolarDuplicateCopies(3, {far - 1000, 10}, 90, false);
         },
         false},
        {"automatic around a centre that turns copies out",
         [this, far] {
             commands->doAutoPolarDuplicateWithCentre({far + 1500, 10});
         },
         true},
        {"automatic around a near centre",
         [this, far] {
             commands->doAutoPolarDuplicateWithCentre({far - 300, 10});
         },
         false},
    };
    for (const Case &c : cases) {
        const VRObjectList objects = layer->objects();
        select({shape});
        undo()->closeOpenGroups();
        undo()->removeAllActions();
        told.clear();
        c.duplicate();
        undo()->closeOpenGroups();
        if (c.refused) {
            EXPECT_EQ(layer->objects(), objects) << c.name;
            EXPECT_EQ(layer->selection(), VRObjectList{shape}) << c.name;
            EXPECT_FALSE(undo()->canUndo()) << c.name;
            EXPECT_EQ(told, VRDrawing::objectsTooFarOutMessage()) << c.name;
        } else {
            EXPECT_GT(layer->countOfObjects(), objects.size()) << c.name;
            EXPECT_TRUE(VRDrawing::holdsObjects(layer->objects())) << c.name;
            EXPECT_TRUE(told.isEmpty()) << c.name;
            undo()->undo();
        }
    }
}

TEST_F(DocumentArrangement, DuplicationsMakingTooManyObjectsMakeNoneAndSaySo)
{
    QString told;
    const NotificationToken token = NotificationCenter::defaultCenter().addObserver(
        kVRDrawingRefusedChangeNotification, document->drawing(), [&told](const Notification &n) {
            told = n.userInfo.value(QStringLiteral("message")).toString();
        });
    VRObjectList shapes;
    for (int i = 0; i < 25; ++i)
        shapes.append(addShape({10.0 * i, 10, 5, 5}));
    const QString tooMany = QStringLiteral("One duplication makes at most %1 objects")
                                .arg(QLocale().toString(VRObjectDrawingLayer::kMaximumObjectsMade));
    const QString tooLarge = QStringLiteral("A circle that large would take more than %1 copies")
                                 .arg(QLocale().toString(VRObjectDrawingLayer::kMaximumCopies));
    struct Case {
        const char *name;
        int selected;
        std::function<void()> duplicate;
        QString message; // empty: the copies are made
    };
    const Case cases[] = {
        {"linear, 25 objects 1000 times", 25,
         [this] {
             commands->doLinearDuplicateCopies(1000, {0, 0.01});
         },
         tooMany},
        {"polar, 25 objects 1000 times", 25,
         [this] {
             commands->doPolarDuplicateCopies(1000, {1, 1}, 0.1, true);
         },
         tooMany},
        {"linear, 20 objects 1000 times",
         20,
         [this] {
             commands->doLinearDuplicateCopies(1000, {0, 0.01});
         },
         {}},
        {"automatic around a centre far away", 1,
         [this] {
             commands->doAutoPolarDuplicateWithCentre({0, 100000});
         },
         tooLarge},
        {"automatic around the shape's own centre", 1,
         [this, &shapes] {
             commands->doAutoPolarDuplicateWithCentre(
                 document->drawing()->gridLayer()->gridLocationForPoint(shapes[0]->location()));
         },
         QStringLiteral("No copy fits on the circle around that centre")},
    };
    for (const Case &c : cases) {
        select(shapes.mid(0, c.selected));
        undo()->closeOpenGroups();
        undo()->removeAllActions();
        const int before = layer->countOfObjects();
        told.clear();
        c.duplicate();
        undo()->closeOpenGroups();
        EXPECT_EQ(told, c.message) << c.name;
        if (c.message.isEmpty()) {
            EXPECT_EQ(layer->countOfObjects(), before + c.selected * 1000) << c.name;
            undo()->undo();
        } else {
            EXPECT_EQ(layer->countOfObjects(), before) << c.name;
            EXPECT_FALSE(undo()->canUndo()) << c.name;
        }
    }
    // One copy of each selected object is always made, however many there are.
    EXPECT_FALSE(VRObjectDrawingLayer::makesTooManyObjects(30000, 1));
    EXPECT_TRUE(VRObjectDrawingLayer::makesTooManyObjects(30000, 2));
    EXPECT_TRUE(VRObjectDrawingLayer::makesTooManyObjects(1, 1001));
}

TEST_F(DocumentArrangement, ToolMatrixSetsTheZoomDirection)
{
    auto zoom = std::make_shared<VRZoomTool>();
    VRDrawingTool::registerDrawingTool(zoom, QStringLiteral("Zoom"));
    commands->toolButtonMatrixAction(QStringLiteral("Zoom Out"), zoom.get());
    EXPECT_TRUE(zoom->zoomsOut());
    commands->toolButtonMatrixAction(QStringLiteral("Zoom In"), zoom.get());
    EXPECT_FALSE(zoom->zoomsOut());
    zoom->setZoomsOut(true);
    commands->zoomToolAction();
    EXPECT_FALSE(zoom->zoomsOut());
    EXPECT_EQ(QntDocumentCommands::toolbarItemIdentifierForToolName(QStringLiteral("Zoom In")),
              QStringLiteral("ZoomToolbarItemId"));
    EXPECT_TRUE(QntDocumentCommands::toolbarItemIdentifierForToolName(QStringLiteral("Zoom Out"))
                    .isEmpty());
}
