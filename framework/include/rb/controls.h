// controls.h -- the controls a window is built from, and the table rows that describe them.
//
// A window makes its controls from static rows (ControlLayout), in table order, with
// Window::_AddControl; each control is then found by its name. A control's state lives in the
// control object itself, so a control that outlives its window (a list handed to a dialog)
// still answers and keeps its rows; it just shows nowhere.
//
// Promises shared by every control:
// - Left, Top, Width and Height are pixels in the window's content, as the row gives them;
//   the framework never moves or resizes a control on its own.
// - TextFont "System" is the platform's user-interface font, "SmallSystem" a smaller one,
//   any other text a font family. TextSize 0 is the platform's default size; any other value
//   is the text's height in pixels, so a table made for 72-dpi screens keeps its proportions.
// - Setting a property from code raises the control's event for it (PopupMenu::SetListIndex
//   raises Change) at once, inside the setter, and only when the value changes. The user's
//   changes raise the same events. Nothing is raised before the handlers are bound, so the
//   values a row sets raise nothing.
// - Every control made while its window is constructed raises Open once, after all of the
//   window's controls exist and before the window's own Open, in table order.
#pragma once

#include "rb/events.h"
#include "rb/graphics.h"
#include "rb/object.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rb {

class Window;

enum class ControlClass {
    PopupMenu,
    EditField,
    StaticText,
    CheckBox,
    PushButton,
    BevelButton,
    Listbox,
    Canvas,
};

// Settings of a table row beyond position, size and text. Each is read by the classes it
// names and ignored by the others.
struct ControlSettings {
    // All classes.
    bool Enabled = true;
    bool Visible = true;
    const char *TextFont = "System";
    std::int32_t TextSize = 0;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    // PopupMenu: the item selected at first (-1 for none).
    std::int32_t ListIndex = 0;
    // CheckBox: ticked.
    bool Value = false;
    // PushButton: pressed by Return (Default) or Escape (Cancel).
    bool Default = false;
    bool Cancel = false;
    // StaticText and EditField: 0 left, 1 centred, 2 right.
    std::int32_t TextAlign = 0;
    // EditField.
    bool Border = true;
    bool ReadOnly = false;
    // EditField: see EditField::SetLimitText (0: no limit).
    std::int32_t LimitText = 0;
    // Listbox: see Listbox::SetColumnWidths.
    std::int32_t ColumnCount = 1;
    const char *ColumnWidths = "";
    bool HasHeading = false;
    // Canvas and BevelButton: whether it takes the keyboard focus.
    bool AcceptFocus = false;
    // Canvas: whether the framework clears it to the window's background before each Paint.
    bool EraseBackground = true;
};

// One row of a window's control table: the control's class, name, position and size in
// pixels, its caption or text (a PopupMenu's items, separated by carriage returns or line
// feeds; a Listbox starts without rows), and its other settings.
struct ControlLayout {
    ControlClass Class;
    const char *Name;
    std::int32_t Left;
    std::int32_t Top;
    std::int32_t Width;
    std::int32_t Height;
    const char *Text = "";
    ControlSettings Settings = {};
};

// What every control has. (RectControl is the same class under the platform's other name.)
class Control : public Object {
  public:
    ~Control() override;

    const std::string &Name() const;
    // The window the control was added to; null once that window has closed.
    Ref<rb::Window> Window() const;

    std::int32_t Left() const;
    std::int32_t Top() const;
    std::int32_t Width() const;
    std::int32_t Height() const;
    void SetBounds(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height);

    bool Enabled() const;
    void SetEnabled(bool enabled);
    bool Visible() const;
    void SetVisible(bool visible);

    std::string TextFont() const;
    void SetTextFont(const std::string &font);
    std::int32_t TextSize() const;
    void SetTextSize(std::int32_t size);
    bool Bold() const;
    void SetBold(bool bold);
    bool Italic() const;
    void SetItalic(bool italic);
    bool Underline() const;
    void SetUnderline(bool underline);

    // Asks for a repaint; it happens when the event loop next runs. eraseBackground is
    // accepted for the platform's signature: a repaint always starts from the background.
    void Refresh(bool eraseBackground = true);
    // Gives the control the keyboard focus.
    void SetFocus();

    // The control's events (see events.h); Window binds them by name.
    EventTable &Events() { return events_; }

    struct Impl;
    Impl *impl() const { return impl_; }

  protected:
    explicit Control(Impl *impl);
    EventTable events_;

  private:
    Impl *impl_;
};
using RectControl = Control;

// A pop-up list of texts, one of them selected. Events: Open, Change (the selection changed,
// by the user or by SetListIndex).
class PopupMenu : public Control {
  public:
    PopupMenu();

    void AddRow(const std::string &text);
    void RemoveRow(std::int32_t index); // an index out of range does nothing
    void DeleteAllRows();
    std::int32_t ListCount() const;
    // The item at index; empty out of range.
    std::string List(std::int32_t index) const;
    // The selected index, -1 for none. Setting an index outside 0..ListCount()-1 selects none.
    std::int32_t ListIndex() const;
    void SetListIndex(std::int32_t index);
    // The selected item's text; empty when none is selected.
    std::string Text() const;
};

// A one-line text field. Events: Open, TextChange (the text changed).
class EditField : public Control {
  public:
    EditField();
    std::string Text() const;
    void SetText(const std::string &text);
    bool ReadOnly() const;
    void SetReadOnly(bool readOnly);
    // The most bytes (not characters) the user can make the text: typing or pasting that would
    // go beyond is refused, and the text stays as it was. 0 for no limit. SetText is not
    // limited.
    std::int32_t LimitText() const;
    void SetLimitText(std::int32_t bytes);
};

// A label. Events: Open.
class StaticText : public Control {
  public:
    StaticText();
    std::string Text() const;
    void SetText(const std::string &text);
    // 0 left, 1 centred, 2 right.
    std::int32_t TextAlign() const;
    void SetTextAlign(std::int32_t align);
};

// A check box. Events: Open, Action (the value changed).
class CheckBox : public Control {
  public:
    CheckBox();
    std::string Caption() const;
    void SetCaption(const std::string &caption);
    bool Value() const;
    void SetValue(bool value);
};

// A push button. Return presses the window's default button and Escape its cancel button
// (when enabled and visible), wherever the focus is. Events: Open, Action.
class PushButton : public Control {
  public:
    PushButton();
    std::string Caption() const;
    void SetCaption(const std::string &caption);
    bool Default() const;
    void SetDefault(bool isDefault);
    bool Cancel() const;
    void SetCancel(bool isCancel);
    // Presses the button from code: raises Action when it is enabled.
    void Push();
};

// A square button with a caption. Events: Open, Action.
class BevelButton : public Control {
  public:
    BevelButton();
    std::string Caption() const;
    void SetCaption(const std::string &caption);
    void Push();
};

// A list of rows of text cells. Events: Open; Change (the selection changed);
// CellBackgroundPaint(Graphics &g, int32_t row, int32_t column) -> bool;
// CellTextPaint(Graphics &g, int32_t row, int32_t column, int32_t x, int32_t y) -> bool;
// DoubleClick().
// Painting: for each visible cell, CellBackgroundPaint runs with a Graphics of the cell's size;
// false lets the list paint the background itself (the selection highlight or nothing). Then
// CellTextPaint runs with the position of the text's baseline; false lets the list draw the
// cell's text there. Rows hold ColumnCount cells each; rows and columns count from 0.
class Listbox : public Control {
  public:
    Listbox();

    std::int32_t ColumnCount() const;
    // Fewer columns drop the cells beyond; more add empty ones.
    void SetColumnCount(std::int32_t count);
    // One entry per column, separated by ",": "24" pixels, "25%" of the list's width ("0%"
    // hides the column), "" or "*" a share of the width left over. Columns without an entry
    // share the rest too. For example "0%,24,,0%".
    std::string ColumnWidths() const;
    void SetColumnWidths(const std::string &widths);
    // The pixel width each column gets in the list's present width.
    std::int32_t ColumnWidth(std::int32_t column) const;
    bool HasHeading() const;
    void SetHasHeading(bool heading);

    // Appends a row with `text` in column 0 and empty cells elsewhere.
    void AddRow(const std::string &text);
    // Removes a row; later rows move up. An index out of range does nothing.
    void RemoveRow(std::int32_t row);
    void DeleteAllRows();
    std::int32_t ListCount() const;
    // The index of the row the last AddRow appended; -1 when there is none (none added yet,
    // removed, or all rows deleted). It follows that row when earlier rows are removed.
    std::int32_t LastIndex() const;
    // A number that names a row for as long as it is in the list, so that code holding on to a
    // row finds it again after earlier rows were removed: given when the row is appended, kept
    // when other rows are removed, never given to another row of this list. 0 for an index out
    // of range.
    std::int64_t RowID(std::int32_t row) const;
    // The present index of the row that RowID named; -1 once that row has been removed.
    std::int32_t RowWithID(std::int64_t id) const;
    // The selected row, -1 for none. Setting an index out of range selects none.
    std::int32_t ListIndex() const;
    void SetListIndex(std::int32_t row);

    // A cell's text; empty for a row or column out of range. Setting one out of range does
    // nothing.
    std::string Cell(std::int32_t row, std::int32_t column) const;
    void SetCell(std::int32_t row, std::int32_t column, const std::string &text);
};

// An area the program draws itself. Events: Open, Paint(Graphics &g),
// MouseDown(int32_t x, int32_t y) -> bool (the position inside the canvas).
class Canvas : public Control {
  public:
    Canvas();
};

} // namespace rb
