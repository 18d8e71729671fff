// MenuBar1.h -- the program's one menu bar, built on first use and shared by every window.
#pragma once

#include "rb/menus.h"

class MenuBar1 : public rb::MenuBar {
public:
    // Builds the File and Edit menus and their items. Only the function MenuBar1 makes one.
    MenuBar1();
};

// The single instance: created and filled on the first call, the same object afterwards.
// (The function hides the class name in expressions: write `class MenuBar1` for the type.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
rb::Ref<class MenuBar1> MenuBar1();
#pragma GCC diagnostic pop
