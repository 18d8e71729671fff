#include "MenuBar1.h"

#include <cstdint>

namespace {

enum class ItemClass { Menu, Quit, AppleMenu };

struct MenuRow {
    const char *parent; // nullptr: the menu bar itself
    const char *name;
    ItemClass itemClass;
    const char *text;
    const char *shortcut; // nullptr: never set (the separator)
    bool autoEnable;
};

// The menus, each right before its items, in the order of creation. The application-menu
// items are appended to the Edit menu; the framework shows them in the application menu.
const MenuRow kMenuRows[] = {
    {nullptr, "FileMenu", ItemClass::Menu, "&File", "", true},
    {"FileMenu", "FileOpen", ItemClass::Menu, "Open...", "Cmd+O", true},
    {"FileMenu", "FileSave", ItemClass::Menu, "Save", "", true},
    {"FileMenu", "FileSaveAs", ItemClass::Menu, "Save As...", "", true},
    {"FileMenu", "FileQuit", ItemClass::Quit, "Quit", "Cmd+Q", true},
    {nullptr, "EditMenu", ItemClass::Menu, "&Edit", "", true},
    {"EditMenu", "EditUndo", ItemClass::Menu, "&Undo", "Cmd+Z", true},
    {"EditMenu", "UntitledMenu0", ItemClass::Menu, "-", nullptr, true},
    {"EditMenu", "EditCut", ItemClass::Menu, "Cu&t", "Cmd+X", false},
    {"EditMenu", "EditCopy", ItemClass::Menu, "&Copy", "Cmd+C", false},
    {"EditMenu", "EditPaste", ItemClass::Menu, "&Paste", "Cmd+V", false},
    {"EditMenu", "EditClear", ItemClass::Menu, "Clear", "", false},
    {"EditMenu", "AppleAboutVellumet", ItemClass::AppleMenu, "About Vellumet...", "", true},
    {"EditMenu", "AppleVisitWebsite", ItemClass::AppleMenu, "Visit Website", "", true},
    {"EditMenu", "AppleCheckForLatestVersion", ItemClass::AppleMenu,
     "Check For Latest Version...", "", true},
};

rb::Ref<rb::MenuItem> NewItem(ItemClass itemClass) {
    switch (itemClass) {
    case ItemClass::Quit:
        return rb::New<rb::QuitMenuItem>();
    case ItemClass::AppleMenu:
        return rb::New<rb::AppleMenuItem>();
    case ItemClass::Menu:
        break;
    }
    return rb::New<rb::MenuItem>();
}

rb::Ref<class MenuBar1> theMenuBar;

} // namespace

MenuBar1::MenuBar1() {
    for (const MenuRow &row : kMenuRows) {
        rb::Ref<rb::MenuItem> item = NewItem(row.itemClass);
        item->Name = row.name;
        item->AutoEnable = row.autoEnable;
        item->Text = row.text;
        if (row.shortcut)
            item->KeyboardShortcut = row.shortcut;
        // A menu goes on the bar; an item into its menu, looked up by name each time.
        if (row.parent == nullptr)
            Append(item);
        else
            Child(row.parent)->Append(item);
    }
}

rb::Ref<class MenuBar1> MenuBar1() {
    if (!theMenuBar)
        theMenuBar = rb::New<class MenuBar1>();
    return theMenuBar;
}
