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

#include "ElementRecord.h"
#include "MyPDFGenerator.h"

#include "rb/controls.h"
#include "rb/files.h"
#include "rb/window.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

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

    // The element list (ListBox1: column 0 the element record, 1 the colour text shown as a
    // swatch, 2 the description, 3 a TEXT's string). Each button appends a placeholder row
    // and opens its kind's editor on it; a double-click opens the editor of the selected
    // row's kind. Opening an editor sets dirty; Cut removes the selected row and leaves dirty.
    // A full list (kMostElementRows) gets no placeholder: the editor opens on no row, and its
    // "OK" adds the element only once the list has room for it.
    void ListBox1_Open(rb::Listbox &me);
    bool ListBox1_CellBackgroundPaint(rb::Listbox &me, rb::Graphics &g, std::int32_t row,
                                      std::int32_t column);
    bool ListBox1_CellTextPaint(rb::Listbox &me, rb::Graphics &g, std::int32_t row,
                                std::int32_t column, std::int32_t x, std::int32_t y);
    void ListBox1_DoubleClick(rb::Listbox &me);
    void BevelButton1_Action(); // Line
    void BevelButton2_Action(); // Circle
    void BevelButton3_Action(); // Rectangle
    void BevelButton4_Action(); // Text
    void BevelButton5_Action(); // Repeating Line
    // Enables Cut while a row is selected.
    void EnableMenuItems();
    bool _EditCut_Action();
    // Rebuilds the colour text and description of every row of a known kind from its record.
    void PopulateListBox();

    // Page generation: the Generate button's road. A paper side beyond kLargestPaperSide is
    // refused with kPaperTooLargeMessage before anything else happens: no file is chosen or
    // written, the old one stays as it was. Otherwise Shift+Generate forgets the output file
    // first, and a ticked "Auto View Graph" opens the written file afterwards.
    void PushButtonGenerate_Action();
    // Asks for an output file only while none is chosen, then writes the page.
    void DoFilename();
    // Drives the writer through one document in a fixed order of calls; a page that the
    // content limit cut short is written, then a message says so.
    void DoPage();
    // Turns every element row of ListBox1 into drawing calls.
    void DoGraph();

    // The settings file: the set-up controls (custom size and scales excepted), the output
    // file as an alias record, and columns 0 and 3 of the element rows.
    // SaveSettings writes through a new file that replaces f only once it is complete, and
    // clears dirty only then. A text longer than a stored string holds (255 bytes), and a list
    // of more than kMostElementRows rows, are refused before anything is written. Every
    // failure but a nil f tells the user; false then.
    bool SaveSettings(rb::Ref<rb::FolderItem> f);
    // What LoadSettings made of a file: whether it was read whole as a settings file, and
    // when it could not be read (not opened, or a read that the disk failed), why: the
    // system's error number, ENOENT for a file that does not exist.
    struct SettingsRead {
        bool whole = false;
        std::int32_t error = 0;
        explicit operator bool() const { return whole; }
    };
    // Reads f into the window; nil, a missing file or one that cannot be opened changes
    // nothing. The file is untrusted: an item the file does not hold whole, and a popup index
    // outside its items, leave their control as it was, and no loop runs past what the file
    // holds. Whole only when the file ends right after its last row. A read that the disk
    // fails ends the reading there: what came before stays in the window, but the file counts
    // as unread, with the reason. Leaves dirty and thisFile.
    SettingsRead LoadSettings(rb::Ref<rb::FolderItem> f);
    // The output file's alias record, with its byte length in front; 0 for no record.
    void WriteAlias(rb::Ref<rb::FolderItem> f, rb::BinaryStream &b);
    // The file that the next alias record in b finds when it is a PDF file, or nil.
    rb::Ref<rb::FolderItem> ReadAlias(rb::BinaryStream &b);
    // What is at an output file, links followed: a PDF file (a regular file that begins as a
    // PDF file does), nothing (no such file, ENOENT: a generation creates it), or something
    // else (any other file, a folder, a device, or a file that cannot be opened for any other
    // reason). A generation replaces its output file without asking, and a record or a new
    // window's default may name any file at all: only a PDF file is replaced unasked, and only
    // where nothing is there is one made.
    enum class FileCheck { PDFFile, NothingThere, SomethingElse };
    static FileCheck IsPDFFile(rb::FolderItem &f);

    // Saving and closing: Save writes to thisFile (asking for one while there is none), Save As
    // always asks; both return false. Close saves a modified document without asking, to its
    // file or, when it has none, to one chosen in a save dialog (cancelling drops the changes);
    // when that save fails, the message offers to keep the window open (the default, so that
    // the document can be saved elsewhere) or to close it without saving.
    void AddMenuHandlers(rb::Window &w);
    bool _FileSave_Action();
    bool _FileSaveAs_Action();
    void Close();

    // The most content one page takes in. Once the page's content stream holds this many
    // bytes, no further row or repeated line is drawn, the page is written as far as it got,
    // and DoPage says that it was cut short: a REPEATLINE asking for two billion lines would
    // otherwise need some 150 gigabytes of memory, and the writer's file offsets are 32-bit.
    // The bound is some 510,000 lines (15 significant digits in every number, 131 bytes a
    // line) to 1,140,000 (positions in whole inches, 59 bytes a line), far beyond any real
    // sheet (an A0 sheet ruled every 0.1 mm both ways has 20,000) and beyond what viewers open
    // in reasonable time.
    static constexpr std::size_t kPageContentLimit = std::size_t{64} << 20;
    // The most dashes the LINEs of one page draw: a million, some 6,000,000 points (2 km) of
    // dashed line. Poppler takes about 1.5 microseconds a dash, off the page too, so that 2,000
    // LINEs each just short of the longest one dashed would keep it busy for eight minutes;
    // within the budget it draws a page in about a second and a half. The LINE that takes the
    // page past it and every LINE after are drawn solid.
    static constexpr double kMostDashesPerPage = 1000000.0;
    // The largest paper side, in points: 200 inches (508 cm), the limit on a page side that
    // the PDF 1.4 Reference sets its readers (3 to 14,400 units). Only a custom size comes
    // near it; far beyond it readers fail (Ghostscript stops at a page of 14,400 by 5 inches,
    // poppler and MuPDF cannot allocate a page of two billion points). The small end needs no
    // refusal: DoPage raises a side below 10 points to 10.
    static constexpr std::int32_t kLargestPaperSide = 14400;
    static constexpr const char *kPaperTooLargeMessage =
        "The paper is too large: PDF readers draw a page of at most 200 by 200 inches (508 by "
        "508 cm). Please enter a smaller custom size.";
    // The most element rows a document holds (see kMostElements). LoadSettings takes no more
    // from a file; a file with more loads only these and counts as damaged. A row costs a
    // couple of hundred bytes of memory and a few microseconds to list, so a file of empty rows
    // claiming two billion of them would otherwise take many times its own size in memory and
    // freeze the window for seconds. No sheet drawn by hand comes near it: a REPEATLINE rules a
    // whole grid in one row.
    static constexpr std::int32_t kMostElementRows = kMostElements;

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
    // No output file, for the window and the writer, and no name shown: the next generation
    // asks for one.
    void ForgetOutputFile();
    // SaveSettings' writing: "" once f holds the document, else the message that says why not.
    std::string WriteSettingsFile(rb::FolderItem &f);
    // One element row, drawn by kind.
    void DrawLine(const std::string &record);
    // The lines drawn and the lines asked for: fewer drawn when the page became full.
    std::pair<std::int32_t, std::int32_t> DrawRepeatLine(const std::string &record);
    void DrawCircle(const std::string &record);
    void DrawRectangle(const std::string &record);
    void DrawText(const std::string &record, const std::string &text);
    // Page coordinates of a position in points relative to the usable area.
    double PageX(double x) const;
    double PageY(double y) const;
    bool PageIsFull() const;

    // Set by DoGraph when the content limit left something out: what DoPage tells the user.
    std::string cutShort_;
    // The dashes that the page's LINEs have asked for so far, counted from their lengths.
    double pageDashes_ = 0;
};
