// menus.h -- menu bars, menus and menu items, and how a chosen item finds its handler.
//
// A MenuBar is a tree of MenuItems: its children are the menus, theirs the items. One MenuBar
// object may be shared by many windows; each window shows its own menu bar built from it when
// the window is constructed (items appended later show in windows constructed later).
//
// Promises:
// - Text is shown as given; "&" marks the next letter as the item's mnemonic ("&&" shows one
//   "&"). An item whose Text is "-" is a separator.
// - KeyboardShortcut is "Cmd+O", "Shift+Cmd+S", "Option+Cmd+X" and the like, or empty for
//   none. "Cmd" is the platform's command key: Ctrl here; "Option" (or "Alt") is Alt;
//   "Ctrl" is Ctrl too. The key is a letter, a digit or a key name ("F5", "Delete").
// - Items of the class AppleMenuItem are shown in a first menu named after the application,
//   in the order they were appended, whichever menu they were appended to.
// - Menu update: before a window's menu opens, and before a key press that matches one of its
//   shortcuts is taken, every item's Enabled is reset -- an item with AutoEnable is enabled
//   when a handler would take it (the window's, the application's, or the framework's own
//   quit for a QuitMenuItem), every other item is disabled -- and then the window's
//   EnableMenuItems event runs, which may Enable() items. Menus themselves are always enabled.
// - A chosen item goes to the handler bound to its Name by the window whose menu bar it is
//   (Window::_AddMenuHandler); when that window has none, to the application's
//   (Application::_AddMenuHandler). A handler returns true when it has handled the item;
//   false (or no handler) lets the framework do its own action, which only QuitMenuItem has:
//   Quit(). A disabled item cannot be chosen, neither from its menu nor by its shortcut.
#pragma once

#include "rb/object.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rb {

class MenuItem : public Object {
  public:
    MenuItem() = default;
    explicit MenuItem(std::string text) : Text(std::move(text)) {}

    std::string Name;
    std::string Text;
    std::string KeyboardShortcut;
    bool AutoEnable = true;
    // The item's state as the last menu update left it (see above).
    bool Enabled = true;

    void Enable() { Enabled = true; }
    void Disable() { Enabled = false; }

    // Appends an item (or a menu, to a menu bar) as the last child.
    void Append(Ref<MenuItem> item);
    std::int32_t Count() const { return static_cast<std::int32_t>(children_.size()); }
    // The child at a 0-based index, or null.
    Ref<MenuItem> Item(std::int32_t index) const;
    // The first direct child with this Name, or null.
    Ref<MenuItem> Child(const std::string &name) const;
    // The first item with this Name anywhere below this one (depth first), or null.
    Ref<MenuItem> FindItem(const std::string &name) const;
    bool IsSeparator() const { return Text == "-"; }

  private:
    std::vector<Ref<MenuItem>> children_;
};

// The item that quits the application when nothing else handles it.
class QuitMenuItem : public MenuItem {
  public:
    using MenuItem::MenuItem;
};

// An item of the application menu (see above).
class AppleMenuItem : public MenuItem {
  public:
    using MenuItem::MenuItem;
};

// The root of a menu tree; its children are the menus.
class MenuBar : public MenuItem {};

// A menu handler: takes no argument, returns true when it has handled the item.
using MenuHandler = std::function<bool()>;

} // namespace rb
