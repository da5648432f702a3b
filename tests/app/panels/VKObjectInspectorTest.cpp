#include "app/panels/VKObjectInspector.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/base/VRConstants.h"
#include "platform/NotificationCenter.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace {

class ObjectInspectorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        document = std::make_unique<VRDrawingDocument>();
        drawing()->setDrawingUnits(QStringLiteral("Pixels"), 1.0);
        drawing()->setMarginsLeft(0, 0, 0, 0);
        layer = drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
        VRInspectorBase::setMainDocumentOverride(document.get());
        inspector = std::make_unique<VKObjectInspector>();
        inspector->window();
    }
    void TearDown() override
    {
        inspector.reset();
        VRInspectorBase::setMainDocumentOverride(nullptr);
        document.reset();
    }
    VRDrawing *drawing() const { return document->drawing(); }
    VRObjectRef add(const QRectF &rect)
    {
        VRObjectRef shape = VRDrawableShape::shapeWithRect(rect);
        layer->addObject(shape);
        return shape;
    }
    // As a user types: the field counts as edited.
    void type(QLineEdit *field, const QString &text)
    {
        field->setText(text);
        field->setModified(true);
        emit field->editingFinished();
    }

    std::unique_ptr<VRDrawingDocument> document;
    VRObjectDrawingLayer *layer = nullptr;
    std::unique_ptr<VKObjectInspector> inspector;
};

} // namespace

TEST_F(ObjectInspectorTest, SelectionPicksTheTab)
{
    const VRObjectRef a = add({10, 10, 40, 20});
    const VRObjectRef b = add({100, 10, 40, 20});
    a->setString(QStringLiteral("x"), QStringLiteral("note"));
    layer->exchangeSelectionWithObjectsFromArray({a});
    EXPECT_EQ(inspector->currentTab(), VKObjectInspector::SingleObjectTab);
    EXPECT_EQ(inspector->numberOfRows(), 1);
    EXPECT_EQ(inspector->styleNameField()->text(), QStringLiteral("none"));
    EXPECT_EQ(inspector->groupItemCountField()->text(), QStringLiteral("n/a"));
    layer->exchangeSelectionWithObjectsFromArray({a, b});
    EXPECT_EQ(inspector->currentTab(), VKObjectInspector::MultipleSelectionTab);
    EXPECT_EQ(inspector->multiItemCountField()->text(), QStringLiteral("2"));
    EXPECT_EQ(inspector->numberOfRows(), 0);
    layer->exchangeSelectionWithObjectsFromArray({});
    EXPECT_EQ(inspector->currentTab(), VKObjectInspector::NoSelectionTab);
}

TEST_F(ObjectInspectorTest, GeometryEditsAreUndoableAndNamed)
{
    const VRObjectRef shape = add({10, 10, 40, 20});
    layer->exchangeSelectionWithObjectsFromArray({shape});
    VRUndoManager *undo = drawing()->undoManager();
    undo->closeOpenGroups();

    type(inspector->widthField(), QStringLiteral("80"));
    EXPECT_DOUBLE_EQ(shape->size().width(), 80.0);
    undo->closeOpenGroups();
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Set Object Size"));
    undo->undo();
    EXPECT_DOUBLE_EQ(shape->size().width(), 40.0);
    EXPECT_EQ(inspector->widthField()->text(), QStringLiteral("40"));

    type(inspector->locationXField(), QStringLiteral("200"));
    undo->closeOpenGroups();
    EXPECT_DOUBLE_EQ(shape->location().x(),
                     drawing()->gridLayer()->pointForGridLocation(QPointF(200, 0)).x());
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Position Object"));

    type(inspector->angleField(), QStringLiteral("90"));
    undo->closeOpenGroups();
    EXPECT_NEAR(shape->angle(), M_PI / 2, 1e-9);
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Set Object Angle"));

    // Leaving a field that was not edited changes nothing, even where the shown value is rounded.
    shape->setLocation(QPointF(10.123456, 5));
    undo->closeOpenGroups();
    const int groups = int(undo->undoStack().size());
    emit inspector->locationXField()->editingFinished();
    undo->closeOpenGroups();
    EXPECT_DOUBLE_EQ(shape->location().x(), 10.123456);
    EXPECT_EQ(int(undo->undoStack().size()), groups);

    // Sizes without an area are refused and the field shows the size again.
    type(inspector->heightField(), QStringLiteral("-5"));
    EXPECT_DOUBLE_EQ(shape->size().height(), 20.0);
}

TEST_F(ObjectInspectorTest, PlacesSizesAndAnglesThatWouldLeaveTheDrawingAreRefused)
{
    QString told;
    const NotificationToken token = NotificationCenter::defaultCenter().addObserver(
        kVRDrawingRefusedChangeNotification, drawing(), [&told](const Notification &n) {
            told = n.userInfo.value(QStringLiteral("message")).toString();
        });
    // A long thin shape: turned upright it fits where it would not lie level.
    const double far = VRDrawing::kMaximumCoordinate;
    struct Case {
        QLineEdit *(VKObjectInspector::*field)() const;
        const char *text;
        bool refused;
    };
    const Case cases[] = {
        {&VKObjectInspector::locationXField, "1e300", true},
        {&VKObjectInspector::locationXField, "20000000", true},
        {&VKObjectInspector::locationYField, "-10000001", true},
        {&VKObjectInspector::locationXField, "9999990", true}, // the right edge beyond
        {&VKObjectInspector::locationXField, "9999900", false},
        {&VKObjectInspector::widthField, "1e300", true},
        {&VKObjectInspector::widthField, "400", true}, // at 9999900 that reaches beyond
        {&VKObjectInspector::heightField, "20000001", true},
        {&VKObjectInspector::angleField, "90", false},
        {&VKObjectInspector::widthField, "400", false}, // upright it reaches down only
        {&VKObjectInspector::angleField, "0", true},
    };
    const VRObjectRef shape = add({100, 100, 200, 10});
    layer->exchangeSelectionWithObjectsFromArray({shape});
    VRUndoManager *undo = drawing()->undoManager();
    for (const Case &c : cases) {
        undo->closeOpenGroups();
        undo->removeAllActions();
        const VRDrawableObject::Geometry before = shape->saveGeometry();
        told.clear();
        QLineEdit *field = (inspector.get()->*c.field)();
        type(field, QString::fromLatin1(c.text));
        undo->closeOpenGroups();
        EXPECT_EQ(undo->canUndo(), !c.refused) << c.text;
        EXPECT_EQ(told.isEmpty(), !c.refused) << c.text;
        EXPECT_TRUE(shape->fitsTheDrawing()) << c.text;
        if (c.refused) {
            EXPECT_EQ(shape->location(), before.location) << c.text;
            EXPECT_EQ(shape->size(), before.size) << c.text;
            EXPECT_EQ(shape->angle(), before.angle) << c.text;
            EXPECT_EQ(told, VRDrawing::objectsTooFarOutMessage()) << c.text;
            // The field shows the object's own value again.
            EXPECT_NE(field->text(), QString::fromLatin1(c.text)) << c.text;
        }
    }
    EXPECT_LE(shape->logicalBounds().right(), far);
}

TEST_F(ObjectInspectorTest, LockedObjectsAndPathsRefuseTheirEdits)
{
    const VRObjectRef shape = add({10, 10, 40, 20});
    shape->setLocked(true);
    layer->exchangeSelectionWithObjectsFromArray({shape});
    EXPECT_FALSE(inspector->locationXField()->isEnabled());
    EXPECT_FALSE(inspector->widthField()->isEnabled());
    EXPECT_FALSE(inspector->metaTableView()->isEnabled());
    EXPECT_FALSE(inspector->lockIconImageWell()->pixmap().isNull());
    EXPECT_FALSE(inspector->shouldEdit(0));

    auto path = std::make_shared<VRDrawablePath>();
    path->setLocation(QPointF(5, 5));
    layer->addObject(path);
    layer->exchangeSelectionWithObjectsFromArray({path});
    EXPECT_TRUE(inspector->locationXField()->isEnabled());
    EXPECT_FALSE(inspector->angleField()->isEnabled());
    EXPECT_FALSE(inspector->heightField()->isEnabled());
}

TEST_F(ObjectInspectorTest, MetadataAddRenameAndRemove)
{
    const VRObjectRef shape = add({10, 10, 40, 20});
    layer->exchangeSelectionWithObjectsFromArray({shape});
    const int before = inspector->numberOfRows();
    inspector->addMetaItemAction(VKObjectInspector::IntegerType);
    inspector->addMetaItemAction(VKObjectInspector::StringType);
    ASSERT_EQ(inspector->numberOfRows(), before + 2);
    QStringList added;
    for (int row = 0; row < inspector->numberOfRows(); ++row)
        if (inspector->objectValue(0, row).toString().startsWith(QStringLiteral("** change me ")))
            added << inspector->objectValue(0, row).toString();
    ASSERT_EQ(added.size(), 2);

    // Rename the integer entry: the value follows and the row moves to its sorted place.
    const int row = int(std::find(added.begin(), added.end(), added.first()) - added.begin());
    Q_UNUSED(row);
    int integerRow = -1;
    for (int r = 0; r < inspector->numberOfRows(); ++r)
        if (inspector->objectValue(1, r).typeId() == QMetaType::LongLong)
            integerRow = r;
    ASSERT_GE(integerRow, 0);
    ASSERT_TRUE(inspector->setObjectValue(QStringLiteral("42"), 1, integerRow));
    const QString integerKey = inspector->objectValue(0, integerRow).toString();
    ASSERT_TRUE(inspector->setObjectValue(QStringLiteral("aaa count"), 0, integerRow));
    QStringList sorted = shape->userInfo().keys();
    std::sort(sorted.begin(), sorted.end());
    const int renamedRow = int(sorted.indexOf(QStringLiteral("aaa count")));
    EXPECT_EQ(inspector->objectValue(0, renamedRow).toString(), QStringLiteral("aaa count"));
    EXPECT_EQ(shape->metadataObjectForKey(QStringLiteral("aaa count")).toLongLong(), 42);
    EXPECT_FALSE(shape->hasMetadataForKey(integerKey));
    // The renamed entry's value is the current cell, wherever the entry moved.
    EXPECT_EQ(inspector->metaTableView()->currentRow(), renamedRow);
    EXPECT_EQ(inspector->metaTableView()->currentColumn(), 1);
    EXPECT_EQ(inspector->metaTableView()->item(renamedRow, 0)->text(), "aaa count");

    // A rename onto a key that exists is refused: nothing is overwritten.
    const QString other = inspector->objectValue(0, renamedRow == 0 ? 1 : 0).toString();
    EXPECT_FALSE(inspector->setObjectValue(other, 0, renamedRow));
    EXPECT_TRUE(shape->hasMetadataForKey(QStringLiteral("aaa count")));

    inspector->metaTableView()->setCurrentCell(renamedRow, 0);
    inspector->removeMetaItemAction();
    EXPECT_FALSE(shape->hasMetadataForKey(QStringLiteral("aaa count")));
}
