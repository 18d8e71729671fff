#include "program-shell.h"

#include "PluginEntrypoints.h"
#include "Startup.h"

#include "rb/application.h"
#include "rb/runtime.h"
#include "rb/testdriver.h"

#include <cstdio>
#include <cstdlib>
#include <string>

void StartProgramShell(bool testMode) {
    static bool started = false;
    if (started)
        return;
    started = true;

    if (testMode) {
        rb::testdriver::Start();
    } else {
        static char name[] = "vellumet";
        static char *argv[] = {name, nullptr};
        rb::RuntimeInit(1, argv);
    }
    rb::RuntimeInitExternalClasses();
    _InitPluginEntrypoints();
    const std::string missing = FirstMissingPluginEntrypoint();
    if (!missing.empty()) {
        std::fprintf(stderr, "The plug-ins in bin/plugins do not register \"%s\".\n",
                     missing.c_str());
        std::exit(2);
    }
    _InitFileTypes();
    _NewAppInstance();
    _ApplicationAddMenuHandlers();
}
