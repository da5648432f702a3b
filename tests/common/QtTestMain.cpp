#include "common/QtTestProgram.h"

// The main of the test programs with a Qt application that need no set-up of their own.
int main(int argc, char **argv)
{
    return qnt::test::runQtTestProgram(argc, argv);
}
