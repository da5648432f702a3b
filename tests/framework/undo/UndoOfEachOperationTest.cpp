#include "framework/ModelFixtures.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/archive/VRArchiver.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/FMDatabase.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

using namespace qnt::test;

namespace {

QJsonDocument snapshot(const VRDrawing &drawing)
{
    return QJsonDocument::fromJson(VRArchiver::documentData(drawing));
}

VRObjectDrawingLayer *objectLayer(VRDrawingDocument &d)
{
    return d.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
}

template <class T> std::shared_ptr<T> first(VRDrawingDocument &d)
{
    for (const auto &o : objectLayer(d)->objects()) {
        if (o->isMemberOf<T>())
            return std::static_pointer_cast<T>(o);
    }
    return nullptr;
}

void duplicateAndAdd(VRDrawingDocument &d, const VRObjectList &copies, const QString &name)
{
    // What the application does with duplicates: add, select, one step named by the caller.
    VRObjectDrawingLayer *layer = objectLayer(d);
    layer->recordSelectionForUndo();
    layer->addObjectsFromArray(copies);
    layer->exchangeSelectionWithObjectsFromArray(copies);
    layer->commitSelectionUndoWithActionName(name);
}

// A notation database in the test's home holding one element, "e2": a 40 x 40 contour.
QString replacementNotationPath()
{
    const QString path = QDir::home().filePath(QStringLiteral("Replacement.db"));
    if (QFileInfo::exists(path))
        return path;
    {
        FMDatabase db(path);
        if (!db.openWithFlags(FMDatabase::OpenReadWrite | FMDatabase::OpenCreate)
            || !QntNotation::createSchema(db))
            return {};
    }
    auto part = VRDrawableShape::shapeWithRect(QRectF(0, 0, 40, 40));
    part->setID(QStringLiteral("contour"));
    const auto element =
        QntElement::createWithObjects({part}, QStringLiteral("e2"), QSizeF(40, 40));
    return QntNotation::insertIntoDB(path, element) ? path : QString();
}

struct UndoCase {
    const char *name;
    const char *actionName;
    std::function<void(VRDrawingDocument &)> operation;
    // Preparation that is not part of the step (selection changes record no undo).
    std::function<void(VRDrawingDocument &)> setup = {};
};

class UndoOfEachOperation : public ::testing::TestWithParam<UndoCase>
{
};

} // namespace

TEST_P(UndoOfEachOperation, UndoAndRedoRestoreTheExactStateInOneNamedStep)
{
    VRDrawingDocument document;
    document.setDrawing(drawingWithEveryKind());
    VRUndoManager *um = document.undoManager();
    if (GetParam().setup) {
        GetParam().setup(document);
        um->closeOpenGroups();
        um->removeAllActions();
        um->markClean();
    }
    const QJsonDocument before = snapshot(*document.drawing());
    const int steps = int(um->undoStack().size());

    GetParam().operation(document);
    um->closeOpenGroups();
    const QJsonDocument after = snapshot(*document.drawing());
    ASSERT_NE(before, after) << "the operation changed nothing";
    ASSERT_EQ(um->undoStack().size(), steps + 1) << "one step per user action";
    EXPECT_EQ(um->undoActionName(), QString::fromUtf8(GetParam().actionName));
    EXPECT_TRUE(document.isDocumentEdited());

    um->undo();
    EXPECT_EQ(snapshot(*document.drawing()), before);
    EXPECT_EQ(um->redoActionName(), QString::fromUtf8(GetParam().actionName));
    EXPECT_FALSE(document.isDocumentEdited());
    um->redo();
    EXPECT_EQ(snapshot(*document.drawing()), after);
    um->undo();
    EXPECT_EQ(snapshot(*document.drawing()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, UndoOfEachOperation,
    ::testing::Values(
        UndoCase{"Move", "Move", [](VRDrawingDocument &d) { objectLayer(d)->objects().first()->moveBy(QPointF(10, 5)); }},
        UndoCase{"Resize", "Resize", [](VRDrawingDocument &d) { objectLayer(d)->objects().first()->setSize(QSizeF(10, 5)); }},
        UndoCase{"Rotate", "Rotate", [](VRDrawingDocument &d) { objectLayer(d)->objects().at(1)->setAngle(1.0); }},
        UndoCase{"MoveElementWithConnector", "Move",
                 [](VRDrawingDocument &d) { first<QntElement>(d)->moveBy(QPointF(0, 40)); }},
        UndoCase{"ChangeStyle", "Change Style",
                 [](VRDrawingDocument &d) {
                     objectLayer(d)->objects().first()->setStyle(VRStyle::styleWithFillColour(Qt::red, Qt::blue, 4));
                 }},
        UndoCase{"StyleRendererEdit", "setFillColour:",
                 [](VRDrawingDocument &d) {
                     objectLayer(d)->objects().first()->style()->setFillColour(QColor(1, 2, 3));
                     d.undoManager()->setActionName(QStringLiteral("setFillColour:"));
                 }},
        UndoCase{"Metadata", "Change Metadata",
                 [](VRDrawingDocument &d) { objectLayer(d)->objects().first()->setString(QStringLiteral("x"), QStringLiteral("y")); }},
        UndoCase{"Lock", "Lock", [](VRDrawingDocument &d) { objectLayer(d)->objects().first()->setLocked(true); }},
        UndoCase{"AddLayer", "Add Layer",
                 [](VRDrawingDocument &d) { d.drawing()->addLayer(std::make_shared<VRObjectDrawingLayer>(), true); }},
        UndoCase{"RemoveLayer", "Delete Layer",
                 [](VRDrawingDocument &d) { d.drawing()->removeLayer(d.drawing()->activeLayer(), nullptr); }},
        UndoCase{"ReorderLayers", "Reorder Layers",
                 [](VRDrawingDocument &d) { d.drawing()->moveLayer(d.drawing()->objectInLayersAtIndex(1), 2); }},
        UndoCase{"Delete", "Delete", [](VRDrawingDocument &d) { d.deleteSelection(); }},
        UndoCase{"Duplicate", "Duplicate", [](VRDrawingDocument &d) { d.duplicate(); }},
        UndoCase{"PolarDuplication", "Polar Duplication",
                 [](VRDrawingDocument &d) {
                     auto *layer = objectLayer(d);
                     duplicateAndAdd(d, layer->polarDuplicate(layer->selection(), QPointF(400, 300), 5, 0.3, true),
                                     QStringLiteral("Polar Duplication"));
                 }},
        UndoCase{"AutoPolarDuplication", "Auto Polar Duplication",
                 [](VRDrawingDocument &d) {
                     auto *layer = objectLayer(d);
                     duplicateAndAdd(d, layer->autoPolarDuplicate(layer->objects().first(), QPointF(400, 300)),
                                     QStringLiteral("Auto Polar Duplication"));
                 }},
        UndoCase{"LinearDuplication", "Linear Duplication",
                 [](VRDrawingDocument &d) {
                     auto *layer = objectLayer(d);
                     duplicateAndAdd(d, layer->linearDuplicate(layer->selection(), QSizeF(12, 7), 3),
                                     QStringLiteral("Linear Duplication"));
                 }},
        UndoCase{"AlignLeft", "Align", [](VRDrawingDocument &d) { d.alignLeftEdges(); }},
        UndoCase{"AlignVerticalCentres", "Align", [](VRDrawingDocument &d) { d.alignVerticalCentres(); }},
        UndoCase{"Distribute", "Distribute", [](VRDrawingDocument &d) { d.distributeHorizontalSpace(); },
                 [](VRDrawingDocument &d) { objectLayer(d)->selectAll(); }},
        UndoCase{"Group", "Group", [](VRDrawingDocument &d) { d.group(); }},
        UndoCase{"Ungroup", "Ungroup", [](VRDrawingDocument &d) { d.ungroup(); },
                 [](VRDrawingDocument &d) {
                     auto *layer = objectLayer(d);
                     layer->exchangeSelectionWithObjectsFromArray({layer->objects().at(3)});
                 }},
        UndoCase{"BringToFront", "Bring to Front", [](VRDrawingDocument &d) { d.bringToFront(); }},
        UndoCase{"DrawingSize", "Change Drawing Size",
                 [](VRDrawingDocument &d) { d.drawing()->setDrawingSize(QSizeF(900, 700)); }},
        UndoCase{"EnlargeLeft", "Enlarge Drawing", [](VRDrawingDocument &d) { d.enlargeLeftAction(); }},
        UndoCase{"Units", "Change Units",
                 [](VRDrawingDocument &d) { d.drawing()->setDrawingUnits(QStringLiteral("Inches"), 72.0); }},
        UndoCase{"Grid", "Change Grid",
                 [](VRDrawingDocument &d) {
                     d.drawing()->gridLayer()->setDistanceForUnitSpan(72, QStringLiteral("Inches"), 1, 4, 5, 2);
                 }},
        UndoCase{"TableAddRow", "Add Row", [](VRDrawingDocument &d) { first<QntElementTable>(d)->addRow(); }},
        UndoCase{"TableRemoveColumn", "Remove Column", [](VRDrawingDocument &d) { first<QntElementTable>(d)->removeColumn(); }},
        UndoCase{"TableJoin", "Join Cells",
                 [](VRDrawingDocument &d) {
                     auto table = first<QntElementTable>(d);
                     table->selectCells({table->cells().at(0), table->cells().at(1)});
                     table->joinCells();
                 }},
        UndoCase{"ElementText", "Changing text attributes",
                 [](VRDrawingDocument &d) { first<QntElement>(d)->setTextFontTypeface(2, true); }},
        UndoCase{"ElementPadding", "Change Paddings",
                 [](VRDrawingDocument &d) { first<QntElement>(d)->setPaddingLeftRight(0.2); }},
        UndoCase{"StickySpot", "Insert Sticky Spot",
                 [](VRDrawingDocument &d) { first<QntElement>(d)->insertStickySpot(QPointF(0.5, 0.5)); }},
        UndoCase{"ColourScheme", "Change Colour Scheme",
                 [](VRDrawingDocument &d) { first<QntElement>(d)->replaceColorScheme(5); }},
        UndoCase{"ConnectorRouting", "Change Routing", [](VRDrawingDocument &d) { first<QntConnector>(d)->makeZigZag(); }},
        UndoCase{"ConnectorLabel", "Change Label Position",
                 [](VRDrawingDocument &d) { first<QntConnector>(d)->setTextYOffset(12); }},
        UndoCase{"ConnectorSkin", "Change Connector Skin",
                 [](VRDrawingDocument &d) {
                     first<QntConnector>(d)->addSkin({{QStringLiteral("endArrowheadId"), QStringLiteral("a1")}});
                 }},
        UndoCase{"ReplaceElement", "Replace Element",
                 [](VRDrawingDocument &d) {
                     const QString notation = replacementNotationPath();
                     ASSERT_FALSE(notation.isEmpty());
                     auto replaced = first<QntElement>(d)->replaceWithObject(QStringLiteral("e2"), notation, false);
                     ASSERT_TRUE(replaced);
                     EXPECT_EQ(objectLayer(d)->selection(), VRObjectList({replaced}));
                     EXPECT_EQ(replaced->textContent().toPlainText(), QStringLiteral("Element one"));
                     EXPECT_TRUE(first<QntConnector>(d)->isAttachedTo(static_cast<QntElement *>(replaced.get())));
                 }},
        UndoCase{"UndoableSelection", "Selection Change",
                 [](VRDrawingDocument &d) {
                     VRObjectDrawingLayer::setDefaultSelectionChangesAreUndoable(true);
                     objectLayer(d)->deselectAll();
                     VRObjectDrawingLayer::setDefaultSelectionChangesAreUndoable(false);
                 }}),
    [](const ::testing::TestParamInfo<UndoCase> &info) { return std::string(info.param.name); });
