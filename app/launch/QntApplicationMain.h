#pragma once

// The process entry of the application: makes the application object, hands the arguments
// to an instance already running (and ends), or launches, runs the event loop and quits
// cleanly on Quit and on SIGTERM. Returns the exit status.
int QntApplicationMain(int argc, char **argv);

class QntDocumentController;
class TerminationSignals;
class VOReruRerAppDelegate;

// Quitting, by the Quit command or a termination signal, keeps the open documents for the
// next launch and then runs the delegate's termination. A termination signal quits through
// the Quit command's own path, so both leave the same settings behind.
void installTerminationHandling(QntDocumentController &documentController,
                                VOReruRerAppDelegate &delegate,
                                TerminationSignals *terminationSignals = nullptr);
