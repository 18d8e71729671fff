// EditCircleWindow.cpp -- the CIRCLE editor: the centre, the weight and the radius in one
// column, and the colour. The weight stands above the radius; the record has the radius first.
//
//   X:      [    ]
//   Y:      [    ]
//   Weight: [1   ]
//   Radius: [    ]
//   Color:  [##]
//        [Cancel]             [OK]
#include "ElementEditor.h"

namespace {

using namespace editor_layout;

constexpr std::int32_t kHeight = 263;

// clang-format off
constexpr ControlLayout kControls[] = {
    // class     name           left  top width height text       settings
    {EditField,  "EditStartX",   102,  21,  80,  22, "",          kField},
    {EditField,  "EditStartY",   102,  54,  80,  22, "",          kField},
    {EditField,  "EditWeight",   102,  87,  80,  22, "1",         kField},
    {EditField,  "EditRadius",   102, 120,  80,  22, "",          kField},
    Swatch(102, 160),
    {StaticText, "StaticText1",   20,  22,  55,  20, "X:",        kLabel},
    {StaticText, "StaticText2",   20,  55,  55,  20, "Y:",        kLabel},
    {StaticText, "StaticText3",   20,  88,  55,  20, "Weight:",   kLabel},
    {StaticText, "StaticText4",   20, 160,  55,  20, "Color:",    kLabel},
    OKButton(kHeight),
    CancelButton(kHeight),
    {StaticText, "StaticText5",   20, 121,  55,  20, "Radius:",   kLabel},
};
// clang-format on

constexpr RecordField kFields[] = {{"EditStartX"}, {"EditStartY"}, {"EditRadius"}, {"EditWeight"}};

const ElementEditorTable kTable{
    .window = Dialog("Edit Circle", kHeight),
    .controls = kControls,
    .keyword = "CIRCLE",
    .fields = kFields,
    .description = "Circle {2} , {3} Radius {4}",
};

} // namespace

EditCircleWindow::EditCircleWindow() : ElementEditor(kTable) {}

const ElementEditorTable &EditCircleWindow::Table() { return kTable; }
