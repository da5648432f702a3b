#include "platform/Document.h"
#include "platform/DocumentController.h"
#include "platform/DocumentLock.h"
#include "platform/UserDefaults.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSysInfo>
#include <QWidget>
#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

namespace {

// A document whose contents is one line of text.
class TextDocument : public Document
{
public:
    QString text;
    bool failWrites = false;
    // Reads as a long document does: telling its progress until the progress dialog is up, then
    // pressing the dialog's Cancel, then on until the progress says to stop.
    static inline bool s_cancelWhileReading = false;

    bool readFromURL(const QString &path, QString *errorMessage) override
    {
        if (s_cancelWhileReading) {
            QElapsedTimer clock;
            clock.start();
            QProgressDialog *dialog = nullptr;
            for (double f = 0; clock.elapsed() < 5000; f = std::min(1.0, f + 1e-4)) {
                if (!readingProgressHandler()(f)) {
                    *errorMessage = "cancelled";
                    return false;
                }
                if (!dialog) {
                    dialog = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
                    if (dialog && dialog->isVisible())
                        dialog->cancel();
                }
            }
            *errorMessage = "never cancelled";
            return false;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            *errorMessage = "cannot read " + path;
            return false;
        }
        text = QString::fromUtf8(file.readAll());
        return true;
    }

    bool writeToURL(const QString &path, QString *errorMessage) override
    {
        QFile file(path);
        if (failWrites || !file.open(QIODevice::WriteOnly)) {
            *errorMessage = "cannot write " + path;
            return false;
        }
        file.write(text.toUtf8());
        return true;
    }
};

QByteArray checksum(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeText(const QString &path, const QString &text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

// Each test has a document controller of its own, the shared one while it lives (documents
// reach their controller as the shared one), and leaves no documents, autosaves or stored lists.
class DocumentTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_controller = std::make_unique<DocumentController>();
        ASSERT_EQ(&DocumentController::sharedDocumentController(), m_controller.get())
            << "an earlier test left a shared document controller behind";
        controller().setDocumentFactory("Quintora Drawing", "quintora",
                                        [] { return std::make_unique<TextDocument>(); });
        controller().setErrorPresenter(
            [this](const QString &message, QWidget *) { m_errors << message; });
        controller().setClosePrompt([this](Document *, QWidget *) { return m_closeChoice; });
        controller().setSavePanel([this](QWidget *, const QString &) { return m_savePanelAnswer; });
        controller().setOpenPanel([this](QWidget *) { return m_openPanelAnswer; });
        controller().setChangedFilePrompt([this](Document *, QWidget *) {
            ++m_changedFilePrompts;
            return m_saveOverChanges;
        });
        controller().clearRecentDocuments();
    }

    void TearDown() override
    {
        if (m_controller) {
            for (Document *document : controller().documents())
                controller().removeDocument(document);
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            m_controller.reset();
        }
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        defaults.removeObjectForKey(DocumentController::kOpenDocumentsKey);
        defaults.removeObjectForKey(DocumentController::kRecentDocumentsKey);
        QDir(Document::autosaveFolder()).removeRecursively();
    }

    DocumentController &controller() { return *m_controller; }

    TextDocument *newDocument()
    {
        QString error;
        auto *document =
            static_cast<TextDocument *>(controller().openUntitledDocumentAndDisplay(false, &error));
        EXPECT_NE(document, nullptr) << error.toStdString();
        return document;
    }

    QString path(const QString &name) const { return m_dir.path() + "/" + name; }

    QTemporaryDir m_dir;
    QStringList m_errors;
    DocumentController::CloseChoice m_closeChoice = DocumentController::CloseChoice::Cancel;
    QString m_savePanelAnswer;
    QStringList m_openPanelAnswer;
    int m_changedFilePrompts = 0;
    bool m_saveOverChanges = false;
    std::unique_ptr<DocumentController> m_controller;
};

} // namespace

TEST_F(DocumentTest, ChangeCountFollowsDoneUndoneCleared)
{
    TextDocument *document = newDocument();
    int edits = 0;
    QObject::connect(document, &Document::editedChanged, [&](bool) { ++edits; });
    EXPECT_FALSE(document->isDocumentEdited());
    document->updateChangeCount(Document::ChangeType::Done);
    document->updateChangeCount(Document::ChangeType::Done);
    EXPECT_TRUE(document->isDocumentEdited());
    document->updateChangeCount(Document::ChangeType::Undone);
    EXPECT_TRUE(document->isDocumentEdited());
    document->updateChangeCount(Document::ChangeType::Undone);
    EXPECT_FALSE(document->isDocumentEdited());
    document->updateChangeCount(Document::ChangeType::Redone);
    document->updateChangeCount(Document::ChangeType::Cleared);
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_EQ(edits, 4);
}

namespace {

// Keeps its edited state elsewhere, as a document with an undo manager does.
class CleanPointDocument : public Document
{
public:
    bool dirty = false;
    int cleared = 0;
    bool isDocumentEdited() const override { return dirty; }
    void updateChangeCount(ChangeType change) override
    {
        if (change == ChangeType::Cleared) {
            ++cleared;
            dirty = false;
        }
        noteEditedStateChanged();
    }
    bool writeToURL(const QString &, QString *) override { return true; }
};

} // namespace

TEST_F(DocumentTest, SubclassWithItsOwnEditedStateAutosavesAndSaves)
{
    CleanPointDocument document;
    document.setAutosavingDelay(100);
    int changes = 0;
    QObject::connect(&document, &Document::editedChanged, [&](bool) { ++changes; });
    document.dirty = true;
    document.noteEditedStateChanged();
    EXPECT_TRUE(document.isAutosaveScheduled());
    EXPECT_EQ(changes, 1);
    ASSERT_TRUE(document.saveToPath(path("own.quintora")));
    EXPECT_EQ(document.cleared, 1);
    EXPECT_FALSE(document.isAutosaveScheduled());
    EXPECT_EQ(changes, 2);
}

TEST_F(DocumentTest, TheDocumentInFrontStaysCurrentWhileAWindowOfNoDocumentIsActive)
{
    TextDocument *first = newDocument();
    TextDocument *second = newDocument();
    QWidget firstWindow;
    QWidget secondWindow;
    QWidget panel; // the colour panel, a palette
    first->addWindow(&firstWindow);
    second->addWindow(&secondWindow);
    EXPECT_EQ(controller().currentDocument(), second); // the last added, before any is active
    for (QWidget *window : {&firstWindow, &secondWindow, &panel})
        window->show();
    firstWindow.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&firstWindow));
    EXPECT_EQ(controller().currentDocument(), first);
    panel.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    EXPECT_EQ(controller().currentDocument(), first);
    // A document added later is the current one until another window comes to the front.
    TextDocument *third = newDocument();
    EXPECT_EQ(controller().currentDocument(), third);
}

TEST_F(DocumentTest, UntitledDocumentsAreNumbered)
{
    EXPECT_EQ(newDocument()->displayName(), "Untitled");
    EXPECT_EQ(newDocument()->displayName(), "Untitled 2");
}

TEST_F(DocumentTest, SaveWritesCleansAndRemembers)
{
    TextDocument *document = newDocument();
    document->text = "hello";
    document->updateChangeCount(Document::ChangeType::Done);
    ASSERT_TRUE(document->saveToPath(path("a.quintora")));
    EXPECT_EQ(readText(path("a.quintora")), "hello");
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_EQ(document->displayName(), "a");
    EXPECT_EQ(controller().recentDocumentURLs().value(0), path("a.quintora"));
    const QVariantList list = controller().restorationList();
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].toMap().value("path").toString(), path("a.quintora"));
}

TEST_F(DocumentTest, FailedSaveKeepsTheEditedStateAndReports)
{
    TextDocument *document = newDocument();
    document->updateChangeCount(Document::ChangeType::Done);
    document->failWrites = true;
    m_savePanelAnswer = path("b");
    EXPECT_FALSE(document->save());
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_TRUE(document->filePath().isEmpty());
    ASSERT_EQ(m_errors.size(), 1);
}

TEST_F(DocumentTest, SaveOfAnUntitledDocumentAsksForAPlaceAndAddsTheSuffix)
{
    TextDocument *document = newDocument();
    m_savePanelAnswer.clear();
    EXPECT_FALSE(document->save());
    m_savePanelAnswer = path("Drawing");
    EXPECT_TRUE(document->save());
    EXPECT_EQ(document->filePath(), path("Drawing.quintora"));
}

TEST_F(DocumentTest, UntitledDocumentAutosavesAfterTheDelayAndClosingDiscardsIt)
{
    TextDocument *document = newDocument();
    document->setAutosavingDelay(0.01);
    document->text = "draft";
    document->updateChangeCount(Document::ChangeType::Done);
    EXPECT_TRUE(document->isAutosaveScheduled());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !document->autosavedContentsPath().isEmpty(); }, 5000));
    const QString autosave = document->autosavedContentsPath();
    EXPECT_TRUE(autosave.startsWith(Document::autosaveFolder()));
    EXPECT_EQ(readText(autosave), "draft");
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(controller().restorationList().value(0).toMap().value("autosave").toString(),
              autosave);

    m_closeChoice = DocumentController::CloseChoice::Cancel;
    EXPECT_FALSE(document->canClose());
    m_closeChoice = DocumentController::CloseChoice::DontSave;
    ASSERT_TRUE(document->canClose());
    document->close();
    EXPECT_FALSE(QFile::exists(autosave));
    EXPECT_TRUE(controller().restorationList().isEmpty());
}

TEST_F(DocumentTest, AutosaveWritesARecoveryCopyAndOnlySaveChangesTheFile)
{
    writeText(path("c.quintora"), "old");
    const QByteArray saved = checksum(path("c.quintora"));
    QString error;
    auto *document = static_cast<TextDocument *>(
        controller().openDocumentWithContentsOfURL(path("c.quintora"), false, &error));
    ASSERT_NE(document, nullptr);
    document->setAutosavingDelay(0.01);
    document->text = "new";
    document->updateChangeCount(Document::ChangeType::Done);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !document->autosavedContentsPath().isEmpty(); }, 5000));
    const QString recovery = document->autosavedContentsPath();
    EXPECT_TRUE(recovery.startsWith(Document::autosaveFolder() + "/"));
    EXPECT_EQ(readText(recovery), "new");
    EXPECT_EQ(checksum(path("c.quintora")), saved);
    EXPECT_TRUE(document->isDocumentEdited());
    const QVariantMap entry = controller().restorationList().value(0).toMap();
    EXPECT_EQ(entry.value("path").toString(), path("c.quintora"));
    EXPECT_EQ(entry.value("autosave").toString(), recovery);

    ASSERT_TRUE(document->save());
    EXPECT_EQ(readText(path("c.quintora")), "new");
    EXPECT_FALSE(QFile::exists(recovery));
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_TRUE(
        controller().restorationList().value(0).toMap().value("autosave").toString().isEmpty());
}

TEST_F(DocumentTest, UndoingBackToTheFileRemovesTheRecoveryCopy)
{
    writeText(path("u.quintora"), "as saved");
    QString error;
    auto *document = static_cast<TextDocument *>(
        controller().openDocumentWithContentsOfURL(path("u.quintora"), false, &error));
    ASSERT_NE(document, nullptr);
    document->text = "discarded";
    document->updateChangeCount(Document::ChangeType::Done);
    ASSERT_TRUE(document->autosave());
    const QString recovery = document->autosavedContentsPath();
    ASSERT_TRUE(QFile::exists(recovery));
    document->text = "as saved";
    document->updateChangeCount(Document::ChangeType::Undone);
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_FALSE(QFile::exists(recovery));
    EXPECT_TRUE(document->autosavedContentsPath().isEmpty());
    EXPECT_TRUE(
        controller().restorationList().value(0).toMap().value("autosave").toString().isEmpty());
}

TEST_F(DocumentTest, DontSaveLeavesTheFileAsLastSavedAndRemovesTheRecoveryCopy)
{
    writeText(path("f.quintora"), "as saved");
    const QByteArray saved = checksum(path("f.quintora"));
    QString error;
    auto *document = static_cast<TextDocument *>(
        controller().openDocumentWithContentsOfURL(path("f.quintora"), false, &error));
    ASSERT_NE(document, nullptr);
    document->text = "unwanted";
    document->updateChangeCount(Document::ChangeType::Done);
    ASSERT_TRUE(document->autosave());
    const QString recovery = document->autosavedContentsPath();
    ASSERT_TRUE(QFile::exists(recovery));
    m_closeChoice = DocumentController::CloseChoice::DontSave;
    ASSERT_TRUE(document->canClose());
    document->close();
    EXPECT_EQ(checksum(path("f.quintora")), saved);
    EXPECT_FALSE(QFile::exists(recovery));
    EXPECT_TRUE(controller().restorationList().isEmpty());
}

TEST_F(DocumentTest, SaveAndSaveAsClearTheEditedMarkAndAutosaveNever)
{
    for (const bool saveAs : {false, true}) {
        SCOPED_TRACE(saveAs ? "Save As" : "Save");
        TextDocument *document = newDocument();
        QWidget window;
        window.setWindowTitle("w[*]");
        document->addWindow(&window);
        document->text = "marked";
        document->updateChangeCount(Document::ChangeType::Done);
        ASSERT_TRUE(window.isWindowModified());
        ASSERT_TRUE(document->autosave());
        EXPECT_TRUE(window.isWindowModified());
        EXPECT_TRUE(document->isDocumentEdited());
        const QString name = saveAs ? "as.quintora" : "plain.quintora";
        if (saveAs) {
            m_savePanelAnswer = path(name);
            ASSERT_TRUE(document->saveAs());
        } else {
            ASSERT_TRUE(document->saveToPath(path(name)));
        }
        EXPECT_FALSE(window.isWindowModified());
        EXPECT_FALSE(document->isDocumentEdited());
        EXPECT_EQ(readText(path(name)), "marked");
        // Editing again after Save As marks the window again; another Save As clears it.
        document->updateChangeCount(Document::ChangeType::Done);
        EXPECT_TRUE(window.isWindowModified());
        m_savePanelAnswer = path("again-" + name);
        ASSERT_TRUE(document->saveAs());
        EXPECT_FALSE(window.isWindowModified());
        controller().removeDocument(document);
    }
}

TEST_F(DocumentTest, SaveAsRefusesAFileThatAnotherOpenDocumentHolds)
{
    TextDocument *first = newDocument();
    first->text = "first";
    ASSERT_TRUE(first->saveToPath(path("held.quintora")));
    TextDocument *second = newDocument();
    second->text = "second";
    second->updateChangeCount(Document::ChangeType::Done);
    m_savePanelAnswer = path("held.quintora");
    EXPECT_FALSE(second->saveAs());
    EXPECT_EQ(readText(path("held.quintora")), "first");
    EXPECT_TRUE(second->isDocumentEdited());
    EXPECT_TRUE(second->filePath().isEmpty());
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_TRUE(m_errors.first().contains("held.quintora"));
    // The document that holds the file saves it as before.
    first->text = "first, again";
    EXPECT_TRUE(first->saveAs());
    EXPECT_EQ(readText(path("held.quintora")), "first, again");
}

TEST_F(DocumentTest, SavingOverAFileChangedElsewhereAsksFirst)
{
    TextDocument *document = newDocument();
    document->text = "mine";
    ASSERT_TRUE(document->saveToPath(path("shared.quintora")));
    writeText(path("shared.quintora"), "theirs");
    {
        QFile file(path("shared.quintora"));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                     QFileDevice::FileModificationTime));
    }
    document->text = "mine, again";
    document->updateChangeCount(Document::ChangeType::Done);
    EXPECT_FALSE(document->save());
    EXPECT_EQ(m_changedFilePrompts, 1);
    EXPECT_EQ(readText(path("shared.quintora")), "theirs");
    EXPECT_TRUE(document->isDocumentEdited());
    m_saveOverChanges = true;
    EXPECT_TRUE(document->save());
    EXPECT_EQ(readText(path("shared.quintora")), "mine, again");
    // The file it wrote itself it saves over without asking.
    document->updateChangeCount(Document::ChangeType::Done);
    EXPECT_TRUE(document->save());
    EXPECT_EQ(m_changedFilePrompts, 2);
}

namespace {

struct RecoveryCase {
    const char *name;
    bool fileExists;
    bool recoveryNewer;
    const char *reopenedText;
    bool edited;
    bool recoveryKept;
};

} // namespace

TEST_F(DocumentTest, ReopeningTakesTheRecoveryCopyWhenItIsNewerAndMarksItEdited)
{
    const RecoveryCase cases[] = {
        {"newer copy", true, true, "recovered", true, true},
        {"stale copy", true, false, "on disk", false, false},
        {"file gone", false, true, "recovered", true, true},
    };
    QDir().mkpath(Document::autosaveFolder());
    for (const RecoveryCase &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QString("%1.quintora").arg(c.name));
        const QString recovery = Document::autosaveFolder() + "/" + c.name + ".quintora";
        writeText(recovery, "recovered");
        QByteArray onDisk;
        if (c.fileExists) {
            writeText(file, "on disk");
            onDisk = checksum(file);
            const QDateTime now = QDateTime::currentDateTime();
            QFile f(c.recoveryNewer ? recovery : file);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            ASSERT_TRUE(f.setFileTime(now.addSecs(60), QFileDevice::FileModificationTime));
        }
        QString error;
        Document *document = controller().reopenDocument(file, recovery, &error);
        ASSERT_NE(document, nullptr) << error.toStdString();
        EXPECT_EQ(static_cast<TextDocument *>(document)->text, c.reopenedText);
        EXPECT_EQ(document->isDocumentEdited(), c.edited);
        EXPECT_EQ(document->filePath(), file);
        EXPECT_EQ(QFile::exists(recovery), c.recoveryKept);
        if (c.fileExists) {
            EXPECT_EQ(checksum(file), onDisk);
        }
        controller().removeDocument(document);
        QFile::remove(recovery);
    }
}

TEST_F(DocumentTest, QuittingAsksAboutEachEditedDocumentOnce)
{
    struct Case {
        const char *name;
        QList<DocumentController::CloseChoice> answers;
        bool quits;
        int prompts;
    };
    using Choice = DocumentController::CloseChoice;
    const Case cases[] = {
        {"save and discard", {Choice::Save, Choice::DontSave}, true, 2},
        {"cancel first", {Choice::Cancel}, false, 1},
        {"discard then cancel", {Choice::DontSave, Choice::Cancel}, false, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeText(path("one.quintora"), "one");
        writeText(path("two.quintora"), "two");
        const QByteArray one = checksum(path("one.quintora"));
        const QByteArray two = checksum(path("two.quintora"));
        QString error;
        auto *first = static_cast<TextDocument *>(
            controller().openDocumentWithContentsOfURL(path("one.quintora"), false, &error));
        auto *second = static_cast<TextDocument *>(
            controller().openDocumentWithContentsOfURL(path("two.quintora"), false, &error));
        TextDocument *clean = newDocument();
        ASSERT_TRUE(first && second && clean);
        first->text = "one edited";
        first->updateChangeCount(Document::ChangeType::Done);
        second->text = "two edited";
        second->updateChangeCount(Document::ChangeType::Done);
        QList<Document *> asked;
        int next = 0;
        controller().setClosePrompt([&](Document *document, QWidget *) {
            asked << document;
            return c.answers.value(next++, Choice::Cancel);
        });
        EXPECT_EQ(controller().reviewUnsavedDocuments(), c.quits);
        EXPECT_EQ(asked.size(), c.prompts);
        EXPECT_EQ(QSet<Document *>(asked.begin(), asked.end()).size(), asked.size());
        EXPECT_FALSE(asked.contains(clean));
        const bool firstSaved = c.answers.value(0) == Choice::Save;
        EXPECT_EQ(checksum(path("one.quintora")) == one, !firstSaved);
        EXPECT_EQ(checksum(path("two.quintora")), two);
        QCoreApplication::processEvents();
        for (Document *document : controller().documents())
            controller().removeDocument(document);
        QCoreApplication::processEvents();
    }
}

TEST_F(DocumentTest, OpeningAFileTwiceGivesTheSameDocument)
{
    writeText(path("d.quintora"), "d");
    QString error;
    Document *first = controller().openDocumentWithContentsOfURL(path("d.quintora"), false, &error);
    Document *second =
        controller().openDocumentWithContentsOfURL(m_dir.path() + "/./d.quintora", false, &error);
    EXPECT_EQ(first, second);
    EXPECT_EQ(controller().documents().size(), 1);
}

TEST_F(DocumentTest, OpeningAMissingFileFailsWithAMessage)
{
    QString error;
    EXPECT_EQ(controller().openDocumentWithContentsOfURL(path("missing.quintora"), false, &error),
              nullptr);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(controller().documents().isEmpty());
    m_openPanelAnswer = {path("missing.quintora")};
    controller().openDocument();
    EXPECT_EQ(m_errors.size(), 1);
}

TEST_F(DocumentTest, RecentDocumentsAreNewestFirstWithoutDuplicatesAndBounded)
{
    for (int i = 0; i < 12; ++i)
        controller().noteNewRecentDocumentURL(path(QString("r%1.quintora").arg(i)));
    controller().noteNewRecentDocumentURL(path("r5.quintora"));
    const QStringList recent = controller().recentDocumentURLs();
    EXPECT_EQ(recent.size(), 10);
    EXPECT_EQ(recent.first(), path("r5.quintora"));
    EXPECT_EQ(recent.count(path("r5.quintora")), 1);
    EXPECT_EQ(recent.value(1), path("r11.quintora"));
}

TEST_F(DocumentTest, LastSessionIsReopenedFromFilesAndAutosaves)
{
    writeText(path("e.quintora"), "saved");
    QDir().mkpath(Document::autosaveFolder());
    const QString autosave = Document::autosaveFolder() + "/X.quintora";
    writeText(autosave, "unsaved");
    UserDefaults::standardUserDefaults().setObject(
        QVariantList{QVariantMap{{"path", path("e.quintora")}, {"autosave", ""}},
                     QVariantMap{{"path", ""}, {"autosave", autosave}},
                     QVariantMap{{"path", path("gone.quintora")}, {"autosave", ""}}},
        DocumentController::kOpenDocumentsKey);
    EXPECT_EQ(controller().reopenDocumentsFromLastSession(), 2);
    const QList<Document *> documents = controller().documents();
    ASSERT_EQ(documents.size(), 2);
    EXPECT_EQ(static_cast<TextDocument *>(documents[0])->text, "saved");
    EXPECT_EQ(static_cast<TextDocument *>(documents[1])->text, "unsaved");
    EXPECT_TRUE(documents[1]->isDocumentEdited());
    EXPECT_TRUE(documents[1]->filePath().isEmpty());
    EXPECT_EQ(controller().restorationList().size(), 2);
    QFile::remove(autosave);
}

TEST_F(DocumentTest, QuittingKeepsTheOpenDocumentsForTheNextLaunch)
{
    // Quitting cannot be undone: a controller of its own quits, so the shared one goes on
    // keeping its list for the other tests.
    DocumentController quitting;
    quitting.setDocumentFactory("Quintora Drawing", "quintora",
                                [] { return std::make_unique<TextDocument>(); });
    QString error;
    auto *document =
        static_cast<TextDocument *>(quitting.openUntitledDocumentAndDisplay(false, &error));
    ASSERT_NE(document, nullptr) << error.toStdString();
    document->text = "keep me";
    document->updateChangeCount(Document::ChangeType::Done);
    quitting.prepareForTermination();
    const QString autosave = document->autosavedContentsPath();
    EXPECT_EQ(readText(autosave), "keep me");
    quitting.removeDocument(document);
    EXPECT_EQ(quitting.restorationList().value(0).toMap().value("autosave").toString(), autosave);
    QCoreApplication::processEvents();
    QFile::remove(autosave);
}

TEST_F(DocumentTest, ALongReadingShowsItsProgressAndItsCancelOpensNothingAndSaysNothing)
{
    writeText(path("long.quintora"), "text");
    TextDocument::s_cancelWhileReading = true;
    m_openPanelAnswer = {path("long.quintora")};
    controller().openDocument();
    TextDocument::s_cancelWhileReading = false;
    EXPECT_TRUE(controller().documents().isEmpty());
    EXPECT_TRUE(m_errors.isEmpty()) << m_errors.join(", ").toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(controller().recentDocumentURLs().isEmpty());
}

namespace {

// A lock as another copy of the program writes it.
void writeLock(const QString &document, qint64 pid, const QString &host)
{
    QFile lock(DocumentLock::lockPathFor(document));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QStringLiteral("%1\n%2\nsomeone\n").arg(pid).arg(host).toUtf8());
}

} // namespace

// An open document holds a lock beside its file, naming this process; closing gives it up. A
// lock of a process that has ended is ignored and replaced.
TEST_F(DocumentTest, AnOpenDocumentLocksItsFileAndStaleLocksAreReplaced)
{
    int prompts = 0;
    controller().setOpenElsewherePrompt([&](const QString &, const QString &, QWidget *) {
        ++prompts;
        return false;
    });
    writeText(path("d.quintora"), "text");
    // No process has this number: pid_max is far below it.
    writeLock(path("d.quintora"), 2000000000, QSysInfo::machineHostName());
    QString error;
    Document *document =
        controller().openDocumentWithContentsOfURL(path("d.quintora"), false, &error);
    ASSERT_NE(document, nullptr) << error.toStdString();
    EXPECT_EQ(prompts, 0);
    EXPECT_TRUE(document->holdsFileLock());
    EXPECT_FALSE(document->isReadOnly());
    const QString lock = DocumentLock::lockPathFor(path("d.quintora"));
    EXPECT_EQ(lock, path(".d.quintora.quintora-lock"));
    EXPECT_TRUE(
        readText(lock).startsWith(QString::number(QCoreApplication::applicationPid()) + "\n"));
    EXPECT_FALSE(DocumentLock::holderElsewhere(path("d.quintora")));
    document->close();
    EXPECT_FALSE(QFile::exists(lock));
}

// A file another login has open is opened only when the user says so, and then read-only:
// Save asks for another name and never writes the file; the recovery copy is kept as usual.
TEST_F(DocumentTest, AFileOpenElsewhereOpensReadOnlyOnlyWhenTheUserSaysSo)
{
    QStringList asked;
    bool openReadOnly = false;
    controller().setOpenElsewherePrompt([&](const QString &file, const QString &holder, QWidget *) {
        asked << file + " | " + holder;
        return openReadOnly;
    });
    writeText(path("e.quintora"), "theirs");
    // The first process of every system stands for a copy that is still running.
    writeLock(path("e.quintora"), 1, QSysInfo::machineHostName());
    const QByteArray before = checksum(path("e.quintora"));
    QString error = "unchanged";
    EXPECT_EQ(controller().openDocumentWithContentsOfURL(path("e.quintora"), false, &error),
              nullptr);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_TRUE(controller().documents().isEmpty());
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked.first(),
              path("e.quintora") + " | someone on " + QSysInfo::machineHostName() + " (process 1)");

    openReadOnly = true;
    auto *document = static_cast<TextDocument *>(
        controller().openDocumentWithContentsOfURL(path("e.quintora"), false, &error));
    ASSERT_NE(document, nullptr) << error.toStdString();
    EXPECT_TRUE(document->isReadOnly());
    EXPECT_FALSE(document->holdsFileLock());
    document->setAutosavingDelay(0.01);
    document->text = "mine";
    document->updateChangeCount(Document::ChangeType::Done);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !document->autosavedContentsPath().isEmpty(); }, 5000));
    EXPECT_EQ(checksum(path("e.quintora")), before);

    // Save goes to the save panel; its own file is refused there too.
    m_savePanelAnswer = path("e.quintora");
    EXPECT_FALSE(document->save());
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_TRUE(m_errors.first().contains("“e.quintora” is open read-only"))
        << m_errors.first().toStdString();
    EXPECT_EQ(checksum(path("e.quintora")), before);
    EXPECT_TRUE(readText(DocumentLock::lockPathFor(path("e.quintora"))).startsWith("1\n"));

    m_savePanelAnswer = path("mine.quintora");
    ASSERT_TRUE(document->save());
    EXPECT_EQ(readText(path("mine.quintora")), "mine");
    EXPECT_EQ(checksum(path("e.quintora")), before);
    EXPECT_FALSE(document->isReadOnly());
    EXPECT_TRUE(document->holdsFileLock());
    EXPECT_EQ(document->filePath(), path("mine.quintora"));
}

// Save As never replaces a file that another login has open.
TEST_F(DocumentTest, SaveAsRefusesAFileOpenElsewhere)
{
    writeText(path("f.quintora"), "theirs");
    writeLock(path("f.quintora"), 1, "another-machine");
    TextDocument *document = newDocument();
    document->text = "mine";
    m_savePanelAnswer = path("f.quintora");
    EXPECT_FALSE(document->save());
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_TRUE(m_errors.first().contains("open in Quintora elsewhere (someone on another-machine "
                                          "(process 1))"))
        << m_errors.first().toStdString();
    EXPECT_EQ(readText(path("f.quintora")), "theirs");
}
