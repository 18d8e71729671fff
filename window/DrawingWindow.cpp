// DrawingWindow.cpp -- the window's life: its events, how it is built from its layout data,
// what it holds when it opens, and what it lets go when it is destroyed.
#include "DrawingWindow.h"

#include "DrawingWindow-layout.h"
#include "MenuBar1.h"

#include "rb/files.h"

DrawingWindow::DrawingWindow() {
    _InstallInstanceEventHandler("Layout", &DrawingWindow::Layout);
    _InstallInstanceEventHandler("CreateControls", &DrawingWindow::CreateControls);
    _InstallInstanceEventHandler("Open", &DrawingWindow::Open);
    // AddMenuHandlers, Close and EnableMenuItems are bound here with the settings file, the
    // Save commands and the element list's Cut.
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
    // The element list's events (ListBox1: Open, CellBackgroundPaint, CellTextPaint,
    // DoubleClick, in this order) and the Action events of BevelButton1 to BevelButton5 are
    // bound here with the element list.
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
