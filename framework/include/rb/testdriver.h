// testdriver.h -- driving the framework from tests: scripted dialogs, recorded launches,
// simulated user input, the Shift key, the clock, and pictures of windows.
//
// For tests only. Start() puts the process in test mode for good: from then on no real
// dialog, browser or file viewer ever opens.
//
// Promises:
// - Each modal dialog takes the first scripted answer. When that answer is for another kind
//   of dialog, or none is left, the dialog is answered as cancelled (a message box by its
//   cancel button when visible, else its action button) and recorded as unexpected; the
//   answer stays in the script. Problems() lists every such case, every unhandled exception,
//   and is what a test's tear-down checks.
// - Every dialog is recorded with its texts and the answer it got.
// - Input goes through the platform's real paths: mouse events land where the control's row
//   put it and reach whatever is there; keys go to the focused control of the active window
//   and through its shortcuts, default and cancel buttons. Each call returns after the
//   events it caused have been handled.
#pragma once

#include "rb/text.h"
#include "rb/window.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rb::testdriver {

// Once per process, before anything else: starts the framework on the offscreen platform in
// test mode. Later calls do nothing.
void Start();
bool Active();
// Closes every window, runs the event loop until idle, and forgets the script, the records,
// the Shift state and the fixed clock.
void Reset();

enum class DialogKind { Message, Color, Open, Save };
const char *DialogKindName(DialogKind kind);

struct Answer {
    DialogKind kind;
    bool cancel = false;
    std::string path;   // Open, Save: the file chosen
    Color color;        // Color: the colour chosen
    std::string button; // Message: the caption of the button pressed
};
Answer OpenDialog(const std::string &path);
Answer SaveDialog(const std::string &path);
Answer ColorChoice(Color color);
Answer MessageButton(const std::string &caption);
Answer Cancel(DialogKind kind);

// Appends answers to the script.
void Script(std::initializer_list<Answer> answers);
std::int32_t PendingAnswers();

struct DialogRecord {
    DialogKind kind;
    std::string text;                 // the message, the colour prompt, or the file types
    std::string detail;               // the explanation, or the default name of a save dialog
    std::vector<std::string> buttons; // a message box's visible captions
    std::string answer;               // the button pressed, the path, "r,g,b", or "cancel"
    bool expected;
    std::string folder; // the folder an open or save dialog starts in
};
const std::vector<DialogRecord> &Dialogs();
// Unexpected dialogs and unhandled exceptions, one line each.
const std::vector<std::string> &Problems();

// Files opened with FolderItem::Launch and addresses given to ShowURL, in order.
const std::vector<std::string> &LaunchedFiles();
const std::vector<std::string> &ShownURLs();

void SetShiftKey(bool down);
// Fixes the framework clock (see date.h); FreeClock returns to the system clock.
void FixClock(std::int64_t unixSeconds, double gmtOffsetHours);
void FreeClock();

// The documents RuntimeRun hands to OpenDocument, in place of the command line's.
void SetCommandLineDocuments(const std::vector<std::string> &paths);

// Runs the event loop until nothing is pending, deferred deletions included.
void ProcessEvents();

// Makes the window the active, front window.
void Activate(Window &window);
// A mouse click (press and release) at (x, y) inside the named control; (-1, -1) is its
// centre. The window is activated first.
void Click(Window &window, const std::string &control, std::int32_t x = -1, std::int32_t y = -1);
void DoubleClick(Window &window, const std::string &control, std::int32_t x = -1,
                 std::int32_t y = -1);
// A click at (x, y) in the window's content, on whatever is there.
void ClickAt(Window &window, std::int32_t x, std::int32_t y);
// A click or a double-click on a row of the named Listbox.
void ClickRow(Window &window, const std::string &listbox, std::int32_t row);
void DoubleClickRow(Window &window, const std::string &listbox, std::int32_t row);
// Focuses the named control ("" leaves the focus where it is) and presses the keys, written
// as the platform's shortcuts are: "Return", "Escape", "Tab", "Ctrl+X", "Shift+A", "a".
void PressKey(Window &window, const std::string &control, const std::string &keys);
// The name of the window's control that has the keyboard focus; "" when none has it.
std::string FocusedControl(Window &window);
// Focuses the named field and types the text at its cursor, as the user would.
void TypeText(Window &window, const std::string &control, const std::string &text);
// Picks an item of the named PopupMenu, as the user would (nothing when it is disabled).
void ChoosePopupItem(Window &window, const std::string &popup, std::int32_t index);
// Clicks the window's close box.
void ClickCloseBox(Window &window);

// The window's menu bar as text: one line per menu ("File") and one per item, indented, with
// its shortcut after a tab and "(disabled)" where it is, "-" for a separator. The state is
// the last menu update's.
std::string DescribeMenuBar(Window &window);
// Opens the menu that holds the named item (so the menu update runs), reads whether the item
// can be chosen, and closes the menu.
bool MenuItemEnabled(Window &window, const std::string &item);
// Opens the menu that holds the named item and chooses it. False when it is disabled (then
// nothing is chosen) or not in the window's menu bar.
bool ChooseMenuItem(Window &window, const std::string &item);

// The colour of the pixel at (x, y) of the window's content as it renders now.
Color PixelColor(Window &window, std::int32_t x, std::int32_t y);
// Renders the window, menu bar included, into a PNG file. False when it cannot be written.
bool RenderToPNG(Window &window, const std::string &path);

} // namespace rb::testdriver
