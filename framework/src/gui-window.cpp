// gui-window.cpp -- windows: construction from layout data, controls by name, closing, and
// the framework's list of open windows.
#include "gui-controls.h"
#include "gui-private.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMenuBar>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace rb {

namespace gui {

WindowWidget::WindowWidget(Window::Impl *window) : owner(window) {
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void WindowWidget::closeEvent(QCloseEvent *event) {
    // The close box: the window closes through its Close event, and stays when that refuses.
    if (!owner) {
        event->accept();
        return;
    }
    Window *window = owner->owner;
    KeepAlive<Window> keep(window);
    Guarded([window] { window->Close(); });
    if (window->IsOpen())
        event->ignore();
    else
        event->accept();
}

bool CloseAllWindows(bool forGood) {
    auto &windows = Global().windows;
    // A Close event may open a dialog, or even a window, which closes too.
    while (!windows.empty()) {
        Ref<Window> front = windows.front();
        // A window whose close is under way further up the stack finishes it there.
        const bool underWay = front->impl()->closing;
        if (forGood)
            front->impl()->mayStayOpen = false;
        front->Close();
        if (!front->IsOpen())
            continue;
        if (!underWay)
            return false;
        auto found = std::find(windows.begin(), windows.end(), front);
        if (found != windows.end())
            windows.erase(found);
    }
    return true;
}

void WindowWidget::changeEvent(QEvent *event) {
    if (event->type() == QEvent::ActivationChange && owner && isActiveWindow())
        BringToFront(owner->owner);
    QMainWindow::changeEvent(event);
}

bool &ShiftOfKeyInHand() {
    static bool shift = false;
    return shift;
}

void WindowWidget::keyPressEvent(QKeyEvent *event) {
    // Keys the focused control did not take: Return and Enter press the default button, with
    // Shift too (Keyboard::ShiftKey is true while it acts), Escape the cancel button.
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool isEscape = event->key() == Qt::Key_Escape;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool shift = modifiers == Qt::ShiftModifier;
    const bool plain = modifiers == Qt::NoModifier || (isReturn && shift);
    if (owner && plain && (isReturn || isEscape)) {
        for (const Ref<Control> &control : owner->controls) {
            auto *button = dynamic_cast<PushButton *>(control.get());
            if (!button || !button->Enabled() || !button->Visible())
                continue;
            if ((isReturn && button->Default()) || (isEscape && button->Cancel())) {
                Ref<PushButton> keep(button);
                KeepAlive<Window> keepWindow(owner->owner);
                struct Restore {
                    bool before;
                    ~Restore() { ShiftOfKeyInHand() = before; }
                } restore{std::exchange(ShiftOfKeyInHand(), shift)};
                button->impl()->RaiseFromUser<void()>("Action");
                event->accept();
                return;
            }
        }
    }
    QMainWindow::keyPressEvent(event);
}

} // namespace gui

Window::Impl::~Impl() {
    for (const Ref<Control> &control : controls)
        control->impl()->window = nullptr;
    if (widget) {
        widget->owner = nullptr;
        widget->deleteLater();
    }
}

void Window::Impl::EnsureWidget() {
    if (widget)
        return;
    if (!RuntimeInitialized())
        throw std::logic_error("a window needs RuntimeInit first");
    widget = new gui::WindowWidget(this);
    content = new QWidget(widget);
    widget->setCentralWidget(content);
    // The window takes the size of its content and menu bar, and keeps it.
    widget->layout()->setSizeConstraint(QLayout::SetFixedSize);
    ApplyLayoutToWidget();
}

void Window::Impl::ApplyLayoutToWidget() {
    if (!widget)
        return;
    widget->setWindowTitle(gui::ToQt(title));
    content->setFixedSize(layout.Width, layout.Height);
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (layout.CloseButton)
        flags |= Qt::WindowCloseButtonHint;
    if (layout.MinimizeButton)
        flags |= Qt::WindowMinimizeButtonHint;
    if (layout.MaximizeButton)
        flags |= Qt::WindowMaximizeButtonHint;
    if (widget->windowFlags() != flags) {
        // Changing the flags hides a shown window.
        const bool shown = widget->isVisible();
        widget->setWindowFlags(flags);
        if (shown)
            widget->show();
    }
    widget->menuBar()->setVisible(layout.MenuBarVisible);
}

Window::Window() : impl_(new Impl(this)) {
    events_.Declare<void()>("Layout");
    events_.Declare<void()>("CreateControls");
    events_.Declare<void()>("AddMenuHandlers");
    events_.Declare<void()>("Open");
    events_.Declare<void()>("Close");
    events_.Declare<void()>("EnableMenuItems");
}

Window::~Window() { delete impl_; }

void Window::Construct() {
    if (impl_->constructed)
        return;
    // The framework's reference must not be the first: its release would delete the window.
    if (RefCount() == 0)
        throw std::logic_error("a window is made with NewWindow (or held by a Ref) first");
    impl_->EnsureWidget();
    impl_->constructed = true;
    impl_->open = true;
    gui::State &state = gui::Global();
    state.windows.insert(state.windows.begin(), Ref<Window>(this));
    gui::KeepAlive<Window> keep(this);
    try {
        events_.Raise<void()>(*this, "Layout");
        events_.Raise<void()>(*this, "CreateControls");
        events_.Raise<void()>(*this, "AddMenuHandlers");
        gui::BuildMenuBar(*impl_);
        // Open handlers may add controls; those raise their own Open below as well.
        for (std::size_t i = 0; i < impl_->controls.size() && impl_->open; ++i) {
            Ref<Control> control = impl_->controls[i];
            control->impl()->Raise<void()>("Open");
        }
        if (impl_->open)
            events_.Raise<void()>(*this, "Open");
    } catch (...) {
        // A window whose construction failed is not left half-built on the screen; having
        // never opened, it gets no Close event.
        events_.Clear();
        Close();
        throw;
    }
    if (impl_->open && impl_->layout.Visible)
        Show();
}

void Window::Close() {
    if (!impl_->open || impl_->closing)
        return;
    impl_->closing = true;
    impl_->stayOpen = false;
    gui::KeepAlive<Window> keep(this);
    std::exception_ptr failure;
    try {
        events_.Raise<void()>(*this, "Close");
    } catch (...) {
        failure = std::current_exception(); // the window closes all the same
    }
    impl_->closing = false;
    if (impl_->stayOpen && impl_->mayStayOpen && !failure) {
        impl_->stayOpen = false;
        return;
    }
    impl_->open = false;

    // Nothing of the window reaches its handlers any more; its controls live on as objects.
    for (const Ref<Control> &control : impl_->controls) {
        control->Events().Clear();
        control->impl()->window = nullptr;
    }
    events_.Clear();
    impl_->menuHandlers.clear();
    if (impl_->widget) {
        impl_->widget->owner = nullptr;
        impl_->widget->hide();
        impl_->widget->deleteLater();
        impl_->widget = nullptr;
    }
    impl_->menuEntries.clear();
    impl_->menus.clear();

    // The framework's reference goes once no handler of the window can be running.
    gui::State &state = gui::Global();
    auto found = std::find_if(state.windows.begin(), state.windows.end(),
                              [this](const Ref<Window> &w) { return w.get() == this; });
    if (found != state.windows.end()) {
        state.releases.push_back(*found);
        state.windows.erase(found);
        gui::ScheduleReleases();
    }
    if (state.running && !state.quitting && !gui::AnyVisibleWindow())
        Quit(state.exitStatus);
    if (failure)
        std::rethrow_exception(failure);
}

void Window::StayOpen() {
    if (impl_->closing)
        impl_->stayOpen = true;
}

bool Window::IsOpen() const { return impl_->open; }

void Window::ApplyLayout(const WindowLayout &layout) {
    impl_->layout = layout;
    impl_->title = layout.Title ? layout.Title : "";
    impl_->ApplyLayoutToWidget();
    if (impl_->constructed && impl_->open && impl_->widget)
        impl_->widget->setVisible(layout.Visible);
}

std::string Window::Title() const { return impl_->title; }

void Window::SetTitle(const std::string &title) {
    impl_->title = title;
    if (impl_->widget)
        impl_->widget->setWindowTitle(gui::ToQt(title));
}

std::int32_t Window::Width() const { return impl_->layout.Width; }
std::int32_t Window::Height() const { return impl_->layout.Height; }

bool Window::Visible() const { return impl_->widget && impl_->widget->isVisible(); }

void Window::Show() {
    if (impl_->constructed && !impl_->open)
        return;
    impl_->EnsureWidget();
    impl_->widget->show();
}

void Window::Hide() {
    if (impl_->widget)
        impl_->widget->hide();
}

Ref<MenuBar> Window::MenuBar() const { return impl_->menuBar; }

void Window::SetMenuBar(Ref<rb::MenuBar> menuBar) {
    impl_->menuBar = std::move(menuBar);
    // During construction the bar is built once the handlers are bound.
    if (impl_->constructed && impl_->open)
        gui::BuildMenuBar(*impl_);
}

Ref<Control> Window::_AddControl(const ControlLayout &row) {
    const std::string name = row.Name ? row.Name : "";
    if (name.empty())
        throw std::invalid_argument("a control row without a name");
    if (FindControl(name))
        throw std::invalid_argument("the window already has a control named \"" + name + "\"");
    if (impl_->constructed && !impl_->open)
        throw std::logic_error("a control added to a closed window");
    Ref<Control> control = gui::MakeControl(row.Class);
    Control::Impl &model = *control->impl();
    model.name = name;
    model.window = this;
    gui::ConfigureControl(model, row);
    impl_->EnsureWidget();
    model.Attach(impl_->content);
    impl_->controls.push_back(control);
    return control;
}

std::int32_t Window::ControlCount() const {
    return static_cast<std::int32_t>(impl_->controls.size());
}

Ref<Control> Window::ControlAt(std::int32_t index) const {
    if (index < 0 || index >= ControlCount())
        return nullptr;
    return impl_->controls[static_cast<std::size_t>(index)];
}

Ref<Control> Window::FindControl(const std::string &name) const {
    for (const Ref<Control> &control : impl_->controls)
        if (control->Name() == name)
            return control;
    return nullptr;
}

std::string Window::MissingControlMessage(const std::string &name) const {
    Ref<Control> found = FindControl(name);
    if (!found)
        return "the window \"" + impl_->title + "\" has no control named \"" + name + "\"";
    const Control &control = *found;
    return "the control \"" + name + "\" of the window \"" + impl_->title + "\" is a " +
           gui::TypeName(typeid(control)) + ", not the class asked for";
}

void Window::_AddMenuHandler(const std::string &item, MenuHandler handler) {
    impl_->menuHandlers[item] = std::move(handler);
}

bool Window::HasMenuHandler(const std::string &item) const {
    return impl_->menuHandlers.count(item) != 0;
}

Ref<Control> RuntimeWindowControlByName(Window *window, const std::string &name) {
    return window ? window->FindControl(name) : nullptr;
}

std::int32_t WindowCount() { return static_cast<std::int32_t>(gui::Global().windows.size()); }

Ref<Window> WindowAt(std::int32_t index) {
    if (index < 0 || index >= WindowCount())
        return nullptr;
    return gui::Global().windows[static_cast<std::size_t>(index)];
}

Ref<Window> FrontWindow() { return WindowAt(0); }

} // namespace rb
