// ElementEditor.h -- the element editor dialogs: one class that does what all five do, driven
// by each dialog's tables, and the five dialogs themselves.
//
// A drawing window opens a dialog on one row of its element list and calls init with the
// list, the row and whether the row is a new element's placeholder. The dialog is not modal.
// "OK" checks the fields, writes the row's record, description, colour text (and a TEXT's
// string) and closes; "Cancel" removes a placeholder row and closes; the close box just
// closes. Clicking the colour swatch picks the element's colour.
//
// The dialog follows its element, not its index: when earlier rows are removed (a Cut, another
// dialog's Cancel) it still writes its own row, and when its element has been cut or its
// drawing window has closed, "OK" says that the changes cannot be kept and writes nothing.
//
// A new element opened on a full list (kMostElements rows) has no row: "OK" appends one once
// the list has room, and while it has none says so and keeps the dialog open.
//
// "OK" writes only what a document can keep and the drawing can read back: no field may be
// blank, none may hold a space (a space would split the field in two and shift every later
// field of the record), no field nor a TEXT's string may hold a control character, C1 and the
// Unicode line and paragraph separators included (a pasted line break would break the record
// and the page's lines), and neither the record nor a TEXT's string may exceed the 255 bytes
// of a settings-file string. Each refusal is a message; the dialog stays open with its fields.
#pragma once

#include "ElementRecord.h"

#include "rb/controls.h"
#include "rb/graphics.h"
#include "rb/text.h"
#include "rb/window.h"

#include <cstdint>
#include <span>
#include <string_view>

// Where one record field comes from.
struct RecordField {
    const char *control;
    // Typed: an EditField's text as it stands, which must not be blank. ItemNumber: a
    // PopupMenu's 0-based selection plus one.
    enum Kind { Typed, ItemNumber } kind = Typed;
};

// What makes one dialog what it is.
struct ElementEditorTable {
    rb::WindowLayout window;
    // Every control, one row each, created in this order.
    std::span<const rb::ControlLayout> controls;
    // Field 1 of the record.
    const char *keyword;
    // Fields 2, 3, ... of the record, in record order; the colour follows them.
    std::span<const RecordField> fields;
    // Column 2 as "OK" writes it: "{k}" stands for record field k as written (k from 2),
    // "{text}" for the string of column 3.
    const char *description;
    // The EditField holding the string of column 3; null for the kinds without one.
    const char *stringControl = nullptr;
    // Column 2 as the drawing window rebuilds it from a loaded record, where that differs from
    // `description`: "{k}" is field k as a number written by Str, "{#k}" as a whole number.
    const char *listDescription = nullptr;

    // The first of the record's three colour fields, which follow the dialog's own fields.
    std::int32_t FirstColorField() const { return static_cast<std::int32_t>(fields.size()) + 2; }
};

class ElementEditor;

// One element kind: its dialog's tables and how to open that dialog. The drawing window reads
// these to reopen, describe and colour a row, so each kind's facts are written once.
struct ElementKind {
    const ElementEditorTable &table;
    rb::Ref<ElementEditor> (*newEditor)();
};
// The kind whose keyword is exactly `keyword` (case counts), or null.
const ElementKind *ElementKindOf(std::string_view keyword);

class ElementEditor : public rb::Window {
  public:
    explicit ElementEditor(const ElementEditorTable &table);

    void Layout();
    void CreateControls();
    void _CreateControls0();
    bool LineColorCanvas1_MouseDown(std::int32_t, std::int32_t);
    void LineColorCanvas1_Paint(rb::Graphics &g);
    void PushButton1_Action(); // "OK"
    void PushButton2_Action(); // "Cancel"
    void AddMenuHandlers();
    // Takes the list and its row; an existing element's fields and colour are filled from
    // the row, a new element keeps the layout's defaults and black. A new element may come
    // with the index -1: no row yet.
    void init(rb::Ref<rb::Listbox> list, std::int32_t index, bool isNew);

    rb::Color lineColor;
    rb::Ref<rb::Listbox> box;
    // The row's index as last found; see FindRow.
    std::int32_t row = 0;
    bool newRow = false;

    // The message texts of "OK"'s refusals.
    static constexpr const char *kBlankMessage =
        "One or more entries are blank. Please make sure that all entries have values.";
    static constexpr const char *kSpaceMessage =
        "An entry contains a space. Please enter each value without spaces.";
    static constexpr const char *kControlMessage =
        "An entry contains a line break or another control character. Please enter each value "
        "on one line, without such characters.";
    static constexpr const char *kRecordTooLongMessage =
        "The entries are too long to be saved with the document. Please shorten them.";
    static constexpr const char *kStringTooLongMessage =
        "The text is too long to be saved with the document: it may take at most 255 bytes "
        "(a letter with an accent or another special character takes two or more). Please "
        "shorten it.";
    static constexpr const char *kListFullMessage =
        "The drawing already holds 100,000 elements, the most a document can keep. Please "
        "remove an element to make room for this one.";
    static_assert(kMostElements == 100000, "kListFullMessage names the limit");
    static constexpr const char *kElementGoneMessage =
        "This element is no longer in its drawing window, so the changes cannot be kept.";

  private:
    // Sets row to the element's present index, -1 for a new element that has no row yet;
    // false when the element has left the list or the list's window has closed.
    bool FindRow();
    std::string FieldText(const RecordField &field) const;
    // The first refusal that the fields give, or null when they can be written.
    const char *Refusal() const;

    const ElementEditorTable &table_;
    std::int64_t rowID_ = 0;
};

// A new dialog of the class, as an element editor.
template <class Editor> rb::Ref<ElementEditor> NewEditor() { return rb::NewWindow<Editor>(); }

// The five dialogs; each one's tables are in its own file.
class EditLineWindow : public ElementEditor {
  public:
    EditLineWindow();
    static const ElementEditorTable &Table();
};
class EditCircleWindow : public ElementEditor {
  public:
    EditCircleWindow();
    static const ElementEditorTable &Table();
};
class EditRectangleWindow : public ElementEditor {
  public:
    EditRectangleWindow();
    static const ElementEditorTable &Table();
};
class EditTextWindow : public ElementEditor {
  public:
    EditTextWindow();
    static const ElementEditorTable &Table();
};
class EditRepeatLineWindow : public ElementEditor {
  public:
    EditRepeatLineWindow();
    static const ElementEditorTable &Table();
};

// Rows and settings the dialogs' tables share.
namespace editor_layout {

using enum rb::ControlClass;
using rb::ControlLayout;
using rb::ControlSettings;

// Fields and labels: one line, the system font at its default size.
constexpr ControlSettings kField{.TextSize = 0, .TextAlign = 0, .Border = true};
constexpr ControlSettings kLabel{.TextSize = 0, .TextAlign = 0};
constexpr ControlSettings kColumnHead{.TextSize = 0, .TextAlign = 1};
constexpr ControlSettings kHiddenField{
    .Visible = false, .TextSize = 0, .TextAlign = 0, .Border = true};
constexpr ControlSettings kHiddenLabel{.Visible = false, .TextSize = 0, .TextAlign = 0};

constexpr std::int32_t kWidth = 453;

constexpr rb::WindowLayout Dialog(const char *title, std::int32_t height) {
    return {.Title = title,
            .Width = kWidth,
            .Height = height,
            .Visible = true,
            .CloseButton = true,
            .MinimizeButton = true,
            .MaximizeButton = false,
            .MenuBarVisible = true};
}

// The colour swatch, 32 by 20 pixels.
constexpr ControlLayout Swatch(std::int32_t left, std::int32_t top) {
    return {Canvas, "LineColorCanvas1",
            left,   top,
            32,     20,
            "",     {.AcceptFocus = false, .EraseBackground = true}};
}

// "OK" and "Cancel", 40 pixels above the bottom of a dialog of this height.
constexpr ControlLayout OKButton(std::int32_t height) {
    return {PushButton, "PushButton1",
            305,        height - 40,
            80,         20,
            "OK",       {.TextSize = 0, .Default = true}};
}
constexpr ControlLayout CancelButton(std::int32_t height) {
    return {PushButton, "PushButton2",
            87,         height - 40,
            80,         20,
            "Cancel",   {.TextSize = 0, .Cancel = true}};
}

} // namespace editor_layout
