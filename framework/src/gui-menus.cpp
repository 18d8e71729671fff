// gui-menus.cpp -- menu trees, the menu bar each window builds from one, the menu update
// before a menu or a shortcut is used, and the dispatch of a chosen item by its name.
#include "gui-private.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>
#include <QWindow>

namespace rb {

// The tree.

void MenuItem::Append(Ref<MenuItem> item) {
    if (item)
        children_.push_back(std::move(item));
}

Ref<MenuItem> MenuItem::Item(std::int32_t index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return children_[static_cast<std::size_t>(index)];
}

Ref<MenuItem> MenuItem::Child(const std::string &name) const {
    for (const Ref<MenuItem> &child : children_)
        if (child->Name == name)
            return child;
    return nullptr;
}

Ref<MenuItem> MenuItem::FindItem(const std::string &name) const {
    for (const Ref<MenuItem> &child : children_) {
        if (child->Name == name)
            return child;
        if (Ref<MenuItem> below = child->FindItem(name))
            return below;
    }
    return nullptr;
}

namespace gui {

QString ShortcutText(const std::string &shortcut) {
    // "Cmd" is the platform's command key, Ctrl here; "Option" is Alt.
    QStringList parts = ToQt(shortcut).split(QLatin1Char('+'));
    if (shortcut.empty() || parts.isEmpty())
        return QString();
    QString key = parts.takeLast().trimmed();
    if (key.isEmpty() && !parts.isEmpty()) { // "Cmd++": the key is "+"
        parts.removeLast();
        key = QStringLiteral("+");
    }
    QStringList modifiers;
    for (const QString &part : parts) {
        const QString name = part.trimmed().toLower();
        if (name == QLatin1String("cmd") || name == QLatin1String("command") ||
            name == QLatin1String("ctrl") || name == QLatin1String("control"))
            modifiers << QStringLiteral("Ctrl");
        else if (name == QLatin1String("option") || name == QLatin1String("opt") ||
                 name == QLatin1String("alt"))
            modifiers << QStringLiteral("Alt");
        else if (name == QLatin1String("shift"))
            modifiers << QStringLiteral("Shift");
    }
    modifiers.removeDuplicates();
    if (key.size() == 1)
        key = key.toUpper();
    modifiers << key;
    return modifiers.join(QLatin1Char('+'));
}

namespace {

Ref<MenuBar> ShownMenuBar(const Window::Impl &window) {
    if (window.menuBar)
        return window.menuBar;
    Ref<Application> app = Global().app;
    return app ? app->MenuBar() : nullptr;
}

bool IsAppleItem(const MenuItem &item) { return dynamic_cast<const AppleMenuItem *>(&item); }

void CollectAppleItems(const MenuItem &menu, std::vector<Ref<MenuItem>> &found) {
    for (std::int32_t i = 0; i < menu.Count(); ++i) {
        Ref<MenuItem> child = menu.Item(i);
        if (IsAppleItem(*child))
            found.push_back(child);
        else
            CollectAppleItems(*child, found);
    }
}

void AddItem(Window::Impl &window, QMenu *menu, const Ref<MenuItem> &item);

// Fills a menu with the items of `source` that stay in it (application-menu items do not).
void FillMenu(Window::Impl &window, QMenu *menu, const MenuItem &source) {
    for (std::int32_t i = 0; i < source.Count(); ++i) {
        Ref<MenuItem> child = source.Item(i);
        if (!IsAppleItem(*child))
            AddItem(window, menu, child);
    }
}

void AddItem(Window::Impl &window, QMenu *menu, const Ref<MenuItem> &item) {
    if (item->IsSeparator()) {
        menu->addSeparator();
        return;
    }
    if (item->Count() > 0) {
        QMenu *submenu = menu->addMenu(ToQt(item->Text));
        window.menuEntries.push_back({item, submenu->menuAction()});
        FillMenu(window, submenu, *item);
        return;
    }
    QAction *action = menu->addAction(ToQt(item->Text));
    action->setShortcut(QKeySequence(ShortcutText(item->KeyboardShortcut)));
    action->setShortcutContext(Qt::WindowShortcut);
    Window::Impl *owner = &window;
    QObject::connect(action, &QAction::triggered, action,
                     [owner, chosen = item] { DispatchMenuItem(*owner, *chosen); });
    window.menuEntries.push_back({item, action});
}

QMenu *AddMenu(Window::Impl &window, QMenuBar *bar, const QString &title) {
    QMenu *menu = bar->addMenu(title);
    Window::Impl *owner = &window;
    QObject::connect(menu, &QMenu::aboutToShow, menu, [owner] {
        KeepAlive<Window> keep(owner->owner);
        Guarded([owner] { UpdateMenus(*owner); });
    });
    window.menus.push_back(menu);
    return menu;
}

// Whether something takes the item when it is chosen from this window.
bool HasTaker(const Window::Impl &window, const MenuItem &item) {
    if (window.menuHandlers.count(item.Name))
        return true;
    Ref<Application> app = Global().app;
    if (app && app->HasMenuHandler(item.Name))
        return true;
    return dynamic_cast<const QuitMenuItem *>(&item) != nullptr;
}

void ResetStates(const Window::Impl &window, MenuItem &item) {
    for (std::int32_t i = 0; i < item.Count(); ++i) {
        Ref<MenuItem> child = item.Item(i);
        if (child->Count() > 0)
            child->Enabled = true;
        else
            child->Enabled = child->AutoEnable && HasTaker(window, *child);
        ResetStates(window, *child);
    }
}

} // namespace

void BuildMenuBar(Window::Impl &window) {
    if (!window.widget)
        return;
    QMenuBar *bar = window.widget->menuBar();
    bar->clear();
    for (QMenu *menu : window.menus)
        menu->deleteLater();
    window.menuEntries.clear();
    window.menus.clear();
    Ref<MenuBar> source = ShownMenuBar(window);
    if (!source)
        return;
    // The application menu comes first, with the application-menu items of every menu.
    std::vector<Ref<MenuItem>> appleItems;
    CollectAppleItems(*source, appleItems);
    if (!appleItems.empty()) {
        QMenu *appMenu = AddMenu(window, bar, ApplicationName());
        for (const Ref<MenuItem> &item : appleItems)
            AddItem(window, appMenu, item);
    }
    for (std::int32_t i = 0; i < source->Count(); ++i) {
        Ref<MenuItem> menu = source->Item(i);
        if (IsAppleItem(*menu))
            continue;
        QMenu *shown = AddMenu(window, bar, ToQt(menu->Text));
        window.menuEntries.push_back({menu, shown->menuAction()});
        FillMenu(window, shown, *menu);
    }
    UpdateMenus(window);
}

void UpdateMenus(Window::Impl &window) {
    Ref<MenuBar> source = ShownMenuBar(window);
    if (!source || !window.open)
        return;
    ResetStates(window, *source);
    window.owner->Events().Raise<void()>(*window.owner, "EnableMenuItems");
    // The window may have closed in its handler; its entries are gone then.
    for (const MenuEntry &entry : window.menuEntries) {
        entry.action->setEnabled(entry.item->Enabled);
        entry.action->setText(ToQt(entry.item->Text));
        if (entry.item->Count() == 0)
            entry.action->setShortcut(QKeySequence(ShortcutText(entry.item->KeyboardShortcut)));
    }
}

void DispatchMenuItem(Window::Impl &window, MenuItem &item) {
    Window *owner = window.owner;
    KeepAlive<Window> keep(owner);
    Ref<MenuItem> keepItem(&item);
    Guarded([&] {
        bool handled = false;
        auto handler = window.menuHandlers.find(item.Name);
        if (handler != window.menuHandlers.end()) {
            MenuHandler run = handler->second;
            handled = run();
        } else if (Ref<Application> app = Global().app; app && app->HasMenuHandler(item.Name)) {
            handled = app->RunMenuHandler(item.Name);
        }
        if (!handled && dynamic_cast<QuitMenuItem *>(&item))
            Quit(0);
    });
}

namespace {

// Before Qt matches a key press against the shortcuts, the window's items get their state
// for this moment, so that a shortcut fires exactly when its item could be chosen.
class ShortcutWatcher : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        // The event travels up from the focus object; only its first stop counts.
        if (event->type() != QEvent::ShortcutOverride)
            return false;
        QObject *focus = QGuiApplication::focusObject();
        if (watched != focus && (focus || !watched->isWindowType()))
            return false;
        WindowWidget *top = WindowOf(watched);
        if (!top || !top->owner)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const MenuEntry &entry : top->owner->menuEntries) {
            if (!entry.action->shortcut().isEmpty() &&
                entry.action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
                Window::Impl *window = top->owner;
                KeepAlive<Window> keep(window->owner);
                Guarded([window] { UpdateMenus(*window); });
                break;
            }
        }
        return false;
    }

  private:
    // The key goes to the focused widget, or to the window itself when nothing has the focus.
    static WindowWidget *WindowOf(QObject *watched) {
        if (watched->isWidgetType())
            return dynamic_cast<WindowWidget *>(static_cast<QWidget *>(watched)->window());
        if (!watched->isWindowType())
            return nullptr;
        for (const Ref<Window> &window : Global().windows) {
            WindowWidget *widget = window->impl()->widget;
            if (widget && widget->windowHandle() == watched)
                return widget;
        }
        return nullptr;
    }
};

} // namespace

void InstallShortcutWatcher() {
    QCoreApplication *app = QCoreApplication::instance();
    app->installEventFilter(new ShortcutWatcher(app));
}

} // namespace gui

} // namespace rb
