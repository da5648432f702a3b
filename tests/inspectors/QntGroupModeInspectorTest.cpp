#include "GroupModeHarness.h"

#include "inspectors/AXAttachedWindow.h"
#include "inspectors/QntButtonCell.h"
#include "inspectors/QntDoubleSlider.h"
#include "inspectors/QntSegmentedCell.h"
#include "connectors/QntConnectorModeInspector.h"
#include "platform/UserDefaults.h"
#include "app/common/QntConstants.h"

#include "library/PaletteTestSupport.h"

#include "common/TwoColourText.h"

#include "framework/archive/VRArchiver.h"
#include "framework/base/VRConstants.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntDirectlyDrawedElement.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/QntTextShape.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRTextShape.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/view/VRDrawingView.h"
#include "inspectors/QntColorMatrix.h"
#include "inspectors/QntElementTextEditor.h"
#include "platform/NotificationCenter.h"

#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace {

const QString kSkinNotation = QStringLiteral("FlowChart/FlowChart.db");

constexpr auto arrowAt = &GroupModeHarness::arrowAt;

// The group harness with the mixed selection most of these tests start from.
struct Harness : GroupModeHarness {
    Harness()
        : GroupModeHarness(kSkinNotation)
    {
    }
    std::shared_ptr<QntElement> placeElement(QPointF at, QSizeF size = QSizeF())
    {
        return GroupModeHarness::placeElement(at, 0, size);
    }
    // Three elements and two connectors between them, all selected.
    void placeMixedSelection()
    {
        for (int k = 0; k < 3; ++k) {
            elements.push_back(placeElement({150.0 + 200 * k, 150}));
            elements.back()->setTextFontSize(11);
        }
        connectors.push_back(connect(elements[0], elements[1]));
        connectors.push_back(connect(elements[1], elements[2]));
        selectAll();
    }
};

// What a change did to one object, as text, so that a state before and after compare at once.
using Snapshot = std::function<QString(const Harness &)>;

QString fonts(const Harness &h)
{
    QString s;
    for (const auto &e : h.elements)
        s += e->text() ? e->text()->font().toString() + QLatin1Char('|') : QStringLiteral("-|");
    for (const auto &c : h.connectors)
        s += c->font().toString() + QLatin1Char('|');
    return s;
}

QString schemes(const Harness &h)
{
    QString s;
    for (const auto &e : h.elements)
        s += QString::number(e->colorSchemeId()) + QLatin1Char('|');
    for (const auto &c : h.connectors)
        s += QString::number(c->colorSchemeId()) + QLatin1Char('|');
    return s;
}

QString arrows(const Harness &h)
{
    QString s;
    for (const auto &c : h.connectors)
        s += arrowAt(*c, true) + QLatin1Char('/') + arrowAt(*c, false) + QLatin1Char('|');
    return s;
}

QString routings(const Harness &h)
{
    QString s;
    for (const auto &c : h.connectors)
        s += QString::number(c->routing()) + QLatin1Char('|');
    return s;
}

QString textLooks(const Harness &h)
{
    QString s;
    for (const auto &e : h.elements)
        s += e->text() ? QStringLiteral("%1,%2,%3|")
                             .arg(e->text()->alignment())
                             .arg(e->text()->textBlock().colour().name())
                             .arg(e->text()->fontSize())
                       : QStringLiteral("-|");
    for (const auto &c : h.connectors)
        s += QStringLiteral("%1,%2,%3|")
                 .arg(c->alignment())
                 .arg(c->textColour().name())
                 .arg(c->font().pointSizeF());
    return s;
}

QString geometry(const Harness &h)
{
    QString s;
    for (const auto &e : h.elements)
        s += QStringLiteral("%1,%2,%3,%4|")
                 .arg(e->size().width())
                 .arg(e->size().height())
                 .arg(e->location().x())
                 .arg(e->location().y());
    return s;
}

} // namespace

TEST(QntGroupModeInspectorTest, EachChangeReachesEverySelectedObjectAndUndoesInOneStep)
{
    struct Case {
        const char *name;
        std::function<void(Harness &)> act;
        Snapshot snapshot;
        int changedObjects; // how many of the snapshot's fields must change
    };
    const Case cases[] = {
        {"font size", [](Harness &h) { h.inspector->elementFontSizeAction(QStringLiteral("23")); },
         fonts, 5},
        {"font family",
         [](Harness &h) { h.inspector->elementFontFamilyAction(QStringLiteral("DejaVu Serif")); },
         fonts, 5},
        {"bold", [](Harness &h) { h.inspector->elementFontTypefaceAction(true, false, false); },
         fonts, 5},
        {"connector font size",
         [](Harness &h) { h.inspector->connectorFontSizeAction(QStringLiteral("19")); }, fonts, 2},
        {"colour scheme",
         [](Harness &h) {
             const auto list = h.palette.drawing()->currentNotation()->colorSchemesList();
             ASSERT_GE(list.size(), 2);
             h.inspector->colorMatrixAction(list.at(1).schemeId);
         },
         schemes, 5},
        {"end arrowhead",
         [](Harness &h) {
             const QntNotationRef notation = h.palette.drawing()->currentNotation();
             const auto heads = notation->arrowheadsList(notation->defaultConnectorId());
             ASSERT_GE(heads.size(), 2);
             QString id = heads.at(1).elementId;
             if (id == arrowAt(*h.connectors[0], false))
                 id = heads.at(0).elementId;
             h.inspector->endArrowheadAction(id);
         },
         arrows, 2},
        {"routing", [](Harness &h) { h.inspector->changeConnectorTypeAction(3); }, routings, 2},
        {"width", [](Harness &h) { h.inspector->widthAction(QStringLiteral("77")); }, geometry, 3},
        {"alignment", [](Harness &h) { h.inspector->elementAlignAction(2); }, textLooks, 5},
        {"connector alignment", [](Harness &h) { h.inspector->connectorAlignAction(2); }, textLooks,
         2},
        {"text colour",
         [](Harness &h) { h.inspector->elementTextColorAction(QColor(200, 20, 40)); }, textLooks,
         5},
        {"connector text colour",
         [](Harness &h) { h.inspector->connectorTextColorAction(QColor(200, 20, 40)); }, textLooks,
         2},
        {"size menu", [](Harness &h) { EXPECT_TRUE(h.inspector->elementFontSizeMenuAction(36)); },
         textLooks, 5},
        {"connector size menu",
         [](Harness &h) { EXPECT_TRUE(h.inspector->connectorFontSizeMenuAction(36)); }, textLooks,
         2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.placeMixedSelection();
        const QString before = c.snapshot(h);
        const QStringList beforeFields = before.split(QLatin1Char('|'));
        const int depth = h.depth();
        c.act(h);
        const QStringList after = c.snapshot(h).split(QLatin1Char('|'));
        int changed = 0;
        for (int k = 0; k < after.size(); ++k)
            changed += after.at(k) != beforeFields.at(k) ? 1 : 0;
        EXPECT_EQ(changed, c.changedObjects);
        EXPECT_EQ(h.depth(), depth + 1);
        h.undoStep();
        EXPECT_EQ(c.snapshot(h), before);
    }
}

TEST(QntGroupModeInspectorTest, LengthsAreTypedInTheDrawingsUnitsAndBadInputChangesNothing)
{
    Harness h;
    h.placeMixedSelection();
    ASSERT_TRUE(
        h.palette.drawing()->setDrawingUnits(QStringLiteral("Millimetres"), 2.8346456692913));
    EXPECT_DOUBLE_EQ(h.inspector->unitConversionFactor(), 2.8346456692913);
    EXPECT_TRUE(h.inspector->widthAction(QStringLiteral("40")));
    for (const auto &e : h.elements)
        EXPECT_NEAR(e->size().width(), 113.39, 0.005);

    const QString before = geometry(h);
    const int depth = h.depth();
    for (const char *typed : {"abc", "", "-5", "0", "1e400", "nan", "inf"}) {
        SCOPED_TRACE(typed);
        EXPECT_FALSE(h.inspector->widthAction(QString::fromLatin1(typed)));
        EXPECT_FALSE(h.inspector->messageLabel()->text().isEmpty());
        EXPECT_FALSE(h.inspector->heightAction(QString::fromLatin1(typed)));
        EXPECT_EQ(geometry(h), before);
        EXPECT_EQ(h.depth(), depth);
    }
    // Positions may be negative, and count from the margins.
    EXPECT_FALSE(h.inspector->xCenterAction(QStringLiteral("abc")));
    EXPECT_TRUE(h.inspector->xCenterAction(QStringLiteral("0")));
    for (const auto &e : h.elements)
        EXPECT_DOUBLE_EQ(e->location().x(), h.palette.drawing()->leftMargin());

    // Apply Size checks both fields before changing either.
    h.inspector->widthTextbox()->setText(QStringLiteral("20"));
    h.inspector->heightTextbox()->setText(QStringLiteral("abc"));
    const QString beforeApply = geometry(h);
    EXPECT_FALSE(h.inspector->applyDimensionAction());
    EXPECT_EQ(geometry(h), beforeApply);
    h.inspector->heightTextbox()->setText(QString());
    const int beforeDepth = h.depth();
    EXPECT_TRUE(h.inspector->applyDimensionAction());
    EXPECT_EQ(h.depth(), beforeDepth + 1);
    for (const auto &e : h.elements)
        EXPECT_NEAR(e->size().width(), 56.69, 0.005);
}

TEST(QntGroupModeInspectorTest, SizesAndPlacesThatWouldLeaveTheDrawingChangeNoShape)
{
    Harness h;
    h.placeRow(2);
    h.palette.drawing()->setDrawingUnits(QStringLiteral("Pixels"), 1.0);
    const double far = VRDrawing::kMaximumCoordinate;
    // The right element's right and bottom edges 10 points short of the farthest coordinate;
    // a size keeps the centre, so 20 more points reach the limit.
    const auto &right = h.elements[1];
    const QSizeF size = right->size();
    right->setLocation({far - 10 - size.width() / 2, far - 10 - size.height() / 2});
    VRObjectList both;
    for (const auto &e : h.elements)
        both.append(e);
    h.select(both);
    const QString w = QString::number(size.width());
    const QString wider = QString::number(size.width() + 18);
    const QString tooWide = QString::number(size.width() + 22);
    const QString tooHigh = QString::number(size.height() + 22);
    struct Case {
        const char *name;
        QPointF margins; // left and top
        std::function<bool(Harness &)> act;
        bool refused;
    };
    const Case cases[] = {
        {"a width short of the limit",
         {},
         [&](Harness &x) { return x.inspector->widthAction(wider); },
         false},
        {"a width beyond the limit",
         {},
         [&](Harness &x) { return x.inspector->widthAction(tooWide); },
         true},
        {"both sizes, the height beyond",
         {},
         [&](Harness &x) {
             x.inspector->widthTextbox()->setText(wider);
             x.inspector->heightTextbox()->setText(tooHigh);
             return x.inspector->applyDimensionAction();
         },
         true},
        {"a place from a far margin",
         {far - 100, 0},
         [](Harness &x) { return x.inspector->xCenterAction(QStringLiteral("500")); },
         true},
        {"both places, the second beyond",
         {0, far - 400},
         [](Harness &x) {
             x.inspector->xCenterTextbox()->setText(QStringLiteral("0"));
             x.inspector->yCenterTextbox()->setText(QStringLiteral("600"));
             return x.inspector->applyLocationAction();
         },
         true},
        {"both places within",
         {0, far - 400},
         [](Harness &x) {
             x.inspector->xCenterTextbox()->setText(QStringLiteral("0"));
             x.inspector->yCenterTextbox()->setText(QStringLiteral("-600"));
             return x.inspector->applyLocationAction();
         },
         false},
        {"each element four times its size",
         {},
         [](Harness &x) {
             x.inspector->resizeEachElement(4.0);
             return x.depth() > 0;
         },
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        h.palette.drawing()->setMarginsLeft(c.margins.x(), c.margins.y(), 0, 0);
        h.undo()->closeOpenGroups();
        h.undo()->removeAllActions();
        h.inspector->messageLabel()->clear();
        const QString before = geometry(h);
        const bool changed = c.act(h);
        EXPECT_EQ(changed, !c.refused);
        EXPECT_EQ(h.depth(), c.refused ? 0 : 1);
        if (c.refused) {
            EXPECT_EQ(geometry(h), before);
            EXPECT_EQ(h.inspector->messageLabel()->text(), VRDrawing::objectsTooFarOutMessage());
        } else {
            h.undoStep();
            EXPECT_EQ(geometry(h), before);
        }
        for (const auto &e : h.elements)
            EXPECT_TRUE(e->fitsTheDrawing());
    }
    EXPECT_EQ(w, QString::number(right->size().width()));
}

TEST(QntGroupModeInspectorTest, UnitNamesOutsideTheTableCountAsPoints)
{
    Harness h;
    const std::pair<const char *, double> cases[] = {{"Pixels", 1.0},
                                                     {"Picas", 12.0},
                                                     {"Inches", 72.0},
                                                     {"Centimetres", 28.346456692913},
                                                     {"Metres", 2834.6456692913},
                                                     {"Kilometres", 28346.456692913}};
    for (const auto &[name, factor] : cases) {
        h.palette.drawing()->setDrawingUnits(QString::fromLatin1(name), factor);
        EXPECT_DOUBLE_EQ(h.inspector->unitConversionFactor(), factor) << name;
    }
}

TEST(QntGroupModeInspectorTest, ResizeToLargestTakesTheLargestWidthAndTheLargestHeight)
{
    Harness h;
    h.elements.push_back(h.placeElement({100, 100}, {10, 50}));
    h.elements.push_back(h.placeElement({300, 100}, {40, 20}));
    h.elements.push_back(h.placeElement({500, 100}, {30, 60}));
    h.selectAll();
    const int depth = h.depth();
    h.inspector->resizeToLargest();
    EXPECT_EQ(h.depth(), depth + 1);
    const QntNotationRef notation = h.palette.drawing()->currentNotation();
    for (const auto &e : h.elements) {
        const QSizeF expected =
            notation->proportionalReziseForElementId(e->ID()) ? QSizeF(60, 60) : QSizeF(40, 60);
        EXPECT_EQ(e->size(), expected);
    }
    h.undoStep();
    EXPECT_EQ(h.elements[0]->size(), QSizeF(10, 50));
    EXPECT_EQ(h.elements[1]->size(), QSizeF(40, 20));

    // Nothing selected: nothing resized and nothing recorded.
    h.palette.layer()->deselectAll();
    const int emptyDepth = h.depth();
    h.inspector->resizeToLargest();
    EXPECT_EQ(h.depth(), emptyDepth);
}

TEST(QntGroupModeInspectorTest, ActionsWorkOnTheSelectionAsItIsNowNeverOnDeletedObjects)
{
    Harness h;
    h.placeMixedSelection();
    // Part of the selection deleted while the panel is open.
    const std::shared_ptr<QntElement> deleted = h.elements[2];
    const double deletedSize = deleted->text() ? deleted->text()->fontSize() : 0.0;
    h.palette.layer()->removeObject(deleted);
    h.elements.pop_back();
    EXPECT_FALSE(h.palette.layer()->isSelectedObject(*deleted));
    h.inspector->elementFontSizeAction(QStringLiteral("31"));
    for (const auto &e : h.elements)
        EXPECT_DOUBLE_EQ(e->text()->fontSize(), 31.0);
    EXPECT_EQ(deleted->text() ? deleted->text()->fontSize() : 0.0, deletedSize);

    // Selecting and deselecting quickly: the panel follows the selection of each moment.
    for (int k = 0; k < 20; ++k) {
        h.palette.layer()->replaceSelectionWithObject(h.elements[size_t(k % 2)]);
        h.palette.layer()->deselectAll();
    }
    h.palette.layer()->replaceSelectionWithObject(h.elements[1]);
    h.inspector->elementFontSizeAction(QStringLiteral("12"));
    EXPECT_DOUBLE_EQ(h.elements[0]->text()->fontSize(), 31.0);
    EXPECT_DOUBLE_EQ(h.elements[1]->text()->fontSize(), 12.0);
}

TEST(QntGroupModeInspectorTest, RoutingLeavesElementsAndConnectorsInAnotherModeAlone)
{
    Harness h;
    h.placeMixedSelection();
    h.connectors[1]->setMode(1);
    const int otherRouting = h.connectors[1]->routing();
    const int firstRouting = h.connectors[0]->routing();
    h.inspector->changeConnectorTypeAction(1);
    EXPECT_NE(h.connectors[0]->routing(), firstRouting);
    EXPECT_EQ(h.connectors[1]->routing(), otherRouting);
    // Tags outside the table change nothing and record nothing.
    const int depth = h.depth();
    const QString before = routings(h);
    for (int tag : {0, 5, 12, -1, 99})
        h.inspector->changeConnectorTypeAction(tag);
    EXPECT_EQ(routings(h), before);
    EXPECT_EQ(h.depth(), depth);
}

TEST(QntGroupModeInspectorTest, TheRoutingMenuShowsTheFirstRoutedConnectorsRouting)
{
    Harness h;
    h.placeMixedSelection();
    h.connectors[0]->makeCurve();
    h.connectors[1]->makeZigZag();
    h.selectAll();
    auto *menu = h.inspector->mainView()->findChild<QComboBox *>(QStringLiteral("connectorType"));
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isEnabled());
    EXPECT_EQ(menu->currentData().toInt(), 2);
    // Choosing a routing changes every connector, and the menu keeps showing the choice.
    const int straight = menu->findData(4);
    ASSERT_GE(straight, 0);
    menu->setCurrentIndex(straight);
    emit menu->activated(straight);
    EXPECT_EQ(menu->currentData().toInt(), 4);
    EXPECT_EQ(QntConnectorModeInspector::routingTagForConnector(*h.connectors[1]), 4);
    // A connector the menu does not route is not what it shows; with none to route it is off.
    h.connectors[0]->setMode(1);
    h.connectors[1]->makeZigZag();
    h.select({h.connectors[0], h.connectors[1]});
    EXPECT_EQ(menu->currentData().toInt(), 1);
    h.select({h.elements[0], h.connectors[0]});
    EXPECT_FALSE(menu->isEnabled());
    EXPECT_EQ(menu->currentIndex(), -1);
}

// The floating panel's labels are light on its dark ground; a document window's sections show
// the same panes on the window's light ground, with the labels' ordinary colour.
TEST(QntGroupModeInspectorTest, LabelsAreLightOnTheFloatingPanelOnly)
{
    Harness h;
    QntGroupModeInspector owned(VREmbedded{}, nullptr, h.palette.drawing());
    const struct {
        QntGroupModeInspector *inspector;
        bool light;
    } cases[] = {{h.inspector.get(), true}, {&owned, false}};
    for (const auto &c : cases) {
        const QList<QLabel *> labels = c.inspector->textSectionView()->findChildren<QLabel *>();
        ASSERT_FALSE(labels.isEmpty());
        for (QLabel *label : labels) {
            label->ensurePolished();
            EXPECT_EQ(label->palette().color(QPalette::WindowText) == QColor(Qt::white), c.light)
                << label->text().toStdString();
        }
    }
}

TEST(QntGroupModeInspectorTest, AWindowsOwnInspectorShowsItsOwnDrawingWhicheverDocumentIsMain)
{
    // The main document has connectors selected; another window's drawing has none.
    Harness h;
    h.placeMixedSelection();
    PaletteHarness other(kSkinNotation);
    const auto a = other.placeShape({150, 150}, 0);
    const auto b = other.placeShape({350, 150}, 0);
    const auto link = other.connectWithArrow(a, b);
    link->makeZigZag();
    other.layer()->exchangeSelectionWithObjectsFromArray({a});
    QntGroupModeInspector owned(VREmbedded{}, nullptr, other.drawing());
    owned.mainView();
    owned.populateControlsForDrawing(other.drawing());
    auto *thin = owned.mainView()->findChild<QWidget *>(QStringLiteral("thinConnectors"));
    auto *routing = owned.mainView()->findChild<QComboBox *>(QStringLiteral("connectorType"));
    ASSERT_NE(thin, nullptr);
    ASSERT_NE(routing, nullptr);
    h.selectAll();
    EXPECT_FALSE(thin->isEnabled());
    EXPECT_FALSE(routing->isEnabled());
    // Its own connector shows when it is selected there.
    other.layer()->exchangeSelectionWithObjectsFromArray({a, link});
    EXPECT_TRUE(thin->isEnabled());
    EXPECT_EQ(routing->currentData().toInt(), 1);
}

TEST(QntGroupModeInspectorTest, PanelOpensOnceKeepsItsTopEdgeAndReopensWhereItWas)
{
    Harness h;
    h.placeMixedSelection();
    h.inspector->createGroupModeInspectorAtPoint({400, 300});
    AXAttachedWindow *window = h.inspector->attachedWindow();
    ASSERT_NE(window, nullptr);
    h.inspector->createGroupModeInspectorAtPoint({10, 10});
    EXPECT_EQ(h.inspector->attachedWindow(), window);
    EXPECT_EQ(h.inspector->shownPaneTag(), QntGroupModeInspector::ElementText);
    for (int tag : {QntGroupModeInspector::ConnectorStyle, QntGroupModeInspector::TableStyle,
                    QntGroupModeInspector::ElementColor}) {
        h.inspector->selectPaneWithTag(tag);
        EXPECT_EQ(h.inspector->shownPaneTag(), tag);
        EXPECT_EQ(h.inspector->segControl()->selectedTag(), tag);
    }
    // Closed by losing focus: the next opening is where the panel was, not the computed point.
    const QPointF where = window->point();
    window->closePopover();
    EXPECT_EQ(h.inspector->attachedWindow(), nullptr);
    EXPECT_EQ(h.inspector->lastAttachedPoint(), where);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    h.inspector->createGroupModeInspectorAtPoint({10, 10});
    ASSERT_NE(h.inspector->attachedWindow(), nullptr);
    EXPECT_EQ(h.inspector->attachedWindow()->point(), where);
    // The pane view survived the first window.
    EXPECT_EQ(h.inspector->shownPaneTag(), QntGroupModeInspector::ElementColor);
}

TEST(QntGroupModeInspectorTest, SegmentedCellTakesTwoStylesAndNarrowsTheLastImageSegment)
{
    QntSegmentedCell cell;
    cell.resize(303, 26);
    for (int tag = 0; tag < 3; ++tag)
        cell.addSegment(QStringLiteral("Pane %1").arg(tag), tag);
    EXPECT_TRUE(cell.hasText());
    cell.setSegmentStyle(2);
    EXPECT_EQ(cell.segmentStyle(), QntSegmentedCell::kRounded);
    cell.setSegmentStyle(QntSegmentedCell::kSmallSquare);
    EXPECT_EQ(cell.segmentStyle(), QntSegmentedCell::kSmallSquare);
    EXPECT_EQ(cell.outlineRect(), QRectF(1.5, 0.5, 300, 23));
    EXPECT_DOUBLE_EQ(cell.rectForSegment(1).x(), 101.5);
    EXPECT_TRUE(cell.selectSegmentWithTag(2));
    EXPECT_EQ(cell.selectedSegment(), 2);
    EXPECT_FALSE(cell.selectSegmentWithTag(7));
    EXPECT_EQ(cell.selectedSegment(), 2);

    QntSegmentedCell images;
    images.addSegment(QString(), 0, QIcon());
    EXPECT_FALSE(images.hasText());
    // Rendering covers the whole control without a crash in both styles.
    QImage picture(303, 26, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    cell.render(&picture);
    EXPECT_NE(picture.pixel(50, 12), 0u);
}

TEST(QntGroupModeInspectorTest, FontChangesReachTextWhoseRunsCarryTheirOwnFont)
{
    Harness h;
    h.placeMixedSelection();
    for (const auto &e : h.elements)
        e->setTextContent(QTextDocumentFragment::fromHtml(
            QStringLiteral("<span style=\"font-size:14pt; font-family:'DejaVu Sans'; "
                           "color:#000000\">Step</span>")));
    h.undo()->closeOpenGroups();
    const auto firstRun = [](const QntElement &e) {
        QTextDocument document;
        QTextCursor(&document).insertFragment(e.textContent());
        QTextCursor at(&document);
        at.setPosition(1);
        return at.charFormat();
    };
    h.inspector->elementFontSizeAction(QStringLiteral("24"));
    h.inspector->elementFontTypefaceAction(true, false, false);
    EXPECT_TRUE(h.inspector->elementTextColorAction(QColor(0, 128, 0)));
    for (const auto &e : h.elements) {
        EXPECT_DOUBLE_EQ(firstRun(*e).fontPointSize(), 24.0);
        EXPECT_GE(firstRun(*e).fontWeight(), QFont::Bold);
        EXPECT_EQ(firstRun(*e).foreground().color(), QColor(0, 128, 0));
    }
    h.undoStep();
    for (const auto &e : h.elements)
        EXPECT_EQ(firstRun(*e).foreground().color(), QColor(Qt::black));
    h.undoStep();
    h.undoStep();
    for (const auto &e : h.elements)
        EXPECT_DOUBLE_EQ(firstRun(*e).fontPointSize(), 14.0);
}

TEST(QntGroupModeInspectorTest, ApplyDefaultsRestylesTheWholeSelectionInOneUndoStep)
{
    Harness h;
    h.placeMixedSelection();
    const QntNotationRef notation = h.palette.drawing()->currentNotation();
    const auto heads = notation->arrowheadsList(notation->defaultConnectorId());
    ASSERT_GE(heads.size(), 3);
    // The first connector gets another end arrowhead, and its style becomes the defaults.
    h.palette.layer()->replaceSelectionWithObject(h.connectors[0]);
    QString id = heads.at(2).elementId;
    if (id == arrowAt(*h.connectors[1], false))
        id = heads.at(1).elementId;
    h.inspector->endArrowheadAction(id);
    QntConnectorModeInspector saver(VREmbedded{}, nullptr);
    saver.setContextObject(h.connectors[0]);
    const QString key = saver.defaultsKeyForFamily(saver.familyOf(h.connectors[0]));
    ASSERT_FALSE(key.isEmpty());
    struct Forget {
        QString key;
        ~Forget() { UserDefaults::standardUserDefaults().removeObjectForKey(key); }
    } forget{key};
    saver.saveDefaultsForContextObject();
    ASSERT_TRUE(UserDefaults::standardUserDefaults().objectForKey(key).isValid());

    h.selectAll();
    const QString before = arrows(h);
    const int depth = h.depth();
    h.inspector->applyDefaultsAction();
    EXPECT_EQ(arrowAt(*h.connectors[1], false), id);
    EXPECT_EQ(h.depth(), depth + 1);
    EXPECT_EQ(h.undo()->undoActionName(), QStringLiteral("Applying defaults"));
    h.undoStep();
    EXPECT_EQ(arrows(h), before);
}

namespace {

// Two tables and one shape, all selected.
struct TableHarness : Harness {
    TableHarness()
    {
        for (int k = 0; k < 2; ++k) {
            auto table = QntElementTable::tableWithRows(2, 2, QSizeF(60, 30));
            table->setLocation(QPointF(200 + 250 * k, 400));
            palette.layer()->addObject(table);
            tables.push_back(table);
        }
        elements.push_back(placeElement({150, 150}));
        VRObjectList all{tables[0], tables[1], elements[0]};
        palette.layer()->exchangeSelectionWithObjectsFromArray(all);
        undo()->closeOpenGroups();
    }
    std::vector<std::shared_ptr<QntElementTable>> tables;
};

QString tableLooks(const TableHarness &h)
{
    QString s;
    for (const auto &t : h.tables) {
        s += QStringLiteral("%1,%2,%3,%4,%5,%6,%7")
                 .arg(t->showGrid())
                 .arg(t->showTableFrame())
                 .arg(t->gridLineWidth())
                 .arg(t->rectangleCornerRaduis())
                 .arg(t->gridColor().name())
                 .arg(t->cellPaddingTopBottom())
                 .arg(t->cellPaddingLeftRight());
        for (const VRObjectRef &cell : t->cells()) {
            const auto &c = static_cast<const QntTextCell &>(*cell);
            s += QLatin1Char(',') + c.fillColour().name(QColor::HexArgb) + QLatin1Char('/')
                 + QString::number(c.textAngle()) + QLatin1Char('/')
                 + QString::number(c.paddingTopBottom());
        }
        s += QLatin1Char('|');
    }
    return s;
}

} // namespace

TEST(QntGroupModeInspectorTest, TableFrameGridColourAndPaddingReachEverySelectedTableInOneStep)
{
    struct Case {
        const char *name;
        std::function<void(QntGroupModeInspector &, const TableHarness &)> act;
    };
    const Case cases[] = {
        {"grid", [](QntGroupModeInspector &g,
                    const TableHarness &h) { g.tableShowGridAction(!h.tables[0]->showGrid()); }},
        {"frame",
         [](QntGroupModeInspector &g, const TableHarness &h) {
             g.tableShowTableFrameAction(!h.tables[0]->showTableFrame());
         }},
        {"grid width typed",
         [](QntGroupModeInspector &g, const TableHarness &) {
             EXPECT_TRUE(g.tableGridLineWidthTextboxAction(QStringLiteral("3.5")));
         }},
        {"corner radius", [](QntGroupModeInspector &g,
                             const TableHarness &) { g.tableRectangleCornerRaduisAction(7); }},
        {"grid colour",
         [](QntGroupModeInspector &g, const TableHarness &) {
             g.tableGridColorWellAction(QColor(10, 200, 30));
         }},
        {"cell colour to all cells",
         [](QntGroupModeInspector &g, const TableHarness &) {
             g.tableApplyToAllCellsCheckbox()->setChecked(true);
             g.tableCellsColorWellAction(QColor(250, 20, 20));
         }},
        {"text angle",
         [](QntGroupModeInspector &g, const TableHarness &) { g.tableTextAngleSliderAction(30); }},
        {"cell padding", [](QntGroupModeInspector &g,
                            const TableHarness &) { g.tableTopBottomPaddingAction(0.2); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TableHarness h;
        const QStringList before = tableLooks(h).split(QLatin1Char('|'));
        const int depth = h.depth();
        c.act(*h.inspector, h);
        const QStringList after = tableLooks(h).split(QLatin1Char('|'));
        EXPECT_NE(after.at(0), before.at(0));
        EXPECT_NE(after.at(1), before.at(1));
        EXPECT_EQ(h.depth(), depth + 1);
        h.undoStep();
        EXPECT_EQ(tableLooks(h).split(QLatin1Char('|')), before);
    }
}

TEST(QntGroupModeInspectorTest, TableValuesShowOnlyForOneTableAndBadLengthsAreRefused)
{
    TableHarness h;
    h.palette.drawing()->setDrawingUnits(QStringLiteral("Millimetres"), 2.8346456692913);
    h.tables[0]->setGridLineWidth(2.8346456692913);
    h.tables[1]->setGridLineWidth(9);
    const int depth = h.depth();
    for (const char *bad : {"abc", "", "-5", "1e400"})
        EXPECT_FALSE(h.inspector->tableGridLineWidthTextboxAction(QString::fromLatin1(bad)));
    EXPECT_EQ(h.depth(), depth);
    // Several objects: the fields are left alone; one table: its values, in the drawing's units.
    auto *field =
        h.inspector->mainView()->findChild<QLineEdit *>(QStringLiteral("tableGridLineTextbox"));
    ASSERT_NE(field, nullptr);
    field->setText(QStringLiteral("untouched"));
    h.inspector->populateTableStyleToolbar();
    EXPECT_EQ(field->text(), QStringLiteral("untouched"));
    h.palette.layer()->exchangeSelectionWithObjectsFromArray({h.tables[0]});
    h.inspector->populateTableStyleToolbar();
    EXPECT_EQ(field->text(), QLocale().toString(1.0, 'g', 10));
}

TEST(QntGroupModeInspectorTest, PaddingsAndTheirModeReachEverySelectedElement)
{
    Harness h;
    h.placeMixedSelection();
    const auto paddings = [&h] {
        QString s;
        for (const auto &e : h.elements)
            s += QStringLiteral("%1/%2/%3|")
                     .arg(e->paddingMode())
                     .arg(e->paddingTopBottom())
                     .arg(e->paddingLeftRight());
        return s;
    };
    const QString before = paddings();
    int depth = h.depth();
    h.inspector->elementPaddingModeAction(1);
    for (const auto &e : h.elements)
        EXPECT_EQ(e->paddingMode(), 1);
    EXPECT_EQ(h.depth(), depth + 1);
    h.undoStep();
    EXPECT_EQ(paddings(), before);

    // Relative paddings are typed in per cent.
    h.inspector->elementPaddingModeAction(0);
    h.undo()->closeOpenGroups();
    depth = h.depth();
    EXPECT_TRUE(h.inspector->elementTopBottomPaddingTextboxAction(QStringLiteral("25")));
    for (const auto &e : h.elements)
        EXPECT_DOUBLE_EQ(e->paddingTopBottom(), 0.25);
    EXPECT_EQ(h.depth(), depth + 1);
    for (const char *bad : {"abc", "", "-1", "1e400"})
        EXPECT_FALSE(h.inspector->elementLeftRightPaddingTextboxAction(QString::fromLatin1(bad)));
    EXPECT_EQ(h.depth(), depth + 1);

    // One element shows its own paddings: a relative 0.25 as "25"; absolute paddings of an
    // element 80 wide run to 40.
    auto &e = *h.elements[0];
    e.setSize({80, 60});
    h.inspector->updatePaddingModeControl(&e);
    EXPECT_EQ(h.inspector->topBottomPaddingTextbox()->text(), QStringLiteral("25"));
    e.setPaddingMode(1);
    h.inspector->updatePaddingModeControl(&e);
    EXPECT_DOUBLE_EQ(h.inspector->leftRightPaddingSlider()->maxValue(), 40.0);
    EXPECT_EQ(h.inspector->paddingMode(), 1);
}

TEST(QntGroupModeInspectorTest, PaddingModeKeepsEachPaddingAndShowsItInTheNewUnit)
{
    // Whatever comes first in the selection, the boxes show an element's padding.
    for (const bool connectorFirst : {false, true}) {
        SCOPED_TRACE(connectorFirst ? "connector first" : "element first");
        Harness h;
        h.placeMixedSelection();
        VRObjectList order;
        if (connectorFirst)
            order.append(h.connectors[0]);
        for (const auto &e : h.elements) {
            e->setSize({80, 60});
            order.append(e);
        }
        h.select(order);
        h.inspector->elementPaddingModeAction(0);
        ASSERT_TRUE(h.inspector->elementTopBottomPaddingTextboxAction(QStringLiteral("25")));
        ASSERT_TRUE(h.inspector->elementLeftRightPaddingTextboxAction(QStringLiteral("25")));
        const auto places = [&h] {
            QString s;
            for (const auto &e : h.elements)
                s += QStringLiteral("%1/%2|")
                         .arg(e->paddingTopBottomAbs())
                         .arg(e->paddingLeftRightAbs());
            return s.toStdString();
        };
        const std::string before = places();
        ASSERT_EQ(before, "15/20|15/20|15/20|");
        const int depth = h.depth();

        // Absolute: 25 % of 60 points is 15 points; the text stays where it was.
        h.inspector->elementPaddingModeAction(1);
        EXPECT_EQ(places(), before);
        for (const auto &e : h.elements) {
            EXPECT_EQ(e->paddingMode(), 1);
            EXPECT_DOUBLE_EQ(e->paddingTopBottom(), 15.0);
        }
        EXPECT_EQ(h.inspector->topBottomPaddingTextbox()->text().toStdString(), "15");
        EXPECT_DOUBLE_EQ(h.inspector->leftRightPaddingSlider()->doubleValue(), 20.0);
        EXPECT_DOUBLE_EQ(h.inspector->leftRightPaddingSlider()->maxValue(), 40.0);
        EXPECT_EQ(h.depth(), depth + 1);

        // And back: 15 points of 60 are 25 %.
        h.inspector->elementPaddingModeAction(0);
        EXPECT_EQ(places(), before);
        EXPECT_DOUBLE_EQ(h.elements[1]->paddingLeftRight(), 0.25);
        EXPECT_EQ(h.inspector->topBottomPaddingTextbox()->text().toStdString(), "25");
        EXPECT_DOUBLE_EQ(h.inspector->leftRightPaddingSlider()->maxValue(), 1.0);

        h.undoStep();
        h.undoStep();
        EXPECT_EQ(places(), before);
        for (const auto &e : h.elements)
            EXPECT_EQ(e->paddingMode(), 0);
    }
}

TEST(QntGroupModeInspectorTest, AutosizeTurnsOnAndOffForEverySelectedElement)
{
    Harness h;
    h.placeMixedSelection();
    h.inspector->turnAutosizeOffAction();
    for (const auto &e : h.elements)
        EXPECT_TRUE(e->resizedByUser());
    h.inspector->turnAutosizeOnAction();
    for (const auto &e : h.elements)
        EXPECT_FALSE(e->resizedByUser());
}

TEST(QntGroupModeInspectorTest, AColourListSwatchEditsThatEntryOfThatElementOnly)
{
    Harness h;
    auto drawn = std::make_shared<QntDirectlyDrawedElement>();
    QList<QColor> colours;
    for (int k = 0; k < 8; ++k)
        colours.append(QColor::fromHsv(k * 40, 200, 200));
    drawn->setColors(colours);
    h.palette.layer()->addObject(drawn);
    h.palette.layer()->exchangeSelectionWithObjectsFromArray({drawn});
    h.undo()->closeOpenGroups();
    h.inspector->refreshControls();
    ASSERT_NE(h.inspector->paletteMatrix(), nullptr);
    EXPECT_EQ(h.inspector->paletteMatrix()->objectName(), QStringLiteral("elementColorList"));

    // The same grid without the picker: a swatch on the second line is entry 6 + column.
    QntColorMatrix *grid =
        h.inspector->populateColorMatrix(colours, 1, Qt::black, [](QntColorMatrix *) {});
    grid->performClickOnCell(1, 1);
    ASSERT_TRUE(h.inspector->pickSwatch(grid));
    const int depth = h.depth();
    EXPECT_TRUE(h.inspector->colourChangeFromPicker(Qt::red));
    EXPECT_EQ(drawn->colors().at(7), QColor(Qt::red));
    EXPECT_EQ(drawn->colors().at(1), colours.at(1));
    EXPECT_EQ(h.depth(), depth + 1);
    // The clear swatches that fill up the last line open nothing.
    grid->performClickOnCell(1, 3);
    EXPECT_FALSE(h.inspector->pickSwatch(grid));
    EXPECT_FALSE(h.inspector->colourChangeFromPicker(Qt::blue));
    // A picker bound to one element never edits another one selected meanwhile.
    grid->performClickOnCell(0, 2);
    ASSERT_TRUE(h.inspector->pickSwatch(grid));
    auto other = std::make_shared<QntDirectlyDrawedElement>();
    other->setColors(colours);
    h.palette.layer()->addObject(other);
    h.palette.layer()->exchangeSelectionWithObjectsFromArray({other});
    EXPECT_FALSE(h.inspector->colourChangeFromPicker(Qt::green));
    EXPECT_EQ(other->colors(), colours);
    EXPECT_EQ(drawn->colors().at(2), colours.at(2));
    delete grid;
}

// A colour popover shown from the panel goes away when another window takes the focus (a click
// in the document) and the panel goes with it, at the same click; one that closes by itself
// (Escape) leaves the panel open, closing on losing the focus again.
TEST(QntGroupModeInspectorTest, AClickElsewhereClosesTheColourPopoverAndThePanelAtOnce)
{
    for (const bool focusLeft : {true, false}) {
        SCOPED_TRACE(focusLeft ? "focus went to another window" : "popover closed by itself");
        Harness h;
        h.placeMixedSelection();
        h.inspector->createGroupModeInspectorAtPoint({400, 300});
        h.inspector->showGroupModeInspector();
        const QPointer<AXAttachedWindow> panel = h.inspector->attachedWindow();
        ASSERT_NE(panel, nullptr);
        ASSERT_TRUE(panel->isVisible());
        auto *button =
            h.inspector->mainView()->findChild<QWidget *>(QStringLiteral("connTextColorButton"));
        ASSERT_NE(button, nullptr);
        h.inspector->connectorShowColorMatrixAction(button);
        AXAttachedWindow *popover = h.inspector->waitingForClosingAttachedWindow();
        ASSERT_NE(popover, nullptr);
        QWidget document;
        if (focusLeft) {
            // The click went to the document's window.
            document.show();
            document.activateWindow();
            QCoreApplication::processEvents();
            QEvent deactivate(QEvent::WindowDeactivate);
            QCoreApplication::sendEvent(popover, &deactivate);
        } else {
            popover->closePopover();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(h.inspector->waitingForClosingAttachedWindow(), nullptr);
        if (focusLeft) {
            EXPECT_EQ(h.inspector->attachedWindow(), nullptr);
            EXPECT_TRUE(!panel || panel->isReleased());
        } else {
            ASSERT_NE(panel, nullptr);
            EXPECT_FALSE(panel->isReleased());
            EXPECT_TRUE(panel->closesOnResignKeyWindow());
            h.inspector->closeAttachedWindows();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST(QntGroupModeInspectorTest, AnOpenTableColourPopoverKeepsThePanelOpenUntilItCloses)
{
    TableHarness h;
    h.inspector->createGroupModeInspectorAtPoint({400, 300});
    AXAttachedWindow *panel = h.inspector->attachedWindow();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->closesOnResignKeyWindow());
    QWidget anchor;
    h.inspector->tableGridColorMatrixAction(&anchor);
    AXAttachedWindow *popover = h.inspector->waitingForClosingAttachedWindow();
    ASSERT_NE(popover, nullptr);
    EXPECT_FALSE(panel->closesOnResignKeyWindow());
    // Hiding the panel closes the popover for good, and the panel closes on losing focus again.
    h.inspector->closeAttachedWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(h.inspector->waitingForClosingAttachedWindow(), nullptr);
    EXPECT_TRUE(panel->closesOnResignKeyWindow());
}

TEST(QntGroupModeInspectorTest, TheSizeMenuAndTextColourLeaveTablesAloneAlignmentReachesTheirCells)
{
    TableHarness h;
    const auto cellLooks = [&h] {
        QString s;
        for (const auto &t : h.tables)
            for (const VRObjectRef &cell : t->cells()) {
                const VRTextBlock &b = static_cast<const QntTextCell &>(*cell).textBlock();
                s += QStringLiteral("%1,%2,%3|")
                         .arg(b.font().pointSizeF())
                         .arg(b.colour().name())
                         .arg(b.alignment());
            }
        return s;
    };
    h.elements[0]->setTextFontSize(11);
    ASSERT_NE(h.elements[0]->text(), nullptr);
    h.undo()->closeOpenGroups();
    const QString before = cellLooks();
    const double elementSize = h.elements[0]->text()->fontSize();
    EXPECT_TRUE(h.inspector->elementFontSizeMenuAction(48));
    h.inspector->elementTextColorAction(QColor(0, 120, 0));
    EXPECT_EQ(cellLooks(), before);
    EXPECT_NE(h.elements[0]->text()->fontSize(), elementSize);
    EXPECT_EQ(h.elements[0]->text()->textBlock().colour(), QColor(0, 120, 0));
    const int depth = h.depth();
    h.inspector->elementAlignAction(2);
    EXPECT_EQ(h.depth(), depth + 1);
    // The right alignment, in every cell of both tables.
    for (const auto &t : h.tables)
        for (const VRObjectRef &cell : t->cells())
            EXPECT_EQ(static_cast<const QntTextCell &>(*cell).textBlock().alignment(), 1);
    EXPECT_NE(cellLooks(), before);
    h.undoStep();
    EXPECT_EQ(cellLooks(), before);
    // Nothing valid, nothing recorded.
    const int after = h.depth();
    EXPECT_FALSE(h.inspector->elementFontSizeMenuAction(0));
    EXPECT_FALSE(h.inspector->elementFontSizeMenuAction(std::nan("")));
    h.inspector->elementAlignAction(3);
    h.inspector->elementTextColorAction(QColor());
    EXPECT_EQ(h.depth(), after);
}

TEST(QntGroupModeInspectorTest, ShapeInfoFromTheDrawingsViewFillsTheSizeFields)
{
    Harness h;
    VRDrawingView view(h.palette.drawing());
    VRDrawing other;
    VRDrawingView otherView(&other);
    const auto post = [](VRDrawingView *sender, const QVariantMap &values) {
        QVariantMap info = values;
        info.insert(QStringLiteral("sender"), QVariant::fromValue(static_cast<QObject *>(sender)));
        NotificationCenter::defaultCenter().post(kQntShapeInfoUpdated, sender, info);
    };
    const QVariantMap full{{QStringLiteral("x"), 12.5},
                           {QStringLiteral("y"), 3.0},
                           {QStringLiteral("width"), 40.0},
                           {QStringLiteral("height"), 20.25}};
    const auto fields = [&h] {
        return QStringList{
            h.inspector->xCenterTextbox()->text(), h.inspector->yCenterTextbox()->text(),
            h.inspector->widthTextbox()->text(), h.inspector->heightTextbox()->text()};
    };
    for (QLineEdit *field : {h.inspector->xCenterTextbox(), h.inspector->yCenterTextbox(),
                             h.inspector->widthTextbox(), h.inspector->heightTextbox()})
        field->setText(QStringLiteral("7"));
    const QStringList untouched = fields();
    // Another drawing's view, or a report lacking a value, changes nothing.
    post(&otherView, full);
    EXPECT_EQ(fields(), untouched);
    for (const QString &key : full.keys()) {
        SCOPED_TRACE(key.toStdString());
        QVariantMap partial = full;
        partial.remove(key);
        post(&view, partial);
        EXPECT_EQ(fields(), untouched);
    }
    post(&view, full);
    const QLocale locale;
    EXPECT_EQ(fields(),
              (QStringList{locale.toString(12.5, 'f', 2), locale.toString(3.0, 'f', 2),
                           locale.toString(40.0, 'f', 2), locale.toString(20.25, 'f', 2)}));
}

TEST(QntGroupModeInspectorTest, TheSizeFieldsShowOneObjectOnlyAndATypedWidthReachesEveryShape)
{
    Harness h;
    const auto a = h.placeElement({150, 150}, {100, 40});
    const auto b = h.placeElement({400, 150}, {60, 90});
    a->setTextFontSize(17);
    const auto connector = h.connect(a, b);
    auto *textSize =
        h.inspector->mainView()->findChild<QLineEdit *>(QStringLiteral("elemFontSize"));
    ASSERT_NE(textSize, nullptr);
    QLineEdit *const fields[] = {h.inspector->widthTextbox(), h.inspector->heightTextbox(),
                                 h.inspector->xCenterTextbox(), h.inspector->yCenterTextbox(),
                                 textSize};
    const auto shown = [&] {
        QStringList texts;
        for (QLineEdit *field : fields)
            texts << field->text();
        return texts;
    };
    const QStringList empty{QString(), QString(), QString(), QString(), QString()};
    h.select({a});
    ASSERT_EQ(textSize->text(), QLocale().toString(17));
    // Several objects, or a connector: no one shape's values, also when a drawing view reports
    // the geometry of one of them.
    const struct {
        const char *name;
        VRObjectList selection;
        VRObjectRef reported;
    } cases[] = {{"TwoShapes", {a, b}, b},
                 {"ShapesAndConnector", {a, connector, b}, a},
                 {"Connector", {connector}, connector}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        h.select({a});
        h.select(c.selection);
        EXPECT_EQ(shown(), empty);
        h.palette.view->postShapeInfo(c.reported);
        EXPECT_EQ(shown(), empty);
    }
    // A width typed for several shapes goes to each of them, and leaves each height alone.
    h.select({a, b});
    h.inspector->widthTextbox()->setText(QStringLiteral("5"));
    EXPECT_TRUE(h.inspector->applyDimensionAction());
    const double width = 5 * h.inspector->unitConversionFactor();
    EXPECT_DOUBLE_EQ(a->size().width(), width);
    EXPECT_DOUBLE_EQ(b->size().width(), width);
    EXPECT_DOUBLE_EQ(a->size().height(), 40);
    EXPECT_DOUBLE_EQ(b->size().height(), 90);
}

TEST(QntGroupModeInspectorTest, AnOpenTextColourPopoverKeepsThePanelOpenAndItsSwatchRecolours)
{
    Harness h;
    h.placeMixedSelection();
    h.inspector->createGroupModeInspectorAtPoint({400, 300});
    AXAttachedWindow *panel = h.inspector->attachedWindow();
    ASSERT_NE(panel, nullptr);
    auto *button =
        h.inspector->mainView()->findChild<QWidget *>(QStringLiteral("connTextColorButton"));
    ASSERT_NE(button, nullptr);
    h.inspector->connectorShowColorMatrixAction(button);
    AXAttachedWindow *popover = h.inspector->waitingForClosingAttachedWindow();
    ASSERT_NE(popover, nullptr);
    EXPECT_FALSE(panel->closesOnResignKeyWindow());
    auto *grid = popover->findChild<QntColorMatrix *>();
    ASSERT_NE(grid, nullptr);
    const int depth = h.depth();
    const QString before = textLooks(h);
    grid->performClickOnCell(1, 0);
    EXPECT_EQ(h.depth(), depth + 1);
    // Only the connectors' labels take the swatch.
    EXPECT_EQ(textLooks(h).section(QLatin1Char('|'), 0, 2), before.section(QLatin1Char('|'), 0, 2));
    EXPECT_NE(textLooks(h), before);
    h.inspector->closeAttachedWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(h.inspector->waitingForClosingAttachedWindow(), nullptr);
    EXPECT_TRUE(panel->closesOnResignKeyWindow());
}

namespace {

// In-place text editing on for one test.
struct InlineEditingOn {
    InlineEditingOn()
    {
        UserDefaults::standardUserDefaults().setBool(true, kQntEnableInlineEditor);
    }
    ~InlineEditingOn()
    {
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        defaults.removeObjectForKey(kQntEnableInlineEditor);
        // With the text properties saved (the registered default), formatting in place stores
        // the last font and alignment for new text; later tests start from the built-in ones.
        for (const QString &key :
             {QntContextTextEditorFontFamily, QntContextTextEditorFontSize,
              QntContextTextEditorAlign, QntContextTextEditorFontBold,
              QntContextTextEditorFontItalic, QntContextTextEditorFontUnderline})
            defaults.removeObjectForKey(key);
    }
};

QTextCharFormat formatAt(const QTextDocumentFragment &fragment, int position)
{
    QTextDocument document;
    QTextCursor(&document).insertFragment(fragment);
    QTextCursor at(&document);
    at.setPosition(position);
    return at.charFormat();
}

struct TextActionRow {
    const char *name;
    std::function<void(QntGroupModeInspector &)> act;
    // Whether a run's format shows the change (characters), or the paragraph's (alignment).
    std::function<bool(const QTextCharFormat &)> charChanged;
};

const std::vector<TextActionRow> &textActionRows()
{
    static const std::vector<TextActionRow> rows{
        {"size field",
         [](QntGroupModeInspector &g) { g.elementFontSizeAction(QStringLiteral("30")); },
         [](const QTextCharFormat &f) { return std::abs(f.fontPointSize() - 30) < 0.01; }},
        {"size menu", [](QntGroupModeInspector &g) { g.elementFontSizeMenuAction(36); },
         [](const QTextCharFormat &f) { return std::abs(f.fontPointSize() - 36) < 0.01; }},
        {"bold", [](QntGroupModeInspector &g) { g.elementFontTypefaceAction(true, false, false); },
         [](const QTextCharFormat &f) { return f.fontWeight() >= QFont::Bold; }},
        {"underline",
         [](QntGroupModeInspector &g) { g.elementFontTypefaceAction(false, false, true); },
         [](const QTextCharFormat &f) { return f.fontUnderline(); }},
        {"colour", [](QntGroupModeInspector &g) { g.elementTextColorAction(QColor(0, 128, 64)); },
         [](const QTextCharFormat &f) {
             return f.hasProperty(QTextFormat::ForegroundBrush)
                    && f.foreground().color() == QColor(0, 128, 64);
         }},
        {"alignment", [](QntGroupModeInspector &g) { g.elementAlignAction(2); }, nullptr},
    };
    return rows;
}

} // namespace

TEST(QntGroupModeInspectorTest, TextBeingEditedInPlaceTakesTheTextChangeAlone)
{
    InlineEditingOn inlineOn;
    for (const TextActionRow &row : textActionRows()) {
        SCOPED_TRACE(row.name);
        Harness h;
        h.placeMixedSelection();
        for (const auto &e : h.elements)
            e->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("Hello world")));
        const auto edited = h.elements[0];
        h.palette.layer()->exchangeSelectionWithObjectsFromArray({edited});
        h.undo()->closeOpenGroups();
        const QString others = edited->textContent().toHtml();
        h.palette.view->editTextOfObject(edited);
        QTextEdit *editor = h.palette.view->inlineEditor();
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(h.inspector->objectEditedInline(), VRObjectRef(edited));
        // "world" picked in the editor.
        QTextCursor pick(editor->document());
        pick.setPosition(6);
        pick.setPosition(11, QTextCursor::KeepAnchor);
        editor->setTextCursor(pick);
        const int depth = h.depth();
        row.act(*h.inspector);
        // Only the text in the editor changed so far.
        EXPECT_EQ(h.depth(), depth);
        for (const auto &e : h.elements)
            EXPECT_EQ(e->textContent().toHtml(), others);
        h.palette.view->endInlineEditing(true);
        EXPECT_EQ(h.depth(), depth + 1);
        const QTextDocumentFragment after = edited->textContent();
        if (row.charChanged) {
            EXPECT_TRUE(row.charChanged(formatAt(after, 8)));
            EXPECT_FALSE(row.charChanged(formatAt(after, 2)));
        } else {
            EXPECT_EQ(edited->text()->alignment(), 1);
        }
        for (std::size_t k = 1; k < h.elements.size(); ++k)
            EXPECT_EQ(h.elements[k]->textContent().toHtml(), others);
        h.undoStep();
        EXPECT_EQ(edited->textContent().toHtml(), others);

        // Two selected elements: both texts change, whole, in one step; nothing is edited in
        // place then.
        h.palette.layer()->exchangeSelectionWithObjectsFromArray({h.elements[0], h.elements[1]});
        h.undo()->closeOpenGroups();
        EXPECT_EQ(h.inspector->objectEditedInline(), nullptr);
        const int before = h.depth();
        row.act(*h.inspector);
        EXPECT_EQ(h.depth(), before + 1);
        for (int k = 0; k < 2; ++k) {
            const QTextDocumentFragment text = h.elements[k]->textContent();
            if (row.charChanged) {
                EXPECT_TRUE(row.charChanged(formatAt(text, 2)));
                EXPECT_TRUE(row.charChanged(formatAt(text, 8)));
            } else {
                EXPECT_EQ(h.elements[k]->text()->alignment(), 1);
            }
        }
        EXPECT_EQ(h.elements[2]->textContent().toHtml(), others);
    }
}

TEST(QntGroupModeInspectorTest, AChangeToSeveralObjectsReachesTheTextOneOfThemIsEditingInPlace)
{
    InlineEditingOn inlineOn;
    for (const TextActionRow &row : textActionRows()) {
        SCOPED_TRACE(row.name);
        Harness h;
        h.placeMixedSelection();
        for (const auto &e : h.elements)
            e->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("Hello world")));
        const QString before = h.elements[1]->textContent().toHtml();
        h.palette.layer()->exchangeSelectionWithObjectsFromArray({h.elements[0], h.elements[1]});
        h.undo()->closeOpenGroups();
        const int depth = h.depth();
        // The first of the two is edited in place, and something is typed there.
        h.palette.view->editTextOfObject(h.elements[0]);
        QTextEdit *editor = h.palette.view->inlineEditor();
        ASSERT_NE(editor, nullptr);
        QTextCursor end(editor->document());
        end.movePosition(QTextCursor::End);
        end.insertText(QStringLiteral("!"));
        ASSERT_EQ(h.inspector->objectEditedInline(), nullptr);

        row.act(*h.inspector);
        // Nothing typed is lost and both texts show the change, also after the edit ends.
        h.palette.view->endInlineEditing(true);
        EXPECT_EQ(h.palette.view->inlineEditor(), nullptr);
        EXPECT_EQ(h.elements[0]->textContent().toPlainText(), QStringLiteral("Hello world!"));
        for (int k = 0; k < 2; ++k) {
            if (row.charChanged) {
                EXPECT_TRUE(row.charChanged(formatAt(h.elements[k]->textContent(), 2))) << k;
            } else {
                EXPECT_EQ(h.elements[k]->text()->alignment(), 1) << k;
            }
        }
        // The typing and the change are a step each.
        EXPECT_EQ(h.depth(), depth + 2);
        h.undoStep();
        EXPECT_EQ(h.elements[1]->textContent().toHtml(), before);
        EXPECT_EQ(h.elements[0]->textContent().toPlainText(), QStringLiteral("Hello world!"));
        h.undoStep();
        EXPECT_EQ(h.elements[0]->textContent().toPlainText(), QStringLiteral("Hello world"));
    }
}

TEST(QntGroupModeInspectorTest, OneTableTakesTheTextActionsInItsPickedCellsOrInAllOfThem)
{
    // Cells picked before the change, the apply-to-all box, and which cells change.
    struct Case {
        std::vector<int> picked;
        bool applyToAll;
        std::vector<int> changed;
    };
    const Case cases[] = {{{}, false, {0, 1, 2, 3}},
                          {{1}, true, {0, 1, 2, 3}},
                          {{1}, false, {1}},
                          {{0, 3}, true, {0, 3}},
                          {{0, 1, 2, 3}, false, {0, 1, 2, 3}}};
    for (const TextActionRow &row : textActionRows()) {
        SCOPED_TRACE(row.name);
        TableHarness h;
        const auto table = h.tables[0];
        h.palette.layer()->exchangeSelectionWithObjectsFromArray({table});
        h.undo()->closeOpenGroups();
        const auto looks = [&h] {
            QStringList s;
            for (const auto &t : h.tables)
                for (const VRObjectRef &cell : t->cells()) {
                    const VRTextBlock &b = static_cast<const QntTextCell &>(*cell).textBlock();
                    s << QStringLiteral("%1,%2,%3,%4,%5")
                             .arg(b.font().pointSizeF())
                             .arg(b.font().bold())
                             .arg(b.font().underline())
                             .arg(b.colour().name())
                             .arg(b.alignment());
                }
            return s;
        };
        for (const Case &c : cases) {
            SCOPED_TRACE(c.picked.size());
            VRObjectList picked;
            for (int k : c.picked)
                picked << table->cells().at(k);
            table->selectCells(picked);
            h.inspector->tableApplyToAllCellsCheckbox()->setChecked(c.applyToAll);
            h.undo()->closeOpenGroups();
            const QStringList before = looks();
            const int depth = h.depth();
            row.act(*h.inspector);
            EXPECT_EQ(h.depth(), depth + 1);
            const QStringList after = looks();
            for (int k = 0; k < 8; ++k) {
                const bool expected =
                    k < 4 && std::find(c.changed.begin(), c.changed.end(), k) != c.changed.end();
                EXPECT_EQ(after.at(k) != before.at(k), expected) << "cell " << k;
            }
            h.undoStep();
            EXPECT_EQ(looks(), before);
        }
    }
}

TEST(QntGroupModeInspectorTest, PositionAfterADragAndAfterARefreshIsOneMeasure)
{
    struct Units {
        const char *name;
        double factor;
    };
    const Units units[] = {{"Centimetres", 28.346456692913},
                           {"Millimetres", 2.8346456692913},
                           {"Inches", 72.0},
                           {"Kilometres", 2834645.6692913}};
    for (const Units &u : units) {
        SCOPED_TRACE(u.name);
        Harness h;
        VRDrawing *drawing = h.palette.drawing();
        drawing->setDrawingUnits(QString::fromLatin1(u.name), u.factor);
        drawing->setMarginsLeft(30, 20, 10, 40);
        const auto element = h.placeElement({260, 310}, {120, 80});
        h.palette.layer()->exchangeSelectionWithObjectsFromArray({element});
        h.undo()->closeOpenGroups();
        const auto fields = [&h] {
            return QStringList{
                h.inspector->xCenterTextbox()->text(), h.inspector->yCenterTextbox()->text(),
                h.inspector->widthTextbox()->text(), h.inspector->heightTextbox()->text()};
        };
        // What a drawing view reports while the shape is dragged...
        for (QLineEdit *field : {h.inspector->xCenterTextbox(), h.inspector->yCenterTextbox()})
            field->clear();
        h.palette.view->postShapeInfo(element);
        const QStringList dragged = fields();
        // ...is what the fields show when they are filled from the selection.
        for (QLineEdit *field : {h.inspector->xCenterTextbox(), h.inspector->yCenterTextbox()})
            field->clear();
        h.inspector->refreshControls();
        EXPECT_EQ(fields(), dragged);
        // And typing the shown position back leaves the shape where it is.
        const QPointF at = element->location();
        EXPECT_TRUE(h.inspector->applyLocationAction());
        EXPECT_NEAR(element->location().x(), at.x(), 0.01 * u.factor);
        EXPECT_NEAR(element->location().y(), at.y(), 0.01 * u.factor);
    }
}

TEST(QntGroupModeInspectorTest, TheTextColourWellColoursEveryTextRunThroughTheTextEditorInOneStep)
{
    Harness h;
    h.placeMixedSelection();
    const QTextDocumentFragment fragment = qnt::test::helloRedWorld();
    VRObjectList objects;
    for (const auto &e : h.elements)
        objects << e;
    for (const auto &c : h.connectors)
        objects << c;
    for (const VRObjectRef &object : objects)
        object->setTextContent(fragment);
    h.undo()->closeOpenGroups();
    const auto colours = [&objects] {
        QStringList names;
        for (const VRObjectRef &object : objects)
            for (int position : {2, 8})
                names << formatAt(object->textContent(), position).foreground().color().name();
        return names;
    };
    const QStringList before = colours();
    const int depth = h.depth();
    const QColor green(0, 128, 64);
    EXPECT_TRUE(h.inspector->simpleElementTextColorWellAction(green));
    EXPECT_EQ(h.depth(), depth + 1);
    for (const QString &name : colours())
        EXPECT_EQ(name, green.name());
    h.undoStep();
    EXPECT_EQ(colours(), before);
    EXPECT_FALSE(h.inspector->simpleElementTextColorWellAction(QColor()));
    EXPECT_EQ(h.depth(), depth);
}

// One selected element: the text pane shows the font, size, typeface and alignment of its text
// as its first character has them, runs of their own included; another element shows its own.
TEST(QntGroupModeInspectorTest, TheTextPaneShowsTheLookOfTheOneSelectedElementsText)
{
    Harness h;
    const auto styled = h.placeElement({150, 150});
    const auto plain = h.placeElement({400, 150});
    styled->setTextFontSize(11);
    QTextDocument text;
    QTextCursor cursor(&text);
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    cursor.setBlockFormat(right);
    QTextCharFormat run;
    run.setFontPointSize(20);
    run.setFontWeight(QFont::Bold);
    run.setForeground(QColor(Qt::red));
    cursor.insertText(QStringLiteral("Big"), run);
    styled->setTextContent(QTextDocumentFragment(&text));
    plain->setTextFontSize(13);
    plain->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("Small")));

    QWidget *pane = h.inspector->mainView();
    auto *size = pane->findChild<QLineEdit *>(QStringLiteral("elemFontSize"));
    auto *bold = pane->findChild<QCheckBox *>(QStringLiteral("elemBold"));
    auto *alignRight = pane->findChild<QToolButton *>(QStringLiteral("elemAlignRight"));
    ASSERT_TRUE(size && bold && alignRight);
    h.select({styled});
    EXPECT_EQ(size->text(), QLocale().toString(20));
    EXPECT_TRUE(bold->isChecked());
    EXPECT_TRUE(alignRight->isChecked());
    h.select({plain});
    EXPECT_EQ(size->text(), QLocale().toString(13));
    EXPECT_FALSE(bold->isChecked());
    EXPECT_FALSE(alignRight->isChecked());
    // An element without text shows no typeface and no size.
    h.select({styled});
    const auto bare = h.placeElement({650, 150});
    h.select({bare});
    EXPECT_TRUE(size->text().isEmpty());
    EXPECT_FALSE(bold->isChecked());
}

namespace {

// A free text as the Text tool makes it: "Hello " in the text's own look, then "world" in a run
// with a family, size and colour of its own, in a paragraph aligned right.
std::shared_ptr<VRTextShape> placeFreeText(const Harness &h, QPointF at)
{
    auto text = std::make_shared<VRTextShape>();
    text->setSize(QSizeF(120, 30));
    text->setLocation(at);
    QTextDocument document;
    QTextCursor cursor(&document);
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    cursor.setBlockFormat(right);
    cursor.insertText(QStringLiteral("Hello "));
    QTextCharFormat own;
    own.setFontFamilies(QStringList{QStringLiteral("DejaVu Serif")});
    own.setFontPointSize(20);
    own.setForeground(QColor(Qt::red));
    cursor.insertText(QStringLiteral("world"), own);
    text->setTextContent(QTextDocumentFragment(&document));
    h.palette.layer()->addObject(text);
    return text;
}

// The look of the character after `position`: the text's font and colour, with what its run
// says of its own over them.
struct CharacterLook {
    QFont font;
    QColor colour;
};

CharacterLook lookAt(const VRTextBlock &block, int position)
{
    CharacterLook look{block.font(), block.colour()};
    const QTextCharFormat run = formatAt(block.fragment(), position);
    const QStringList families = run.fontFamilies().toStringList();
    if (!families.isEmpty())
        look.font.setFamily(families.constFirst());
    if (run.fontPointSize() > 0)
        look.font.setPointSizeF(run.fontPointSize());
    if (run.hasProperty(QTextFormat::FontWeight))
        look.font.setWeight(QFont::Weight(run.fontWeight()));
    if (run.hasProperty(QTextFormat::FontItalic))
        look.font.setItalic(run.fontItalic());
    if (run.hasProperty(QTextFormat::TextUnderlineStyle))
        look.font.setUnderline(run.fontUnderline());
    if (run.hasProperty(QTextFormat::ForegroundBrush))
        look.colour = run.foreground().color();
    return look;
}

int paragraphAlignment(const VRTextBlock &block)
{
    QTextDocument document;
    QTextCursor(&document).insertFragment(block.fragment());
    return int(document.begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask);
}

struct FreeTextRow {
    const char *name;
    std::function<void(QntGroupModeInspector &)> act;
    // Whether a character of the text shows the change.
    std::function<bool(const CharacterLook &)> changed;
};

const std::vector<FreeTextRow> &freeTextRows()
{
    const QColor green(0, 128, 64);
    static const std::vector<FreeTextRow> rows{
        {"family",
         [](QntGroupModeInspector &g) {
             g.elementFontFamilyAction(QStringLiteral("DejaVu Sans Mono"));
         },
         [](const CharacterLook &l) {
             return l.font.family() == QStringLiteral("DejaVu Sans Mono");
         }},
        {"size field",
         [](QntGroupModeInspector &g) { g.elementFontSizeAction(QStringLiteral("30")); },
         [](const CharacterLook &l) { return std::abs(l.font.pointSizeF() - 30) < 0.01; }},
        {"size menu", [](QntGroupModeInspector &g) { g.elementFontSizeMenuAction(36); },
         [](const CharacterLook &l) { return std::abs(l.font.pointSizeF() - 36) < 0.01; }},
        {"bold", [](QntGroupModeInspector &g) { g.elementFontTypefaceAction(true, false, false); },
         [](const CharacterLook &l) { return l.font.bold() && !l.font.italic(); }},
        {"italic",
         [](QntGroupModeInspector &g) { g.elementFontTypefaceAction(false, true, false); },
         [](const CharacterLook &l) { return l.font.italic() && !l.font.bold(); }},
        {"underline",
         [](QntGroupModeInspector &g) { g.elementFontTypefaceAction(false, false, true); },
         [](const CharacterLook &l) { return l.font.underline(); }},
        {"colour swatch", [green](QntGroupModeInspector &g) { g.elementTextColorAction(green); },
         [green](const CharacterLook &l) { return l.colour == green; }},
        {"colour well",
         [green](QntGroupModeInspector &g) { g.simpleElementTextColorWellAction(green); },
         [green](const CharacterLook &l) { return l.colour == green; }},
        // Left: the text and each of its paragraphs.
        {"alignment", [](QntGroupModeInspector &g) { g.elementAlignAction(0); }, nullptr},
    };
    return rows;
}

// Whether the row's change shows on the whole free text: the text's own look and both runs.
bool showsChange(const FreeTextRow &row, const VRTextBlock &block)
{
    if (!row.changed)
        return block.alignment() == 0 && paragraphAlignment(block) == int(Qt::AlignLeft);
    return row.changed({block.font(), block.colour()}) && row.changed(lookAt(block, 2))
           && row.changed(lookAt(block, 8));
}

QString elementTexts(const Harness &h)
{
    QString s = fonts(h) + textLooks(h);
    for (const auto &e : h.elements)
        s += e->textContent().toHtml();
    return s;
}

} // namespace

// A free text has no style: each control of the text pane changes the text itself, runs with a
// look of their own included, as one undo step that gives the old text back; with elements and
// connectors selected too, all of them change in that one step.
TEST(QntGroupModeInspectorTest, EveryTextPaneActionReachesSelectedFreeTextsInOneUndoStep)
{
    for (const FreeTextRow &row : freeTextRows()) {
        SCOPED_TRACE(row.name);
        Harness h;
        const auto text = placeFreeText(h, {150, 400});
        const VRTextBlock before = text->textBlock();
        ASSERT_FALSE(showsChange(row, before));
        h.select({text});
        const int depth = h.depth();
        row.act(*h.inspector);
        EXPECT_EQ(h.depth(), depth + 1);
        EXPECT_EQ(h.undo()->undoActionName(), QStringLiteral("Changing text attributes"));
        EXPECT_TRUE(showsChange(row, text->textBlock()));
        EXPECT_EQ(text->string(), QStringLiteral("Hello world"));
        h.undoStep();
        EXPECT_TRUE(text->textBlock() == before);

        // Elements, connectors and a free text, all selected.
        h.placeMixedSelection();
        for (const auto &e : h.elements)
            e->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("Step")));
        VRObjectList all{text};
        for (const auto &e : h.elements)
            all << e;
        for (const auto &c : h.connectors)
            all << c;
        h.select(all);
        const QString elementsBefore = elementTexts(h);
        const int mixedDepth = h.depth();
        row.act(*h.inspector);
        EXPECT_EQ(h.depth(), mixedDepth + 1);
        EXPECT_TRUE(showsChange(row, text->textBlock()));
        EXPECT_NE(elementTexts(h), elementsBefore);
        h.undoStep();
        EXPECT_TRUE(text->textBlock() == before);
        EXPECT_EQ(elementTexts(h), elementsBefore);
    }
}

// The connector pane acts on connectors only; a free text keeps its look.
TEST(QntGroupModeInspectorTest, TheConnectorTextPaneLeavesFreeTextsAlone)
{
    Harness h;
    const auto text = placeFreeText(h, {150, 400});
    const VRTextBlock before = text->textBlock();
    h.select({text});
    const int depth = h.depth();
    h.inspector->connectorFontSizeAction(QStringLiteral("30"));
    h.inspector->connectorFontFamilyAction(QStringLiteral("DejaVu Sans Mono"));
    h.inspector->connectorFontTypefaceAction(true, true, true);
    h.inspector->connectorTextColorAction(QColor(0, 128, 64));
    EXPECT_TRUE(text->textBlock() == before);
    EXPECT_EQ(h.depth(), depth);
}

// One selected free text: the text pane shows its family, size, typeface, alignment and colour
// as its first character has them; another free text shows its own.
TEST(QntGroupModeInspectorTest, TheTextPaneShowsTheLookOfTheOneSelectedFreeText)
{
    Harness h;
    const auto plain = placeFreeText(h, {150, 400});
    plain->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("Plain")));
    plain->setAlignment(2);
    const auto styled = placeFreeText(h, {400, 400});
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPointSizeF(22);
    font.setItalic(true);
    styled->setFont(font);
    styled->setTextColour(QColor(0, 0, 255));
    styled->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("Styled")));
    styled->setAlignment(1);

    QWidget *pane = h.inspector->mainView();
    auto *family = pane->findChild<QComboBox *>(QStringLiteral("elemFontFamily"));
    auto *size = pane->findChild<QLineEdit *>(QStringLiteral("elemFontSize"));
    auto *bold = pane->findChild<QCheckBox *>(QStringLiteral("elemBold"));
    auto *italic = pane->findChild<QCheckBox *>(QStringLiteral("elemItalic"));
    auto *alignRight = pane->findChild<QToolButton *>(QStringLiteral("elemAlignRight"));
    auto *alignCentre = pane->findChild<QToolButton *>(QStringLiteral("elemAlignCenter"));
    auto *colour = pane->findChild<QntButtonCell *>(QStringLiteral("elemTextColorButton"));
    ASSERT_TRUE(family && size && bold && italic && alignRight && alignCentre && colour);

    h.select({styled});
    EXPECT_EQ(size->text(), QLocale().toString(22));
    EXPECT_EQ(family->currentText(), QStringLiteral("DejaVu Serif"));
    EXPECT_TRUE(italic->isChecked());
    EXPECT_FALSE(bold->isChecked());
    EXPECT_TRUE(alignRight->isChecked());
    EXPECT_EQ(colour->qntBackgroundColor(), QColor(0, 0, 255));

    h.select({plain});
    EXPECT_EQ(size->text(), QLocale().toString(12));
    EXPECT_EQ(family->currentText(), QStringLiteral("DejaVu Sans"));
    EXPECT_FALSE(italic->isChecked());
    EXPECT_FALSE(alignRight->isChecked());
    EXPECT_TRUE(alignCentre->isChecked());
    EXPECT_EQ(colour->qntBackgroundColor(), QColor(Qt::black));

    // A change from the pane and its undo show at once.
    h.inspector->elementFontSizeAction(QStringLiteral("30"));
    h.undoStep();
    h.inspector->showSelectionAgain();
    EXPECT_EQ(size->text(), QLocale().toString(12));
}

// The font set from the text pane is the free text's own: it is kept when the drawing is saved
// and read again, and the text edited in place starts in it.
TEST(QntGroupModeInspectorTest, AFreeTextsNewFontIsSavedAndEditedInPlace)
{
    InlineEditingOn inlineOn;
    Harness h;
    const auto text = placeFreeText(h, {150, 400});
    h.select({text});
    h.inspector->elementFontFamilyAction(QStringLiteral("DejaVu Sans Mono"));
    h.inspector->elementFontSizeAction(QStringLiteral("30"));
    h.inspector->elementFontTypefaceAction(false, true, false);
    h.inspector->elementAlignAction(0);
    h.inspector->elementTextColorAction(QColor(0, 128, 64));
    const VRTextBlock changed = text->textBlock();

    const QByteArray saved = VRArchiver::documentData(*h.palette.drawing());
    auto read = VRArchiver::drawingFromData(saved);
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    const VRObjectList objects =
        read.value()->activeLayerOfClass<VRObjectDrawingLayer>()->objects();
    ASSERT_EQ(objects.size(), 1);
    ASSERT_TRUE(objects.first()->isKindOf<VRTextShape>());
    const VRTextBlock again = static_cast<const VRTextShape &>(*objects.first()).textBlock();
    EXPECT_TRUE(again == changed);
    EXPECT_EQ(again.font().family(), QStringLiteral("DejaVu Sans Mono"));
    EXPECT_DOUBLE_EQ(again.font().pointSizeF(), 30);
    EXPECT_TRUE(again.font().italic());
    EXPECT_EQ(again.alignment(), 0);
    EXPECT_EQ(again.colour(), QColor(0, 128, 64));

    // In place: the editor shows the new font, and a change from the pane goes to the text
    // there, a step with the typing when the edit ends.
    h.palette.view->editTextOfObject(text);
    QTextEdit *editor = h.palette.view->inlineEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->document()->defaultFont().family(), QStringLiteral("DejaVu Sans Mono"));
    EXPECT_DOUBLE_EQ(editor->document()->defaultFont().pointSizeF(), 30 * h.palette.view->scale());
    EXPECT_TRUE(editor->document()->defaultFont().italic());
    QTextCursor end(editor->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral("!"));
    int depth = h.depth();
    h.inspector->elementFontTypefaceAction(true, false, false);
    EXPECT_EQ(h.depth(), depth);
    h.palette.view->endInlineEditing(true);
    EXPECT_EQ(h.depth(), depth + 1);
    EXPECT_EQ(text->string(), QStringLiteral("Hello world!"));
    for (int position : {2, 12})
        EXPECT_TRUE(lookAt(text->textBlock(), position).font.bold()) << position;
    h.undoStep();
    EXPECT_TRUE(text->textBlock() == changed);

    // The Text tool edits a new text in place also with in-place editing off for other objects:
    // a change from the pane then ends the edit, keeps what was typed as a step of its own and
    // changes the whole text.
    UserDefaults::standardUserDefaults().setBool(false, kQntEnableInlineEditor);
    h.palette.view->beginInlineEditing(text);
    editor = h.palette.view->inlineEditor();
    ASSERT_NE(editor, nullptr);
    end = QTextCursor(editor->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral("?"));
    depth = h.depth();
    h.inspector->elementFontTypefaceAction(true, false, false);
    EXPECT_EQ(h.palette.view->inlineEditor(), nullptr);
    EXPECT_EQ(text->string(), QStringLiteral("Hello world?"));
    EXPECT_TRUE(text->font().bold());
    for (int position : {2, 12})
        EXPECT_TRUE(lookAt(text->textBlock(), position).font.bold()) << position;
    EXPECT_EQ(h.depth(), depth + 2);
    h.undoStep();
    EXPECT_FALSE(text->font().bold());
    EXPECT_EQ(text->string(), QStringLiteral("Hello world?"));
}

// A free text edited in place takes the text pane's changes in the characters selected there, as
// an element's text does: the drawing changes when the edit ends, in one step.
TEST(QntGroupModeInspectorTest, AFreeTextEditedInPlaceTakesTheTextChangeInItsSelectedCharacters)
{
    InlineEditingOn inlineOn;
    for (const TextActionRow &row : textActionRows()) {
        SCOPED_TRACE(row.name);
        Harness h;
        const auto text = placeFreeText(h, {150, 400});
        text->setTextContent(QTextDocumentFragment::fromPlainText(QStringLiteral("Hello world")));
        h.select({text});
        const QString before = text->textContent().toHtml();
        h.palette.view->editTextOfObject(text);
        QTextEdit *editor = h.palette.view->inlineEditor();
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(h.inspector->objectEditedInline(), VRObjectRef(text));
        QTextCursor pick(editor->document());
        pick.setPosition(6);
        pick.setPosition(11, QTextCursor::KeepAnchor);
        editor->setTextCursor(pick);
        const int depth = h.depth();
        row.act(*h.inspector);
        EXPECT_EQ(h.depth(), depth);
        EXPECT_EQ(text->textContent().toHtml(), before);
        h.palette.view->endInlineEditing(true);
        EXPECT_EQ(h.depth(), depth + 1);
        if (row.charChanged) {
            EXPECT_TRUE(row.charChanged(formatAt(text->textContent(), 8)));
            EXPECT_FALSE(row.charChanged(formatAt(text->textContent(), 2)));
        } else {
            EXPECT_EQ(text->alignment(), 1);
        }
        h.undoStep();
        EXPECT_EQ(text->textContent().toHtml(), before);
    }
}

// Editing in place starts with the whole text selected; a change from the pane then reaches all
// of it, and reading the text's look back for the pane, as the text changes, leaves it as it is.
TEST(QntGroupModeInspectorTest, TextEditedInPlaceWithAllOfItSelectedTakesTheChangeWhole)
{
    InlineEditingOn inlineOn;
    for (const TextActionRow &row : textActionRows()) {
        for (bool freeText : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (freeText ? " free text" : " element"));
            Harness h;
            VRObjectRef object;
            if (freeText)
                object = placeFreeText(h, {150, 400});
            else
                object = h.placeElement({150, 150});
            object->setTextContent(
                QTextDocumentFragment::fromPlainText(QStringLiteral("Hello world")));
            h.select({object});
            h.palette.view->editTextOfObject(object);
            QTextEdit *editor = h.palette.view->inlineEditor();
            ASSERT_NE(editor, nullptr);
            ASSERT_TRUE(editor->textCursor().hasSelection());
            // Text added while all of it is selected: the pane reads the look of the whole
            // text again.
            QTextCursor end(editor->document());
            end.movePosition(QTextCursor::End);
            end.insertText(QStringLiteral("!"));
            const int depth = h.depth();
            row.act(*h.inspector);
            h.palette.view->endInlineEditing(true);
            EXPECT_EQ(h.depth(), depth + 1);
            EXPECT_EQ(object->textContent().toPlainText(), QStringLiteral("Hello world!"));
            for (int position : {2, 8}) {
                if (row.charChanged)
                    EXPECT_TRUE(row.charChanged(formatAt(object->textContent(), position)));
            }
        }
    }
}
