// The main configurator's entry; the start-up itself lives in the window
// library, where the tests run it too.
#include "mainwindow/ApplicationStartup.h"

int main(int argc, char **argv)
{
    return lumex::RunLumex2(argc, argv);
}
