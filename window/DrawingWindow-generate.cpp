// DrawingWindow-generate.cpp -- page generation: the Generate button's road, the choice of the
// output file, the writer's fixed order of calls for one page, and the drawing of every
// element row.
//
// Element records are read field by field with NthField and Val and never validated: a
// missing field is 0, text that is no number is whatever Val makes of it. Only the right and
// bottom edges of the usable area bound a position; smaller values, negative ones included,
// are drawn where they fall.
#include "DrawingWindow.h"

#include "App.h"

#include "rb/dialogs.h"
#include "rb/system.h"
#include "rb/text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>

namespace {

// The smallest page side the writer is given, in points.
constexpr std::int32_t kMinimumPaperSide = 10;

// More than any one row adds to the content once the page is full.
constexpr std::size_t kPageContentSlack = std::size_t{1} << 20;

// Field k of a record as a number.
double Field(const std::string &record, std::int32_t k) {
    return rb::Val(rb::NthField(record, " ", k));
}

// A position beyond the bound is drawn on it.
double Clamp(double value, double bound) { return value > bound ? bound : value; }

// Typed numbers such as 1e999 are infinities; bounded before any arithmetic, they give the
// writer positions and sizes rather than infinities and NaNs.
double Bounded(double value) { return MyPDFGenerator::Bounded(value); }

// A LINE's dash pattern in page units: 3 on, 3 off, one dash every 6 units of its length.
constexpr std::int32_t kDashOn = 3;
constexpr std::int32_t kDashOff = 3;

// The longest LINE drawn dashed, in page units: some 350 metres, far beyond any sheet. Readers
// give up on a dashed line of hundreds of millions of dashes (poppler works for a minute and
// then draws nothing), which a LINE with a huge field would be; a longer LINE is drawn solid.
constexpr double kLongestDashedLine = 1000000.0;

// Field k of a record handed to the writer as it stands: a line width, a text size.
double Amount(const std::string &record, std::int32_t k) { return Bounded(Field(record, k)); }

// The colour of fields k, k + 1 and k + 2, fractions from 0 to 1 passed on unchanged.
void SetColour(MyPDFGenerator &pdf, const std::string &record, std::int32_t k) {
    pdf.SetRGBColor(Amount(record, k), Amount(record, k + 1), Amount(record, k + 2));
}

// What the user is told when the content limit stopped the drawing: how many elements were
// drawn whole, the lines of the repeated line it stopped in, and the limit.
std::string CutShortMessage(std::int32_t wholeRows, std::int32_t rows, std::int32_t linesDrawn,
                            std::int32_t linesAsked) {
    const auto mebibytes = static_cast<std::int32_t>(DrawingWindow::kPageContentLimit >> 20);
    std::string message = "The page was cut short: a page holds at most " + rb::Str(mebibytes) +
                          " MiB of drawing content. Drawn: " + rb::Str(wholeRows) + " of the " +
                          rb::Str(rows) + " elements whole";
    if (linesDrawn < linesAsked)
        message += ", and " + rb::Str(linesDrawn) + " of the " + rb::Str(linesAsked) +
                   " lines of element " + rb::Str(wholeRows + 1);
    return message + ".";
}

} // namespace

void DrawingWindow::PushButtonGenerate_Action() {
    const bool forgetFile = rb::Keyboard::ShiftKey();
    ReadGUIValues();
    // A page that readers cannot draw is not written; the refused press changes nothing.
    if (paperWidth > kLargestPaperSide || paperHeight > kLargestPaperSide) {
        rb::MsgBox(kPaperTooLargeMessage);
        return;
    }
    // Shift+Generate forgets the output file, so that the save dialog asks for a new one.
    if (forgetFile)
        ForgetOutputFile();
    DoFilename();
    if (ControlByName<rb::CheckBox>("CheckBoxViewGraph")->Value() && pdf->theFile)
        pdf->theFile->Launch();
}

void DrawingWindow::ForgetOutputFile() {
    outputFile = nullptr;
    pdf->theFile = nullptr;
    ControlByName<rb::StaticText>("StaticFileName")->SetText("");
}

void DrawingWindow::DoFilename() {
    // The page replaces its file without a question, so a file that the user did not choose
    // just now (a new window's "untitled.pdf", one a settings file named, one chosen at an
    // earlier generation) is written only while nothing is there or it is still a PDF file,
    // links followed; anything else there, a text file or a link to one, makes the dialog ask.
    if (outputFile && IsPDFFile(*outputFile) == FileCheck::SomethingElse)
        ForgetOutputFile();
    if (!outputFile)
        outputFile = rb::GetSaveFolderItem("", "Untitled.pdf");
    if (!outputFile)
        return;
    ControlByName<rb::StaticText>("StaticFileName")->SetText(outputFile->Name());
    pdf->theFile = outputFile;
    DoPage();
}

void DrawingWindow::DoPage() {
    // The raised sizes stay until the next ReadGUIValues.
    if (paperHeight < kMinimumPaperSide)
        paperHeight = kMinimumPaperSide;
    if (paperWidth < kMinimumPaperSide)
        paperWidth = kMinimumPaperSide;

    if (pdf->CreateNew() < 0)
        return;
    // Room for the most a page takes in, and the row that crosses the limit, reserved at once:
    // the content is appended in place and never moves as it grows, so a large page is neither
    // copied nor held twice while it is drawn. The system hands out the memory only as the
    // content is written, so a small page costs no more than its content.
    rb::ReserveLargeText(pdf->stream, kPageContentLimit + kPageContentSlack);
    pdf->SetParameter("compatibility", "1.4");
    pdf->SetInfo("Creator", "Vellumet");
    pdf->SetInfo("Author", "Quillmark");
    pdf->SetInfo("Title", "Vellumet");
    pdf->SetInfo("Subject", "Width: " + App()->mystring(static_cast<double>(paperWidth)) +
                                "  Height: " + App()->mystring(static_cast<double>(paperHeight)));
    pdf->BeginPage(paperWidth, paperHeight);
    pdf->InitGraphics();
    // The scale transforms the whole page, margins included, about its lower-left corner.
    const double scaleX = rb::Val(ControlByName<rb::EditField>("EditXScale")->Text()) / 100.0;
    const double scaleY = rb::Val(ControlByName<rb::EditField>("EditYScale")->Text()) / 100.0;
    pdf->Scale(Bounded(scaleX), Bounded(scaleY));
    pdf->SetRGBColor(0, 0, 0);
    DoGraph();
    pdf->EndPage();
    pdf->CloseFile();
    pdf->Delete();
    // The partial page is written all the same: it is a valid page, and the user may want it.
    if (!cutShort_.empty())
        rb::MsgBox(cutShort_);
}

void DrawingWindow::DoGraph() {
    fonthandle = MyPDFGenerator::kPageStartFont;
    pdf->SetFont(fonthandle, 10.0);
    usableWidth = static_cast<double>(paperWidth) - leftMargin - rightMargin;
    usableHeight = static_cast<double>(paperHeight) - topMargin - bottomMargin;
    pdf->SetRGBColor(0, 0, 0);

    // The row count is read again before every row. The keyword is compared as it stands (the
    // editors write it in upper case); a record whose keyword is none of the five (the
    // one-space placeholder of an open editor, a misspelt kind) draws nothing.
    cutShort_.clear();
    pageDashes_ = 0;
    for (std::int32_t row = 0; row < ControlByName<rb::Listbox>("ListBox1")->ListCount(); ++row) {
        const std::int32_t rows = ControlByName<rb::Listbox>("ListBox1")->ListCount();
        if (PageIsFull()) {
            cutShort_ = CutShortMessage(row, rows, 0, 0);
            break;
        }
        const std::string record = ControlByName<rb::Listbox>("ListBox1")->Cell(row, 0);
        const std::string kind = rb::NthField(record, " ", 1);
        if (kind == "LINE")
            DrawLine(record);
        if (kind == "REPEATLINE") {
            const auto [drawn, asked] = DrawRepeatLine(record);
            if (drawn < asked) {
                cutShort_ = CutShortMessage(row, rows, drawn, asked);
                break;
            }
        }
        if (kind == "CIRCLE")
            DrawCircle(record);
        if (kind == "RECTANGLE")
            DrawRectangle(record);
        if (kind == "TEXT")
            DrawText(record, ControlByName<rb::Listbox>("ListBox1")->Cell(row, 3));
        rb::RuntimeBackgroundTask();
    }
}

void DrawingWindow::DrawLine(const std::string &record) {
    const double startX = Clamp(Field(record, 2) * unitPixels, usableWidth);
    const double startY = Clamp(Field(record, 3) * unitPixels, usableHeight);
    const double endX = Clamp(Field(record, 4) * unitPixels, usableWidth);
    const double endY = Clamp(Field(record, 5) * unitPixels, usableHeight);
    const double x0 = PageX(startX);
    const double y0 = PageY(startY);
    const double x1 = PageX(endX);
    const double y1 = PageY(endY);
    // A line too long to be dashed takes nothing from the page's dashes; once the page's
    // dashed lines come to more than its budget, this line and every later one are solid.
    const double length = std::hypot(x1 - x0, y1 - y0);
    bool dashed = length <= kLongestDashedLine;
    if (dashed) {
        pageDashes_ += length / (kDashOn + kDashOff);
        dashed = pageDashes_ <= kMostDashesPerPage;
    }
    pdf->SetLineWidth(Amount(record, 6));
    // The next element starts solid.
    if (dashed)
        pdf->SetDash(kDashOn, kDashOff, 0);
    SetColour(*pdf, record, 7);
    pdf->MoveTo(x0, y0);
    pdf->LineTo(x1, y1);
    pdf->Stroke();
    if (dashed)
        pdf->SetDash(0, 0, 0);
}

std::pair<std::int32_t, std::int32_t> DrawingWindow::DrawRepeatLine(const std::string &record) {
    double startX = Field(record, 2) * unitPixels;
    double startY = Field(record, 3) * unitPixels;
    double endX = Field(record, 4) * unitPixels;
    double endY = Field(record, 5) * unitPixels;
    const double startStepX = Field(record, 6) * unitPixels;
    const double startStepY = Field(record, 7) * unitPixels;
    const double endStepX = Field(record, 8) * unitPixels;
    const double endStepY = Field(record, 9) * unitPixels;
    const std::int32_t number = rb::ToInt32(Field(record, 10));
    const double weight = Amount(record, 11);
    const double red = Amount(record, 12);
    const double green = Amount(record, 13);
    const double blue = Amount(record, 14);

    // A 64-bit count, so that the largest int32 number ends the loop.
    std::int64_t k = 1;
    for (; k <= number; ++k) {
        if (PageIsFull())
            break;
        // The running points are clamped in place: the next step starts from the bound.
        startX = Clamp(startX, usableWidth);
        endX = Clamp(endX, usableWidth);
        startY = Clamp(startY, usableHeight);
        endY = Clamp(endY, usableHeight);
        pdf->SetLineWidth(weight);
        pdf->SetRGBColor(red, green, blue);
        pdf->MoveTo(PageX(startX), PageY(startY));
        pdf->LineTo(PageX(endX), PageY(endY));
        pdf->Stroke();
        startX += startStepX;
        startY += startStepY;
        endX += endStepX;
        endY += endStepY;
        rb::RuntimeBackgroundTask();
    }
    return {static_cast<std::int32_t>(k - 1), std::max(number, 0)};
}

void DrawingWindow::DrawCircle(const std::string &record) {
    const double centreX = Clamp(Field(record, 2) * unitPixels, usableWidth);
    const double centreY = Clamp(Field(record, 3) * unitPixels, usableHeight);
    const double radius = Bounded(Field(record, 4) * unitPixels);
    pdf->SetLineWidth(Amount(record, 5));
    SetColour(*pdf, record, 6);
    pdf->DrawCircle(PageX(centreX), PageY(centreY), radius);
}

void DrawingWindow::DrawRectangle(const std::string &record) {
    // The record gives the centre; nothing of a rectangle is clamped.
    const double width = Field(record, 4) * unitPixels;
    const double height = Field(record, 5) * unitPixels;
    const double left = Field(record, 2) * unitPixels - width / 2.0;
    const double top = Field(record, 3) * unitPixels - height / 2.0;
    const double right = left + width;
    const double bottom = top + height;
    pdf->SetLineWidth(Amount(record, 6));
    SetColour(*pdf, record, 7);
    // The outline ends on its first point, without a close-path operator.
    pdf->MoveTo(PageX(left), PageY(top));
    pdf->LineTo(PageX(right), PageY(top));
    pdf->LineTo(PageX(right), PageY(bottom));
    pdf->LineTo(PageX(left), PageY(bottom));
    pdf->LineTo(PageX(left), PageY(top));
    pdf->Stroke();
}

void DrawingWindow::DrawText(const std::string &record, const std::string &text) {
    // The rotation (field 6) is carried in the record and plays no part: text is horizontal.
    const double x = Clamp(Field(record, 2) * unitPixels, usableWidth);
    const double y = Clamp(Field(record, 3) * unitPixels, usableHeight);
    SetColour(*pdf, record, 7);
    pdf->SetFont(rb::ToInt32(Field(record, 5)), Amount(record, 4));
    pdf->SetTextPos(PageX(x), PageY(y));
    pdf->Show(text);
}

double DrawingWindow::PageX(double x) const { return Bounded(leftMargin + x); }

double DrawingWindow::PageY(double y) const {
    return Bounded(static_cast<double>(paperHeight) - topMargin - y);
}

bool DrawingWindow::PageIsFull() const { return pdf->stream.size() >= kPageContentLimit; }
