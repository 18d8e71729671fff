// gui-application.cpp -- the application object, start-up, the event loop, quitting, and the
// framework's global state.
#include "gui-private.h"
#include "gui-testmode.h"

#include "rb/dialogs.h"
#include "rb/files.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <typeinfo>
#include <vector>

namespace rb {

struct Application::Impl {
    Ref<rb::MenuBar> menuBar;
    std::map<std::string, MenuHandler> menuHandlers;
};

Application::Application() : impl_(new Impl) {}
Application::~Application() { delete impl_; }

Ref<MenuBar> Application::MenuBar() const { return impl_->menuBar; }

void Application::SetMenuBar(Ref<rb::MenuBar> menuBar) {
    impl_->menuBar = std::move(menuBar);
    // Windows showing the application's menu bar show the new one.
    for (const Ref<Window> &window : gui::Global().windows)
        if (!window->MenuBar())
            gui::BuildMenuBar(*window->impl());
}

void Application::_AddMenuHandler(const std::string &item, MenuHandler handler) {
    impl_->menuHandlers[item] = std::move(handler);
}

bool Application::HasMenuHandler(const std::string &item) const {
    return impl_->menuHandlers.count(item) != 0;
}

bool Application::RunMenuHandler(const std::string &item) {
    auto found = impl_->menuHandlers.find(item);
    if (found == impl_->menuHandlers.end())
        return false;
    MenuHandler handler = found->second; // the handler may rebind its own item
    return handler();
}

namespace gui {

State &Global() {
    static State *state = new State;
    return *state;
}

void BringToFront(Window *window) {
    auto &windows = Global().windows;
    auto found = std::find_if(windows.begin(), windows.end(),
                              [window](const Ref<Window> &w) { return w.get() == window; });
    if (found != windows.end() && found != windows.begin())
        std::rotate(windows.begin(), found, found + 1);
}

bool AnyVisibleWindow() {
    for (const Ref<Window> &window : Global().windows)
        if (window->Visible())
            return true;
    return false;
}

void FlushReleases() {
    State &state = Global();
    state.releaseScheduled = false;
    // A release may close further windows (a window's last reference held another's).
    while (!state.releases.empty()) {
        std::vector<Ref<Window>> releasing;
        releasing.swap(state.releases);
    }
}

void ScheduleReleases() {
    State &state = Global();
    if (state.releaseScheduled || !QCoreApplication::instance())
        return;
    state.releaseScheduled = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { FlushReleases(); }, Qt::QueuedConnection);
}

std::string TypeName(const std::type_info &type) {
    int status = 0;
    char *readable = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = status == 0 && readable ? readable : type.name();
    std::free(readable);
    return name;
}

QString ApplicationName() {
    // The executable's name with a capital first letter: "vellumet" shows as "Vellumet".
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (name.isEmpty())
        name = QCoreApplication::applicationName();
    if (!name.isEmpty())
        name[0] = name[0].toUpper();
    return name;
}

} // namespace gui

void RuntimeInit(int argc, char **argv) {
    gui::State &state = gui::Global();
    if (state.initialized)
        return;
    // A write past a file-size limit (RLIMIT_FSIZE) would end the process, and every window's
    // work with it; ignored, it is a write that fails with EFBIG, which the program reports.
    std::signal(SIGXFSZ, SIG_IGN);
    // "--" ends the options: Qt sees only what stands before it, and every argument after it
    // names a document, whatever it begins with. QApplication keeps the count and the array
    // it is given for its whole life, and removes the options it takes from them.
    int end = 1;
    while (end < argc && std::strcmp(argv[end], "--") != 0)
        ++end;
    static int storedArgc;
    static std::vector<char *> qtArgv;
    qtArgv.assign(argv, argv + end);
    qtArgv.push_back(nullptr);
    storedArgc = end;
    new QApplication(storedArgc, qtArgv.data());
    // Closing the last window ends the loop through Quit, so that every window's Close event
    // runs first; Qt must not end it on its own.
    QApplication::setQuitOnLastWindowClosed(false);
    state.initialized = true;
    gui::InstallShortcutWatcher();

    // The documents, as the bytes the system passed: a name that is not valid in the
    // locale's encoding still names its file.
    for (int i = 1; i < storedArgc; ++i)
        state.documents.emplace_back(qtArgv[static_cast<std::size_t>(i)]);
    for (int i = end + 1; i < argc; ++i)
        state.documents.emplace_back(argv[i]);
}

bool RuntimeInitialized() { return gui::Global().initialized; }

void RuntimeRegisterAppObject(Ref<Application> app) { gui::Global().app = std::move(app); }

Ref<Application> RuntimeAppObject() { return gui::Global().app; }

bool RuntimeRunning() { return gui::Global().running; }

void RuntimeRun() {
    gui::State &state = gui::Global();
    if (!state.initialized)
        throw std::logic_error("RuntimeRun before RuntimeInit");
    state.running = true;
    state.quitting = false;

    // The start-up events run inside the loop, so that whatever they open is shown at once.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            gui::State &s = gui::Global();
            Ref<Application> app = s.app;
            if (app) {
                gui::Guarded([&] { app->Open(); });
                if (s.documents.empty()) {
                    gui::Guarded([&] { app->NewDocument(); });
                } else {
                    for (const std::string &path : s.documents)
                        gui::Guarded([&] { app->OpenDocument(FolderItem::FromPath(path)); });
                }
            }
            if (s.running && !s.quitting && !gui::AnyVisibleWindow())
                Quit(s.exitStatus);
        },
        Qt::QueuedConnection);

    QApplication::exec();
    state.running = false;
    state.quitting = false;
    gui::FlushReleases();
    if (state.app)
        state.app->Close();
}

void Quit(std::int32_t exitStatus) {
    gui::State &state = gui::Global();
    if (state.quitting)
        return;
    state.quitting = true;
    state.exitStatus = exitStatus;
    // A window that stays open (its document could not be saved) stops the quit.
    if (!gui::CloseAllWindows(false)) {
        state.quitting = false;
        return;
    }
    if (state.running)
        QCoreApplication::exit(exitStatus);
    else
        state.quitting = false;
}

std::int32_t RuntimeExit() {
    gui::State &state = gui::Global();
    if (!state.initialized)
        return state.exitStatus;
    gui::CloseAllWindows(true);
    gui::FlushReleases();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    state.app = nullptr;
    delete QCoreApplication::instance();
    state.initialized = false;
    return state.exitStatus;
}

void RuntimeStartupFailure(const std::string &message) {
    System::DebugLog(message);
    gui::Global().exitStatus = 1;
    // A message box only where someone can see and dismiss it: on a platform without a
    // screen it would wait for ever, and the log line is all there is.
    const QString platform = QGuiApplication::platformName();
    if (gui::Global().initialized && platform != "offscreen" && platform != "minimal")
        MsgBox(message);
}

void RuntimeUnhandledException(std::exception_ptr exception) {
    std::string what = "an exception of unknown type";
    try {
        if (exception)
            std::rethrow_exception(exception);
    } catch (const std::exception &e) {
        what = std::string("an exception (") + gui::TypeName(typeid(e)) + "): " + e.what();
    } catch (...) {
    }
    const std::string message = "The program met " + what + " that nothing handled.";
    System::DebugLog(message);
    gui::State &state = gui::Global();
    if (!state.running)
        state.exitStatus = 1;
    if (gui::test::Active()) {
        gui::test::RecordProblem("unhandled exception: " + what);
        return;
    }
    if (state.initialized)
        QMessageBox::critical(nullptr, gui::ApplicationName(), gui::ToQt(message));
}

} // namespace rb
