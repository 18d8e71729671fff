// The settings file as written: its exact bytes, round trips of every stored control and row
// through a second window, what it does not store, and the output file kept as an alias.
#include "settings-test.h"

#include "MacAliasWQX.h"

#include "rb/testdriver.h"

#include <filesystem>
#include <functional>

namespace {

namespace fs = std::filesystem;
namespace td = rb::testdriver;

using namespace std::string_literals;

// The bytes of a default window without an output file and with three rows: a LINE, a TEXT
// with its string, and a placeholder. Written out by hand from the format.
// clang-format off
const std::string kDefaultSetUpBytes =
    "\x05" "1.3.0"
    "\x01" "0"        // orientation
    "\x01" "0"        // paper
    "\x01" "0"        // reserved
    "\x01" "0"        // reserved
    "\x01" "0"        // unit
    "\x03" "0.5"      // top
    "\x03" "0.5"      // bottom
    "\x04" "0.75"     // left
    "\x04" "0.75"     // right
    "\x01" "1"s;      // auto view
const std::string kDefaultDocumentBytes = kDefaultSetUpBytes +
    "\x00\x00\x00\x00" // no alias record
    "\x0c" "DATA_FOLLOWS"
    "\x00\x00\x00\x03" // rows
    "\x14" "LINE 1 2 3 4 1 0 0 0"
    "\x15" "TEXT 1 1 12 1 0 0 0 0"
    "\x08" "Hi there"
    "\x01" " "s;
// clang-format on

TEST_F(WindowTest, SavedBytesAreTheFormatByteForByte) {
    auto w = NewDrawingWindow();
    w->outputFile = nullptr;
    AddElement(*w, "LINE 1 2 3 4 1 0 0 0");
    AddElement(*w, "TEXT 1 1 12 1 0 0 0 0", "Hi there");
    AddElement(*w, " ", "not stored: a placeholder has no text");
    w->dirty = true;
    ASSERT_TRUE(w->SaveSettings(rb::GetFolderItem("doc.setf")));
    EXPECT_FALSE(w->dirty) << "a successful save leaves the document modified";
    EXPECT_EQ(TempFolder::Get(folder / "doc.setf"), kDefaultDocumentBytes);
    EXPECT_EQ(rb::GetFolderItem("doc.setf")->MacType(), "Setf");
    EXPECT_EQ(folder.Listing(), "doc.setf") << "a temporary file is left behind";
}

TEST_F(WindowTest, OutputFileIsStoredAsTheAliasPluginsRecord) {
    TempFolder::Put(folder / "out.pdf", "%PDF-1.4");
    auto w = NewDrawingWindow();
    w->outputFile = rb::GetFolderItem("out.pdf");
    ASSERT_TRUE(w->SaveSettings(rb::GetFolderItem("doc.setf")));

    auto alias = rb::New<MacAliasWQX>();
    ASSERT_EQ(alias->Create(nullptr, w->outputFile.get()), 0);
    const std::string record = alias->GetRecord();
    EXPECT_EQ(TempFolder::Get(folder / "doc.setf"),
              kDefaultSetUpBytes + I(static_cast<std::int32_t>(record.size())) + record +
                  P("DATA_FOLLOWS") + I(0));
}

struct RoundTripCase {
    const char *name;
    std::function<void(DrawingWindow &, TempFolder &)> setUp;
    // What the second window shows in the fields that are not stored; empty: not checked.
    const char *unsaved;
};

const std::string kLongestText(255, 'w');

const RoundTripCase kRoundTrips[] = {
    {"default set-up, no rows", [](DrawingWindow &, TempFolder &) {}, "8.5 x 11, scales 100 x 100"},
    {"every control changed, rows of every kind",
     [](DrawingWindow &w, TempFolder &folder) {
         SetPopup(w, "PopupOrientation", 1);
         SetPopup(w, "PopupPaperSize", 7);
         SetPopup(w, "PopupUnits", 1);
         // Margins are stored as typed, whatever they hold.
         SetFieldText(w, "EditTopMargin", "1.50");
         SetFieldText(w, "EditBottomMargin", "2,5");
         SetFieldText(w, "EditLeftMargin", "");
         SetFieldText(w, "EditRightMargin", "x y");
         w.ControlByName<rb::CheckBox>("CheckBoxViewGraph")->SetValue(false);
         TempFolder::Put(folder / "out.pdf", "%PDF-1.4");
         w.outputFile = rb::GetFolderItem("out.pdf");
         AddElement(w, "LINE 1 2 3 4 1 0 0 0");
         AddElement(w, "CIRCLE 2 2 1 0.5 1 0 0");
         AddElement(w, "RECTANGLE 3 3 2 1 1 0 1 0");
         AddElement(w, "TEXT 1 1 12 3 0 0 0 1", "  spaces  inside  ");
         AddElement(w, "text 1 1 12 1 0 0 0 0", "a lower-case kind is a TEXT row too");
         AddElement(w, "TEXT 1 1 12 1 0 0 0 0", "");
         AddElement(w, "TEXT 1 1 12 1 0 0 0 0", kLongestText);
         AddElement(w, kLongestText);
         AddElement(w, "REPEATLINE 0 0 1 0 0 0.1 0 0.1 10 0.2 0 0 0");
         AddElement(w, " ");
         AddElement(w, "");
         AddElement(w, "UNKNOWN 1 2");
     },
     ""},
    {"custom paper: its size and the scales are not stored",
     [](DrawingWindow &w, TempFolder &) {
         SetPopup(w, "PopupPaperSize", 12);
         SetFieldText(w, "EditCustomWidth", "5");
         SetFieldText(w, "EditCustomHeight", "6");
         SetFieldText(w, "EditXScale", "250");
         SetFieldText(w, "EditYScale", "50");
     },
     "8.5 x 11, scales 100 x 100"},
};

TEST_F(WindowTest, SavedDocumentsComeBackWholeInASecondWindow) {
    for (const RoundTripCase &c : kRoundTrips) {
        SCOPED_TRACE(c.name);
        auto first = NewDrawingWindow();
        c.setUp(*first, folder);
        ASSERT_TRUE(first->SaveSettings(rb::GetFolderItem("doc.setf")));

        auto second = NewDrawingWindow();
        ASSERT_TRUE(second->LoadSettings(rb::GetFolderItem("doc.setf")));
        second->PopulateListBox();
        EXPECT_EQ(SavedState(*second), SavedState(*first));
        if (*c.unsaved) {
            EXPECT_EQ(UnsavedState(*second), c.unsaved);
        }
        EXPECT_FALSE(second->dirty) << "loading marks the document modified";
        EXPECT_FALSE(second->thisFile) << "loading sets the settings file";
        EXPECT_EQ(FieldText(*second, "StaticFileName"),
                  second->outputFile ? second->outputFile->Name() : "");
        // Rows of a known kind get their texts rebuilt.
        rb::Ref<rb::Listbox> list = second->ControlByName<rb::Listbox>("ListBox1");
        for (std::int32_t i = 0; i < list->ListCount(); ++i)
            if (rb::NthField(list->Cell(i, 0), " ", 1) == "LINE") {
                EXPECT_EQ(list->Cell(i, 2), "Line 1 , 2 - 3 , 4");
            }
        first->Window::Close();
        second->Window::Close();
    }
}

// The alias finds the output file where the alias plug-in can; a file that is gone gives none.
struct AliasCase {
    const char *name;
    std::function<void(TempFolder &)> afterSave;
    bool written;      // the output file exists when the document is saved
    const char *found; // the path found, relative to the test folder; "" for none
};

const AliasCase kAliasCases[] = {
    {"left where it was", [](TempFolder &) {}, true, "pdfs/out.pdf"},
    {"renamed", [](TempFolder &f) { fs::rename(f / "pdfs/out.pdf", f / "pdfs/renamed.pdf"); }, true,
     "pdfs/renamed.pdf"},
    {"moved to a sibling folder",
     [](TempFolder &f) {
         fs::create_directory(f / "other");
         fs::rename(f / "pdfs/out.pdf", f / "other/out.pdf");
     },
     true, "other/out.pdf"},
    {"deleted", [](TempFolder &f) { fs::remove(f / "pdfs/out.pdf"); }, true, ""},
    {"not yet written", [](TempFolder &) {}, false, ""},
};

TEST_F(WindowTest, OutputFileIsFoundAgainThroughItsAlias) {
    for (const AliasCase &c : kAliasCases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder / "pdfs");
        fs::remove_all(folder / "other");
        fs::create_directory(folder / "pdfs");
        if (c.written)
            TempFolder::Put(folder / "pdfs/out.pdf", "%PDF-1.4");
        auto first = NewDrawingWindow();
        first->outputFile = rb::GetFolderItem("pdfs/out.pdf");
        ASSERT_TRUE(first->SaveSettings(rb::GetFolderItem("doc.setf")));
        c.afterSave(folder);

        auto second = NewDrawingWindow();
        ASSERT_TRUE(second->LoadSettings(rb::GetFolderItem("doc.setf")));
        const std::string got = second->outputFile ? second->outputFile->NativePath() : "";
        const std::string expected = *c.found ? folder / c.found : "";
        EXPECT_EQ(got, expected);
        EXPECT_EQ(FieldText(*second, "StaticFileName"),
                  *c.found ? fs::path(c.found).filename().string() : "");
        first->Window::Close();
        second->Window::Close();
    }
}

// A record may name any file, but the next Generate replaces the output file unasked: only a
// PDF file is taken, anything else leaves the window without one, so that Generate asks.
struct OutputKindCase {
    const char *name;
    std::string target; // relative to the test folder, or absolute
    std::function<void(TempFolder &)> make;
    bool taken;
};

const OutputKindCase kOutputKinds[] = {
    {"a PDF file", "out.pdf", [](TempFolder &f) { TempFolder::Put(f / "out.pdf", "%PDF-1.4\r"); },
     true},
    {"a text file", "notes.txt",
     [](TempFolder &f) { TempFolder::Put(f / "notes.txt", "my notes"); }, false},
    {"a text file named .pdf", "notes.pdf",
     [](TempFolder &f) { TempFolder::Put(f / "notes.pdf", "%PDF but not the header"); }, false},
    {"an empty file", "empty.pdf", [](TempFolder &f) { TempFolder::Put(f / "empty.pdf", ""); },
     false},
    {"a folder", "pdfs", [](TempFolder &f) { fs::create_directory(f / "pdfs"); }, false},
    {"a device", "/dev/null", [](TempFolder &) {}, false},
};

TEST_F(WindowTest, OnlyAPDFFileIsTakenAsTheOutputFile) {
    for (const OutputKindCase &c : kOutputKinds) {
        SCOPED_TRACE(c.name);
        td::Reset();
        c.make(folder);
        rb::Ref<rb::FolderItem> target = rb::GetFolderItem(c.target);
        const bool plainFile = fs::is_regular_file(target->NativePath());
        const std::string before = plainFile ? TempFolder::Get(target->NativePath()) : "";
        {
            // The record as the alias plug-in makes it for that file.
            auto alias = rb::New<MacAliasWQX>();
            ASSERT_EQ(alias->Create(nullptr, target.get()), 0);
            const std::string record = alias->GetRecord();
            TempFolder::Put(folder / "doc.setf",
                            kDefaultSetUpBytes + I(static_cast<std::int32_t>(record.size())) +
                                record + P("DATA_FOLLOWS") + I(0));
        }
        auto w = NewDrawingWindow();
        ASSERT_TRUE(w->LoadSettings(rb::GetFolderItem("doc.setf")));
        EXPECT_EQ(w->outputFile ? w->outputFile->NativePath() : "none",
                  c.taken ? target->NativePath() : "none");
        EXPECT_EQ(FieldText(*w, "StaticFileName"), c.taken ? target->Name() : "");
        // Nothing outside the test folder is ever generated over.
        if (!plainFile || !target->NativePath().starts_with(folder.Path()))
            continue;
        td::Script({td::Cancel(td::DialogKind::Save)});
        td::Click(*w, "PushButtonGenerate");
        EXPECT_EQ(td::PendingAnswers(), c.taken ? 1 : 0) << "whether Generate asked for a file";
        EXPECT_EQ(TempFolder::Get(target->NativePath()) != before, c.taken)
            << "whether Generate wrote the file";
        w->Window::Close();
    }
}

// Loading into a window that shows another document replaces every stored item: the unit's
// Change converts the margins, which the stored texts then replace.
TEST_F(WindowTest, LoadingReplacesAWindowsSetUpAndRows) {
    auto first = NewDrawingWindow();
    SetPopup(*first, "PopupUnits", 1);
    SetFieldText(*first, "EditTopMargin", "2");
    ASSERT_TRUE(first->SaveSettings(rb::GetFolderItem("cm.setf")));

    auto second = NewDrawingWindow();
    SetPopup(*second, "PopupPaperSize", 3);
    AddElement(*second, "LINE 9 9 9 9 1 0 0 0");
    second->dirty = true;
    ASSERT_TRUE(second->LoadSettings(rb::GetFolderItem("cm.setf")));
    EXPECT_EQ(SavedState(*second), SavedState(*first));
    EXPECT_EQ(FieldText(*second, "StaticText16"), "cm");
    EXPECT_TRUE(second->dirty) << "loading clears the modified flag";
    second->dirty = false;
}

} // namespace
