// The program's entry point: the framework starts, _Main runs, the framework's exit status
// becomes the process's.
#include "Startup.h"

#include "rb/application.h"

int main(int argc, char **argv) {
    rb::RuntimeInit(argc, argv);
    _Main();
    return rb::RuntimeExit();
}
