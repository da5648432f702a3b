#include "TestDocumentController.h"

#include "app/launch/VOReruRerAppDelegate.h"
#include "common/QtTestProgram.h"

#include <QAction>

// The main of the application's test programs (the app and library tests): as at the
// application's launch, the factory defaults are registered before anything else, and every
// test finds the one document controller the application would make first.
int main(int argc, char **argv)
{
    return qnt::test::runQtTestProgram(argc, argv, [] {
        VOReruRerAppDelegate::initialize();
        installTestDocumentController();
    });
}
