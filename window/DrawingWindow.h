// DrawingWindow.h -- the document window: one sheet's set-up, its element list, and the page
// generation that writes the sheet as a one-page PDF file.
//
// A window is made with rb::NewWindow<DrawingWindow>(); when that returns, the window shows the
// default set-up (Letter, portrait, inches, margins 0.5 and 0.75 inches, scales 100 percent),
// an empty element list, and its output file is "untitled.pdf" in the default folder.
//
// Page geometry is in PDF points. Element positions are in the sheet's unit, from the top-left
// corner of the usable area (the paper less its margins), y downwards. Typed numbers are read
// with rb::Val and never validated; whatever the fields hold, a generation ends and the file it
// writes is a valid PDF.
#pragma once

#include "MyPDFGenerator.h"

#include "rb/controls.h"
#include "rb/files.h"
#include "rb/window.h"

#include <cstddef>
#include <cstdint>
#include <string>

class DrawingWindow : public rb::Window {
  public:
    // Binds the window's own events; the framework's Construct then builds the window.
    DrawingWindow();
    // Releases pdf, outputFile and thisFile, in this order.
    ~DrawingWindow() override;

    // Window events, raised while the window is constructed: Layout, then CreateControls
    // (which calls _CreateControls0), then, after the controls' Open events, Open.
    void Layout();
    void CreateControls();
    void _CreateControls0();
    void Open();

    // Sheet set-up. The two Change handlers keep the custom-size fields, the unit label and
    // the margin fields up to date; the margins are converted on every unit change.
    void PopupPaperSize_Change(rb::PopupMenu &me);
    void PopupUnits_Change(rb::PopupMenu &me);
    // paperWidth and paperHeight from the paper popup (the custom fields for "Custom"), in
    // portrait; an index outside the popup's items changes nothing.
    void GetPaperSize();
    // The paper size into the custom-size fields, in the current unit.
    void SetPaperSize();
    // unitPixels, the four margins in points and the paper size, orientation applied.
    void ReadGUIValues();

    // Page generation: the Generate button's road. Shift+Generate forgets the output file
    // first; a ticked "Auto View Graph" opens the written file afterwards.
    void PushButtonGenerate_Action();
    // Asks for an output file only while none is chosen, then writes the page.
    void DoFilename();
    // Drives the writer through one document in a fixed order of calls.
    void DoPage();
    // Turns every element row of ListBox1 into drawing calls.
    void DoGraph();

    // The most content one page takes in. Once the page's content stream holds this many
    // bytes, no further row or repeated line is drawn: a REPEATLINE asking for two billion
    // lines would otherwise need some 150 gigabytes of memory, and the writer's file offsets
    // are 32-bit. The bound is close to a million lines, far beyond any real sheet (an A0 sheet
    // ruled every 0.1 mm both ways has 20,000) and beyond what viewers open in reasonable time.
    static constexpr std::size_t kPageContentLimit = std::size_t{64} << 20;

    rb::Ref<MyPDFGenerator> pdf;
    std::int32_t paperWidth = 0;
    std::int32_t paperHeight = 0;
    double unitPixels = 0;
    double leftMargin = 0;
    double topMargin = 0;
    double bottomMargin = 0;
    double rightMargin = 0;
    rb::Ref<rb::FolderItem> outputFile;
    double usableWidth = 0;
    double usableHeight = 0;
    std::int32_t fonthandle = 0;
    bool dirty = false;
    rb::Ref<rb::FolderItem> thisFile;

  private:
    // One element row, drawn by kind.
    void DrawLine(const std::string &record);
    void DrawRepeatLine(const std::string &record);
    void DrawCircle(const std::string &record);
    void DrawRectangle(const std::string &record);
    void DrawText(const std::string &record, const std::string &text);
    // Page coordinates of a position in points relative to the usable area.
    double PageX(double x) const;
    double PageY(double y) const;
    bool PageIsFull() const;
};
