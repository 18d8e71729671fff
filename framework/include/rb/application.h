// application.h -- the application object, start-up, the event loop and quitting.
//
// A program's entry point:
//
//   int main(int argc, char **argv) {
//       rb::RuntimeInit(argc, argv);
//       try {
//           auto app = rb::New<App>();
//           app->SetMenuBar(MenuBar1());
//           rb::RuntimeRegisterAppObject(app);
//           app->_AddMenuHandler("FileOpen", &App::_FileOpen_Action);
//           rb::RuntimeRun();
//       } catch (...) {
//           rb::RuntimeUnhandledException(std::current_exception());
//       }
//       return rb::RuntimeExit();
//   }
//
// Promises:
// - RuntimeRun raises the application's Open event, then NewDocument once when the command
//   line named no file, or OpenDocument once per file it named, in order (as absolute
//   FolderItems; the file need not exist). Then it runs the event loop until Quit().
// - When no visible window is open after those events, or once the last visible window has
//   closed, the framework quits: on this platform a program without windows has no menu to
//   quit from.
// - Quit() closes every open window through its Close event, the front one first, then ends
//   the event loop; RuntimeRun raises the application's Close event and returns. A window that
//   stays open (window.h, StayOpen) stops the quit: it and the windows behind it stay open
//   and the loop goes on.
// - Menu items that no window takes go to the application's handlers (see menus.h).
#pragma once

#include "rb/files.h"
#include "rb/menus.h"
#include "rb/object.h"

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

namespace rb {

class Application : public Object {
  public:
    Application();
    ~Application() override;

    // The program's version, for the program to fill in and show.
    std::int32_t MajorVersion = 0;
    std::int32_t MinorVersion = 0;
    std::int32_t BugVersion = 0;
    std::string ShortVersion;

    // The menu bar of every window that has none of its own.
    Ref<rb::MenuBar> MenuBar() const;
    void SetMenuBar(Ref<rb::MenuBar> menuBar);

    // Binds the menu item named `item` to a handler of the application (see menus.h).
    void _AddMenuHandler(const std::string &item, MenuHandler handler);
    template <class A> void _AddMenuHandler(const std::string &item, bool (A::*method)()) {
        A *self = dynamic_cast<A *>(this);
        if (!self)
            throw std::invalid_argument("a menu handler of another class than the application");
        _AddMenuHandler(item, MenuHandler([self, method] { return (self->*method)(); }));
    }
    bool HasMenuHandler(const std::string &item) const;
    // Runs the handler bound to `item`; false when there is none or it returned false.
    bool RunMenuHandler(const std::string &item);

    // Events.
    virtual void Open() {}
    virtual void NewDocument() {}
    virtual void OpenDocument(Ref<FolderItem> item) { (void)item; }
    virtual void Close() {}

    struct Impl;

  private:
    Impl *impl_;
};

// Starts the framework: the platform's application object and the windowing system. The
// arguments that are not the platform's own options name the documents to open, as the bytes
// they are (a name need not be UTF-8). SIGXFSZ is ignored from here on, so that a write past
// a file-size limit fails like any other. Call once, first.
void RuntimeInit(int argc, char **argv);
bool RuntimeInitialized();
// Makes `app` the application object. Held until RuntimeExit.
void RuntimeRegisterAppObject(Ref<Application> app);
// The application object, or null before one is registered.
Ref<Application> RuntimeAppObject();
// Raises the start-up events and runs the event loop until Quit (see above).
void RuntimeRun();
// True while RuntimeRun's loop runs.
bool RuntimeRunning();
// Closes every window and ends the event loop (see above). Without a running loop it only
// closes the windows.
void Quit(std::int32_t exitStatus = 0);
// Closes what is left (no window can stay open here), releases the application object and
// returns the exit status: that of Quit, or 1 after an unhandled exception.
std::int32_t RuntimeExit();
// Reports a failure that keeps the program from starting (a missing part of its
// installation): the message goes to the debug log and to a message box the user dismisses,
// and the exit status becomes 1. The program then returns from its start-up.
void RuntimeStartupFailure(const std::string &message);
// Reports an exception nothing caught: on the debug log, and in a message box that names it.
// Returns afterwards; the exit status becomes 1 when the loop is not running.
void RuntimeUnhandledException(std::exception_ptr exception);

} // namespace rb
