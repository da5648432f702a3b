#include "inspectors/GroupModeHarness.h"

#include "connectors/QntConnectorModeInspector.h"
#include "inspectors/AXAttachedWindow.h"
#include "inspectors/QntButtonCell.h"
#include "inspectors/QntColorWell.h"
#include "inspectors/QntDoubleSlider.h"
#include "platform/ColorPanel.h"
#include "style/WXGradientControl.h"

#include "framework/model/QntElementTable.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRColorStop.h"
#include "framework/styles/VRGradient.h"
#include "framework/styles/VRStroke.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QWindow>

#include "common/SharedStateKeepers.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using Set = QntGroupModeInspector::ConnectorSet;

QString arrows(const GroupModeHarness &h)
{
    QString s;
    for (const auto &c : h.connectors)
        s += GroupModeHarness::arrowAt(*c, true) + QLatin1Char('/')
             + GroupModeHarness::arrowAt(*c, false) + QLatin1Char('/')
             + QString::number(c->colorSchemeIdArrowKind(1)) + QLatin1Char('/')
             + QString::number(c->colorSchemeIdArrowKind(2)) + QLatin1Char('|');
    return s;
}

// The cell of an open arrowhead matrix that offers `id` (empty: "None").
QntButtonCell *matrixCell(AXAttachedWindow *matrix, const QString &id)
{
    if (!matrix)
        return nullptr;
    return matrix->findChild<QntButtonCell *>(id.isEmpty() ? QStringLiteral("none") : id);
}

// A drawing of four elements and three connectors; the last connector is made thick through
// the thin set's line menu, then everything is selected.
struct SetsHarness : GroupModeHarness {
    SetsHarness()
    {
        placeRow(4);
        select({connectors[2]});
        inspector->populateConnectorSets();
        QComboBox *line = inspector->connectorSetControls(Set::ThinSet).strokeDashPopUpButton;
        const int thick = line->findData(QntConnectorModeInspector::kFirstThickLineTag);
        if (thick >= 0) {
            line->setCurrentIndex(thick);
            inspector->strokeDashAction(Set::ThinSet);
        }
        selectAll();
        inspector->createGroupModeInspectorAtPoint({500, 400});
    }
};

} // namespace

TEST(QntGroupModeInspectorStyleTest, ArrowheadPicturesOfEachSetReachOnlyItsConnectorsInOneStep)
{
    SetsHarness h;
    ASSERT_TRUE(h.connectors[2]->ID().endsWith(QStringLiteral("Thick")));
    ASSERT_FALSE(h.connectors[0]->ID().endsWith(QStringLiteral("Thick")));
    AXAttachedWindow *panel = h.inspector->attachedWindow();
    ASSERT_NE(panel, nullptr);
    struct Case {
        Set set;
        bool start;
        std::vector<int> changed; // the connectors the choice must reach
    };
    for (const Case &c : {Case{Set::ThinSet, false, {0, 1}}, Case{Set::ThickSet, true, {2}}}) {
        SCOPED_TRACE(c.set == Set::ThinSet ? "thin" : "thick");
        const auto &controls = h.inspector->connectorSetControls(c.set);
        EXPECT_TRUE(controls.box->isEnabled());
        QntConnectorModeInspector *embedded = h.inspector->connectorInspector(c.set);
        h.inspector->arrowheadPopupButtonAction(c.set, c.start);
        AXAttachedWindow *matrix = embedded->arrowheadMatrixWindow();
        ASSERT_NE(matrix, nullptr);
        // The panel stays open while the matrix is up.
        EXPECT_EQ(h.inspector->waitingForClosingAttachedWindow(), matrix);
        EXPECT_FALSE(panel->closesOnResignKeyWindow());
        // Pictures, not names: every arrowhead cell carries an image.
        const QStringList offered = embedded->arrowheadMatrixIds();
        QString chosen;
        for (const QString &id : offered) {
            if (id.isEmpty())
                continue;
            QntButtonCell *cell = matrixCell(matrix, id);
            ASSERT_NE(cell, nullptr);
            EXPECT_FALSE(cell->icon().isNull()) << id.toStdString();
            bool worn = false;
            for (const auto &connector : h.connectors)
                worn |= GroupModeHarness::arrowAt(*connector, c.start) == id;
            if (chosen.isEmpty() && !worn)
                chosen = id;
        }
        ASSERT_FALSE(chosen.isEmpty());
        const QString before = arrows(h);
        const int depth = h.depth();
        matrixCell(matrix, chosen)->click();
        for (int k = 0; k < 3; ++k) {
            const bool reached =
                std::find(c.changed.begin(), c.changed.end(), k) != c.changed.end();
            EXPECT_EQ(GroupModeHarness::arrowAt(*h.connectors[k], c.start) == chosen, reached) << k;
        }
        EXPECT_EQ(h.depth(), depth + 1);
        // The matrix closed; the panel closes on losing focus again.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(h.inspector->waitingForClosingAttachedWindow(), nullptr);
        EXPECT_TRUE(panel->closesOnResignKeyWindow());
        h.undoStep();
        EXPECT_EQ(arrows(h), before);
    }
}

TEST(QntGroupModeInspectorStyleTest, ColourButtonsRecolourEveryThinConnectorInOneStep)
{
    for (const bool both : {false, true}) {
        SCOPED_TRACE(both ? "both ends" : "end only");
        SetsHarness h;
        const QntNotationRef notation = h.palette.drawing()->currentNotation();
        const auto schemes = notation->colorSchemesList();
        ASSERT_GE(schemes.size(), 2);
        const qint64 scheme = schemes.at(1).schemeId;
        QntConnectorModeInspector *thin = h.inspector->connectorInspector(Set::ThinSet);
        h.inspector->connectorSetControls(Set::ThinSet)
            .applyColorsToBothArrowsCheckbox->setChecked(both);
        h.inspector->showColorMatrixButtonAction(Set::ThinSet, 1);
        ASSERT_NE(thin->attachedWindowMatrixbar(), nullptr);
        EXPECT_EQ(h.inspector->waitingForClosingAttachedWindow(), thin->attachedWindowMatrixbar());
        EXPECT_FALSE(h.inspector->attachedWindow()->closesOnResignKeyWindow());
        const qint64 thickBefore = h.connectors[2]->colorSchemeIdArrowKind(2);
        const QString before = arrows(h);
        const int depth = h.depth();
        // What a swatch of the open popover hands on.
        thin->applyColorValue(QVariant::fromValue(scheme), false);
        for (int k : {0, 1}) {
            EXPECT_EQ(h.connectors[k]->colorSchemeIdArrowKind(2), scheme);
            EXPECT_EQ(h.connectors[k]->colorSchemeIdArrowKind(1) == scheme, both);
        }
        EXPECT_EQ(h.connectors[2]->colorSchemeIdArrowKind(2), thickBefore);
        EXPECT_EQ(h.depth(), depth + 1);
        h.undoStep();
        EXPECT_EQ(arrows(h), before);
        // Closing the panel closes the popover with it.
        h.inspector->closeAttachedWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(h.inspector->waitingForClosingAttachedWindow(), nullptr);
        EXPECT_EQ(thin->attachedWindowMatrixbar(), nullptr);
    }
}

namespace {

// The contour and fill of every part the simple style edits, element by element.
QString looks(const GroupModeHarness &h)
{
    QString s;
    for (const auto &e : h.elements) {
        VRObjectList parts = e->objectsWithPrefixId(QStringLiteral("p"));
        if (VRObjectRef contour = e->contourObject())
            parts.append(contour);
        for (const VRObjectRef &part : parts) {
            const VRStyleRef style = part->style();
            if (!style)
                continue;
            const VRStroke *stroke = style->stroke();
            const VRFill *fill = style->fill();
            s += QStringLiteral("%1,%2,%3,%4,%5;")
                     .arg(style->strokeWidth())
                     .arg(style->hasStroke() ? style->strokeColour().name(QColor::HexArgb)
                                             : QString())
                     .arg(stroke && stroke->shadow().has_value())
                     .arg(fill ? fill->colour().name(QColor::HexArgb) : QString())
                     .arg(fill && fill->gradient() ? fill->gradient()->countOfColorStops() : 0);
        }
        s += QLatin1Char('|');
    }
    return s;
}

const QString kCustomizable = QStringLiteral("Misc/CustomizableStyle.db");

} // namespace

TEST(QntGroupModeInspectorStyleTest, SimpleStyleReachesEverySelectedElementInOneStep)
{
    struct Case {
        const char *name;
        std::function<void(QntGroupModeInspector &)> act;
    };
    const Case cases[] = {
        {"contour width", [](QntGroupModeInspector &g) { g.simpleStyleContourWidthAction(5.5); }},
        {"contour colour",
         [](QntGroupModeInspector &g) { g.simpleStyleContourColorAction(QColor(200, 10, 10)); }},
        {"contour opacity",
         [](QntGroupModeInspector &g) { g.simpleStyleContourTransparencyAction(0.25); }},
        {"shadow", [](QntGroupModeInspector &g) { g.simpleStyleContourShadowAction(true); }},
        {"flat fill",
         [](QntGroupModeInspector &g) {
             g.simpleStyleControls().fillColorWell->setColor(QColor(10, 120, 30));
             g.simpleStyleFillColorAction();
         }},
        {"fill opacity",
         [](QntGroupModeInspector &g) { g.simpleStyleBackgroundTransparencyAction(0.4); }},
        {"linear fill",
         [](QntGroupModeInspector &g) {
             g.simpleStyleFillTypeAction(QntContextMenu::kLinearTwoColourFill);
         }},
        {"elliptical fill",
         [](QntGroupModeInspector &g) {
             g.simpleStyleFillTypeAction(QntContextMenu::kEllipticalFill);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        GroupModeHarness h(kCustomizable);
        h.placeRow(3);
        h.selectAll();
        const QStringList before = looks(h).split(QLatin1Char('|'));
        ASSERT_FALSE(before.first().isEmpty());
        const int depth = h.depth();
        c.act(*h.inspector);
        const QStringList after = looks(h).split(QLatin1Char('|'));
        for (int k = 0; k < 3; ++k)
            EXPECT_NE(after.at(k), before.at(k)) << k;
        EXPECT_EQ(h.depth(), depth + 1);
        h.undoStep();
        EXPECT_EQ(looks(h).split(QLatin1Char('|')), before);
    }
}

TEST(QntGroupModeInspectorStyleTest, FillKindShowsItsControlsAndOtherKindsChangeNothing)
{
    GroupModeHarness h(kCustomizable);
    h.placeRow(2);
    h.selectAll();
    const auto &c = h.inspector->simpleStyleControls();
    struct Case {
        int kind;
        bool end, middle, angle, stop, transparency;
    };
    const Case cases[] = {{QntContextMenu::kFlatFill, false, false, false, false, true},
                          {QntContextMenu::kLinearTwoColourFill, true, false, true, false, false},
                          {QntContextMenu::kLinearThreeColourFill, true, true, true, true, false},
                          {QntContextMenu::kEllipticalFill, true, false, false, false, false}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.kind);
        h.inspector->simpleStyleFillTypeAction(k.kind);
        EXPECT_EQ(c.fillTypesCombobox->currentData().toInt(), k.kind);
        EXPECT_FALSE(c.fillColorWell->isHidden());
        EXPECT_EQ(!c.gradientEndColorWell->isHidden(), k.end);
        EXPECT_EQ(!c.gradientMiddleColorWell->isHidden(), k.middle);
        EXPECT_EQ(!c.gradientAngleSlider->isHidden(), k.angle);
        EXPECT_EQ(!c.gradientAngleLabel->isHidden(), k.angle);
        EXPECT_EQ(!c.gradientColorStopPositionSlider->isHidden(), k.stop);
        EXPECT_EQ(!c.backgroundTransparencySlider->isHidden(), k.transparency);
    }
    // Flat again: the controls take the colour and opacity of the last selected element.
    h.select({h.elements[1]});
    h.inspector->simpleStyleFillTypeAction(QntContextMenu::kFlatFill);
    c.fillColorWell->setColor(QColor(0, 0, 255));
    c.backgroundTransparencySlider->setDoubleValue(0.5);
    h.inspector->simpleStyleFillColorAction();
    h.selectAll();
    h.inspector->simpleStyleControls().fillColorWell->setColor(Qt::red);
    h.inspector->simpleStyleFillTypeAction(QntContextMenu::kFlatFill);
    EXPECT_EQ(c.fillColorWell->color().rgb(), QColor(0, 0, 255).rgb());
    EXPECT_NEAR(c.backgroundTransparencySlider->doubleValue(), 0.5, 0.01);
    // A kind outside the four changes nothing and records nothing.
    const QString before = looks(h);
    const int depth = h.depth();
    h.inspector->simpleStyleFillTypeAction(7);
    EXPECT_EQ(looks(h), before);
    EXPECT_EQ(h.depth(), depth);
    EXPECT_EQ(c.fillTypesCombobox->currentData().toInt(), QntContextMenu::kFlatFill);
}

TEST(QntGroupModeInspectorStyleTest, CustomNotationsShowTheSimpleStyleAndOthersTheSchemes)
{
    for (const QString &notation : {kCustomizable, QStringLiteral("FlowChart/FlowChart.db")}) {
        SCOPED_TRACE(notation.toStdString());
        GroupModeHarness h(notation);
        const bool custom = h.palette.drawing()->currentNotation()->isCustomizable();
        EXPECT_EQ(notation == kCustomizable, custom);
        EXPECT_EQ(!h.inspector->simpleStyleControls().section->isHidden(), custom);
    }
}

TEST(QntGroupModeInspectorStyleTest, ThickBodyForEveryThinConnectorUndoesInOneStep)
{
    GroupModeHarness h;
    h.placeRow(3);
    h.selectAll();
    const QntNotationRef notation = h.palette.drawing()->currentNotation();
    const auto heads = notation->arrowheadsList(notation->defaultConnectorId());
    ASSERT_GE(heads.size(), 2);
    h.inspector->endArrowheadAction(heads.at(1).elementId);
    const QString before = arrows(h);
    const int depth = h.depth();
    QComboBox *line = h.inspector->connectorSetControls(Set::ThinSet).strokeDashPopUpButton;
    const int thick = line->findData(QntConnectorModeInspector::kFirstThickLineTag);
    ASSERT_GE(thick, 0);
    line->setCurrentIndex(thick);
    h.inspector->strokeDashAction(Set::ThinSet);
    for (const auto &c : h.connectors)
        EXPECT_TRUE(c->ID().endsWith(QStringLiteral("Thick")));
    EXPECT_TRUE(h.inspector->connectorSetControls(Set::ThickSet).box->isEnabled());
    EXPECT_EQ(h.depth(), depth + 1);
    h.undoStep();
    EXPECT_EQ(arrows(h), before);
    for (const auto &c : h.connectors)
        EXPECT_FALSE(c->ID().endsWith(QStringLiteral("Thick")));
}

TEST(QntGroupModeInspectorStyleTest, CustomConnectorsTakeTheLineControlsTogetherInOneStep)
{
    GroupModeHarness h(kCustomizable);
    h.placeRow(3);
    h.selectAll();
    QntConnectorModeInspector *thin = h.inspector->connectorInspector(Set::ThinSet);
    const auto &line = thin->connectorSimpleStyleControls();
    // The line controls stand in the connector pane in place of the skin sets.
    EXPECT_FALSE(line.colorWell->parentWidget()->isHidden());
    EXPECT_TRUE(h.inspector->connectorSetControls(Set::ThinSet).box->parentWidget()->isHidden());
    const auto widths = [&h] {
        QString s;
        for (const auto &c : h.connectors)
            s += QString::number(c->shaftStyle()->strokeWidth()) + QLatin1Char('|');
        return s;
    };
    const QString before = widths();
    const int depth = h.depth();
    thin->simpleStyleSetWidth(4.5);
    EXPECT_EQ(widths(), QStringLiteral("4.5|4.5|"));
    EXPECT_EQ(h.depth(), depth + 1);
    h.undoStep();
    EXPECT_EQ(widths(), before);
}

TEST(QntGroupModeInspectorStyleTest, APanelColourWellKeepsThePanelOpenUntilTheColourPanelCloses)
{
    GroupModeHarness h(QStringLiteral("Misc/CustomizableStyle.db"));
    h.placeRow(3);
    h.selectAll();
    h.inspector->createGroupModeInspectorAtPoint({500, 400});
    h.inspector->showGroupModeInspector();
    AXAttachedWindow *panel = h.inspector->attachedWindow();
    ASSERT_NE(panel, nullptr);
    QCoreApplication::processEvents();
    ASSERT_EQ(QGuiApplication::focusWindow(), panel->windowHandle());
    ColorPanel &colours = ColorPanel::sharedColorPanel();
    const bool showedAlpha = colours.showsAlpha();
    const QColor shown = colours.color();
    // The cell colour of the tables, the contour of the shapes, the connectors' line.
    for (const char *name :
         {"tableCellsColorWell", "simpleStyleContourColorWell", "simpleStyleColorWell"}) {
        SCOPED_TRACE(name);
        auto *well = panel->findChild<QntColorWell *>(QLatin1String(name));
        ASSERT_NE(well, nullptr);
        well->click();
        // The colour panel takes the focus; the panel stays.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(colours.isVisible());
        EXPECT_EQ(QGuiApplication::focusWindow(), colours.dialog()->windowHandle());
        ASSERT_EQ(h.inspector->attachedWindow(), panel);
        EXPECT_TRUE(panel->isVisible());
        EXPECT_FALSE(panel->closesOnResignKeyWindow());
        // Once the colour panel goes, the window system gives the focus to another window; the
        // panel takes it back and closes on losing it again.
        colours.orderOut();
        QWidget other;
        other.show();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(QGuiApplication::focusWindow(), panel->windowHandle());
        EXPECT_TRUE(panel->closesOnResignKeyWindow());
    }
    // Hiding the panel takes the colour panel that serves it away too.
    panel->findChild<QntColorWell *>(QStringLiteral("tableCellsColorWell"))->click();
    ASSERT_TRUE(colours.isVisible());
    h.inspector->closeAttachedWindows();
    EXPECT_FALSE(colours.isVisible());
    EXPECT_EQ(VKSpecialColorWell::currentWell(), nullptr);
    EXPECT_TRUE(panel->closesOnResignKeyWindow());
    QCoreApplication::processEvents();
    colours.setShowsAlpha(showedAlpha);
    colours.setColor(shown);
}

// Whoever takes the colour panel sets its opacity control: on for a gradient's stop, off for
// a flat fill's colour and a contour's colour (their opacity sliders set the opacity), on for the
// first colour of a gradient fill, whatever took the panel before.
TEST(QntGroupModeInspectorStyleTest, TheColourPanelOffersOpacityOnlyWhereTheColourNeedsIt)
{
    const qnt::test::ColorPanelKeeper keeper;
    GroupModeHarness h(QStringLiteral("Misc/CustomizableStyle.db"));
    h.placeRow(2);
    h.select({h.elements.front()});
    const QntGroupModeInspector::SimpleStyleControls &c = h.inspector->simpleStyleControls();
    WXGradientControl bar;
    bar.resize(222, 24);
    ColorPanel &colours = ColorPanel::sharedColorPanel();
    const auto flatFill = [&] {
        c.fillTypesCombobox->setCurrentIndex(
            c.fillTypesCombobox->findData(QntContextMenu::kFlatFill));
        emit c.fillTypesCombobox->activated(c.fillTypesCombobox->currentIndex());
    };
    const auto linearFill = [&] {
        c.fillTypesCombobox->setCurrentIndex(
            c.fillTypesCombobox->findData(QntContextMenu::kLinearTwoColourFill));
        emit c.fillTypesCombobox->activated(c.fillTypesCombobox->currentIndex());
    };
    const struct {
        const char *step;
        std::function<void()> take;
        bool offersOpacity;
    } steps[] = {
        {"a gradient stop", [&] { bar.setSelectedStop(bar.gradient()->colorStops().first()); },
         true},
        {"the flat fill's colour", [&] { c.fillColorWell->click(); }, false},
        {"a gradient stop again", [&] { bar.setSelectedStop(bar.gradient()->colorStops().last()); },
         true},
        {"the flat fill's colour again", [&] { c.fillColorWell->click(); }, false},
        {"the contour's colour", [&] { c.contourColorWell->click(); }, false},
        {"a gradient stop once more",
         [&] { bar.setSelectedStop(bar.gradient()->colorStops().first()); }, true},
        {"the contour's colour again", [&] { c.contourColorWell->click(); }, false},
        {"the flat fill's colour once more", [&] { c.fillColorWell->click(); }, false},
        {"the fill made a gradient while the panel serves it", linearFill, true},
        {"the fill made flat again", flatFill, false},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.step);
        s.take();
        EXPECT_EQ(colours.showsAlpha(), s.offersOpacity);
        EXPECT_EQ(colours.dialog()->testOption(QColorDialog::ShowAlphaChannel), s.offersOpacity);
    }
    EXPECT_TRUE(c.fillColorWell->isActive());
    VKSpecialColorWell::deactivateCurrentWell();
}

// The box's contour colour takes its opacity from the contour opacity slider, whether picked in
// the colour panel or given to the action.
TEST(QntGroupModeInspectorStyleTest, TheContourColourKeepsTheOpacityOfItsSlider)
{
    const qnt::test::ColorPanelKeeper keeper;
    GroupModeHarness h(kCustomizable);
    h.placeRow(2);
    h.select({h.elements[0], h.elements[1]});
    const QntGroupModeInspector::SimpleStyleControls &c = h.inspector->simpleStyleControls();
    c.contourTransparencySlider->setDoubleValue(0.3);
    h.inspector->simpleStyleContourTransparencyAction(0.3);
    const auto contour = [&](int k) {
        return h.elements[k]->contourObject()->style()->strokeColour();
    };
    ASSERT_NEAR(contour(1).alphaF(), 0.3, 1e-3);

    h.inspector->simpleStyleContourColorAction(QColor(200, 10, 10));
    c.contourColorWell->click();
    ASSERT_TRUE(c.contourColorWell->isActive());
    ColorPanel::sharedColorPanel().dialog()->setCurrentColor(QColor(10, 150, 10));
    VKSpecialColorWell::deactivateCurrentWell();
    for (int k : {0, 1}) {
        SCOPED_TRACE(k);
        EXPECT_EQ(contour(k).rgb(), QColor(10, 150, 10).rgb());
        EXPECT_NEAR(contour(k).alphaF(), 0.3, 1e-3);
    }
    EXPECT_NEAR(c.contourTransparencySlider->doubleValue(), 0.3, 1e-3);
    // Each colour is one step; undone, the first colour comes back with the same opacity.
    h.undoStep();
    EXPECT_EQ(contour(0).rgb(), QColor(200, 10, 10).rgb());
    EXPECT_NEAR(contour(0).alphaF(), 0.3, 1e-3);
}

TEST(QntGroupModeInspectorStyleTest, ShapeStyleReachesTheElementsAfterACellColourForAllCells)
{
    const std::function<void(QntGroupModeInspector &)> actions[] = {
        [](QntGroupModeInspector &g) { g.simpleStyleContourColorAction(QColor(200, 10, 10)); },
        [](QntGroupModeInspector &g) { g.simpleStyleContourWidthAction(5.5); },
        [](QntGroupModeInspector &g) {
            g.simpleStyleControls().fillColorWell->setColor(QColor(10, 120, 30));
            g.simpleStyleFillColorAction();
        },
    };
    for (const auto &act : actions) {
        GroupModeHarness h(kCustomizable);
        h.placeRow(2);
        auto table = QntElementTable::tableWithRows(2, 2, QSizeF(60, 30));
        table->setLocation(QPointF(300, 400));
        h.palette.layer()->addObject(table);
        h.select({h.elements[0], h.elements[1], h.connectors[0], table});
        h.inspector->tableApplyToAllCellsCheckbox()->setChecked(true);
        h.inspector->tableCellsColorWellAction(QColor(250, 20, 20));
        const QStringList before = looks(h).split(QLatin1Char('|'));
        act(*h.inspector);
        const QStringList after = looks(h).split(QLatin1Char('|'));
        EXPECT_NE(after.at(0), before.at(0));
        EXPECT_NE(after.at(1), before.at(1));
    }
}

TEST(QntGroupModeInspectorStyleTest, ShapeStyleBoxShowsTheStyleOfTheSelectedElement)
{
    GroupModeHarness h(kCustomizable);
    h.placeRow(3);
    const auto &c = h.inspector->simpleStyleControls();
    const double widths[] = {2.0, 5.0, 8.0};
    const QColor colours[] = {QColor(200, 10, 10), QColor(10, 150, 10), QColor(10, 10, 200)};
    const double original = h.elements[2]->contourObject()->style()->strokeWidth();
    ASSERT_GT(original, 0.0);
    for (int k = 0; k < 3; ++k) {
        h.select({h.elements[k]});
        h.inspector->simpleStyleContourColorAction(colours[k]);
        h.inspector->simpleStyleContourWidthAction(widths[k]);
    }
    const auto shows = [&](int k, double width) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(c.contourWidthSlider->doubleValue(), width, 0.05);
        EXPECT_NEAR(c.contourWidthSlider->maxValue(), h.elements[k]->size().width() * 0.25, 1e-9);
        EXPECT_EQ(c.contourColorWell->color().rgb(), colours[k].rgb());
        const VRFill *fill = h.elements[k]->contourObject()->style()->fill();
        ASSERT_NE(fill, nullptr);
        EXPECT_EQ(c.fillColorWell->color().rgb(), fill->colour().rgb());
    };
    const int depth = h.depth();
    // One element: its own style.
    h.select({h.elements[0]});
    shows(0, widths[0]);
    h.select({h.elements[1]});
    shows(1, widths[1]);
    // Several: the last selected element's, as the fill kinds read it.
    h.selectAll();
    shows(2, widths[2]);
    EXPECT_EQ(h.depth(), depth); // reading records nothing
    // An undo brings the box back with the element.
    h.undoStep();
    shows(2, original);
}
