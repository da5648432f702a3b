#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>

class Document;
class QWidget;

// Keeps the open documents: makes untitled ones, opens files (one document per file), the
// recent-documents list and the list of documents to reopen at the next launch, both kept in
// the user defaults. The first controller made is the shared one. GUI thread only.
class DocumentController : public QObject
{
    Q_OBJECT
public:
    enum class CloseChoice { Save, DontSave, Cancel };
    using DocumentFactory = std::function<std::unique_ptr<Document>()>;
    using OpenPanel = std::function<QStringList(QWidget *parent)>;
    using SavePanel = std::function<QString(QWidget *parent, const QString &suggestedName)>;
    using ClosePrompt = std::function<CloseChoice(Document *document, QWidget *parent)>;
    using ErrorPresenter = std::function<void(const QString &message, QWidget *parent)>;
    // True to save over a file that another program changed since the document read it.
    using ChangedFilePrompt = std::function<bool(Document *document, QWidget *parent)>;
    // True to open read-only a file that a copy of the program in another login has open
    // (holder names it), false to leave it.
    using OpenElsewherePrompt =
        std::function<bool(const QString &path, const QString &holder, QWidget *parent)>;

    // Defaults keys of the lists this controller keeps.
    static const QString kRecentDocumentsKey;
    static const QString kOpenDocumentsKey;

    explicit DocumentController(QObject *parent = nullptr);
    ~DocumentController() override;

    // The shared controller (a plain one is made when no subclass was made first).
    static DocumentController &sharedDocumentController();

    // The document type and file suffix of this application's documents.
    void setDocumentFactory(const QString &type, const QString &suffix, DocumentFactory factory);
    QString defaultType() const;
    QString fileSuffix() const;
    QString fileFilter() const;

    QList<Document *> documents() const;
    // The document of the active window; while a window of no document is active, the document
    // whose window was active last (or that was added since); may be null.
    Document *currentDocument() const;
    // The document the window (or the document window that owns it) belongs to; may be null.
    Document *documentOfWindow(QWidget *window) const;
    Document *documentForPath(const QString &path) const;

    // The controller owns every added document until it is removed.
    virtual void addDocument(Document *document);
    virtual void removeDocument(Document *document);

    virtual Document *makeUntitledDocumentOfType(const QString &type, QString *errorMessage);
    virtual Document *openUntitledDocumentAndDisplay(bool display, QString *errorMessage);
    // A reading that takes a while shows its progress, with Cancel (see ReadingProgress); a
    // cancelled reading fails with userCancelledMessage().
    virtual Document *makeDocumentWithContentsOfURL(const QString &path, const QString &type,
                                                    QString *errorMessage);
    // An already open file only brings its windows to the front. A file that a copy of the
    // program in another login has open is opened read-only when the user says so; otherwise
    // nothing is opened and the message stays empty.
    virtual Document *openDocumentWithContentsOfURL(const QString &path, bool display,
                                                    QString *errorMessage);
    // The New and Open commands; Open runs the open panel and reports failures to the user.
    virtual void newDocument();
    virtual void openDocument(QWidget *parent = nullptr);

    // Recent documents, newest first.
    QStringList recentDocumentURLs() const;
    void noteNewRecentDocumentURL(const QString &path);
    void clearRecentDocuments();
    int maximumRecentDocumentCount() const;

    // The open documents as stored for the next launch: maps of "path" (the file, empty for
    // an untitled document) and "autosave" (the recovery copy, empty before the first one).
    QVariantList restorationList() const;
    // Reopens what the last session left open; returns how many were reopened. Entries that
    // cannot be reopened yet (no document type) are kept.
    int reopenDocumentsFromLastSession();
    // Reopens one document and shows it: from its recovery copy, marked edited, when that copy
    // is not older than the file (or there is no file), else from the file. A stale recovery
    // copy is removed. Null with a message when nothing could be read.
    Document *reopenDocument(const QString &path, const QString &recoveryCopy,
                             QString *errorMessage);
    // Before quitting by command: asks about each edited document once (Save / Don't Save /
    // Cancel). "Don't Save" closes that document. False when the user cancelled or a save
    // failed; the quit then stops.
    bool reviewUnsavedDocuments(QWidget *parent = nullptr);
    // Before quitting: autosave every edited document and keep the list for the next launch.
    void prepareForTermination();
    bool isTerminating() const;

    // Panels and prompts, replaceable (tests, headless use).
    void setOpenPanel(OpenPanel panel);
    void setSavePanel(SavePanel panel);
    void setClosePrompt(ClosePrompt prompt);
    void setErrorPresenter(ErrorPresenter presenter);
    void setChangedFilePrompt(ChangedFilePrompt prompt);
    void setOpenElsewherePrompt(OpenElsewherePrompt prompt);
    bool runOpenElsewherePrompt(const QString &path, const QString &holder, QWidget *parent) const;
    QStringList runOpenPanel(QWidget *parent) const;
    QString runSavePanel(QWidget *parent, const QString &suggestedName) const;
    CloseChoice runClosePrompt(Document *document, QWidget *parent) const;
    bool runChangedFilePrompt(Document *document, QWidget *parent) const;

    // Keeps the stored list of open documents in step (documents call it after saving).
    void noteDocumentsChanged();

    // Tells the user an operation failed; nothing for an operation the user cancelled.
    virtual void presentError(const QString &message, QWidget *parent) const;
    // The message of an operation the user cancelled (the Cancel of a document's reading).
    static QString userCancelledMessage();

signals:
    void documentAdded(Document *document);
    void documentRemoved(Document *document);

private:
    int nextUntitledNumber() const;

    QList<QPointer<Document>> m_documents;
    QPointer<Document> m_documentInFront;
    QString m_type;
    QString m_suffix;
    DocumentFactory m_factory;
    OpenPanel m_openPanel;
    SavePanel m_savePanel;
    ClosePrompt m_closePrompt;
    ErrorPresenter m_errorPresenter;
    ChangedFilePrompt m_changedFilePrompt;
    OpenElsewherePrompt m_openElsewherePrompt;
    bool m_terminating = false;
    bool m_restoring = false;
};
