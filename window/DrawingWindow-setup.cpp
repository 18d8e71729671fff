// DrawingWindow-setup.cpp -- the sheet set-up: the paper and unit popups, and the page
// geometry in points read from the set-up controls.
//
// Points per cm come in three forms, each kept where it belongs: 28.346457 for margins and
// element positions, 28.3464567 for the custom paper size, and 2.54 / 72 for showing a size in
// cm. Mixing them would move a saved sheet by a fraction of a point.
#include "DrawingWindow.h"

#include "App.h"

#include "rb/text.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <utility>

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr double kPointsPerCm = 28.346457;
constexpr double kPaperPointsPerCm = 28.3464567;
constexpr double kCmPerInch = 2.54;

// The standard paper sizes by item of PopupPaperSize; the writer owns the values.
struct PaperSize {
    std::int32_t MyPDFGenerator::*width;
    std::int32_t MyPDFGenerator::*height;
};
constexpr PaperSize kStandardSizes[] = {
    {&MyPDFGenerator::letterWidth, &MyPDFGenerator::letterHeight},
    {&MyPDFGenerator::legalWidth, &MyPDFGenerator::legalHeight},
    {&MyPDFGenerator::ledgerWidth, &MyPDFGenerator::ledgerHeight},
    {&MyPDFGenerator::A0Width, &MyPDFGenerator::A0Height},
    {&MyPDFGenerator::A1Width, &MyPDFGenerator::A1Height},
    {&MyPDFGenerator::A2Width, &MyPDFGenerator::A2Height},
    {&MyPDFGenerator::A3Width, &MyPDFGenerator::A3Height},
    {&MyPDFGenerator::A4Width, &MyPDFGenerator::A4Height},
    {&MyPDFGenerator::A5Width, &MyPDFGenerator::A5Height},
    {&MyPDFGenerator::A6Width, &MyPDFGenerator::A6Height},
    {&MyPDFGenerator::B5Width, &MyPDFGenerator::B5Height},
    {&MyPDFGenerator::p11x17width, &MyPDFGenerator::p11x17height}, // "B (USA)"
};
// The item after the standard sizes: the size typed in the custom fields.
constexpr std::int32_t kCustomItem = static_cast<std::int32_t>(std::size(kStandardSizes));

const char *const kMarginFields[] = {"EditTopMargin", "EditBottomMargin", "EditLeftMargin",
                                     "EditRightMargin"};

} // namespace

void DrawingWindow::PopupPaperSize_Change(rb::PopupMenu &me) {
    GetPaperSize();
    // "Custom" keeps the size shown last, now editable.
    const bool custom = me.ListIndex() == me.ListCount() - 1;
    ControlByName<rb::EditField>("EditCustomHeight")->SetEnabled(custom);
    ControlByName<rb::EditField>("EditCustomWidth")->SetEnabled(custom);
    ControlByName<rb::StaticText>("StaticBy")->SetEnabled(custom);
    if (!custom)
        SetPaperSize();
}

void DrawingWindow::PopupUnits_Change(rb::PopupMenu &me) {
    // The margin fields hold values in the other unit: every change converts them.
    const bool inches = me.ListIndex() == 0;
    ControlByName<rb::StaticText>("StaticText16")->SetText(inches ? "in" : "cm");
    for (const char *name : kMarginFields) {
        rb::Ref<rb::EditField> field = ControlByName<rb::EditField>(name);
        const double value = rb::Val(field->Text());
        field->SetText(rb::Str(inches ? value / kCmPerInch : value * kCmPerInch));
    }
    GetPaperSize();
    SetPaperSize();
}

void DrawingWindow::GetPaperSize() {
    const std::int32_t item = ControlByName<rb::PopupMenu>("PopupPaperSize")->ListIndex();
    if (item >= 0 && item < kCustomItem) {
        const PaperSize &size = kStandardSizes[static_cast<std::size_t>(item)];
        paperWidth = (*pdf).*size.width;
        paperHeight = (*pdf).*size.height;
    } else if (item == kCustomItem) {
        // The typed size in the current unit, rounded to whole points.
        const double factor = ControlByName<rb::PopupMenu>("PopupUnits")->ListIndex() == 0
                                  ? kPointsPerInch
                                  : kPaperPointsPerCm;
        paperWidth =
            rb::ToInt32(rb::Val(ControlByName<rb::EditField>("EditCustomWidth")->Text()) * factor);
        paperHeight =
            rb::ToInt32(rb::Val(ControlByName<rb::EditField>("EditCustomHeight")->Text()) * factor);
    }
}

void DrawingWindow::SetPaperSize() {
    const auto width = static_cast<double>(paperWidth);
    const auto height = static_cast<double>(paperHeight);
    const bool inches = ControlByName<rb::PopupMenu>("PopupUnits")->ListIndex() == 0;
    ControlByName<rb::EditField>("EditCustomHeight")
        ->SetText(App()->mystring(inches ? height / kPointsPerInch
                                         : (height * kCmPerInch) / kPointsPerInch));
    ControlByName<rb::EditField>("EditCustomWidth")
        ->SetText(App()->mystring(inches ? width / kPointsPerInch
                                         : (width * kCmPerInch) / kPointsPerInch));
}

void DrawingWindow::ReadGUIValues() {
    unitPixels = ControlByName<rb::PopupMenu>("PopupUnits")->ListIndex() == 0 ? kPointsPerInch
                                                                              : kPointsPerCm;
    leftMargin = rb::Val(ControlByName<rb::EditField>("EditLeftMargin")->Text()) * unitPixels;
    rightMargin = rb::Val(ControlByName<rb::EditField>("EditRightMargin")->Text()) * unitPixels;
    topMargin = rb::Val(ControlByName<rb::EditField>("EditTopMargin")->Text()) * unitPixels;
    bottomMargin = rb::Val(ControlByName<rb::EditField>("EditBottomMargin")->Text()) * unitPixels;
    GetPaperSize();
    if (ControlByName<rb::PopupMenu>("PopupOrientation")->ListIndex() == 1)
        std::swap(paperWidth, paperHeight);
}
