#include "app/window/CXAnimatingOutlineView.h"
#include "app/window/CXCollapsibleView.h"
#include "app/window/CXDisclosureBar.h"
#include "app/common/CXViewAnimation.h"
#include "app/window/DIDizeZoziDocument.h"
#include "framework/document/VRDrawingDocument.h"
#include "app/window/OXOverlayController.h"
#include "app/window/QntDocumentCommands.h"
#include "library/QntNotationPalette.h"
#include "app/common/QntConstants.h"
#include "app/window/QntDocumentConstants.h"
#include "app/launch/QntApplicationMain.h"
#include "app/launch/QntDocumentController.h"
#include "app/panels/QntInfoPanelController.h"
#include "app/launch/QntStartUpController.h"
#include "app/launch/QntWindowAnimation.h"
#include "app/launch/VOReruRerAppDelegate.h"
#include "app/panels/TransparentPanel.h"
#include "app/panels/VKLayersPaletteController.h"
#include "app/panels/VKObjectInspector.h"
#include "app/panels/VKToolPalette.h"
#include "app/undo/QntUndoInspector.h"
#include "connectors/QntConnectorModeInspector.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntDirectlyDrawedElement.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntText.h"
#include "inspectors/QntColorMatrix.h"
#include "inspectors/QntColorWell.h"
#include "inspectors/QntTextFieldCell.h"
#include "inspectors/QntGroupModeInspector.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/notations/QntImportFromGraffle.h"
#include "framework/notations/QntNotation.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRStroke.h"
#include "style/VKStyleInspector.h"
#include "framework/styles/VRStyle.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRViewController.h"
#include "framework/view/VRZoomTool.h"
#include "platform/TerminationSignals.h"
#include "platform/UserDefaults.h"
#include "style/QntColorPicker.h"
#include "style/QntGradientView.h"
#include "app/LaunchSettingsKeeper.h"
#include "app/TestDocumentController.h"
#include "common/ScopeExit.h"
#include "common/WaitUntil.h"
#include "common/SharedStateKeepers.h"

#include <QAction>
#include <QFile>
#include <QCryptographicHash>
#include <QMenu>
#include <QScreen>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>
#include <QtTest/QTest>

#include <algorithm>
#include <csignal>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>

#include <optional>

#include <gtest/gtest.h>

using qnt::test::waitUntil;

namespace {

QntDocumentController &controller()
{
    return testDocumentController();
}

class DocumentWindow : public ::testing::Test
{
protected:
    // Declared first, so it ends last: the settings the test's windows save go back after them.
    qnt::test::UserDefaultsKeeper m_defaults;
    void SetUp() override
    {
        static bool copied = false;
        if (!copied) {
            ASSERT_TRUE(QntNotation::copyNotationsFromBundleToAppSupportFolder().ok());
            copied = true;
        }
        m_timeScale = CXViewAnimation::timeScale();
        CXViewAnimation::setTimeScale(0.0);
        DIDizeZoziDocument::setSwitchAnimationScale(0.0);
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        for (auto section : allSections)
            defaults.removeObjectForKey(DIDizeZoziDocument::collapseKey(section));
        defaults.removeObjectForKey(kQntInspectorSwitchedOff);
        defaults.removeObjectForKey("QntLastNotationItem");
        controller();
    }
    void TearDown() override
    {
        for (Document *document : controller().documents()) {
            controller().removeDocument(document);
            delete document;
        }
        CXViewAnimation::setTimeScale(m_timeScale);
        DIDizeZoziDocument::setSwitchAnimationScale(1.0);
    }

    // Picks the notation in the start-up window as a user would, and answers its document:
    // null, with the failure recorded, when any step goes wrong.
    DIDizeZoziDocument *newDocumentWithNotation(const QString &group, const QString &notation)
    {
        DIDizeZoziDocument *made = nullptr;
        pickNotation(group, notation, &made);
        return made;
    }
    void pickNotation(const QString &group, const QString &notation, DIDizeZoziDocument **made)
    {
        controller().newDocument();
        QntStartUpController *startUp = QntDocumentController::startUpController();
        ASSERT_NE(startUp, nullptr);
        ASSERT_TRUE(startUp->window()->isVisible());
        ASSERT_TRUE(startUp->selectGroupNamed(group)) << group.toStdString();
        startUp->outlineViewAction();
        ASSERT_TRUE(startUp->selectNotationNamed(notation)) << notation.toStdString();
        const int before = int(controller().documents().size());
        startUp->okAction();
        ASSERT_EQ(int(controller().documents().size()), before + 1);
        EXPECT_FALSE(startUp->window()->isVisible());
        *made = qobject_cast<DIDizeZoziDocument *>(controller().documents().last());
        ASSERT_NE(*made, nullptr);
    }

    static void addRectangle(DIDizeZoziDocument &document, QRectF frame)
    {
        auto *layer = document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
        auto shape = std::make_shared<VRDrawableShape>();
        VRUndoManager *um = document.undoManager();
        um->beginUndoGrouping();
        layer->addObject(shape);
        shape->setSize(frame.size());
        shape->setLocation(frame.center());
        um->endUndoGrouping();
        um->setActionName("Add Rectangle");
    }

    static constexpr DIDizeZoziDocument::Section allSections[] = {
        DIDizeZoziDocument::Section::Text,
        DIDizeZoziDocument::Section::Geometry,
        DIDizeZoziDocument::Section::CustomElement,
        DIDizeZoziDocument::Section::CustomConnector,
        DIDizeZoziDocument::Section::NoncustomElement,
        DIDizeZoziDocument::Section::NoncustomConnector,
        DIDizeZoziDocument::Section::Layers,
        DIDizeZoziDocument::Section::ColorScheme,
        DIDizeZoziDocument::Section::Layout,
        DIDizeZoziDocument::Section::Table,
        DIDizeZoziDocument::Section::Style,
        DIDizeZoziDocument::Section::SmartConnectors,
        DIDizeZoziDocument::Section::Sequence};

private:
    double m_timeScale = 1.0;
};

} // namespace

TEST_F(DocumentWindow, NewShowsTheStartUpWindowAndNeverMakesADocument)
{
    controller().newDocument();
    QString error;
    EXPECT_EQ(controller().openUntitledDocumentAndDisplay(true, &error), nullptr);
    EXPECT_TRUE(controller().documents().isEmpty());
    QntStartUpController *startUp = QntDocumentController::startUpController();
    ASSERT_NE(startUp, nullptr);
    EXPECT_TRUE(startUp->window()->isVisible());
    const QStringList groups = startUp->groupTitles();
    EXPECT_FALSE(groups.contains("ImageBank"));
    ASSERT_FALSE(groups.isEmpty());
    EXPECT_EQ(groups.last(), "Imported");
    // OK without a selection does nothing.
    startUp->notationsItemsView()->clearSelection();
    startUp->okAction();
    EXPECT_TRUE(controller().documents().isEmpty());
}

struct ColumnCase {
    const char *group;
    const char *notation;
    QStringList sections;
    bool sequencePane;
};

TEST_F(DocumentWindow, PickingANotationOpensAWindowWhoseColumnListsItsSections)
{
    const ColumnCase cases[] = {
        {"FlowChart",
         "Flow Chart",
         {"Text", "Geometry", "Element", "Connector", "Layers", "Color Scheme", "Layout", "Table",
          "Style", "Smart Connectors"},
         false},
        {"Misc",
         "Customizable Style",
         {"Text", "Geometry", "Element", "Connector", "Layers", "Layout", "Table", "Style",
          "Smart Connectors"},
         false},
        {"UML",
         "UML Sequence Diagram",
         {"Sequence Diagram", "Text", "Geometry", "Element", "Connector", "Layers", "Color Scheme",
          "Layout", "Table", "Style", "Smart Connectors"},
         true},
    };
    for (const ColumnCase &c : cases) {
        DIDizeZoziDocument *document = newDocumentWithNotation(c.group, c.notation);
        ASSERT_NE(document, nullptr);
        ASSERT_NE(document->drawing()->currentNotation(), nullptr);
        EXPECT_EQ(document->drawing()->currentNotation()->notationName(), c.notation);
        EXPECT_EQ(document->inspectorSectionLabels(), c.sections) << c.notation;
        EXPECT_TRUE(document->window()->isVisible());
        EXPECT_NE(document->mainView(), nullptr);
        EXPECT_EQ(document->isSequenceViewSwitchedOff(), !c.sequencePane);
        EXPECT_EQ(document->zoomLabel()->text(), "100.0%");
        for (CXCollapsibleView *item : document->inspectorOutlineView()->items())
            EXPECT_TRUE(item->expanded()) << item->disclosureBar()->label().toStdString();
    }
}

TEST_F(DocumentWindow, CollapsingASectionIsRememberedForTheNextWindow)
{
    DIDizeZoziDocument *first = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(first, nullptr);
    CXCollapsibleView *style = first->sectionForView(DIDizeZoziDocument::Section::Style);
    ASSERT_NE(style, nullptr);
    style->toggleExpansionState();
    EXPECT_FALSE(style->expanded());
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    EXPECT_TRUE(defaults.boolForKey(kQntStyleViewCollapsed));
    EXPECT_FALSE(defaults.boolForKey(kQntElementTextViewCollapsed));
    // Kept in the stored preferences, so a restart finds it too.
    QFile stored(QDir::homePath() + "/.config/Quintora/Quintora.plist");
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_TRUE(stored.readAll().contains("kQntStyleViewCollapsed"));

    DIDizeZoziDocument *second = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(second->sectionForView(DIDizeZoziDocument::Section::Style)->expanded());
    EXPECT_TRUE(second->sectionForView(DIDizeZoziDocument::Section::Text)->expanded());
    // Opening it again clears the key.
    second->sectionForView(DIDizeZoziDocument::Section::Style)->toggleExpansionState();
    EXPECT_FALSE(defaults.boolForKey(kQntStyleViewCollapsed));
}

// The Style section's inspector is built when the section first comes into view, before it is
// painted, or when it is asked for: a window whose Style section is never looked at does not
// carry it.
TEST_F(DocumentWindow, TheStyleSectionIsBuiltWhenItFirstComesIntoView)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    document->window()->resize(1200, 700);
    QApplication::processEvents();
    QWidget *holder = document->sectionView(DIDizeZoziDocument::Section::Style);
    ASSERT_NE(holder, nullptr);
    ASSERT_TRUE(holder->visibleRegion().isEmpty()) << "the section is in view at first";
    EXPECT_EQ(holder->findChild<VKStyleInspector *>(), nullptr);

    auto *column = qobject_cast<QScrollArea *>(document->inspectorView());
    ASSERT_NE(column, nullptr);
    column->verticalScrollBar()->setValue(
        holder->mapTo(document->inspectorOutlineView(), QPoint()).y());
    // Built as the scroll moved it into view, with no event handled since.
    auto *built = holder->findChild<VKStyleInspector *>();
    ASSERT_NE(built, nullptr);
    EXPECT_FALSE(holder->visibleRegion().isEmpty());
    EXPECT_TRUE(built->mainView()->isVisibleTo(holder));
    EXPECT_EQ(built->mainView()->height(), holder->height());
    EXPECT_EQ(document->styleInspector(), built);
    // It follows the selection from then on.
    addRectangle(*document, QRectF(100, 100, 120, 60));
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    const VRObjectRef shape = layer->objects().last();
    shape->setStyle(VRStyle::styleWithFillColour(Qt::yellow, Qt::black, 2.0));
    layer->exchangeSelectionWithObjectsFromArray({shape});
    QApplication::processEvents();
    ASSERT_NE(built->style(), nullptr);
    EXPECT_EQ(built->style(), shape->style());

    // Asked for before it was ever in view.
    DIDizeZoziDocument *other = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(other, nullptr);
    other->window()->resize(1200, 700);
    QApplication::processEvents();
    QWidget *otherHolder = other->sectionView(DIDizeZoziDocument::Section::Style);
    ASSERT_NE(otherHolder, nullptr);
    EXPECT_EQ(otherHolder->findChild<VKStyleInspector *>(), nullptr);
    VKStyleInspector *asked = other->styleInspector();
    ASSERT_NE(asked, nullptr);
    EXPECT_EQ(otherHolder->findChild<VKStyleInspector *>(), asked);
    EXPECT_EQ(other->styleInspector(), asked);
}

TEST_F(DocumentWindow, SwitchingTheColumnOffAndOnRestoresTheLayout)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    document->window()->resize(1200, 800);
    QApplication::processEvents();
    const QRect split = document->splitView()->geometry();
    const QRect inspector = document->inspectorView()->geometry();
    EXPECT_EQ(inspector.width(), 300);
    document->switchInspector();
    EXPECT_TRUE(document->isInspectorSwitchedOff());
    EXPECT_TRUE(UserDefaults::standardUserDefaults().boolForKey(kQntInspectorSwitchedOff));
    EXPECT_EQ(document->splitView()->width(), split.width() + 300);
    EXPECT_EQ(document->inspectorView()->width(), 0);

    // A window opened meanwhile starts with the column off.
    DIDizeZoziDocument *other = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(other->isInspectorSwitchedOff());
    EXPECT_EQ(other->inspectorView()->width(), 0);

    document->switchInspector();
    EXPECT_EQ(document->splitView()->geometry(), split);
    EXPECT_EQ(document->inspectorView()->geometry(), inspector);
    EXPECT_FALSE(UserDefaults::standardUserDefaults().boolForKey(kQntInspectorSwitchedOff));
}

TEST_F(DocumentWindow, AnEditMarksTheWindowAutosavesAndUndoClearsTheMarkOfThatWindowOnly)
{
    const double delay = DIDizeZoziDocument::autosaveDelayForNewWindows();
    DIDizeZoziDocument::setAutosaveDelayForNewWindows(0.2);
    DIDizeZoziDocument *a = newDocumentWithNotation("FlowChart", "Flow Chart");
    DIDizeZoziDocument *b = newDocumentWithNotation("FlowChart", "Flow Chart");
    DIDizeZoziDocument::setAutosaveDelayForNewWindows(delay);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_DOUBLE_EQ(a->autosavingDelay(), 0.2);
    EXPECT_FALSE(a->isDocumentEdited());

    addRectangle(*a, QRectF(100, 100, 120, 60));
    addRectangle(*b, QRectF(40, 40, 80, 80));
    EXPECT_TRUE(a->isDocumentEdited());
    EXPECT_TRUE(a->window()->isWindowModified());
    EXPECT_TRUE(b->isDocumentEdited());
    ASSERT_TRUE(waitUntil([&] {
        return !a->autosavedContentsPath().isEmpty() && QFile::exists(a->autosavedContentsPath());
    }));

    a->undoManager()->undo();
    EXPECT_FALSE(a->isDocumentEdited());
    EXPECT_FALSE(a->window()->isWindowModified());
    EXPECT_TRUE(b->isDocumentEdited());
    EXPECT_TRUE(b->window()->isWindowModified());
    a->undoManager()->redo();
    EXPECT_TRUE(a->isDocumentEdited());
}

TEST_F(DocumentWindow, MovingOrResizingTheWindowClosesAttachedWindowsAndHidesTheInfoPanel)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    int closes = 0;
    int hides = 0;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    auto closeToken = center.addObserver(kQntCloseAttachedWindowsNotification, document,
                                         [&](const Notification &) { ++closes; });
    auto hideToken =
        center.addObserver(kQntHideInfoPanelNotification, nullptr, [&](const Notification &n) {
            ++hides;
            QntInfoPanelController::sharedController().hideInfoPanel(n);
        });

    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setBool(false, QntDisplayHelpMessagesKey);
    QntInfoPanelController &info = QntInfoPanelController::sharedController();
    info.openInfoPanel(
        {kQntShowInfoPanelNotification, nullptr, {{"msg", "Drag a shape from the library."}}});
    EXPECT_TRUE(!info.panel() || !info.panel()->isVisible());
    defaults.setBool(true, QntDisplayHelpMessagesKey);
    info.openInfoPanel(
        {kQntShowInfoPanelNotification, nullptr, {{"msg", "Drag a shape from the library."}}});
    ASSERT_NE(info.panel(), nullptr);
    EXPECT_TRUE(info.panel()->isVisible());
    EXPECT_EQ(info.textView()->text(), "Drag a shape from the library.");

    document->window()->move(document->window()->pos() + QPoint(30, 20));
    QApplication::processEvents();
    EXPECT_GE(closes, 1);
    EXPECT_GE(hides, 1);
    EXPECT_FALSE(info.panel()->isVisible());
    const int before = closes;
    document->window()->resize(document->window()->size() - QSize(40, 40));
    QApplication::processEvents();
    EXPECT_GT(closes, before);

    // Scrolling closes them too, unless an inspector keeps its window while scrolling.
    const int beforeScroll = closes;
    document->scrollingInProgressNotification();
    EXPECT_EQ(closes, beforeScroll + 1);
    document->setKeepAttachedWindowWhenScrolling(true);
    document->scrollingInProgressNotification();
    EXPECT_EQ(closes, beforeScroll + 1);
    // "Don't show again" turns the messages off.
    info.dontShowAgainInfoPanel(true);
    EXPECT_FALSE(defaults.boolForKey(QntDisplayHelpMessagesKey));
}

TEST_F(DocumentWindow, OverlayShowsOverTheDrawingUntilEnded)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    OXOverlayController *overlay = document->overlayController();
    ASSERT_NE(overlay, nullptr);
    EXPECT_FALSE(overlay->isOverlay());
    document->showOverlayMessage("Importing…");
    EXPECT_TRUE(overlay->isOverlay());
    document->showOverlayMessage("Again"); // the first is ended, never left behind
    EXPECT_TRUE(overlay->isOverlay());
    overlay->endOverlay();
    EXPECT_FALSE(overlay->isOverlay());
}

TEST_F(DocumentWindow, SelectingAPlainShapeRelabelsTheColoursSection)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    ASSERT_NE(layer, nullptr);
    auto shape = std::make_shared<VRDrawableShape>();
    layer->addObject(shape);
    layer->addObjectToSelection(shape);
    document->selectedObjectDidChange({kVRLayerSelectionDidChange, layer, {}});
    EXPECT_EQ(document->inspectorSectionLabels().at(2), "Element Color Components");
    EXPECT_FALSE(document->addedCustomElementStyleSection());
    // Its colour buttons stand on the white-to-grey ground.
    QWidget *colours = document->sectionView(DIDizeZoziDocument::Section::NoncustomElement);
    ASSERT_NE(qobject_cast<QntGradientView *>(colours), nullptr);
    EXPECT_NE(colours->findChild<QntColorPicker *>("fillColourPicker"), nullptr);
}

TEST_F(DocumentWindow, AnUnreadableStencilShowsTheMessageAndChangesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/broken.gstencil";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a stencil");
    file.close();
    controller().newDocument();
    QntStartUpController *startUp = QntDocumentController::startUpController();
    const double delay = QntStartUpController::failureMessageDelay();
    const qnt::test::ScopeExit restoreDelay(
        [delay] { QntStartUpController::setFailureMessageDelay(delay); });
    QntStartUpController::setFailureMessageDelay(0.1);
    const QStringList before =
        QDir(QntNotation::rootNotationsFolderPath() + "/Imported").entryList(QDir::Files);
    startUp->importStencilFromPath(path);
    ASSERT_TRUE(
        waitUntil([&] { return startUp->progressLabelText() == "Could not import this file."; }));
    ASSERT_TRUE(waitUntil([&] { return !startUp->isImporting(); }));
    // Then a box says what was wrong with this file and which files can be imported.
    QMessageBox *alert = startUp->importErrorAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "Could not import this file.");
    for (const char *part : {"broken.gstencil", "malformed", ".plist", ".gstencil", ".graffle"})
        EXPECT_TRUE(alert->informativeText().contains(QLatin1String(part)))
            << part << " in " << alert->informativeText().toStdString();
    alert->close();
    EXPECT_TRUE(controller().documents().isEmpty());
    EXPECT_EQ(QDir(QntNotation::rootNotationsFolderPath() + "/Imported").entryList(QDir::Files),
              before);
    EXPECT_FALSE(QntStartUpController::importedShapes().has_value());
}

TEST_F(DocumentWindow, AnEditedUntitledDocumentComesBackAfterARestart)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    addRectangle(*document, QRectF(100, 100, 120, 60));
    ASSERT_TRUE(document->isDocumentEdited());
    controller().prepareForTermination();
    const QVariantList stored = controller().restorationList();
    ASSERT_EQ(stored.size(), 1);

    // A second controller plays the next launch: it reopens from the stored list.
    QntDocumentController nextLaunch;
    nextLaunch.setErrorPresenter([](const QString &, QWidget *) {});
    EXPECT_EQ(nextLaunch.reopenDocumentsFromLastSession(), 1);
    ASSERT_EQ(nextLaunch.documents().size(), 1);
    auto *reopened = qobject_cast<DIDizeZoziDocument *>(nextLaunch.documents().first());
    ASSERT_NE(reopened, nullptr);
    auto *layer = reopened->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->objects().size(), 1);
    EXPECT_EQ(reopened->drawing()->currentNotationName(), "Flow Chart");
    ASSERT_NE(reopened->window(), nullptr);
    EXPECT_TRUE(reopened->window()->isVisible());
    Document *gone = reopened;
    nextLaunch.removeDocument(gone);
    delete gone;
}

TEST_F(DocumentWindow, ImportingAValidStencilAddsAnImportedNotationAndOpensADocumentWithItsShapes)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/Office Kit.plist";
    auto first = std::make_shared<VRDrawableShape>();
    first->setSize(QSizeF(80, 40));
    first->setLocation(QPointF(60, 40));
    auto second = std::make_shared<VRDrawableShape>();
    second->setSize(QSizeF(50, 50));
    second->setLocation(QPointF(200, 60));
    ASSERT_TRUE(
        QntImportFromGraffle::writeStencil(path, {{"Desks", {first}}, {"Chairs", {second}}}).ok());

    controller().newDocument();
    QntStartUpController *startUp = QntDocumentController::startUpController();
    startUp->importStencilFromPath(path);
    ASSERT_TRUE(waitUntil([&] { return !startUp->isImporting(); }));
    ASSERT_EQ(controller().documents().size(), 1);
    auto *document = qobject_cast<DIDizeZoziDocument *>(controller().documents().first());
    ASSERT_NE(document, nullptr);
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    EXPECT_EQ(layer->objects().size(), 2); // both sheets, in sheet order
    ASSERT_NE(document->drawing()->currentNotation(), nullptr);
    EXPECT_TRUE(document->drawing()->currentNotation()->absolutePath().contains("/Imported/"));
    EXPECT_FALSE(QntStartUpController::importedShapes().has_value());
    EXPECT_TRUE(startUp->groupTitles().contains("Imported"));
    EXPECT_TRUE(document->window()->isVisible());

    // The imported notation can be deleted, after a confirmation; shipped ones cannot.
    controller().newDocument();
    ASSERT_TRUE(startUp->selectGroupNamed("Imported"));
    startUp->outlineViewAction();
    ASSERT_TRUE(startUp->selectNotationNamed("Office Kit"));
    EXPECT_TRUE(startUp->canDeleteSelectedCollectionItem());
    const QString imported = document->drawing()->currentNotation()->absolutePath();
    bool asked = false;
    QntStartUpController::setConfirmation([&](QWidget *, const QString &) {
        asked = true;
        return false;
    });
    startUp->deleteSelectedCollectionItem();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(QFile::exists(imported));
    QntStartUpController::setConfirmation([](QWidget *, const QString &) { return true; });
    startUp->deleteSelectedCollectionItem();
    EXPECT_FALSE(QFile::exists(imported));
    ASSERT_TRUE(startUp->selectGroupNamed("FlowChart"));
    startUp->outlineViewAction();
    ASSERT_TRUE(startUp->selectNotationNamed("Flow Chart"));
    EXPECT_FALSE(startUp->canDeleteSelectedCollectionItem());
    QntStartUpController::setConfirmation({});
}

TEST_F(DocumentWindow, AQuintoraUrlOpensThatDocumentInAWindow)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/To Plan.quintora";
    {
        DIDizeZoziDocument saved;
        addRectangle(saved, QRectF(10, 10, 50, 50));
        ASSERT_TRUE(saved.writeToFile(path).ok());
    }
    VOReruRerAppDelegate delegate;
    delegate.handleGetURLEvent("quintora://"
                               + QString::fromLatin1(QUrl::toPercentEncoding(path, "/")));
    ASSERT_EQ(controller().documents().size(), 1);
    auto *document = qobject_cast<DIDizeZoziDocument *>(controller().documents().first());
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->filePath(), path);
    ASSERT_NE(document->window(), nullptr);
    EXPECT_TRUE(document->window()->isVisible());
    EXPECT_TRUE(document->window()->windowTitle().startsWith("To Plan"));
}

TEST_F(DocumentWindow, ACustomisableNotationInsertsTheColoursSectionOnceForADirectlyDrawnElement)
{
    int created = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        kQntNewDocumentCreatedNotification, nullptr, [&](const Notification &) { ++created; });
    DIDizeZoziDocument *document = newDocumentWithNotation("Misc", "Customizable Style");
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(created, 1);
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    auto plain = std::make_shared<VRDrawableShape>();
    auto drawn = std::make_shared<QntDirectlyDrawedElement>();
    layer->addObject(plain);
    layer->addObject(drawn);
    const int rows = document->inspectorOutlineView()->numberOfRows();
    auto select = [&](const VRObjectRef &object) {
        layer->deselectAll();
        if (object)
            layer->addObjectToSelection(object);
        document->selectedObjectDidChange({kVRLayerSelectionDidChange, layer, {}});
    };
    select(plain);
    EXPECT_EQ(document->inspectorOutlineView()->numberOfRows(), rows);
    select(drawn);
    EXPECT_EQ(document->inspectorOutlineView()->numberOfRows(), rows + 1);
    EXPECT_EQ(document->inspectorSectionLabels().at(2), "Element Color Components");
    ASSERT_NE(document->inspectorOutlineView()->itemWithViewID(345), nullptr);
    select(drawn);
    EXPECT_EQ(document->inspectorOutlineView()->numberOfRows(), rows + 1);
    select(plain);
    EXPECT_EQ(document->inspectorOutlineView()->numberOfRows(), rows);
    EXPECT_FALSE(document->addedElementColorsSection());
}

TEST_F(DocumentWindow, AMultipleSelectionShowsTheSizeAndOriginOfTheSelectedObjectsOnly)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    auto a = std::make_shared<VRDrawableShape>();
    a->setSize(QSizeF(100, 50));
    a->setLocation(QPointF(150, 125));
    auto b = std::make_shared<VRDrawableShape>();
    b->setSize(QSizeF(100, 50));
    b->setLocation(QPointF(350, 225));
    // An object left out of the selection counts for nothing.
    auto c = std::make_shared<VRDrawableShape>();
    c->setSize(QSizeF(40, 40));
    c->setLocation(QPointF(900, 700));
    layer->addObject(a);
    layer->addObject(b);
    layer->addObject(c);
    layer->addObjectToSelection(a);
    layer->addObjectToSelection(b);
    document->selectedObjectDidChange({kVRLayerSelectionDidChange, layer, {}});
    const auto line = [&] {
        const QRectF r = a->bounds().united(b->bounds());
        const QStringList origin = document->drawing()->formattedConvertedPoint(r.topLeft());
        return QString("W:%1 H:%2 X0:%3 Y0:%4")
            .arg(document->drawing()->formattedConvertedLength(r.width()),
                 document->drawing()->formattedConvertedLength(r.height()), origin.value(0),
                 origin.value(1))
            .toStdString();
    };
    EXPECT_DOUBLE_EQ(a->bounds().united(b->bounds()).width(), 300.0);
    EXPECT_EQ(document->infoLabel()->text().toStdString(), line());
    // A move of a selected object, and its undo, show in the line at once.
    const std::string before = line();
    VRUndoManager *undo = document->drawing()->undoManager();
    undo->closeOpenGroups();
    b->setLocation(QPointF(550, 225));
    undo->closeOpenGroups();
    ASSERT_NE(line(), before);
    EXPECT_EQ(document->infoLabel()->text().toStdString(), line());
    undo->undo();
    ASSERT_EQ(line(), before);
    EXPECT_EQ(document->infoLabel()->text().toStdString(), before);
}

// The status line gives a selected object's top left corner as X0 and Y0, as for several; the
// Geometry section's X and Y, the centre, say so.
TEST_F(DocumentWindow, TheStatusLineAndTheGeometrySectionSayWhichPointTheirXAndYAre)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    auto a = std::make_shared<VRDrawableShape>();
    a->setSize(QSizeF(100, 50));
    a->setLocation(QPointF(150, 125));
    layer->addObject(a);
    layer->addObjectToSelection(a);
    document->mainView()->postShapeInfo(a);
    const QString line = document->infoLabel()->text();
    VRDrawing &drawing = *document->drawing();
    const QRectF b = a->logicalBounds();
    EXPECT_EQ(line, QString("W:%1 H:%2 X0:%3 Y0:%4")
                        .arg(drawing.formattedConvertedLength(b.width()),
                             drawing.formattedConvertedLength(b.height()),
                             drawing.formattedConvertedLength(b.left() - drawing.leftMargin()),
                             drawing.formattedConvertedLength(b.top() - drawing.topMargin())));
    EXPECT_TRUE(document->infoLabel()->toolTip().contains("top left"));

    QStringList captions;
    for (QLabel *label : document->window()->findChildren<QLabel *>())
        captions << label->text();
    EXPECT_TRUE(captions.contains("X (centre)")) << captions.join('|').toStdString();
    EXPECT_TRUE(captions.contains("Y (centre)"));
    EXPECT_FALSE(captions.contains("X"));
}

TEST_F(DocumentWindow, TheSequencePaneComesWithTheSequenceNotationAndSwitchesBack)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("UML", "UML Sequence Diagram");
    ASSERT_NE(document, nullptr);
    document->window()->resize(1200, 800);
    QApplication::processEvents();
    EXPECT_TRUE(document->sequenceView()->isVisible());
    EXPECT_TRUE(document->isCommandViewSwitchedOff());
    const QRect split = document->splitView()->geometry();
    document->switchSequenceInspector();
    EXPECT_TRUE(document->isSequenceViewSwitchedOff());
    EXPECT_FALSE(document->sequenceView()->isVisible());
    EXPECT_EQ(document->splitView()->height(), split.height() + 250);
    document->switchSequenceInspector();
    EXPECT_FALSE(document->isSequenceViewSwitchedOff());
    EXPECT_TRUE(document->sequenceView()->isVisible());
    EXPECT_EQ(document->splitView()->geometry(), split);

    EXPECT_TRUE(document->switchSequenceDiagramMenuItem()->isVisible());
    EXPECT_EQ(document->switchSequenceDiagramMenuItem()->text(), "Sequence Diagram");

    DIDizeZoziDocument *commands = newDocumentWithNotation("CommandDriven", "Command Driven Style");
    ASSERT_NE(commands, nullptr);
    EXPECT_FALSE(commands->isSequenceViewSwitchedOff());
    EXPECT_FALSE(commands->isCommandViewSwitchedOff());
    EXPECT_EQ(commands->switchSequenceDiagramMenuItem()->text(), "Commands editor");
    DIDizeZoziDocument *plain = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(plain->switchSequenceDiagramMenuItem()->isVisible());
}

TEST_F(DocumentWindow, TheZoomSliderFollowsTheDrawingViewAndZoomsIt)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    DIDizeZoziDocument *other = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(other, nullptr);
    document->mainView()->setScale(1.5);
    EXPECT_EQ(document->zoomSlider()->value(), 150);
    EXPECT_EQ(document->zoomLabel()->text(), "150.0%");
    EXPECT_EQ(other->zoomSlider()->value(), 100); // another window's view is not followed
    document->zoomSlider()->setValue(200);
    document->zoomToPercentageWithTag(200);
    EXPECT_DOUBLE_EQ(document->mainView()->scale(), 2.0);
    EXPECT_EQ(document->zoomLabel()->text(), "200.0%");
}

TEST_F(DocumentWindow, ClosingTheWindowClosesItsDocument)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    QPointer<DIDizeZoziDocument> watched(document);
    addRectangle(*document, QRectF(10, 10, 40, 40));
    int closes = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        kQntCloseAttachedWindowsNotification, document, [&](const Notification &) { ++closes; });
    document->window()->close();
    ASSERT_TRUE(waitUntil([&] { return controller().documents().isEmpty(); }));
    EXPECT_GE(closes, 1);
}

TEST_F(DocumentWindow, OpeningAnExistingFileFromTheStartUpWindowGrowsItsWindowOnce)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/Existing.quintora";
    {
        DIDizeZoziDocument saved;
        ASSERT_TRUE(saved.writeToFile(path).ok());
    }
    QntWindowAnimation::setTimeScale(0.0);
    const qnt::test::ScopeExit restore([] {
        QntWindowAnimation::setTimeScale(1.0);
        controller().setOpenPanel({});
    });
    int grown = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        QntWindowAnimation::kAnimationFromFrameDidFinishedNotification, nullptr,
        [&](const Notification &) { ++grown; });
    controller().setOpenPanel([path](QWidget *) { return QStringList{path}; });
    controller().newDocument();
    QntStartUpController *startUp = QntDocumentController::startUpController();
    startUp->openExistingFileAction();
    ASSERT_EQ(controller().documents().size(), 1);
    EXPECT_EQ(grown, 1);
    EXPECT_FALSE(startUp->isOpeningExistingFile());
    startUp->openExistingFileAction(); // already open: no new window, no animation
    EXPECT_EQ(controller().documents().size(), 1);
    EXPECT_EQ(grown, 1);
}

// ---- closing, quitting, autosave, floating panels ---------------------------------------------

namespace {

QByteArray checksum(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

bool startUpWindowVisible()
{
    QntStartUpController *startUp = QntDocumentController::startUpController();
    return startUp && startUp->window() && startUp->window()->isVisible();
}

// A launched application: the start-up window follows the last document window and Quit
// reviews the edited documents. The close prompt answers from a script (Cancel once spent).
class LaunchedDocumentWindow : public DocumentWindow
{
protected:
    void SetUp() override
    {
        DocumentWindow::SetUp();
        m_launchSettings.emplace();
        m_delegate = std::make_unique<VOReruRerAppDelegate>();
        m_delegate->applicationWillFinishLaunching();
        m_delegate->applicationDidFinishLaunching();
        QntDocumentController::orderOutStartUpWindow();
        controller().setClosePrompt([this](Document *document, QWidget *) {
            m_asked << document;
            return m_answers.isEmpty() ? DocumentController::CloseChoice::Cancel
                                       : m_answers.takeFirst();
        });
    }
    void TearDown() override
    {
        controller().setClosePrompt(
            [](Document *, QWidget *) { return DocumentController::CloseChoice::DontSave; });
        controller().setSavePanel({});
        DocumentWindow::TearDown();
        QApplication::processEvents();
        QntDocumentController::orderOutStartUpWindow();
        m_delegate.reset();
        // Opening the tool palette is remembered for the next launch: the next test's.
        UserDefaults::standardUserDefaults().removeObjectForKey(kQntToolPaletteIsVisible);
        m_launchSettings.reset();
    }

    // A Flow Chart document saved as name, with one shape.
    DIDizeZoziDocument *savedDocument(const QString &name)
    {
        DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
        if (!document)
            return nullptr;
        addRectangle(*document, QRectF(60, 60, 100, 50));
        EXPECT_TRUE(document->saveToPath(m_dir.path() + "/" + name));
        return document;
    }

    static QAction *action(DIDizeZoziDocument *document, const char *name)
    {
        return document->window()->findChild<QAction *>(QString::fromLatin1(name));
    }

    std::optional<qnt::test::LaunchSettingsKeeper> m_launchSettings;
    std::unique_ptr<VOReruRerAppDelegate> m_delegate;
    QList<DocumentController::CloseChoice> m_answers;
    QList<Document *> m_asked;
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(LaunchedDocumentWindow, CloseAndCtrlWCloseTheWindowAndTheStartUpWindowFollowsTheLast)
{
    DIDizeZoziDocument *first = newDocumentWithNotation("FlowChart", "Flow Chart");
    DIDizeZoziDocument *second = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_TRUE(first && second);
    QPointer<QMainWindow> firstWindow = first->window();
    QAction *close = action(first, "closeAction");
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_W));
    close->trigger();
    ASSERT_TRUE(waitUntil([&] { return controller().documents().size() == 1; }));
    EXPECT_TRUE(!firstWindow || !firstWindow->isVisible());
    QApplication::processEvents();
    EXPECT_FALSE(startUpWindowVisible());

    QMainWindow *window = second->window();
    window->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == window; }));
    QTest::keyClick(window, Qt::Key_W, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return controller().documents().isEmpty(); }));
    EXPECT_TRUE(waitUntil([] { return startUpWindowVisible(); }));
    EXPECT_TRUE(m_asked.isEmpty());
}

TEST_F(LaunchedDocumentWindow, ClosingAnEditedDocumentAsksAndDontSaveLeavesTheFileAsSaved)
{
    using Choice = DocumentController::CloseChoice;
    struct Case {
        const char *name;
        Choice answer;
        bool closes;
        bool fileChanges;
    };
    const Case cases[] = {{"cancel", Choice::Cancel, false, false},
                          {"dont-save", Choice::DontSave, true, false},
                          {"save", Choice::Save, true, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = m_dir.path() + "/" + c.name + ".quintora";
        DIDizeZoziDocument *document = savedDocument(QString::fromLatin1(c.name) + ".quintora");
        ASSERT_NE(document, nullptr);
        const QByteArray saved = checksum(file);
        addRectangle(*document, QRectF(200, 200, 80, 80));
        ASSERT_TRUE(document->autosave());
        const QString recovery = document->autosavedContentsPath();
        ASSERT_TRUE(QFile::exists(recovery));
        EXPECT_EQ(checksum(file), saved);
        m_asked.clear();
        m_answers = {c.answer};
        action(document, "closeAction")->trigger();
        QApplication::processEvents();
        QApplication::processEvents();
        EXPECT_EQ(m_asked.size(), 1);
        EXPECT_EQ(controller().documents().contains(document), !c.closes);
        EXPECT_EQ(checksum(file) != saved, c.fileChanges);
        EXPECT_EQ(QFile::exists(recovery), !c.closes);
        if (!c.closes) {
            EXPECT_TRUE(document->window()->isVisible());
            controller().removeDocument(document);
        }
        QApplication::processEvents();
    }
}

TEST_F(LaunchedDocumentWindow, ATerminationSignalKeepsEveryEditForTheNextLaunchWithoutAsking)
{
    DIDizeZoziDocument *titled = savedDocument("titled.quintora");
    DIDizeZoziDocument *untitled = newDocumentWithNotation("FlowChart", "Flow Chart");
    DIDizeZoziDocument *clean = savedDocument("clean.quintora");
    ASSERT_TRUE(titled && untitled && clean);
    const QString file = m_dir.path() + "/titled.quintora";
    const QByteArray saved = checksum(file);
    addRectangle(*titled, QRectF(200, 200, 80, 80));
    addRectangle(*untitled, QRectF(300, 300, 80, 80));
    addRectangle(*untitled, QRectF(400, 300, 80, 80));
    ASSERT_TRUE(titled->isDocumentEdited() && untitled->isDocumentEdited());
    ASSERT_FALSE(clean->isDocumentEdited());
    const QList<DIDizeZoziDocument *> edited = {titled, untitled};
    QList<QString> recoveries;
    const qnt::test::ScopeExit removeRecoveries([&recoveries] {
        for (const QString &recovery : recoveries)
            QFile::remove(recovery);
        UserDefaults::standardUserDefaults().removeObjectForKey(
            DocumentController::kOpenDocumentsKey);
    });

    TerminationSignals termination;
    installTerminationHandling(controller(), *m_delegate, &termination);
    QTimer::singleShot(0, &termination,
                       [&termination] { emit termination.terminationRequested(SIGTERM); });
    // A quit held up by a question ends here, unanswered.
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    giveUp.start(20000);
    EXPECT_EQ(QApplication::exec(), 0);
    giveUp.stop();
    EXPECT_TRUE(m_asked.isEmpty());
    EXPECT_TRUE(m_delegate->isQuitting());

    // The user's file is as last saved; each edited document's recovery copy holds its edits
    // and is listed for the next launch, which reopens it marked edited.
    EXPECT_EQ(checksum(file), saved);
    const QVariantList reopened = controller().restorationList();
    for (DIDizeZoziDocument *document : edited) {
        SCOPED_TRACE(document->displayName().toStdString());
        const QString recovery = document->autosavedContentsPath();
        recoveries << recovery;
        ASSERT_TRUE(QFile::exists(recovery));
        VRDrawingDocument copy;
        QString error;
        ASSERT_TRUE(copy.readFromURL(recovery, &error)) << error.toStdString();
        EXPECT_EQ(
            copy.drawing()->activeLayerOfClass<VRObjectDrawingLayer>()->countOfObjects(),
            document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>()->countOfObjects());
        EXPECT_TRUE(std::any_of(reopened.begin(), reopened.end(), [&](const QVariant &entry) {
            return entry.toMap().value("autosave").toString() == recovery
                   && entry.toMap().value("path").toString() == document->filePath();
        }));
    }
    EXPECT_TRUE(clean->autosavedContentsPath().isEmpty());

    // Nothing of the quit is left to end a loop that runs later (a dialog's, the next test's).
    QApplication::processEvents();
    QEventLoop later;
    QTimer::singleShot(10, &later, [&later] { later.exit(7); });
    EXPECT_EQ(later.exec(), 7);
}

TEST_F(LaunchedDocumentWindow, QuitAsksAboutEachEditedDocumentOnceAndCancelStopsIt)
{
    using Choice = DocumentController::CloseChoice;
    DIDizeZoziDocument *clean = newDocumentWithNotation("FlowChart", "Flow Chart");
    DIDizeZoziDocument *kept = savedDocument("kept.quintora");
    DIDizeZoziDocument *dropped = savedDocument("dropped.quintora");
    ASSERT_TRUE(clean && kept && dropped);
    QAction *quit = action(clean, "quitAction");
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    // Without edited documents, Quit asks nothing.
    quit->trigger();
    EXPECT_TRUE(m_asked.isEmpty());
    EXPECT_TRUE(m_delegate->isQuitting());
    // The quit was agreed on; the test goes on with a delegate that has not quit.
    m_delegate.reset();
    m_delegate = std::make_unique<VOReruRerAppDelegate>();
    m_delegate->applicationWillFinishLaunching();
    m_delegate->applicationDidFinishLaunching();
    QntDocumentController::orderOutStartUpWindow();

    const QByteArray keptOnDisk = checksum(m_dir.path() + "/kept.quintora");
    const QByteArray droppedOnDisk = checksum(m_dir.path() + "/dropped.quintora");
    addRectangle(*kept, QRectF(300, 300, 40, 40));
    addRectangle(*dropped, QRectF(300, 300, 40, 40));
    // Cancel on the first question stops the quit; nothing changes.
    m_answers = {Choice::Cancel};
    action(clean, "quitAction")->trigger();
    EXPECT_EQ(m_asked.size(), 1);
    EXPECT_FALSE(m_delegate->isQuitting());
    EXPECT_EQ(controller().documents().size(), 3);
    EXPECT_TRUE(kept->isDocumentEdited() && dropped->isDocumentEdited());

    // Save the one, discard the other: each is asked about once, then the application quits.
    m_asked.clear();
    m_answers = {Choice::Save, Choice::DontSave};
    EXPECT_TRUE(m_delegate->terminate());
    EXPECT_EQ(m_asked, (QList<Document *>{kept, dropped}));
    EXPECT_TRUE(m_delegate->isQuitting());
    EXPECT_NE(checksum(m_dir.path() + "/kept.quintora"), keptOnDisk);
    EXPECT_FALSE(kept->isDocumentEdited());
    EXPECT_EQ(checksum(m_dir.path() + "/dropped.quintora"), droppedOnDisk);
    QApplication::processEvents();
    EXPECT_FALSE(controller().documents().contains(dropped));
    // Quitting shows no start-up window on the way out.
    QApplication::processEvents();
    EXPECT_FALSE(startUpWindowVisible());
}

TEST_F(LaunchedDocumentWindow, SaveAsClearsTheTitleMarkAndAnAutosaveNever)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    addRectangle(*document, QRectF(60, 60, 100, 50));
    QMainWindow *window = document->window();
    EXPECT_TRUE(window->isWindowModified());
    ASSERT_TRUE(document->autosave());
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_TRUE(document->isDocumentEdited());

    const QString file = m_dir.path() + "/Named.quintora";
    controller().setSavePanel([&](QWidget *, const QString &) { return file; });
    ASSERT_TRUE(document->saveAs(window));
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_TRUE(window->windowTitle().startsWith("Named")) << window->windowTitle().toStdString();
    const QByteArray saved = checksum(file);

    addRectangle(*document, QRectF(200, 60, 100, 50));
    EXPECT_TRUE(window->isWindowModified());
    ASSERT_TRUE(document->autosave());
    EXPECT_EQ(checksum(file), saved);
    EXPECT_TRUE(window->isWindowModified());
    ASSERT_NE(action(document, "saveAction"), nullptr);
    action(document, "saveAction")->trigger();
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_NE(checksum(file), saved);
}

TEST_F(LaunchedDocumentWindow, NewWindowFrameLiesWithinTheAvailableArea)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    QApplication::processEvents();
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(available.contains(document->window()->frameGeometry()))
        << document->window()->frameGeometry().height() << " " << available.height();
    EXPECT_TRUE(available.contains(
        QRect(document->zoomSlider()->mapToGlobal(QPoint(0, 0)), document->zoomSlider()->size())));
}

TEST_F(LaunchedDocumentWindow, FloatingPanelsFloatAboveTheActiveDocumentWindow)
{
    DIDizeZoziDocument *first = newDocumentWithNotation("FlowChart", "Flow Chart");
    DIDizeZoziDocument *second = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_TRUE(first && second);
    second->window()->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == second->window(); }));
    m_delegate->openToolPalette();
    m_delegate->openObjectInspector();
    m_delegate->openUndoInspector();
    const QList<QWidget *> panels = {m_delegate->toolPalette()->window(),
                                     m_delegate->objectInspector()->window(),
                                     m_delegate->undoInspector()->window()};
    for (QWidget *panel : panels) {
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->windowType(), Qt::Tool);
        EXPECT_TRUE(panel->isVisible());
        ASSERT_NE(panel->windowHandle(), nullptr);
        EXPECT_EQ(panel->windowHandle()->transientParent(), second->window()->windowHandle());
    }
    // A click in the other document's drawing makes that window active: the panels follow it,
    // visible and where they were.
    const QPoint where = panels.first()->pos();
    first->window()->activateWindow();
    ASSERT_TRUE(waitUntil([&] {
        return panels.last()->windowHandle()->transientParent() == first->window()->windowHandle();
    }));
    for (QWidget *panel : panels) {
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(panel->windowHandle()->transientParent(), first->window()->windowHandle());
    }
    EXPECT_EQ(panels.first()->pos(), where);
    m_delegate->hideToolPalette();
    m_delegate->showObjectInspector();
    m_delegate->showUndoInspector();
}

TEST_F(LaunchedDocumentWindow, ToolPaletteLeftOpenComesBackBesideTheFirstDocumentWindow)
{
    // Left open at the last quit: it reopens with the first document, once that window is on
    // screen, over its drawing and clear of its menus.
    UserDefaults::standardUserDefaults().setBool(true, kQntToolPaletteIsVisible);
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    ASSERT_TRUE(waitUntil([&] {
        return m_delegate->toolPalette() && m_delegate->toolPalette()->window()->isVisible();
    }));
    QWidget *palette = m_delegate->toolPalette()->window();
    QMainWindow *window = document->window();
    ASSERT_NE(palette->windowHandle(), nullptr);
    EXPECT_EQ(palette->windowHandle()->transientParent(), window->windowHandle());
    const QRect menus(window->menuBar()->mapToGlobal(QPoint(0, 0)), window->menuBar()->size());
    EXPECT_TRUE(window->frameGeometry().contains(palette->pos())) << palette->pos().y();
    EXPECT_GT(palette->y(), menus.bottom());
    m_delegate->hideToolPalette();
}

TEST_F(LaunchedDocumentWindow, ToolsMenuNamesNotationElementsByTitleInEveryBuiltInNotation)
{
    QMenu *tools = m_delegate->userToolMenu();
    int notations = 0;
    for (const QVariantMap &entry : QntNotation::notations()) {
        const QString path = entry.value("notationPath").toString();
        // The built-in notations; stencils imported by the user come without titles.
        if (path.contains("/Imported/"))
            continue;
        const QntNotationRef notation = QntNotation::notationWithPath(path);
        if (!notation || !notation->isValid())
            continue;
        SCOPED_TRACE(path.toStdString());
        ++notations;
        QntStartUpController::setSelectedNotation(notation);
        QString error;
        Document *made =
            controller().makeUntitledDocumentOfType(controller().defaultType(), &error);
        QntStartUpController::setSelectedNotation(nullptr);
        ASSERT_NE(made, nullptr) << error.toStdString();
        made->makeWindowControllers();
        controller().addDocument(made);
        QMap<QString, QString> titleOfId;
        for (const QntElementRecord &record : notation->allElementsAsPrototypesList())
            titleOfId.insert(record.elementId, record.title);
        emit tools->aboutToShow();
        QStringList shown;
        for (QAction *item : tools->actions())
            shown << item->text();
        for (auto it = titleOfId.cbegin(); it != titleOfId.cend(); ++it) {
            if (it.key() != it.value()) {
                EXPECT_FALSE(shown.contains(it.key())) << "the id " << it.key().toStdString();
            }
        }
        controller().removeDocument(made);
        QApplication::processEvents();
    }
    EXPECT_GT(notations, 5);
}

TEST_F(DocumentWindow, AStencilImportedIntoAnOpenDrawingShowsUpInItsShapeLibrary)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    ASSERT_NE(document->notationPalette(), nullptr);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Garden Kit.gstencil"));
    ASSERT_TRUE(
        QntImportFromGraffle::writeStencil(
            path, {{QStringLiteral("One"), {VRDrawableShape::shapeWithRect(QRectF(0, 0, 40, 20))}}})
            .ok());
    ASSERT_TRUE(document->commands()->performImportFilepath(path));
    const QStringList keys = document->drawing()->importedElementsKeys();
    ASSERT_EQ(keys.size(), 1);
    EXPECT_TRUE(document->notationPalette()->shownGroupTitles().contains(keys.first()));
}

TEST_F(DocumentWindow, TheSmartConnectorsSectionShowsTheRouterValuesAndAReadFileRoutesWithItsOwn)
{
    const auto field = [](DIDizeZoziDocument &document, const char *name) {
        auto *box = document.window()->findChild<QDoubleSpinBox *>(name);
        return box ? box->value() : -1.0;
    };
    DIDizeZoziDocument *drawn = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(drawn, nullptr);
    VRAvoidRouter *router = drawn->drawing()->avoidRouter();
    // A new drawing stores nothing: the section shows what the router uses.
    EXPECT_EQ(field(*drawn, "bufferDistanceField"), router->routingParameter(6));
    EXPECT_EQ(field(*drawn, "segmentPenaltyField"), router->routingParameter(0));
    EXPECT_EQ(drawn->shapeBufferDistance(), 8.0);

    QTemporaryDir dir;
    const QString path = dir.filePath("Routed.quintora");
    drawn->drawing()->setShapeBufferDistance(30);
    drawn->drawing()->setSegmentPenalty(25);
    ASSERT_TRUE(drawn->writeToURL(path, nullptr));

    // Read into a document before its window, and into one whose window is open.
    auto *fresh = new DIDizeZoziDocument;
    QString error;
    ASSERT_TRUE(fresh->readFromURL(path, &error)) << error.toStdString();
    controller().addDocument(fresh);
    fresh->makeWindowControllers();
    ASSERT_TRUE(drawn->readFromURL(path, &error)) << error.toStdString();
    for (DIDizeZoziDocument *document : {fresh, drawn}) {
        EXPECT_EQ(document->drawing()->avoidRouter()->routingParameter(6), 30.0);
        EXPECT_EQ(document->drawing()->avoidRouter()->routingParameter(0), 25.0);
        EXPECT_EQ(field(*document, "bufferDistanceField"), 30.0);
        EXPECT_EQ(field(*document, "segmentPenaltyField"), 25.0);
    }
}

TEST_F(DocumentWindow, ToolbarItemsAndToolMatrixCellsChooseTheirToolsAndAutoRevert)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    ASSERT_NE(document->toolbar(), nullptr);
    VRViewController *controller = document->mainView()->controller();
    const auto item = [document](const QString &identifier) {
        return document->toolbar()->findChild<QAction *>(identifier);
    };
    const struct {
        const char *identifier;
        const char *tool;
        bool autoRevert;
    } items[] = {
        {"SelectToolbarItemId", "Select", true},
        {"MoveStickySpotToolbarItemId", "Select Sticky Spot", false},
        {"TableToolbarItemId", "e100TABLE", true},
        {"ConnectorToolItemId", "Connector", true},
        {"ConnectorDoubleToolItemId", "Double Text Connector", true},
        {"PanToolbarItemId", "Pan", false},
        {"ZoomToolbarItemId", "Zoom", false},
        {"ZoomOutToolbarItemId", "Zoom Out", false},
        {"RectangleToolbarItemId", "Rectangle", true},
    };
    for (const auto &c : items) {
        SCOPED_TRACE(c.identifier);
        QAction *action = item(c.identifier);
        ASSERT_NE(action, nullptr);
        controller->setAutoRevert(!c.autoRevert);
        action->trigger();
        ASSERT_NE(VRDrawingTool::drawingToolWithName(c.tool), nullptr);
        ASSERT_NE(controller->drawingTool(), nullptr);
        EXPECT_EQ(controller->drawingTool()->registeredName(), c.tool);
        EXPECT_EQ(controller->autoRevert(), c.autoRevert);
        EXPECT_TRUE(action->isChecked());
    }

    const struct {
        const char *title;
        const char *tool;
        bool autoRevert;
    } cells[] = {
        {"Select", "Select", true},      {"Select Sticky Spot", "Select Sticky Spot", false},
        {"Pan", "Pan", false},           {"Zoom In", "Zoom", false},
        {"Zoom Out", "Zoom Out", false}, {"Style Copy Tool", "Style Copy Tool", false},
    };
    for (const auto &c : cells) {
        SCOPED_TRACE(c.title);
        QToolButton *cell = document->toolMatrixCell(c.title);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(document->toolMatrixTool(c.title), VRDrawingTool::drawingToolWithName(c.tool));
        controller->setAutoRevert(!c.autoRevert);
        cell->click();
        ASSERT_NE(controller->drawingTool(), nullptr);
        EXPECT_EQ(controller->drawingTool()->registeredName(), c.tool);
        EXPECT_EQ(controller->autoRevert(), c.autoRevert);
        EXPECT_TRUE(cell->isChecked());
    }
    // "Zoom In" picks the one zoom tool and makes it zoom in again.
    auto *zoom = dynamic_cast<VRZoomTool *>(VRDrawingTool::drawingToolWithName("Zoom"));
    ASSERT_NE(zoom, nullptr);
    zoom->setZoomsOut(true);
    document->toolMatrixCell("Zoom In")->click();
    EXPECT_FALSE(zoom->zoomsOut());
    VRDrawingTool::drawingToolWithName("Select")->set();
}

TEST_F(DocumentWindow, WhenAWindowHasGrownTheStartUpWindowGoesAndTheDrawingTakesTheKeyboard)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    QntStartUpController *startUp = QntDocumentController::startUpController();
    startUp->window()->show();
    document->window()->setFocus();
    NotificationCenter::defaultCenter().post(
        QntWindowAnimation::kAnimationFromFrameDidFinishedNotification, document->window());
    EXPECT_FALSE(startUp->window()->isVisible());
    EXPECT_NE(document->notationPalette(), nullptr);
    EXPECT_EQ(document->window()->focusWidget(), document->mainViewWidget());
}

// With "Layers palette with a new document" on, the layers palette comes up when the new
// window has grown; with it off, it does not.
TEST_F(DocumentWindow, TheLayersPaletteComesUpWithTheGrownWindowWhenThePreferenceIsOn)
{
    VOReruRerAppDelegate delegate;
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    const auto grown = [&] {
        NotificationCenter::defaultCenter().post(
            QntWindowAnimation::kAnimationFromFrameDidFinishedNotification, document->window());
    };
    const auto paletteShown = [&] {
        return delegate.layersPalette() && delegate.layersPalette()->window()->isVisible();
    };
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setBool(false, QntShowLayersPaletteKey);
    grown();
    EXPECT_FALSE(paletteShown());

    defaults.setBool(true, QntShowLayersPaletteKey);
    grown();
    EXPECT_TRUE(paletteShown());
    // A palette already up stays up when the next window has grown.
    grown();
    EXPECT_TRUE(paletteShown());
}

TEST_F(DocumentWindow, TheColoursSectionShowsTheColourListOfASingleDirectlyDrawnElement)
{
    const struct {
        const char *group;
        const char *notation;
    } cases[] = {{"FlowChart", "Flow Chart"}, {"Misc", "Customizable Style"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.notation);
        DIDizeZoziDocument *document = newDocumentWithNotation(c.group, c.notation);
        ASSERT_NE(document, nullptr);
        auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
        auto plain = std::make_shared<VRDrawableShape>();
        auto drawn = std::make_shared<QntDirectlyDrawedElement>();
        QList<QColor> colours;
        for (int k = 0; k < 6; ++k)
            colours.append(QColor::fromHsv(k * 50, 200, 200));
        drawn->setColors(colours);
        layer->addObject(plain);
        layer->addObject(drawn);
        auto select = [&](const VRObjectRef &object) {
            layer->exchangeSelectionWithObjectsFromArray({object});
            document->selectedObjectDidChange({kVRLayerSelectionDidChange, layer, {}});
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        };
        auto shownList = [&]() -> QntColorMatrix * {
            QWidget *section = document->sectionView(DIDizeZoziDocument::Section::NoncustomElement);
            auto *list =
                section ? section->findChild<QntColorMatrix *>("elementColorList") : nullptr;
            return list && list->isVisibleTo(section) ? list : nullptr;
        };
        // Shown for the element, gone for a plain shape, and back again (the list outlives a
        // section taken down and put up again).
        select(drawn);
        ASSERT_NE(shownList(), nullptr);
        select(plain);
        EXPECT_EQ(shownList(), nullptr);
        select(drawn);
        QntColorMatrix *list = shownList();
        ASSERT_NE(list, nullptr);

        // It is the element's list: a swatch there opens the spectrum picker; the same grid
        // without the picker (its menu tracks the mouse) edits that entry, one undo step.
        ASSERT_NE(list->cellAtRow(0, 2), nullptr);
        const QImage swatch = list->cellAtRow(0, 2)->image;
        EXPECT_EQ(swatch.pixelColor(swatch.width() / 2, swatch.height() / 2).rgb(),
                  colours.at(2).rgb());
        VRUndoManager *undo = document->drawing()->undoManager();
        undo->closeOpenGroups();
        const size_t depth = undo->undoStack().size();
        QntGroupModeInspector *group = document->groupModeInspector();
        QntColorMatrix *grid =
            group->populateColorMatrix(colours, 1, Qt::black, [](QntColorMatrix *) {});
        const std::unique_ptr<QntColorMatrix> owned(grid->parent() ? nullptr : grid);
        grid->performClickOnCell(0, 2);
        ASSERT_TRUE(group->pickSwatch(grid));
        ASSERT_TRUE(group->colourChangeFromPicker(Qt::red));
        EXPECT_EQ(drawn->colors().at(2), QColor(Qt::red));
        undo->closeOpenGroups();
        EXPECT_EQ(undo->undoStack().size(), depth + 1);
        undo->undo();
        EXPECT_EQ(drawn->colors(), colours);
    }
}

TEST_F(DocumentWindow, TheConnectorAndTableSectionsChangeTheSelectionInOneStep)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    VRObjectList all;
    std::vector<std::shared_ptr<QntConnector>> connectors;
    std::vector<std::shared_ptr<QntElementTable>> tables;
    const QList<QntElementRecord> shapes =
        document->drawing()->currentNotation()->shapeElementsList();
    ASSERT_FALSE(shapes.isEmpty());
    auto place = [&](QPointF at) {
        VRObjectRef element = shapes.at(0).prototype->copy();
        element->setIsPrototype(false);
        element->setLocation(at);
        layer->addObject(element);
        return std::static_pointer_cast<QntElement>(element);
    };
    for (int k = 0; k < 2; ++k) {
        const auto a = place(QPointF(100, 100 + 150 * k));
        const auto b = place(QPointF(300, 160 + 150 * k));
        auto connector = std::make_shared<QntConnector>();
        auto style = VRStyle::create();
        style->addRenderer(std::make_shared<VRArrowStroke>());
        connector->setStyle(style);
        connector->setEnds(a->location(), b->location());
        layer->addObject(connector);
        connector->startEndPoint()->attach(a, 1);
        connector->endEndPoint()->attach(b, 3);
        connector->makeStraight();
        connector->updateStyle();
        connector->endsDidMove();
        connectors.push_back(connector);
        auto table = QntElementTable::tableWithRows(2, 2, QSizeF(60, 30));
        table->setLocation(QPointF(500, 100 + 150 * k));
        layer->addObject(table);
        tables.push_back(table);
        all << connector << table;
    }
    layer->exchangeSelectionWithObjectsFromArray(all);
    document->selectedObjectDidChange({kVRLayerSelectionDidChange, layer, {}});
    VRUndoManager *undo = document->drawing()->undoManager();
    auto looks = [&] {
        QString s;
        for (const auto &c : connectors)
            s += QString::number(c->routing()) + QLatin1Char(',');
        for (const auto &t : tables)
            s += QString::number(t->showGrid()) + QLatin1Char(',');
        return s;
    };
    QWidget *connectorSection =
        document->sectionView(DIDizeZoziDocument::Section::NoncustomConnector);
    QWidget *tableSection = document->sectionView(DIDizeZoziDocument::Section::Table);
    ASSERT_NE(connectorSection, nullptr);
    ASSERT_NE(tableSection, nullptr);
    // The routing menu of the pane (the customizable notations' line controls, hidden here,
    // hold another one).
    QComboBox *routing = nullptr;
    for (auto *combo : connectorSection->findChildren<QComboBox *>("connectorType"))
        if (combo->isVisibleTo(connectorSection))
            routing = combo;
    auto *grid = tableSection->findChild<QCheckBox *>("tableShowGridButton");
    ASSERT_NE(routing, nullptr);
    ASSERT_NE(grid, nullptr);
    // The section's own controls, as a user works them.
    const std::function<void()> changes[] = {
        [&] { routing->activated(routing->findData(3)); },
        // Several tables leave the switch as it was; it shows the grid is on before a click.
        [&] {
            grid->setChecked(tables[0]->showGrid());
            grid->click();
        },
    };
    for (const auto &change : changes) {
        SCOPED_TRACE(&change - changes);
        undo->closeOpenGroups();
        const size_t depth = undo->undoStack().size();
        const QString before = looks();
        change();
        undo->closeOpenGroups();
        EXPECT_NE(looks(), before);
        EXPECT_EQ(undo->undoStack().size(), depth + 1);
        undo->undo();
        EXPECT_EQ(looks(), before);
    }
}

TEST_F(DocumentWindow, TheSectionsShowTheSelectionAsAnUndoOrARedoLeavesIt)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    const QntElementRecord &shape =
        document->drawing()->currentNotation()->shapeElementsList().value(0);
    ASSERT_NE(shape.prototype, nullptr);
    std::shared_ptr<QntElement> elements[2];
    for (int k = 0; k < 2; ++k) {
        VRObjectRef element = shape.prototype->copy();
        element->setIsPrototype(false);
        element->setLocation(QPointF(100 + 250 * k, 120));
        layer->addObject(element);
        elements[k] = std::static_pointer_cast<QntElement>(element);
    }
    auto connector = std::make_shared<QntConnector>();
    auto style = VRStyle::create();
    style->addRenderer(std::make_shared<VRArrowStroke>());
    connector->setStyle(style);
    connector->setEnds(elements[0]->location(), elements[1]->location());
    layer->addObject(connector);
    connector->startEndPoint()->attach(elements[0], 1);
    connector->endEndPoint()->attach(elements[1], 3);
    connector->makeStraight();
    connector->updateStyle();
    VRUndoManager *undo = document->drawing()->undoManager();
    const auto step = [undo](const std::function<void()> &act) {
        undo->closeOpenGroups();
        act();
        undo->closeOpenGroups();
    };

    // The connector section: a body change moves the connector to the thick set; undo and redo
    // move the section's live set with it.
    layer->exchangeSelectionWithObjectsFromArray({connector});
    QWidget *section = document->sectionView(DIDizeZoziDocument::Section::NoncustomConnector);
    ASSERT_NE(section, nullptr);
    auto *thin = section->findChild<QWidget *>("thinConnectors");
    auto *thick = section->findChild<QWidget *>("thickConnectors");
    auto *body = section->findChild<QComboBox *>("thinStrokeDash");
    ASSERT_TRUE(thin && thick && body);
    const auto live = [&] {
        return QStringLiteral("%1%2").arg(thin->isEnabled()).arg(thick->isEnabled());
    };
    EXPECT_EQ(live(), QStringLiteral("10"));
    const int thickBody =
        body->findData(QntConnectorModeInspector::kFirstThickLineTag, Qt::UserRole);
    ASSERT_GE(thickBody, 0);
    step([&] {
        body->setCurrentIndex(thickBody);
        body->activated(thickBody);
    });
    ASSERT_TRUE(QntConnectorModeInspector::isThick(*connector));
    EXPECT_EQ(live(), QStringLiteral("01"));
    step([&] { undo->undo(); });
    ASSERT_FALSE(QntConnectorModeInspector::isThick(*connector));
    EXPECT_EQ(live(), QStringLiteral("10"));
    step([&] { undo->redo(); });
    EXPECT_EQ(live(), QStringLiteral("01"));

    // The element section's fill button shows the fill as each change, undo and redo leaves it.
    layer->exchangeSelectionWithObjectsFromArray({elements[0]});
    auto *fill = document->sectionView(DIDizeZoziDocument::Section::NoncustomElement)
                     ->findChild<QntColorPicker *>("fillColourPicker");
    ASSERT_NE(fill, nullptr);
    const QColor before = elements[0]->editableStyle()->fillColour();
    EXPECT_EQ(fill->color(), before);
    step([&] { elements[0]->editableStyle()->setFillColour(QColor(Qt::red)); });
    EXPECT_EQ(fill->color(), QColor(Qt::red));
    step([&] { undo->undo(); });
    EXPECT_EQ(fill->color(), before);
    step([&] { undo->redo(); });
    EXPECT_EQ(fill->color(), QColor(Qt::red));
}

TEST_F(DocumentWindow, TheElementColourButtonsShowAndChangeOnlyAnUnlockedShape)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    auto shape = VRDrawableShape::shapeWithRect(QRectF(100, 100, 120, 80));
    shape->setStyle(VRStyle::styleWithFillColour(Qt::yellow, Qt::darkGreen, 2.0));
    layer->addObject(shape);
    auto connector = std::make_shared<QntConnector>();
    auto connectorStyle = VRStyle::create();
    connectorStyle->addRenderer(std::make_shared<VRArrowStroke>());
    connector->setStyle(connectorStyle);
    connector->setEnds(QPointF(300, 300), QPointF(500, 300));
    layer->addObject(connector);
    QWidget *section = document->sectionView(DIDizeZoziDocument::Section::NoncustomElement);
    ASSERT_NE(section, nullptr);
    auto *fill = section->findChild<QntColorPicker *>("fillColourPicker");
    auto *stroke = section->findChild<QntColorPicker *>("strokeColourPicker");
    ASSERT_TRUE(fill && stroke);

    // What the two buttons show for each selection: a colour the object has, or nothing (an
    // empty swatch, disabled) for a connector, whose line colour is the Connector section's,
    // and for a locked shape.
    struct Case {
        const char *name;
        VRObjectRef selected;
        bool locked;
        QColor fill, stroke;
    };
    const QColor none(Qt::transparent);
    const Case cases[] = {
        {"shape", shape, false, QColor(Qt::yellow), QColor(Qt::darkGreen)},
        {"connector", connector, false, none, none},
        {"locked shape", shape, true, none, none},
        {"nothing", nullptr, false, none, none},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        shape->setLocked(c.locked);
        layer->exchangeSelectionWithObjectsFromArray(c.selected ? VRObjectList{c.selected}
                                                                : VRObjectList{});
        const bool live = c.fill != none;
        EXPECT_EQ(fill->isEnabled(), live);
        EXPECT_EQ(stroke->isEnabled(), live);
        EXPECT_EQ(fill->color(), c.fill);
        EXPECT_EQ(stroke->color(), c.stroke);
        // A colour given through the button reaches only what the button shows.
        const QColor connectorStroke = connectorStyle->strokeColour();
        fill->setColor(Qt::blue);
        if (fill->delegate()->contextObject())
            fill->delegate()->changeColor(*fill);
        EXPECT_EQ(shape->style()->fillColour(), live ? QColor(Qt::blue) : QColor(Qt::yellow));
        EXPECT_EQ(connectorStyle->strokeColour(), connectorStroke);
        EXPECT_FALSE(connectorStyle->fillColour().isValid());
        shape->setLocked(false);
        shape->editableStyle()->setFillColour(Qt::yellow);
    }

    // Several shapes: the colour they share, or an empty swatch named "Several"; a colour given
    // goes to each of them in one step.
    auto other = VRDrawableShape::shapeWithRect(QRectF(300, 100, 120, 80));
    other->setStyle(VRStyle::styleWithFillColour(Qt::red, Qt::darkGreen, 1.0));
    layer->addObject(other);
    layer->exchangeSelectionWithObjectsFromArray({shape, other, connector});
    EXPECT_TRUE(fill->isEnabled());
    EXPECT_EQ(fill->color(), none);
    EXPECT_EQ(fill->toolTip(), "Several");
    EXPECT_EQ(stroke->color(), QColor(Qt::darkGreen));
    EXPECT_EQ(stroke->toolTip(), "");
    VRUndoManager *undo = document->drawing()->undoManager();
    undo->closeOpenGroups();
    const auto depth = undo->undoStack().size();
    fill->setColor(Qt::blue);
    fill->delegate()->changeColor(*fill);
    undo->closeOpenGroups();
    EXPECT_EQ(undo->undoStack().size(), depth + 1);
    EXPECT_EQ(shape->style()->fillColour(), QColor(Qt::blue));
    EXPECT_EQ(other->style()->fillColour(), QColor(Qt::blue));
    EXPECT_EQ(fill->color(), QColor(Qt::blue));
    EXPECT_FALSE(connectorStyle->fillColour().isValid());
    undo->undo();
    EXPECT_EQ(shape->style()->fillColour(), QColor(Qt::yellow));
    EXPECT_EQ(other->style()->fillColour(), QColor(Qt::red));
}

TEST_F(DocumentWindow, TheConnectorSectionGivesArrowheadLengthsInTheDrawingsUnits)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    QWidget *section = document->sectionView(DIDizeZoziDocument::Section::NoncustomConnector);
    ASSERT_NE(section, nullptr);
    const auto unitsShown = [section] {
        QStringList shown;
        for (const char *set : {"thinConnectors", "thickConnectors"}) {
            auto *box = section->findChild<QWidget *>(QString::fromLatin1(set));
            if (!box)
                return QStringList{QStringLiteral("no %1").arg(QString::fromLatin1(set))};
            for (QLabel *label : box->findChildren<QLabel *>())
                if (QStringList{"pt", "px", "pc", "in", "mm", "cm", "m", "km"}.contains(
                        label->text()))
                    shown << label->text();
        }
        return shown;
    };
    // Nothing selected: the units the drawing has from the start, then each new one.
    const QString first = document->drawing()->abbreviatedDrawingUnits();
    EXPECT_EQ(unitsShown(), QStringList(4, first));
    for (const QString &units :
         {QStringLiteral("Centimetres"), QStringLiteral("Inches"), QStringLiteral("Millimetres")}) {
        SCOPED_TRACE(units.toStdString());
        document->drawing()->setDrawingUnits(units, VRDrawing::standardFactorForUnits(units));
        EXPECT_EQ(unitsShown(), QStringList(4, VRDrawing::abbreviationForUnits(units)));
    }
}

TEST_F(DocumentWindow, TheContourStyleSectionEditsTheOneSelectedDrawnElementOneStepEach)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    // Directly drawn elements with contours of their own, and a plain shape.
    const auto drawnElement = [&](double width, QPointF at) {
        auto contour = std::make_shared<VRDrawableShape>();
        contour->setID("contour");
        VRStyleRef style = VRStyle::create();
        style->addRenderer(VRFill::fillWithColour(Qt::white));
        style->addRenderer(VRStroke::strokeWithWidth(width, Qt::darkRed));
        contour->setStyle(style);
        contour->setSize(QSizeF(120, 80));
        contour->setLocation(QPointF(60, 40));
        auto drawn = std::make_shared<QntDirectlyDrawedElement>();
        drawn->setGroupObjects({contour}, QRectF(0, 0, 120, 80));
        drawn->setSize(QSizeF(120, 80));
        drawn->setLocation(at);
        layer->addObject(drawn);
        return std::pair{drawn, style};
    };
    const auto [first, firstStyle] = drawnElement(2.0, QPointF(150, 150));
    const auto [second, style] = drawnElement(5.0, QPointF(350, 150));
    auto plain = std::make_shared<VRDrawableShape>();
    layer->addObject(plain);
    const auto select = [&](const VRObjectRef &object) {
        layer->exchangeSelectionWithObjectsFromArray({object});
        document->selectedObjectDidChange({kVRLayerSelectionDidChange, layer, {}});
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    QWidget *section = document->groupModeInspector()->contourStyleSectionView();
    ASSERT_NE(section, nullptr);
    auto *width = section->findChild<QntTextFieldCell *>("contourWidthTextbox");
    auto *opacity = section->findChild<QntTextFieldCell *>("contourTransparencyTextbox");
    auto *colour = section->findChild<QntColorWell *>("contourColorWell");
    auto *shadow = section->findChild<QCheckBox *>("contourShadowCheckbox");
    auto *line = section->findChild<QComboBox *>("contourLineTypeCombobox");
    auto *fill = section->findChild<QComboBox *>("fillTypesCombobox");
    ASSERT_TRUE(width && opacity && colour && shadow && line && fill);
    const auto shownWidth = [&] { return QLocale().toDouble(width->text()); };

    // The section comes with the element, and shows the style of the one selected.
    select(first);
    EXPECT_EQ(document->inspectorSectionLabels().value(2), "Contour style");
    EXPECT_TRUE(section->isVisibleTo(document->window()));
    EXPECT_NEAR(shownWidth(), document->drawing()->convertLength(2.0), 0.01);
    select(second);
    EXPECT_NEAR(shownWidth(), document->drawing()->convertLength(5.0), 0.01);
    EXPECT_TRUE(section->findChild<QWidget *>("simpleStyleView")->isEnabled());

    const auto type = [](QLineEdit *field, const QString &text) {
        field->setText(text);
        field->setModified(true);
        emit field->editingFinished();
    };
    const auto look = [](const VRStyle &s) {
        const VRFill *f = s.fill();
        return QStringList{QString::number(s.strokeWidth()), s.strokeColour().name(QColor::HexArgb),
                           QString::number(s.stroke()->shadow().has_value()),
                           QString::number(s.stroke()->dash() != nullptr),
                           QString::number(f && f->gradient())}
            .join(',');
    };
    const struct {
        const char *control;
        std::function<void()> change;
    } changes[] = {
        {"width", [&] { type(width, "0.2"); }},
        {"opacity", [&] { type(opacity, "40"); }},
        {"colour",
         [&] {
             colour->setColor(Qt::darkGreen);
             emit colour->colorChanged(Qt::darkGreen);
         }},
        {"shadow", [&] { shadow->click(); }},
        {"line",
         [&] {
             line->setCurrentIndex(line->count() - 1);
             line->activated(line->count() - 1);
         }},
        {"fill",
         [&] {
             fill->setCurrentIndex(1);
             fill->activated(1);
         }},
    };
    VRUndoManager *undo = document->drawing()->undoManager();
    const QString untouched = look(*firstStyle);
    undo->closeOpenGroups();
    undo->removeAllActions();
    for (const auto &c : changes) {
        SCOPED_TRACE(c.control);
        undo->closeOpenGroups();
        const size_t depth = undo->undoStack().size();
        const QString before = look(*style);
        c.change();
        undo->closeOpenGroups();
        EXPECT_NE(look(*style), before);
        EXPECT_EQ(undo->undoStack().size(), depth + 1);
        undo->undo();
        EXPECT_EQ(look(*style), before);
        EXPECT_EQ(look(*firstStyle), untouched);
    }
    // After an undo the controls show the element again.
    EXPECT_NEAR(shownWidth(), document->drawing()->convertLength(5.0), 0.01);

    // A text without a contour or parts has nothing these controls change: they are off.
    auto text = std::make_shared<QntText>();
    layer->addObject(text);
    select(text);
    EXPECT_EQ(document->inspectorSectionLabels().value(2), "Contour style");
    EXPECT_FALSE(section->findChild<QWidget *>("simpleStyleView")->isEnabled());

    // Gone for a plain shape, back (and filled) for the element.
    select(plain);
    EXPECT_FALSE(document->inspectorSectionLabels().contains("Contour style"));
    EXPECT_FALSE(document->addedCustomElementStyleSection());
    select(first);
    EXPECT_EQ(document->inspectorSectionLabels().value(2), "Contour style");
    EXPECT_EQ(document->groupModeInspector()->contourStyleSectionView(), section);
    EXPECT_NEAR(shownWidth(), document->drawing()->convertLength(2.0), 0.01);
    EXPECT_TRUE(section->findChild<QWidget *>("simpleStyleView")->isEnabled());
}

TEST_F(DocumentWindow, TheTableSwitchesShowTheSelectedTablesState)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    std::vector<std::shared_ptr<QntElementTable>> tables;
    for (int k = 0; k < 2; ++k) {
        auto table = QntElementTable::tableWithRows(2, 2, QSizeF(60, 30));
        table->setLocation(QPointF(200 + 150 * k, 200));
        layer->addObject(table);
        tables.push_back(table);
    }
    QWidget *section = document->sectionView(DIDizeZoziDocument::Section::Table);
    ASSERT_NE(section, nullptr);
    auto *grid = section->findChild<QCheckBox *>("tableShowGridButton");
    auto *frame = section->findChild<QCheckBox *>("tableShowTableFrameButton");
    ASSERT_TRUE(grid && frame);
    const auto selectBoth = [&] {
        layer->exchangeSelectionWithObjectsFromArray({tables[0], tables[1]});
        QCoreApplication::processEvents();
    };
    const struct {
        bool grids[2];
        Qt::CheckState shown;
    } cases[] = {{{true, true}, Qt::Checked},
                 {{false, false}, Qt::Unchecked},
                 {{true, false}, Qt::PartiallyChecked}};
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.shown));
        layer->deselectAll();
        for (int k = 0; k < 2; ++k) {
            tables[size_t(k)]->setShowGrid(c.grids[k]);
            tables[size_t(k)]->setShowTableFrame(c.grids[k]);
        }
        selectBoth();
        EXPECT_EQ(grid->checkState(), c.shown);
        EXPECT_EQ(frame->checkState(), c.shown);
    }
    // From the mixed state a click turns the grid on in both, and the next one off in both.
    grid->click();
    EXPECT_TRUE(tables[0]->showGrid() && tables[1]->showGrid());
    EXPECT_EQ(grid->checkState(), Qt::Checked);
    grid->click();
    EXPECT_FALSE(tables[0]->showGrid() || tables[1]->showGrid());
    EXPECT_EQ(grid->checkState(), Qt::Unchecked);
}

TEST_F(DocumentWindow, TheConnectorSectionShowsNoWidthWithoutAConnector)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("Misc", "Customizable Style");
    ASSERT_NE(document, nullptr);
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    auto connector = std::make_shared<QntConnector>();
    VRStyleRef style = VRStyle::create();
    style->addRenderer(VRStroke::strokeWithWidth(3.0, Qt::black));
    connector->setStyle(style);
    connector->setEnds(QPointF(100, 100), QPointF(300, 160));
    layer->addObject(connector);
    auto plain = std::make_shared<VRDrawableShape>();
    layer->addObject(plain);
    QWidget *section = document->sectionView(DIDizeZoziDocument::Section::CustomConnector);
    ASSERT_NE(section, nullptr);
    auto *width = section->findChild<QLineEdit *>("simpleStyleWidthTextbox");
    ASSERT_NE(width, nullptr);
    layer->exchangeSelectionWithObjectsFromArray({connector});
    QCoreApplication::processEvents();
    EXPECT_NEAR(QLocale().toDouble(width->text()), document->drawing()->convertLength(3.0), 0.01);
    for (const VRObjectList &selection : {VRObjectList{plain}, VRObjectList{}}) {
        layer->exchangeSelectionWithObjectsFromArray(selection);
        QCoreApplication::processEvents();
        EXPECT_TRUE(width->text().isEmpty()) << selection.size();
    }
}

TEST_F(DocumentWindow, TheObjectMenuSendsEachVerbForTheOneSelectedObject)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    auto *window = qobject_cast<QMainWindow *>(document->window());
    ASSERT_NE(window, nullptr);
    QMenu *menu = nullptr;
    for (QAction *item : window->menuBar()->actions())
        if (item->menu() && item->menu()->objectName() == QLatin1String("objectMenu"))
            menu = item->menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu, document->mainView()->objectMenu());
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    auto element = std::make_shared<QntElement>();
    element->setSize(QSizeF(100, 60));
    element->setLocation(QPointF(200, 200));
    layer->addObject(element);
    auto connector = std::make_shared<QntConnector>();
    connector->setEnds(QPointF(300, 300), QPointF(500, 300));
    layer->addObject(connector);

    // Each verb names the notification it posts for an element and for a connector.
    struct Verb {
        const char *title;
        QString element, connector;
    };
    const Verb verbs[] = {
        {"Save Defaults", kQntSaveElementDefaultsNotification,
         kQntSaveConnectorDefaultsNotification},
        {"Apply Defaults", kQntApplyElementDefaultsNotification,
         kQntApplyConnectorDefaultsNotification},
        {"Reset Defaults", kQntResetDefaultsForElementNotification,
         kQntResetDefaultsForConnectorNotification},
        {"Reset This Only", kQntResetDefaultsForCurrentOnlyElementNotification,
         kQntResetDefaultsForCurrentOnlyConnectorNotification},
    };
    QStringList heard;
    const void *heardObject = nullptr;
    std::vector<NotificationToken> tokens;
    for (const Verb &verb : verbs) {
        for (const QString &name : {verb.element, verb.connector})
            tokens.push_back(NotificationCenter::defaultCenter().addObserver(
                name, nullptr, [&heard, &heardObject](const Notification &n) {
                    heard << n.name;
                    heardObject = n.object;
                }));
    }
    auto itemTitled = [menu](const char *title) -> QAction * {
        for (QAction *item : menu->actions())
            if (item->text() == QLatin1String(title))
                return item;
        return nullptr;
    };
    for (const VRObjectRef &selected : VRObjectList{element, connector}) {
        layer->exchangeSelectionWithObjectsFromArray({selected});
        emit menu->aboutToShow();
        for (const Verb &verb : verbs) {
            SCOPED_TRACE(verb.title);
            QAction *item = itemTitled(verb.title);
            ASSERT_NE(item, nullptr);
            EXPECT_TRUE(item->isEnabled());
            heard.clear();
            item->trigger();
            EXPECT_EQ(heard, QStringList{selected == element ? verb.element : verb.connector});
            EXPECT_EQ(heardObject, selected.get());
        }
    }
    // Without a single selection every verb is off.
    layer->exchangeSelectionWithObjectsFromArray({element, connector});
    emit menu->aboutToShow();
    for (QAction *item : menu->actions())
        EXPECT_TRUE(item->isSeparator() || !item->isEnabled()) << item->text().toStdString();
}

// The Undo and Redo cells beside the tool matrix take the steps back and forth, each on while
// there is a step to take.
TEST_F(DocumentWindow, TheUndoRedoCellsTakeTheStepsAndFollowWhatCanBeTaken)
{
    DIDizeZoziDocument *document = newDocumentWithNotation("FlowChart", "Flow Chart");
    ASSERT_NE(document, nullptr);
    QWidget *matrix = document->undoRedoMatrix();
    ASSERT_NE(matrix, nullptr);
    EXPECT_TRUE(document->window()->statusBar()->isAncestorOf(matrix));
    auto *undoCell = matrix->findChild<QToolButton *>("undoCell");
    auto *redoCell = matrix->findChild<QToolButton *>("redoCell");
    ASSERT_NE(undoCell, nullptr);
    ASSERT_NE(redoCell, nullptr);
    document->undoManager()->removeAllActions();
    EXPECT_FALSE(undoCell->isEnabled());
    EXPECT_FALSE(redoCell->isEnabled());

    addRectangle(*document, QRectF(100, 100, 120, 60));
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    const int added = layer->countOfObjects();
    EXPECT_TRUE(undoCell->isEnabled());
    undoCell->click();
    EXPECT_EQ(layer->countOfObjects(), added - 1);
    EXPECT_FALSE(undoCell->isEnabled());
    EXPECT_TRUE(redoCell->isEnabled());
    redoCell->click();
    EXPECT_EQ(layer->countOfObjects(), added);
    EXPECT_TRUE(undoCell->isEnabled());
    EXPECT_FALSE(redoCell->isEnabled());
}
