#pragma once

#include <QObject>

class QMenu;

// Quintora's side of the crash kit: the delegate that asks the user, in a dialog, whether to send
// an earlier launch's crash report (where the downloaded settings ask for a prompt) and notes each
// earlier launch's report in the diagnostics log (category quintora.crashreporting), the
// application's active state for the reports, and the Help menu's Crash Reporting submenu, which
// is shown only while the kit runs (a build configured with an API key).
class QntCrashReporting : public QObject
{
    Q_OBJECT
public:
    // Hands the kit its delegate and follows the application's active state. Call once, before
    // the telemetry client starts.
    static void install();
    // The Crash Reporting submenu: user identifier, custom key, a test event (handed to usage
    // analytics), a recorded test error, and the test crashes (a trap, an uncaught exception
    // recorded before the trap, and an invalid memory access on a worker thread). Its menu action
    // is hidden while the kit is not running.
    static QMenu *makeMenu(QWidget *parent);
    // Updates the visibility of a menu made by makeMenu.
    static void updateMenu(QMenu *menu);

    // The test crash on a worker thread: an invalid memory access (SIGSEGV) there.
    static void crashInWorkerThread();
};
