// EditLineWindow.cpp -- the LINE editor: a start and an end point in an X and a Y column,
// the weight and the colour.
//
//            X        Y
//   Start:  [    ]   [    ]
//   End:    [    ]   [    ]
//   Weight: [1   ]
//   Color:  [##]
//        [Cancel]             [OK]
#include "ElementEditor.h"

namespace {

using namespace editor_layout;

constexpr std::int32_t kHeight = 263;

// clang-format off
constexpr ControlLayout kControls[] = {
    // class     name           left  top width height text       settings
    {EditField,  "EditStartX",   102,  33,  80,  22, "",          kField},
    {EditField,  "EditStartY",   213,  33,  80,  22, "",          kField},
    {EditField,  "EditEndX",     102,  74,  80,  22, "",          kField},
    {EditField,  "EditEndY",     213,  74,  80,  22, "",          kField},
    {EditField,  "EditWeight",   102, 114,  80,  22, "1",         kField},
    Swatch(102, 160),
    {StaticText, "StaticText1",   20,  34,  55,  20, "Start:",    kLabel},
    {StaticText, "StaticText2",   20,  75,  55,  20, "End:",      kLabel},
    {StaticText, "StaticText3",   20, 115,  55,  20, "Weight:",   kLabel},
    {StaticText, "StaticText4",   20, 160,  55,  20, "Color:",    kLabel},
    OKButton(kHeight),
    CancelButton(kHeight),
    {StaticText, "StaticText5",  102,  14,  80,  20, "X",         kColumnHead},
    {StaticText, "StaticText6",  213,  14,  80,  20, "Y",         kColumnHead},
};
// clang-format on

constexpr RecordField kFields[] = {
    {"EditStartX"}, {"EditStartY"}, {"EditEndX"}, {"EditEndY"}, {"EditWeight"}};

const ElementEditorTable kTable{
    .window = Dialog("Edit Line", kHeight),
    .controls = kControls,
    .keyword = "LINE",
    .fields = kFields,
    .description = "Line {2} , {3} - {4} , {5}",
};

} // namespace

EditLineWindow::EditLineWindow() : ElementEditor(kTable) {}

const ElementEditorTable &EditLineWindow::Table() { return kTable; }
