// gui-fixture.h -- the fixture of the GUI tests, and a small window built from a table.
#pragma once

#include "rb/framework.h"
#include "rb/testdriver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Starts the framework once per process in test mode; before and after each test every
// window is closed and the driver forgotten. A test fails when a dialog was unexpected, a
// handler threw, or a scripted answer was left over.
class GuiTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// The events that reached a TestWindow's handlers, in order.
using EventLog = std::vector<std::string>;

// A window from a small table with one control of each class, every handler bound by name.
class TestWindow : public rb::Window {
  public:
    static const rb::WindowLayout kLayout;
    static const rb::ControlLayout kControls[];
    static const std::size_t kControlCount;

    explicit TestWindow(rb::Ref<rb::MenuBar> menuBar = nullptr);

    EventLog log;
    bool cutAllowed = false;   // what EnableMenuItems decides for "EditCut"
    bool paintSwatches = true; // ListBox1 paints column 1 as a swatch
    bool stayOpen = false;     // Close asks to stay open
    struct CellPaint {
        std::int32_t row, column, width, height;
    };
    std::vector<CellPaint> backgrounds;
    std::vector<CellPaint> texts;
    rb::Ref<rb::MenuBar> ownMenuBar; // shown instead of the application's when set

    void Layout();
    void CreateControls();
    void AddMenuHandlers(rb::Window &w);
    void Open();
    void Close();
    void EnableMenuItems();

    void PopupSize_Change(rb::PopupMenu &me);
    void EditName_TextChange();
    void CheckBoxAuto_Action();
    void PushButtonOK_Action();
    void PushButtonCancel_Action();
    void BevelButtonAdd_Action();
    void ListBox1_Open();
    bool ListBox1_CellBackgroundPaint(rb::Graphics &g, std::int32_t row, std::int32_t column);
    bool ListBox1_CellTextPaint(rb::Graphics &g, std::int32_t row, std::int32_t column,
                                std::int32_t x, std::int32_t y);
    void ListBox1_DoubleClick();
    void Swatch_Paint(rb::Graphics &g);
    bool Swatch_MouseDown(std::int32_t x, std::int32_t y);

    bool _EditCut_Action();
};

// "got X, expected Y" for two logs.
std::string Describe(const EventLog &log);
