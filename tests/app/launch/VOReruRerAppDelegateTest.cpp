#include "app/launch/VOReruRerAppDelegate.h"

#include "app/window/DIDizeZoziDocument.h"
#include "app/panels/QXNews.h"
#include "app/panels/QntPreferenceController.h"
#include "app/launch/QntApplicationMain.h"
#include "app/launch/QntDocumentController.h"
#include "app/launch/QntStartUpController.h"
#include "app/launch/QntThreadPreparation.h"
#include "app/panels/VKToolPalette.h"
#include "app/window/QntDocumentConstants.h"
#include "connectors/QntConnectorModeInspector.h"
#include "inspectors/QntElementModeInspector.h"
#include "library/QntImagesBankController.h"
#include "style/QntColorSchemeEditor.h"
#include "style/VKStyleManagerDialog.h"
#include "framework/notations/QntNotation.h"
#include "platform/WindowFrameAutosave.h"
#include "platform/ColorPanel.h"
#include "platform/QntPaths.h"
#include "platform/TerminationSignals.h"
#include "platform/UserDefaults.h"
#include "telemetry/platform/Host.h"
#include "app/LaunchSettingsKeeper.h"
#include "app/TestDocumentController.h"
#include "common/ScopeExit.h"
#include "common/ScopedBuiltinLibraries.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <csignal>
#include <mutex>

#include <gtest/gtest.h>

namespace {

QntDocumentController &documentController()
{
    return testDocumentController();
}

bool startUpWindowVisible()
{
    QntStartUpController *startUp = QntDocumentController::startUpController();
    return startUp && startUp->window() && startUp->window()->isVisible();
}

void hideStartUpWindow()
{
    QntDocumentController::orderOutStartUpWindow();
}

class QuitEventCounter : public QObject
{
public:
    int quits = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Quit)
            ++quits;
        return false;
    }
};

// Collects the messages logged while it lives and puts the earlier handler back.
class LogLines
{
public:
    LogLines()
    {
        const std::lock_guard lock(mutex());
        lines().clear();
        m_previous = qInstallMessageHandler(&LogLines::handle);
    }
    ~LogLines() { qInstallMessageHandler(m_previous); }
    LogLines(const LogLines &) = delete;
    LogLines &operator=(const LogLines &) = delete;

    QString text() const
    {
        const std::lock_guard lock(mutex());
        return lines().join(QLatin1Char('\n'));
    }
    bool contains(const QString &part) const { return text().contains(part); }

private:
    static std::mutex &mutex()
    {
        static std::mutex kept;
        return kept;
    }
    static QStringList &lines()
    {
        static QStringList kept;
        return kept;
    }
    static void handle(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        const std::lock_guard lock(mutex());
        lines().append(message);
    }

    QtMessageHandler m_previous = nullptr;
};

struct UrlCase {
    const char *text;
    const char *path; // null: ignored
};

} // namespace

TEST(AppDelegateUrl, TextAfterTheSchemeIsAPercentDecodedPath)
{
    const UrlCase cases[] = {
        {"quintora:///tmp/My%20Diagram.quintora", "/tmp/My Diagram.quintora"},
        {"open quintora:///tmp/a%C3%BC.quintora please", "/tmp/aü.quintora please"},
        {"quintora:///tmp/x/../y.quintora", "/tmp/y.quintora"},
        {"QUINTORA:///tmp/x.quintora", nullptr},
        {"quintora:/tmp/x.quintora", nullptr},
        {"quintora:///tmp/%FF%FE.quintora", nullptr},
        {"quintora:///tmp/a%00b.quintora", nullptr},
        {"quintora://relative/x.quintora", nullptr},
        {"", nullptr},
    };
    for (const UrlCase &c : cases) {
        QString reason;
        const std::optional<QString> path =
            VOReruRerAppDelegate::pathFromURLEventText(c.text, &reason);
        if (c.path) {
            ASSERT_TRUE(path) << c.text;
            EXPECT_EQ(*path, QString::fromUtf8(c.path)) << c.text;
        } else {
            EXPECT_FALSE(path) << c.text;
            EXPECT_FALSE(reason.isEmpty()) << c.text;
        }
    }
}

TEST(AppDelegateUrl, OnlyExistingDocumentsOfThisApplicationOpen)
{
    documentController();
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("Folder.quintora");
    QFile(dir.path() + "/My Diagram.quintora").open(QIODevice::WriteOnly);
    QFile(dir.path() + "/notes.txt").open(QIODevice::WriteOnly);
    VOReruRerAppDelegate delegate;
    QStringList requested;
    QObject::connect(&delegate, &VOReruRerAppDelegate::documentOpenRequested,
                     [&](const QString &path) { requested << path; });
    const QString base =
        "quintora://" + QString::fromLatin1(QUrl::toPercentEncoding(dir.path(), "/"));
    testing::internal::CaptureStderr();
    delegate.handleGetURLEvent(base + "/Folder.quintora");
    delegate.handleGetURLEvent(base + "/Missing.quintora");
    delegate.handleGetURLEvent(base + "/notes.txt");
    delegate.handleGetURLEvent("quintora:///tmp/%C3%28.quintora");
    delegate.handleGetURLEvent(base + "/My%20Diagram.quintora");
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(requested, QStringList{dir.path() + "/My Diagram.quintora"});
    EXPECT_NE(log.find("it is a folder"), std::string::npos) << log;
    EXPECT_NE(log.find("there is no such file"), std::string::npos) << log;
    EXPECT_NE(log.find("it is not a Quintora document"), std::string::npos) << log;
    EXPECT_NE(log.find("does not decode as UTF-8"), std::string::npos) << log;
}

// A file named on the command line (or handed over by a later launch) that cannot be opened is
// refused with a message that names it, as the Open dialog's choice would be.
TEST(AppDelegateUrl, FilesThatCannotBeOpenedAreRefusedWithAMessageNamingThem)
{
    QntDocumentController &controller = documentController();
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("Folder.quintora");
    const QString locked = dir.path() + "/Locked.quintora";
    QFile(locked).open(QIODevice::WriteOnly);
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    QFile(dir.path() + "/notes.txt").open(QIODevice::WriteOnly);
    QStringList shown;
    controller.setErrorPresenter([&](const QString &message, QWidget *) { shown << message; });
    const qnt::test::ScopeExit restore(
        [&] { controller.setErrorPresenter([](const QString &, QWidget *) {}); });
    struct Case {
        QString name;
        QString expected;
    };
    QList<Case> cases{
        {"Folder.quintora", "“Folder.quintora” could not be opened because it is a folder"},
        {"Missing.quintora",
         "“Missing.quintora” could not be opened because there is no such file"},
        {"notes.txt", "“notes.txt” could not be opened because it is not a Quintora document"},
    };
    // Permissions do not keep the superuser out.
    if (!QFileInfo(locked).isReadable())
        cases.append(Case{"Locked.quintora", "“Locked.quintora” could not be opened because you "
                                             "do not have permission to read it"});
    VOReruRerAppDelegate delegate;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        shown.clear();
        testing::internal::CaptureStderr();
        delegate.handleInstanceMessage(dir.path() + "/" + c.name);
        testing::internal::GetCapturedStderr();
        ASSERT_EQ(shown.size(), 1);
        EXPECT_TRUE(shown.first().contains(c.expected)) << shown.first().toStdString();
    }
    EXPECT_TRUE(controller.documents().isEmpty());
}

TEST(AppDelegateLaunch, LaunchMakesItsObjectsAndFollowsTheStartUpRule)
{
    const qnt::test::LaunchSettingsKeeper launchSettings;
    documentController();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.removeObjectForKey("QntShowStyleSchooserAfterStart");
    defaults.setBool(true, "iCloudIsAvailable");
    defaults.setBool(true, "DIDizeZozi_defaultQualityModulationFlag");

    const qnt::test::BuiltinLibrariesKeeper libraries;
    for (const QString &name : QntNotation::builtinLibraryNames())
        libraries.registry().removeGroup(name);

    VOReruRerAppDelegate delegate;
    EXPECT_FALSE(delegate.applicationShouldOpenUntitledFile());
    EXPECT_FALSE(startUpWindowVisible()); // before launch, nothing is shown
    EXPECT_FALSE(delegate.toolsMenu()->menuAction()->isVisible());

    delegate.applicationWillFinishLaunching();
    EXPECT_TRUE(DIDizeZoziDocument::defaultQualityModulation());
    delegate.applicationDidFinishLaunching();
    EXPECT_TRUE(delegate.applicationHasStarted());
    EXPECT_TRUE(startUpWindowVisible());
    // The rest follows the start-up window's paint, on the event loop.
    EXPECT_FALSE(delegate.launchIsComplete());
    EXPECT_TRUE(libraries.registry().prototypesForGroup("Misc").isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return delegate.launchIsComplete(); },
                                2 * VOReruRerAppDelegate::kLaunchCompletionDelayMs));
    for (QAction *item : {delegate.toolsMenuItem(), delegate.smartPolylineMenuItem(),
                          delegate.smartOrthogonalMenuItem()}) {
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(item->isVisible());
    }
    EXPECT_TRUE(ColorPanel::sharedColorPanel().showsAlpha());
    // The notations are installed and the tool registry has the built-in libraries.
    for (const QString &name : QntNotation::builtinLibraryNames()) {
        const qsizetype shipped = QntNotation::builtinLibraryElementsList(name).size();
        EXPECT_GT(shipped, 0) << name.toStdString();
        EXPECT_EQ(libraries.registry().prototypesForGroup(name).size(), shipped)
            << name.toStdString();
    }
    ASSERT_NE(delegate.elementModeInspector(), nullptr);
    EXPECT_EQ(delegate.elementModeInspector()->windowNibName(), "ElementModeInspector");
    ASSERT_NE(VOReruRerAppDelegate::sharedConnectorModeInspector(), nullptr);
    EXPECT_EQ(VOReruRerAppDelegate::sharedConnectorModeInspector()->windowNibName(),
              "QntConnectorModeInspector");
    ASSERT_NE(VOReruRerAppDelegate::sharedImagesBankController(), nullptr);
    EXPECT_EQ(VOReruRerAppDelegate::sharedImagesBankController()->windowNibName(), "QntImagesBank");
    EXPECT_FALSE(defaults.objectForKey("iCloudIsAvailable").isValid());
    EXPECT_TRUE(defaults.boolForKey("NSApplicationCrashOnExceptions"));
    // The telemetry client reads the application's settings through the hooks launch gave it.
    const std::optional<tel::PlistValue> crashOnExceptions =
        tel::Host::userDefault("NSApplicationCrashOnExceptions");
    ASSERT_TRUE(crashOnExceptions.has_value());
    EXPECT_TRUE(crashOnExceptions->isBoolean() && crashOnExceptions->toBool());
    // Qt's threads get the crash kit's thread preparation from launch on.
    EXPECT_TRUE(QntThreadPreparation::isInstalled());
    defaults.setObject(QVariantMap{{"list", QVariantList{1, "two"}}}, "QntTestNested");
    const std::optional<tel::PlistValue> nested = tel::Host::userDefault("QntTestNested");
    ASSERT_TRUE(nested && nested->isDictionary());
    ASSERT_NE(nested->find("list"), nullptr);
    EXPECT_EQ(nested->find("list")->array()->size(), 2u);
    defaults.removeObjectForKey("QntTestNested");
    EXPECT_FALSE(tel::Host::userDefault("QntTestNested").has_value());
    EXPECT_EQ(QXNews::sharedNews().delegate(), &delegate);
    EXPECT_EQ(delegate.optionsForQXNews(), "S");
    EXPECT_TRUE(startUpWindowVisible());

    // Reactivation with no window: the start-up window again, never an untitled document.
    hideStartUpWindow();
    EXPECT_FALSE(delegate.applicationShouldOpenUntitledFile());
    EXPECT_TRUE(startUpWindowVisible());
    EXPECT_TRUE(documentController().documents().isEmpty());

    // With the setting at 0, neither launch nor reactivation shows it.
    hideStartUpWindow();
    defaults.setInteger(0, "QntShowStyleSchooserAfterStart");
    EXPECT_FALSE(delegate.applicationShouldOpenUntitledFile());
    EXPECT_FALSE(startUpWindowVisible());
    VOReruRerAppDelegate second;
    second.applicationWillFinishLaunching();
    second.applicationDidFinishLaunching();
    EXPECT_FALSE(startUpWindowVisible());
    defaults.removeObjectForKey("QntShowStyleSchooserAfterStart");
}

TEST(AppDelegateLaunch, AFirstLaunchListsTheShippedNotationsInTheStartUpWindowAtOnce)
{
    const qnt::test::LaunchSettingsKeeper launchSettings;
    documentController();
    const qnt::test::BuiltinLibrariesKeeper libraries;
    // A home that has never seen the application: no notations folder.
    const QString folder = QntNotation::rootNotationsFolderPath();
    const QString aside = folder + ".aside";
    QDir(aside).removeRecursively();
    ASSERT_TRUE(!QFileInfo::exists(folder) || QDir().rename(folder, aside));
    const qnt::test::ScopeExit restore([&] {
        hideStartUpWindow();
        if (QFileInfo::exists(aside)) {
            QDir(folder).removeRecursively();
            QDir().rename(aside, folder);
        }
    });
    UserDefaults::standardUserDefaults().removeObjectForKey("QntShowStyleSchooserAfterStart");

    VOReruRerAppDelegate delegate;
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(startUpWindowVisible());
    EXPECT_FALSE(delegate.launchIsComplete());
    EXPECT_TRUE(QFileInfo::exists(folder + "/Misc/BuiltinLibraries.db"));
    const QStringList groups = QntDocumentController::startUpController()->groupTitles();
    EXPECT_TRUE(groups.contains("Misc")) << groups.join(", ").toStdString();
}

TEST(AppDelegateLaunch, ADocumentMadeBeforeTheStartUpWindowIsPaintedCompletesTheLaunchFirst)
{
    const qnt::test::LaunchSettingsKeeper launchSettings;
    QntDocumentController &controller = documentController();
    const qnt::test::BuiltinLibrariesKeeper libraries;
    for (const QString &name : QntNotation::builtinLibraryNames())
        libraries.registry().removeGroup(name);
    const qnt::test::ScopeExit restore([] { hideStartUpWindow(); });
    UserDefaults::standardUserDefaults().removeObjectForKey("QntShowStyleSchooserAfterStart");

    VOReruRerAppDelegate delegate;
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    ASSERT_FALSE(delegate.launchIsComplete());
    QString error;
    std::unique_ptr<Document> document(
        controller.makeUntitledDocumentOfType(controller.defaultType(), &error));
    ASSERT_TRUE(document) << error.toStdString();
    EXPECT_TRUE(delegate.launchIsComplete());
    const qsizetype shipped = QntNotation::builtinLibraryElementsList("Misc").size();
    EXPECT_GT(shipped, 0);
    EXPECT_EQ(libraries.registry().prototypesForGroup("Misc").size(), shipped);
    EXPECT_NE(VOReruRerAppDelegate::sharedImagesBankController(), nullptr);
}

TEST(AppDelegateLaunch, APlainRelaunchWithNothingOnScreenShowsTheStartUpWindowWhateverTheSetting)
{
    const qnt::test::LaunchSettingsKeeper launchSettings;
    documentController();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const qnt::test::ScopeExit restore([&] {
        defaults.removeObjectForKey("QntShowStyleSchooserAfterStart");
        hideStartUpWindow();
    });
    defaults.setInteger(0, "QntShowStyleSchooserAfterStart");
    VOReruRerAppDelegate delegate;
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    ASSERT_FALSE(startUpWindowVisible());
    // Whatever earlier tests left on screen is put away, so that nothing is.
    for (QWidget *window : QApplication::topLevelWidgets())
        window->hide();

    delegate.handleInstanceMessage(QString());
    EXPECT_TRUE(startUpWindowVisible());
    EXPECT_TRUE(documentController().documents().isEmpty());

    // With a window on screen a relaunch only raises it.
    delegate.handleInstanceMessage(QString());
    EXPECT_TRUE(startUpWindowVisible());
}

TEST(AppDelegateLaunch, ClosingTheLastWindowLeavesTheApplicationRunning)
{
    documentController();
    VOReruRerAppDelegate delegate;
    EXPECT_FALSE(delegate.applicationShouldTerminateAfterLastWindowClosed());
    const bool quitOnLastWindowClosed = QApplication::quitOnLastWindowClosed();
    const qnt::test::ScopeExit restore(
        [&] { QApplication::setQuitOnLastWindowClosed(quitOnLastWindowClosed); });
    QApplication::setQuitOnLastWindowClosed(
        delegate.applicationShouldTerminateAfterLastWindowClosed());
    QuitEventCounter counter;
    qApp->installEventFilter(&counter);
    QntDocumentController::showStartUpPanel();
    QCoreApplication::processEvents();
    QntDocumentController::startUpController()->window()->close();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    qApp->removeEventFilter(&counter);
    EXPECT_EQ(counter.quits, 0);
}

TEST(AppDelegateLaunch, StartUpWindowOffersQuit)
{
    documentController();
    QntDocumentController::showStartUpPanel();
    auto *quit =
        QntDocumentController::startUpController()->window()->findChild<QAction *>("quitAction");
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    hideStartUpWindow();
}

TEST(AppDelegateLaunch, StartUpWindowOffersPreferences)
{
    documentController();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const qnt::test::ScopeExit forget([&defaults] {
        defaults.removeObjectForKey(WindowFrameAutosave::defaultsKey("PreferencesWindow"));
    });
    VOReruRerAppDelegate delegate;
    QntDocumentController::showStartUpPanel();
    auto *preferences = QntDocumentController::startUpController()->window()->findChild<QAction *>(
        "preferencesAction");
    ASSERT_NE(preferences, nullptr);
    EXPECT_EQ(preferences->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences->trigger();
    ASSERT_NE(delegate.prefsController(), nullptr);
    EXPECT_TRUE(delegate.prefsController()->window()->isVisible());
    delegate.prefsController()->window()->hide();
    hideStartUpWindow();
}

// Without a drawing the start-up window offers what a drawing window's menus offer that needs
// none: the same Help menu, Preferences, and the application's editors and libraries in its
// Window menu; no Notations or Tools menu. The window is kept for the process: shown again, or
// with another delegate, it doubles nothing and every item reaches the delegate of the day.
TEST(AppDelegateLaunch, StartUpWindowOffersTheApplicationMenusThatNeedNoDrawing)
{
    documentController();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    QList<QUrl> offered;
    VOReruRerAppDelegate::setURLOpener([&offered](const QUrl &url) {
        offered << url;
        return true;
    });
    const qnt::test::ScopeExit forget([&defaults] {
        VOReruRerAppDelegate::setURLOpener(nullptr);
        defaults.removeObjectForKey(WindowFrameAutosave::defaultsKey("PreferencesWindow"));
        defaults.removeObjectForKey(WindowFrameAutosave::defaultsKey("ImageManager"));
    });
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        VOReruRerAppDelegate delegate;
        QntDocumentController::showStartUpPanel();
        QntDocumentController::showStartUpPanel();
        QWidget *window = QntDocumentController::startUpController()->window();
        auto *bar = window->findChild<QMenuBar *>();
        ASSERT_NE(bar, nullptr);
        QStringList titles;
        for (QAction *action : bar->actions())
            titles << action->text();
        EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&Window", "&Help"}));
        // The drawing windows' own Help menu.
        EXPECT_EQ(bar->actions().constLast()->menu(), delegate.helpMenu());
        for (const char *name : {"preferencesAction", "styleManagerAction", "imageBankAction",
                                 "colorSchemeEditorAction"})
            EXPECT_EQ(window->findChildren<QAction *>(name).size(), 1) << name;

        auto *help = delegate.helpMenu()->findChild<QAction *>("helpPageAction");
        ASSERT_NE(help, nullptr);
        help->trigger();
        ASSERT_FALSE(offered.isEmpty());
        EXPECT_EQ(offered.constLast(), VOReruRerAppDelegate::helpPageURL());
        for (const char *name : {"aboutAction", "checkNewsAction", "checkForUpdatesAction"})
            EXPECT_NE(delegate.helpMenu()->findChild<QAction *>(name), nullptr) << name;

        window->findChild<QAction *>("preferencesAction")->trigger();
        ASSERT_NE(delegate.prefsController(), nullptr);
        EXPECT_TRUE(delegate.prefsController()->window()->isVisible());
        delegate.prefsController()->window()->hide();
        window->findChild<QAction *>("styleManagerAction")->trigger();
        ASSERT_NE(delegate.styleManager(), nullptr);
        EXPECT_TRUE(delegate.styleManager()->window()->isVisible());
        delegate.styleManager()->window()->hide();
        window->findChild<QAction *>("colorSchemeEditorAction")->trigger();
        ASSERT_NE(delegate.colorSchemeEditor(), nullptr);
        EXPECT_TRUE(delegate.colorSchemeEditor()->isVisible());
        delegate.colorSchemeEditor()->hide();
        window->findChild<QAction *>("imageBankAction")->trigger();
        ASSERT_NE(VOReruRerAppDelegate::sharedImagesBankController(), nullptr);
        EXPECT_TRUE(VOReruRerAppDelegate::sharedImagesBankController()->window()->isVisible());
        VOReruRerAppDelegate::sharedImagesBankController()->window()->hide();
        hideStartUpWindow();
    }
}

TEST(AppDelegateTermination, QuitCommandEndsTheEventLoopThroughTermination)
{
    const qnt::test::LaunchSettingsKeeper launchSettings;
    VOReruRerAppDelegate delegate;
    installTerminationHandling(documentController(), delegate);
    QntDocumentController::showStartUpPanel();
    auto *quit =
        QntDocumentController::startUpController()->window()->findChild<QAction *>("quitAction");
    ASSERT_NE(quit, nullptr);
    QTimer::singleShot(0, quit, &QAction::trigger);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(delegate.isTerminating());
    EXPECT_TRUE(documentController().isTerminating());
    UserDefaults onDisk(QntPaths::configFolder() + "/Quintora.plist");
    EXPECT_EQ(onDisk.objectForKey("DIDizeZozi_defaultQualityModulationFlag").typeId(),
              QMetaType::Bool);
    hideStartUpWindow();
}

TEST(AppDelegateTermination, ATerminationSignalStoresWhatTheQuitCommandStores)
{
    const qnt::test::LaunchSettingsKeeper launchSettings;
    // The tool palette was open: after a quit by signal it comes back, as after Quit.
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const qnt::test::ScopeExit forget(
        [&defaults] { defaults.removeObjectForKey(kQntToolPaletteIsVisible); });
    VOReruRerAppDelegate delegate;
    TerminationSignals termination;
    installTerminationHandling(documentController(), delegate, &termination);
    delegate.openToolPalette();
    ASSERT_NE(delegate.toolPalette(), nullptr);
    ASSERT_TRUE(delegate.toolPalette()->window()->isVisible());
    ASSERT_TRUE(defaults.boolForKey(kQntToolPaletteIsVisible));
    QTimer::singleShot(0, &termination,
                       [&termination] { emit termination.terminationRequested(SIGTERM); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(delegate.isQuitting());
    EXPECT_TRUE(delegate.isTerminating());
    EXPECT_TRUE(defaults.boolForKey(kQntToolPaletteIsVisible));
    UserDefaults onDisk(QntPaths::configFolder() + "/Quintora.plist");
    EXPECT_TRUE(onDisk.boolForKey(kQntToolPaletteIsVisible));
    delegate.hideToolPalette();
}

// A termination signal that arrives while the Quit question is up ends the question and quits,
// keeping the changes; the log says so instead of telling of a cancelled quit.
TEST(AppDelegateTermination, ASignalDuringTheQuitQuestionQuitsAndIsLoggedAsSuch)
{
    const qnt::test::LaunchSettingsKeeper launchSettings;
    QntDocumentController &controller = documentController();
    VOReruRerAppDelegate delegate;
    TerminationSignals termination;
    installTerminationHandling(controller, delegate, &termination);
    auto *document = new DIDizeZoziDocument;
    controller.addDocument(document);
    document->updateChangeCount(Document::ChangeType::Done);
    int questions = 0;
    controller.setClosePrompt([&termination, &questions](Document *, QWidget *) {
        ++questions;
        emit termination.terminationRequested(SIGTERM);
        // The question's own loop ends with the application's, as if nobody answered.
        return DocumentController::CloseChoice::Cancel;
    });
    const qnt::test::ScopeExit answerAgain([&controller] {
        controller.setClosePrompt(
            [](Document *, QWidget *) { return DocumentController::CloseChoice::DontSave; });
    });
    const LogLines log;
    bool quits = false;
    QTimer::singleShot(0, &delegate, [&delegate, &quits] { quits = delegate.terminate(); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(quits);
    EXPECT_TRUE(delegate.isQuitting());
    EXPECT_TRUE(controller.isTerminating());
    EXPECT_FALSE(log.contains("quitting was cancelled")) << log.text().toStdString();
    EXPECT_TRUE(log.contains("the quit question gave way to a termination signal"))
        << log.text().toStdString();
}

// A box put up before the event loop runs (an error about a file named at launch) gives way
// to a termination signal; the loop, once it starts, ends at once; every later signal quits
// again, and a box put up after the signal does not wait for an answer.
TEST(AppDelegateTermination, ASignalDuringALaunchTimeBoxQuitsOnceTheLoopRuns)
{
    const qnt::test::LaunchSettingsKeeper launchSettings;
    QntDocumentController &controller = documentController();
    VOReruRerAppDelegate delegate;
    TerminationSignals termination;
    installTerminationHandling(controller, delegate, &termination);
    int boxesEnded = 0;
    const auto runBox = [&boxesEnded](bool signalWhileUp, TerminationSignals &source) {
        QMessageBox box(QMessageBox::Warning, "Quintora", "The file is empty.", QMessageBox::Ok);
        if (signalWhileUp)
            QTimer::singleShot(50, &source,
                               [&source] { emit source.terminationRequested(SIGTERM); });
        // Nobody presses anything: only the signal can end the box; this limit ends a failed
        // test.
        QTimer::singleShot(8000, &box, [&box] { box.done(12345); });
        if (box.exec() != 12345)
            ++boxesEnded;
    };
    runBox(true, termination);
    EXPECT_EQ(boxesEnded, 1);
    EXPECT_TRUE(delegate.isQuitting());
    EXPECT_TRUE(controller.isTerminating());
    // Another file of the launch fails after the signal: its box does not wait either.
    runBox(false, termination);
    EXPECT_EQ(boxesEnded, 2);
    QTimer guard;
    guard.setSingleShot(true);
    guard.callOnTimeout([] { QCoreApplication::exit(99); });
    guard.start(8000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(delegate.isTerminating());
    // A later signal, once more in a running loop, quits again instead of being ignored.
    QTimer::singleShot(0, &termination,
                       [&termination] { emit termination.terminationRequested(SIGTERM); });
    guard.start(8000);
    EXPECT_EQ(QApplication::exec(), 0);
}

TEST(AppDelegateTermination, StoresTheQualityFlagAndFlushesTheSettings)
{
    const qnt::test::LaunchSettingsKeeper launchSettings;
    documentController();
    VOReruRerAppDelegate delegate;
    EXPECT_FALSE(delegate.isTerminating());
    DIDizeZoziDocument::setDefaultQualityModulation(true);
    delegate.applicationWillTerminate();
    EXPECT_TRUE(delegate.isTerminating());
    UserDefaults onDisk(QntPaths::configFolder() + "/Quintora.plist");
    const QVariant stored = onDisk.objectForKey("DIDizeZozi_defaultQualityModulationFlag");
    EXPECT_EQ(stored.typeId(), QMetaType::Bool);
    EXPECT_TRUE(stored.toBool());
}

TEST(AppDelegate, PlatformAnswers)
{
    VOReruRerAppDelegate delegate;
    EXPECT_FALSE(delegate.iCloudIsAvailable());
    EXPECT_TRUE(delegate.OSVersion().isEmpty());
    EXPECT_FALSE(delegate.isAppSandboxed());
}
