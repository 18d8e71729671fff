// ElementEditor.cpp -- what every element editor dialog does: build itself from its tables,
// fill its fields from a row, check and write them on "OK", and pick the colour.
#include "ElementEditor.h"

#include "ElementRecord.h"

#include "rb/dialogs.h"
#include "rb/text.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// The C0 controls, DEL, the C1 controls, and the Unicode line and paragraph separators, which
// are line breaks too.
bool IsControlCharacter(std::uint32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029;
}

} // namespace

ElementEditor::ElementEditor(const ElementEditorTable &table) : table_(table) {
    _InstallInstanceEventHandler("Layout", &ElementEditor::Layout);
    _InstallInstanceEventHandler("CreateControls", &ElementEditor::CreateControls);
    _InstallInstanceEventHandler("AddMenuHandlers", &ElementEditor::AddMenuHandlers);
}

const ElementKind *ElementKindOf(std::string_view keyword) {
    static const ElementKind kinds[] = {
        {EditLineWindow::Table(), NewEditor<EditLineWindow>},
        {EditCircleWindow::Table(), NewEditor<EditCircleWindow>},
        {EditRectangleWindow::Table(), NewEditor<EditRectangleWindow>},
        {EditTextWindow::Table(), NewEditor<EditTextWindow>},
        {EditRepeatLineWindow::Table(), NewEditor<EditRepeatLineWindow>},
    };
    for (const ElementKind &kind : kinds)
        if (keyword == kind.table.keyword)
            return &kind;
    return nullptr;
}

void ElementEditor::Layout() { ApplyLayout(table_.window); }

void ElementEditor::CreateControls() { _CreateControls0(); }

void ElementEditor::_CreateControls0() {
    for (const rb::ControlLayout &control : table_.controls)
        _AddControl(control);
    _InstallInstanceEventHandler("LineColorCanvas1", "MouseDown",
                                 &ElementEditor::LineColorCanvas1_MouseDown);
    _InstallInstanceEventHandler("LineColorCanvas1", "Paint",
                                 &ElementEditor::LineColorCanvas1_Paint);
    _InstallInstanceEventHandler("PushButton1", "Action", &ElementEditor::PushButton1_Action);
    _InstallInstanceEventHandler("PushButton2", "Action", &ElementEditor::PushButton2_Action);
}

// The dialogs use the menu bar's items only through the framework's own handlers.
void ElementEditor::AddMenuHandlers() {}

void ElementEditor::init(rb::Ref<rb::Listbox> list, std::int32_t index, bool isNew) {
    box = list;
    row = index;
    newRow = isNew;
    rowID_ = box ? box->RowID(row) : 0;
    if (newRow || !box)
        return;

    // Every field gets its record field as it stands; a font number outside the popup's
    // items (a foreign or damaged record) shows the first item, so "OK" writes a font that
    // exists.
    const std::string record = box->Cell(row, kRecordColumn);
    for (std::size_t i = 0; i < table_.fields.size(); ++i) {
        const RecordField &field = table_.fields[i];
        const std::string text = rb::NthField(record, " ", static_cast<std::int32_t>(i) + 2);
        if (field.kind == RecordField::Typed) {
            ControlByName<rb::EditField>(field.control)->SetText(text);
        } else {
            rb::Ref<rb::PopupMenu> popup = ControlByName<rb::PopupMenu>(field.control);
            const std::int32_t item = rb::ToInt32(rb::Val(text) - 1.0);
            popup->SetListIndex(item >= 0 && item < popup->ListCount() ? item : 0);
        }
    }
    if (table_.stringControl)
        ControlByName<rb::EditField>(table_.stringControl)->SetText(box->Cell(row, kTextColumn));
    lineColor = ColorOfFields(record, table_.FirstColorField());
    ControlByName<rb::Canvas>("LineColorCanvas1")->Refresh(true);
}

bool ElementEditor::FindRow() {
    if (!box || !box->Window())
        return false;
    row = box->RowWithID(rowID_);
    return row >= 0 || (newRow && rowID_ == 0);
}

std::string ElementEditor::FieldText(const RecordField &field) const {
    if (field.kind == RecordField::ItemNumber)
        return rb::Str(ControlByName<rb::PopupMenu>(field.control)->ListIndex() + 1);
    return ControlByName<rb::EditField>(field.control)->Text();
}

const char *ElementEditor::Refusal() const {
    auto typed = [&](auto test) {
        return std::any_of(table_.fields.begin(), table_.fields.end(),
                           [&](const RecordField &field) {
                               return field.kind == RecordField::Typed && test(FieldText(field));
                           });
    };
    if (typed([](const std::string &text) { return text.empty(); }))
        return kBlankMessage;
    if (typed([](const std::string &text) { return text.find(' ') != std::string::npos; }))
        return kSpaceMessage;
    // A malformed byte is no character: the page shows it as "?".
    auto hasControl = [](const std::string &text) {
        for (std::size_t at = 0; at < text.size();) {
            const rb::Utf8Character c = rb::DecodeUtf8(text, at);
            at += c.length;
            if (c.wellFormed && IsControlCharacter(c.codePoint))
                return true;
        }
        return false;
    };
    if (typed(hasControl) ||
        (table_.stringControl &&
         hasControl(ControlByName<rb::EditField>(table_.stringControl)->Text())))
        return kControlMessage;
    return nullptr;
}

void ElementEditor::PushButton1_Action() {
    if (!FindRow()) {
        rb::MsgBox(kElementGoneMessage);
        Close();
        return;
    }
    // A new element without a row waits for room in the list; the user keeps what was typed.
    const bool withoutRow = row < 0;
    if (withoutRow && box->ListCount() >= kMostElements) {
        rb::MsgBox(kListFullMessage);
        return;
    }
    if (const char *refusal = Refusal()) {
        rb::MsgBox(refusal);
        return;
    }

    // The record: the keyword, each field's text, then the colour.
    std::vector<std::string> fields{table_.keyword};
    for (const RecordField &field : table_.fields)
        fields.push_back(FieldText(field));
    std::string record;
    for (const std::string &field : fields)
        record += field + " ";
    record += ColorFields(lineColor);
    const std::string text =
        table_.stringControl ? ControlByName<rb::EditField>(table_.stringControl)->Text() : "";
    if (rb::LenB(record) > kMaxStoredBytes) {
        rb::MsgBox(kRecordTooLongMessage);
        return;
    }
    if (rb::LenB(text) > kMaxStoredBytes) {
        rb::MsgBox(kStringTooLongMessage);
        return;
    }

    const std::string description =
        ExpandPattern(table_.description, [&](std::string_view key) -> std::string {
            if (key == "text")
                return text;
            const auto k = static_cast<std::size_t>(rb::Val(std::string(key)));
            return k >= 1 && k <= fields.size() ? fields[k - 1] : "";
        });
    if (withoutRow) {
        box->AddRow(kPlaceholderRecord);
        row = box->LastIndex();
    }
    box->SetCell(row, kRecordColumn, record);
    box->SetCell(row, kDescriptionColumn, description);
    if (table_.stringControl)
        box->SetCell(row, kTextColumn, text);
    box->SetCell(row, kColorColumn, ColorText(lineColor));
    Close();
}

void ElementEditor::PushButton2_Action() {
    if (newRow && FindRow() && row >= 0)
        box->RemoveRow(row);
    Close();
}

bool ElementEditor::LineColorCanvas1_MouseDown(std::int32_t, std::int32_t) {
    rb::Color chosen = lineColor;
    if (rb::SelectColor(chosen, "Select a Color"))
        lineColor = chosen;
    ControlByName<rb::Canvas>("LineColorCanvas1")->Refresh(true);
    return false;
}

// The colour, framed in black two pixels wide.
void ElementEditor::LineColorCanvas1_Paint(rb::Graphics &g) {
    g.ForeColor = lineColor;
    g.FillRect(0, 0, g.Width(), g.Height());
    g.ForeColor = rb::RGB(0, 0, 0);
    g.PenWidth = 2;
    g.PenHeight = 2;
    g.DrawRect(0, 0, g.Width(), g.Height());
}
