#include "connectors/QntConnectorModeInspector.h"
#include "connectors/QntConnectorTextEditor.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/AXScreen.h"
#include "inspectors/QntButtonCell.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntColorMatrix.h"
#include "inspectors/QntColorWell.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntElementModeInspector.h"
#include "inspectors/QntTextFieldCell.h"

#include "library/PaletteTestSupport.h"

#include "common/ButtonColumn.h"
#include "common/SharedStateKeepers.h"

#include "framework/archive/VRArchiver.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntConnectorSkin.h"
#include "framework/model/QntDecoratedSeparator.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/routing/VRConnectorGeometry.h"
#include "framework/styles/QntPathDecorator.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStrokeDash.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/DelayedPerform.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "app/common/QntConstants.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

const QString kSkinNotation = QStringLiteral("FlowChart/FlowChart.db");
const QString kCustomizableNotation = QStringLiteral("Misc/CustomizableStyle.db");

void flushEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A document in a notation, shown in a view, with a connector inspector following it.
struct Harness {
    explicit Harness(const QString &notation)
        : palette(notation)
    {
        QntConnectorModeInspector::resetLastAppliedSettings();
        VRInspectorBase::setMainDocumentOverride(palette.document.get());
        inspector = std::make_unique<QntConnectorModeInspector>(
            QStringLiteral("QntConnectorModeInspector"));
    }
    ~Harness()
    {
        inspector.reset();
        VRInspectorBase::setMainDocumentOverride(nullptr);
        QntConnectorModeInspector::resetLastAppliedSettings();
        flushEvents();
    }

    std::shared_ptr<QntElement> placeElement(QPointF at, int index = 0)
    {
        return palette.placeShape(at, index);
    }
    std::shared_ptr<QntConnector> connect(const std::shared_ptr<QntElement> &a,
                                          const std::shared_ptr<QntElement> &b)
    {
        return palette.connectWithArrow(a, b);
    }
    void rightClick(const VRObjectRef &object, QPointF at = QPointF())
    {
        palette.layer()->replaceSelectionWithObject(object);
        if (object->isKindOf<QntConnector>())
            static_cast<QntConnector &>(*object).setLastClickedPointAtAdornment(
                at.isNull() ? static_cast<QntConnector &>(*object).endPoint() : at);
        NotificationCenter::defaultCenter().post(
            kQntConnectorRightMouseUpNotification, object.get(),
            {{QStringLiteral("object"), QVariant::fromValue(object)}});
    }
    QStringList columnTitles() const { return qnt::test::columnTitles(*inspector->toolMatrix()); }
    void clickColumn(const QString &title)
    {
        qnt::test::clickColumn(*inspector->toolMatrix(), title);
    }
    static void choose(QComboBox *popUp, int index)
    {
        popUp->setCurrentIndex(index);
        emit popUp->activated(index);
    }
    static void chooseData(QComboBox *popUp, const QVariant &data)
    {
        const int index = popUp->findData(data);
        ASSERT_GE(index, 0) << data.toString().toStdString();
        choose(popUp, index);
    }
    // A connector between two new elements, selected and announced as the Connector tool
    // announces a new one, once the inspector has taken it.
    std::shared_ptr<QntConnector> newConnectorAsTheToolMakesIt()
    {
        auto connector = connect(placeElement({150, 150}), placeElement({450, 150}));
        palette.layer()->replaceSelectionWithObject(connector);
        NotificationCenter::defaultCenter().post(
            kQntDidCreateConnectorNotification, connector.get(),
            {{QStringLiteral("object"), QVariant::fromValue(VRObjectRef(connector))}});
        while (DelayedPerform::pendingPerformRequests(inspector.get()) > 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        flushEvents();
        return connector;
    }
    VRUndoManager *undo() const { return palette.drawing()->undoManager(); }
    // The steps on the undo stack, each user action's changes closed into its own.
    int depth() const
    {
        undo()->closeOpenGroups();
        return int(undo()->undoStack().size());
    }
    void undoStep()
    {
        undo()->closeOpenGroups();
        undo()->undo();
    }

    PaletteHarness palette;
    std::unique_ptr<QntConnectorModeInspector> inspector;
};

QList<QPointF> pointsOf(const QntConnector &c)
{
    return VRConnectorGeometry::pointsOf(c.path());
}

QColor endArrowColour(const QntConnector &c)
{
    const QntConnectorArrow *arrow = c.endEndPoint()->arrow();
    if (!arrow || arrow->groupObjects().isEmpty() || !arrow->groupObjects().first()->style())
        return {};
    return arrow->groupObjects().first()->style()->fillColour();
}

QString startArrowId(const QntConnector &c)
{
    return c.startEndPoint()->arrow() ? c.startEndPoint()->arrow()->ID() : QString();
}

} // namespace

TEST(QntConnectorModeInspectorTest, ColumnHoldsTheButtonsOfTheConnectorsKind)
{
    struct Row {
        QString notation;
        QString kind;
        QStringList buttons;
    };
    const QList<Row> rows{
        {kSkinNotation,
         QStringLiteral("connector"),
         {QStringLiteral("Connector Style"), QStringLiteral("Insert Path Point"),
          QStringLiteral("Delete Path Point"), QStringLiteral("Text Editor")}},
        {kSkinNotation,
         QStringLiteral("separator"),
         {QStringLiteral("Text Editor"), QStringLiteral("Decorated Separator Properties"),
          QStringLiteral("Insert Path Point"), QStringLiteral("Delete Path Point"),
          QStringLiteral("Replace Element"), QString()}},
        {kSkinNotation,
         QStringLiteral("arrow"),
         {QStringLiteral("Text Editor"), QStringLiteral("Replace Element"), QString()}},
        {kCustomizableNotation,
         QStringLiteral("arrow"),
         {QStringLiteral("Text Editor"), QStringLiteral("Replace Element"),
          QStringLiteral("Element Style")}},
    };
    for (const Row &row : rows) {
        Harness h(row.notation);
        VRObjectRef object;
        if (row.kind == QStringLiteral("connector")) {
            object = h.connect(h.placeElement({150, 150}), h.placeElement({450, 150}));
        } else {
            const QntNotationRef notation = h.palette.drawing()->currentNotation();
            const QList<QntElementRecord> list =
                row.kind == QStringLiteral("arrow")
                    ? notation->elementsList(QStringLiteral("Arrows"))
                    : notation->separatorElementsList();
            for (const QntElementRecord &record : list) {
                const bool wanted = row.kind == QStringLiteral("arrow")
                                        ? record.prototype->isMemberOf<QntElementArrow>()
                                        : record.prototype->isMemberOf<QntDecoratedSeparator>();
                if (wanted) {
                    object = record.prototype->copy();
                    break;
                }
            }
            ASSERT_TRUE(object) << row.kind.toStdString();
            object->setIsPrototype(false);
            object->setLocation({300, 300});
            h.palette.layer()->addObject(object);
        }
        h.rightClick(object);
        EXPECT_EQ(h.columnTitles(), row.buttons)
            << row.notation.toStdString() << " " << row.kind.toStdString();
        ASSERT_TRUE(h.inspector->attachedWindow());
        EXPECT_EQ(h.inspector->contextObject(), object);
    }
}

TEST(QntConnectorModeInspectorTest, ColumnSitsBesideTheEndByTheLastSegmentsDirection)
{
    // Last segment to the right: above (below when the top of the screen is near); going up:
    // right; down-left: below.
    struct Row {
        QPointF from, to;
        int side;
    };
    const Row rows[] = {{{200, 300}, {400, 300}, AXAttachedWindow::kAbove},
                        {{200, 10}, {400, 10}, AXAttachedWindow::kBelow},
                        {{300, 400}, {300, 250}, AXAttachedWindow::kRight},
                        {{400, 200}, {250, 250}, AXAttachedWindow::kBelow}};
    for (const Row &row : rows) {
        Harness h(kSkinNotation);
        auto connector = std::make_shared<QntConnector>();
        connector->setEnds(row.from, row.to);
        h.palette.layer()->addObject(connector);
        h.rightClick(connector, row.to);
        EXPECT_EQ(h.inspector->arrowPosition(), row.side)
            << row.to.x() << "," << row.to.y() << " screen "
            << h.inspector->contextMenuPositionOnScreen().x() << ","
            << h.inspector->contextMenuPositionOnScreen().y();
        ASSERT_TRUE(h.inspector->attachedWindow());
        // The column's arrow points 1.0 to the right of the clicked point.
        const QPointF expected = h.inspector->contextMenuPositionOnScreen();
        EXPECT_EQ(h.inspector->attachedWindow()->point(), expected);
    }
}

TEST(QntConnectorModeInspectorTest, SkinArrowheadsBodyAndDashEachUndoInOneStep)
{
    Harness h(kSkinNotation);
    auto connector = h.connect(h.placeElement({150, 150}), h.placeElement({450, 150}));
    h.rightClick(connector);
    h.clickColumn(QStringLiteral("Connector Style"));
    ASSERT_TRUE(h.inspector->attachedConnectorStyleWindow());
    const QntConnectorModeInspector::SkinControls &c = h.inspector->skinControls();

    // A first arrowhead gives the connector the notation's skin; the end keeps its arrowhead.
    h.inspector->showStartArrowheadMatrixAction(c.startArrowheadPopupButton);
    const QStringList offered = h.inspector->arrowheadMatrixIds();
    ASSERT_GE(offered.size(), 3);
    EXPECT_TRUE(offered.first().isEmpty()); // "None" comes first
    h.inspector->menuItemSkinStartArrowheadAction(offered.at(2));
    EXPECT_EQ(startArrowId(*connector), offered.at(2));
    const QColor endColour = endArrowColour(*connector);
    ASSERT_TRUE(endColour.isValid());
    EXPECT_NE(connector->skin(), nullptr);

    // "None" and back, each one step; the end arrowhead keeps its colour throughout.
    const int depth = h.depth();
    h.inspector->menuItemSkinStartArrowheadAction(QString());
    EXPECT_TRUE(startArrowId(*connector).isEmpty());
    EXPECT_EQ(endArrowColour(*connector), endColour);
    EXPECT_EQ(h.depth(), depth + 1);
    h.undoStep();
    EXPECT_EQ(startArrowId(*connector), offered.at(2));
    EXPECT_EQ(endArrowColour(*connector), endColour);

    // A thick body and back.
    const int thickIndex =
        c.strokeDashPopUpButton->findData(QntConnectorModeInspector::kFirstThickLineTag);
    ASSERT_GE(thickIndex, 0);
    h.choose(c.strokeDashPopUpButton, thickIndex);
    EXPECT_TRUE(connector->hasThickBody());
    EXPECT_TRUE(connector->ID().endsWith(QStringLiteral("Thick")));
    EXPECT_FALSE(c.applyColorsToBothArrowsCheckbox->isEnabled());
    EXPECT_EQ(h.depth(), depth + 1);
    h.undoStep();
    EXPECT_FALSE(connector->hasThickBody());
    EXPECT_EQ(startArrowId(*connector), offered.at(2));
    EXPECT_EQ(endArrowColour(*connector), endColour);

    // A dash: named, one step, and marked when the window is filled again.
    const int dashIndex = 2;
    h.choose(c.strokeDashPopUpButton, dashIndex);
    ASSERT_TRUE(connector->shaftStyle() && connector->shaftStyle()->stroke());
    EXPECT_TRUE(connector->shaftStyle()->stroke()->dash());
    EXPECT_EQ(h.undo()->undoActionName(), QStringLiteral("Apply Connector Dash Style"));
    EXPECT_EQ(h.depth(), depth + 1);
    h.inspector->populateConnectorSkinToolbar();
    EXPECT_EQ(c.strokeDashPopUpButton->currentIndex(), dashIndex);
    EXPECT_EQ(endArrowColour(*connector), endColour);
    h.undoStep();
    EXPECT_FALSE(connector->shaftStyle()->stroke() && connector->shaftStyle()->stroke()->dash());
}

TEST(QntConnectorModeInspectorTest, ColourPopoversRecolourOneEndTheLineOrTheWholeArrow)
{
    Harness h(kSkinNotation);
    auto connector = h.connect(h.placeElement({150, 150}), h.placeElement({450, 150}));
    h.rightClick(connector);
    h.clickColumn(QStringLiteral("Connector Style"));
    const QntConnectorModeInspector::SkinControls &c = h.inspector->skinControls();
    h.inspector->showStartArrowheadMatrixAction(c.startArrowheadPopupButton);
    h.inspector->menuItemSkinStartArrowheadAction(h.inspector->arrowheadMatrixIds().at(1));
    const QColor endColour = endArrowColour(*connector);
    const QList<QntColorSchemeData> schemes =
        h.palette.drawing()->currentNotation()->colorSchemesList();
    ASSERT_GE(schemes.size(), 2);

    // The start button's popover: a scheme for the start arrowhead alone.
    h.inspector->showColorMatrixAction(c.showColorMatrixStartArrowButton);
    AXAttachedWindow *popover = h.inspector->attachedWindowMatrixbar();
    ASSERT_TRUE(popover);
    auto *grid = popover->findChild<QntColorMatrix *>();
    ASSERT_TRUE(grid);
    grid->performClickOnCell(0, 1);
    EXPECT_EQ(connector->colorSchemeIdArrowKind(1), schemes.at(1).schemeId);
    EXPECT_EQ(endArrowColour(*connector), endColour);
    // A placeholder swatch changes nothing.
    const qint64 startScheme = connector->colorSchemeIdArrowKind(1);
    QntColorMatrix placeholder;
    placeholder.renewRows(1, 1);
    placeholder.addColumnAndDropFirst(
        {{QImage(), QColor(), QVariant::fromValue(QntColorSchemeData{-1, {}, {}}), {}}});
    placeholder.performClickOnCell(0, 0);
    h.inspector->colorMatrixAction(&placeholder);
    EXPECT_EQ(connector->colorSchemeIdArrowKind(1), startScheme);

    // The line button's popover: a plain colour for the line.
    popover->closePopover();
    h.inspector->showConnectorColorMatrixAction(c.showColorMatrixConnectorButton);
    ASSERT_TRUE(h.inspector->attachedWindowMatrixbar());
    grid = h.inspector->attachedWindowMatrixbar()->findChild<QntColorMatrix *>();
    ASSERT_TRUE(grid);
    grid->performClickOnCell(0, 2);
    const QColor line = h.palette.drawing()->currentNotation()->connectorColors().at(2);
    EXPECT_EQ(connector->shaftColor(), line);
    EXPECT_EQ(connector->shaftStyle()->strokeColour().toRgb(), line.toRgb());
    EXPECT_EQ(endArrowColour(*connector), endColour);
}

TEST(QntConnectorModeInspectorTest, ArrowheadLengthsKeepTheAspectAndReachBothEnds)
{
    EXPECT_EQ(QntConnectorModeInspector::sizeArrowhead({12, 8}, 16), QSizeF(24, 16));
    EXPECT_EQ(QntConnectorModeInspector::sizeArrowhead({12, 0}, 16), QSizeF(0, 16));
    EXPECT_EQ(QntConnectorModeInspector::sizeArrowhead({12, 8}, 0), QSizeF(12, 8));

    Harness h(kSkinNotation);
    auto connector = h.connect(h.placeElement({150, 150}), h.placeElement({450, 150}));
    h.rightClick(connector);
    h.clickColumn(QStringLiteral("Connector Style"));
    const QntConnectorModeInspector::SkinControls &c = h.inspector->skinControls();
    h.inspector->showStartArrowheadMatrixAction(c.startArrowheadPopupButton);
    h.inspector->menuItemSkinStartArrowheadAction(h.inspector->arrowheadMatrixIds().at(1));
    c.applyLengthToBothArrowsCheckbox->setChecked(true);
    h.inspector->startArrowheadSetLength(20);
    EXPECT_DOUBLE_EQ(connector->startEndPoint()->arrow()->size().height(), 20);
    EXPECT_DOUBLE_EQ(connector->endEndPoint()->arrow()->size().height(), 20);
    EXPECT_DOUBLE_EQ(c.endArrowheadLengthSlider->doubleValue(), 20);
    // Typed text that is no number, or a negative length, changes nothing.
    for (const QString &typed : {QStringLiteral("abc"), QStringLiteral("-3")}) {
        c.startArrowheadLengthTextbox->setText(typed);
        h.inspector->startArrowheadLengthTextboxAction();
        EXPECT_DOUBLE_EQ(connector->startEndPoint()->arrow()->size().height(), 20);
    }
}

TEST(QntConnectorModeInspectorTest, RoutingTypesDrawAsNamedSurviveAFileAndUndoInOneStep)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    using I = QntConnectorModeInspector;
    const int tags[] = {
        I::kOrthogonalRouting, I::kStraightRouting,          I::kZigZagRouting,
        I::kCurveRouting,      I::kAutomaticPolylineRouting, I::kAutomaticOrthogonalRouting};
    for (int tag : tags) {
        const QString path = folder.filePath(QStringLiteral("routing-%1.quintora").arg(tag));
        QList<QPointF> drawn;
        {
            Harness h(kSkinNotation);
            auto a = h.placeElement({150, 150});
            auto b = h.placeElement({550, 330});
            auto wall = h.placeElement({350, 240});
            auto connector = h.connect(a, b);
            h.rightClick(connector);
            h.clickColumn(QStringLiteral("Connector Style"));
            QComboBox *routing = h.inspector->skinControls().connectorTypePopupButton;
            if (tag == I::kStraightRouting)
                connector->routeOrthogonal();
            const QList<QPointF> before = pointsOf(*connector);
            const int depth = h.depth();
            h.chooseData(routing, tag);
            flushEvents();
            drawn = pointsOf(*connector);
            EXPECT_EQ(h.depth(), depth + 1) << tag;
            switch (tag) {
            case I::kStraightRouting: EXPECT_EQ(drawn.size(), 2); break;
            case I::kCurveRouting: EXPECT_TRUE(connector->isCurve()); break;
            case I::kZigZagRouting: EXPECT_EQ(connector->routing(), 2); break;
            default: break;
            }
            if (tag == I::kOrthogonalRouting || tag == I::kAutomaticOrthogonalRouting) {
                for (qsizetype k = 0; k + 1 < drawn.size(); ++k)
                    EXPECT_TRUE(std::abs(drawn[k].x() - drawn[k + 1].x()) < 1e-6
                                || std::abs(drawn[k].y() - drawn[k + 1].y()) < 1e-6)
                        << tag;
            }
            if (tag == I::kAutomaticPolylineRouting || tag == I::kAutomaticOrthogonalRouting) {
                const QRectF inside = wall->logicalBounds().adjusted(2, 2, -2, -2);
                for (qsizetype k = 0; k + 1 < drawn.size(); ++k) {
                    for (int step = 0; step <= 20; ++step) {
                        const QPointF p = drawn[k] + (drawn[k + 1] - drawn[k]) * (step / 20.0);
                        EXPECT_FALSE(inside.contains(p)) << tag;
                    }
                }
            }
            // Reading back shows what was chosen.
            h.inspector->populateConnectorSkinToolbar();
            EXPECT_EQ(routing->currentData().toInt(), tag);
            ASSERT_TRUE(h.palette.document->writeToFile(path));
            h.undoStep();
            EXPECT_EQ(pointsOf(*connector), before) << tag;
        }
        Harness h(QString{});
        ASSERT_TRUE(h.palette.document->readFromFile(path));
        std::shared_ptr<QntConnector> reread;
        for (const VRObjectRef &o : h.palette.layer()->objects())
            if (o->isKindOf<QntConnector>())
                reread = std::static_pointer_cast<QntConnector>(o);
        ASSERT_TRUE(reread);
        EXPECT_EQ(QntConnectorModeInspector::routingTagForConnector(*reread), tag);
        EXPECT_EQ(pointsOf(*reread).size(), drawn.size()) << tag;
    }
}

TEST(QntConnectorModeInspectorTest, SimpleStyleToolbarChangesTheShaftOnly)
{
    Harness h(kCustomizableNotation);
    auto a = h.placeElement({150, 150});
    auto b = h.placeElement({450, 150});
    auto connector = h.connect(a, b);
    const QColor contour = a->contourObject()->style()->strokeColour();
    h.rightClick(connector);
    h.clickColumn(QStringLiteral("Connector Style"));
    ASSERT_TRUE(h.inspector->attachedConnectorSimpleStyleWindow());
    EXPECT_FALSE(h.inspector->attachedConnectorStyleWindow());
    const QntConnectorModeInspector::ConnectorSimpleStyleControls &c =
        h.inspector->connectorSimpleStyleControls();

    c.colorWell->setColor(QColor(200, 20, 20));
    emit c.colorWell->colorChanged(QColor(200, 20, 20));
    c.widthTextbox->setText(QStringLiteral("4"));
    h.inspector->simpleStyleWidthTextboxAction();
    c.shadowCheckbox->setChecked(true);
    h.inspector->simpleStyleShadowCheckboxAction();
    h.chooseData(c.endArrowheadsPopUpButton, VRArrowStroke::registeredArrowheads().at(2));
    h.inspector->simpleStyleStrokeLineCapStyleAction(1);
    h.choose(c.strokeDashPopUpButton, 1);

    const VRStyleRef shaft = connector->shaftStyle();
    ASSERT_TRUE(shaft && shaft->stroke());
    VRDrawing *drawing = h.palette.drawing();
    EXPECT_EQ(shaft->strokeColour().toRgb(), QColor(200, 20, 20));
    EXPECT_NEAR(shaft->strokeWidth(), drawing->convertLengthFromDrawingToBase(4), 1e-9);
    EXPECT_TRUE(shaft->stroke()->shadow().has_value());
    EXPECT_EQ(shaft->stroke()->lineCapStyle(), 1);
    EXPECT_TRUE(shaft->stroke()->dash());
    const auto arrows = shaft->renderersOfClass(VRArrowStroke::staticClass());
    ASSERT_FALSE(arrows.isEmpty());
    EXPECT_EQ(static_cast<VRArrowStroke *>(arrows.last().get())->arrowHeadAtEnd(),
              VRArrowStroke::registeredArrowheads().at(2));
    // The elements it joins keep their look; the toolbar reads the shaft back.
    EXPECT_EQ(a->contourObject()->style()->strokeColour(), contour);
    h.inspector->populateConnectorSimpleStyleToolbar();
    EXPECT_EQ(c.colorWell->color().toRgb(), QColor(200, 20, 20));
    EXPECT_TRUE(c.shadowCheckbox->isChecked());
    EXPECT_EQ(c.strokeDashPopUpButton->currentIndex(), 1);
}

TEST(QntConnectorModeInspectorTest, SeparatorSlidersSetItsDecorator)
{
    Harness h(kSkinNotation);
    VRObjectRef separator;
    for (const QntElementRecord &record :
         h.palette.drawing()->currentNotation()->separatorElementsList()) {
        if (record.prototype->isMemberOf<QntDecoratedSeparator>())
            separator = record.prototype->copy();
    }
    ASSERT_TRUE(separator);
    separator->setIsPrototype(false);
    h.palette.layer()->addObject(separator);
    const auto decorators = separator->style()->renderersOfClass(QntPathDecorator::staticClass());
    ASSERT_EQ(decorators.size(), 1); // the shipped separator is decorated
    auto *decorator = static_cast<QntPathDecorator *>(decorators.last().get());
    h.rightClick(separator);
    h.clickColumn(QStringLiteral("Decorated Separator Properties"));
    ASSERT_TRUE(h.inspector->attachedDecoratedSeparatorWindow());
    const QntConnectorModeInspector::SeparatorControls &c = h.inspector->separatorControls();
    EXPECT_DOUBLE_EQ(c.intervalSlider->doubleValue(), decorator->interval());
    for (auto [slider, value] : {std::pair{c.intervalSlider, 40.0}, std::pair{c.scaleSlider, 2.0},
                                 std::pair{c.leaderSlider, 12.0}}) {
        slider->setDoubleValue(value);
        emit slider->doubleValueChanged(value);
    }
    EXPECT_DOUBLE_EQ(decorator->interval(), 40.0);
    EXPECT_DOUBLE_EQ(decorator->scale(), 2.0);
    EXPECT_DOUBLE_EQ(decorator->leaderDistance(), 12.0);
    // A second request leaves the one window.
    AXAttachedWindow *window = h.inspector->attachedDecoratedSeparatorWindow();
    h.inspector->createDecoratedSeparatorToolbar(h.inspector->toolMatrix());
    EXPECT_EQ(h.inspector->attachedDecoratedSeparatorWindow(), window);
}

TEST(QntConnectorModeInspectorTest, ShapePartsWindowRestylesOnePartAlone)
{
    Harness h(kSkinNotation);
    auto elementInspector =
        std::make_unique<QntElementModeInspector>(QStringLiteral("ElementModeInspector"));
    // A composite element: the first shape of the notation with two parts or more.
    const QntNotationRef notation = h.palette.drawing()->currentNotation();
    std::shared_ptr<QntElement> element;
    for (int i = 0; i < notation->shapeElementsList().size() && !element; ++i) {
        auto candidate = h.placeElement({300, 200}, i);
        if (candidate->groupObjects().size() >= 2)
            element = candidate;
        else
            h.palette.layer()->removeObject(candidate);
    }
    ASSERT_TRUE(element);
    h.palette.layer()->replaceSelectionWithObject(element);
    NotificationCenter::defaultCenter().post(
        kQntElementRightMouseUpNotification, element.get(),
        {{QStringLiteral("object"), QVariant::fromValue(VRObjectRef(element))}});
    elementInspector->openShapePartsToolbar(nullptr);
    ASSERT_TRUE(elementInspector->attachedShapePartsWindow());
    QTreeWidget *outline = elementInspector->shapePartsOutline();
    ASSERT_TRUE(outline);
    ASSERT_EQ(outline->topLevelItemCount(), 1);
    QTreeWidgetItem *group = outline->topLevelItem(0);
    ASSERT_GE(group->childCount(), 2);

    const VRObjectList parts = element->groupObjects();
    QList<QColor> before;
    for (const VRObjectRef &part : parts)
        before << (part->style() ? part->style()->strokeColour() : QColor());
    const qint64 chosenRowPicture = group->child(0)->icon(0).cacheKey();
    const qint64 otherRowPicture = group->child(1)->icon(0).cacheKey();
    ASSERT_TRUE(elementInspector->shapePartsShouldSelectItem(group->child(0)));
    EXPECT_EQ(elementInspector->shapePartsEditingMode(), 1);
    ASSERT_TRUE(elementInspector->attachedSimpleStyleWindow());
    const VRObjectRef chosen = elementInspector->contextObject();
    ASSERT_TRUE(chosen);
    QntColorWell *well = elementInspector->simpleStyleControls().contourColorWell;
    well->setColor(QColor(10, 200, 10));
    emit well->colorChanged(QColor(10, 200, 10));
    for (int i = 0; i < parts.size(); ++i) {
        if (!parts.at(i)->style())
            continue;
        if (parts.at(i) == chosen)
            EXPECT_EQ(parts.at(i)->style()->strokeColour().toRgb(), QColor(10, 200, 10));
        else
            EXPECT_EQ(parts.at(i)->style()->strokeColour(), before.at(i)) << i;
    }
    // The chosen part's row shows its new look at once; the other rows keep theirs.
    const QIcon chosenIcon = group->child(0)->icon(0);
    EXPECT_NE(chosenIcon.cacheKey(), chosenRowPicture);
    EXPECT_EQ(group->child(1)->icon(0).cacheKey(), otherRowPicture);
    ASSERT_FALSE(chosenIcon.availableSizes().isEmpty());
    const QImage shown = chosenIcon.pixmap(chosenIcon.availableSizes().first())
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32);
    int green = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QColor c = shown.pixelColor(x, y);
            green += c.alpha() > 128 && c.green() > 150 && c.red() < 80 && c.blue() < 80;
        }
    EXPECT_GT(green, 0) << "the row draws the part with its new contour";
    // Closing the window ends the part editing.
    elementInspector->closeAttachedShapePartsWindow();
    EXPECT_EQ(elementInspector->shapePartsEditingMode(), 0);
    EXPECT_FALSE(elementInspector->attachedSimpleStyleWindow());
}

TEST(QntConnectorModeInspectorTest, SelectionByKindInSingleModeIsTheContextConnector)
{
    Harness h(kSkinNotation);
    for (int kind : {0, 1, 2, 3, 4, 5, 9})
        EXPECT_TRUE(h.inspector->connectorsInSelectionOfKind(kind).isEmpty()) << kind;
    auto connector = h.connect(h.placeElement({150, 150}), h.placeElement({450, 150}));
    h.rightClick(connector);
    for (int kind : {0, 1, 2, 3, 4, 5, 9})
        EXPECT_EQ(h.inspector->connectorsInSelectionOfKind(kind), VRObjectList{connector}) << kind;
    EXPECT_TRUE(h.inspector->connectorId().isEmpty());
}

TEST(QntConnectorModeInspectorTest, PartsRestyledOnASkinAreKeptInFilesAndCopies)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("parts.quintora"));
    const QColor green(10, 200, 10), red(200, 10, 10);
    // The end arrowhead's first shape and the skin's body, each restyled on its own.
    const auto restyled = [&](const QntConnector &c) {
        const QntConnectorArrow *arrow = c.endEndPoint()->arrow();
        if (!arrow || arrow->groupObjects().isEmpty() || !c.skin())
            return false;
        const VRStyleRef head = arrow->groupObjects().first()->style();
        const VRStyleRef body = c.skin()->groupObjects().first()->style();
        return head && head->fill() && head->fillColour().toRgb() == green && body
               && body->strokeColour().toRgb() == red;
    };
    {
        Harness h(kSkinNotation);
        const QntNotationRef notation = h.palette.drawing()->currentNotation();
        const QString body = notation->defaultConnectorId();
        const auto heads = notation->arrowheadsList(body);
        ASSERT_FALSE(heads.isEmpty());
        auto a = h.placeElement({150, 150}), b = h.placeElement({450, 150}),
             c = h.placeElement({450, 400});
        auto changed = h.connect(a, b), untouched = h.connect(b, c);
        for (const auto &connector : {changed, untouched})
            connector->addSkin({{QStringLiteral("bodyID"), body},
                                {QStringLiteral("endArrowheadId"), heads.first().elementId}});
        ASSERT_TRUE(changed->skin());
        ASSERT_TRUE(changed->endEndPoint()->arrow());
        changed->endEndPoint()->arrow()->groupObjects().first()->style()->setFillColour(green);
        changed->skin()->groupObjects().first()->style()->setStrokeColour(red);
        ASSERT_TRUE(restyled(*changed));
        // Only the restyled connector stores its parts.
        const QByteArray data = VRArchiver::documentData(*h.palette.drawing());
        EXPECT_EQ(data.count("\"partStyles\""), 1);
        // A copy keeps them too.
        const VRObjectRef copy = changed->copy();
        h.palette.layer()->addObject(copy);
        static_cast<QntConnector &>(*copy).updateStyle();
        EXPECT_TRUE(restyled(static_cast<QntConnector &>(*copy)));
        h.palette.layer()->removeObject(copy);
        ASSERT_TRUE(h.palette.document->writeToFile(path));
    }
    Harness h(QString{});
    ASSERT_TRUE(h.palette.document->readFromFile(path));
    int kept = 0;
    for (const VRObjectRef &o : h.palette.layer()->objects())
        if (o->isKindOf<QntConnector>())
            kept += restyled(static_cast<QntConnector &>(*o)) ? 1 : 0;
    EXPECT_EQ(kept, 1);
}

// A connector drawn with the connector tool is styled as it is created (last-applied skin,
// its arrowheads and their sizes); undoing a later body change gives all of it back.
TEST(QntConnectorModeInspectorTest, UndoingABodyChangeKeepsTheArrowheadsOfANewConnector)
{
    struct Row {
        const char *name;
        bool lastAppliedFromAnotherConnector;
        bool storedDefaults;
        bool thick;
    };
    const QList<Row> rows{
        {"fresh, thick body", false, false, true},
        {"fresh, dashed line", false, false, false},
        {"after another connector's arrowhead, thick body", true, false, true},
        {"after another connector's arrowhead, dashed line", true, false, false},
        {"stored defaults, thick body", true, true, true},
        {"stored defaults, dashed line", true, true, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Harness h(kSkinNotation);
        h.inspector->setNewConnectorDelays(0.001, 0.002);
        const QntConnectorModeInspector::SkinControls &c = h.inspector->skinControls();
        if (row.lastAppliedFromAnotherConnector) {
            auto other = h.connect(h.placeElement({150, 400}), h.placeElement({450, 400}));
            h.rightClick(other);
            h.clickColumn(QStringLiteral("Connector Style"));
            h.inspector->showStartArrowheadMatrixAction(c.startArrowheadPopupButton);
            h.inspector->menuItemSkinStartArrowheadAction(h.inspector->arrowheadMatrixIds().at(1));
            if (row.storedDefaults) {
                UserDefaults::standardUserDefaults().setBool(true, QntApplyDefaultsKey);
                h.inspector->saveDefaultsForContextObject();
            }
        }
        const auto forget = qScopeGuard([&h] {
            UserDefaults &defaults = UserDefaults::standardUserDefaults();
            defaults.removeObjectForKey(notationConnectorDefaultsKey(
                h.palette.drawing()->currentNotation()->notationName()));
            defaults.removeObjectForKey(QntApplyDefaultsKey);
        });
        auto connector = h.newConnectorAsTheToolMakesIt();
        const QString startBefore = startArrowId(*connector);
        const QString endBefore =
            connector->endEndPoint()->arrow() ? connector->endEndPoint()->arrow()->ID() : QString();
        ASSERT_FALSE(startBefore.isEmpty() && endBefore.isEmpty());
        const QSizeF endSizeBefore = connector->endEndPoint()->arrow()
                                         ? connector->endEndPoint()->arrow()->size()
                                         : QSizeF();
        const QVariantMap skinBefore = connector->skinOptions();

        h.rightClick(connector);
        h.clickColumn(QStringLiteral("Connector Style"));
        const int depth = h.depth();
        const int index =
            row.thick
                ? c.strokeDashPopUpButton->findData(QntConnectorModeInspector::kFirstThickLineTag)
                : 2;
        ASSERT_GE(index, 0);
        h.choose(c.strokeDashPopUpButton, index);
        EXPECT_EQ(h.depth(), depth + 1);
        h.undoStep();
        EXPECT_EQ(startArrowId(*connector), startBefore);
        const QntConnectorArrow *end = connector->endEndPoint()->arrow();
        EXPECT_EQ(end ? end->ID() : QString(), endBefore);
        EXPECT_EQ(end ? end->size() : QSizeF(), endSizeBefore);
        EXPECT_EQ(connector->skinOptions().value(QStringLiteral("endArrowheadId")),
                  skinBefore.value(QStringLiteral("endArrowheadId")));
    }
}

// A connector drawn before any skin reached it draws the arrowhead of its own style; a body
// change and its undo leave that arrowhead drawn.
TEST(QntConnectorModeInspectorTest, UndoingABodyChangeKeepsTheOwnArrowheadOfAnUnskinnedConnector)
{
    for (const bool thick : {true, false}) {
        SCOPED_TRACE(thick ? "thick body" : "dashed line");
        Harness h(kSkinNotation);
        auto connector = h.connect(h.placeElement({150, 150}), h.placeElement({450, 150}));
        auto *own = static_cast<VRArrowStroke *>(
            connector->style()->renderersOfClass(VRArrowStroke::staticClass()).last().get());
        own->setArrowHeadAtEnd(1);
        connector->updateStyle();
        const QVariantMap skinBefore = connector->skinOptions();
        h.rightClick(connector);
        h.clickColumn(QStringLiteral("Connector Style"));
        const QntConnectorModeInspector::SkinControls &c = h.inspector->skinControls();
        const int index =
            thick ? c.strokeDashPopUpButton->findData(QntConnectorModeInspector::kFirstThickLineTag)
                  : 2;
        ASSERT_GE(index, 0);
        h.choose(c.strokeDashPopUpButton, index);
        h.undoStep();
        EXPECT_EQ(connector->skinOptions(), skinBefore);
        // Drawn by its own style again, with that style's end arrowhead.
        EXPECT_EQ(connector->shaftStyle(), connector->style());
        EXPECT_EQ(own->arrowHeadAtEnd(), 1);
    }
}

// The arrowhead lengths applied last reach a new connector as part of its skin, so a body
// change and its undo give the arrowheads back at those lengths.
TEST(QntConnectorModeInspectorTest, ANewConnectorKeepsTheLastAppliedLengthsInItsSkin)
{
    Harness h(kSkinNotation);
    h.inspector->setNewConnectorDelays(0.001, 0.002);
    const QntConnectorModeInspector::SkinControls &c = h.inspector->skinControls();
    auto other = h.connect(h.placeElement({150, 400}), h.placeElement({450, 400}));
    h.rightClick(other);
    h.clickColumn(QStringLiteral("Connector Style"));
    h.inspector->showStartArrowheadMatrixAction(c.startArrowheadPopupButton);
    h.inspector->menuItemSkinStartArrowheadAction(h.inspector->arrowheadMatrixIds().at(1));
    c.applyLengthToBothArrowsCheckbox->setChecked(true);
    h.inspector->startArrowheadSetLength(20);
    const QSizeF startSize = QntConnectorModeInspector::lastStartArrowheadSize();
    const QSizeF endSize = QntConnectorModeInspector::lastEndArrowheadSize();
    ASSERT_DOUBLE_EQ(startSize.height(), 20);
    ASSERT_DOUBLE_EQ(endSize.height(), 20);

    auto connector = h.newConnectorAsTheToolMakesIt();
    const auto sizes = [&connector] {
        const QntConnectorArrow *start = connector->startEndPoint()->arrow();
        const QntConnectorArrow *end = connector->endEndPoint()->arrow();
        return std::pair{start ? start->size() : QSizeF(), end ? end->size() : QSizeF()};
    };
    EXPECT_EQ(sizes(), std::pair(startSize, endSize));
    EXPECT_EQ(connector->skinOptions().value(QStringLiteral("startArrowheadSize")).toSizeF(),
              startSize);
    EXPECT_EQ(connector->skinOptions().value(QStringLiteral("endArrowheadSize")).toSizeF(),
              endSize);

    h.rightClick(connector);
    h.clickColumn(QStringLiteral("Connector Style"));
    const int thick =
        c.strokeDashPopUpButton->findData(QntConnectorModeInspector::kFirstThickLineTag);
    ASSERT_GE(thick, 0);
    h.choose(c.strokeDashPopUpButton, thick);
    h.undoStep();
    EXPECT_EQ(sizes(), std::pair(startSize, endSize));
}

TEST(QntConnectorModeInspectorTest, NewConnectorsColumnPointsAtTheRoutedEnd)
{
    qnt::test::UserDefaultsKeeper defaults;
    UserDefaults::standardUserDefaults().setBool(true, QntShowConnectorPopupMenuKey);
    Harness h(kSkinNotation);
    const auto a = h.placeElement({150, 150});
    const auto b = h.placeElement({450, 320});
    // Made as the Connector tool makes one: drawn towards the element's centre, attached, then
    // laid by the router on the next turn of the event loop.
    auto connector = std::make_shared<QntConnector>();
    connector->setStyle(VRStyle::create());
    connector->setEnds(a->location(), b->location());
    h.palette.layer()->addObject(connector);
    connector->startEndPoint()->attach(a, 1);
    connector->endEndPoint()->attach(b, 0);
    connector->setRouting(3);
    connector->updateStyle();
    connector->endsDidMove();
    h.palette.layer()->replaceSelectionWithObject(connector);
    NotificationCenter::defaultCenter().post(
        kQntDidCreateConnectorNotification, connector.get(),
        {{QStringLiteral("object"), QVariant::fromValue(VRObjectRef(connector))}});
    ASSERT_TRUE(h.inspector->attachedWindow());
    const QPointF shownAt = h.inspector->contextMenuPositionOnScreen();
    // The route as it stays.
    flushEvents();
    VRDrawingView &view = *h.palette.view;
    const QPointF routedEnd =
        AXScreen::fromGlobal(QPointF(view.mapToGlobal(view.mapFromDrawing(connector->endPoint()))));
    EXPECT_NEAR(shownAt.x(), routedEnd.x(), 1.0);
    EXPECT_NEAR(shownAt.y(), routedEnd.y(), 1.0);
    h.inspector->closeAttachedWindows();
    while (DelayedPerform::pendingPerformRequests(h.inspector.get()) > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

TEST(QntConnectorModeInspectorTest, TextEditorButtonClosesTheConnectorStyleWindow)
{
    // First, so it ends last: the text bar saves its settings when it closes.
    qnt::test::UserDefaultsKeeper defaults;
    Harness h(kSkinNotation);
    auto connector = h.connect(h.placeElement({150, 150}), h.placeElement({450, 150}));
    h.rightClick(connector);
    h.clickColumn(QStringLiteral("Connector Style"));
    ASSERT_TRUE(h.inspector->attachedConnectorStyleWindow());
    h.clickColumn(QStringLiteral("Text Editor"));
    ASSERT_NE(h.inspector->connectorTextEditor(), nullptr);
    EXPECT_NE(h.inspector->connectorTextEditor()->attachedWindow(), nullptr);
    EXPECT_FALSE(h.inspector->attachedConnectorStyleWindow());
    h.inspector->closeAttachedWindows();
}
