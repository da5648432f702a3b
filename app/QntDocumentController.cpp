#include "app/QntDocumentController.h"

#include "app/DIDizeZoziDocument.h"
#include "app/QntDocumentConstants.h"
#include "app/QntStartUpController.h"
#include "framework/VRConstants.h"
#include "framework/VRDrawableObject.h"
#include "framework/VRDrawing.h"
#include "framework/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "platform/NotificationCenter.h"

#include <QLoggingCategory>
#include <QWidget>

Q_LOGGING_CATEGORY(lcStartUp, "quintora.startup")

namespace {

QntStartUpController *g_startUpController = nullptr;

} // namespace

QntDocumentController::QntDocumentController(QObject *parent)
    : DocumentController(parent)
{
    setDocumentFactory(VRDrawingDocument::kVRDrawingDocumentType, QStringLiteral("quintora"),
                       [] { return std::make_unique<DIDizeZoziDocument>(); });
    // Drawings keep their notation by path, so a reopened document finds it again.
    VRDrawing::NotationAccess access;
    access.path = [](const QntNotation &notation) { return notation.notationPath(); };
    access.name = [](const QntNotation &notation) { return notation.notationName(); };
    access.open = [](const QString &path) -> QntNotationRef {
        QntNotationRef notation = QntNotation::notationWithPath(path);
        return notation && notation->isValid() ? notation : nullptr;
    };
    VRDrawing::setNotationAccess(std::move(access));
}

Document *QntDocumentController::makeUntitledDocumentOfType(const QString &type, QString *errorMessage)
{
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
    NotificationCenter::defaultCenter().post(kQntNewDocumentCreatedNotification, document,
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
    if (!g_startUpController) {
        // Kept for the life of the process.
        g_startUpController = new QntStartUpController(QCoreApplication::instance());
    }
    qCInfo(lcStartUp) << "showing the start-up window";
    QWidget *window = g_startUpController->window();
    window->setWindowOpacity(1.0);
    g_startUpController->populateControls();
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
}

Document *QntDocumentController::openDocumentWithContentsOfURL(const QString &path, bool display,
                                                               QString *errorMessage)
{
    orderOutStartUpWindow();
    return DocumentController::openDocumentWithContentsOfURL(path, display, errorMessage);
}

Document *QntDocumentController::makeDocumentWithContentsOfURL(const QString &path, const QString &type,
                                                               QString *errorMessage)
{
    orderOutStartUpWindow();
    return DocumentController::makeDocumentWithContentsOfURL(path, type, errorMessage);
}

void QntDocumentController::addDocument(Document *document)
{
    orderOutStartUpWindow();
    DocumentController::addDocument(document);
}

void QntDocumentController::removeDocument(Document *document)
{
    if (auto *drawingDocument = qobject_cast<VRDrawingDocument *>(document)) {
        for (VRLayer *layer : drawingDocument->drawing()->layersOfClass(VRObjectDrawingLayer::staticClass()))
            static_cast<VRObjectDrawingLayer *>(layer)->unregisterObjectsFromAvoidRouter();
    }
    NotificationCenter::defaultCenter().post(kQntCloseAttachedWindowsNotification);
    DocumentController::removeDocument(document);
}
