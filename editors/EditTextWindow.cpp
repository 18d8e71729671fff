// EditTextWindow.cpp -- the TEXT editor: the string, its position, size and font, and the
// colour. The string is the row's column 3, not a record field, so it may be empty and hold
// spaces. The rotation is carried through every edit but neither shown nor drawn.
//
//   Text:   [                              ]
//   X:      [    ]
//   Y:      [    ]
//   Size:   [12  ]
//   Font:   [Courier           v]
//   Color:  [##]
//        [Cancel]             [OK]
#include "ElementEditor.h"

namespace {

using namespace editor_layout;

constexpr std::int32_t kHeight = 295;

// The font numbers 1 to 12 are these items' positions; the PDF writer's font resources F1 to
// F12 are the same standard fonts in the same order.
constexpr const char *kFonts = "Courier\rCourier Bold\rCourier Bold Oblique\rCourier Oblique\r"
                               "Helvetica\rHelvetica Bold\rHelvetica Bold Oblique\r"
                               "Helvetica Oblique\rTimes Roman\rTimes Bold\rTimes Italic\r"
                               "Times Bold Italic";

// clang-format off
constexpr ControlLayout kControls[] = {
    // class     name           left  top width height text       settings
    {EditField,  "EditText",      98,  11, 327,  22, "",          kField},
    {EditField,  "EditStartX",    98,  45,  80,  22, "",          kField},
    {EditField,  "EditStartY",    98,  76,  80,  22, "",          kField},
    {EditField,  "EditSize",      98, 106,  80,  22, "12",        kField},
    {PopupMenu,  "PopupFont",     98, 139, 203,  20, kFonts,      {.TextSize = 0, .ListIndex = 0}},
    {EditField,  "EditRotation",  97, 172,  80,  22, "0",         kHiddenField},
    Swatch(98, 209),
    {StaticText, "StaticText1",   20,  46,  40,  20, "X:",        kLabel},
    {StaticText, "StaticText2",   20, 107,  55,  20, "Size:",     kLabel},
    {StaticText, "StaticText3",   20, 173,  55,  20, "Rotation:", kHiddenLabel},
    {StaticText, "StaticText4",   20, 209,  55,  20, "Color:",    kLabel},
    OKButton(kHeight),
    CancelButton(kHeight),
    {StaticText, "StaticText5",   20,  78,  34,  20, "Y:",        kLabel},
    {StaticText, "StaticText6",   20, 140,  66,  20, "Font:",     kLabel},
    {StaticText, "StaticText7",   20,  13,  55,  20, "Text:",     kLabel},
};
// clang-format on

constexpr RecordField kFields[] = {{"EditStartX"},
                                   {"EditStartY"},
                                   {"EditSize"},
                                   {"PopupFont", RecordField::ItemNumber},
                                   {"EditRotation"}};

const ElementEditorTable kTable{
    .window = Dialog("Edit Text", kHeight),
    .controls = kControls,
    .keyword = "TEXT",
    .fields = kFields,
    .description = "Text {2} , {3} {text}",
    .stringControl = "EditText",
};

} // namespace

EditTextWindow::EditTextWindow() : ElementEditor(kTable) {}

const ElementEditorTable &EditTextWindow::Table() { return kTable; }
