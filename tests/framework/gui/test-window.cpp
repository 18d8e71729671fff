// test-window.cpp -- a window built from its table: construction order, controls by name at
// their positions, events bound by name, default and cancel buttons, closing, and a picture.
#include "gui-fixture.h"

#include <filesystem>
#include <fstream>

using namespace rb;

namespace {

bool IsOfClass(Control &control, ControlClass kind) {
    switch (kind) {
    case ControlClass::PopupMenu:
        return dynamic_cast<PopupMenu *>(&control);
    case ControlClass::EditField:
        return dynamic_cast<EditField *>(&control);
    case ControlClass::StaticText:
        return dynamic_cast<StaticText *>(&control);
    case ControlClass::CheckBox:
        return dynamic_cast<CheckBox *>(&control);
    case ControlClass::PushButton:
        return dynamic_cast<PushButton *>(&control);
    case ControlClass::BevelButton:
        return dynamic_cast<BevelButton *>(&control);
    case ControlClass::Listbox:
        return dynamic_cast<Listbox *>(&control);
    case ControlClass::Canvas:
        return dynamic_cast<Canvas *>(&control);
    }
    return false;
}

// The entries of `log` after the first `skip`.
EventLog After(const EventLog &log, std::size_t skip) {
    return EventLog(log.begin() + static_cast<std::ptrdiff_t>(std::min(skip, log.size())),
                    log.end());
}

} // namespace

TEST_F(GuiTest, ConstructionRunsTheWindowEventsInOrderAndMakesEveryRow) {
    auto w = NewWindow<TestWindow>();
    EXPECT_EQ(w->log,
              (EventLog{"Layout", "CreateControls", "AddMenuHandlers", "ListBox1_Open", "Open"}))
        << "got " << Describe(w->log);
    EXPECT_EQ(w->Title(), "Test Window");
    EXPECT_TRUE(w->IsOpen());
    EXPECT_TRUE(w->Visible());
    EXPECT_EQ(FrontWindow(), Ref<Window>(w));

    ASSERT_EQ(static_cast<std::size_t>(w->ControlCount()), TestWindow::kControlCount);
    for (std::size_t i = 0; i < TestWindow::kControlCount; ++i) {
        const ControlLayout &row = TestWindow::kControls[i];
        Ref<Control> control = RuntimeWindowControlByName(w.get(), row.Name);
        ASSERT_TRUE(control) << "no control named " << row.Name;
        EXPECT_EQ(w->ControlAt(static_cast<std::int32_t>(i)), control)
            << row.Name << " is not at its table place " << i;
        EXPECT_TRUE(IsOfClass(*control, row.Class)) << row.Name << " has the wrong class";
        EXPECT_EQ(
            (std::vector{control->Left(), control->Top(), control->Width(), control->Height()}),
            (std::vector{row.Left, row.Top, row.Width, row.Height}))
            << row.Name << " is not where its row puts it";
        EXPECT_EQ(control->Enabled(), row.Settings.Enabled) << row.Name;
    }
    EXPECT_EQ(RuntimeWindowControlByName(w.get(), "NoSuchControl"), nullptr);

    auto popup = w->ControlByName<PopupMenu>("PopupSize");
    EXPECT_EQ(popup->ListCount(), 3);
    EXPECT_EQ(popup->Text(), "Small");
    EXPECT_EQ(popup->List(2), "Large");
    EXPECT_EQ(popup->TextSize(), 12);
    EXPECT_EQ(w->ControlByName<EditField>("EditName")->Text(), "Name");
    EXPECT_EQ(w->ControlByName<StaticText>("StaticCaption")->TextAlign(), 1);
    EXPECT_TRUE(w->ControlByName<CheckBox>("CheckBoxAuto")->Value());
    EXPECT_TRUE(w->ControlByName<PushButton>("PushButtonOK")->Default());
    EXPECT_TRUE(w->ControlByName<PushButton>("PushButtonCancel")->Cancel());
    EXPECT_EQ(w->ControlByName<Listbox>("ListBox1")->ColumnCount(), 4);
}

TEST_F(GuiTest, ClicksAtTablePositionsReachTheControlsThere) {
    auto w = NewWindow<TestWindow>();
    struct Case {
        const char *control;
        std::int32_t dx, dy; // inside the control's rectangle
        const char *expected;
    };
    const Case cases[] = {
        {"BevelButtonAdd", 45, 11, "BevelButtonAdd_Action"},
        {"PushButtonOK", 40, 11, "PushButtonOK_Action"},
        {"PushButtonCancel", 40, 11, "PushButtonCancel_Action"},
        {"CheckBoxAuto", 8, 10, "CheckBoxAuto_Action clear"},
        {"Swatch", 5, 7, "Swatch_MouseDown 5,7"},
    };
    for (const Case &c : cases) {
        Ref<Control> control = w->FindControl(c.control);
        const std::size_t before = w->log.size();
        testdriver::ClickAt(*w, control->Left() + c.dx, control->Top() + c.dy);
        EXPECT_EQ(After(w->log, before), EventLog{c.expected})
            << "clicking " << c.control << ": got " << Describe(After(w->log, before));
    }
    // A disabled field takes no typing.
    testdriver::TypeText(*w, "EditDisabled", "x");
    EXPECT_EQ(w->ControlByName<EditField>("EditDisabled")->Text(), "off");
}

TEST_F(GuiTest, PopupChangeComesFromSettingListIndexNeverFromTheTable) {
    auto w = NewWindow<TestWindow>();
    auto popup = w->ControlByName<PopupMenu>("PopupSize");
    struct Case {
        const char *what;
        std::int32_t set; // -100: the user picks item 1 instead
        EventLog expected;
        std::int32_t index;
    };
    const Case cases[] = {
        {"a new index", 2, {"PopupSize_Change 2"}, 2},
        {"the same index", 2, {}, 2},
        {"an index out of range", 7, {"PopupSize_Change -1"}, -1},
        {"the user's pick", -100, {"PopupSize_Change 1"}, 1},
        {"a first index again", 0, {"PopupSize_Change 0"}, 0},
    };
    EXPECT_EQ(std::count(w->log.begin(), w->log.end(), "PopupSize_Change 0"), 0)
        << "the table's index raised Change";
    for (const Case &c : cases) {
        const std::size_t before = w->log.size();
        if (c.set == -100)
            testdriver::ChoosePopupItem(*w, "PopupSize", 1);
        else
            popup->SetListIndex(c.set);
        EXPECT_EQ(After(w->log, before), c.expected)
            << c.what << ": got " << Describe(After(w->log, before));
        EXPECT_EQ(popup->ListIndex(), c.index) << c.what;
    }
    EXPECT_EQ(popup->Text(), "Small");

    // Typing in a field and ticking a box raise their events with the new state in place.
    const std::size_t before = w->log.size();
    testdriver::TypeText(*w, "EditName", "My ");
    w->ControlByName<CheckBox>("CheckBoxAuto")->SetValue(false);
    EXPECT_EQ(After(w->log, before),
              (EventLog{"EditName_TextChange MName", "EditName_TextChange MyName",
                        "EditName_TextChange My Name", "CheckBoxAuto_Action clear"}))
        << "got " << Describe(After(w->log, before));
}

TEST_F(GuiTest, ReturnPressesTheDefaultButtonAndEscapeTheCancelButton) {
    auto w = NewWindow<TestWindow>();
    struct Case {
        const char *focus;
        const char *keys;
        EventLog expected;
    };
    const Case cases[] = {
        {"EditName", "Return", {"PushButtonOK_Action"}},
        {"EditName", "Escape", {"PushButtonCancel_Action"}},
        {"PopupSize", "Return", {"PushButtonOK_Action"}},
        {"ListBox1", "Escape", {"PushButtonCancel_Action"}},
        {"PushButtonCancel", "Return", {"PushButtonOK_Action"}},
        {"EditName", "Shift+Return", {"PushButtonOK_Action"}},
    };
    for (const Case &c : cases) {
        const std::size_t before = w->log.size();
        testdriver::PressKey(*w, c.focus, c.keys);
        EXPECT_EQ(After(w->log, before), c.expected)
            << c.keys << " in " << c.focus << ": got " << Describe(After(w->log, before));
    }
    // A disabled default button is not pressed.
    w->ControlByName<PushButton>("PushButtonOK")->SetEnabled(false);
    const std::size_t before = w->log.size();
    testdriver::PressKey(*w, "EditName", "Return");
    EXPECT_EQ(After(w->log, before), EventLog{}) << "got " << Describe(After(w->log, before));
}

namespace {

class ThrowingWindow : public TestWindow {
  public:
    void Fail() { throw std::runtime_error("handler failed"); }
    void FailWithPopup(PopupMenu &) { throw std::runtime_error("popup handler failed"); }
};

class DuplicateWindow : public Window {
  public:
    DuplicateWindow() {
        _InstallInstanceEventHandler("CreateControls", &DuplicateWindow::CreateControls);
        _InstallInstanceEventHandler("Close", &DuplicateWindow::Close);
    }
    void CreateControls() {
        _AddControl({ControlClass::EditField, "Twice", 0, 0, 10, 10, "", {}});
        _AddControl({ControlClass::StaticText, "Twice", 0, 20, 10, 10, "", {}});
    }
    void Close() { closed = true; }
    bool closed = false;
};

} // namespace

TEST_F(GuiTest, BindingMistakesAreReportedByName) {
    auto w = NewWindow<ThrowingWindow>();
    struct Case {
        const char *what;
        std::function<void()> bind;
        const char *mentions;
    };
    const Case cases[] = {
        {"an unknown control",
         [&] { w->_InstallInstanceEventHandler("NoSuch", "Action", &TestWindow::Open); }, "NoSuch"},
        {"an event the class lacks",
         [&] { w->_InstallInstanceEventHandler("PopupSize", "Action", &TestWindow::Open); },
         "Action"},
        {"a wrong signature",
         [&] {
             w->_InstallInstanceEventHandler("PopupSize", "Change", &TestWindow::Swatch_MouseDown);
         },
         "Change"},
        {"a handler for another class of control",
         [&] {
             w->_InstallInstanceEventHandler("ListBox1", "Change", &TestWindow::PopupSize_Change);
         },
         "PopupMenu"},
        {"an unknown window event",
         [&] { w->_InstallInstanceEventHandler("Resized", &TestWindow::Open); }, "Resized"},
        {"a lookup of a missing control", [&] { w->ControlByName<Listbox>("NoSuch"); }, "NoSuch"},
        {"a lookup with the wrong class", [&] { w->ControlByName<Listbox>("PopupSize"); },
         "PopupSize"},
    };
    for (const Case &c : cases) {
        try {
            c.bind();
            ADD_FAILURE() << c.what << " was accepted";
        } catch (const std::invalid_argument &e) {
            EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos)
                << c.what << ": the message \"" << e.what() << "\" does not name " << c.mentions;
        }
    }

    // A window whose construction fails does not stay open, and gets no Close event.
    auto broken = New<DuplicateWindow>();
    EXPECT_THROW(broken->Construct(), std::invalid_argument);
    EXPECT_FALSE(broken->IsOpen());
    EXPECT_FALSE(broken->closed);
    EXPECT_EQ(WindowCount(), 1);
}

TEST_F(GuiTest, HandlerExceptionsReachCodeButNeverCrossTheEventLoop) {
    auto w = NewWindow<ThrowingWindow>();
    w->_InstallInstanceEventHandler("PopupSize", "Change", &ThrowingWindow::FailWithPopup);
    w->_InstallInstanceEventHandler("BevelButtonAdd", "Action", &ThrowingWindow::Fail);
    // Set off by program code: the exception reaches that code.
    EXPECT_THROW(w->ControlByName<PopupMenu>("PopupSize")->SetListIndex(1), std::runtime_error);
    // Set off by the user: reported, and the window goes on working.
    testdriver::Click(*w, "BevelButtonAdd");
    testdriver::Click(*w, "PushButtonOK");
    ASSERT_EQ(testdriver::Problems().size(), 1u);
    EXPECT_NE(testdriver::Problems()[0].find("handler failed"), std::string::npos)
        << testdriver::Problems()[0];
    EXPECT_EQ(w->log.back(), "PushButtonOK_Action");
    testdriver::Reset();
}

TEST_F(GuiTest, ClosingRunsCloseOnceAndLeavesTheControlsAsObjects) {
    auto w = NewWindow<TestWindow>();
    auto second = NewWindow<TestWindow>();
    Ref<Listbox> list = w->ControlByName<Listbox>("ListBox1");
    Ref<PopupMenu> popup = w->ControlByName<PopupMenu>("PopupSize");
    EXPECT_EQ(WindowCount(), 2);

    testdriver::ClickCloseBox(*w);
    w->Window::Close(); // TestWindow::Close is its Close event's handler
    EXPECT_EQ(std::count(w->log.begin(), w->log.end(), "Close"), 1) << Describe(w->log);
    EXPECT_FALSE(w->IsOpen());
    EXPECT_EQ(WindowCount(), 1);
    EXPECT_EQ(FrontWindow(), Ref<Window>(second));

    // The list a dialog may still hold keeps working; events no longer reach the window.
    list->AddRow("after");
    list->SetCell(0, 2, "still");
    EXPECT_EQ(list->Cell(0, 2), "still");
    EXPECT_EQ(list->Window(), nullptr);
    const std::size_t before = w->log.size();
    popup->SetListIndex(2);
    EXPECT_EQ(w->log.size(), before) << Describe(w->log);
}

// A Close handler may keep its window open: from code, the close box and Quit alike, and a
// quit stops there, leaving the windows behind it open. Shutting down closes it all the same.
TEST_F(GuiTest, ACloseHandlerCanKeepItsWindowOpen) {
    auto behind = NewWindow<TestWindow>();
    auto staying = NewWindow<TestWindow>();
    auto front = NewWindow<TestWindow>();
    staying->stayOpen = true;
    staying->Window::Close();
    testdriver::ClickCloseBox(*staying);
    EXPECT_TRUE(staying->IsOpen());
    EXPECT_TRUE(staying->Visible());
    Quit();
    EXPECT_FALSE(front->IsOpen());
    EXPECT_TRUE(staying->IsOpen());
    EXPECT_TRUE(behind->IsOpen());
    EXPECT_EQ(std::count(staying->log.begin(), staying->log.end(), "Close"), 3)
        << Describe(staying->log);
    EXPECT_EQ(std::count(behind->log.begin(), behind->log.end(), "Close"), 0);
    staying->StayOpen(); // outside its Close event: nothing
    testdriver::Reset();
    EXPECT_FALSE(staying->IsOpen());
    EXPECT_FALSE(behind->IsOpen());
    EXPECT_EQ(WindowCount(), 0);
}

TEST_F(GuiTest, TheTestWindowRendersToAPicture) {
    auto app = New<Application>();
    auto bar = New<MenuBar>();
    auto file = New<MenuItem>("&File");
    file->Append(New<QuitMenuItem>("Quit"));
    bar->Append(file);
    app->SetMenuBar(bar);
    RuntimeRegisterAppObject(app);

    auto w = NewWindow<TestWindow>();
    auto list = w->ControlByName<Listbox>("ListBox1");
    const char *rows[][3] = {{"255 0 0", "Red line"},
                             {"0 160 0", "Green circle"},
                             {"0 0 255", "Blue text with a long description"}};
    for (const auto &row : rows) {
        list->AddRow("record");
        list->SetCell(list->LastIndex(), 1, row[0]);
        list->SetCell(list->LastIndex(), 2, row[1]);
    }
    list->SetListIndex(1);

    const std::filesystem::path folder = VELLUMET_SCREENSHOT_DIR;
    std::filesystem::create_directories(folder);
    const std::filesystem::path png = folder / "test-window.png";
    ASSERT_TRUE(testdriver::RenderToPNG(*w, png.string()));

    // The picture is the whole window: the content's width, its height and the menu bar's.
    std::ifstream in(png, std::ios::binary);
    unsigned char header[24] = {};
    in.read(reinterpret_cast<char *>(header), sizeof header);
    auto big = [&](int at) {
        return (header[at] << 24) | (header[at + 1] << 16) | (header[at + 2] << 8) | header[at + 3];
    };
    EXPECT_EQ(std::string(reinterpret_cast<char *>(header) + 1, 3), "PNG");
    EXPECT_EQ(big(16), TestWindow::kLayout.Width);
    EXPECT_GT(big(20), TestWindow::kLayout.Height);
    RuntimeRegisterAppObject(nullptr);
}
