// DrawingWindow.cpp -- the window's life: its events, how it is built from its layout data,
// what it holds when it opens, and what it lets go when it is destroyed.
#include "DrawingWindow.h"

#include "DrawingWindow-layout.h"
#include "MenuBar1.h"

#include "rb/files.h"

DrawingWindow::DrawingWindow() {
    _InstallInstanceEventHandler("Layout", &DrawingWindow::Layout);
    _InstallInstanceEventHandler("CreateControls", &DrawingWindow::CreateControls);
    _InstallInstanceEventHandler("AddMenuHandlers", &DrawingWindow::AddMenuHandlers);
    _InstallInstanceEventHandler("Open", &DrawingWindow::Open);
    _InstallInstanceEventHandler("Close", &DrawingWindow::Close);
    _InstallInstanceEventHandler("EnableMenuItems", &DrawingWindow::EnableMenuItems);
}

DrawingWindow::~DrawingWindow() {
    pdf = nullptr;
    outputFile = nullptr;
    thisFile = nullptr;
}

void DrawingWindow::Layout() {
    SetMenuBar(MenuBar1());
    ApplyLayout(kDrawingWindowLayout);
}

void DrawingWindow::CreateControls() { _CreateControls0(); }

void DrawingWindow::_CreateControls0() {
    for (const rb::ControlLayout &row : kDrawingWindowControls)
        _AddControl(row);

    // Events are bound only once every control holds its layout data, so the popups' initial
    // items raise no Change.
    _InstallInstanceEventHandler("PopupPaperSize", "Change", &DrawingWindow::PopupPaperSize_Change);
    _InstallInstanceEventHandler("PopupUnits", "Change", &DrawingWindow::PopupUnits_Change);
    _InstallInstanceEventHandler("PushButtonGenerate", "Action",
                                 &DrawingWindow::PushButtonGenerate_Action);
    _InstallInstanceEventHandler("ListBox1", "Open", &DrawingWindow::ListBox1_Open);
    _InstallInstanceEventHandler("ListBox1", "CellBackgroundPaint",
                                 &DrawingWindow::ListBox1_CellBackgroundPaint);
    _InstallInstanceEventHandler("ListBox1", "CellTextPaint",
                                 &DrawingWindow::ListBox1_CellTextPaint);
    _InstallInstanceEventHandler("ListBox1", "DoubleClick", &DrawingWindow::ListBox1_DoubleClick);
    _InstallInstanceEventHandler("BevelButton1", "Action", &DrawingWindow::BevelButton1_Action);
    _InstallInstanceEventHandler("BevelButton2", "Action", &DrawingWindow::BevelButton2_Action);
    _InstallInstanceEventHandler("BevelButton3", "Action", &DrawingWindow::BevelButton3_Action);
    _InstallInstanceEventHandler("BevelButton4", "Action", &DrawingWindow::BevelButton4_Action);
    _InstallInstanceEventHandler("BevelButton5", "Action", &DrawingWindow::BevelButton5_Action);
}

void DrawingWindow::Open() {
    pdf = rb::New<MyPDFGenerator>();
    pdf->Constructor();

    // Passing through Legal raises the Change handler for Letter as well, which fills the
    // custom-size fields with Letter's size in the current unit and disables them.
    ControlByName<rb::PopupMenu>("PopupPaperSize")->SetListIndex(1);
    ControlByName<rb::PopupMenu>("PopupPaperSize")->SetListIndex(0);
    pdf->Delete();

    // The first generation writes here without asking.
    outputFile = rb::GetFolderItem("untitled.pdf");
}
