#pragma once

#include "app/panels/QXNewsDelegate.h"
#include "framework/base/VRTypes.h"
#include "framework/notations/QntNotation.h"
#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QAction;
class QCheckBox;
class QDialog;
class QLabel;
class QMenu;
class QMenuBar;
class QMessageBox;
class QProgressBar;
class QScrollArea;
class QTextEdit;
class QUrl;
class QWidget;
class DIDizeZoziDocument;
class DIDizeZoziPrefsController;
class QntColorSchemeEditor;
class QntConnectorModeInspector;
class QntElementModeInspector;
class QntGroupModeInspector;
class QntImagesBankController;
class QntPreferenceController;
class QntUndoInspector;
class SingleInstance;
class VKLayersPaletteController;
class VKObjectInspector;
class VKStyleInspector;
class VKStyleManagerDialog;
class VKToolPalette;

// The application delegate: launch, the quintora:// URL handler, the answers that keep the
// application free of untitled documents and alive without windows, and termination.
// One instance, on the GUI thread.
class VOReruRerAppDelegate : public QObject, public QXNewsDelegate
{
    Q_OBJECT
public:
    // Registers the application's defaults (once per process), before any setting is read.
    static void initialize();

    explicit VOReruRerAppDelegate(QObject *parent = nullptr);
    ~VOReruRerAppDelegate() override;

    // The one delegate of the running application; null before it is made.
    static VOReruRerAppDelegate *sharedDelegate();

    // The local socket that other instances hand their URLs to (not owned); set before launch.
    void setInstanceServer(SingleInstance *server);

    void applicationWillFinishLaunching();
    // Removes the temporary files that writes cut short left beside the documents this
    // application knows of and in its own folders; answers their paths.
    static QStringList removeLeftoverTemporaryFiles();
    // Shows the start-up window (where wanted) and starts the telemetry client; what the
    // window does not show follows with completeLaunch() once it is painted.
    void applicationDidFinishLaunching();
    // The rest of the launch: checks and installs the notations, registers the built-in
    // libraries, opens the image bank, fills the notation and tool menus, applies the
    // recorded shortcuts and makes the preferences. Runs once, after the start-up window's
    // first paint, or at once when a document is made before that.
    void completeLaunch();
    bool launchIsComplete() const;
    // How long the rest of the launch waits at most for the start-up window's first paint.
    static constexpr int kLaunchCompletionDelayMs = 1000;

    // A URL event: the text after the first "quintora://" is the percent-encoded path of a
    // document of this application. Anything else is ignored with a log line.
    void handleGetURLEvent(const QString &eventText);
    // A file handed to the application (from the command line, the desktop or another
    // instance); one that cannot be opened is refused with a message naming it.
    void handleOpenFile(const QString &path);
    // One message from another instance: a URL, a file, or nothing (a plain relaunch).
    void handleInstanceMessage(const QString &message);

    // The path a quintora:// URL names, or nothing when the text holds no such URL, does not
    // decode as UTF-8 or names no absolute path.
    static std::optional<QString> pathFromURLEventText(const QString &eventText,
                                                       QString *reason = nullptr);
    // Whether a path is an existing document of this application; the reason when not, for the
    // log, and a sentence that tells the user, naming the file.
    // What the user is told at launch about a damaged settings file or notation database that
    // was set aside.
    static QString settingsSetAsideMessage(const QString &keptAs);
    static QString notationSetAsideMessage(const QntNotation::SetAsideNotation &notation);
    static bool isOpenableDocument(const QString &path, QString *reason = nullptr,
                                   QString *userMessage = nullptr);

    bool applicationShouldOpenUntitledFile();
    bool applicationShouldTerminateAfterLastWindowClosed() const;
    void applicationWillTerminate();

    // The Quit command of every window: asks about each edited document once (Save / Don't
    // Save / Cancel) and quits unless the user cancelled or a save failed. True when the
    // application quits, also when a termination signal ended the question.
    bool terminate();
    // Quits without a question, as a logout or a `kill` asks: the edits of every edited
    // document go to its recovery copy, which the next launch reopens marked edited; no
    // document's own file is written. Boxes that are up are dismissed unanswered, also at
    // launch before the event loop runs, and each repeated signal quits again.
    void terminateKeepingUnsavedChanges();
    // Set from the moment a quit was agreed on.
    bool isQuitting() const { return m_quitting; }

    bool isTerminating() const;
    void setIsTerminating(bool terminating);
    bool applicationHasStarted() const;

    static QntConnectorModeInspector *sharedConnectorModeInspector();
    static QntImagesBankController *sharedImagesBankController();
    // Shows the image bank's window, loading its pictures when it has none yet.
    void openImageBankManager();
    // Gives a window of its own (no File menu) the application's keys: Quit, Save, Save As.
    void giveApplicationKeysTo(QWidget *window);
    QntElementModeInspector *elementModeInspector() const;
    // The panel of a multiple selection; null until a multiple selection first asked for it.
    QntGroupModeInspector *groupModeInspector() const;
    void openElementModeInspector();
    void openConnectorModeInspector();
    // Shared panels, made on first use. The show… commands toggle: a visible panel is put
    // away, else it is opened; open… makes the panel if needed and shows it.
    void showToolPalette();
    void showObjectInspector();
    void showUndoInspector();
    void showLayersPalette();
    void showStyleInspector();
    void openStyleInspector();
    // Makes the style manager if needed and shows it.
    void showStyleManagerDialog();
    // The drawing switches panel (quality while dragging, undoable selections, object
    // storage, size info while dragging), a toggle like the other panels.
    void showDrawingSwitches();
    DIDizeZoziPrefsController *drawingSwitches() const { return mDrawingSwitches; }
    void openObjectInspector();
    void openLayersPalette();
    void openUndoInspector();
    VKToolPalette *toolPalette() const { return mToolPalette; }
    VKObjectInspector *objectInspector() const { return mObjectInspector; }
    QntUndoInspector *undoInspector() const { return mUndoInspector; }
    VKLayersPaletteController *layersPalette() const { return mLayersController; }
    VKStyleInspector *styleInspector() const { return mStyleInspector; }
    VKStyleManagerDialog *styleManager() const { return mStyleManager; }

    // The preferences window: made with the document's drawing the first time, afterwards
    // prepared with it. openPreferences shows it for the current document.
    QntPreferenceController *initPrefsController(DIDizeZoziDocument *document);
    QntPreferenceController *prefsController() const { return mPrefsController; }
    void openPreferences();
    // The colour-scheme editor of the notation databases, made on first use.
    void showColorSchemeEditor();
    void openColorSchemeEditor();
    QntColorSchemeEditor *colorSchemeEditor() const { return mColorSchemeEditor; }
    void checkForUpdatesAction();

    bool iCloudIsAvailable() const;
    QString OSVersion() const;
    bool isAppSandboxed() const;
    QString optionsForQXNews() override;

    // The start-up rule: QntShowStyleSchooserAfterStart absent, or present and non-zero.
    static bool startUpWindowWanted();

    // Notification handlers of the application's panels.
    void drawingToolRegistrationNote(const Notification &notification);
    void openInfoPanel(const Notification &notification);
    void hideInfoPanel(const Notification &notification);
    void toolChangedNotification(const Notification &notification);
    void openGroupModeInspector(const Notification &notification);

    // ---- palettes that follow the open documents ----
    // Shows the tool palette and remembers it as open.
    void openToolPalette();
    // Puts the tool palette away without recording it as closed.
    void hideToolPalette();
    // The layers palette does not exist here yet: only announced.
    void hideLayersPalette();

    // ---- menus ----
    // The Imported and UML notation menus and the menu of registered drawing tools, made on
    // first use and owned by the delegate; every window's menu bar shows the same menus.
    QMenu *importedMenu();
    QMenu *umlMenu();
    QMenu *userToolMenu();
    // The Tools menu: the smart polyline and smart orthogonal connector tools (they choose the
    // connector tool with automatic routing 4 or 3) and the menu of registered drawing tools;
    // hidden until the launch has finished.
    QMenu *toolsMenu();
    QAction *toolsMenuItem() const { return _toolsMenuItem; }
    QAction *smartPolylineMenuItem() const { return _smartPolylineMenuItem; }
    QAction *smartOrthogonalMenuItem() const { return _smartOrthogonalMenuItem; }
    static constexpr int kSmartOrthogonalRouting = 3;
    static constexpr int kSmartPolylineRouting = 4;
    void selectSmartConnectorTool(int routing);
    // Which of the application's menus a window's menu bar offers: a window without a
    // drawing (the start-up window) gets only those that need none.
    enum class ApplicationMenus { ForDrawing, WithoutDrawing };
    // Adds the application's own menus and items to a window's menu bar: Preferences at the
    // foot of its Edit menu ("editMenu"), the style manager, image bank and colour scheme
    // editor at the foot of its Window menu ("panelsMenu"), the Notations and Tools menus for a
    // drawing, and the Help menu last. Items already there are not added again, so a window
    // may ask at each showing.
    void installApplicationMenus(QMenuBar *menuBar,
                                 ApplicationMenus menus = ApplicationMenus::ForDrawing);
    QMenu *helpMenu();
    // Rebuilt from scratch from the installed notations.
    void populateImportedMenu();
    void populateUMLMenu();
    // Copy the chosen notation's shapes into the current document: the database is read on a
    // worker thread while a progress sheet covers the window; the drawing and its library
    // change on this thread only, and always in the document that was current at the command.
    void addImportedIntoCurrentDocument(QAction *sender);
    void addUMLIntoCurrentDocument(QAction *sender);
    // How many notation copies are still running.
    int notationCopiesInProgress() const;

    void setHiddenSwitchSequenceDiagramMenuItem(bool hidden);
    void setHiddenSwitchSequenceDiagramMenuItemTitle(const QString &title);

    // ---- Mermaid resources ----
    // The user's Mermaid folder: <Application Support>/Mermaid.
    static QString mermaidSupportFolder();
    // Installs the bundle's Mermaid files in the user's folder. Every file is replaced, except
    // the user's stylesheet "mermaid.forest.css", which is only replaced when rewriteAll is set
    // (or written when missing). A file is replaced only once its new copy is complete.
    static void copyMermaidSrcFromBundleToAppSupportFolderRewriteAll(bool rewriteAll);

    // ---- links ----
    static QUrl helpPageURL();
    static QUrl productPageURL();
    static QUrl graffletopiaURL();
    static QUrl twitterURL();
    static QUrl feedbackMailURL();
    void gotoHelpPageAction();
    void gotoProductPageAction();
    void gotoGraffletopiaAction();
    void gotoTwitterAction();
    void gotoEmailForFeedbackAction();
    void ciscoClipartReference();
    // How links are handed to the desktop (a browser, mail program or viewer); answers whether
    // one took the link. A link nobody takes is reported in a message box. Null restores the
    // desktop's handler.
    using URLOpener = std::function<bool(const QUrl &)>;
    static void setURLOpener(URLOpener opener);
    // The message about the last link that could not be opened, while it is shown.
    static QMessageBox *urlFailureAlert();
    // The application's name and version in a small window of their own; asked again while it
    // is open, it comes to the front.
    void showAboutBox();
    // The about box, while it is open.
    static QDialog *aboutBox();
    // Developer maintenance: rebuilds the user's notation databases from their sources.
    void addElementToDB();

signals:
    // A document of this application was asked for by URL or file; emitted before it opens.
    void documentOpenRequested(const QString &path);
    // The shared palettes were opened or put away.
    void toolPaletteOpened();
    void toolPaletteHidden();
    void layersPaletteHidden();
    // A notation copy ended and its shapes are in the document's drawing under the key.
    void notationCopyFinished(DIDizeZoziDocument *document, const QString &key);

private:
    // Sets damaged notation databases aside and installs the shipped ones; once.
    void installNotations();
    void openDocumentAtPath(const QString &path);
    void followActivationForAnalytics();
    void populateNotationMenu(QMenu *menu, const QString &word, bool uml);
    void addNotationIntoCurrentDocument(QAction *sender, bool uml);
    void finishCopying(DIDizeZoziDocument *document, const QString &key,
                       const VRObjectList &elements, bool uml, QWidget *progressPanel);
    void selectDrawingTool(QAction *sender);
    static void openURL(const QUrl &url);
    static void reportLinkFailure(const QString &text);
    static QPointer<QMessageBox> s_urlFailureAlert;
    static QPointer<QDialog> s_aboutBox;

    // Fields in the order the application's panels need them; panels are made on first use.
    VKStyleInspector *mStyleInspector = nullptr;
    QntElementModeInspector *mElementModeInspector = nullptr;
    QntGroupModeInspector *mGroupModeInspector = nullptr;
    QntColorSchemeEditor *mColorSchemeEditor = nullptr;
    QntUndoInspector *mUndoInspector = nullptr;
    VKToolPalette *mToolPalette = nullptr;
    VKObjectInspector *mObjectInspector = nullptr;
    VKLayersPaletteController *mLayersController = nullptr;
    VKStyleManagerDialog *mStyleManager = nullptr;
    DIDizeZoziPrefsController *mDrawingSwitches = nullptr;
    QntPreferenceController *mPrefsController = nullptr;
    QPointer<QMenu> mUserToolMenu;
    QPointer<QMenu> m_toolsMenu;
    bool _applicationHasStarted = false;
    bool m_launchCompleted = false;
    bool m_notationsInstalled = false;
    // Set aside by installNotations(), told by completeLaunch().
    QList<QntNotation::SetAsideNotation> m_damagedNotations;
    QPointer<QWidget> _infoPanel;
    QPointer<QTextEdit> _infoPanelText;
    QPointer<QScrollArea> _infoPanelBWTransparentScrollView;
    QPointer<QCheckBox> _infoPanelDontShowCheckbox;
    QPointer<QAction> _menuItemCheckForUpdates;
    QPointer<QMenu> _menuItemAddImported;
    QPointer<QMenu> _menuItemAddUML;
    QPointer<QWidget> _progressPanel;
    QPointer<QProgressBar> _progressPanelIndicator;
    QPointer<QLabel> _progressPanelLabel;
    bool m_isTerminating = false;
    bool m_applicationWasActive = false;
    bool m_quitting = false;
    QPointer<QObject> m_modalWindowDismisser;
    bool m_applicationLoopEnded = false;
    bool m_toolMenuRebuildScheduled = false;
    QPointer<QAction> _toolsMenuItem;
    QPointer<QAction> _smartPolylineMenuItem;
    QPointer<QAction> _smartOrthogonalMenuItem;
    QPointer<QAction> _switchSequenceDiagramMenuItem;
    QPointer<QAction> _checkNewsMenuItem;

    int m_copiesInProgress = 0;
    QPointer<QMenu> m_notationsMenu;
    QPointer<QMenu> m_helpMenu;
    QPointer<SingleInstance> m_instanceServer;
    std::vector<NotificationToken> m_observers;
};
