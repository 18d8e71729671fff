// DrawingWindow-list.cpp -- the element list: the five buttons that add an element and open its
// editor, the double-click that opens the editor of an existing element, the colour swatch,
// Cut, and the rebuilding of every row's colour text and description from its record.
//
// A row's kind is the first field of its record. A placeholder row (record " ") and a row of an
// unknown keyword have no kind: nothing describes, paints a colour for or reopens them.
#include "DrawingWindow.h"

#include "ElementEditor.h"
#include "ElementRecord.h"

#include "rb/system.h"
#include "rb/text.h"

#include <string>
#include <string_view>

namespace {

double NumberField(const std::string &record, std::int32_t k) {
    return rb::Val(rb::NthField(record, " ", k));
}

// The editor opens on the row and the document counts as changed, whatever the user then does
// in it.
void OpenEditor(DrawingWindow &w, rb::Ref<ElementEditor> (*newEditor)(), std::int32_t row,
                bool newRow) {
    rb::Ref<ElementEditor> editor = newEditor();
    editor->init(w.ControlByName<rb::Listbox>("ListBox1"), row, newRow);
    w.dirty = true;
}

// A new element: a placeholder row at the end, and its editor on it. A placeholder is a row
// like any other, saved and loaded, so a full list gets none: the editor opens on no row, and
// its "OK", where the element is added, refuses it while the list is still full. Rows may be
// cut or cancelled while the editor is open, so only "OK" knows whether there is room.
template <class Editor> void AddElement(DrawingWindow &w) {
    rb::Ref<rb::Listbox> list = w.ControlByName<rb::Listbox>("ListBox1");
    std::int32_t row = -1;
    if (list->ListCount() < DrawingWindow::kMostElementRows) {
        list->AddRow(kPlaceholderRecord);
        row = list->LastIndex();
    }
    OpenEditor(w, NewEditor<Editor>, row, true);
}

} // namespace

void DrawingWindow::BevelButton1_Action() { AddElement<EditLineWindow>(*this); }
void DrawingWindow::BevelButton2_Action() { AddElement<EditCircleWindow>(*this); }
void DrawingWindow::BevelButton3_Action() { AddElement<EditRectangleWindow>(*this); }
void DrawingWindow::BevelButton4_Action() { AddElement<EditTextWindow>(*this); }
void DrawingWindow::BevelButton5_Action() { AddElement<EditRepeatLineWindow>(*this); }

void DrawingWindow::ListBox1_Open(rb::Listbox &) { PopulateListBox(); }

// The keyword is compared as it stands: a lower-case record opens no editor.
void DrawingWindow::ListBox1_DoubleClick(rb::Listbox &me) {
    const std::int32_t row = me.ListIndex();
    if (row == -1)
        return;
    if (const ElementKind *kind = ElementKindOf(rb::NthField(me.Cell(row, kRecordColumn), " ", 1)))
        OpenEditor(*this, kind->newEditor, row, false);
}

// Column 1's fractions as a swatch in a black frame. Fractions are scaled by 256, so 1 gives
// 256, which RGB clamps to 255; a missing fraction is 0, so a placeholder's swatch is black.
bool DrawingWindow::ListBox1_CellBackgroundPaint(rb::Listbox &me, rb::Graphics &g, std::int32_t row,
                                                 std::int32_t column) {
    if (column != 1 || row >= me.ListCount())
        return false;
    const std::string color = me.Cell(row, kColorColumn);
    g.ForeColor = rb::RGB(0, 0, 0);
    g.DrawRect(2, 0, g.Width() - 2, g.Height() - 1);
    g.ForeColor =
        rb::RGB(rb::ToInt32(NumberField(color, 1) * 256), rb::ToInt32(NumberField(color, 2) * 256),
                rb::ToInt32(NumberField(color, 3) * 256));
    g.FillRect(3, 1, g.Width() - 4, g.Height() - 3);
    return true;
}

// The colour text is shown only as its swatch.
bool DrawingWindow::ListBox1_CellTextPaint(rb::Listbox &, rb::Graphics &, std::int32_t,
                                           std::int32_t column, std::int32_t, std::int32_t) {
    return column == 1;
}

// The menus are updated once before the controls exist, when the window gets its menu bar.
void DrawingWindow::EnableMenuItems() {
    rb::Ref<rb::MenuBar> menuBar = MenuBar();
    rb::Ref<rb::MenuItem> cut = menuBar ? menuBar->FindItem("EditCut") : nullptr;
    rb::Ref<rb::Listbox> list = rb::RefCast<rb::Listbox>(FindControl("ListBox1"));
    if (cut && list && list->ListIndex() != -1)
        cut->Enable();
}

// The row goes for good: nothing is kept and the document does not count as changed.
bool DrawingWindow::_EditCut_Action() {
    rb::Ref<rb::Listbox> list = ControlByName<rb::Listbox>("ListBox1");
    if (list->ListIndex() != -1)
        list->RemoveRow(list->ListIndex());
    return false;
}

void DrawingWindow::PopulateListBox() {
    rb::Ref<rb::Listbox> list = ControlByName<rb::Listbox>("ListBox1");
    // The count is read again for every row: the background task may let rows change.
    for (std::int32_t i = 0; i <= list->ListCount() - 1; ++i) {
        // The whole record in upper case, so that a lower-case keyword is still known. A row
        // of no known kind keeps both its description and its colour text.
        const std::string record = rb::Uppercase(list->Cell(i, kRecordColumn));
        if (const ElementKind *kind = ElementKindOf(rb::NthField(record, " ", 1))) {
            const std::string text = list->Cell(i, kTextColumn);
            auto value = [&](std::string_view key) -> std::string {
                if (key == "text")
                    return text;
                const bool whole = key.starts_with('#');
                const double number =
                    NumberField(record, rb::ToInt32(rb::Val(std::string(key.substr(whole)))));
                return whole ? rb::Str(rb::ToInt32(number)) : rb::Str(number);
            };
            const ElementEditorTable &table = kind->table;
            list->SetCell(i, kDescriptionColumn,
                          ExpandPattern(table.listDescription ? table.listDescription
                                                              : table.description,
                                        value));
            const std::int32_t c = table.FirstColorField();
            list->SetCell(i, kColorColumn,
                          ColorText(NumberField(record, c), NumberField(record, c + 1),
                                    NumberField(record, c + 2)));
        }
        rb::RuntimeBackgroundTask();
    }
}
