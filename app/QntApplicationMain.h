#pragma once

// The process entry of the application: makes the application object, hands the arguments
// to an instance already running (and ends), or launches, runs the event loop and quits
// cleanly on Quit and on SIGTERM. Returns the exit status.
int QntApplicationMain(int argc, char **argv);
