#include "TestDocumentController.h"

#include "common/QtTestProgram.h"

// The main of the application's test programs (the app and library tests): every test finds
// the one document controller the application would make first.
int main(int argc, char **argv)
{
    return qnt::test::runQtTestProgram(argc, argv, installTestDocumentController);
}
