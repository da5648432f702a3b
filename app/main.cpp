#include "app/launch/QntApplicationMain.h"

int main(int argc, char **argv)
{
    return QntApplicationMain(argc, argv);
}
