#include "app/launch/VOReruRerAppDelegate.h"

#include "app/window/QntDocumentConstants.h"
#include "app/undo/QntUndoInspector.h"
#include "app/panels/DIDizeZoziPrefsController.h"
#include "app/panels/VKLayersPaletteController.h"
#include "style/VKStyleInspector.h"
#include "style/VKStyleManagerDialog.h"
#include "app/panels/VKObjectInspector.h"
#include "app/panels/VKToolPalette.h"

#include "app/window/DIDizeZoziDocument.h"
#include "app/window/QntDocumentCommands.h"
#include "app/panels/QXNews.h"
#include "app/panels/QntPreferenceController.h"
#include "app/panels/SUUpdater.h"
#include "style/QntColorSchemeEditor.h"
#include "app/common/QntConstants.h"
#include "app/launch/QntDocumentController.h"
#include "app/launch/QntStartUpController.h"
#include "app/panels/QntInfoPanelController.h"
#include "app/common/QntUtils.h"
#include "app/launch/QntThreadPreparation.h"
#include "app/launch/QntCrashReporting.h"
#include "connectors/QntConnectorModeInspector.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawing.h"
#include "framework/notations/QntNotation.h"
#include "framework/styles/VRStyleRegistry.h"
#include "framework/view/QntConnectorTool.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRDrawingView.h"
#include "inspectors/QntElementModeInspector.h"
#include "inspectors/QntGroupModeInspector.h"
#include "library/QntImagesBankController.h"
#include "platform/AtomicFile.h"
#include "platform/ColorPanel.h"
#include "platform/Document.h"
#include "platform/DocumentController.h"
#include "platform/PropertyList.h"
#include "platform/QntPaths.h"
#include "platform/SingleInstance.h"
#include "platform/UserDefaults.h"
#include "telemetry/TallyKit/TLYTallyController.h"
#include "telemetry/TallyKit/Tally.h"
#include "telemetry/core/Plinth.h"
#include "telemetry/crash/Faultline.h"
#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/Host.h"
#include "telemetry/platform/NotificationBus.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QSaveFile>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <exception>

Q_LOGGING_CATEGORY(lcApp, "quintora.app")

namespace {

VOReruRerAppDelegate *g_delegate = nullptr;
QntConnectorModeInspector *g_connectorModeInspector = nullptr;
QntImagesBankController *g_imagesBankController = nullptr;

const QString kURLSchemePrefix = QStringLiteral("quintora://");
const QString kDocumentSuffix = QStringLiteral("quintora");

// Null for a value the telemetry client cannot take.
tel::PlistValue toPlistValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool: return tel::PlistValue(value.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong: return tel::PlistValue(std::int64_t(value.toLongLong()));
    case QMetaType::Double: return tel::PlistValue(value.toDouble());
    case QMetaType::QString: return tel::PlistValue(value.toString().toStdString());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return tel::PlistValue(tel::PlistValue::Data(bytes.begin(), bytes.end()));
    }
    case QMetaType::QDateTime:
        return tel::PlistValue(
            tel::PlistValue::Date{value.toDateTime().toMSecsSinceEpoch() / 1000.0});
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        tel::PlistValue::Array array;
        for (const QVariant &item : value.toList()) {
            tel::PlistValue converted = toPlistValue(item);
            if (!converted.isNull())
                array.push_back(std::move(converted));
        }
        return tel::PlistValue(std::move(array));
    }
    case QMetaType::QVariantMap: {
        tel::PlistValue::Dictionary dictionary;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            tel::PlistValue converted = toPlistValue(it.value());
            if (!converted.isNull())
                dictionary.emplace(it.key().toStdString(), std::move(converted));
        }
        return tel::PlistValue(std::move(dictionary));
    }
    default: return {};
    }
}

// The telemetry client runs its own threads; it reaches this application only through these.
tel::Host::Hooks telemetryHooks()
{
    tel::Host::Hooks hooks;
    hooks.mainThreadExecutor = [](std::function<void()> block) {
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, std::move(block), Qt::QueuedConnection);
    };
    hooks.userDefaultsReader = [](const std::string &key) -> std::optional<tel::PlistValue> {
        tel::PlistValue converted = toPlistValue(
            UserDefaults::standardUserDefaults().objectForKey(QString::fromStdString(key)));
        if (converted.isNull())
            return std::nullopt;
        return std::optional<tel::PlistValue>(std::move(converted));
    };
    hooks.userDefaultsRemover = [](const std::string &key) {
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        defaults.removeObjectForKey(QString::fromStdString(key));
        defaults.synchronize();
    };
    return hooks;
}

} // namespace

void VOReruRerAppDelegate::initialize()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    registerQntDefaults(UserDefaults::standardUserDefaults());
}

VOReruRerAppDelegate::VOReruRerAppDelegate(QObject *parent)
    : QObject(parent)
{
    initialize();
    _applicationHasStarted = false;
    mPrefsController = nullptr;
    if (!g_delegate)
        g_delegate = this;
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                [this] { m_applicationLoopEnded = true; });
}

VOReruRerAppDelegate::~VOReruRerAppDelegate()
{
    m_observers.clear();
    // The menus have no parent window: every window's menu bar only shows them.
    delete m_notationsMenu.data();
    delete _menuItemAddImported.data();
    delete _menuItemAddUML.data();
    delete m_toolsMenu.data();
    delete mUserToolMenu.data();
    delete m_helpMenu.data();
    if (QXNews::sharedNews().delegate() == this)
        QXNews::sharedNews().setDelegate(nullptr);
    if (mElementModeInspector)
        DIDizeZoziDocument::setSectionViewFactory(DIDizeZoziDocument::Section::CustomElement, {});
    delete mElementModeInspector;
    delete mGroupModeInspector;
    delete mToolPalette;
    delete mObjectInspector;
    delete mUndoInspector;
    delete mLayersController;
    delete mPrefsController;
    delete mColorSchemeEditor;
    delete mStyleInspector;
    delete mStyleManager;
    delete mDrawingSwitches;
    if (g_delegate == this) {
        g_delegate = nullptr;
        delete g_connectorModeInspector;
        g_connectorModeInspector = nullptr;
        delete g_imagesBankController;
        g_imagesBankController = nullptr;
    }
}

VOReruRerAppDelegate *VOReruRerAppDelegate::sharedDelegate()
{
    return g_delegate;
}

void VOReruRerAppDelegate::setInstanceServer(SingleInstance *server)
{
    m_instanceServer = server;
}

QStringList VOReruRerAppDelegate::removeLeftoverTemporaryFiles()
{
    // Beside the documents this application knows of: the recent ones and those open when it
    // last quit (with their recovery copies); and anywhere in its own folders.
    QStringList documents = DocumentController::sharedDocumentController().recentDocumentURLs();
    for (const QVariant &entry : DocumentController::sharedDocumentController().restorationList()) {
        const QVariantMap map = entry.toMap();
        documents << map.value(QStringLiteral("path")).toString()
                  << map.value(QStringLiteral("autosave")).toString();
    }
    documents.removeAll(QString());
    documents.removeDuplicates();
    QStringList removed;
    for (const QString &document : std::as_const(documents))
        removed += AtomicFile::removeLeftoversOf(document);
    for (const QString &folder :
         {QntPaths::applicationSupportFolder(), QntPaths::configFolder(), QntPaths::cachesFolder()})
        removed += AtomicFile::removeLeftoversIn(folder);
    removed.removeDuplicates();
    for (const QString &path : std::as_const(removed))
        qCInfo(lcApp).noquote() << "removed the leftover temporary file" << path;
    return removed;
}

void VOReruRerAppDelegate::applicationWillFinishLaunching()
{
    // What a write cut short by a kill or a power loss left behind goes before anything is
    // written again.
    removeLeftoverTemporaryFiles();
    VRDrawing::loadDefaults();
    DIDizeZoziDocument::setDefaultQualityModulation(
        UserDefaults::standardUserDefaults().boolForKey(kDIDizeZoziDefaultQualityModulationFlag));
    // URLs reach the running instance from later launches through its local socket.
    if (m_instanceServer) {
        // Queued: opening a document may show a modal error box, which must not run inside
        // the socket's own read handler (the socket can go away under it).
        connect(m_instanceServer, &SingleInstance::messageReceived, this,
                &VOReruRerAppDelegate::handleInstanceMessage,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
    }
}

void VOReruRerAppDelegate::applicationDidFinishLaunching()
{
    if (qEnvironmentVariableIsSet("NSZombieEnabled")
        || qEnvironmentVariableIsSet("NSAutoreleaseFreedObjectCheckEnabled")) {
        qCWarning(lcApp) << "NSZombieEnabled/NSAutoreleaseFreedObjectCheckEnabled enabled!";
    }

    NotificationCenter &center = NotificationCenter::defaultCenter();
    // Libraries register their tools by the thousand: the menu is made once they are done.
    m_observers.push_back(center.addObserver(kVRDrawingToolWasRegisteredNotification, nullptr,
                                             [this](const Notification &) {
                                                 if (m_toolMenuRebuildScheduled)
                                                     return;
                                                 m_toolMenuRebuildScheduled = true;
                                                 QTimer::singleShot(0, this, [this] {
                                                     m_toolMenuRebuildScheduled = false;
                                                     drawingToolRegistrationNote(Notification{});
                                                 });
                                             }));
    m_observers.push_back(center.addObserver(kQntShowInfoPanelNotification, nullptr,
                                             [this](const Notification &n) { openInfoPanel(n); }));
    m_observers.push_back(center.addObserver(kQntHideInfoPanelNotification, nullptr,
                                             [this](const Notification &n) { hideInfoPanel(n); }));
    m_observers.push_back(
        center.addObserver(kVRDidChangeToolNotification, nullptr,
                           [this](const Notification &n) { toolChangedNotification(n); }));
    m_observers.push_back(
        center.addObserver(kQntMultipleChangeStyleModeSelected, nullptr,
                           [this](const Notification &n) { openGroupModeInspector(n); }));

    ColorPanel::sharedColorPanel().setShowsAlpha(true);

    openElementModeInspector();
    openConnectorModeInspector();

    // The start-up window lists the installed notations: a first launch installs them before
    // the window shows; later launches check them once it is on screen.
    if (!QFileInfo::exists(QntNotation::rootNotationsFolderPath()))
        installNotations();

    _applicationHasStarted = true;

    const bool showStartUp = startUpWindowWanted();
    UserDefaults::standardUserDefaults().removeObjectForKey(kICloudIsAvailable);
    if (showStartUp)
        QntDocumentController::showStartUpPanel();

    QXNews::sharedNews().setDelegate(this);
    // After each new document, the weekly news check (it asks the server at most once a week).
    m_observers.push_back(center.addObserver(
        kQntNewDocumentCreatedNotification, nullptr, [this](const Notification &) {
            QTimer::singleShot(0, this, [] { QXNews::sharedNews().checkNewsInBackgroundIfNeed(); });
        }));

    UserDefaults::standardUserDefaults().registerDefaults(
        {{kNSApplicationCrashOnExceptions, true}});

    // Qt's threads are prepared for crash capture as the telemetry library's own threads are.
    if (!QntThreadPreparation::install())
        qCWarning(lcApp) << "Qt offers no object-creation hook: its threads get no signal stack";

    // The telemetry client starts nothing while no API key is configured; a misconfigured
    // bundle must not stop the launch.
    tel::AppInfo::setBundleFolder(QntPaths::bundleResourcesPath().toStdString());
    QntCrashReporting::install();
    try {
        Plinth::with({&Faultline::metaClass()}, telemetryHooks());
    } catch (const std::exception &error) {
        qCWarning(lcApp) << "the telemetry client did not start:" << error.what();
    }
    followActivationForAnalytics();

    // What the start-up window does not show is made once the window has been painted.
    QntDocumentController *controller = QntDocumentController::sharedQntDocumentController();
    if (controller && QntDocumentController::startUpWindowAwaitsFirstPaint()) {
        connect(controller, &QntDocumentController::startUpWindowPainted, this,
                &VOReruRerAppDelegate::completeLaunch, Qt::SingleShotConnection);
        // A window the system does not draw (minimised, on another desktop) holds nothing up.
        QTimer::singleShot(kLaunchCompletionDelayMs, this, &VOReruRerAppDelegate::completeLaunch);
    } else {
        QTimer::singleShot(0, this, &VOReruRerAppDelegate::completeLaunch);
    }
    qCInfo(lcApp) << "launch finished";
}

void VOReruRerAppDelegate::installNotations()
{
    if (m_notationsInstalled)
        return;
    m_notationsInstalled = true;
    // A damaged database is moved out of the way first, so the shipped one takes its place.
    m_damagedNotations = QntNotation::setAsideDamagedNotations();
    QStringList installed;
    const VRResult<void> copied =
        QntNotation::copyNotationsFromBundleToAppSupportFolder(&installed);
    if (!copied)
        qCWarning(lcApp).noquote()
            << "installing the notation libraries failed:" << copied.errorMessage();
    // A start-up window on screen lists them afresh when they changed under it.
    QntStartUpController *startUp = QntDocumentController::startUpController();
    if (startUp && startUp->window() && startUp->window()->isVisible()
        && (!installed.isEmpty() || !m_damagedNotations.isEmpty()))
        startUp->reloadNotations();
}

void VOReruRerAppDelegate::completeLaunch()
{
    if (m_launchCompleted || !_applicationHasStarted || m_quitting || m_isTerminating)
        return;
    m_launchCompleted = true;

    installNotations();
    // The tool registry's built-in libraries are read from the notations just installed.
    QntNotation::registerBuiltinLibraries();
    copyMermaidSrcFromBundleToAppSupportFolderRewriteAll(false);

    if (!g_imagesBankController)
        g_imagesBankController = new QntImagesBankController(QStringLiteral("QntImagesBank"));
    // The Custom group of the shape library keeps its shapes in the image bank from the start.
    if (!g_imagesBankController->initImageBank())
        qCWarning(lcApp).noquote() << g_imagesBankController->imageBankProblem();
    // What had to be set aside is told now, above the start-up window.
    QStringList notices;
    if (const auto settings = UserDefaults::standardUserDefaults().takeSetAsideFile())
        notices << settingsSetAsideMessage(settings->keptAs);
    for (const QntNotation::SetAsideNotation &notation : std::as_const(m_damagedNotations))
        notices << notationSetAsideMessage(notation);
    m_damagedNotations.clear();
    if (!notices.isEmpty()) {
        // One box for all of them.
        QTimer::singleShot(0, this, [notices] {
            DocumentController::sharedDocumentController().presentError(
                notices.join(QStringLiteral("\n\n")), nullptr);
        });
    }

    populateImportedMenu();
    populateUMLMenu();

    VRStyleRegistry::loadDefaults();

    toolsMenu();
    for (QAction *item :
         {_toolsMenuItem.data(), _smartPolylineMenuItem.data(), _smartOrthogonalMenuItem.data()}) {
        if (item)
            item->setVisible(true);
    }

    // Recorded tool shortcuts are in force from the start.
    QntPreferenceController::applyStoredShortcuts();
    // The preferences follow new documents (document defaults) from the first one on.
    initPrefsController(nullptr);
    qCInfo(lcApp) << "launch complete";
}

bool VOReruRerAppDelegate::launchIsComplete() const
{
    return m_launchCompleted;
}

QString VOReruRerAppDelegate::settingsSetAsideMessage(const QString &keptAs)
{
    if (keptAs.isEmpty())
        return tr("Your settings could not be read, so Quintora started with its original "
                  "settings. The damaged settings file could not be kept.");
    return tr("Your settings could not be read, so Quintora started with its original settings. "
              "The damaged settings file was kept as “%1”.")
        .arg(keptAs);
}

QString VOReruRerAppDelegate::notationSetAsideMessage(const QntNotation::SetAsideNotation &notation)
{
    const QFileInfo file(notation.path);
    const QString name = file.fileName();
    const QString kept =
        notation.keptAs.isEmpty()
            ? tr("It could not be moved out of the way.")
            : tr("The damaged file was kept as “%1”.").arg(QFileInfo(notation.keptAs).fileName());
    const QString folder = file.absoluteDir().dirName();
    if (folder == QLatin1String("ImageBank")) {
        const bool remade = file.isFile() && QntNotation::notationWithPath(notation.path)
                            && QntNotation::notationWithPath(notation.path)->isValid();
        return tr("The image bank “%1” in “%2” was damaged and could not be read. %3 %4")
            .arg(name, file.absolutePath(), kept,
                 remade ? tr("A new, empty image bank was made; the pictures of the old one "
                             "are not in it.")
                        : tr("There is no image bank until it can be made again."));
    }
    if (!QntNotation::isShippedNotation(notation.path))
        return tr("The notation “%1” in “%2” was damaged and could not be read. %3 There is no "
                  "copy of it to put back, so it is no longer offered.")
            .arg(name, file.absolutePath(), kept);
    const auto restored = QntNotation::notationWithPath(notation.path);
    return tr("The notation “%1” in “%2” was damaged and could not be read. %3 %4")
        .arg(name, file.absolutePath(), kept,
             restored && restored->isValid()
                 ? tr("The notation that comes with Quintora was put back in its place.")
                 : tr("The notation that comes with Quintora could not be put back."));
}

std::optional<QString> VOReruRerAppDelegate::pathFromURLEventText(const QString &eventText,
                                                                  QString *reason)
{
    const auto refuse = [reason](const QString &why) -> std::optional<QString> {
        if (reason)
            *reason = why;
        return std::nullopt;
    };
    const qsizetype start = eventText.indexOf(kURLSchemePrefix, 0, Qt::CaseSensitive);
    if (start < 0)
        return refuse(QStringLiteral("it holds no quintora:// URL"));
    const QByteArray decoded =
        QByteArray::fromPercentEncoding(eventText.mid(start + kURLSchemePrefix.size()).toUtf8());
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString path = utf8.decode(decoded);
    if (utf8.hasError())
        return refuse(QStringLiteral("its path does not decode as UTF-8"));
    if (path.contains(QChar(0)))
        return refuse(QStringLiteral("its path holds a NUL character"));
    if (!path.startsWith(QLatin1Char('/')))
        return refuse(QStringLiteral("it names no absolute path"));
    return QDir::cleanPath(path);
}

bool VOReruRerAppDelegate::isOpenableDocument(const QString &path, QString *reason,
                                              QString *userMessage)
{
    const QString name = QFileInfo(path).fileName();
    const auto refuse = [reason, userMessage](const QString &why, const QString &message) {
        if (reason)
            *reason = why;
        if (userMessage)
            *userMessage = message;
        return false;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return refuse(
            QStringLiteral("there is no such file"),
            tr("The document “%1” could not be opened because there is no such file.").arg(name));
    if (info.isDir())
        return refuse(QStringLiteral("it is a folder"),
                      tr("“%1” could not be opened because it is a folder, not a Quintora "
                         "document.")
                          .arg(name));
    if (!info.isFile())
        return refuse(QStringLiteral("it is not a regular file"),
                      tr("“%1” could not be opened because it is not a regular file.").arg(name));
    if (info.suffix().compare(kDocumentSuffix, Qt::CaseInsensitive) != 0)
        return refuse(
            QStringLiteral("it is not a Quintora document"),
            tr("“%1” could not be opened because it is not a Quintora document.").arg(name));
    if (!info.isReadable())
        return refuse(QStringLiteral("it cannot be read"),
                      tr("The document “%1” could not be opened because you do not have "
                         "permission to read it.")
                          .arg(name));
    return true;
}

void VOReruRerAppDelegate::handleGetURLEvent(const QString &eventText)
{
    // Only documents of this application are opened: a web page must not be able to make
    // the desktop open any file or program through this URL scheme.
    QString reason;
    const std::optional<QString> path = pathFromURLEventText(eventText, &reason);
    if (!path) {
        qCWarning(lcApp).noquote() << "ignoring the URL" << eventText << ":" << reason;
        return;
    }
    if (!isOpenableDocument(*path, &reason)) {
        qCWarning(lcApp).noquote()
            << "ignoring the URL" << eventText << "for" << *path << ":" << reason;
        return;
    }
    openDocumentAtPath(*path);
}

void VOReruRerAppDelegate::handleOpenFile(const QString &path)
{
    QString reason, message;
    if (!isOpenableDocument(path, &reason, &message)) {
        qCWarning(lcApp).noquote() << "ignoring the file" << path << ":" << reason;
        DocumentController::sharedDocumentController().presentError(message, nullptr);
        return;
    }
    openDocumentAtPath(QFileInfo(path).absoluteFilePath());
}

void VOReruRerAppDelegate::handleInstanceMessage(const QString &message)
{
    if (message.isEmpty()) {
        // A plain relaunch: like reactivating the application.
        bool anyVisible = false;
        for (QWidget *window : QApplication::topLevelWidgets())
            anyVisible = anyVisible || window->isVisible();
        if (!anyVisible) {
            applicationShouldOpenUntitledFile();
            // There is no menu bar to reach the application by: a user who starts it again
            // while it shows nothing asks for a window, even when the start-up window is not
            // wanted at launch.
            if (_applicationHasStarted && !startUpWindowWanted())
                QntDocumentController::showStartUpPanel();
        } else if (QWidget *active = QApplication::activeWindow())
            active->raise();
        return;
    }
    if (message.contains(kURLSchemePrefix)) {
        handleGetURLEvent(message);
        return;
    }
    if (message.startsWith(QLatin1String("file:"))) {
        handleOpenFile(QUrl(message).toLocalFile());
        return;
    }
    handleOpenFile(message);
}

void VOReruRerAppDelegate::openDocumentAtPath(const QString &path)
{
    qCInfo(lcApp).noquote() << "opening the document" << path;
    emit documentOpenRequested(path);
    DocumentController &controller = DocumentController::sharedDocumentController();
    if (controller.defaultType().isEmpty()) {
        qCWarning(lcApp).noquote() << "no document window can show" << path << "yet";
        return;
    }
    QString error;
    if (!controller.openDocumentWithContentsOfURL(path, true, &error))
        controller.presentError(error, nullptr);
}

bool VOReruRerAppDelegate::applicationShouldOpenUntitledFile()
{
    if (_applicationHasStarted && startUpWindowWanted())
        QntDocumentController::showStartUpPanel();
    return false;
}

bool VOReruRerAppDelegate::applicationShouldTerminateAfterLastWindowClosed() const
{
    return false;
}

void VOReruRerAppDelegate::followActivationForAnalytics()
{
    // Usage analytics hears of the application becoming active and giving that up, as the
    // platform's application notifications tell it elsewhere.
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app)
        return;
    const auto post = [](const char *name) { tel::NotificationBus::defaultBus().post(name); };
    m_applicationWasActive = app->applicationState() == Qt::ApplicationActive;
    if (m_applicationWasActive)
        post(TLYTallyController::kApplicationDidBecomeActive);
    connect(app, &QGuiApplication::applicationStateChanged, this,
            [this, post](Qt::ApplicationState state) {
                const bool active = state == Qt::ApplicationActive;
                if (active == m_applicationWasActive)
                    return;
                m_applicationWasActive = active;
                post(active ? TLYTallyController::kApplicationDidBecomeActive
                            : TLYTallyController::kApplicationWillResignActive);
            });
}

void VOReruRerAppDelegate::applicationWillTerminate()
{
    setIsTerminating(true);
    tel::NotificationBus::defaultBus().post(TLYTallyController::kApplicationWillTerminate);
    // The last events reach their log before the process goes.
    Tally::waitUntilRecorded();
    VRDrawing::saveDefaults();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setBool(DIDizeZoziDocument::defaultQualityModulation(),
                     kDIDizeZoziDefaultQualityModulationFlag);
    if (!defaults.synchronize())
        qCWarning(lcApp) << "the settings could not be written at termination";
    qCInfo(lcApp) << "terminated";
}

namespace {

bool panelIsVisible(VRInspectorBase *panel)
{
    // A panel not made yet counts as hidden.
    return panel && panel->window() && panel->window()->isVisible();
}

} // namespace

void VOReruRerAppDelegate::showToolPalette()
{
    if (panelIsVisible(mToolPalette)) {
        mToolPalette->window()->hide();
        return;
    }
    openToolPalette();
}

void VOReruRerAppDelegate::showObjectInspector()
{
    if (panelIsVisible(mObjectInspector)) {
        mObjectInspector->window()->hide();
        return;
    }
    openObjectInspector();
}

void VOReruRerAppDelegate::showUndoInspector()
{
    if (panelIsVisible(mUndoInspector)) {
        mUndoInspector->window()->hide();
        return;
    }
    openUndoInspector();
}

void VOReruRerAppDelegate::showLayersPalette()
{
    if (panelIsVisible(mLayersController)) {
        mLayersController->window()->hide();
        return;
    }
    openLayersPalette();
}

void VOReruRerAppDelegate::showStyleInspector()
{
    if (panelIsVisible(mStyleInspector)) {
        mStyleInspector->window()->hide();
        return;
    }
    openStyleInspector();
}

void VOReruRerAppDelegate::openStyleInspector()
{
    if (!mStyleInspector)
        mStyleInspector = new VKStyleInspector;
    mStyleInspector->showWindow();
}

void VOReruRerAppDelegate::showStyleManagerDialog()
{
    if (!mStyleManager)
        mStyleManager = new VKStyleManagerDialog;
    mStyleManager->showWindow();
}

void VOReruRerAppDelegate::showDrawingSwitches()
{
    if (mDrawingSwitches && mDrawingSwitches->isVisible()) {
        mDrawingSwitches->hide();
        return;
    }
    if (!mDrawingSwitches) {
        mDrawingSwitches = new DIDizeZoziPrefsController;
        mDrawingSwitches->setObjectName(QStringLiteral("drawingSwitches"));
    }
    // The boxes show the switches as they are now.
    mDrawingSwitches->awakeFromNib();
    mDrawingSwitches->show();
    mDrawingSwitches->raise();
    mDrawingSwitches->activateWindow();
}

void VOReruRerAppDelegate::openLayersPalette()
{
    if (!mLayersController)
        mLayersController = new VKLayersPaletteController;
    mLayersController->showWindow();
}

void VOReruRerAppDelegate::openObjectInspector()
{
    if (!mObjectInspector)
        mObjectInspector = new VKObjectInspector;
    mObjectInspector->showWindow();
}

void VOReruRerAppDelegate::openUndoInspector()
{
    if (!mUndoInspector)
        mUndoInspector = new QntUndoInspector;
    mUndoInspector->reloadData();
    mUndoInspector->showWindow();
}

bool VOReruRerAppDelegate::terminate()
{
    if (m_quitting)
        return true;
    if (!DocumentController::sharedDocumentController().reviewUnsavedDocuments(
            QApplication::activeWindow())) {
        // A termination signal that came while a question was up closed it: the signal quits,
        // keeping the unsaved changes; nobody cancelled.
        if (m_quitting) {
            qCInfo(lcApp) << "the quit question gave way to a termination signal";
            return true;
        }
        qCInfo(lcApp) << "quitting was cancelled";
        return false;
    }
    m_quitting = true;
    qCInfo(lcApp) << "quitting";
    QCoreApplication::quit();
    return true;
}

namespace {

// While the application quits by signal, every box or dialog that is up, or comes up later,
// is dismissed as if nobody answered: nobody is there to answer it.
class ModalWindowDismisser : public QObject
{
public:
    explicit ModalWindowDismisser(QObject *parent)
        : QObject(parent)
    {
        qApp->installEventFilter(this);
        for (QWidget *window : QApplication::topLevelWidgets())
            if (window->isVisible())
                dismiss(window);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (widget->isWindow())
                dismiss(widget);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static void dismiss(QWidget *window)
    {
        if (!window->isModal())
            return;
        // Queued, so a box that is only being shown has its own loop running when it ends.
        if (auto *dialog = qobject_cast<QDialog *>(window))
            QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
        else
            QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
    }
};

} // namespace

void VOReruRerAppDelegate::terminateKeepingUnsavedChanges()
{
    // The recovery copies are written first; from then on closing a window asks nothing
    // and leaves its document's copy for the next launch.
    DocumentController &controller = DocumentController::sharedDocumentController();
    if (!controller.isTerminating())
        controller.prepareForTermination();
    m_quitting = true;
    qCInfo(lcApp) << "quitting; unsaved changes are kept for the next launch";
    if (!m_modalWindowDismisser)
        m_modalWindowDismisser = new ModalWindowDismisser(this);
    // Quitting closes the windows as the Quit command does; leaving every event loop, the
    // nested ones of boxes too, ends it even where a window would not close. Before the
    // application's own loop runs (a box at launch) both do nothing: the queued call quits
    // as soon as that loop starts. Every later signal asks again.
    // The queued call must not outlive the loop it was meant for: run after the application's
    // loop has ended (an event processed on the way out), it would leave every later loop to
    // return at once.
    m_applicationLoopEnded = false;
    QCoreApplication::quit();
    QCoreApplication::exit(0);
    QTimer::singleShot(0, this, [this] {
        if (!m_applicationLoopEnded)
            QCoreApplication::exit(0);
    });
}

bool VOReruRerAppDelegate::isTerminating() const
{
    return m_isTerminating;
}

void VOReruRerAppDelegate::setIsTerminating(bool terminating)
{
    m_isTerminating = terminating;
}

bool VOReruRerAppDelegate::applicationHasStarted() const
{
    return _applicationHasStarted;
}

QntConnectorModeInspector *VOReruRerAppDelegate::sharedConnectorModeInspector()
{
    return g_connectorModeInspector;
}

QntImagesBankController *VOReruRerAppDelegate::sharedImagesBankController()
{
    return g_imagesBankController;
}

void VOReruRerAppDelegate::giveApplicationKeysTo(QWidget *window)
{
    if (!window || window->property("qntApplicationKeys").toBool())
        return;
    window->setProperty("qntApplicationKeys", true);
    // A window without the File menu still answers its keys: quit, and save the document in
    // front.
    const auto add = [window](const QString &name, const QKeySequence &keys, auto act) {
        auto *action = new QAction(name, window);
        action->setObjectName(name);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, window, act);
        window->addAction(action);
    };
    const auto documentInFront = [] {
        return DocumentController::sharedDocumentController().currentDocument();
    };
    add(QStringLiteral("quitAction"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { terminate(); });
    add(QStringLiteral("saveAction"), QKeySequence(Qt::CTRL | Qt::Key_S), [documentInFront] {
        if (Document *document = documentInFront())
            document->save(document->windowForSheet());
    });
    add(QStringLiteral("saveAsAction"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
        [documentInFront] {
            if (Document *document = documentInFront())
                document->saveAs(document->windowForSheet());
        });
}

void VOReruRerAppDelegate::openImageBankManager()
{
    if (!g_imagesBankController)
        g_imagesBankController = new QntImagesBankController(QStringLiteral("QntImagesBank"));
    giveApplicationKeysTo(g_imagesBankController->window());
    g_imagesBankController->showWindow();
    if (!g_imagesBankController->images())
        g_imagesBankController->setupBrowsing();
}

QntElementModeInspector *VOReruRerAppDelegate::elementModeInspector() const
{
    return mElementModeInspector;
}

void VOReruRerAppDelegate::openElementModeInspector()
{
    if (mElementModeInspector)
        return;
    mElementModeInspector = new QntElementModeInspector(QStringLiteral("ElementModeInspector"));
    // The document windows' contour section is made of the same controls as the inspector's
    // simple-style toolbar.
    DIDizeZoziDocument::setSectionViewFactory(
        DIDizeZoziDocument::Section::CustomElement, [](DIDizeZoziDocument &document) {
            return QntElementModeInspector::makeSimpleStyleSection(&document);
        });
}

void VOReruRerAppDelegate::openConnectorModeInspector()
{
    if (!g_connectorModeInspector)
        g_connectorModeInspector =
            new QntConnectorModeInspector(QStringLiteral("QntConnectorModeInspector"));
}

bool VOReruRerAppDelegate::iCloudIsAvailable() const
{
    return false;
}

QString VOReruRerAppDelegate::OSVersion() const
{
    QFile file(QStringLiteral("/System/Library/CoreServices/SystemVersion.plist"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const std::optional<QVariant> root = PropertyList::fromData(file.readAll());
    if (!root || root->typeId() != QMetaType::QVariantMap)
        return {};
    const QVariant version = root->toMap().value(QStringLiteral("ProductVersion"));
    return version.typeId() == QMetaType::QString ? version.toString() : QString();
}

bool VOReruRerAppDelegate::isAppSandboxed() const
{
    // No application sandbox exists here: exports write straight into the folder the user chose.
    return false;
}

QntPreferenceController *VOReruRerAppDelegate::initPrefsController(DIDizeZoziDocument *document)
{
    VRDrawing *drawing = document ? document->drawing() : nullptr;
    if (mPrefsController)
        mPrefsController->prepareDialogWithDrawing(drawing);
    else
        mPrefsController = new QntPreferenceController(drawing);
    return mPrefsController;
}

void VOReruRerAppDelegate::openPreferences()
{
    initPrefsController(qobject_cast<DIDizeZoziDocument *>(
        QntDocumentController::sharedDocumentController().currentDocument()));
    mPrefsController->showWindow();
}

void VOReruRerAppDelegate::showColorSchemeEditor()
{
    if (mColorSchemeEditor && mColorSchemeEditor->isVisible()) {
        mColorSchemeEditor->hide();
        return;
    }
    openColorSchemeEditor();
}

void VOReruRerAppDelegate::openColorSchemeEditor()
{
    if (!mColorSchemeEditor)
        mColorSchemeEditor = new QntColorSchemeEditor;
    mColorSchemeEditor->showWindow();
}

void VOReruRerAppDelegate::checkForUpdatesAction()
{
    SUUpdater::sharedUpdater().checkForUpdates(QApplication::activeWindow());
}

QString VOReruRerAppDelegate::optionsForQXNews()
{
    return QStringLiteral("S");
}

bool VOReruRerAppDelegate::startUpWindowWanted()
{
    const UserDefaults &defaults = UserDefaults::standardUserDefaults();
    if (!defaults.objectForKey(QntShowStyleSchooserAfterStart).isValid())
        return true;
    return defaults.integerForKey(QntShowStyleSchooserAfterStart) != 0;
}

void VOReruRerAppDelegate::drawingToolRegistrationNote(const Notification &)
{
    QMenu *menu = mUserToolMenu.data();
    if (!menu || menu->actions().isEmpty())
        return;
    const QList<QAction *> old = menu->actions();
    for (qsizetype i = old.size() - 1; i >= 0; --i) {
        menu->removeAction(old.at(i));
        if (old.at(i)->parent() == menu)
            delete old.at(i);
    }
    // Listed by title, as users know the tools; the item keeps the registered name.
    struct Entry {
        QString title;
        QString name;
    };
    std::vector<Entry> entries;
    for (const QString &name : VRDrawingTool::toolNames()) {
        const VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(name);
        const QString title = tool ? tool->title() : QString();
        entries.push_back({title.isEmpty() ? name : title, name});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return QString::localeAwareCompare(a.title, b.title) < 0;
    });
    for (const Entry &entry : entries) {
        QAction *item = menu->addAction(entry.title);
        item->setData(entry.name);
        connect(item, &QAction::triggered, this, [this, item] { selectDrawingTool(item); });
    }
}

void VOReruRerAppDelegate::openInfoPanel(const Notification &notification)
{
    QntInfoPanelController::sharedController().openInfoPanel(notification);
}

void VOReruRerAppDelegate::hideInfoPanel(const Notification &notification)
{
    if (_infoPanel)
        _infoPanel->hide();
    QntInfoPanelController::sharedController().hideInfoPanel(notification);
}

void VOReruRerAppDelegate::toolChangedNotification(const Notification &)
{
    // The user-tool menu follows the current tool once the application's menus exist.
}

void VOReruRerAppDelegate::openGroupModeInspector(const Notification &)
{
    if (!mGroupModeInspector)
        mGroupModeInspector = new QntGroupModeInspector;
    const QPointF point = mGroupModeInspector->positionParentWindow();
    mGroupModeInspector->createGroupModeInspectorAtPoint(point);
    mGroupModeInspector->showGroupModeInspector();
}

QntGroupModeInspector *VOReruRerAppDelegate::groupModeInspector() const
{
    return mGroupModeInspector;
}

// ---- shared panels -------------------------------------------------------------------------

void VOReruRerAppDelegate::openToolPalette()
{
    if (!mToolPalette)
        mToolPalette = new VKToolPalette;
    mToolPalette->showWindow();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setBool(true, kQntToolPaletteIsVisible);
    defaults.synchronize();
    emit toolPaletteOpened();
}

void VOReruRerAppDelegate::hideToolPalette()
{
    // The palette records its own closing; putting it away for want of documents does not.
    if (mToolPalette && mToolPalette->window())
        mToolPalette->window()->hide();
    emit toolPaletteHidden();
}

void VOReruRerAppDelegate::hideLayersPalette()
{
    if (mLayersController && mLayersController->window())
        mLayersController->window()->hide();
    emit layersPaletteHidden();
}

// ---- menus ---------------------------------------------------------------------------------

QMenu *VOReruRerAppDelegate::importedMenu()
{
    if (!_menuItemAddImported) {
        _menuItemAddImported = new QMenu(tr("Add Imported"));
        _menuItemAddImported->setObjectName(QStringLiteral("menuItemAddImported"));
        // Stencils are imported and deleted while the application runs: the menu is filled
        // afresh whenever it opens.
        connect(_menuItemAddImported, &QMenu::aboutToShow, this,
                &VOReruRerAppDelegate::populateImportedMenu);
    }
    return _menuItemAddImported;
}

QMenu *VOReruRerAppDelegate::umlMenu()
{
    if (!_menuItemAddUML) {
        _menuItemAddUML = new QMenu(tr("Add UML"));
        _menuItemAddUML->setObjectName(QStringLiteral("menuItemAddUML"));
        connect(_menuItemAddUML, &QMenu::aboutToShow, this, &VOReruRerAppDelegate::populateUMLMenu);
    }
    return _menuItemAddUML;
}

QMenu *VOReruRerAppDelegate::toolsMenu()
{
    if (!m_toolsMenu) {
        m_toolsMenu = new QMenu(tr("&Tools"));
        m_toolsMenu->setObjectName(QStringLiteral("toolsMenu"));
        _toolsMenuItem = m_toolsMenu->menuAction();
        _smartPolylineMenuItem = m_toolsMenu->addAction(tr("Smart Polyline Connector"));
        _smartPolylineMenuItem->setObjectName(QStringLiteral("smartPolylineMenuItem"));
        _smartOrthogonalMenuItem = m_toolsMenu->addAction(tr("Smart Orthogonal Connector"));
        _smartOrthogonalMenuItem->setObjectName(QStringLiteral("smartOrthogonalMenuItem"));
        const std::pair<QAction *, int> smart[] = {
            {_smartPolylineMenuItem.data(), kSmartPolylineRouting},
            {_smartOrthogonalMenuItem.data(), kSmartOrthogonalRouting}};
        for (const auto &[item, routing] : smart) {
            item->setCheckable(true);
            connect(item, &QAction::triggered, this,
                    [this, routing = routing] { selectSmartConnectorTool(routing); });
        }
        // The check marks show the routing new connectors get.
        connect(m_toolsMenu, &QMenu::aboutToShow, this, [this] {
            const int routing = QntConnectorTool::routingForNewConnectors();
            _smartPolylineMenuItem->setChecked(routing == kSmartPolylineRouting);
            _smartOrthogonalMenuItem->setChecked(routing == kSmartOrthogonalRouting);
        });
        m_toolsMenu->addSeparator();
        m_toolsMenu->addMenu(userToolMenu());
        // Shown once the launch has finished.
        for (QAction *item : {_toolsMenuItem.data(), _smartPolylineMenuItem.data(),
                              _smartOrthogonalMenuItem.data()})
            item->setVisible(_applicationHasStarted);
    }
    return m_toolsMenu;
}

void VOReruRerAppDelegate::selectSmartConnectorTool(int routing)
{
    QntConnectorTool::setRoutingForNewConnectors(routing);
    auto *document = qobject_cast<DIDizeZoziDocument *>(
        DocumentController::sharedDocumentController().currentDocument());
    if (document) {
        document->commands()->connectorToolAction(QStringLiteral("ConnectorToolItemId"), sender());
    } else if (VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(kVRQntConnectorToolName)) {
        tool->set();
    }
}

QMenu *VOReruRerAppDelegate::userToolMenu()
{
    if (!mUserToolMenu) {
        mUserToolMenu = new QMenu(tr("All Tools"));
        mUserToolMenu->setObjectName(QStringLiteral("userToolMenu"));
        // Stands in until the first tool registration fills the menu.
        mUserToolMenu->addAction(tr("No Tools"))->setEnabled(false);
        drawingToolRegistrationNote(Notification{});
        // Titles may arrive after a tool was registered: the menu is filled afresh on opening.
        connect(mUserToolMenu, &QMenu::aboutToShow, this,
                [this] { drawingToolRegistrationNote(Notification{}); });
    }
    return mUserToolMenu;
}

namespace {

// The bar's menu of that name; null when it has none.
QMenu *menuOfBar(QMenuBar *menuBar, const QString &name)
{
    for (QAction *action : menuBar->actions()) {
        if (action->menu() && action->menu()->objectName() == name)
            return action->menu();
    }
    return nullptr;
}

// An item that finds the application's delegate when chosen, so it outlives the delegate that
// put it in a window kept for the whole process (the start-up window).
QAction *addDelegateItem(QMenu *menu, const QString &title, const char *name,
                         void (VOReruRerAppDelegate::*command)())
{
    QAction *item = menu->addAction(title, menu, [command] {
        if (VOReruRerAppDelegate *delegate = VOReruRerAppDelegate::sharedDelegate())
            (delegate->*command)();
    });
    item->setObjectName(QString::fromLatin1(name));
    return item;
}

} // namespace

QMenu *VOReruRerAppDelegate::helpMenu()
{
    if (!m_helpMenu) {
        m_helpMenu = new QMenu(tr("&Help"));
        m_helpMenu->setObjectName(QStringLiteral("helpMenu"));
        m_helpMenu->addAction(tr("Quintora Help"), this, &VOReruRerAppDelegate::gotoHelpPageAction)
            ->setObjectName(QStringLiteral("helpPageAction"));
        m_helpMenu->addAction(tr("Quintora Website"), this,
                              &VOReruRerAppDelegate::gotoProductPageAction);
        m_helpMenu->addAction(tr("Graffletopia Stencils"), this,
                              &VOReruRerAppDelegate::gotoGraffletopiaAction);
        m_helpMenu->addAction(tr("Quintora on Twitter"), this,
                              &VOReruRerAppDelegate::gotoTwitterAction);
        m_helpMenu->addAction(tr("Cisco Icon Reference"), this,
                              &VOReruRerAppDelegate::ciscoClipartReference);
        m_helpMenu->addSeparator();
        m_helpMenu->addAction(tr("Send Feedback…"), this,
                              &VOReruRerAppDelegate::gotoEmailForFeedbackAction);
        m_helpMenu->addSeparator();
        _checkNewsMenuItem = m_helpMenu->addAction(tr("Check for News…"), this,
                                                   [] { QXNews::sharedNews().checkNews(); });
        _checkNewsMenuItem->setObjectName(QStringLiteral("checkNewsAction"));
        _menuItemCheckForUpdates = m_helpMenu->addAction(
            tr("Check for Updates…"), this, &VOReruRerAppDelegate::checkForUpdatesAction);
        _menuItemCheckForUpdates->setObjectName(QStringLiteral("checkForUpdatesAction"));
        m_helpMenu->addSeparator();
        QMenu *crashReporting = QntCrashReporting::makeMenu(m_helpMenu);
        m_helpMenu->addMenu(crashReporting);
        connect(m_helpMenu.data(), &QMenu::aboutToShow, crashReporting,
                [crashReporting] { QntCrashReporting::updateMenu(crashReporting); });
        m_helpMenu->addSeparator();
        QAction *about =
            m_helpMenu->addAction(tr("About Quintora"), this, &VOReruRerAppDelegate::showAboutBox);
        about->setObjectName(QStringLiteral("aboutAction"));
        about->setMenuRole(QAction::AboutRole);
    }
    return m_helpMenu;
}

void VOReruRerAppDelegate::installApplicationMenus(QMenuBar *menuBar, ApplicationMenus menus)
{
    if (!menuBar)
        return;
    // Preferences at the foot of the window's Edit menu, the application's own editors and
    // libraries at the foot of its Window menu: none of them needs a drawing.
    QMenu *edit = menuOfBar(menuBar, QStringLiteral("editMenu"));
    if (edit && !edit->findChild<QAction *>(QStringLiteral("preferencesAction"))) {
        if (!edit->isEmpty())
            edit->addSeparator();
        QAction *preferences = addDelegateItem(edit, tr("Preferences…"), "preferencesAction",
                                               &VOReruRerAppDelegate::openPreferences);
        preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
        preferences->setMenuRole(QAction::PreferencesRole);
    }
    QMenu *panels = menuOfBar(menuBar, QStringLiteral("panelsMenu"));
    if (panels && !panels->findChild<QAction *>(QStringLiteral("styleManagerAction"))) {
        if (!panels->isEmpty())
            panels->addSeparator();
        addDelegateItem(panels, tr("Style &Manager"), "styleManagerAction",
                        &VOReruRerAppDelegate::showStyleManagerDialog);
        addDelegateItem(panels, tr("&Image Bank"), "imageBankAction",
                        &VOReruRerAppDelegate::openImageBankManager);
        addDelegateItem(panels, tr("Colour Scheme &Editor"), "colorSchemeEditorAction",
                        &VOReruRerAppDelegate::showColorSchemeEditor);
        addDelegateItem(panels, tr("&Drawing Switches"), "drawingSwitchesAction",
                        &VOReruRerAppDelegate::showDrawingSwitches);
    }
    const auto addOnce = [menuBar](QMenu *menu) {
        if (!menuBar->actions().contains(menu->menuAction()))
            menuBar->addMenu(menu);
    };
    if (menus == ApplicationMenus::ForDrawing) {
        if (!m_notationsMenu) {
            m_notationsMenu = new QMenu(tr("&Notations"));
            m_notationsMenu->setObjectName(QStringLiteral("notationsMenu"));
            m_notationsMenu->addMenu(importedMenu());
            m_notationsMenu->addMenu(umlMenu());
        }
        addOnce(m_notationsMenu);
        addOnce(toolsMenu());
    }
    // Last, also when a delegate made after the window's first showing brings its own.
    addOnce(helpMenu());
}

void VOReruRerAppDelegate::populateImportedMenu()
{
    populateNotationMenu(importedMenu(), QStringLiteral("Imported"), false);
}

void VOReruRerAppDelegate::populateUMLMenu()
{
    populateNotationMenu(umlMenu(), QStringLiteral("UML"), true);
}

void VOReruRerAppDelegate::populateNotationMenu(QMenu *menu, const QString &word, bool uml)
{
    while (!menu->actions().isEmpty()) {
        QAction *item = menu->actions().constFirst();
        menu->removeAction(item);
        if (item->parent() == menu)
            delete item;
    }
    for (const QVariantMap &notation : QntNotation::notations()) {
        const QString path = notation.value(QStringLiteral("notationPath")).toString();
        if (!path.contains(word, Qt::CaseSensitive) || !path.endsWith(QLatin1String(".db")))
            continue;
        const QString title =
            QFileInfo(notation.value(QStringLiteral("notationName")).toString()).completeBaseName();
        QAction *item = menu->addAction(title);
        item->setData(path);
        connect(item, &QAction::triggered, this,
                [this, item, uml] { addNotationIntoCurrentDocument(item, uml); });
    }
}

void VOReruRerAppDelegate::addImportedIntoCurrentDocument(QAction *sender)
{
    addNotationIntoCurrentDocument(sender, false);
}

void VOReruRerAppDelegate::addUMLIntoCurrentDocument(QAction *sender)
{
    addNotationIntoCurrentDocument(sender, true);
}

int VOReruRerAppDelegate::notationCopiesInProgress() const
{
    return m_copiesInProgress;
}

void VOReruRerAppDelegate::addNotationIntoCurrentDocument(QAction *sender, bool uml)
{
    // The document is taken now: switching windows during the copy must not send the shapes
    // elsewhere. Without a document there is nothing to copy into.
    auto *document = qobject_cast<DIDizeZoziDocument *>(
        DocumentController::sharedDocumentController().currentDocument());
    if (!document || !sender)
        return;
    const QString path = sender->data().toString();
    const QString key = sender->text();

    auto *panel = new QDialog(document->windowForSheet());
    panel->setObjectName(QStringLiteral("progressPanel"));
    panel->setWindowModality(document->windowForSheet() ? Qt::WindowModal : Qt::ApplicationModal);
    auto *layout = new QVBoxLayout(panel);
    auto *label = new QLabel(tr("Adding “%1”…").arg(key), panel);
    auto *indicator = new QProgressBar(panel);
    indicator->setRange(0, 0);
    layout->addWidget(label);
    layout->addWidget(indicator);
    _progressPanel = panel;
    _progressPanelLabel = label;
    _progressPanelIndicator = indicator;
    panel->open();
    ++m_copiesInProgress;

    QPointer<DIDizeZoziDocument> target(document);
    QPointer<QWidget> progress(panel);
    QPointer<VOReruRerAppDelegate> self(this);
    QThread *thread = QThread::create([self, target, progress, path, key, uml] {
        VRObjectList elements;
        {
            // A notation that cannot be read gives an empty list.
            QntNotation notation(path);
            const QList<QntElementRecord> records =
                uml ? notation.allElementsAsPrototypesList() : notation.importedElementsList();
            for (const QntElementRecord &record : records) {
                if (record.prototype)
                    elements.append(record.prototype);
            }
        }
        if (!self)
            return;
        QMetaObject::invokeMethod(
            self.data(),
            [self, target, progress, key, elements, uml] {
                if (self)
                    self->finishCopying(target.data(), key, elements, uml, progress.data());
            },
            Qt::BlockingQueuedConnection);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void VOReruRerAppDelegate::finishCopying(DIDizeZoziDocument *document, const QString &key,
                                         const VRObjectList &elements, bool uml,
                                         QWidget *progressPanel)
{
    --m_copiesInProgress;
    // The document may have been closed while its notation was read.
    if (document && document->drawing()) {
        if (uml)
            document->drawing()->registerExtraNotations();
        document->drawing()->setImportedElements(elements, key);
        document->loadNotationElements();
    }
    if (progressPanel) {
        progressPanel->hide();
        progressPanel->deleteLater();
    }
    emit notationCopyFinished(document, key);
}

void VOReruRerAppDelegate::selectDrawingTool(QAction *sender)
{
    auto *document = qobject_cast<VRDrawingDocument *>(
        DocumentController::sharedDocumentController().currentDocument());
    if (document && document->mainView())
        document->mainView()->selectDrawingTool(sender);
}

void VOReruRerAppDelegate::setHiddenSwitchSequenceDiagramMenuItem(bool hidden)
{
    if (_switchSequenceDiagramMenuItem)
        _switchSequenceDiagramMenuItem->setVisible(!hidden);
}

void VOReruRerAppDelegate::setHiddenSwitchSequenceDiagramMenuItemTitle(const QString &title)
{
    if (_switchSequenceDiagramMenuItem)
        _switchSequenceDiagramMenuItem->setText(title);
}

// ---- Mermaid resources ---------------------------------------------------------------------

namespace {

const QString kMermaidStylesheet = QStringLiteral("mermaid.forest.css");

// The new copy replaces the old file only once it is whole.
bool replaceFile(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            out.cancelWriting();
            return false;
        }
        if (out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            return false;
        }
    }
    if (!out.commit())
        return false;
    AtomicFile::syncFolder(QFileInfo(target).absolutePath());
    // The copy carries the time of the file it copies, which tells a later launch it is whole.
    QFile copy(target);
    if (copy.open(QIODevice::ReadOnly))
        copy.setFileTime(QFileInfo(source).lastModified(), QFileDevice::FileModificationTime);
    return true;
}

// A copy made by replaceFile() that nothing has changed since: of the same size and time as the
// file it was made from.
bool isUnchangedCopy(const QFileInfo &source, const QString &target)
{
    const QFileInfo copy(target);
    return copy.isFile() && copy.size() == source.size()
           && copy.lastModified() == source.lastModified();
}

void copyMermaidFolder(const QDir &source, const QString &target, bool rewriteAll, bool top)
{
    const QFileInfoList entries = source.entryInfoList(
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QString destination = target + QLatin1Char('/') + entry.fileName();
        if (entry.isDir()) {
            if (QDir().mkpath(destination))
                copyMermaidFolder(QDir(entry.filePath()), destination, rewriteAll, false);
            else
                qCWarning(lcApp).noquote() << "cannot make the Mermaid folder" << destination;
            continue;
        }
        // The user may have edited the stylesheet: it stays unless everything is rewritten.
        if (top && entry.fileName() == kMermaidStylesheet && !rewriteAll
            && QFileInfo::exists(destination))
            continue;
        // Megabytes of scripts are not written again (and flushed to the disk) at every launch.
        if (!rewriteAll && isUnchangedCopy(entry, destination))
            continue;
        if (!replaceFile(entry.filePath(), destination))
            qCWarning(lcApp).noquote() << "cannot install the Mermaid file" << destination;
    }
}

} // namespace

QString VOReruRerAppDelegate::mermaidSupportFolder()
{
    return QntPaths::applicationSupportFolder() + QStringLiteral("/Mermaid");
}

void VOReruRerAppDelegate::copyMermaidSrcFromBundleToAppSupportFolderRewriteAll(bool rewriteAll)
{
    const QString target = mermaidSupportFolder();
    if (!QDir().mkpath(target)) {
        qCWarning(lcApp).noquote() << "cannot make the Mermaid folder" << target;
        return;
    }
    const QDir source(QntPaths::bundleResourcesPath() + QStringLiteral("/Mermaid"));
    if (!source.exists())
        return;
    copyMermaidFolder(source, target, rewriteAll, true);
}

// ---- links ---------------------------------------------------------------------------------

namespace {

const QString kFeedbackAddress = QStringLiteral("support@quintora.app");
const QString kFeedbackSubject = QStringLiteral("Quintora Feedback");

} // namespace

QUrl VOReruRerAppDelegate::helpPageURL()
{
    return QUrl(QStringLiteral("https://quintora.app/help"));
}

QUrl VOReruRerAppDelegate::productPageURL()
{
    return QUrl(QStringLiteral("https://quintora.app"));
}

QUrl VOReruRerAppDelegate::graffletopiaURL()
{
    return QUrl(QStringLiteral("https://www.graffletopia.com"));
}

QUrl VOReruRerAppDelegate::twitterURL()
{
    return QUrl(QStringLiteral("https://twitter.com/quintoraapp"));
}

QUrl VOReruRerAppDelegate::feedbackMailURL()
{
    const QString text =
        QStringLiteral("mailto:%1?%2&")
            .arg(QString::fromLatin1(QUrl::toPercentEncoding(kFeedbackAddress, "@")),
                 QStringLiteral("SUBJECT=%1")
                     .arg(QString::fromLatin1(QUrl::toPercentEncoding(kFeedbackSubject))));
    return QUrl(text, QUrl::StrictMode);
}

namespace {

VOReruRerAppDelegate::URLOpener &urlOpener()
{
    static VOReruRerAppDelegate::URLOpener opener = [](const QUrl &url) {
        return QDesktopServices::openUrl(url);
    };
    return opener;
}

} // namespace

QPointer<QMessageBox> VOReruRerAppDelegate::s_urlFailureAlert;
QPointer<QDialog> VOReruRerAppDelegate::s_aboutBox;

void VOReruRerAppDelegate::setURLOpener(URLOpener opener)
{
    urlOpener() =
        opener ? std::move(opener) : [](const QUrl &url) { return QDesktopServices::openUrl(url); };
}

void VOReruRerAppDelegate::openURL(const QUrl &url)
{
    if (urlOpener()(url))
        return;
    qCWarning(lcApp).noquote() << "cannot open" << url.toString();
    // Without a browser, mail program or viewer the user is told instead of nothing happening.
    const QString what = url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile())
                         : url.scheme() == QLatin1String("mailto") ? url.path()
                                                                   : url.toString();
    const QString reason = url.scheme() == QLatin1String("mailto")
                               ? tr("No mail program is set up to write to %1.")
                           : url.isLocalFile() ? tr("No program is set up to show %1.")
                                               : tr("No web browser is set up to open %1.");
    reportLinkFailure(reason.arg(what));
}

void VOReruRerAppDelegate::reportLinkFailure(const QString &text)
{
    delete s_urlFailureAlert.data();
    auto *alert = new QMessageBox(QMessageBox::Warning, tr("Cannot open the link"), text,
                                  QMessageBox::Ok, QApplication::activeWindow());
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(alert->parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
    s_urlFailureAlert = alert;
    alert->open();
}

QMessageBox *VOReruRerAppDelegate::urlFailureAlert()
{
    return s_urlFailureAlert;
}

void VOReruRerAppDelegate::gotoHelpPageAction()
{
    openURL(helpPageURL());
}

void VOReruRerAppDelegate::gotoProductPageAction()
{
    openURL(productPageURL());
}

void VOReruRerAppDelegate::gotoGraffletopiaAction()
{
    openURL(graffletopiaURL());
}

void VOReruRerAppDelegate::gotoTwitterAction()
{
    openURL(twitterURL());
}

void VOReruRerAppDelegate::gotoEmailForFeedbackAction()
{
    openURL(feedbackMailURL());
}

void VOReruRerAppDelegate::ciscoClipartReference()
{
    const QString path =
        QntPaths::bundleResourcesPath() + QStringLiteral("/Cisco_Icon_Library.pdf");
    if (!QFileInfo::exists(path)) {
        qCWarning(lcApp).noquote() << "the Cisco icon reference is not installed:" << path;
        reportLinkFailure(tr("The Cisco icon reference is not installed."));
        return;
    }
    openURL(QUrl::fromLocalFile(path));
}

void VOReruRerAppDelegate::showAboutBox()
{
    if (s_aboutBox) {
        s_aboutBox->raise();
        s_aboutBox->activateWindow();
        return;
    }
    auto *box = new QDialog(QApplication::activeWindow(),
                            Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    box->setObjectName(QStringLiteral("aboutBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(tr("About Quintora"));
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(32, 24, 32, 16);
    layout->setSpacing(8);
    auto *name = new QLabel(tr("Quintora"), box);
    name->setObjectName(QStringLiteral("aboutName"));
    QFont large = name->font();
    large.setBold(true);
    large.setPointSizeF(large.pointSizeF() * 1.6);
    name->setFont(large);
    layout->addWidget(name, 0, Qt::AlignHCenter);
    const QString version = QCoreApplication::applicationVersion();
    if (!version.isEmpty()) {
        auto *shown = new QLabel(tr("Version %1").arg(version), box);
        shown->setObjectName(QStringLiteral("aboutVersion"));
        shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(shown, 0, Qt::AlignHCenter);
    }
    layout->addSpacing(12);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, box);
    buttons->setCenterButtons(true);
    connect(buttons, &QDialogButtonBox::accepted, box, &QDialog::accept);
    layout->addWidget(buttons);
    // Wide enough for the window manager's title bar to show the whole title beside its buttons.
    const QFontMetrics metrics(box->font());
    const int wide = std::max(metrics.horizontalAdvance(box->windowTitle()) * 3,
                              metrics.averageCharWidth() * 40);
    const QSize hint = box->sizeHint();
    box->setFixedSize(std::max(hint.width(), wide), hint.height());
    s_aboutBox = box;
    box->show();
}

QDialog *VOReruRerAppDelegate::aboutBox()
{
    return s_aboutBox;
}

void VOReruRerAppDelegate::addElementToDB()
{
    QntNotation::loadAllToDB(false);
}
