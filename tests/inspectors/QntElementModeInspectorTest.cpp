#include "inspectors/QntElementModeInspector.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/AXScreen.h"
#include "inspectors/QntButtonMatrix.h"
#include "inspectors/QntColorWell.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntElementTextEditor.h"
#include "inspectors/QntTextFieldCell.h"

#include "library/PaletteTestSupport.h"
#include "library/ShapeImageCell.h"

#include "common/ButtonColumn.h"
#include "common/ScopeExit.h"

#include "framework/base/VRConstants.h"
#include "framework/model/QntElement.h"
#include "framework/styles/VRColorStop.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRGradient.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStrokeDash.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/ColorPanel.h"
#include "platform/KeyedArchiver.h"
#include "platform/NotificationCenter.h"
#include "common/SharedStateKeepers.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const QString kSkinNotation = QStringLiteral("FlowChart/FlowChart.db");
const QString kCustomizableNotation = QStringLiteral("Misc/CustomizableStyle.db");

void flushEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A document in a notation, shown in a view, with the element inspector following it.
struct InspectorHarness {
    explicit InspectorHarness(const QString &notation)
        : palette(notation)
    {
        VRInspectorBase::setMainDocumentOverride(palette.document.get());
        inspector =
            std::make_unique<QntElementModeInspector>(QStringLiteral("ElementModeInspector"));
    }
    ~InspectorHarness()
    {
        inspector.reset();
        VRInspectorBase::setMainDocumentOverride(nullptr);
        flushEvents();
    }

    VRObjectRef placeElement(QPointF at, int index = 0)
    {
        VRObjectRef element = palette.placeShape(at, index);
        palette.layer()->replaceSelectionWithObject(element);
        return element;
    }
    void rightClick(const VRObjectRef &object)
    {
        NotificationCenter::defaultCenter().post(
            kQntElementRightMouseUpNotification, object.get(),
            {{QStringLiteral("object"), QVariant::fromValue(object)}});
    }
    QStringList columnTitles() const { return qnt::test::columnTitles(*inspector->toolMatrix()); }
    void clickColumn(const QString &title)
    {
        qnt::test::clickColumn(*inspector->toolMatrix(), title);
    }
    VRStyle *contourStyle(const VRObjectRef &element) const
    {
        VRObjectRef contour = static_cast<QntElement *>(element.get())->contourObject();
        return contour ? contour->style().get() : nullptr;
    }
    VRUndoManager *undo() const { return palette.drawing()->undoManager(); }
    void type(QntTextFieldCell *field, const QString &text)
    {
        field->setText(text);
        field->setModified(true);
        emit field->editingFinished();
    }

    // First, so it ends last: the text bar saves its settings when it closes.
    qnt::test::UserDefaultsKeeper defaults;
    PaletteHarness palette;
    std::unique_ptr<QntElementModeInspector> inspector;
};

} // namespace

struct ColumnCase {
    QString notation;
    QStringList buttons;
};

class QntElementModeInspectorColumnTest : public testing::TestWithParam<ColumnCase>
{
};

TEST_P(QntElementModeInspectorColumnTest, RightClickShowsTheButtonsOfTheNotation)
{
    InspectorHarness h(GetParam().notation);
    const VRObjectRef element = h.placeElement({200, 150});
    h.rightClick(element);
    ASSERT_NE(h.inspector->attachedWindow(), nullptr);
    EXPECT_EQ(h.columnTitles(), GetParam().buttons);
    EXPECT_EQ(h.inspector->contextObject(), element);
    // A second right-click opens the element's text bar in place of the column.
    h.rightClick(element);
    EXPECT_EQ(h.inspector->attachedWindow(), nullptr);
    ASSERT_NE(h.inspector->elementTextEditor(), nullptr);
    EXPECT_NE(h.inspector->elementTextEditor()->attachedWindow(), nullptr);
    h.inspector->closeAttachedWindows();
}

INSTANTIATE_TEST_SUITE_P(
    Notations, QntElementModeInspectorColumnTest,
    testing::Values(ColumnCase{kCustomizableNotation,
                               {QStringLiteral("Connector"), QStringLiteral("Text Editor"),
                                QStringLiteral("Replace Element"),
                                QStringLiteral("Element Style")}},
                    ColumnCase{kSkinNotation,
                               {QStringLiteral("Connector"), QStringLiteral("Text Editor"),
                                QStringLiteral("Replace Element"), QStringLiteral("Contour Style"),
                                QStringLiteral("Color Palette"), QStringLiteral("Sticky Spot")}}));

TEST(QntElementModeInspectorTest, AGroupElementShowsTheButtonsOfItsNotationAndOrigin)
{
    const QStringList plain = {QStringLiteral("Connector"), QStringLiteral("Text Editor")};
    const struct {
        const char *name;
        QString notation;
        QString id;
        QStringList buttons;
    } cases[] = {
        {"skin notation", kSkinNotation, QStringLiteral("panel"),
         plain + QStringList{QStringLiteral("Color Palette")}},
        {"skin notation, imported stencil", kSkinNotation, QStringLiteral("panelIMPORTED"), plain},
        {"customizable notation", kCustomizableNotation, QStringLiteral("panel"), plain},
        {"customizable notation, imported stencil", kCustomizableNotation,
         QStringLiteral("panelIMPORTED"), plain},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        InspectorHarness h(c.notation);
        const VRObjectRef left = h.palette.shapeCopy({150, 150});
        const VRObjectRef right = h.palette.shapeCopy({300, 150});
        const auto group = QntElement::createWithObjects(
            {left, right}, c.id, left->bounds().united(right->bounds()).size());
        ASSERT_TRUE(group);
        group->setString(c.id, QStringLiteral("ID"));
        h.palette.layer()->addObject(group);
        h.palette.layer()->replaceSelectionWithObject(group);
        h.rightClick(group);
        ASSERT_NE(h.inspector->attachedWindow(), nullptr);
        EXPECT_EQ(h.columnTitles(), c.buttons);
        h.inspector->closeAttachedWindows();
    }
}

TEST(QntElementModeInspectorTest, ArrowTouchesTheElementAtEveryZoom)
{
    InspectorHarness h(kCustomizableNotation);
    const VRObjectRef element = h.placeElement({150, 120});
    for (double scale : {0.25, 1.0, 4.0}) {
        h.palette.view->setScale(scale);
        h.rightClick(element);
        AXAttachedWindow *column = h.inspector->attachedWindow();
        ASSERT_NE(column, nullptr);
        column->backgroundPath();
        const QRectF bounds = element->logicalBounds();
        const bool left = column->side() == 0 || column->side() == 4 || column->side() == 5;
        const QPointF edge(left ? bounds.left() : bounds.right(), bounds.center().y());
        const QPointF expected = AXScreen::fromGlobal(
            QPointF(h.palette.view->mapToGlobal(h.palette.view->mapFromDrawing(edge))));
        EXPECT_NEAR(column->arrowTipOnScreen().x(), expected.x(), 1.5) << "scale " << scale;
        EXPECT_NEAR(column->arrowTipOnScreen().y(), expected.y(), 1.5) << "scale " << scale;
        // The whole column stays on the screen.
        const QRectF screen = AXScreen::visibleFrameForPoint(expected);
        EXPECT_TRUE(screen.contains(column->frame())) << "scale " << scale;
        h.palette.layer()->deselectAll();
        EXPECT_EQ(h.inspector->attachedWindow(), nullptr);
        h.palette.layer()->replaceSelectionWithObject(element);
    }
}

TEST(QntElementModeInspectorTest, WideToolbarScrollsTheDrawingToMakeRoom)
{
    InspectorHarness h(kCustomizableNotation);
    VRDrawingView *view = h.palette.view.get();
    QScrollArea area;
    area.resize(700, 500);
    view->setScale(2.0);
    area.setWidget(view);
    const qnt::test::ScopeExit giveBack([&area] { area.takeWidget(); });
    area.show();
    const QRectF visible = view->visibleDrawingRect();
    const VRObjectRef element =
        h.placeElement({visible.right() - 120, visible.top() + visible.height() / 2});
    h.rightClick(element);
    AXAttachedWindow *column = h.inspector->attachedWindow();
    ASSERT_NE(column, nullptr);
    const auto centreOnScreen = [&] {
        const QPointF centre = element->logicalBounds().center();
        return AXScreen::fromGlobal(QPointF(view->mapToGlobal(view->mapFromDrawing(centre))));
    };
    column->backgroundPath();
    const QPointF tipBefore = column->arrowTipOnScreen();
    const QPointF anchor = column->point();
    const QPointF elementBefore = centreOnScreen();
    const QRectF frameBefore = column->frame();
    const QPointF centreBefore = view->centredPointInDocView();

    // A narrow toolbar fits: nothing moves.
    QWidget narrow;
    narrow.resize(40, 30);
    EXPECT_EQ(h.inspector->pointOfAttachedWindow(column, &narrow, anchor), anchor);
    EXPECT_EQ(view->centredPointInDocView(), centreBefore);

    QWidget wide;
    wide.resize(520, 30);
    const double right =
        std::min(h.inspector->totalScreensWidth(), AXScreen::visibleFrameForPoint(anchor).right());
    const double excess = anchor.x() + wide.width() + 12 - right;
    ASSERT_GT(excess, 20);
    const QPointF fitted = h.inspector->pointOfAttachedWindow(column, &wide, anchor);
    EXPECT_NEAR(fitted.x(), anchor.x() - excess, 1.5);
    EXPECT_EQ(fitted.y(), anchor.y());
    EXPECT_LE(fitted.x() + wide.width() + 12, right + 1.5);
    // The drawing, the column and its arrow moved left together.
    const double moved = anchor.x() - fitted.x();
    EXPECT_NEAR(centreOnScreen().x(), elementBefore.x() - moved, 0.5);
    EXPECT_NEAR(column->frame().left(), frameBefore.left() - moved, 0.5);
    column->backgroundPath();
    EXPECT_NEAR(column->arrowTipOnScreen().x(), tipBefore.x() - moved, 1.0);
    EXPECT_NEAR(column->arrowTipOnScreen().y(), tipBefore.y(), 1.0);
    EXPECT_EQ(h.inspector->attachedWindow(), column);
    h.inspector->closeAttachedWindows();
}

struct CloseCase {
    const char *name;
    std::function<void(InspectorHarness &, const VRObjectRef &)> close;
};

class QntElementModeInspectorCloseTest : public testing::TestWithParam<CloseCase>
{
};

TEST_P(QntElementModeInspectorCloseTest, EveryWindowCloses)
{
    InspectorHarness h(kCustomizableNotation);
    const VRObjectRef element = h.placeElement({200, 150});
    h.rightClick(element);
    h.clickColumn(QStringLiteral("Element Style"));
    ASSERT_NE(h.inspector->attachedSimpleStyleWindow(), nullptr);
    GetParam().close(h, element);
    EXPECT_EQ(h.inspector->attachedWindow(), nullptr);
    EXPECT_EQ(h.inspector->attachedSimpleStyleWindow(), nullptr);
    flushEvents();
    // Nothing is left that shows the element.
    for (QWidget *w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<AXAttachedWindow *>(w) && w->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Roads, QntElementModeInspectorCloseTest,
    testing::Values(
        CloseCase{"Escape",
                  [](InspectorHarness &h, const VRObjectRef &) {
                      QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                      QCoreApplication::sendEvent(h.inspector->simpleStyleView(), &escape);
                  }},
        CloseCase{"DocumentWindowMoved",
                  [](InspectorHarness &h, const VRObjectRef &) {
                      NotificationCenter::defaultCenter().post(kQntCloseAttachedWindowsNotification,
                                                               h.palette.document.get());
                  }},
        CloseCase{
            "EmptyCanvasClicked",
            [](InspectorHarness &h, const VRObjectRef &) { h.palette.layer()->deselectAll(); }},
        CloseCase{"ElementDeleted",
                  [](InspectorHarness &h, const VRObjectRef &) {
                      h.palette.layer()->deleteSelection();
                      EXPECT_EQ(h.inspector->contextObject(), nullptr);
                  }},
        CloseCase{"ElementMoved",
                  [](InspectorHarness &, const VRObjectRef &element) {
                      NotificationCenter::defaultCenter().post(kQntElementMovedNotification,
                                                               element.get());
                  }}),
    [](const testing::TestParamInfo<CloseCase> &info) { return info.param.name; });

TEST(QntElementModeInspectorTest, ContourChangesDrawAtOnceAndUndoInOneStep)
{
    InspectorHarness h(kCustomizableNotation);
    const VRObjectRef element = h.placeElement({200, 150});
    h.rightClick(element);
    h.clickColumn(QStringLiteral("Element Style"));
    const QntContextMenu::SimpleStyleControls &c = h.inspector->simpleStyleControls();
    VRStyle *style = h.contourStyle(element);
    ASSERT_NE(style, nullptr);
    const double width = style->strokeWidth();
    const QColor colour = style->strokeColour();
    flushEvents();

    h.type(c.contourWidthTextbox, QStringLiteral("0.2")); // drawing units: cm
    EXPECT_NEAR(style->strokeWidth(), h.palette.drawing()->convertLengthFromDrawingToBase(0.2),
                1e-9);
    flushEvents();
    h.type(c.contourTransparencyTextbox, QStringLiteral("50"));
    EXPECT_NEAR(style->strokeColour().alphaF(), 0.5, 1e-3);
    EXPECT_EQ(style->strokeColour().rgb(), colour.rgb());
    flushEvents();
    c.contourShadowCheckbox->click();
    EXPECT_TRUE(style->stroke()->shadow().has_value());
    flushEvents();

    h.undo()->undo();
    EXPECT_FALSE(style->stroke()->shadow().has_value());
    EXPECT_NEAR(style->strokeColour().alphaF(), 0.5, 1e-3);
    h.undo()->undo();
    EXPECT_EQ(style->strokeColour(), colour);
    h.undo()->undo();
    EXPECT_DOUBLE_EQ(style->strokeWidth(), width);
}

// The contour's opacity slider sets its opacity: the colour panel serving the contour well offers
// none, and a colour picked there keeps the slider's opacity, as the flat fill's well does.
TEST(QntElementModeInspectorTest, AContourColourPickedInTheColourPanelKeepsTheSlidersOpacity)
{
    const qnt::test::ColorPanelKeeper keeper;
    InspectorHarness h(kCustomizableNotation);
    const VRObjectRef element = h.placeElement({200, 150});
    h.rightClick(element);
    h.clickColumn(QStringLiteral("Element Style"));
    const QntContextMenu::SimpleStyleControls &c = h.inspector->simpleStyleControls();
    VRStyle *style = h.contourStyle(element);
    ASSERT_NE(style, nullptr);
    const qnt::test::ScopeExit release([] { VKSpecialColorWell::deactivateCurrentWell(); });
    h.type(c.contourTransparencyTextbox, QStringLiteral("40"));
    ASSERT_NEAR(style->strokeColour().alphaF(), 0.4, 1e-3);
    const QColor before = style->strokeColour();
    flushEvents();

    ColorPanel &panel = ColorPanel::sharedColorPanel();
    panel.setShowsAlpha(true); // whatever served the panel before
    c.contourColorWell->click();
    ASSERT_TRUE(c.contourColorWell->isActive());
    EXPECT_FALSE(panel.showsAlpha());
    EXPECT_FALSE(panel.dialog()->testOption(QColorDialog::ShowAlphaChannel));

    // Picked colours come whole, as the panel without an opacity field gives them.
    for (const QColor &picked : {QColor(10, 120, 200), QColor(250, 40, 0)}) {
        panel.dialog()->setCurrentColor(picked);
        EXPECT_EQ(style->strokeColour().rgb(), picked.rgb());
        EXPECT_NEAR(style->strokeColour().alphaF(), 0.4, 1e-3);
        EXPECT_NEAR(c.contourTransparencySlider->doubleValue(), 0.4, 1e-3);
        EXPECT_EQ(c.contourTransparencyTextbox->text(), QStringLiteral("40"));
    }
    flushEvents();
    // The opacity set after the colour applies to it.
    h.type(c.contourTransparencyTextbox, QStringLiteral("70"));
    EXPECT_EQ(style->strokeColour().rgb(), QColor(250, 40, 0).rgb());
    EXPECT_NEAR(style->strokeColour().alphaF(), 0.7, 1e-3);

    h.undo()->undo();
    EXPECT_EQ(style->strokeColour().rgb(), QColor(250, 40, 0).rgb());
    EXPECT_NEAR(style->strokeColour().alphaF(), 0.4, 1e-3);
    h.undo()->undo();
    EXPECT_EQ(style->strokeColour(), before);
}

TEST(QntElementModeInspectorTest, BadNumbersAreRefusedOrClamped)
{
    InspectorHarness h(kCustomizableNotation);
    const VRObjectRef element = h.placeElement({200, 150});
    h.rightClick(element);
    h.clickColumn(QStringLiteral("Element Style"));
    const QntContextMenu::SimpleStyleControls &c = h.inspector->simpleStyleControls();
    VRStyle *style = h.contourStyle(element);
    const double width = style->strokeWidth();
    const QString shown = c.contourWidthTextbox->text();
    for (const QString &bad : {QStringLiteral("abc"), QStringLiteral("-3"), QStringLiteral("")}) {
        h.type(c.contourWidthTextbox, bad);
        EXPECT_EQ(style->strokeWidth(), width) << bad.toStdString();
        EXPECT_EQ(c.contourWidthTextbox->text(), shown) << bad.toStdString();
    }
    h.type(c.contourWidthTextbox, QStringLiteral("1e12"));
    EXPECT_EQ(style->strokeWidth(), 1000.0);
    h.type(c.contourTransparencyTextbox, QStringLiteral("250"));
    EXPECT_DOUBLE_EQ(style->strokeColour().alphaF(), 1.0);
    h.type(c.contourTransparencyTextbox, QStringLiteral("x1"));
    EXPECT_EQ(c.contourTransparencyTextbox->text(), QStringLiteral("100"));
    h.type(c.backgroundTransparencyTextbox, QStringLiteral("-20"));
    EXPECT_DOUBLE_EQ(c.backgroundTransparencySlider->doubleValue(), 0.0);
}

TEST(QntElementModeInspectorTest, DashIsAppliedAndMarked)
{
    InspectorHarness h(kSkinNotation);
    const VRObjectRef element = h.placeElement({200, 150});
    h.rightClick(element);
    h.clickColumn(QStringLiteral("Contour Style"));
    const QntContextMenu::SimpleStyleControls &c = h.inspector->simpleStyleControls();
    EXPECT_TRUE(c.onlyContourModeCheckbox->isVisibleTo(h.inspector->simpleStyleView()));
    QComboBox *dashes = c.contourLineTypeCombobox;
    EXPECT_EQ(dashes->count(), 1 + VRStrokeDash::registeredDashes().size());
    EXPECT_EQ(dashes->itemText(0), QStringLiteral("Solid Line"));
    dashes->setCurrentIndex(3);
    h.inspector->simpleStyleContourLineTypeComboboxAction();
    const VRStroke *stroke = h.contourStyle(element)->stroke();
    ASSERT_TRUE(stroke->dash());
    EXPECT_TRUE(QntContextMenu::hasStroke(stroke, VRStrokeDash::registeredDashes().at(2).get()));
    dashes->setCurrentIndex(0);
    h.inspector->updateContourLineTypeMenuWithDashes(dashes);
    EXPECT_EQ(dashes->currentIndex(), 3);
}

TEST(QntElementModeInspectorTest, ContourStyleOffersTheContourOnlySwitchAndNoDefaults)
{
    InspectorHarness h(kSkinNotation);
    const VRObjectRef element = h.placeElement({200, 150});
    static_cast<QntElement *>(element.get())->setOnlyContourMode(true);
    h.rightClick(element);
    const QntContextMenu::SimpleStyleControls &c = h.inspector->simpleStyleControls();
    h.clickColumn(QStringLiteral("Contour Style"));
    EXPECT_FALSE(c.onlyContourModeCheckbox->isHidden());
    EXPECT_TRUE(c.onlyContourModeCheckbox->isChecked());
    EXPECT_TRUE(c.saveAsDefaultsPopupButton->isHidden());
    // Any other button brings the pop-up back for the toolbars that have defaults.
    h.clickColumn(QStringLiteral("Replace Element"));
    EXPECT_TRUE(c.onlyContourModeCheckbox->isHidden());
    EXPECT_FALSE(c.saveAsDefaultsPopupButton->isHidden());
}

TEST(QntElementModeInspectorTest, FillKindAndStopAreReadBackAfterSaveAndReopen)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("fill.quintora"));
    {
        InspectorHarness h(kCustomizableNotation);
        const VRObjectRef element = h.placeElement({200, 150});
        h.rightClick(element);
        h.clickColumn(QStringLiteral("Element Style"));
        const QntContextMenu::SimpleStyleControls &c = h.inspector->simpleStyleControls();
        c.gradientColorStopPositionSlider->setDoubleValue(0.25);
        c.fillTypesCombobox->setCurrentIndex(
            c.fillTypesCombobox->findData(QntContextMenu::kLinearThreeColourFill));
        h.inspector->simpleStyleFillTypeAction();
        const QList<VRRendererRef> fills =
            h.contourStyle(element)->renderersOfClass(VRFill::staticClass());
        ASSERT_EQ(fills.size(), 1); // never two fills
        const VRGradientRef gradient = static_cast<VRFill *>(fills.first().get())->gradient();
        ASSERT_TRUE(gradient);
        ASSERT_EQ(gradient->countOfColorStops(), 3);
        EXPECT_DOUBLE_EQ(gradient->colorStops().at(1)->position(), 0.25);
        EXPECT_TRUE(c.gradientMiddleColorWell->isVisibleTo(h.inspector->simpleStyleView()));
        EXPECT_FALSE(c.backgroundTransparencySlider->isVisibleTo(h.inspector->simpleStyleView()));
        ASSERT_TRUE(h.palette.document->writeToFile(path));
    }
    InspectorHarness h(QString{});
    ASSERT_TRUE(h.palette.document->readFromFile(path));
    const VRObjectList objects = h.palette.layer()->objects();
    ASSERT_EQ(objects.size(), 1);
    h.palette.layer()->replaceSelectionWithObject(objects.first());
    h.rightClick(objects.first());
    h.clickColumn(QStringLiteral("Element Style"));
    const QntContextMenu::SimpleStyleControls &c = h.inspector->simpleStyleControls();
    EXPECT_EQ(c.fillTypesCombobox->currentData().toInt(), QntContextMenu::kLinearThreeColourFill);
    EXPECT_EQ(c.gradientColorStopPositionTextbox->text(), QStringLiteral("25"));
}

TEST(QntElementModeInspectorTest, EllipticalAndFlatFills)
{
    InspectorHarness h(kCustomizableNotation);
    const VRObjectRef element = h.placeElement({200, 150});
    h.rightClick(element);
    h.clickColumn(QStringLiteral("Element Style"));
    const QntContextMenu::SimpleStyleControls &c = h.inspector->simpleStyleControls();
    c.fillTypesCombobox->setCurrentIndex(
        c.fillTypesCombobox->findData(QntContextMenu::kEllipticalFill));
    h.inspector->simpleStyleFillTypeAction();
    VRFill *fill = h.contourStyle(element)->fill();
    ASSERT_TRUE(fill && fill->gradient());
    EXPECT_EQ(fill->gradient()->gradientType(), 4);
    EXPECT_EQ(fill->gradient()->radialEndingRadius(), 1.0);

    c.fillTypesCombobox->setCurrentIndex(c.fillTypesCombobox->findData(QntContextMenu::kFlatFill));
    h.inspector->simpleStyleFillTypeAction();
    h.type(c.backgroundTransparencyTextbox, QStringLiteral("40"));
    fill = h.contourStyle(element)->fill();
    ASSERT_TRUE(fill);
    EXPECT_FALSE(fill->gradient());
    EXPECT_NEAR(fill->colour().alphaF(), 0.4, 1e-3);
    EXPECT_EQ(h.contourStyle(element)->renderersOfClass(VRFill::staticClass()).size(), 1);
}

TEST(QntElementModeInspectorTest, ReplaceElementSwapsInPlaceAsOneStep)
{
    InspectorHarness h(kCustomizableNotation);
    const VRObjectRef element = h.placeElement({200, 150}, 0);
    const QRectF frame = element->logicalBounds();
    flushEvents();
    h.rightClick(element);
    h.clickColumn(QStringLiteral("Replace Element"));
    ASSERT_NE(h.inspector->attachedReplaceElementWindow(), nullptr);
    QTreeWidget *outline = h.inspector->notationOutline();
    ASSERT_NE(outline, nullptr);
    // The window is as wide as the outline it shows.
    EXPECT_LE(h.inspector->attachedReplaceElementWindow()->width(), outline->width() + 30);
    QStringList groups;
    for (int i = 0; i < outline->topLevelItemCount(); ++i) {
        groups << outline->topLevelItem(i)->text(0);
        EXPECT_TRUE(outline->topLevelItem(i)->isExpanded());
        EXPECT_FALSE(h.inspector->outlineShouldSelectItem(outline->topLevelItem(i)));
    }
    EXPECT_TRUE(groups.contains(QStringLiteral("Shapes")));
    EXPECT_TRUE(groups.contains(QStringLiteral("Text")));
    QTreeWidgetItem *shapes = outline->topLevelItem(groups.indexOf(QStringLiteral("Shapes")));
    ASSERT_GE(shapes->childCount(), 2);
    EXPECT_TRUE(h.inspector->outlineShouldSelectItem(shapes->child(1)));
    const VRObjectList objects = h.palette.layer()->objects();
    ASSERT_EQ(objects.size(), 1);
    EXPECT_NE(objects.first(), element);
    EXPECT_EQ(objects.first()->logicalBounds().center(), frame.center());
    flushEvents();
    h.undo()->undo();
    ASSERT_EQ(h.palette.layer()->objects().size(), 1);
    EXPECT_EQ(h.palette.layer()->objects().first(), element);
    // A second press of the button closes the outline.
    h.palette.layer()->replaceSelectionWithObject(element);
    h.rightClick(element);
    h.clickColumn(QStringLiteral("Replace Element"));
    h.clickColumn(QStringLiteral("Replace Element"));
    EXPECT_EQ(h.inspector->attachedReplaceElementWindow(), nullptr);
}

TEST(QntElementModeInspectorTest, ReplaceElementGroupRowsOpenAndCloseFromTheirTriangle)
{
    InspectorHarness h(kCustomizableNotation);
    const VRObjectRef element = h.placeElement({200, 150}, 0);
    h.rightClick(element);
    h.clickColumn(QStringLiteral("Replace Element"));
    QTreeWidget *outline = h.inspector->notationOutline();
    ASSERT_NE(outline, nullptr);
    // Group rows are drawn by the shape cell, which puts a disclosure triangle before the title.
    EXPECT_NE(qobject_cast<ShapeImageCell *>(outline->itemDelegate()), nullptr);
    QTreeWidgetItem *group = outline->topLevelItem(0);
    ASSERT_NE(group, nullptr);
    ASSERT_TRUE(group->isExpanded());
    ASSERT_GT(group->childCount(), 0);
    const auto press = [&] {
        const QPoint at = outline->visualItemRect(group).center();
        QMouseEvent down(QEvent::MouseButtonPress, at, outline->viewport()->mapToGlobal(at),
                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(outline->viewport(), &down);
        QMouseEvent up(QEvent::MouseButtonRelease, at, outline->viewport()->mapToGlobal(at),
                       Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(outline->viewport(), &up);
    };
    press();
    EXPECT_FALSE(group->isExpanded());
    EXPECT_FALSE(group->isSelected());
    press();
    EXPECT_TRUE(group->isExpanded());
    EXPECT_EQ(h.palette.layer()->objects().first(), element);
}

TEST(QntElementModeInspectorTest, DocumentSectionShowsAndEditsTheSelectedElement)
{
    InspectorHarness h(kCustomizableNotation);
    std::unique_ptr<QWidget> section(
        QntElementModeInspector::makeSimpleStyleSection(h.palette.document.get()));
    auto *widthField =
        section->findChild<QntTextFieldCell *>(QStringLiteral("contourWidthTextbox"));
    ASSERT_NE(widthField, nullptr);
    QWidget *controls = widthField->parentWidget();
    EXPECT_FALSE(controls->isEnabled());
    const VRObjectRef element = h.placeElement({200, 150});
    EXPECT_TRUE(controls->isEnabled());
    VRStyle *style = h.contourStyle(element);
    EXPECT_NEAR(QLocale().toDouble(widthField->text()),
                h.palette.drawing()->convertLength(style->strokeWidth()), 0.01);
    h.type(widthField, QStringLiteral("0.1"));
    EXPECT_NEAR(style->strokeWidth(), h.palette.drawing()->convertLengthFromDrawingToBase(0.1),
                1e-9);
    h.palette.layer()->deselectAll();
    EXPECT_FALSE(controls->isEnabled());
}

TEST(QntElementModeInspectorTest, ADocumentSectionShowsAndEditsItsOwnDrawingWhileAnotherIsMain)
{
    InspectorHarness h(kCustomizableNotation);
    const VRObjectRef mainElement = h.placeElement({200, 150});
    const double mainWidth = h.contourStyle(mainElement)->strokeWidth();
    h.contourStyle(mainElement)->setStrokeWidth(mainWidth * 4);
    PaletteHarness other(kCustomizableNotation);
    std::unique_ptr<QWidget> section(
        QntElementModeInspector::makeSimpleStyleSection(other.document.get()));
    auto *widthField =
        section->findChild<QntTextFieldCell *>(QStringLiteral("contourWidthTextbox"));
    ASSERT_NE(widthField, nullptr);
    const VRObjectRef own = other.placeShape({200, 150}, 0);
    other.layer()->replaceSelectionWithObject(own);
    EXPECT_NEAR(QLocale().toDouble(widthField->text()),
                other.drawing()->convertLength(h.contourStyle(own)->strokeWidth()), 0.01);
    h.type(widthField, QStringLiteral("0.1"));
    EXPECT_NEAR(h.contourStyle(own)->strokeWidth(),
                other.drawing()->convertLengthFromDrawingToBase(0.1), 1e-9);
    EXPECT_DOUBLE_EQ(h.contourStyle(mainElement)->strokeWidth(), mainWidth * 4);
}

namespace {

QVariantMap storedStyle(int fillKind)
{
    return {
        {kQntCustomNotationElementContourColor,
         KeyedArchiver::archivedDataWithColor(QColor(200, 10, 20))},
        {kQntCustomNotationElementContouWidth, 3.0},
        {kQntCustomNotationElementLineType, 2},
        {kQntCustomNotationElementContourOpacity, 0.5},
        {kQntCustomNotationElementContourShadow, 1},
        {kQntCustomNotationElementBackgroundFill, fillKind},
        {kQntCustomNotationElementBackgroundColor1,
         KeyedArchiver::archivedDataWithColor(QColor(0, 0, 255))},
        {kQntCustomNotationElementBackgroundColor2,
         KeyedArchiver::archivedDataWithColor(QColor(0, 255, 0))},
        {kQntCustomNotationElementBackgroundColor3,
         KeyedArchiver::archivedDataWithColor(QColor(255, 255, 0))},
        {kQntCustomNotationElementBackgroundOpacity, 0.4},
        {kQntCustomNotationElementBackgroundGradientPosition, 0.25},
        {kQntCustomNotationElementBackgroundGradientAngle, 90.0},
    };
}

// What a stored style touches, read from the contour's style.
struct Look {
    double width;
    QRgb rgb;
    double alpha;
    bool shadow;
    bool dashed;
    int stops;
    bool operator==(const Look &) const = default;
};

Look lookOf(const VRStyle &style)
{
    const VRFill *fill = style.fill();
    return {style.strokeWidth(),
            style.strokeColour().rgb(),
            style.strokeColour().alphaF(),
            style.stroke() && style.stroke()->shadow().has_value(),
            style.stroke() && style.stroke()->dash() != nullptr,
            fill && fill->gradient() ? fill->gradient()->countOfColorStops() : 0};
}

} // namespace

TEST(QntElementModeInspectorTest, StoredStyleIsAppliedAsOneUndoStep)
{
    InspectorHarness h(kCustomizableNotation);
    const VRObjectRef element = h.placeElement({200, 150});
    const VRObjectRef other = h.placeElement({400, 150});
    // Both selected: the stored style still reaches only the element it is applied to.
    h.palette.layer()->exchangeSelectionWithObjectsFromArray({element, other});
    VRStyle *style = h.contourStyle(element);
    ASSERT_NE(style, nullptr);
    const Look before = lookOf(*style);
    const Look otherBefore = lookOf(*h.contourStyle(other));
    flushEvents();

    h.inspector->applyDefaultsToSimpleElement(storedStyle(QntContextMenu::kLinearThreeColourFill),
                                              element);
    EXPECT_FALSE(h.inspector->limitSelectedObjectForCurrentTargetToContextObject());
    EXPECT_EQ(h.inspector->contextObject(), element);
    EXPECT_DOUBLE_EQ(style->strokeWidth(), 3.0);
    EXPECT_EQ(style->strokeColour().rgb(), QColor(200, 10, 20).rgb());
    EXPECT_NEAR(style->strokeColour().alphaF(), 0.5, 1e-3);
    EXPECT_TRUE(style->stroke()->shadow().has_value());
    EXPECT_TRUE(
        QntContextMenu::hasStroke(style->stroke(), VRStrokeDash::registeredDashes().at(1).get()));
    ASSERT_EQ(style->renderersOfClass(VRFill::staticClass()).size(), 1);
    const VRGradientRef gradient = style->fill()->gradient();
    ASSERT_TRUE(gradient);
    ASSERT_EQ(gradient->countOfColorStops(), 3);
    EXPECT_EQ(gradient->colorStops().at(1)->color().rgb(), QColor(0, 255, 0).rgb());
    EXPECT_DOUBLE_EQ(gradient->colorStops().at(1)->position(), 0.25);
    EXPECT_DOUBLE_EQ(gradient->angleInDegrees(), 90.0);
    EXPECT_EQ(lookOf(*h.contourStyle(other)), otherBefore);
    const Look applied = lookOf(*style);
    flushEvents();

    h.undo()->undo();
    EXPECT_EQ(lookOf(*style), before);
    flushEvents();
    h.undo()->redo();
    EXPECT_EQ(lookOf(*style), applied);
    flushEvents();
    h.undo()->undo();
    EXPECT_EQ(lookOf(*style), before);
}

struct PartialCase {
    const char *name;
    std::function<void(QVariantMap &)> edit;
    std::function<void(const Look &before, const Look &after)> check;
};

class QntElementModeInspectorStoredStyleTest : public testing::TestWithParam<PartialCase>
{
};

TEST_P(QntElementModeInspectorStoredStyleTest, MissingOrBadValuesLeaveTheirPartAlone)
{
    InspectorHarness h(kCustomizableNotation);
    const VRObjectRef element = h.placeElement({200, 150});
    VRStyle *style = h.contourStyle(element);
    const Look before = lookOf(*style);
    QVariantMap stored = storedStyle(QntContextMenu::kFlatFill);
    GetParam().edit(stored);
    h.inspector->applyDefaultsToSimpleElement(stored, element);
    GetParam().check(before, lookOf(*style));
}

INSTANTIATE_TEST_SUITE_P(
    Dictionaries, QntElementModeInspectorStoredStyleTest,
    testing::Values(
        PartialCase{"Empty", [](QVariantMap &d) { d.clear(); },
                    [](const Look &b, const Look &a) { EXPECT_EQ(a, b); }},
        PartialCase{"NegativeLineType",
                    [](QVariantMap &d) { d[kQntCustomNotationElementLineType] = -2; },
                    [](const Look &b, const Look &a) { EXPECT_EQ(a.dashed, b.dashed); }},
        PartialCase{"LineTypeBeyondTheMenu",
                    [](QVariantMap &d) { d[kQntCustomNotationElementLineType] = 999; },
                    [](const Look &b, const Look &a) { EXPECT_EQ(a.dashed, b.dashed); }},
        PartialCase{
            "UnreadableColour",
            [](QVariantMap &d) { d[kQntCustomNotationElementContourColor] = QByteArray("junk"); },
            [](const Look &b, const Look &a) {
                EXPECT_EQ(a.rgb, b.rgb);
                EXPECT_DOUBLE_EQ(a.width, 3.0);
            }},
        PartialCase{"WidthAsText",
                    [](QVariantMap &d) {
                        d[kQntCustomNotationElementContouWidth] = QStringLiteral("wide");
                    },
                    [](const Look &b, const Look &a) { EXPECT_EQ(a.width, b.width); }},
        PartialCase{"UnknownFillKind",
                    [](QVariantMap &d) { d[kQntCustomNotationElementBackgroundFill] = 7; },
                    [](const Look &b, const Look &a) {
                        EXPECT_EQ(a.stops, b.stops);
                        EXPECT_TRUE(a.shadow);
                    }}),
    [](const testing::TestParamInfo<PartialCase> &info) { return info.param.name; });

TEST(QntElementModeInspectorTest, StyleOfOneElementCarriesOverToAnother)
{
    InspectorHarness h(kCustomizableNotation);
    const VRObjectRef source = h.placeElement({200, 150});
    const VRObjectRef target = h.placeElement({400, 150});
    h.inspector->applyDefaultsToSimpleElement(storedStyle(QntContextMenu::kFlatFill), source);
    h.inspector->setContextObject(source);
    const std::optional<QVariantMap> style = h.inspector->styleForContextObject();
    ASSERT_TRUE(style);
    EXPECT_EQ(style->value(kQntCustomNotationElementBackgroundFill).toInt(),
              QntContextMenu::kFlatFill);
    EXPECT_NEAR(style->value(kQntCustomNotationElementBackgroundOpacity).toDouble(), 0.4, 1e-3);
    h.inspector->applyDefaultsToSimpleElement(*style, target);
    EXPECT_EQ(lookOf(*h.contourStyle(target)), lookOf(*h.contourStyle(source)));
    const VRFill *fill = h.contourStyle(target)->fill();
    ASSERT_TRUE(fill);
    EXPECT_EQ(fill->colour().rgb(), QColor(0, 0, 255).rgb());
    EXPECT_NEAR(fill->colour().alphaF(), 0.4, 1e-3);
}

TEST(QntElementModeInspectorTest, RightClickInAWindowThatBecomesMainAfterItKeepsTheColumn)
{
    // Two documents; the first is main when the user right-clicks a shape in the second one's
    // window, whose document becomes main only after the click has shown the column.
    InspectorHarness h(kSkinNotation);
    PaletteHarness other(kSkinNotation);
    h.inspector->mainDocumentMayHaveChanged();
    const VRObjectRef element = other.placeShape({150, 120});
    other.layer()->replaceSelectionWithObject(element);
    h.rightClick(element);
    ASSERT_NE(h.inspector->attachedWindow(), nullptr);
    VRInspectorBase::setMainDocumentOverride(other.document.get());
    h.inspector->mainDocumentMayHaveChanged();
    EXPECT_NE(h.inspector->attachedWindow(), nullptr);
    EXPECT_EQ(h.inspector->contextObject(), element);
    // Going back to the first document closes what belongs to the second.
    VRInspectorBase::setMainDocumentOverride(h.palette.document.get());
    h.inspector->mainDocumentMayHaveChanged();
    EXPECT_EQ(h.inspector->attachedWindow(), nullptr);
}
