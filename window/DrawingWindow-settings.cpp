// DrawingWindow-settings.cpp -- the settings file: one window's set-up, its output file and its
// element list, as a plain sequence of items with no header.
//
//   string  "1.3.0"                       the format version, read and ignored
//   string  orientation, paper size       popup indexes as decimal text
//   string  "0", "0"                      reserved
//   string  unit                          popup index
//   string  top, bottom, left, right      the margin texts as they stand
//   string  "1" or "0"                    "Auto View Graph"
//   int32   n, then n bytes               the output file's alias record (n = 0: none)
//   string  "DATA_FOLLOWS"                strings before it are skipped
//   int32   c, then c rows                column 0 of each row, and for a TEXT row its text
//
// A string is a length byte and that many bytes; an int32 is big-endian (the stream's order).
// The file ends with its last row.
//
// A file is untrusted input. Each item is taken only when the file holds it whole, so an item
// cut off by the end of the file, and every item after it, leave their control as it was; a
// popup index outside the popup's items is ignored the same way. Every loop reads at least one
// byte per pass and stops at the end of the file, so no count in the file can make it run or
// allocate beyond the file's size; the element list also stops at its row limit.
#include "DrawingWindow.h"

#include "ElementRecord.h"
#include "MacAliasWQX.h"

#include "rb/dialogs.h"
#include "rb/system.h"
#include "rb/text.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

const char *const kFormatVersion = "1.3.0";
const char *const kReserved = "0";
const char *const kMarker = "DATA_FOLLOWS";
// What a length byte can count: the longest text the settings file keeps.
constexpr auto kLongestStoredText = static_cast<std::size_t>(kMaxStoredBytes);

// The margin fields in file order, with the name the user knows each by.
struct MarginField {
    const char *control;
    const char *name;
};
constexpr MarginField kMarginFields[] = {{"EditTopMargin", "the top margin"},
                                         {"EditBottomMargin", "the bottom margin"},
                                         {"EditLeftMargin", "the left margin"},
                                         {"EditRightMargin", "the right margin"}};

// A row is a TEXT row by its kind keyword in any letter case; saving and loading test alike,
// so that every TEXT row, and no other, is followed by its text.
bool IsTextRow(const std::string &record) {
    return rb::Uppercase(rb::NthField(record, " ", 1)) == "TEXT";
}

// Reads the items of a settings file and remembers whether the file held all of them whole.
// Once an item runs past the end of the file the stream is left at its end, so every later
// item is missing too.
class SettingsReader {
  public:
    explicit SettingsReader(rb::BinaryStream &b) : b_(b) {}

    // The next string; false when the file ends before it does, or a read fails (then, as at
    // the end, nothing more is read).
    bool String(std::string &out) {
        out.clear();
        if (Left() < 1)
            return Missing();
        const std::uint8_t length = b_.ReadByte();
        if (Left() < length)
            return Missing();
        out = b_.Read(length);
        return !b_.ReadError() || Missing();
    }
    bool Int32(std::int32_t &out) {
        out = 0;
        if (Left() < 4)
            return Missing();
        out = b_.ReadInt32();
        return !b_.ReadError() || Missing();
    }
    std::int64_t Left() const { return b_.Length() - b_.Position(); }
    // The file holds something it should not (a popup index out of range, a negative count).
    void Damaged() { whole_ = false; }
    bool Whole() const { return whole_; }

  private:
    bool Missing() {
        whole_ = false;
        b_.SetPosition(b_.Length());
        return false;
    }

    rb::BinaryStream &b_;
    bool whole_ = true;
};

// The first text of the document that a stored string cannot hold, named for the user; empty
// when every one fits.
std::string TextTooLongToStore(DrawingWindow &w) {
    for (const MarginField &margin : kMarginFields)
        if (w.ControlByName<rb::EditField>(margin.control)->Text().size() > kLongestStoredText)
            return margin.name;
    rb::Ref<rb::Listbox> list = w.ControlByName<rb::Listbox>("ListBox1");
    for (std::int32_t i = 0; i < list->ListCount(); ++i) {
        const std::string element = "element " + rb::Str(i + 1);
        const std::string record = list->Cell(i, 0);
        if (record.size() > kLongestStoredText)
            return element;
        if (IsTextRow(record) && list->Cell(i, 3).size() > kLongestStoredText)
            return "the text of " + element;
    }
    return "";
}

std::string SaveFailure(const rb::FolderItem &f, const std::string &why) {
    return "Unable to save the settings file " + f.Name() + why + ".";
}

} // namespace

bool DrawingWindow::SaveSettings(rb::Ref<rb::FolderItem> f) {
    if (!f)
        return false;
    const std::string failure = WriteSettingsFile(*f);
    if (failure.empty())
        return true;
    rb::MsgBox(failure);
    return false;
}

std::string DrawingWindow::WriteSettingsFile(rb::FolderItem &f) {
    // Rows beyond what opening takes would make a file that opens as damaged and without them,
    // and a text cut to fit would be a silently different document: nothing is written instead,
    // and the old file stays as it was.
    const std::int32_t rows = ControlByName<rb::Listbox>("ListBox1")->ListCount();
    if (rows > kMostElementRows)
        return SaveFailure(f, ": the drawing holds " + rb::Str(rows) + " elements, more than the " +
                                  rb::Str(kMostElementRows) + " that a settings file holds");
    const std::string tooLong = TextTooLongToStore(*this);
    if (!tooLong.empty())
        return SaveFailure(f, ": " + tooLong + " is longer than the " +
                                  rb::Str(static_cast<std::int32_t>(kLongestStoredText)) +
                                  " bytes that a settings file holds for it");

    // The new file replaces the old one only when Close finds every byte written, so the old
    // file is never deleted beforehand.
    rb::Ref<rb::BinaryStream> b = f.CreateBinaryFile("Setf");
    if (!b)
        return SaveFailure(f, rb::FileErrorReason(f.LastErrorCode()));

    // The set-up.
    b->WritePString(kFormatVersion);
    b->WritePString(rb::Str(ControlByName<rb::PopupMenu>("PopupOrientation")->ListIndex()));
    b->WritePString(rb::Str(ControlByName<rb::PopupMenu>("PopupPaperSize")->ListIndex()));
    b->WritePString(kReserved);
    b->WritePString(kReserved);
    b->WritePString(rb::Str(ControlByName<rb::PopupMenu>("PopupUnits")->ListIndex()));
    for (const MarginField &margin : kMarginFields)
        b->WritePString(ControlByName<rb::EditField>(margin.control)->Text());
    b->WritePString(ControlByName<rb::CheckBox>("CheckBoxViewGraph")->Value() ? "1" : "0");
    WriteAlias(outputFile, *b);

    // The element rows.
    rb::Ref<rb::Listbox> list = ControlByName<rb::Listbox>("ListBox1");
    b->WritePString(kMarker);
    b->WriteInt32(list->ListCount());
    for (std::int32_t i = 0; i < list->ListCount(); ++i) {
        const std::string record = list->Cell(i, 0);
        b->WritePString(record);
        if (IsTextRow(record))
            b->WritePString(list->Cell(i, 3));
        rb::RuntimeBackgroundTask();
    }

    if (!b->Close())
        return SaveFailure(f, b->FailureReason());
    dirty = false;
    return "";
}

DrawingWindow::SettingsRead DrawingWindow::LoadSettings(rb::Ref<rb::FolderItem> f) {
    if (!f)
        return {};
    rb::Ref<rb::BinaryStream> b = f->OpenAsBinaryFile(false);
    if (!b)
        return {false, f->LastErrorCode()};
    SettingsReader in(*b);
    std::string s;
    // Setting a popup raises its Change handler: the paper is set while the old unit is still
    // chosen, and the unit's handler converts margins that the stored texts then replace.
    auto setPopup = [&](const char *name) {
        if (!in.String(s))
            return;
        rb::Ref<rb::PopupMenu> popup = ControlByName<rb::PopupMenu>(name);
        const std::int32_t index = rb::ToInt32(rb::Val(s));
        if (index < 0 || index >= popup->ListCount())
            in.Damaged();
        else
            popup->SetListIndex(index);
    };

    // The set-up; the version and the reserved items are read and dropped.
    in.String(s);
    setPopup("PopupOrientation");
    setPopup("PopupPaperSize");
    in.String(s);
    in.String(s);
    setPopup("PopupUnits");
    for (const MarginField &margin : kMarginFields)
        if (in.String(s))
            ControlByName<rb::EditField>(margin.control)->SetText(s);
    if (in.String(s))
        ControlByName<rb::CheckBox>("CheckBoxViewGraph")->SetValue(rb::Val(s) != 0);
    if (in.Left() >= 4) {
        outputFile = ReadAlias(*b);
        ControlByName<rb::StaticText>("StaticFileName")
            ->SetText(outputFile ? outputFile->Name() : "");
    }

    // Strings between the alias and the marker are skipped; a file without the marker still
    // empties the list.
    bool marker = false;
    while (!marker && in.String(s)) {
        marker = s == kMarker;
        rb::RuntimeBackgroundTask();
    }
    std::int32_t rows = 0;
    if (in.Int32(rows) && (rows < 0 || rows > kMostElementRows)) {
        in.Damaged();
        rows = std::min(rows, kMostElementRows);
    }

    rb::Ref<rb::Listbox> list = ControlByName<rb::Listbox>("ListBox1");
    list->DeleteAllRows();
    // A row is taken only when its record is whole; a TEXT row whose text is cut off keeps an
    // empty text.
    for (std::int32_t i = 0; i < rows && in.String(s); ++i) {
        list->AddRow(s);
        if (IsTextRow(s) && in.String(s))
            list->SetCell(i, 3, s);
        rb::RuntimeBackgroundTask();
    }
    // Nothing follows the last row. More (rows beyond the count, or stray bytes) is damage as a
    // file cut short is: the rows after the count would be lost when the list is saved over it.
    if (in.Left() > 0)
        in.Damaged();
    b->Close();
    // A read error is no end of the file: what was read is not the document.
    if (b->ReadError())
        return {false, b->LastErrorCode()};
    return {in.Whole(), 0};
}

void DrawingWindow::WriteAlias(rb::Ref<rb::FolderItem> f, rb::BinaryStream &b) {
    std::string record;
    if (f) {
        auto alias = rb::New<MacAliasWQX>();
        if (alias->Create(nullptr, f.get()) == 0)
            record = alias->GetRecord();
    }
    b.WriteInt32(rb::LenB(record));
    b.Write(record);
}

rb::Ref<rb::FolderItem> DrawingWindow::ReadAlias(rb::BinaryStream &b) {
    auto alias = rb::New<MacAliasWQX>();
    const std::int32_t length = b.ReadLong();
    if (length <= 0)
        return nullptr;
    // A record said to run past the end of the file is damage: none of the rest is a record.
    if (length > b.Length() - b.Position()) {
        b.SetPosition(b.Length());
        return nullptr;
    }
    alias->SetRecord(b.Read(length));
    rb::Ref<rb::FolderItem> found = alias->Resolve(nullptr, alias->attemptMount());
    if (!found)
        return nullptr;
    // The refreshed record is only the plug-in's: no file is written while loading.
    if (alias->needsUpdate())
        alias->Update(nullptr, found.get());
    return IsPDFFile(*found) == FileCheck::PDFFile ? found : nullptr;
}

DrawingWindow::FileCheck DrawingWindow::IsPDFFile(rb::FolderItem &f) {
    // Only a regular file opens; a missing file, a folder or a device does not, and only a
    // missing one leaves room for a new file.
    rb::Ref<rb::BinaryStream> b = f.OpenAsBinaryFile(false);
    if (!b)
        return f.LastErrorCode() == ENOENT ? FileCheck::NothingThere : FileCheck::SomethingElse;
    return b->Read(5) == "%PDF-" ? FileCheck::PDFFile : FileCheck::SomethingElse;
}
