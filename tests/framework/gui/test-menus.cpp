// test-menus.cpp -- menu bars built from a shared tree: the application menu, shortcuts,
// the menu update, and dispatch to the window's handler before the application's.
#include "gui-fixture.h"

using namespace rb;

namespace {

class MenuApp : public Application {
  public:
    EventLog log;
    bool _FileOpen_Action() {
        log.push_back("app FileOpen");
        return true;
    }
    bool _EditCut_Action() {
        log.push_back("app EditCut");
        return true;
    }
    bool _AppleAbout_Action() {
        log.push_back("app About");
        return true;
    }
};

Ref<MenuItem> Item(Ref<MenuItem> item, const char *name, const char *shortcut = "",
                   bool autoEnable = true) {
    item->Name = name;
    item->KeyboardShortcut = shortcut;
    item->AutoEnable = autoEnable;
    return item;
}

// File and Edit, with an application-menu item appended to Edit.
Ref<MenuBar> MakeMenuBar() {
    auto bar = New<MenuBar>();
    bar->Append(Item(New<MenuItem>("&File"), "FileMenu"));
    bar->Child("FileMenu")->Append(Item(New<MenuItem>("Open..."), "FileOpen", "Cmd+O"));
    bar->Child("FileMenu")->Append(Item(New<QuitMenuItem>("Quit"), "FileQuit", "Cmd+Q"));
    bar->Append(Item(New<MenuItem>("&Edit"), "EditMenu"));
    bar->Child("EditMenu")->Append(Item(New<MenuItem>("&Undo"), "EditUndo", "Cmd+Z"));
    bar->Child("EditMenu")->Append(Item(New<MenuItem>("-"), "UntitledMenu0"));
    bar->Child("EditMenu")->Append(Item(New<MenuItem>("Cu&t"), "EditCut", "Cmd+X", false));
    bar->Child("EditMenu")->Append(Item(New<MenuItem>("&Copy"), "EditCopy", "Shift+Cmd+C", false));
    bar->Child("EditMenu")->Append(Item(New<AppleMenuItem>("About Test..."), "AppleAbout"));
    return bar;
}

class MenuTest : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        app = New<MenuApp>();
        app->SetMenuBar(MakeMenuBar());
        app->_AddMenuHandler("FileOpen", &MenuApp::_FileOpen_Action);
        app->_AddMenuHandler("EditCut", &MenuApp::_EditCut_Action);
        app->_AddMenuHandler("AppleAbout", &MenuApp::_AppleAbout_Action);
        RuntimeRegisterAppObject(app);
    }
    void TearDown() override {
        GuiTest::TearDown();
        RuntimeRegisterAppObject(nullptr);
    }
    Ref<MenuApp> app;
};

std::size_t Count(const EventLog &log, const std::string &entry) {
    return static_cast<std::size_t>(std::count(log.begin(), log.end(), entry));
}

} // namespace

TEST_F(MenuTest, TheMenuBarShowsTheApplicationMenuFirstAndCommandKeysAsCtrl) {
    auto w = NewWindow<TestWindow>();
    const std::string shown = testdriver::DescribeMenuBar(*w);
    const std::size_t firstLine = shown.find('\n');
    ASSERT_NE(firstLine, std::string::npos) << shown;
    EXPECT_GT(firstLine, 0u) << "the application menu has no title";
    EXPECT_EQ(shown.substr(firstLine + 1), "  About Test...\n"
                                           "&File\n"
                                           "  Open...\tCtrl+O\n"
                                           "  Quit\tCtrl+Q\n"
                                           "&Edit\n"
                                           "  &Undo\tCtrl+Z (disabled)\n"
                                           "  -\n"
                                           "  Cu&t\tCtrl+X (disabled)\n"
                                           "  &Copy\tCtrl+Shift+C (disabled)\n")
        << "got\n"
        << shown;
}

TEST_F(MenuTest, EnableMenuItemsDecidesBeforeTheMenuShows) {
    auto w = NewWindow<TestWindow>();
    struct Case {
        const char *item;
        bool cutAllowed;
        bool expected;
    };
    const Case cases[] = {
        {"EditCut", false, false}, // not auto-enabled, and the window does not enable it
        {"EditCut", true, true},   // the window enables it
        {"EditCopy", true, false}, // nobody enables it
        {"EditUndo", true, false}, // auto-enabled, but nothing would take it
        {"FileOpen", false, true}, // auto-enabled, the application takes it
        {"FileQuit", false, true}, // the framework takes it
    };
    for (const Case &c : cases) {
        w->cutAllowed = c.cutAllowed;
        const std::size_t updates = Count(w->log, "EnableMenuItems");
        EXPECT_EQ(testdriver::MenuItemEnabled(*w, c.item), c.expected)
            << c.item << " with cutAllowed " << c.cutAllowed;
        EXPECT_EQ(Count(w->log, "EnableMenuItems"), updates + 1)
            << "opening the menu of " << c.item << " ran no menu update";
    }
}

TEST_F(MenuTest, AChosenItemGoesToTheWindowsHandlerElseTheApplications) {
    auto w = NewWindow<TestWindow>();
    w->cutAllowed = true;
    struct Case {
        const char *item;
        const char *windowGets; // "" for nothing
        const char *appGets;
    };
    const Case cases[] = {
        {"EditCut", "_EditCut_Action", ""},
        {"FileOpen", "", "app FileOpen"},
        {"AppleAbout", "", "app About"},
    };
    for (const Case &c : cases) {
        const std::size_t windowBefore = Count(w->log, "_EditCut_Action");
        const EventLog appBefore = app->log;
        ASSERT_TRUE(testdriver::ChooseMenuItem(*w, c.item)) << c.item << " could not be chosen";
        EXPECT_EQ(Count(w->log, "_EditCut_Action") - windowBefore, *c.windowGets ? 1u : 0u)
            << c.item;
        EventLog appGot(app->log.begin() + static_cast<std::ptrdiff_t>(appBefore.size()),
                        app->log.end());
        EXPECT_EQ(appGot, *c.appGets ? EventLog{c.appGets} : EventLog{})
            << c.item << ": the application got " << Describe(appGot);
    }
    // A disabled item cannot be chosen.
    w->cutAllowed = false;
    EXPECT_FALSE(testdriver::ChooseMenuItem(*w, "EditCut"));
}

TEST_F(MenuTest, ShortcutsFireAsCtrlOnlyWhileTheirItemIsEnabled) {
    auto w = NewWindow<TestWindow>();
    struct Case {
        const char *keys;
        bool cutAllowed;
        const char *windowGets;
        const char *appGets;
    };
    const Case cases[] = {
        {"Ctrl+X", true, "_EditCut_Action", ""},
        {"Ctrl+X", false, "", ""},
        {"Ctrl+O", false, "", "app FileOpen"},
        {"Ctrl+Shift+C", false, "", ""},
    };
    for (const Case &c : cases) {
        w->cutAllowed = c.cutAllowed;
        const EventLog windowBefore = w->log;
        const EventLog appBefore = app->log;
        testdriver::PressKey(*w, "ListBox1", c.keys);
        EventLog windowGot(w->log.begin() + static_cast<std::ptrdiff_t>(windowBefore.size()),
                           w->log.end());
        EventLog appGot(app->log.begin() + static_cast<std::ptrdiff_t>(appBefore.size()),
                        app->log.end());
        // The menu update runs before the key is matched, then the handler if any.
        EventLog expected{"EnableMenuItems"};
        if (*c.windowGets)
            expected.push_back(c.windowGets);
        EXPECT_EQ(windowGot, expected) << c.keys << ": the window got " << Describe(windowGot);
        EXPECT_EQ(appGot, *c.appGets ? EventLog{c.appGets} : EventLog{})
            << c.keys << ": the application got " << Describe(appGot);
    }
}

TEST_F(MenuTest, TheQuitItemClosesEveryWindow) {
    auto first = NewWindow<TestWindow>();
    auto second = NewWindow<TestWindow>();
    ASSERT_TRUE(testdriver::ChooseMenuItem(*second, "FileQuit"));
    EXPECT_EQ(Count(first->log, "Close"), 1u) << Describe(first->log);
    EXPECT_EQ(Count(second->log, "Close"), 1u) << Describe(second->log);
    EXPECT_EQ(WindowCount(), 0);
}
