// gui-private.h -- what the GUI sources share: the Qt side of windows and controls, the
// framework's global state, text conversion, and the guard around calls from Qt into
// program code.
#pragma once

#include "rb/application.h"
#include "rb/controls.h"
#include "rb/graphics.h"
#include "rb/menus.h"
#include "rb/window.h"

#include <QFont>
#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QString>

#include <exception>
#include <map>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

class QAction;
class QMenu;
class QPainter;

namespace rb::gui {

inline QString ToQt(const std::string &text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string FromQt(const QString &text) {
    QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The font a control or a Graphics uses (see controls.h for the names and sizes).
QFont MakeFont(const std::string &family, std::int32_t size, bool bold, bool italic,
               bool underline);

// Holds a reference to an object for the length of a call, when it is held by a Ref at all
// (an object nothing counts yet must not be deleted by the guard's release).
template <class T> class KeepAlive {
  public:
    explicit KeepAlive(T *object) : ref_(object && object->RefCount() > 0 ? object : nullptr) {}

  private:
    Ref<T> ref_;
};

// Runs program code that Qt called (a signal, an event, a paint): an exception must not cross
// Qt's event loop, so it goes to RuntimeUnhandledException and the result is R().
template <class F> auto Guarded(F &&call) noexcept -> decltype(call()) {
    using R = decltype(call());
    try {
        return call();
    } catch (...) {
        RuntimeUnhandledException(std::current_exception());
        if constexpr (!std::is_void_v<R>)
            return R();
    }
}

// The framework's state, one per process. Never destroyed: windows must not be released by
// static destructors after Qt has gone.
struct State {
    bool initialized = false;
    bool running = false;
    bool quitting = false;
    std::int32_t exitStatus = 0;
    Ref<Application> app;
    // Open windows, the front one first; each entry is the framework's reference.
    std::vector<Ref<Window>> windows;
    // Closed windows whose release waits until no handler of theirs can be running.
    std::vector<Ref<Window>> releases;
    bool releaseScheduled = false;
    std::vector<std::string> documents;
};
State &Global();

// Closes the open windows front to back, each through its Close event. A window whose Close
// event asks to stay open stops it, unless `forGood` (shutting the framework down, where
// nothing can stay open): false then, with that window and those behind it still open.
bool CloseAllWindows(bool forGood);

// True while a button is pressed by a key held with Shift (Shift+Return): Keyboard::ShiftKey
// answers from the key event itself, whatever the platform reports of the keyboard.
bool &ShiftOfKeyInHand();

// Moves an open window to the front (it was activated).
void BringToFront(Window *window);
bool AnyVisibleWindow();
// Releases the closed windows now.
void FlushReleases();
void ScheduleReleases();
// The application's name, as the application menu shows it.
QString ApplicationName();

// The readable name of a C++ type, for messages.
std::string TypeName(const std::type_info &type);

// A window's top-level widget: forwards the close box, activation and the Return and Escape
// keys to the window.
class WindowWidget : public QMainWindow {
  public:
    explicit WindowWidget(Window::Impl *owner);
    Window::Impl *owner;

  protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

// One menu item as a window shows it.
struct MenuEntry {
    Ref<MenuItem> item;
    QAction *action;
};

// Menu bars: building a window's, updating it, dispatching a chosen item (gui-menus.cpp).
void BuildMenuBar(Window::Impl &window);
void UpdateMenus(Window::Impl &window);
void DispatchMenuItem(Window::Impl &window, MenuItem &item);
// The platform's key sequence text ("Ctrl+O") for a menu item's shortcut text ("Cmd+O").
QString ShortcutText(const std::string &shortcut);
// Watches key presses so that a shortcut finds its item's state up to date.
void InstallShortcutWatcher();

} // namespace rb::gui

namespace rb {

struct Window::Impl {
    explicit Impl(Window *window) : owner(window) {}
    ~Impl();

    // The top-level widget and its content, made on first need.
    void EnsureWidget();
    void ApplyLayoutToWidget();

    Window *owner;
    QPointer<gui::WindowWidget> widget;
    QPointer<QWidget> content;
    WindowLayout layout;
    std::string title;
    bool constructed = false;
    bool open = false;
    bool closing = false;
    // Set by StayOpen while the Close event runs; whether that close may be refused at all.
    bool stayOpen = false;
    bool mayStayOpen = true;
    Ref<rb::MenuBar> menuBar;
    std::vector<Ref<Control>> controls;
    std::map<std::string, MenuHandler> menuHandlers;
    std::vector<gui::MenuEntry> menuEntries;
    std::vector<QMenu *> menus;
};

// The model side of a control; each class adds its own state and widget.
struct Control::Impl {
    explicit Impl(Control *control) : owner(control) {}
    virtual ~Impl();
    Impl(const Impl &) = delete;
    Impl &operator=(const Impl &) = delete;

    // Takes the row's text and the settings of the class.
    virtual void Configure(const ControlLayout &row) { (void)row; }
    // Makes the widget showing the present state, connected to this model.
    virtual QWidget *MakeWidget(QWidget *parent) = 0;
    // The font changed: classes that draw text themselves follow it here.
    virtual void FontChanged() {}

    // Shows the control in `parent` (the window's content).
    void Attach(QWidget *parent);
    // Geometry, state and font onto the widget.
    void ApplyCommon();
    QFont Font() const;

    // Raises an event that the user's input set off (see events.h for the exception rule).
    template <class Sig, class... Args>
    auto RaiseFromUser(const std::string &event, Args &&...args) {
        gui::KeepAlive<Control> keepControl(owner);
        gui::KeepAlive<rb::Window> keepWindow(window);
        return gui::Guarded(
            [&] { return owner->Events().Raise<Sig>(*owner, event, std::forward<Args>(args)...); });
    }
    // Raises an event that program code set off; exceptions reach that code.
    template <class Sig, class... Args> auto Raise(const std::string &event, Args &&...args) {
        gui::KeepAlive<Control> keepControl(owner);
        gui::KeepAlive<rb::Window> keepWindow(window);
        return owner->Events().Raise<Sig>(*owner, event, std::forward<Args>(args)...);
    }

    Control *owner;
    std::string name;
    rb::Window *window = nullptr; // while the window is open
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    bool enabled = true;
    bool visible = true;
    std::string textFont = "System";
    std::int32_t textSize = 0;
    bool bold = false, italic = false, underline = false;
    QPointer<QWidget> widget;
    // The receiver of the widget's connections: they end with the model.
    QObject context;
};

struct Graphics::Impl {
    QPainter *painter;
    std::int32_t width;
    std::int32_t height;
};

} // namespace rb
