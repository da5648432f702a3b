#include "platform/Document.h"

#include "platform/DocumentController.h"
#include "platform/DocumentLock.h"
#include "platform/QntPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUuid>

#include <optional>

Q_LOGGING_CATEGORY(lcDocument, "quintora.document")

Document::Document(QObject *parent)
    : QObject(parent)
{
    m_autosaveTimer.setSingleShot(true);
    connect(&m_autosaveTimer, &QTimer::timeout, this, [this] {
        QString error;
        if (!autosave(&error))
            qCWarning(lcDocument) << "autosave of" << displayName() << "failed:" << error;
    });
}

Document::~Document() = default;

QString Document::filePath() const
{
    return m_filePath;
}

void Document::setFilePath(const QString &path)
{
    const QString cleaned = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    const QFileInfo file(cleaned);
    m_fileModified = !cleaned.isEmpty() && file.exists() ? file.lastModified() : QDateTime();
    if (cleaned == m_filePath) {
        updateFileLock();
        return;
    }
    m_filePath = cleaned;
    updateFileLock();
    emit filePathChanged(m_filePath);
}

void Document::setReadOnly(bool readOnly)
{
    if (readOnly == m_readOnly)
        return;
    m_readOnly = readOnly;
    updateFileLock();
    emit readOnlyChanged(m_readOnly);
}

bool Document::holdsFileLock() const
{
    return m_lock && m_lock->isHeld();
}

void Document::updateFileLock()
{
    if (m_readOnly || m_closing || m_filePath.isEmpty() || !QFileInfo(m_filePath).isFile()) {
        m_lock.reset();
        return;
    }
    if (m_lock && m_lock->isHeld() && m_lock->documentPath() == m_filePath)
        return;
    m_lock.reset();
    m_lock = std::make_unique<DocumentLock>(m_filePath);
}

QString Document::fileType() const
{
    return m_fileType;
}

void Document::setFileType(const QString &type)
{
    m_fileType = type;
}

QString Document::displayName() const
{
    if (!m_filePath.isEmpty())
        return QFileInfo(m_filePath).completeBaseName();
    if (m_untitledNumber <= 1)
        return tr("Untitled");
    return tr("Untitled %1").arg(m_untitledNumber);
}

void Document::setUntitledNumber(int number)
{
    m_untitledNumber = number;
}

int Document::untitledNumber() const
{
    return m_untitledNumber;
}

void Document::updateChangeCount(ChangeType change)
{
    switch (change) {
    case ChangeType::Done:
    case ChangeType::Redone: setChangeCount(m_changeCount + 1); break;
    case ChangeType::Undone: setChangeCount(m_changeCount - 1); break;
    case ChangeType::Cleared: setChangeCount(0); break;
    }
}

bool Document::isDocumentEdited() const
{
    return m_changeCount != 0;
}

void Document::setReadingProgressHandler(ReadingProgressHandler handler)
{
    m_readingProgress = std::move(handler);
}

bool Document::readFromURL(const QString &, QString *errorMessage)
{
    if (errorMessage)
        *errorMessage = tr("This kind of document cannot be read.");
    return false;
}

bool Document::writeToURL(const QString &, QString *errorMessage)
{
    if (errorMessage)
        *errorMessage = tr("This kind of document cannot be written.");
    return false;
}

bool Document::saveToPath(const QString &path, QString *errorMessage)
{
    QString error;
    const QString target = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    // A read-only document never writes its file, and no document writes over a file that a
    // copy of the program in another login has open: the changes made there would be lost.
    if (m_readOnly && target == m_filePath) {
        if (errorMessage)
            *errorMessage = tr("“%1” is open read-only, because it is open elsewhere. Save it "
                               "under another name.")
                                .arg(QFileInfo(path).fileName());
        return false;
    }
    if (const auto holder =
            target.isEmpty() ? std::nullopt : DocumentLock::holderElsewhere(target)) {
        if (errorMessage)
            *errorMessage = tr("The document could not be saved as “%1”: that file is open in "
                               "Quintora elsewhere (%2). Saving over it would lose the changes "
                               "made there; choose another name.")
                                .arg(QFileInfo(path).fileName(), holder->description());
        return false;
    }
    // A file that another open document holds stays that document's: two windows of one file
    // would each overwrite the other's contents at their next save.
    const Document *holder = DocumentController::sharedDocumentController().documentForPath(path);
    if (holder && holder != this) {
        if (errorMessage)
            *errorMessage = tr("The document could not be saved as “%1”: that file is open in "
                               "another window. Close it there or choose another name.")
                                .arg(QFileInfo(path).fileName());
        return false;
    }
    if (path.isEmpty() || !writeToURL(path, &error)) {
        if (errorMessage)
            *errorMessage = error.isEmpty() ? tr("The document could not be saved.") : error;
        return false;
    }
    // The recovery copy is no longer needed once the file holds the contents.
    removeAutosaveFile();
    m_autosaveTimer.stop();
    // Cleared before the path changes, so every window shows the new name without the mark.
    updateChangeCount(ChangeType::Cleared);
    // Saved under another name, the document is that file's, and may write it again.
    if (m_readOnly) {
        m_readOnly = false;
        emit readOnlyChanged(false);
    }
    setFilePath(path);
    for (QWidget *window : windows())
        window->setWindowFilePath(m_filePath);
    DocumentController &controller = DocumentController::sharedDocumentController();
    controller.noteNewRecentDocumentURL(m_filePath);
    controller.noteDocumentsChanged();
    emit saved(m_filePath);
    return true;
}

bool Document::save(QWidget *parent)
{
    if (m_filePath.isEmpty() || m_readOnly)
        return saveAs(parent);
    const QFileInfo file(m_filePath);
    if (m_fileModified.isValid() && file.exists() && file.lastModified() != m_fileModified
        && !DocumentController::sharedDocumentController().runChangedFilePrompt(
            this, parent ? parent : windowForSheet()))
        return false;
    QString error;
    if (saveToPath(m_filePath, &error))
        return true;
    qCWarning(lcDocument) << "saving" << m_filePath << "failed:" << error;
    DocumentController::sharedDocumentController().presentError(error,
                                                                parent ? parent : windowForSheet());
    return false;
}

bool Document::saveAs(QWidget *parent)
{
    DocumentController &controller = DocumentController::sharedDocumentController();
    QString path = controller.runSavePanel(parent ? parent : windowForSheet(), displayName());
    if (path.isEmpty())
        return false;
    const QString suffix = controller.fileSuffix();
    if (!suffix.isEmpty() && QFileInfo(path).suffix().compare(suffix, Qt::CaseInsensitive) != 0)
        path += QLatin1Char('.') + suffix;
    QString error;
    if (saveToPath(path, &error))
        return true;
    qCWarning(lcDocument) << "saving" << path << "failed:" << error;
    controller.presentError(error, parent ? parent : windowForSheet());
    return false;
}

void Document::setAutosavingDelay(double seconds)
{
    m_autosavingDelay = seconds > 0 ? seconds : 0.0;
    if (m_autosavingDelay == 0.0)
        m_autosaveTimer.stop();
    else if (isDocumentEdited())
        scheduleAutosave();
}

double Document::autosavingDelay() const
{
    return m_autosavingDelay;
}

bool Document::isAutosaveScheduled() const
{
    return m_autosaveTimer.isActive();
}

bool Document::autosave(QString *errorMessage)
{
    m_autosaveTimer.stop();
    if (!isDocumentEdited())
        return true;
    if (m_autosavedContentsPath.isEmpty()) {
        m_autosavedContentsPath =
            autosaveFolder() + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::WithoutBraces)
            + QLatin1Char('.') + DocumentController::sharedDocumentController().fileSuffix();
    }
    QDir().mkpath(autosaveFolder());
    // Written whole or not at all (the subclass writes through a save file), so a crash
    // during the write leaves the previous copy.
    QString error;
    if (!writeToURL(m_autosavedContentsPath, &error)) {
        if (errorMessage)
            *errorMessage = error.isEmpty() ? tr("The recovery copy could not be written.") : error;
        return false;
    }
    DocumentController::sharedDocumentController().noteDocumentsChanged();
    qCInfo(lcDocument).noquote() << "autosaved" << displayName() << "to" << m_autosavedContentsPath;
    emit autosaved(m_autosavedContentsPath);
    return true;
}

QString Document::autosavedContentsPath() const
{
    return m_autosavedContentsPath;
}

void Document::setAutosavedContentsPath(const QString &path)
{
    m_autosavedContentsPath = path;
}

QString Document::autosaveFolder()
{
    return QntPaths::applicationSupportFolder() + QStringLiteral("/Autosave");
}

void Document::makeWindowControllers()
{
}

void Document::addWindow(QWidget *window)
{
    if (!window)
        return;
    m_windows.append(window);
    window->setWindowFilePath(m_filePath);
}

QList<QWidget *> Document::windows() const
{
    QList<QWidget *> result;
    for (const QPointer<QWidget> &window : m_windows) {
        if (window)
            result.append(window);
    }
    return result;
}

QWidget *Document::windowForSheet() const
{
    const QList<QWidget *> all = windows();
    return all.isEmpty() ? nullptr : all.first();
}

void Document::showWindows()
{
    for (QWidget *window : windows()) {
        window->show();
        window->raise();
        window->activateWindow();
    }
}

bool Document::canClose(QWidget *parent)
{
    if (!isDocumentEdited())
        return true;
    DocumentController &controller = DocumentController::sharedDocumentController();
    switch (controller.runClosePrompt(this, parent ? parent : windowForSheet())) {
    case DocumentController::CloseChoice::Save: return save(parent);
    case DocumentController::CloseChoice::DontSave: return true;
    case DocumentController::CloseChoice::Cancel: return false;
    }
    return false;
}

void Document::close()
{
    if (m_closing)
        return;
    m_closing = true;
    m_lock.reset();
    m_autosaveTimer.stop();
    removeAutosaveFile();
    for (QWidget *window : windows())
        window->close();
    DocumentController::sharedDocumentController().removeDocument(this);
}

void Document::setChangeCount(int count)
{
    m_changeCount = count;
    noteEditedStateChanged();
}

void Document::noteEditedStateChanged()
{
    const bool edited = isDocumentEdited();
    if (edited) {
        scheduleAutosave();
    } else {
        // Back at what its file holds (undone, or edits discarded): a recovery copy would bring
        // the discarded edits back at the next launch.
        m_autosaveTimer.stop();
        if (!m_autosavedContentsPath.isEmpty()) {
            removeAutosaveFile();
            DocumentController::sharedDocumentController().noteDocumentsChanged();
        }
    }
    for (QWidget *window : windows())
        window->setWindowModified(edited);
    if (edited != m_wasEdited) {
        m_wasEdited = edited;
        emit editedChanged(edited);
    }
}

void Document::scheduleAutosave()
{
    // Started by the first unsaved change and not pushed back by later ones, so steady
    // editing is still saved every few seconds.
    if (m_autosavingDelay <= 0 || m_autosaveTimer.isActive())
        return;
    m_autosaveTimer.start(int(m_autosavingDelay * 1000));
}

void Document::removeAutosaveFile()
{
    if (m_autosavedContentsPath.isEmpty())
        return;
    QFile::remove(m_autosavedContentsPath);
    m_autosavedContentsPath.clear();
}
