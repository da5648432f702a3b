#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class DocumentLock;

// One document: its file, its edited state (a change count), autosaving and saving through
// the save panel. Subclasses read and write the contents and make the windows.
// Autosaving never writes the user's file: it writes a recovery copy in the Autosave folder,
// which the next launch reopens after a crash; the file changes on Save and Save As only.
// GUI thread only.
class Document : public QObject
{
    Q_OBJECT
public:
    enum class ChangeType { Done, Undone, Redone, Cleared };

    explicit Document(QObject *parent = nullptr);
    ~Document() override;

    // The document's file; empty for an untitled document. Setting it (after reading or
    // writing the file) also notes the file's modification time.
    QString filePath() const;
    // Also takes the lock file beside the file (unless read-only) and gives up the old one.
    void setFilePath(const QString &path);
    // A document opened while another copy of the program had its file open: it holds no lock
    // and never writes its file. Save asks for another name (Save As); the recovery copies are
    // kept as for any document. Saving under another name ends the read-only state.
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    // Whether the document holds the lock of its file.
    bool holdsFileLock() const;
    QString fileType() const;
    void setFileType(const QString &type);
    // The file's name without its suffix, or "Untitled" / "Untitled N" before the first save.
    QString displayName() const;
    void setUntitledNumber(int number);
    int untitledNumber() const;

    // Edited state: Done and Redone count up, Undone counts down, Cleared resets. Saving
    // sends Cleared. A subclass that keeps its own edited state (an undo manager's clean
    // point) overrides both and calls noteEditedStateChanged() when that state changes.
    virtual void updateChangeCount(ChangeType change);
    virtual bool isDocumentEdited() const;
    // Follows isDocumentEdited(): schedules or stops the autosave, marks the windows and
    // emits editedChanged when the state changed.
    void noteEditedStateChanged();

    // Contents, written and read by the subclass. The path may be an autosave file.
    virtual bool readFromURL(const QString &path, QString *errorMessage);
    // What the user must know about the contents just read (shown once the windows are up);
    // empty when there is nothing to tell.
    virtual QString openingNotice() const { return {}; }
    virtual bool writeToURL(const QString &path, QString *errorMessage);
    // Told how far a long reading is (0 to 1) while readFromURL runs; it answers false when the
    // user cancelled, and the reading then stops and fails. Set by whoever opens the document.
    using ReadingProgressHandler = std::function<bool(double fraction)>;
    void setReadingProgressHandler(ReadingProgressHandler handler);
    const ReadingProgressHandler &readingProgressHandler() const { return m_readingProgress; }

    // Saves to the given path (not a panel) and takes that path; the recovery copy goes and
    // the edited mark is cleared. False, with a message, when writing failed: nothing of the
    // old file is lost.
    bool saveToPath(const QString &path, QString *errorMessage = nullptr);
    // Save: to the document's file, or through the save panel when it has none. A file changed
    // by another program since it was read or written is replaced only when the user says so.
    // False when cancelled or failed (failures are shown to the user).
    bool save(QWidget *parent = nullptr);
    bool saveAs(QWidget *parent = nullptr);

    // Seconds after the first unsaved change at which the document autosaves; 0 = never.
    void setAutosavingDelay(double seconds);
    double autosavingDelay() const;
    bool isAutosaveScheduled() const;
    // Writes an edited document, titled or untitled, atomically to its recovery copy in the
    // Autosave folder (never to its file); the copy stays until the document is saved or
    // closed without saving. The edited mark stays.
    bool autosave(QString *errorMessage = nullptr);
    // The recovery copy; empty before the first autosave.
    QString autosavedContentsPath() const;
    void setAutosavedContentsPath(const QString &path);
    // Folder of the recovery copies.
    static QString autosaveFolder();

    // Windows: the subclass makes them; the document shows them and sheets use the first.
    virtual void makeWindowControllers();
    void addWindow(QWidget *window);
    QList<QWidget *> windows() const;
    QWidget *windowForSheet() const;
    void showWindows();

    // Asks about unsaved changes (Save / Don't Save / Cancel); false when the user cancels
    // or the save failed.
    bool canClose(QWidget *parent = nullptr);
    // Closes the windows and leaves the document controller. The recovery copy goes with it:
    // an edited document closed without saving leaves its file as last saved.
    void close();
    bool isClosing() const { return m_closing; }

signals:
    void readOnlyChanged(bool readOnly);
    void editedChanged(bool edited);
    void filePathChanged(const QString &path);
    void saved(const QString &path);
    void autosaved(const QString &path);

private:
    void setChangeCount(int count);
    void scheduleAutosave();
    void removeAutosaveFile();

    void updateFileLock();

    QString m_filePath;
    QDateTime m_fileModified;
    bool m_readOnly = false;
    std::unique_ptr<DocumentLock> m_lock;
    QString m_fileType;
    int m_untitledNumber = 1;
    int m_changeCount = 0;
    bool m_wasEdited = false;
    double m_autosavingDelay = 0.0;
    QTimer m_autosaveTimer;
    QString m_autosavedContentsPath;
    QList<QPointer<QWidget>> m_windows;
    bool m_closing = false;
    ReadingProgressHandler m_readingProgress;
};
