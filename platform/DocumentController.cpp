#include "platform/DocumentController.h"

#include "platform/Document.h"
#include "platform/DocumentLock.h"
#include "platform/ReadingProgress.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>

Q_LOGGING_CATEGORY(lcDocumentController, "quintora.documents")

const QString DocumentController::kRecentDocumentsKey = QStringLiteral("QntRecentDocumentPaths");
const QString DocumentController::kOpenDocumentsKey = QStringLiteral("QntOpenDocuments");

namespace {

DocumentController *g_shared = nullptr;

QString canonicalOrAbsolute(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

DocumentController::DocumentController(QObject *parent)
    : QObject(parent)
{
    if (!g_shared)
        g_shared = this;
    // The document in front stays the current one while a window of no document (the colour
    // panel, a palette) is active.
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow *focus) {
            if (!focus)
                return;
            for (QWidget *window : QApplication::topLevelWidgets()) {
                if (window->windowHandle() != focus)
                    continue;
                if (Document *document = documentOfWindow(window))
                    m_documentInFront = document;
                return;
            }
        });
}

DocumentController::~DocumentController()
{
    if (g_shared == this)
        g_shared = nullptr;
}

DocumentController &DocumentController::sharedDocumentController()
{
    if (!g_shared)
        new DocumentController(QCoreApplication::instance());
    return *g_shared;
}

void DocumentController::setDocumentFactory(const QString &type, const QString &suffix,
                                            DocumentFactory factory)
{
    m_type = type;
    m_suffix = suffix;
    m_factory = std::move(factory);
}

QString DocumentController::defaultType() const
{
    return m_type;
}

QString DocumentController::fileSuffix() const
{
    return m_suffix;
}

QString DocumentController::fileFilter() const
{
    if (m_suffix.isEmpty())
        return tr("All files (*)");
    return QStringLiteral("%1 (*.%2)").arg(m_type.isEmpty() ? m_suffix : m_type, m_suffix);
}

QList<Document *> DocumentController::documents() const
{
    QList<Document *> result;
    for (const QPointer<Document> &document : m_documents) {
        if (document)
            result.append(document);
    }
    return result;
}

Document *DocumentController::currentDocument() const
{
    if (Document *document = documentOfWindow(QApplication::activeWindow()))
        return document;
    const QList<Document *> all = documents();
    if (m_documentInFront && all.contains(m_documentInFront.data()))
        return m_documentInFront;
    return all.isEmpty() ? nullptr : all.last();
}

Document *DocumentController::documentOfWindow(QWidget *window) const
{
    const QList<Document *> all = documents();
    // A tool window that a document window owns (an attached toolbar) belongs to that document.
    for (QWidget *owner = window; owner; owner = owner->parentWidget()) {
        for (Document *document : all) {
            for (QWidget *documentWindow : document->windows()) {
                if (documentWindow == owner || documentWindow->isAncestorOf(owner))
                    return document;
            }
        }
    }
    return nullptr;
}

Document *DocumentController::documentForPath(const QString &path) const
{
    if (path.isEmpty())
        return nullptr;
    const QString wanted = canonicalOrAbsolute(path);
    for (Document *document : documents()) {
        if (!document->filePath().isEmpty() && canonicalOrAbsolute(document->filePath()) == wanted)
            return document;
    }
    return nullptr;
}

void DocumentController::addDocument(Document *document)
{
    if (!document || documents().contains(document))
        return;
    document->setParent(this);
    m_documents.append(document);
    m_documentInFront = document;
    noteDocumentsChanged();
    emit documentAdded(document);
}

void DocumentController::removeDocument(Document *document)
{
    if (!document || !documents().contains(document))
        return;
    m_documents.removeAll(QPointer<Document>(document));
    noteDocumentsChanged();
    emit documentRemoved(document);
    document->deleteLater();
}

Document *DocumentController::makeUntitledDocumentOfType(const QString &type, QString *errorMessage)
{
    if (!m_factory || (!type.isEmpty() && type != m_type)) {
        if (errorMessage)
            *errorMessage = tr("Documents of this type cannot be made.");
        return nullptr;
    }
    std::unique_ptr<Document> document = m_factory();
    if (!document) {
        if (errorMessage)
            *errorMessage = tr("The document could not be made.");
        return nullptr;
    }
    document->setFileType(m_type);
    document->setUntitledNumber(nextUntitledNumber());
    return document.release();
}

Document *DocumentController::openUntitledDocumentAndDisplay(bool display, QString *errorMessage)
{
    Document *document = makeUntitledDocumentOfType(m_type, errorMessage);
    if (!document)
        return nullptr;
    addDocument(document);
    if (display) {
        document->makeWindowControllers();
        document->showWindows();
    }
    return document;
}

Document *DocumentController::makeDocumentWithContentsOfURL(const QString &path,
                                                            const QString &type,
                                                            QString *errorMessage)
{
    Document *document = makeUntitledDocumentOfType(type, errorMessage);
    if (!document)
        return nullptr;
    QString error;
    // Only where there is a screen to show the progress on.
    std::unique_ptr<ReadingProgress> progress;
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        progress = std::make_unique<ReadingProgress>(QFileInfo(path).fileName());
    if (progress)
        document->setReadingProgressHandler([&](double f) { return progress->update(f); });
    const bool read = document->readFromURL(path, &error);
    document->setReadingProgressHandler({});
    if (progress && progress->wasCancelled())
        error = userCancelledMessage();
    progress.reset();
    if (!read) {
        delete document;
        if (errorMessage) {
            *errorMessage =
                error.isEmpty()
                    ? tr("The document “%1” could not be opened.").arg(QFileInfo(path).fileName())
                    : error;
        }
        return nullptr;
    }
    document->setFilePath(path);
    return document;
}

Document *DocumentController::openDocumentWithContentsOfURL(const QString &path, bool display,
                                                            QString *errorMessage)
{
    if (Document *open = documentForPath(path)) {
        if (display)
            open->showWindows();
        return open;
    }
    bool readOnly = false;
    if (const auto holder = DocumentLock::holderElsewhere(path)) {
        qCInfo(lcDocumentController).noquote()
            << "the document" << path << "is open elsewhere:" << holder->description();
        if (!runOpenElsewherePrompt(path, holder->description(), nullptr)) {
            if (errorMessage)
                errorMessage->clear();
            return nullptr;
        }
        readOnly = true;
    }
    Document *document = makeDocumentWithContentsOfURL(path, m_type, errorMessage);
    if (!document)
        return nullptr;
    document->setReadOnly(readOnly);
    addDocument(document);
    noteNewRecentDocumentURL(document->filePath());
    if (display) {
        document->makeWindowControllers();
        document->showWindows();
    }
    if (const QString notice = document->openingNotice(); !notice.isEmpty())
        presentError(notice, display ? document->windowForSheet() : nullptr);
    return document;
}

void DocumentController::newDocument()
{
    QString error;
    if (!openUntitledDocumentAndDisplay(true, &error) && !error.isEmpty())
        presentError(error, nullptr);
}

void DocumentController::openDocument(QWidget *parent)
{
    const QStringList paths = runOpenPanel(parent);
    for (const QString &path : paths) {
        QString error;
        if (!openDocumentWithContentsOfURL(path, true, &error) && !error.isEmpty())
            presentError(error, parent);
    }
}

QStringList DocumentController::recentDocumentURLs() const
{
    QStringList result;
    const QVariantList stored =
        UserDefaults::standardUserDefaults().arrayForKey(kRecentDocumentsKey);
    for (const QVariant &value : stored) {
        if (value.typeId() == QMetaType::QString && !value.toString().isEmpty())
            result.append(value.toString());
    }
    return result.mid(0, maximumRecentDocumentCount());
}

void DocumentController::noteNewRecentDocumentURL(const QString &path)
{
    if (path.isEmpty())
        return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList recent = recentDocumentURLs();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    recent = recent.mid(0, maximumRecentDocumentCount());
    UserDefaults::standardUserDefaults().setObject(QVariant(recent), kRecentDocumentsKey);
}

void DocumentController::clearRecentDocuments()
{
    UserDefaults::standardUserDefaults().removeObjectForKey(kRecentDocumentsKey);
}

int DocumentController::maximumRecentDocumentCount() const
{
    return 10;
}

QVariantList DocumentController::restorationList() const
{
    return UserDefaults::standardUserDefaults().arrayForKey(kOpenDocumentsKey);
}

int DocumentController::reopenDocumentsFromLastSession()
{
    const QVariantList entries = restorationList();
    if (entries.isEmpty() || !m_factory)
        return 0;
    m_restoring = true;
    int reopened = 0;
    for (const QVariant &entry : entries) {
        const QVariantMap map = entry.toMap();
        QString error;
        if (reopenDocument(map.value(QStringLiteral("path")).toString(),
                           map.value(QStringLiteral("autosave")).toString(), &error))
            ++reopened;
        else if (!error.isEmpty())
            qCWarning(lcDocumentController).noquote() << error;
    }
    m_restoring = false;
    noteDocumentsChanged();
    return reopened;
}

Document *DocumentController::reopenDocument(const QString &path, const QString &recoveryCopy,
                                             QString *errorMessage)
{
    const QFileInfo file(path);
    const QFileInfo recovery(recoveryCopy);
    const bool hasFile = !path.isEmpty() && file.isFile();
    // A recovery copy older than its file is stale: the file was saved after it.
    const bool useRecovery = !recoveryCopy.isEmpty() && recovery.isFile()
                             && (!hasFile || recovery.lastModified() >= file.lastModified());
    if (!useRecovery && !recoveryCopy.isEmpty() && recovery.isFile() && hasFile) {
        qCInfo(lcDocumentController).noquote()
            << "the recovery copy" << recoveryCopy << "is older than" << path << ": removed";
        QFile::remove(recoveryCopy);
    }
    if (!useRecovery) {
        if (!hasFile) {
            qCInfo(lcDocumentController).noquote()
                << "not reopening" << (path.isEmpty() ? recoveryCopy : path)
                << ": the file is gone";
            return nullptr;
        }
        return openDocumentWithContentsOfURL(path, true, errorMessage);
    }
    if (Document *open = documentForPath(path)) {
        open->showWindows();
        return open;
    }
    Document *document = makeUntitledDocumentOfType(m_type, errorMessage);
    if (!document)
        return nullptr;
    QString error;
    if (!document->readFromURL(recoveryCopy, &error)) {
        delete document;
        if (errorMessage)
            *errorMessage =
                tr("The unsaved changes in “%1” could not be read: %2").arg(recoveryCopy, error);
        return nullptr;
    }
    // The file keeps what was last saved; the edits come back marked as unsaved. A file that
    // another login has open meanwhile is not written from here.
    if (!path.isEmpty() && DocumentLock::holderElsewhere(path))
        document->setReadOnly(true);
    if (!path.isEmpty())
        document->setFilePath(path);
    document->setAutosavedContentsPath(recoveryCopy);
    document->updateChangeCount(Document::ChangeType::Done);
    addDocument(document);
    if (!path.isEmpty())
        noteNewRecentDocumentURL(document->filePath());
    document->makeWindowControllers();
    document->showWindows();
    qCInfo(lcDocumentController).noquote()
        << "reopened" << document->displayName() << "with its unsaved changes from" << recoveryCopy;
    return document;
}

bool DocumentController::reviewUnsavedDocuments(QWidget *parent)
{
    // Each edited document is asked about once; "Don't Save" closes it at once, so its file
    // stays as last saved and it is not asked about again.
    for (Document *document : documents()) {
        if (!document || document->isClosing() || !document->isDocumentEdited())
            continue;
        document->showWindows();
        QWidget *sheetParent = document->windowForSheet();
        switch (runClosePrompt(document, sheetParent ? sheetParent : parent)) {
        case CloseChoice::Save:
            if (!document->save(sheetParent ? sheetParent : parent))
                return false;
            break;
        case CloseChoice::DontSave: document->close(); break;
        case CloseChoice::Cancel: return false;
        }
    }
    return true;
}

void DocumentController::prepareForTermination()
{
    for (Document *document : documents()) {
        if (!document->isDocumentEdited())
            continue;
        QString error;
        if (!document->autosave(&error))
            qCWarning(lcDocumentController)
                << "cannot autosave" << document->displayName() << "before quitting:" << error;
    }
    noteDocumentsChanged();
    m_terminating = true;
}

bool DocumentController::isTerminating() const
{
    return m_terminating;
}

void DocumentController::setOpenPanel(OpenPanel panel)
{
    m_openPanel = std::move(panel);
}

void DocumentController::setSavePanel(SavePanel panel)
{
    m_savePanel = std::move(panel);
}

void DocumentController::setClosePrompt(ClosePrompt prompt)
{
    m_closePrompt = std::move(prompt);
}

void DocumentController::setErrorPresenter(ErrorPresenter presenter)
{
    m_errorPresenter = std::move(presenter);
}

void DocumentController::setChangedFilePrompt(ChangedFilePrompt prompt)
{
    m_changedFilePrompt = std::move(prompt);
}

bool DocumentController::runChangedFilePrompt(Document *document, QWidget *parent) const
{
    if (m_changedFilePrompt)
        return m_changedFilePrompt(document, parent);
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setText(tr("The file “%1” has been changed by another application since it was opened "
                   "or saved.")
                    .arg(document ? QFileInfo(document->filePath()).fileName() : QString()));
    box.setInformativeText(tr("Saving replaces those changes with the contents of this window."));
    QPushButton *saveAnyway = box.addButton(tr("Save Anyway"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == saveAnyway;
}

QStringList DocumentController::runOpenPanel(QWidget *parent) const
{
    if (m_openPanel)
        return m_openPanel(parent);
    return QFileDialog::getOpenFileNames(parent, tr("Open"), QString(), fileFilter());
}

QString DocumentController::runSavePanel(QWidget *parent, const QString &suggestedName) const
{
    if (m_savePanel)
        return m_savePanel(parent, suggestedName);
    QString suggestion = suggestedName;
    if (!m_suffix.isEmpty())
        suggestion += QLatin1Char('.') + m_suffix;
    return QFileDialog::getSaveFileName(parent, tr("Save"), suggestion, fileFilter());
}

DocumentController::CloseChoice DocumentController::runClosePrompt(Document *document,
                                                                   QWidget *parent) const
{
    if (m_closePrompt)
        return m_closePrompt(document, parent);
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setText(tr("Do you want to save the changes made to the document “%1”?")
                    .arg(document ? document->displayName() : QString()));
    box.setInformativeText(tr("Your changes will be lost if you don’t save them."));
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save: return CloseChoice::Save;
    case QMessageBox::Discard: return CloseChoice::DontSave;
    default: return CloseChoice::Cancel;
    }
}

void DocumentController::noteDocumentsChanged()
{
    // While quitting, the documents still open are exactly what the next launch reopens.
    if (m_terminating || m_restoring)
        return;
    QVariantList entries;
    for (Document *document : documents()) {
        if (document->filePath().isEmpty() && document->autosavedContentsPath().isEmpty())
            continue;
        entries.append(
            QVariantMap{{QStringLiteral("path"), document->filePath()},
                        {QStringLiteral("autosave"), document->autosavedContentsPath()}});
    }
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    if (defaults.arrayForKey(kOpenDocumentsKey) == entries)
        return;
    if (entries.isEmpty())
        defaults.removeObjectForKey(kOpenDocumentsKey);
    else
        defaults.setObject(entries, kOpenDocumentsKey);
    // Written at once: after a crash the next launch finds the recovery copies through it.
    defaults.synchronize();
}

QString DocumentController::userCancelledMessage()
{
    return tr("The operation was cancelled.");
}

void DocumentController::setOpenElsewherePrompt(OpenElsewherePrompt prompt)
{
    m_openElsewherePrompt = std::move(prompt);
}

bool DocumentController::runOpenElsewherePrompt(const QString &path, const QString &holder,
                                                QWidget *parent) const
{
    if (m_openElsewherePrompt)
        return m_openElsewherePrompt(path, holder, parent);
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(tr("Quintora"));
    box.setText(
        tr("“%1” is open in Quintora elsewhere, by %2.").arg(QFileInfo(path).fileName(), holder));
    box.setInformativeText(tr("If it is edited in both places, each save loses the changes made "
                              "in the other. Open it read-only here: its changes can then be "
                              "saved under another name only."));
    QPushButton *readOnly = box.addButton(tr("Open Read-Only"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(readOnly);
    box.exec();
    return box.clickedButton() == readOnly;
}

void DocumentController::presentError(const QString &message, QWidget *parent) const
{
    if (message == userCancelledMessage()) {
        qCInfo(lcDocumentController).noquote() << message;
        return;
    }
    qCWarning(lcDocumentController).noquote() << message;
    if (m_errorPresenter) {
        m_errorPresenter(message, parent);
        return;
    }
    QMessageBox::warning(parent, tr("Quintora"), message);
}

int DocumentController::nextUntitledNumber() const
{
    int highest = 0;
    for (Document *document : documents()) {
        if (document->filePath().isEmpty())
            highest = std::max(highest, document->untitledNumber());
    }
    return highest + 1;
}
