#include "app/launch/QntDocumentController.h"

#include "app/window/DIDizeZoziDocument.h"
#include "app/window/QntDocumentConstants.h"
#include "app/launch/QntStartUpController.h"
#include "app/launch/VOReruRerAppDelegate.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLoggingCategory>
#include <QTimer>
#include <QUrl>
#include <QWidget>

Q_LOGGING_CATEGORY(lcStartUp, "quintora.startup")

namespace {

bool g_startUpWindowAwaitsFirstPaint = false;

// Launching is complete before any document is made: the libraries its palette shows, the
// preferences that new documents follow.
void completeLaunch()
{
    if (VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate())
        delegate->completeLaunch();
}

// Says once, in the log, when the start-up window has been painted for the first time: the
// moment a launch is over for the user, which launch timings are taken from.
class FirstPaintWatch : public QObject
{
public:
    explicit FirstPaintWatch(QWidget *window)
        : QObject(window)
    {
        window->installEventFilter(this);
        g_startUpWindowAwaitsFirstPaint = true;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // After the paint has reached the screen, on the next turn of the event loop.
            QTimer::singleShot(0, this, [this] {
                qCInfo(lcStartUp) << "the start-up window is painted";
                g_startUpWindowAwaitsFirstPaint = false;
                if (QntDocumentController *controller =
                        QntDocumentController::sharedQntDocumentController())
                    emit controller->startUpWindowPainted();
                deleteLater();
            });
        }
        return false;
    }
};

} // namespace

namespace {

QntStartUpController *g_startUpController = nullptr;

} // namespace

const QString QntDocumentController::kAutoreopenURLKey = QStringLiteral("MyDocumentAutoreopenURL");

QntDocumentController::QntDocumentController(QObject *parent)
    : DocumentController(parent)
{
    setDocumentFactory(VRDrawingDocument::kVRDrawingDocumentType, QStringLiteral("quintora"),
                       [] { return std::make_unique<DIDizeZoziDocument>(); });
}

Document *QntDocumentController::makeUntitledDocumentOfType(const QString &type,
                                                            QString *errorMessage)
{
    completeLaunch();
    Document *document = DocumentController::makeUntitledDocumentOfType(type, errorMessage);
    auto *drawingDocument = qobject_cast<VRDrawingDocument *>(document);
    if (!drawingDocument)
        return document;
    VRDrawing *drawing = drawingDocument->drawing();
    if (const auto notation = QntStartUpController::selectedNotation())
        drawing->setCurrentNotation(notation);
    if (const auto shapes = QntStartUpController::importedShapes()) {
        drawing->setAvoidRouterIsDisabled(true);
        if (auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>())
            layer->addObjectsFromArray(deepCopy(*shapes));
        QntStartUpController::cleanImportedShapes();
        // Routing stays off only while the imported shapes are placed.
        drawing->setAvoidRouterIsDisabled(false);
    }
    NotificationCenter::defaultCenter().post(
        kQntNewDocumentCreatedNotification, document,
        {{QStringLiteral("object"), QVariant::fromValue<QObject *>(document)}});
    return document;
}

QntDocumentController *QntDocumentController::sharedQntDocumentController()
{
    return qobject_cast<QntDocumentController *>(&sharedDocumentController());
}

QntStartUpController *QntDocumentController::startUpController()
{
    return g_startUpController;
}

void QntDocumentController::showStartUpPanel()
{
    bool first = false;
    if (!g_startUpController) {
        // Kept for the life of the process.
        g_startUpController = new QntStartUpController(QCoreApplication::instance());
        first = true;
    }
    qCInfo(lcStartUp) << "showing the start-up window";
    QWidget *window = g_startUpController->window();
    if (first && window)
        new FirstPaintWatch(window);
    window->setWindowOpacity(1.0);
    g_startUpController->populateControls();
}

bool QntDocumentController::startUpWindowAwaitsFirstPaint()
{
    return g_startUpWindowAwaitsFirstPaint;
}

void QntDocumentController::orderOutStartUpWindow()
{
    if (g_startUpController && g_startUpController->window())
        g_startUpController->window()->hide();
}

void QntDocumentController::newDocument()
{
    showStartUpPanel();
}

Document *QntDocumentController::openUntitledDocumentAndDisplay(bool, QString *errorMessage)
{
    showStartUpPanel();
    if (errorMessage)
        errorMessage->clear();
    return nullptr;
}

void QntDocumentController::openDocument(QWidget *parent)
{
    orderOutStartUpWindow();
    DocumentController::openDocument(parent);
    showStartUpPanelWhenNoDocumentIsLeft();
}

Document *QntDocumentController::openDocumentWithContentsOfURL(const QString &path, bool display,
                                                               QString *errorMessage)
{
    orderOutStartUpWindow();
    Document *document =
        DocumentController::openDocumentWithContentsOfURL(path, display, errorMessage);
    if (!document)
        showStartUpPanelWhenNoDocumentIsLeft();
    return document;
}

void QntDocumentController::showStartUpPanelWhenNoDocumentIsLeft()
{
    // The application keeps running without documents; the start-up window is then the one
    // window a user can reach. Checked on the next turn of the loop, after the document that
    // is closing or opening has settled, and never while quitting.
    QTimer::singleShot(0, this, [this] {
        VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate();
        if (!delegate || !delegate->applicationHasStarted() || delegate->isQuitting()
            || delegate->isTerminating() || isTerminating() || !documents().isEmpty())
            return;
        if (g_startUpController && g_startUpController->window()
            && g_startUpController->window()->isVisible())
            return;
        showStartUpPanel();
    });
}

Document *QntDocumentController::makeDocumentWithContentsOfURL(const QString &path,
                                                               const QString &type,
                                                               QString *errorMessage)
{
    orderOutStartUpWindow();
    completeLaunch();
    return DocumentController::makeDocumentWithContentsOfURL(path, type, errorMessage);
}

void QntDocumentController::addDocument(Document *document)
{
    orderOutStartUpWindow();
    completeLaunch();
    DocumentController::addDocument(document);
    if (UserDefaults::standardUserDefaults().boolForKey(kQntToolPaletteIsVisible))
        reopenToolPaletteWhenShown(document);
}

void QntDocumentController::reopenToolPaletteWhenShown(Document *document)
{
    // A palette shown before any document window is on screen has nothing to stand beside and
    // lands in the screen's corner, over the menus of the window that follows: it waits for
    // the document's window.
    for (QWidget *window : document->windows()) {
        if (window->isVisible()) {
            reopenToolPalette();
            return;
        }
    }
    if (!m_toolPaletteAwaits)
        QCoreApplication::instance()->installEventFilter(this);
    m_toolPaletteAwaits = document;
}

void QntDocumentController::reopenToolPalette()
{
    if (VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate())
        delegate->openToolPalette();
}

bool QntDocumentController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && m_toolPaletteAwaits && watched->isWidgetType()
        && m_toolPaletteAwaits->windows().contains(static_cast<QWidget *>(watched))) {
        QCoreApplication::instance()->removeEventFilter(this);
        m_toolPaletteAwaits = nullptr;
        // After the window has been put on screen, so its place is known.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (UserDefaults::standardUserDefaults().boolForKey(kQntToolPaletteIsVisible))
                    reopenToolPalette();
            },
            Qt::QueuedConnection);
    }
    return DocumentController::eventFilter(watched, event);
}

void QntDocumentController::removeDocument(Document *document)
{
    if (auto *drawingDocument = qobject_cast<VRDrawingDocument *>(document)) {
        for (VRLayer *layer :
             drawingDocument->drawing()->layersOfClass(VRObjectDrawingLayer::staticClass()))
            static_cast<VRObjectDrawingLayer *>(layer)->unregisterObjectsFromAvoidRouter();
    }
    NotificationCenter::defaultCenter().post(kQntCloseAttachedWindowsNotification);
    DocumentController::removeDocument(document);
    VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate();
    if (!delegate)
        return;
    if (documents().isEmpty())
        delegate->hideToolPalette();
    delegate->hideLayersPalette();
    showStartUpPanelWhenNoDocumentIsLeft();
}

void QntDocumentController::reopenDocumentForURL(const QString &path, const QString &contentsPath,
                                                 bool display,
                                                 const ReopenHandler &completionHandler)
{
    if (Document *open = documentForPath(path)) {
        if (completionHandler)
            completionHandler(open, true,
                              tr("The document “%1” is already open.").arg(open->displayName()));
        return;
    }
    QString error;
    Document *document = makeDocumentWithContentsOfURL(contentsPath.isEmpty() ? path : contentsPath,
                                                       defaultType(), &error);
    if (document) {
        document->setFilePath(path);
        addDocument(document);
        noteNewRecentDocumentURL(path);
        if (display) {
            document->makeWindowControllers();
            document->showWindows();
        }
    }
    if (completionHandler)
        completionHandler(document, false, error);
}

void QntDocumentController::restoreWindowWithIdentifier(const QString &identifier,
                                                        const QVariantMap &state,
                                                        const RestorationHandler &completionHandler)
{
    const QVariant stored = state.value(kAutoreopenURLKey);
    const QString path =
        stored.typeId() == QMetaType::QUrl ? stored.toUrl().toLocalFile() : stored.toString();
    if (path.isEmpty()) {
        // The last session's documents are reopened from the controller's own list.
        if (completionHandler)
            completionHandler(nullptr, tr("There is no document to restore in this window."));
        return;
    }
    QntDocumentController *controller = sharedQntDocumentController();
    if (!controller) {
        if (completionHandler)
            completionHandler(nullptr, tr("Documents cannot be reopened yet."));
        return;
    }
    controller->reopenDocumentForURL(path, path, false,
                                     [identifier, completionHandler](Document *document,
                                                                     bool wasAlreadyOpen,
                                                                     const QString &error) {
                                         if (!completionHandler)
                                             return;
                                         if (!document || wasAlreadyOpen) {
                                             completionHandler(nullptr, error);
                                             return;
                                         }
                                         if (document->windows().isEmpty())
                                             document->makeWindowControllers();
                                         const QList<QWidget *> windows = document->windows();
                                         if (windows.size() == 1) {
                                             completionHandler(windows.constFirst(), error);
                                             return;
                                         }
                                         for (QWidget *window : windows) {
                                             if (window->objectName() == identifier) {
                                                 completionHandler(window, error);
                                                 return;
                                             }
                                         }
                                         completionHandler(nullptr, error);
                                     });
}
