// EditRepeatLineWindow.cpp -- the REPEATLINE editor: the first line's start and end, the step
// each further line's start and end moves by, how many lines in all, the weight and the
// colour. The record has the weight after the steps and the number.
//
//                 X        Y
//   Start:       [    ]   [    ]
//   End:         [    ]   [    ]
//   Delta Start: [    ]   [    ]
//   Delta End:   [    ]   [    ]
//   Number:      [2   ]
//   Weight:      [1   ]
//   Color:       [##]
//        [Cancel]             [OK]
#include "ElementEditor.h"

namespace {

using namespace editor_layout;

constexpr std::int32_t kHeight = 301;

// clang-format off
constexpr ControlLayout kControls[] = {
    // class     name               left  top width height text        settings
    {EditField,  "EditStartX",       125,  33,  80,  22, "",           kField},
    {EditField,  "EditStartY",       236,  33,  80,  22, "",           kField},
    {EditField,  "EditEndX",         125,  65,  80,  22, "",           kField},
    {EditField,  "EditEndY",         236,  66,  80,  22, "",           kField},
    {EditField,  "EditDeltaStartX",  125,  99,  80,  22, "",           kField},
    {EditField,  "EditDeltaStartY",  236,  99,  80,  22, "",           kField},
    {EditField,  "EditDeltaEndX",    125, 133,  80,  22, "",           kField},
    {EditField,  "EditDeltaEndY",    236, 133,  80,  22, "",           kField},
    {EditField,  "EditWeight",       125, 196,  80,  22, "1",          kField},
    Swatch(125, 229),
    {StaticText, "StaticText1",       20,  34,  55,  20, "Start:",     kLabel},
    {StaticText, "StaticText2",       20,  67,  55,  20, "End:",       kLabel},
    {StaticText, "StaticText3",       20, 197,  55,  20, "Weight:",    kLabel},
    {StaticText, "StaticText4",       20, 229,  55,  20, "Color:",     kLabel},
    OKButton(kHeight),
    CancelButton(kHeight),
    {StaticText, "StaticText5",      125,  14,  80,  20, "X",          kColumnHead},
    {StaticText, "StaticText6",      236,  14,  80,  20, "Y",          kColumnHead},
    {StaticText, "StaticText7",       20, 100,  99,  20, "Delta Start:", kLabel},
    {StaticText, "StaticText8",       20, 134,  99,  20, "Delta End:", kLabel},
    {EditField,  "EditNumber",       125, 166,  80,  22, "2",          kField},
    {StaticText, "StaticText9",       20, 167,  55,  20, "Number:",    kLabel},
};
// clang-format on

constexpr RecordField kFields[] = {
    {"EditStartX"},      {"EditStartY"},    {"EditEndX"},      {"EditEndY"},   {"EditDeltaStartX"},
    {"EditDeltaStartY"}, {"EditDeltaEndX"}, {"EditDeltaEndY"}, {"EditNumber"}, {"EditWeight"}};

const ElementEditorTable kTable{
    .window = Dialog("Edit Repeating Line", kHeight),
    .controls = kControls,
    .keyword = "REPEATLINE",
    .fields = kFields,
    .description = "Repeat Line {2} , {3} - {4} , {5} {10}",
    .listDescription = "Repeat Line {2} , {3} - {4} , {5} {#10} Times",
};

} // namespace

EditRepeatLineWindow::EditRepeatLineWindow() : ElementEditor(kTable) {}

const ElementEditorTable &EditRepeatLineWindow::Table() { return kTable; }
