// The Generate button's road, pressed as the user presses it: the output file that a new window
// starts with, Shift+Generate and its save dialog, writing the same file again, "Auto View
// Graph", and a file that cannot be written.
#include "window-test.h"

#include "rb/testdriver.h"

#include "child-process.h"

#include <filesystem>
#include <sys/stat.h>

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

// Where the working folder is gone, a new window's "untitled.pdf" is a name the system cannot
// resolve: Generate says why the file could not be written, and writes nothing elsewhere, such
// as /untitled.pdf, which the name never meant. Run in a child without a working folder; a
// /untitled.pdf that was there before is someone else's and must stay as it was.
TEST_F(WindowTest, WithoutAWorkingFolderTheDefaultOutputFileFailsWithItsReason) {
    const std::string atRoot = "/untitled.pdf";
    struct stat before {};
    const bool existed = lstat(atRoot.c_str(), &before) == 0;
    const std::string report = folder / "report";
    const ChildResult child = RunWithoutWorkingFolder(folder.Path(), [&] {
        auto w = NewDrawingWindow();
        td::Script({td::MessageButton("OK")});
        Generate(*w);
        std::string seen = w->outputFile->NativePath() + "\n";
        for (const td::DialogRecord &dialog : td::Dialogs())
            seen += dialog.text + "\n";
        TempFolder::Put(report, seen);
        return 0;
    });
    struct stat after {};
    const bool exists = lstat(atRoot.c_str(), &after) == 0;
    if (exists && !existed)
        std::filesystem::remove(atRoot);
    ASSERT_TRUE(child.exited && child.status == 0) << child.Describe();
    EXPECT_EQ(TempFolder::Get(report),
              "untitled.pdf\n"
              "Unable to open the file untitled.pdf: the file or its folder does not exist.\n");
    EXPECT_EQ(exists, existed) << atRoot << " was written";
    if (exists && existed) {
        EXPECT_TRUE(after.st_ino == before.st_ino && after.st_size == before.st_size &&
                    after.st_mtim.tv_sec == before.st_mtim.tv_sec &&
                    after.st_mtim.tv_nsec == before.st_mtim.tv_nsec)
            << atRoot << " was written";
    }
}

// What a generation finds at its output file, links followed: a PDF file, which it may replace
// unasked; nothing, which only "no such file" is, where it makes one; or something else, a file
// of another kind or one that cannot be opened at all.
TEST_F(WindowTest, IsPDFFileTellsAPDFFileNothingAndSomethingElseApart) {
    using Check = DrawingWindow::FileCheck;
    const auto text = [](Check check) {
        return check == Check::PDFFile        ? "a PDF file"
               : check == Check::NothingThere ? "nothing there"
                                              : "something else";
    };
    TempFolder::Put(folder / "page.pdf", "%PDF-1.4\r");
    std::filesystem::create_symlink("page.pdf", folder / "link to a page.pdf");
    std::filesystem::create_symlink("gone.pdf", folder / "link to nothing.pdf");
    TempFolder::Put(folder / "notes.pdf", "notes");
    TempFolder::Put(folder / "empty.pdf", "");
    std::filesystem::create_directory(folder / "folder.pdf");
    ASSERT_EQ(mkfifo((folder / "pipe.pdf").c_str(), 0666), 0);
    std::filesystem::create_symlink("round.pdf", folder / "round.pdf");
    const struct {
        const char *name;
        Check expected;
    } cases[] = {
        {"page.pdf", Check::PDFFile},         {"link to a page.pdf", Check::PDFFile},
        {"missing.pdf", Check::NothingThere}, {"link to nothing.pdf", Check::NothingThere},
        {"notes.pdf", Check::SomethingElse},  {"empty.pdf", Check::SomethingElse},
        {"folder.pdf", Check::SomethingElse}, {"pipe.pdf", Check::SomethingElse},
        {"round.pdf", Check::SomethingElse},
    };
    for (const auto &c : cases) {
        HangGuard guard;
        EXPECT_STREQ(text(DrawingWindow::IsPDFFile(*rb::GetFolderItem(c.name))), text(c.expected))
            << c.name;
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

// A custom size beyond 200 inches (508 cm) a side makes a page that readers refuse or cannot
// allocate. Generate refuses it with a message and changes nothing: the file that the last
// generation wrote stays as it was, and nothing is opened. The size is judged in whole points,
// after the orientation; a side below 10 points is raised to 10, which every reader draws.
TEST_F(WindowTest, PaperLargerThanReadersDrawIsRefusedAndTheOldFileKept) {
    struct Case {
        const char *name;
        bool cm;
        bool landscape;
        const char *width;
        const char *height;
        const char *mediaBox; // empty: refused
    };
    const Case cases[] = {
        {"200 inches square", false, false, "200", "200", "[0 0 14400 14400]"},
        {"200.006 inches rounds to 14400 points", false, false, "200.006", "1",
         "[0 0 14400 72]"},
        {"508 cm rounds to 14400 points", true, false, "508", "5", "[0 0 14400 142]"},
        {"200.007 inches rounds to 14401 points", false, false, "200.007", "1", ""},
        {"508.02 cm", true, false, "1", "508.02", ""},
        {"too high, turned to landscape", false, true, "5", "200.01", ""},
        {"14400 inches, which Ghostscript refuses", false, false, "14400", "5", ""},
        {"huge", false, false, "99999999999", "1e999", ""},
        {"tiny sides are raised to 10 points", false, false, "0.01", "-5", "[0 0 10 10]"},
        {"tiny, landscape", true, true, "0", "0.1", "[0 0 10 10]"},
    };
    const std::string file = folder / "untitled.pdf";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto w = NewDrawingWindow();
        AddElement(*w, "LINE 1 1 3 1 1 0 0 0");
        const std::size_t launched = td::LaunchedFiles().size() + 1;
        Generate(*w); // the old file: Letter
        const std::string old = TempFolder::Get(file);
        ASSERT_EQ(MediaBox(file), "[0 0 612 792]");
        td::ChoosePopupItem(*w, "PopupUnits", c.cm ? 1 : 0);
        td::ChoosePopupItem(*w, "PopupPaperSize", 12);
        td::ChoosePopupItem(*w, "PopupOrientation", c.landscape ? 1 : 0);
        SetFieldText(*w, "EditCustomWidth", c.width);
        SetFieldText(*w, "EditCustomHeight", c.height);
        const std::size_t shown = td::Dialogs().size();
        if (*c.mediaBox == '\0') {
            td::Script({td::MessageButton("OK")});
            Generate(*w);
            ASSERT_EQ(td::Dialogs().size(), shown + 1) << "no message";
            EXPECT_EQ(td::Dialogs().back().text, DrawingWindow::kPaperTooLargeMessage);
            EXPECT_TRUE(TempFolder::Get(file) == old) << "the old file was replaced";
            EXPECT_EQ(folder.Listing(), "untitled.pdf");
            EXPECT_EQ(td::LaunchedFiles().size(), launched) << "the refused page was opened";
            // Shift held: the output file is not forgotten, and no file is asked for.
            td::Script({td::MessageButton("OK")});
            Generate(*w, true);
            EXPECT_EQ(td::Dialogs().size(), shown + 2);
            EXPECT_EQ(td::Dialogs().back().kind, td::DialogKind::Message);
            EXPECT_TRUE(w->outputFile);
            EXPECT_EQ(FieldText(*w, "StaticFileName"), "untitled.pdf");
        } else {
            Generate(*w);
            EXPECT_EQ(td::Dialogs().size(), shown) << td::Dialogs().back().text;
            EXPECT_EQ(MediaBox(file), c.mediaBox);
            EXPECT_EQ(PdfToolProblems(file), "");
        }
        w->Window::Close();
    }
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
