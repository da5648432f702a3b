#include "app/window/CXCollapsibleView.h"
#include "app/common/CXViewAnimation.h"
#include "app/common/QntConstants.h"
#include "app/panels/QntInfoPanelController.h"
#include "platform/UserDefaults.h"
#include "app/window/DIDizeZoziDocument.h"
#include "app/launch/QntDocumentController.h"
#include "app/launch/QntStartUpController.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorEndPoint.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntTextShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "framework/view/VRDrawingView.h"
#include "app/TestDocumentController.h"
#include "app/launch/QntWindowAnimation.h"
#include "common/GoldenPicture.h"
#include "common/ScopeExit.h"
#include "platform/Document.h"
#include "common/SharedStateKeepers.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QPixmap>
#include <QScreen>
#include <QtWidgets/qtestsupport_widgets.h>

#include <gtest/gtest.h>

namespace {

// Lets the windows lay themselves out and paint, with every animation at its end at once.
void settle(QWidget *window)
{
    ASSERT_TRUE(window->isVisible()) << window->windowTitle().toStdString() << " is hidden";
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

} // namespace

// Pictures of the start-up window and of a document window with a small flow chart, written to
// the test pictures (under xvfb-run -a, with real window decorations) to look at the layout.
TEST(DocumentWindowPictures, StartUpAndDocumentWindows)
{
    const qnt::test::UserDefaultsKeeper defaults;
    const QString folder = qnt::test::picturesFolder(QStringLiteral("window"));
    // Whatever earlier tests left queued happens now, not while the windows are shown.
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const double timeScale = CXViewAnimation::timeScale();
    CXViewAnimation::setTimeScale(0.0);
    QntWindowAnimation::setTimeScale(0.0);
    DIDizeZoziDocument::setSwitchAnimationScale(0.0);
    const qnt::test::ScopeExit restore([timeScale] {
        CXViewAnimation::setTimeScale(timeScale);
        QntWindowAnimation::setTimeScale(1.0);
        DIDizeZoziDocument::setSwitchAnimationScale(1.0);
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        defaults.removeObjectForKey(QntDisplayHelpMessagesKey);
        // The next window would open with the section closed.
        defaults.removeObjectForKey(
            DIDizeZoziDocument::collapseKey(DIDizeZoziDocument::Section::Text));
        QntInfoPanelController::sharedController().closeInfoPanel();
        QntDocumentController &controller = testDocumentController();
        for (Document *document : controller.documents()) {
            controller.removeDocument(document);
            delete document;
        }
    });
    ASSERT_TRUE(QntNotation::copyNotationsFromBundleToAppSupportFolder().ok());
    QntDocumentController *controller = &testDocumentController();
    controller->newDocument();
    QntStartUpController *startUp = QntDocumentController::startUpController();
    ASSERT_NE(startUp, nullptr);
    ASSERT_TRUE(startUp->selectGroupNamed("FlowChart"));
    startUp->outlineViewAction();
    ASSERT_TRUE(startUp->selectNotationNamed("Flow Chart"));
    settle(startUp->window());
    const QImage startUpWindow = startUp->window()->grab().toImage();
    ASSERT_TRUE(startUpWindow.save(folder + "/startup-window.png"));
    EXPECT_TRUE(qnt::test::matchesGolden(startUpWindow, QStringLiteral("window/startup-window")));

    startUp->okAction();
    auto *document = qobject_cast<DIDizeZoziDocument *>(controller->documents().last());
    ASSERT_NE(document, nullptr);
    const QntNotationRef notation = document->drawing()->currentNotation();
    ASSERT_NE(notation, nullptr);
    auto *layer = document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    struct Place {
        const char *id;
        QPointF centre;
        const char *text;
    };
    const Place places[] = {{"fcTerminator", {260, 110}, "Start"},
                            {"fcProcess", {260, 230}, "Collect orders"},
                            {"fcDecision", {260, 370}, "In stock?"},
                            {"fcDocument", {480, 370}, "Back order"},
                            {"fcTerminator", {260, 510}, "Ship"}};
    std::vector<std::shared_ptr<QntElement>> elements;
    for (const Place &place : places) {
        auto element =
            std::dynamic_pointer_cast<QntElement>(notation->prototypeForElementId(place.id));
        ASSERT_NE(element, nullptr) << "the flow chart notation lacks " << place.id;
        element->setSize(QSizeF(150, place.id == QByteArray("fcDecision") ? 90 : 64));
        element->setLocation(place.centre);
        if (element->text())
            element->text()->setString(QString::fromUtf8(place.text));
        layer->addObject(element);
        elements.push_back(element);
    }
    auto connect = [&](size_t a, size_t b, int spotA, int spotB) {
        auto connector = std::make_shared<QntConnector>();
        layer->addObject(connector);
        connector->startEndPoint()->attach(elements[a], spotA);
        connector->endEndPoint()->attach(elements[b], spotB);
    };
    connect(0, 1, 2, 0);
    connect(1, 2, 2, 0);
    connect(2, 4, 2, 0);
    connect(2, 3, 1, 3);
    layer->addObjectToSelection(elements[1]);
    document->window()->show();
    settle(document->window());
    const QImage documentWindow = document->window()->grab().toImage();
    ASSERT_TRUE(documentWindow.save(folder + "/document-window.png"));
    EXPECT_TRUE(qnt::test::matchesGolden(documentWindow, QStringLiteral("window/document-window")));

    // The column with a section closed, and a help message on the window's bottom edge.
    if (CXCollapsibleView *text = document->sectionForView(DIDizeZoziDocument::Section::Text))
        text->toggleExpansionState();
    UserDefaults::standardUserDefaults().setBool(true, QntDisplayHelpMessagesKey);
    QntInfoPanelController::sharedController().openInfoPanel(
        {kQntShowInfoPanelNotification,
         nullptr,
         {{"msg", "Drag a shape from the library onto the drawing, or double-click it to place it "
                  "in the middle."}}});
    settle(document->window());
    QPixmap screen = document->window()->screen()->grabWindow(0);
    ASSERT_TRUE(screen.save(folder + "/document-window-help.png"));
}
