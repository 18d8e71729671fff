// gui-fixture.cpp -- the GUI tests' fixture and their test window.
#include "gui-fixture.h"

using namespace rb;

void GuiTest::SetUp() {
    testdriver::Start();
    testdriver::Reset();
}

void GuiTest::TearDown() {
    for (const std::string &problem : testdriver::Problems())
        ADD_FAILURE() << problem;
    EXPECT_EQ(testdriver::PendingAnswers(), 0) << "scripted answers left over";
    testdriver::Reset();
}

std::string Describe(const EventLog &log) {
    std::string text;
    for (const std::string &entry : log)
        text += (text.empty() ? "" : ", ") + entry;
    return "[" + text + "]";
}

const WindowLayout TestWindow::kLayout{.Title = "Test Window", .Width = 360, .Height = 260};

const ControlLayout TestWindow::kControls[] = {
    {ControlClass::PopupMenu,
     "PopupSize",
     20,
     10,
     150,
     22,
     "Small\rMedium\rLarge",
     {.TextSize = 12, .ListIndex = 0}},
    {ControlClass::StaticText,
     "StaticCaption",
     180,
     12,
     160,
     20,
     "Centred label",
     {.TextAlign = 1}},
    {ControlClass::EditField, "EditName", 20, 44, 150, 22, "Name", {}},
    {ControlClass::StaticText, "StaticUnit", 180, 45, 60, 20, "units", {}},
    {ControlClass::CheckBox, "CheckBoxAuto", 20, 76, 150, 20, "Auto", {.Value = true}},
    {ControlClass::Listbox,
     "ListBox1",
     20,
     104,
     220,
     100,
     "",
     {.ColumnCount = 4, .ColumnWidths = "0%,24,,0%"}},
    {ControlClass::BevelButton, "BevelButtonAdd", 250, 104, 90, 22, "Add", {}},
    {ControlClass::Canvas, "Swatch", 250, 134, 32, 20, "", {}},
    {ControlClass::PushButton, "PushButtonOK", 260, 224, 80, 22, "OK", {.Default = true}},
    {ControlClass::PushButton, "PushButtonCancel", 160, 224, 80, 22, "Cancel", {.Cancel = true}},
    {ControlClass::EditField, "EditDisabled", 20, 224, 120, 22, "off", {.Enabled = false}},
};
const std::size_t TestWindow::kControlCount = std::size(TestWindow::kControls);

TestWindow::TestWindow(Ref<rb::MenuBar> menuBar) : ownMenuBar(std::move(menuBar)) {
    _InstallInstanceEventHandler("Layout", &TestWindow::Layout);
    _InstallInstanceEventHandler("CreateControls", &TestWindow::CreateControls);
    _InstallInstanceEventHandler("AddMenuHandlers", &TestWindow::AddMenuHandlers);
    _InstallInstanceEventHandler("Open", &TestWindow::Open);
    _InstallInstanceEventHandler("Close", &TestWindow::Close);
    _InstallInstanceEventHandler("EnableMenuItems", &TestWindow::EnableMenuItems);
}

void TestWindow::Layout() {
    log.push_back("Layout");
    if (ownMenuBar)
        SetMenuBar(ownMenuBar);
    ApplyLayout(kLayout);
}

void TestWindow::CreateControls() {
    log.push_back("CreateControls");
    for (const ControlLayout &row : kControls)
        _AddControl(row);
    _InstallInstanceEventHandler("PopupSize", "Change", &TestWindow::PopupSize_Change);
    _InstallInstanceEventHandler("EditName", "TextChange", &TestWindow::EditName_TextChange);
    _InstallInstanceEventHandler("CheckBoxAuto", "Action", &TestWindow::CheckBoxAuto_Action);
    _InstallInstanceEventHandler("PushButtonOK", "Action", &TestWindow::PushButtonOK_Action);
    _InstallInstanceEventHandler("PushButtonCancel", "Action",
                                 &TestWindow::PushButtonCancel_Action);
    _InstallInstanceEventHandler("BevelButtonAdd", "Action", &TestWindow::BevelButtonAdd_Action);
    _InstallInstanceEventHandler("ListBox1", "Open", &TestWindow::ListBox1_Open);
    _InstallInstanceEventHandler("ListBox1", "CellBackgroundPaint",
                                 &TestWindow::ListBox1_CellBackgroundPaint);
    _InstallInstanceEventHandler("ListBox1", "CellTextPaint", &TestWindow::ListBox1_CellTextPaint);
    _InstallInstanceEventHandler("ListBox1", "DoubleClick", &TestWindow::ListBox1_DoubleClick);
    _InstallInstanceEventHandler("Swatch", "Paint", &TestWindow::Swatch_Paint);
    _InstallInstanceEventHandler("Swatch", "MouseDown", &TestWindow::Swatch_MouseDown);
}

void TestWindow::AddMenuHandlers(Window &w) {
    log.push_back("AddMenuHandlers");
    w._AddMenuHandler("EditCut", &TestWindow::_EditCut_Action);
}

void TestWindow::Open() { log.push_back("Open"); }
void TestWindow::Close() {
    log.push_back("Close");
    if (stayOpen)
        StayOpen();
}

void TestWindow::EnableMenuItems() {
    log.push_back("EnableMenuItems");
    Ref<rb::MenuBar> bar = MenuBar() ? MenuBar() : RuntimeAppObject()->MenuBar();
    if (cutAllowed)
        bar->FindItem("EditCut")->Enable();
}

void TestWindow::PopupSize_Change(PopupMenu &me) {
    log.push_back("PopupSize_Change " + Str(me.ListIndex()));
}

void TestWindow::EditName_TextChange() {
    log.push_back("EditName_TextChange " + ControlByName<EditField>("EditName")->Text());
}

void TestWindow::CheckBoxAuto_Action() {
    log.push_back(std::string("CheckBoxAuto_Action ") +
                  (ControlByName<CheckBox>("CheckBoxAuto")->Value() ? "ticked" : "clear"));
}

void TestWindow::PushButtonOK_Action() { log.push_back("PushButtonOK_Action"); }
void TestWindow::PushButtonCancel_Action() { log.push_back("PushButtonCancel_Action"); }
void TestWindow::BevelButtonAdd_Action() { log.push_back("BevelButtonAdd_Action"); }
void TestWindow::ListBox1_Open() { log.push_back("ListBox1_Open"); }

bool TestWindow::ListBox1_CellBackgroundPaint(Graphics &g, std::int32_t row, std::int32_t column) {
    backgrounds.push_back({row, column, g.Width(), g.Height()});
    if (!paintSwatches || column != 1)
        return false;
    // Column 1 holds "r g b": a swatch in a black frame, as the drawing window paints it.
    const std::string rgb = ControlByName<Listbox>("ListBox1")->Cell(row, 1);
    g.ForeColor = RGB(0, 0, 0);
    g.DrawRect(2, 0, g.Width() - 2, g.Height() - 1);
    g.ForeColor = RGB(ToInt32(Val(NthField(rgb, " ", 1))), ToInt32(Val(NthField(rgb, " ", 2))),
                      ToInt32(Val(NthField(rgb, " ", 3))));
    g.FillRect(3, 1, g.Width() - 4, g.Height() - 3);
    return true;
}

bool TestWindow::ListBox1_CellTextPaint(Graphics &g, std::int32_t row, std::int32_t column,
                                        std::int32_t x, std::int32_t y) {
    (void)x;
    (void)y;
    texts.push_back({row, column, g.Width(), g.Height()});
    return paintSwatches && column == 1;
}

void TestWindow::ListBox1_DoubleClick() {
    log.push_back("ListBox1_DoubleClick " + Str(ControlByName<Listbox>("ListBox1")->ListIndex()));
}

void TestWindow::Swatch_Paint(Graphics &g) {
    g.ForeColor = RGB(0, 128, 255);
    g.FillRect(0, 0, g.Width(), g.Height());
    g.ForeColor = RGB(0, 0, 0);
    g.PenWidth = 2;
    g.PenHeight = 2;
    g.DrawRect(0, 0, g.Width(), g.Height());
}

bool TestWindow::Swatch_MouseDown(std::int32_t x, std::int32_t y) {
    log.push_back("Swatch_MouseDown " + Str(x) + "," + Str(y));
    return false;
}

bool TestWindow::_EditCut_Action() {
    log.push_back("_EditCut_Action");
    return true;
}
