#include "app/QntDocumentController.h"

#include "app/QntStartUpController.h"
#include "framework/VRConstants.h"
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
    NotificationCenter::defaultCenter().post(kQntCloseAttachedWindowsNotification);
    DocumentController::removeDocument(document);
}
