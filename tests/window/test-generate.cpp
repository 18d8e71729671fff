// The Generate button's road, pressed as the user presses it: the output file that a new window
// starts with, Shift+Generate and its save dialog, writing the same file again, "Auto View
// Graph", and a file that cannot be written.
#include "window-test.h"

#include "rb/testdriver.h"

#include <filesystem>

namespace {

namespace td = rb::testdriver;

void Generate(DrawingWindow &w, bool shift = false) {
    td::SetShiftKey(shift);
    td::Click(w, "PushButtonGenerate");
    td::SetShiftKey(false);
}

TEST_F(WindowTest, FirstGenerationWritesUntitledWithoutAskingAndOpensIt) {
    auto w = NewDrawingWindow();
    Generate(*w);
    EXPECT_TRUE(td::Dialogs().empty()) << "a dialog was shown";
    EXPECT_EQ(folder.Listing(), "untitled.pdf");
    EXPECT_EQ(FieldText(*w, "StaticFileName"), "untitled.pdf");
    EXPECT_EQ(td::LaunchedFiles(), std::vector<std::string>{folder / "untitled.pdf"});
    EXPECT_EQ(PdfToolProblems(folder / "untitled.pdf"), "");
}

// A new window's "untitled.pdf" is written without a question only where nothing is there or
// it is a PDF file already, links followed; whatever else is there makes Generate ask, and
// cancelling leaves it as it was.
TEST_F(WindowTest, TheDefaultOutputFileIsWrittenUnaskedOnlyWhereItIsAPDFOrNothing) {
    const char *const kNotes = "notes, which no PDF may replace";
    const struct {
        const char *name;
        void (*make)(const TempFolder &);
        bool asks;
    } cases[] = {
        {"nothing there", [](const TempFolder &) {}, false},
        {"an older page", [](const TempFolder &f) { TempFolder::Put(f / "untitled.pdf", "%PDF-1.4\r"); },
         false},
        {"a link to a page",
         [](const TempFolder &f) {
             TempFolder::Put(f / "page.pdf", "%PDF-1.4\r");
             std::filesystem::create_symlink("page.pdf", f / "untitled.pdf");
         },
         false},
        {"a text file", [](const TempFolder &f) { TempFolder::Put(f / "untitled.pdf", "notes"); },
         true},
        {"a link to a text file",
         [](const TempFolder &f) {
             TempFolder::Put(f / "notes.txt", "notes");
             std::filesystem::create_symlink("notes.txt", f / "untitled.pdf");
         },
         true},
        {"a folder",
         [](const TempFolder &f) { std::filesystem::create_directory(f / "untitled.pdf"); }, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        td::Reset();
        for (const char *name : {"untitled.pdf", "notes.txt", "page.pdf"})
            std::filesystem::remove_all(folder / name);
        c.make(folder);
        const std::string listing = folder.Listing();
        const std::string notes = TempFolder::Get(folder / "notes.txt");
        auto w = NewDrawingWindow();
        if (c.asks)
            td::Script({td::Cancel(td::DialogKind::Save)});
        Generate(*w);
        EXPECT_EQ(td::PendingAnswers(), 0);
        EXPECT_EQ(td::Dialogs().size(), c.asks ? 1u : 0u);
        if (c.asks) {
            EXPECT_EQ(folder.Listing(), listing);
            EXPECT_EQ(TempFolder::Get(folder / "notes.txt"), notes) << kNotes;
            EXPECT_TRUE(td::LaunchedFiles().empty());
            EXPECT_EQ(FieldText(*w, "StaticFileName"), "");
        } else {
            EXPECT_EQ(PdfToolProblems(folder / "untitled.pdf"), "");
            EXPECT_EQ(td::LaunchedFiles(), std::vector<std::string>{folder / "untitled.pdf"});
        }
    }
}

TEST_F(WindowTest, ShiftGenerateAsksAndCancellingWritesAndOpensNothing) {
    auto w = NewDrawingWindow();
    td::Script({td::Cancel(td::DialogKind::Save)});
    Generate(*w, true);
    ASSERT_EQ(td::Dialogs().size(), 1u);
    EXPECT_EQ(td::Dialogs()[0].kind, td::DialogKind::Save);
    EXPECT_EQ(td::Dialogs()[0].text, "") << "the file type";
    EXPECT_EQ(td::Dialogs()[0].detail, "Untitled.pdf") << "the default name";
    EXPECT_EQ(FieldText(*w, "StaticFileName"), "");
    EXPECT_EQ(folder.Listing(), "");
    EXPECT_TRUE(td::LaunchedFiles().empty());
    EXPECT_FALSE(w->outputFile);
    EXPECT_FALSE(w->pdf->theFile);

    // With no file chosen, the next generation asks again, without Shift.
    td::Script({td::SaveDialog(folder / "sheet.pdf")});
    Generate(*w);
    EXPECT_EQ(td::Dialogs().size(), 2u);
    EXPECT_EQ(folder.Listing(), "sheet.pdf");
    EXPECT_EQ(FieldText(*w, "StaticFileName"), "sheet.pdf");
    EXPECT_EQ(td::LaunchedFiles(), std::vector<std::string>{folder / "sheet.pdf"});
}

TEST_F(WindowTest, TwoGenerationsWriteTheSameFileTwice) {
    auto w = NewDrawingWindow();
    Generate(*w);
    EXPECT_EQ(MediaBox(folder / "untitled.pdf"), "[0 0 612 792]");
    td::ChoosePopupItem(*w, "PopupPaperSize", 7); // A4
    Generate(*w);
    EXPECT_TRUE(td::Dialogs().empty()) << "the second generation asked";
    EXPECT_EQ(folder.Listing(), "untitled.pdf");
    EXPECT_EQ(MediaBox(folder / "untitled.pdf"), "[0 0 595 842]") << "not written again";
    EXPECT_EQ(td::LaunchedFiles().size(), 2u);
}

TEST_F(WindowTest, UntickedAutoViewWritesWithoutOpening) {
    auto w = NewDrawingWindow();
    td::Click(*w, "CheckBoxViewGraph");
    ASSERT_FALSE(w->ControlByName<rb::CheckBox>("CheckBoxViewGraph")->Value());
    Generate(*w);
    EXPECT_EQ(folder.Listing(), "untitled.pdf");
    EXPECT_TRUE(td::LaunchedFiles().empty());
}

TEST_F(WindowTest, AnUnwritableFileShowsTheMessageAndTheRoadEndsNormally) {
    auto w = NewDrawingWindow();
    const std::string missingFolder = folder / "gone";
    td::Script({td::SaveDialog(missingFolder + "/sheet.pdf"), td::MessageButton("OK")});
    Generate(*w, true);
    ASSERT_EQ(td::Dialogs().size(), 2u);
    EXPECT_EQ(td::Dialogs()[1].kind, td::DialogKind::Message);
    EXPECT_EQ(td::Dialogs()[1].text,
              "Unable to open the file sheet.pdf: the file or its folder does not exist.");
    EXPECT_FALSE(std::filesystem::exists(missingFolder));
    EXPECT_EQ(FieldText(*w, "StaticFileName"), "sheet.pdf");
    // The road ends as usual: the viewer is still asked to open the chosen file.
    EXPECT_EQ(td::LaunchedFiles(), std::vector<std::string>{missingFolder + "/sheet.pdf"});

    // The window goes on working: the same file is tried again without a dialog.
    td::Script({td::MessageButton("OK")});
    Generate(*w);
    EXPECT_EQ(td::Dialogs().size(), 3u);
    EXPECT_TRUE(w->IsOpen());
}

} // namespace

// Shift+Return presses Generate as Shift+click does: the output file is forgotten and asked for.
TEST_F(WindowTest, ShiftReturnGeneratesWithShiftHeld) {
    auto w = NewDrawingWindow();
    td::Script({td::Cancel(td::DialogKind::Save)});
    td::PressKey(*w, "EditTopMargin", "Shift+Return");
    ASSERT_EQ(td::Dialogs().size(), 1u) << "Generate was not pressed with Shift";
    EXPECT_EQ(td::Dialogs()[0].kind, td::DialogKind::Save);
    EXPECT_FALSE(w->outputFile);
    EXPECT_EQ(folder.Listing(), "");

    // Return alone writes the chosen file without asking; Shift is not left held.
    td::Script({td::SaveDialog(folder / "sheet.pdf")});
    td::PressKey(*w, "EditTopMargin", "Return");
    EXPECT_EQ(folder.Listing(), "sheet.pdf");
    td::PressKey(*w, "EditTopMargin", "Return");
    EXPECT_EQ(td::Dialogs().size(), 2u) << "plain Return asked again";
}
