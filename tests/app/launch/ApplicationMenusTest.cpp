#include "app/window/DIDizeZoziDocument.h"
#include "app/launch/QntDocumentController.h"
#include "app/launch/QntStartUpController.h"
#include "app/undo/QntUndoInspector.h"
#include "app/panels/DIDizeZoziPrefsController.h"
#include "app/panels/VKObjectInspector.h"
#include "app/panels/VKToolPalette.h"
#include "app/launch/VOReruRerAppDelegate.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/QntNotation.h"
#include "framework/view/QntConnectorTool.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRDrawingView.h"
#include "framework/view/VRViewController.h"
#include "platform/QntPaths.h"
#include "platform/UserDefaults.h"
#include "app/TestDocumentController.h"
#include "common/FolderSetAside.h"
#include "common/ScopeExit.h"
#include "common/ScopedEnvironment.h"
#include "common/WaitUntil.h"
#include "common/SharedStateKeepers.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QDateTime>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include <sys/stat.h>

using qnt::test::waitUntil;

namespace {

QntDocumentController &controller()
{
    return testDocumentController();
}

QStringList titles(QMenu *menu)
{
    QStringList result;
    for (QAction *action : menu->actions())
        result << action->text();
    return result;
}

QAction *itemTitled(QMenu *menu, const QString &title)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == title)
            return action;
    }
    return nullptr;
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ApplicationMenus : public ::testing::Test
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
        controller();
        UserDefaults::standardUserDefaults().removeObjectForKey(kQntToolPaletteIsVisibleKey());
        m_notationsBefore = notationsFolderEntries();
    }
    void TearDown() override
    {
        // A palette a test opened would reopen with every later test's first document.
        UserDefaults::standardUserDefaults().removeObjectForKey(kQntToolPaletteIsVisibleKey());
        for (Document *document : controller().documents()) {
            controller().removeDocument(document);
            delete document;
        }
        // Notations a test wrote or imported would show up in every later menu and start-up
        // window of this process; deepest first, so folders are empty when their turn comes.
        QStringList added = notationsFolderEntries();
        std::sort(added.begin(), added.end(), std::greater<>());
        for (const QString &path : std::as_const(added)) {
            if (m_notationsBefore.contains(path))
                continue;
            if (QFileInfo(path).isDir())
                QDir().rmdir(path);
            else
                QFile::remove(path);
        }
    }
    static QStringList notationsFolderEntries()
    {
        QStringList entries;
        QDirIterator it(QntNotation::rootNotationsFolderPath(),
                        QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            entries << it.next();
        return entries;
    }
    static QString kQntToolPaletteIsVisibleKey()
    {
        return QStringLiteral("kQntToolPaletteIsVisible");
    }

    static DIDizeZoziDocument *openDocument()
    {
        QString error;
        Document *document =
            controller().makeUntitledDocumentOfType(controller().defaultType(), &error);
        EXPECT_NE(document, nullptr) << error.toStdString();
        controller().addDocument(document);
        document->makeWindowControllers();
        document->showWindows();
        return qobject_cast<DIDizeZoziDocument *>(document);
    }

    QStringList m_notationsBefore;
};

} // namespace

TEST_F(ApplicationMenus, NotationMenusListTheInstalledImportedAndUMLNotations)
{
    const QString root = QntNotation::rootNotationsFolderPath();
    writeFile(root + QStringLiteral("/Imported/Team Kit.db"), "x");
    writeFile(root + QStringLiteral("/Imported/notes.txt"), "x");
    writeFile(root + QStringLiteral("/Imported/Old Shapes.v2.db"), "x");
    writeFile(root + QStringLiteral("/Drafts/UML Sketch/Boxes.db"), "x");

    VOReruRerAppDelegate delegate;
    delegate.populateImportedMenu();
    delegate.populateUMLMenu();

    QStringList expectedImported;
    QStringList expectedUML;
    for (const QVariantMap &notation : QntNotation::notations()) {
        const QString path = notation.value("notationPath").toString();
        const QString title =
            QFileInfo(notation.value("notationName").toString()).completeBaseName();
        if (path.contains("Imported"))
            expectedImported << title;
        if (path.contains("UML"))
            expectedUML << title;
    }
    EXPECT_EQ(titles(delegate.importedMenu()), expectedImported);
    EXPECT_TRUE(expectedImported.contains("Team Kit"));
    EXPECT_TRUE(expectedImported.contains("Old Shapes.v2"));
    EXPECT_FALSE(expectedImported.contains("notes"));
    EXPECT_EQ(titles(delegate.umlMenu()), expectedUML);
    // A folder named with the word counts as well as a file.
    EXPECT_TRUE(expectedUML.contains("Boxes"));
    EXPECT_GE(expectedUML.size(), 2);

    QAction *teamKit = itemTitled(delegate.importedMenu(), "Team Kit");
    ASSERT_NE(teamKit, nullptr);
    EXPECT_TRUE(teamKit->data().toString().endsWith("Imported/Team Kit.db"));
    EXPECT_FALSE(QDir::isAbsolutePath(teamKit->data().toString()));

    // Rebuilt from scratch: a removed notation leaves the menu, nothing is listed twice.
    QFile::remove(root + QStringLiteral("/Imported/Team Kit.db"));
    delegate.populateImportedMenu();
    delegate.populateImportedMenu();
    expectedImported.removeAll("Team Kit");
    EXPECT_EQ(titles(delegate.importedMenu()), expectedImported);

    // A notation imported meanwhile is listed the next time the menu opens.
    writeFile(root + QStringLiteral("/Imported/Later Kit.db"), "x");
    emit delegate.importedMenu()->aboutToShow();
    EXPECT_TRUE(titles(delegate.importedMenu()).contains("Later Kit"));
}

TEST_F(ApplicationMenus, ImportedNotationIsCopiedIntoTheDocumentCurrentAtTheCommand)
{
    const VRObjectList shapes{VRDrawableShape::shapeWithRect(QRectF(0, 0, 40, 20)),
                              VRDrawableShape::shapeWithRect(QRectF(0, 0, 30, 30)),
                              VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 50))};
    ASSERT_TRUE(
        QntNotation::importIntoDB(QStringLiteral("Office Kit.db"), shapes, QByteArray(), QString())
            .ok());

    VOReruRerAppDelegate delegate;
    delegate.populateImportedMenu();
    QAction *item = itemTitled(delegate.importedMenu(), "Office Kit");
    ASSERT_NE(item, nullptr);

    DIDizeZoziDocument *target = openDocument();
    ASSERT_NE(target, nullptr);
    QList<QString> finished;
    QObject::connect(&delegate, &VOReruRerAppDelegate::notationCopyFinished,
                     [&finished](DIDizeZoziDocument *, const QString &key) { finished << key; });
    item->trigger();
    EXPECT_EQ(delegate.notationCopiesInProgress(), 1);
    // The window is covered while the notation is read.
    QDialog *panel = target->windowForSheet()->findChild<QDialog *>("progressPanel");
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->windowModality(), Qt::WindowModal);
    // A second document appearing meanwhile does not receive the shapes.
    DIDizeZoziDocument *other = openDocument();

    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }));
    EXPECT_EQ(finished, QList<QString>{"Office Kit"});
    EXPECT_EQ(delegate.notationCopiesInProgress(), 0);
    EXPECT_EQ(target->drawing()->importedElementsForKey("Office Kit").size(), 3);
    EXPECT_TRUE(other->drawing()->importedElementsForKey("Office Kit").isEmpty());
    EXPECT_TRUE(waitUntil([&] {
        return target->windowForSheet()->findChild<QDialog *>("progressPanel") == nullptr;
    }));
}

TEST_F(ApplicationMenus, ClosingTheDocumentDuringACopyLosesNothingElse)
{
    const VRObjectList shapes{VRDrawableShape::shapeWithRect(QRectF(0, 0, 40, 20))};
    ASSERT_TRUE(
        QntNotation::importIntoDB(QStringLiteral("Short Kit.db"), shapes, QByteArray(), QString())
            .ok());
    VOReruRerAppDelegate delegate;
    delegate.populateImportedMenu();
    QAction *item = itemTitled(delegate.importedMenu(), "Short Kit");
    ASSERT_NE(item, nullptr);

    DIDizeZoziDocument *closing = openDocument();
    bool done = false;
    DIDizeZoziDocument *reported = closing;
    QObject::connect(&delegate, &VOReruRerAppDelegate::notationCopyFinished,
                     [&](DIDizeZoziDocument *document, const QString &) {
                         done = true;
                         reported = document;
                     });
    item->trigger();
    controller().removeDocument(closing);
    delete closing;
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_EQ(reported, nullptr);
    EXPECT_EQ(delegate.notationCopiesInProgress(), 0);
}

TEST_F(ApplicationMenus, UnreadableNotationGivesAnEmptyListAndNoCommandWithoutADocument)
{
    const QString root = QntNotation::rootNotationsFolderPath();
    writeFile(root + QStringLiteral("/Imported/Broken.db"), "not a database");
    VOReruRerAppDelegate delegate;
    delegate.populateImportedMenu();
    QAction *item = itemTitled(delegate.importedMenu(), "Broken");
    ASSERT_NE(item, nullptr);

    // Without a document nothing starts.
    item->trigger();
    EXPECT_EQ(delegate.notationCopiesInProgress(), 0);

    DIDizeZoziDocument *document = openDocument();
    bool done = false;
    QObject::connect(&delegate, &VOReruRerAppDelegate::notationCopyFinished,
                     [&done](DIDizeZoziDocument *, const QString &) { done = true; });
    item->trigger();
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_TRUE(document->drawing()->importedElementsForKey("Broken").isEmpty());
}

TEST_F(ApplicationMenus, UMLNotationCopiesAllItsElementsAsPrototypes)
{
    VOReruRerAppDelegate delegate;
    delegate.populateUMLMenu();
    ASSERT_FALSE(delegate.umlMenu()->actions().isEmpty());
    QAction *item = delegate.umlMenu()->actions().constFirst();
    const QntNotationRef notation = QntNotation::notationWithPath(item->data().toString());
    ASSERT_TRUE(notation && notation->isValid());
    qsizetype expected = 0;
    for (const QntElementRecord &record : notation->allElementsAsPrototypesList())
        expected += record.prototype ? 1 : 0;
    ASSERT_GT(expected, 0);

    DIDizeZoziDocument *document = openDocument();
    bool done = false;
    QObject::connect(&delegate, &VOReruRerAppDelegate::notationCopyFinished,
                     [&done](DIDizeZoziDocument *, const QString &) { done = true; });
    delegate.addUMLIntoCurrentDocument(item);
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_EQ(document->drawing()->importedElementsForKey(item->text()).size(), expected);
}

TEST_F(ApplicationMenus, MermaidFilesAreInstalledAndTheEditedStylesheetSurvives)
{
    QTemporaryDir bundle;
    ASSERT_TRUE(bundle.isValid());
    const qnt::test::ScopedEnvironmentVariable bundleFolder("QNT_BUNDLE_DIR",
                                                            bundle.path().toStdString());
    const QString source = bundle.path() + "/Mermaid";
    const QString target = VOReruRerAppDelegate::mermaidSupportFolder();
    const qnt::test::FolderSetAside installed(target.toStdString());
    EXPECT_EQ(target, QntPaths::applicationSupportFolder() + "/Mermaid");

    // No Mermaid folder in the bundle: not an error, the user's folder is still made.
    VOReruRerAppDelegate::copyMermaidSrcFromBundleToAppSupportFolderRewriteAll(false);
    EXPECT_TRUE(QFileInfo(target).isDir());

    writeFile(source + "/mermaid.forest.css", "shipped css");
    writeFile(source + "/mermaid.js", "shipped js");
    writeFile(source + "/seq.html", "shipped html");
    writeFile(source + "/themes/dark.css", "dark");
    VOReruRerAppDelegate::copyMermaidSrcFromBundleToAppSupportFolderRewriteAll(false);
    EXPECT_EQ(readFile(target + "/mermaid.forest.css"), "shipped css");
    EXPECT_EQ(readFile(target + "/mermaid.js"), "shipped js");
    EXPECT_EQ(readFile(target + "/seq.html"), "shipped html");
    EXPECT_EQ(readFile(target + "/themes/dark.css"), "dark");

    // A second launch gives the same result, without writing the copies again.
    const auto inodeOf = [](const QString &path) {
        struct stat status {
        };
        return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
    };
    const auto scriptInode = inodeOf(target + "/mermaid.js");
    const auto themeInode = inodeOf(target + "/themes/dark.css");
    VOReruRerAppDelegate::copyMermaidSrcFromBundleToAppSupportFolderRewriteAll(false);
    EXPECT_EQ(readFile(target + "/mermaid.js"), "shipped js");
    EXPECT_EQ(QDir(target).entryList(QDir::Files | QDir::Hidden).size(), 3);
    EXPECT_EQ(inodeOf(target + "/mermaid.js"), scriptInode);
    EXPECT_EQ(inodeOf(target + "/themes/dark.css"), themeInode);

    // A copy changed in place, even to the same size, and a newer shipped file are copied again.
    writeFile(target + "/seq.html", "SHIPPED HTML");
    QFile edited(target + "/seq.html");
    ASSERT_TRUE(edited.open(QIODevice::ReadOnly));
    ASSERT_TRUE(edited.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                   QFileDevice::FileModificationTime));
    edited.close();
    writeFile(source + "/mermaid.js", "shipped js 2");
    VOReruRerAppDelegate::copyMermaidSrcFromBundleToAppSupportFolderRewriteAll(false);
    EXPECT_EQ(readFile(target + "/seq.html"), "shipped html");
    EXPECT_EQ(readFile(target + "/mermaid.js"), "shipped js 2");
    writeFile(source + "/mermaid.js", "shipped js");

    // The user's stylesheet stays; the scripts are replaced at every launch.
    writeFile(target + "/mermaid.forest.css", "my css");
    writeFile(target + "/mermaid.js", "stale js");
    VOReruRerAppDelegate::copyMermaidSrcFromBundleToAppSupportFolderRewriteAll(false);
    EXPECT_EQ(readFile(target + "/mermaid.forest.css"), "my css");
    EXPECT_EQ(readFile(target + "/mermaid.js"), "shipped js");

    // Restoring rewrites everything.
    VOReruRerAppDelegate::copyMermaidSrcFromBundleToAppSupportFolderRewriteAll(true);
    EXPECT_EQ(readFile(target + "/mermaid.forest.css"), "shipped css");

    // A bundle file that cannot be read leaves the user's copy whole.
    writeFile(target + "/seq.html", "user html");
    QFile::setPermissions(source + "/seq.html", QFileDevice::WriteOwner);
    if (!QFile(source + "/seq.html").open(QIODevice::ReadOnly)) {
        VOReruRerAppDelegate::copyMermaidSrcFromBundleToAppSupportFolderRewriteAll(true);
        EXPECT_EQ(readFile(target + "/seq.html"), "user html");
    }
    QFile::setPermissions(source + "/seq.html", QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(ApplicationMenus, ToolPaletteFollowsTheDocumentsAndLayersPaletteClosesWithEach)
{
    VOReruRerAppDelegate delegate;
    ASSERT_EQ(VOReruRerAppDelegate::sharedDelegate(), &delegate);
    int opened = 0, hidden = 0, layersHidden = 0;
    QObject::connect(&delegate, &VOReruRerAppDelegate::toolPaletteOpened, [&] { ++opened; });
    QObject::connect(&delegate, &VOReruRerAppDelegate::toolPaletteHidden, [&] { ++hidden; });
    QObject::connect(&delegate, &VOReruRerAppDelegate::layersPaletteHidden,
                     [&] { ++layersHidden; });

    // Key off: adding a document opens nothing.
    DIDizeZoziDocument *first = openDocument();
    QCoreApplication::processEvents();
    EXPECT_EQ(opened, 0);

    // Key on (the palette was showing when last closed): each new document reopens it.
    UserDefaults::standardUserDefaults().setBool(true, kQntToolPaletteIsVisibleKey());
    // It comes back once the new document's window is on screen, to stand beside it.
    DIDizeZoziDocument *second = openDocument();
    ASSERT_TRUE(waitUntil([&] { return opened > 0; }));
    EXPECT_EQ(opened, 1);
    ASSERT_NE(delegate.toolPalette(), nullptr);
    EXPECT_TRUE(delegate.toolPalette()->window()->isVisible());
    EXPECT_TRUE(UserDefaults::standardUserDefaults().boolForKey(kQntToolPaletteIsVisibleKey()));

    // Closing one of two: layers palette away, tool palette stays.
    controller().removeDocument(second);
    EXPECT_EQ(hidden, 0);
    EXPECT_EQ(layersHidden, 1);
    // Closing the last: both away; the key is the palette's own business.
    controller().removeDocument(first);
    EXPECT_EQ(hidden, 1);
    EXPECT_FALSE(delegate.toolPalette()->window()->isVisible());
    EXPECT_EQ(layersHidden, 2);
    EXPECT_TRUE(UserDefaults::standardUserDefaults().boolForKey(kQntToolPaletteIsVisibleKey()));
}

TEST_F(ApplicationMenus, AddingADocumentPutsTheStartUpWindowAway)
{
    VOReruRerAppDelegate delegate;
    QntDocumentController::showStartUpPanel();
    ASSERT_TRUE(QntDocumentController::startUpController()->window()->isVisible());
    openDocument();
    EXPECT_FALSE(QntDocumentController::startUpController()->window()->isVisible());
}

TEST_F(ApplicationMenus, UndoInspectorIsMadeOnceAndToggles)
{
    VOReruRerAppDelegate delegate;
    EXPECT_EQ(delegate.undoInspector(), nullptr);
    delegate.openUndoInspector();
    QntUndoInspector *made = delegate.undoInspector();
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->window()->isVisible());
    delegate.openUndoInspector();
    EXPECT_EQ(delegate.undoInspector(), made);
    delegate.showUndoInspector();
    EXPECT_FALSE(made->window()->isVisible());
    delegate.showUndoInspector();
    EXPECT_TRUE(made->window()->isVisible());
    EXPECT_EQ(delegate.undoInspector(), made);

    // The other shared panels toggle the same way.
    delegate.showObjectInspector();
    ASSERT_NE(delegate.objectInspector(), nullptr);
    EXPECT_TRUE(delegate.objectInspector()->window()->isVisible());
    delegate.showObjectInspector();
    EXPECT_FALSE(delegate.objectInspector()->window()->isVisible());
    delegate.showToolPalette();
    ASSERT_NE(delegate.toolPalette(), nullptr);
    EXPECT_TRUE(delegate.toolPalette()->window()->isVisible());
    EXPECT_TRUE(UserDefaults::standardUserDefaults().boolForKey(kQntToolPaletteIsVisibleKey()));
    delegate.showToolPalette();
    EXPECT_FALSE(delegate.toolPalette()->window()->isVisible());
}

TEST_F(ApplicationMenus, LinksNameTheProductsPagesAndTheFeedbackMailbox)
{
    // Opening them would start the desktop's browser: only the addresses are checked here.
    for (const QUrl &url :
         {VOReruRerAppDelegate::helpPageURL(), VOReruRerAppDelegate::productPageURL(),
          VOReruRerAppDelegate::graffletopiaURL(), VOReruRerAppDelegate::twitterURL()}) {
        EXPECT_TRUE(url.isValid());
        EXPECT_EQ(url.scheme(), "https");
    }
    EXPECT_EQ(VOReruRerAppDelegate::graffletopiaURL().host(), "www.graffletopia.com");
    const QUrl mail = VOReruRerAppDelegate::feedbackMailURL();
    ASSERT_TRUE(mail.isValid());
    EXPECT_EQ(mail.scheme(), "mailto");
    EXPECT_EQ(mail.path(), "support@quintora.app");
    EXPECT_EQ(QUrlQuery(mail).queryItemValue("SUBJECT", QUrl::FullyDecoded), "Quintora Feedback");
}

TEST_F(ApplicationMenus, WindowMenuBarsShowTheSharedMenusAndToolsAreListed)
{
    VOReruRerAppDelegate delegate;
    QMenuBar first;
    QMenuBar second;
    delegate.installApplicationMenus(&first);
    delegate.installApplicationMenus(&second);
    QStringList firstTitles;
    for (QAction *action : first.actions())
        firstTitles << action->text();
    EXPECT_TRUE(firstTitles.contains("&Notations"));
    EXPECT_TRUE(firstTitles.contains("&Help"));
    ASSERT_EQ(first.actions().size(), second.actions().size());
    for (qsizetype i = 0; i < first.actions().size(); ++i)
        EXPECT_EQ(first.actions().at(i)->menu(), second.actions().at(i)->menu());
    // Every registered tool is listed once, by its title, and its item names the tool.
    QStringList listed;
    for (QAction *action : delegate.userToolMenu()->actions()) {
        const QString name = action->data().toString();
        listed << name;
        const VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(name);
        ASSERT_NE(tool, nullptr) << name.toStdString();
        EXPECT_EQ(action->text(), tool->title());
    }
    listed.sort();
    EXPECT_EQ(listed, VRDrawingTool::toolNames());
}

TEST_F(ApplicationMenus, RestoredWindowShowsTheDocumentNamedInTheState)
{
    VOReruRerAppDelegate delegate;
    QTemporaryDir folder;
    const QString path = folder.filePath("Plan.quintora");
    {
        DIDizeZoziDocument *document = openDocument();
        ASSERT_TRUE(document->writeToURL(path, nullptr));
        controller().removeDocument(document);
        delete document;
    }
    ASSERT_TRUE(controller().documents().isEmpty());

    QWidget *restored = nullptr;
    QString error;
    bool called = false;
    const auto handler = [&](QWidget *window, const QString &message) {
        called = true;
        restored = window;
        error = message;
    };
    QntDocumentController::restoreWindowWithIdentifier(
        "DocumentWindow", {{"MyDocumentAutoreopenURL", QUrl::fromLocalFile(path)}}, handler);
    ASSERT_TRUE(called);
    ASSERT_NE(restored, nullptr) << error.toStdString();
    ASSERT_EQ(controller().documents().size(), 1);
    EXPECT_EQ(controller().documents().first()->windows(), QList<QWidget *>{restored});
    EXPECT_EQ(QFileInfo(controller().documents().first()->filePath()).canonicalFilePath(),
              QFileInfo(path).canonicalFilePath());

    // Already open: no second window.
    called = false;
    QntDocumentController::restoreWindowWithIdentifier(
        "DocumentWindow", {{"MyDocumentAutoreopenURL", path}}, handler);
    ASSERT_TRUE(called);
    EXPECT_EQ(restored, nullptr);
    EXPECT_EQ(controller().documents().size(), 1);

    // Without the key the platform's own reopening is left to do the work.
    called = false;
    QntDocumentController::restoreWindowWithIdentifier("DocumentWindow", {}, handler);
    ASSERT_TRUE(called);
    EXPECT_EQ(restored, nullptr);
    EXPECT_EQ(controller().documents().size(), 1);

    // A file that cannot be read gives no window.
    called = false;
    QntDocumentController::restoreWindowWithIdentifier(
        "DocumentWindow", {{"MyDocumentAutoreopenURL", folder.filePath("gone.quintora")}}, handler);
    ASSERT_TRUE(called);
    EXPECT_EQ(restored, nullptr);
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(ApplicationMenus, SmartRoutingItemsChooseTheConnectorToolWithTheirRouting)
{
    VOReruRerAppDelegate delegate;
    QMenuBar bar;
    delegate.installApplicationMenus(&bar);
    ASSERT_NE(delegate.toolsMenuItem(), nullptr);
    ASSERT_NE(delegate.smartPolylineMenuItem(), nullptr);
    ASSERT_NE(delegate.smartOrthogonalMenuItem(), nullptr);
    EXPECT_TRUE(bar.actions().contains(delegate.toolsMenuItem()));
    EXPECT_EQ(delegate.smartPolylineMenuItem()->text(), "Smart Polyline Connector");
    EXPECT_EQ(delegate.smartOrthogonalMenuItem()->text(), "Smart Orthogonal Connector");

    DIDizeZoziDocument *document = openDocument();
    ASSERT_NE(document->mainView(), nullptr);
    const int before = QntConnectorTool::routingForNewConnectors();
    const struct {
        QAction *item;
        int routing;
    } cases[] = {{delegate.smartPolylineMenuItem(), 4}, {delegate.smartOrthogonalMenuItem(), 3}};
    for (const auto &c : cases) {
        VRDrawingTool::drawingToolWithName("Select")->set();
        c.item->trigger();
        EXPECT_EQ(QntConnectorTool::routingForNewConnectors(), c.routing);
        ASSERT_NE(document->mainView()->controller()->drawingTool(), nullptr);
        EXPECT_EQ(document->mainView()->controller()->drawingTool()->registeredName(), "Connector");
        emit delegate.toolsMenu()->aboutToShow();
        EXPECT_TRUE(c.item->isChecked());
    }
    QntConnectorTool::setRoutingForNewConnectors(before);
}

TEST_F(ApplicationMenus, TheSharedMenusGoWithTheDelegate)
{
    std::vector<QPointer<QMenu>> menus;
    {
        VOReruRerAppDelegate delegate;
        QMenuBar bar;
        delegate.installApplicationMenus(&bar);
        menus = {delegate.importedMenu(), delegate.umlMenu(), delegate.userToolMenu(),
                 delegate.toolsMenu()};
        for (const QPointer<QMenu> &menu : menus)
            ASSERT_FALSE(menu.isNull());
    }
    for (const QPointer<QMenu> &menu : menus)
        EXPECT_TRUE(menu.isNull()) << menu->objectName().toStdString();
}

TEST_F(ApplicationMenus, ALinkNoProgramTakesIsReportedToTheUser)
{
    VOReruRerAppDelegate delegate;
    QList<QUrl> offered;
    VOReruRerAppDelegate::setURLOpener([&offered](const QUrl &url) {
        offered << url;
        return false;
    });
    const struct {
        void (VOReruRerAppDelegate::*action)();
        QString expected;
    } cases[] = {
        {&VOReruRerAppDelegate::gotoHelpPageAction, "No web browser is set up to open"},
        {&VOReruRerAppDelegate::gotoTwitterAction, "No web browser is set up to open"},
        {&VOReruRerAppDelegate::gotoEmailForFeedbackAction, "No mail program is set up"},
    };
    for (const auto &c : cases) {
        (delegate.*c.action)();
        QMessageBox *alert = VOReruRerAppDelegate::urlFailureAlert();
        ASSERT_NE(alert, nullptr);
        EXPECT_TRUE(alert->text().startsWith(c.expected)) << alert->text().toStdString();
        alert->close();
    }
    EXPECT_EQ(offered.size(), 3);
    // A link that opens says nothing.
    VOReruRerAppDelegate::setURLOpener([](const QUrl &) { return true; });
    delegate.gotoProductPageAction();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(VOReruRerAppDelegate::urlFailureAlert(), nullptr);
    VOReruRerAppDelegate::setURLOpener(nullptr);
}

// Help > About shows the name and the version whole, in a box wide enough for its title to
// show beside the title bar's buttons; asked again, the same box comes to the front.
TEST_F(ApplicationMenus, TheAboutBoxShowsTheNameAndVersionWhole)
{
    const QString version = QCoreApplication::applicationVersion();
    const qnt::test::ScopeExit keepVersion(
        [version] { QCoreApplication::setApplicationVersion(version); });
    QCoreApplication::setApplicationVersion(QStringLiteral("0.1.0"));
    VOReruRerAppDelegate delegate;
    QAction *about = delegate.helpMenu()->findChild<QAction *>("aboutAction");
    ASSERT_NE(about, nullptr);

    // What the box shows, looked at while it is open (whether or not it holds the event loop).
    struct Seen {
        QSize size;
        QStringList texts;
        QStringList cut;
        int titleWidth = 0;
    };
    std::optional<Seen> seen;
    QTimer look;
    look.setInterval(5);
    QObject::connect(&look, &QTimer::timeout, [&seen] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (seen || !w->isVisible() || w->windowTitle() != QLatin1String("About Quintora"))
                continue;
            Seen s;
            s.size = w->size();
            QFont bold = w->font();
            bold.setBold(true);
            s.titleWidth = QFontMetrics(bold).horizontalAdvance(w->windowTitle());
            for (const QLabel *label : w->findChildren<QLabel *>()) {
                if (label->text().isEmpty() || !label->isVisible())
                    continue;
                s.texts << label->text();
                if (label->width() < label->sizeHint().width()
                    || label->height() < label->sizeHint().height())
                    s.cut << label->text();
            }
            seen = s;
            w->close();
        }
    });
    look.start();
    about->trigger();
    ASSERT_TRUE(waitUntil([&] { return seen.has_value(); }));
    look.stop();
    const QString texts = seen->texts.join(QLatin1Char('\n'));
    EXPECT_TRUE(texts.contains(QLatin1String("Quintora"))) << texts.toStdString();
    EXPECT_TRUE(texts.contains(QLatin1String("0.1.0"))) << texts.toStdString();
    EXPECT_TRUE(seen->cut.isEmpty()) << seen->cut.join(", ").toStdString();
    // Room for the whole title, the window's icon and three title bar buttons.
    EXPECT_GE(seen->size.width(), seen->titleWidth + 150);
    EXPECT_GE(seen->size.height(), 100);

    // One box at a time; OK closes it.
    about->trigger();
    QPointer<QDialog> box = VOReruRerAppDelegate::aboutBox();
    ASSERT_NE(box, nullptr);
    about->trigger();
    EXPECT_EQ(VOReruRerAppDelegate::aboutBox(), box.data());
    int shown = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        shown += w->isVisible() && w->windowTitle() == QLatin1String("About Quintora");
    EXPECT_EQ(shown, 1);
    auto *buttons = box->findChild<QDialogButtonBox *>();
    ASSERT_NE(buttons, nullptr);
    buttons->button(QDialogButtonBox::Ok)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(box.isNull());
    EXPECT_EQ(VOReruRerAppDelegate::aboutBox(), nullptr);
}

TEST_F(ApplicationMenus, AWindowWithoutMenusAnswersQuitSaveAndSaveAsKeys)
{
    VOReruRerAppDelegate delegate;
    QWidget window(nullptr, Qt::Window);
    delegate.giveApplicationKeysTo(&window);
    delegate.giveApplicationKeysTo(&window); // once is enough
    QStringList keys;
    for (QAction *action : window.actions())
        keys << action->shortcut().toString(QKeySequence::PortableText);
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"Ctrl+Q", "Ctrl+S", "Ctrl+Shift+S"}));

    // Save acts on the document in front, as from its own window.
    DIDizeZoziDocument *document = openDocument();
    ASSERT_NE(document, nullptr);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Kept.qnt"));
    ASSERT_TRUE(document->saveToPath(path));
    const QByteArray saved = readFile(path);
    document->drawing()->activeLayerOfClass<VRObjectDrawingLayer>()->addObject(
        VRDrawableShape::shapeWithRect(QRectF(0, 0, 40, 20)));
    window.show();
    window.activateWindow();
    for (QAction *action : window.actions())
        if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_S))
            action->trigger();
    EXPECT_NE(readFile(path), saved);
}

// The drawing switches panel is a Window menu item of every document window; its quality box
// sets the flag every open drawing follows.
TEST_F(ApplicationMenus, TheDrawingSwitchesPanelIsAWindowMenuItemThatSetsTheQualityFlag)
{
    const bool quality = DIDizeZoziDocument::defaultQualityModulation();
    const qnt::test::ScopeExit restore(
        [quality] { DIDizeZoziDocument::setDefaultQualityModulation(quality); });
    DIDizeZoziDocument::setDefaultQualityModulation(false);
    VOReruRerAppDelegate delegate;
    DIDizeZoziDocument *document = openDocument();
    ASSERT_NE(document, nullptr);
    auto *panels = document->window()->menuBar()->findChild<QMenu *>("panelsMenu");
    ASSERT_NE(panels, nullptr);
    QAction *item = panels->findChild<QAction *>("drawingSwitchesAction");
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(panels->actions().contains(item));
    EXPECT_EQ(item->text(), "&Drawing Switches");

    item->trigger();
    DIDizeZoziPrefsController *panel = delegate.drawingSwitches();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->windowTitle(), "Drawing Switches");
    EXPECT_FALSE(panel->qualityThrottlingCheckbox()->isChecked());
    panel->qualityThrottlingCheckbox()->click();
    EXPECT_TRUE(DIDizeZoziDocument::defaultQualityModulation());
    EXPECT_TRUE(document->drawing()->dynamicQualityModulationEnabled());

    item->trigger();
    EXPECT_FALSE(panel->isVisible());
    // Shown again, the boxes tell the switches as they are now.
    DIDizeZoziDocument::setDefaultQualityModulation(false);
    item->trigger();
    EXPECT_EQ(delegate.drawingSwitches(), panel);
    EXPECT_FALSE(panel->qualityThrottlingCheckbox()->isChecked());
}

// A document window's File menu offers the recent documents with Clear Menu and ends with Quit;
// the arrangement and zoom commands show their keys.
TEST_F(ApplicationMenus, DocumentWindowsOfferOpenRecentQuitLastAndArrangeAndZoomKeys)
{
    VOReruRerAppDelegate delegate;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString older = folder.filePath("older.quintora");
    const QString newer = folder.filePath("newer.quintora");
    controller().clearRecentDocuments();
    controller().noteNewRecentDocumentURL(older);
    controller().noteNewRecentDocumentURL(newer);
    DIDizeZoziDocument *document = openDocument();
    ASSERT_NE(document, nullptr);
    QMenuBar *bar = document->window()->menuBar();
    QMenu *file = bar->actions().first()->menu();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->actions().last()->objectName(), "quitAction");

    auto *recent = file->findChild<QMenu *>("openRecentMenu");
    ASSERT_NE(recent, nullptr);
    EXPECT_TRUE(file->actions().contains(recent->menuAction()));
    emit recent->aboutToShow();
    QStringList listed = titles(recent);
    EXPECT_EQ(listed, (QStringList{"newer.quintora", "older.quintora", "", "Clear Menu"}));
    QAction *clear = recent->findChild<QAction *>("clearRecentMenuAction");
    ASSERT_NE(clear, nullptr);
    EXPECT_TRUE(clear->isEnabled());
    clear->trigger();
    EXPECT_TRUE(controller().recentDocumentURLs().isEmpty());
    emit recent->aboutToShow();
    EXPECT_EQ(titles(recent), QStringList{"Clear Menu"});
    EXPECT_FALSE(recent->findChild<QAction *>("clearRecentMenuAction")->isEnabled());

    const struct {
        const char *action;
        QKeySequence key;
    } keys[] = {
        {"bringToFront", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketRight)},
        {"bringForward", QKeySequence(Qt::CTRL | Qt::Key_BracketRight)},
        {"sendBackward", QKeySequence(Qt::CTRL | Qt::Key_BracketLeft)},
        {"sendToBack", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketLeft)},
        {"zoomToActualSize", QKeySequence(Qt::CTRL | Qt::Key_0)},
        {"zoomToFit", QKeySequence(Qt::CTRL | Qt::Key_1)},
    };
    for (const auto &key : keys) {
        auto *item = bar->findChild<QAction *>(QString::fromLatin1(key.action));
        ASSERT_NE(item, nullptr) << key.action;
        EXPECT_EQ(item->shortcut(), key.key) << key.action;
    }
    // Each key is the window's only one of its kind.
    QList<QKeySequence> seen;
    for (QAction *item : bar->findChildren<QAction *>()) {
        for (const QKeySequence &key : item->shortcuts()) {
            EXPECT_FALSE(seen.contains(key)) << key.toString().toStdString();
            seen << key;
        }
    }
}
