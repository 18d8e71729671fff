// window.h -- windows built from layout tables, their events, controls and menu handlers.
//
// A window class derives from Window, binds its own events in its C++ constructor, and is
// made with NewWindow<T>(), which constructs the object and then the window:
//
//   DrawingWindow::DrawingWindow() {
//       _InstallInstanceEventHandler("Layout", &DrawingWindow::Layout);
//       _InstallInstanceEventHandler("CreateControls", &DrawingWindow::CreateControls);
//       _InstallInstanceEventHandler("Close", &DrawingWindow::Close);
//   }
//   void DrawingWindow::Layout() { SetMenuBar(MenuBar1()); ApplyLayout(kWindowLayout); }
//   void DrawingWindow::CreateControls() {
//       for (const rb::ControlLayout &row : kControls)
//           _AddControl(row);
//       _InstallInstanceEventHandler("PopupPaperSize", "Change",
//                                    &DrawingWindow::PopupPaperSize_Change);
//   }
//   auto w = rb::NewWindow<DrawingWindow>();
//
// The window's events, all void(): Layout, CreateControls, AddMenuHandlers, Open, Close,
// EnableMenuItems. A handler may take the window itself as its parameter (`Window &w`).
// They are bound by name like control events because the window's Close() (which closes it)
// and a window class's handler of the Close event share the name. Such a handler hides
// Window::Close in its class: code that closes a DrawingWindow writes w->Window::Close().
//
// Promises:
// - Construct() runs, in this order and before it returns: Layout; CreateControls;
//   AddMenuHandlers; the Open event of every control, in the order they were added; the
//   window's Open; then the window is shown when its layout says it is visible. It runs once.
// - A window is not resizable: its content keeps the size of its layout, and the controls
//   keep the pixel positions of their rows.
// - Windows are not modal, and any number may be open. The framework holds a reference to
//   every open window until it closes, so the program need not keep one.
// - Close() (or the window's close box, or Quit()) raises the Close event, then the window
//   disappears. Its controls stay usable as objects but no event of theirs reaches the
//   window's handlers any more. Closing twice does nothing.
// - A Close event handler that calls StayOpen() refuses the close: the window stays open as it
//   was, and a Quit in progress stops, leaving it and the windows behind it open. (A handler
//   that throws does not refuse; nor does anything when the framework itself shuts down.)
// - While a handler runs, its window and control stay alive, even when it closes the window.
// - On this platform the event loop ends when the last visible window closes.
// - A window without a menu bar of its own shows the application's.
#pragma once

#include "rb/controls.h"
#include "rb/events.h"
#include "rb/menus.h"
#include "rb/object.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace rb {

// A window's layout data.
struct WindowLayout {
    const char *Title = "";
    // The content's size in pixels (menu bar and frame come on top).
    std::int32_t Width = 300;
    std::int32_t Height = 300;
    bool Visible = true;
    bool CloseButton = true;
    bool MinimizeButton = true;
    bool MaximizeButton = false;
    bool MenuBarVisible = true;
};

class Window : public Object {
  public:
    Window();
    ~Window() override;

    // Builds the window (see above). Needs RuntimeInit.
    void Construct();
    // Closes the window (see above).
    void Close();
    // Called from the window's Close event: the window stays open (see above). Does nothing
    // anywhere else.
    void StayOpen();
    // Constructed and not yet closed.
    bool IsOpen() const;

    // Title, content size and flags. Normally called from the Layout event.
    void ApplyLayout(const WindowLayout &layout);
    std::string Title() const;
    void SetTitle(const std::string &title);
    std::int32_t Width() const;
    std::int32_t Height() const;
    bool Visible() const;
    void Show();
    void Hide();

    // The menu bar this window shows; null for the application's. (Inside a window class
    // MenuBar names this method; the class is rb::MenuBar there.)
    Ref<rb::MenuBar> MenuBar() const;
    void SetMenuBar(Ref<rb::MenuBar> menuBar);

    // Makes the control of the row's class, adds it under the row's name and applies the
    // row's settings. A name already taken throws std::invalid_argument.
    Ref<Control> _AddControl(const ControlLayout &row);
    std::int32_t ControlCount() const;
    // The control at a 0-based index in the order they were added, or null.
    Ref<Control> ControlAt(std::int32_t index) const;
    // The control named `name`, or null.
    Ref<Control> FindControl(const std::string &name) const;
    // The control named `name` as a T; throws std::invalid_argument when there is none or
    // it is no T (a fault in the program's tables).
    template <class T> Ref<T> ControlByName(const std::string &name) const {
        Ref<T> found = RefCast<T>(FindControl(name));
        if (!found)
            throw std::invalid_argument(MissingControlMessage(name));
        return found;
    }

    // Binds the event `event` of the control named `control` to a method of this window
    // (see events.h for the signatures and the errors).
    template <class W, class R, class... A>
    void _InstallInstanceEventHandler(const std::string &control, const std::string &event,
                                      R (W::*method)(A...)) {
        Ref<Control> target = FindControl(control);
        if (!target)
            throw std::invalid_argument(MissingControlMessage(control));
        target->Events().Install(*target, control, event, detail::BindMethod(Self<W>(), method));
    }
    // Binds one of the window's own events to a method of this window.
    template <class W, class R, class... A>
    void _InstallInstanceEventHandler(const std::string &event, R (W::*method)(A...)) {
        events_.Install(*this, "window", event, detail::BindMethod(Self<W>(), method));
    }

    // Binds the menu item named `item` to a handler of this window (see menus.h).
    void _AddMenuHandler(const std::string &item, MenuHandler handler);
    template <class W> void _AddMenuHandler(const std::string &item, bool (W::*method)()) {
        W *self = Self<W>();
        _AddMenuHandler(item, MenuHandler([self, method] { return (self->*method)(); }));
    }
    bool HasMenuHandler(const std::string &item) const;

    EventTable &Events() { return events_; }
    struct Impl;
    Impl *impl() const { return impl_; }

  private:
    template <class W> W *Self() {
        W *self = dynamic_cast<W *>(this);
        if (!self)
            throw std::invalid_argument("a handler of another class than the window's");
        return self;
    }
    std::string MissingControlMessage(const std::string &name) const;

    EventTable events_;
    Impl *impl_;
};

// A new window of class T, constructed (see Window::Construct).
template <class T, class... Args> Ref<T> NewWindow(Args &&...args) {
    Ref<T> window = New<T>(std::forward<Args>(args)...);
    window->Construct();
    return window;
}

// The control named `name` in `window`, or null (the platform's lookup by name).
Ref<Control> RuntimeWindowControlByName(Window *window, const std::string &name);

// The open windows, the front one first.
std::int32_t WindowCount();
Ref<Window> WindowAt(std::int32_t index);
// The front window, or null when none is open.
Ref<Window> FrontWindow();

} // namespace rb
