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
    // is hidden while the kit is not running; a command that would do nothing in the current
    // state (crash reporting switched off by the settings, no crash handlers under a debugger,
    // error reporting off, analytics not running) is disabled with a tooltip that says why.
    static QMenu *makeMenu(QWidget *parent);
    // What the kit does in this launch, as the submenu shows it.
    struct Availability {
        bool kitStarted = false; // an API key is configured and the kit runs
        bool values = false;     // user values and custom keys are recorded
        bool errors = false;     // errors are recorded
        bool crashes = false;    // crashes are recorded
        bool events = false;     // usage analytics takes events
        static Availability current();
    };
    // Updates the visibility of a menu made by makeMenu and what its commands offer, for the
    // current state or the one given.
    static void updateMenu(QMenu *menu);
    static void updateMenu(QMenu *menu, const Availability &state);

    // The test crash on a worker thread: an invalid memory access (SIGSEGV) there.
    static void crashInWorkerThread();
};
