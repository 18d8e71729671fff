// DrawingWindow-layout.cpp -- what the drawing window looks like: title, size and flags, and
// its controls, from the paper row at the top to the Generate row at the bottom.
//
//   PopupPaperSize [width] by [height] in          PopupOrientation
//   Units: PopupUnits   X Scale: [100]   Y Scale: [100]
//   Objects:
//   +-ListBox1--------------------------------+   [Line]
//   |                                         |   [Circle]  ... [Repeating Line]
//   +-----------------------------------------+
//                     Top     Bottom  Left    Right
//   Margins:          [0.5]   [0.5]   [0.75]  [0.75]
//   [Generate]  StaticFileName  [x] Auto View Graph
#include "DrawingWindow-layout.h"

#include "ElementRecord.h"

#include <iterator>

namespace {

using enum rb::ControlClass;
using rb::ControlLayout;
using rb::ControlSettings;

// The settings each class shares; every control is visible and uses the font "System".
constexpr ControlSettings kPopup12{.TextSize = 12, .ListIndex = 0};
constexpr ControlSettings kField12{
    .TextSize = 12, .TextAlign = 0, .Border = true, .ReadOnly = false};
// The margin fields take no more than a settings file keeps of them.
constexpr ControlSettings kMarginField12{.TextSize = 12,
                                         .TextAlign = 0,
                                         .Border = true,
                                         .ReadOnly = false,
                                         .LimitText = kMaxStoredBytes};
// The custom-size fields, editable only while "Custom" is chosen.
constexpr ControlSettings kFieldDimmed12{
    .Enabled = false, .TextSize = 12, .TextAlign = 0, .Border = true, .ReadOnly = false};
constexpr ControlSettings kLabel12{.TextSize = 12, .TextAlign = 0};
constexpr ControlSettings kLabel0{.TextSize = 0, .TextAlign = 0};
constexpr ControlSettings kCheckBoxTicked{.TextSize = 0, .Value = true};
constexpr ControlSettings kDefaultPush12{.TextSize = 12, .Default = true, .Cancel = false};
constexpr ControlSettings kElementList{.TextSize = 0,
                                       .ListIndex = -1,
                                       .ColumnCount = 4,
                                       .ColumnWidths = "0%,24,,0%",
                                       .HasHeading = false};
constexpr ControlSettings kBevel0{.TextSize = 0, .AcceptFocus = false};

const char *const kPaperSizes =
    "Letter\rLegal\rLedger\rA0\rA1\rA2\rA3\rA4\rA5\rA6\rB5\rB (USA)\rCustom";

// clang-format off
const ControlLayout kControls[] = {
    // class      name                  left  top width height text               settings
    {PopupMenu,   "PopupPaperSize",      20,  10, 157,  21, kPaperSizes,           kPopup12},
    {EditField,   "EditCustomWidth",    189,  10,  80,  22, "8.5",                 kFieldDimmed12},
    {EditField,   "EditCustomHeight",   302,  10,  80,  22, "11",                  kFieldDimmed12},
    {PopupMenu,   "PopupOrientation",   445,  10, 126,  20, "Portrait\rLandscape", kPopup12},
    {PopupMenu,   "PopupUnits",          70,  43,  80,  20, "inches\rcm",          kPopup12},
    {EditField,   "EditXScale",         228,  42,  50,  22, "100",                 kField12},
    {EditField,   "EditYScale",         372,  42,  50,  22, "100",                 kField12},
    {PushButton,  "PushButtonGenerate",  20, 411,  82,  20, "Generate",            kDefaultPush12},
    {StaticText,  "StaticText1",        156, 354,  50,  20, "Top",                 kLabel12},
    {StaticText,  "StaticBy",           281,  11,  20,  20, "by",                  kLabel12},
    {StaticText,  "StaticText8",         20,  44,  44,  20, "Units:",              kLabel0},
    {StaticText,  "StaticText16",       392,  10,  32,  20, "in",                  kLabel0},
    {StaticText,  "StaticText17",       166,  44,  57,  20, "X Scale:",            kLabel0},
    {StaticText,  "StaticText18",       303,  44,  57,  20, "Y Scale:",            kLabel0},
    {CheckBox,    "CheckBoxViewGraph",  241, 410, 141,  20, "Auto View Graph",     kCheckBoxTicked},
    {StaticText,  "StaticText22",        10, 376,  63,  20, "Margins:",            kLabel0},
    {StaticText,  "StaticText23",       228, 354,  50,  20, "Bottom",              kLabel12},
    {EditField,   "EditTopMargin",      156, 376,  50,  22, "0.5",                 kMarginField12},
    {EditField,   "EditBottomMargin",   228, 376,  50,  22, "0.5",                 kMarginField12},
    {StaticText,  "StaticText24",       300, 354,  50,  20, "Left",                kLabel12},
    {EditField,   "EditLeftMargin",     300, 376,  50,  22, "0.75",                kMarginField12},
    {EditField,   "EditRightMargin",    372, 376,  50,  22, "0.75",                kMarginField12},
    {StaticText,  "StaticText25",       372, 354,  50,  20, "Right",               kLabel12},
    {StaticText,  "StaticFileName",     125, 410, 113,  20, "Untitled",            kLabel0},
    {Listbox,     "ListBox1",            20,  97, 468, 227, "",                    kElementList},
    {BevelButton, "BevelButton1",       518,  97, 102,  22, "Line",                kBevel0},
    {BevelButton, "BevelButton2",       518, 123, 102,  22, "Circle",              kBevel0},
    {BevelButton, "BevelButton3",       518, 149, 102,  22, "Rectangle",           kBevel0},
    {BevelButton, "BevelButton4",       518, 175, 102,  22, "Text",                kBevel0},
    {BevelButton, "BevelButton5",       518, 201, 102,  22, "Repeating Line",      kBevel0},
    {StaticText,  "StaticText19",        20,  76, 100,  20, "Objects:",            kLabel0},
};
// clang-format on

static_assert(std::size(kControls) == 31);

} // namespace

const rb::WindowLayout kDrawingWindowLayout{
    .Title = "Vellumet",
    .Width = 640,
    .Height = 450,
    .Visible = true,
    .CloseButton = true,
    .MinimizeButton = true,
    .MaximizeButton = false,
    .MenuBarVisible = true,
};

const std::span<const rb::ControlLayout> kDrawingWindowControls{kControls};
