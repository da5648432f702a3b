#pragma once

class QntDocumentController;

// The one document controller of this test program, made before the first test runs, as the
// application makes its own before anything else. The start-up window, the menus and the
// documents reach the controller through DocumentController::sharedDocumentController(), so a
// test holding a controller of its own would never see the documents those make.
// Errors are not shown and closing never asks (closes without saving). A test that quits
// leaves the next test a fresh controller, as quitting cannot be undone.
QntDocumentController &testDocumentController();

// The program's set-up, called by its main before the first test: the controller is made
// before any test runs, and after each test the shared windows are as a fresh launch has them.
void installTestDocumentController();
