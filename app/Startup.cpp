#include "Startup.h"

#include "App.h"
#include "FileTypes.h"
#include "MenuBar1.h"
#include "PluginEntrypoints.h"

#include "rb/application.h"
#include "rb/runtime.h"

#include <exception>

void _InitFileTypes() { FileTypes::_Initialize(); }

void _NewAppInstance() {
    auto app = rb::New<class App>();
    app->MajorVersion = VELLUMET_VERSION_MAJOR;
    app->MinorVersion = VELLUMET_VERSION_MINOR;
    app->BugVersion = VELLUMET_VERSION_BUG;
    app->ShortVersion = VELLUMET_VERSION_SHORT;
    app->SetMenuBar(MenuBar1());
    rb::RuntimeRegisterAppObject(app);
}

void _ApplicationAddMenuHandlers() {
    class App *app = App();
    app->_AddMenuHandler("AppleAboutVellumet", &App::_AppleAboutVellumet_Action);
    app->_AddMenuHandler("AppleVisitWebsite", &App::_AppleVisitWebsite_Action);
    app->_AddMenuHandler("AppleCheckForLatestVersion", &App::_AppleCheckForLatestVersion_Action);
    app->_AddMenuHandler("FileOpen", &App::_FileOpen_Action);
}

void _Main() {
    try {
        rb::RuntimeInitExternalClasses();
        _InitPluginEntrypoints();
        // A call through an empty slot would jump to nowhere: refuse to start instead.
        const std::string missing = FirstMissingPluginEntrypoint();
        if (!missing.empty()) {
            rb::RuntimeStartupFailure("Vellumet cannot start: the plug-in entry point \"" +
                                      missing + "\" is missing. Reinstall Vellumet.");
            return;
        }
        _InitFileTypes();
        _NewAppInstance();
        _ApplicationAddMenuHandlers();
        rb::RuntimeRun();
    } catch (...) {
        rb::RuntimeUnhandledException(std::current_exception());
    }
}
