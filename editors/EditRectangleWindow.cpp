// EditRectangleWindow.cpp -- the RECTANGLE editor: the centre, the width, the height and the
// weight in one column, and the colour.
//
//   X:      [    ]
//   Y:      [    ]
//   Width:  [    ]
//   Height: [    ]
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
    {EditField,  "EditStartX",    98,  13,  80,  22, "",          kField},
    {EditField,  "EditStartY",    98,  44,  80,  22, "",          kField},
    {EditField,  "EditWidth",     98,  74,  80,  22, "",          kField},
    {EditField,  "EditHeight",    97, 106,  80,  22, "",          kField},
    {EditField,  "EditWeight",    97, 140,  80,  22, "1",         kField},
    Swatch(98, 177),
    {StaticText, "StaticText1",   20,  14,  40,  20, "X:",        kLabel},
    {StaticText, "StaticText2",   20,  75,  55,  20, "Width:",    kLabel},
    {StaticText, "StaticText3",   20, 141,  55,  20, "Weight:",   kLabel},
    {StaticText, "StaticText4",   20, 177,  55,  20, "Color:",    kLabel},
    OKButton(kHeight),
    CancelButton(kHeight),
    {StaticText, "StaticText5",   20,  46,  34,  20, "Y:",        kLabel},
    {StaticText, "StaticText6",   20, 108,  66,  20, "Height:",   kLabel},
};
// clang-format on

constexpr RecordField kFields[] = {
    {"EditStartX"}, {"EditStartY"}, {"EditWidth"}, {"EditHeight"}, {"EditWeight"}};

const ElementEditorTable kTable{
    .window = Dialog("Edit Rectangle", kHeight),
    .controls = kControls,
    .keyword = "RECTANGLE",
    .fields = kFields,
    .description = "Rectangle {2} , {3} , {4} , {5}",
};

} // namespace

EditRectangleWindow::EditRectangleWindow() : ElementEditor(kTable) {}

const ElementEditorTable &EditRectangleWindow::Table() { return kTable; }
