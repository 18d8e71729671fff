// Saving: Save and Save As through the window's menu bar, the saving on close, and saves that
// fail, which keep the old file and say so.
#include "settings-test.h"

#include "rb/application.h"
#include "rb/testdriver.h"

#include "child-process.h"
#include "failing-calls.h"

#include <filesystem>
#include <functional>
#include <optional>

namespace {

namespace td = rb::testdriver;

const std::string kOldBytes = "the old file, which nothing may lose";

// A window with a document that differs from a new one's, dirty as asked, its settings file
// old.setf (holding kOldBytes) when asked.
rb::Ref<DrawingWindow> DocumentWindow(const TempFolder &folder, bool withFile, bool dirty) {
    auto w = rb::NewWindow<DrawingWindow>();
    SetPopup(*w, "PopupPaperSize", 7);
    AddElement(*w, "TEXT 1 1 12 1 0 0 0 0", "saved text");
    w->dirty = dirty;
    if (withFile) {
        TempFolder::Put(folder / "old.setf", kOldBytes);
        w->thisFile = rb::GetFolderItem("old.setf");
    }
    return w;
}

// What a file holds, as the rows and set-up loaded from it; "" for no file, the raw bytes for
// the old file.
std::string Document(const std::string &path) {
    const std::string bytes = TempFolder::Get(path);
    if (bytes.empty() || bytes == kOldBytes)
        return bytes;
    auto w = rb::NewWindow<DrawingWindow>();
    if (!w->LoadSettings(rb::FolderItem::FromPath(path)))
        return "not a settings file";
    const std::string state = SavedState(*w);
    w->Window::Close();
    return state;
}

// A modified window whose settings file is `file` in the test folder.
rb::Ref<DrawingWindow> WindowSavingTo(const TempFolder &folder, const char *file) {
    auto w = DocumentWindow(folder, false, true);
    w->thisFile = rb::GetFolderItem(file);
    return w;
}

// Scripts the save dialog's answer, if any, with its file in the test folder.
void ScriptSaveDialog(const std::optional<td::Answer> &answer, const TempFolder &folder) {
    if (!answer)
        return;
    td::Answer inFolder = *answer;
    if (!inFolder.cancel)
        inFolder.path = folder / inFolder.path;
    td::Script({inFolder});
}

std::string PathOf(const rb::Ref<rb::FolderItem> &f) { return f ? f->NativePath() : "none"; }

struct CommandCase {
    const char *name;
    const char *item; // the menu item chosen
    bool withFile;
    std::optional<td::Answer> answer; // the save dialog's, none when no dialog may open
    const char *defaultName;          // what the dialog offers
    const char *thisFile;             // afterwards, in the test folder; "" for none
    const char *written;              // the file the document is in afterwards; "" for none
};

const CommandCase kCommands[] = {
    {"Save without a file asks", "FileSave", false, td::SaveDialog("doc"), "Untitled", "doc.setf",
     "doc.setf"},
    {"Save without a file, cancelled", "FileSave", false, td::Cancel(td::DialogKind::Save),
     "Untitled", "", ""},
    {"Save with a file writes it at once", "FileSave", true, std::nullopt, "", "old.setf",
     "old.setf"},
    {"Save As without a file asks", "FileSaveAs", false, td::SaveDialog("doc.setf"), "Untitled",
     "doc.setf", "doc.setf"},
    {"Save As with a file offers its name and switches", "FileSaveAs", true, td::SaveDialog("new"),
     "old.setf", "new.setf", "new.setf"},
    {"Save As with a file, cancelled", "FileSaveAs", true, td::Cancel(td::DialogKind::Save),
     "old.setf", "old.setf", ""},
};

TEST_F(WindowTest, SaveAndSaveAsAskOnlyWhenTheyMust) {
    for (const CommandCase &c : kCommands) {
        SCOPED_TRACE(c.name);
        td::Reset();
        std::filesystem::remove(folder / "doc.setf");
        std::filesystem::remove(folder / "new.setf");
        auto w = DocumentWindow(folder, c.withFile, true);
        const std::string expected = SavedState(*w);
        ScriptSaveDialog(c.answer, folder);
        ASSERT_TRUE(td::ChooseMenuItem(*w, c.item));

        ASSERT_EQ(td::Dialogs().size(), c.answer ? 1u : 0u);
        if (c.answer) {
            EXPECT_EQ(td::Dialogs()[0].kind, td::DialogKind::Save);
            EXPECT_EQ(td::Dialogs()[0].text, "Setf");
            EXPECT_EQ(td::Dialogs()[0].detail, c.defaultName);
        }
        EXPECT_EQ(PathOf(w->thisFile), *c.thisFile ? folder / c.thisFile : "none");
        const bool saved = *c.written;
        EXPECT_EQ(w->dirty, !saved);
        if (saved) {
            EXPECT_EQ(Document(folder / c.written), expected);
        }
        // The old file is written only by a plain Save to it.
        if (c.withFile && std::string(c.written) != "old.setf") {
            EXPECT_EQ(TempFolder::Get(folder / "old.setf"), kOldBytes);
        }
        EXPECT_EQ(td::PendingAnswers(), 0);
        w->dirty = false;
    }
}

TEST_F(WindowTest, LaterSavesWriteToTheChosenFileWithoutAsking) {
    auto w = DocumentWindow(folder, false, true);
    td::Script({td::SaveDialog(folder / "doc.setf")});
    EXPECT_FALSE(w->_FileSave_Action());
    AddElement(*w, "LINE 1 2 3 4 1 0 0 0");
    EXPECT_FALSE(w->_FileSave_Action());
    EXPECT_EQ(td::Dialogs().size(), 1u);
    EXPECT_EQ(Document(folder / "doc.setf"), SavedState(*w));
    td::Script({td::Cancel(td::DialogKind::Save)});
    EXPECT_FALSE(w->_FileSaveAs_Action()) << "a cancelled Save As answers true";
    EXPECT_EQ(w->thisFile->NativePath(), folder / "doc.setf");
}

struct CloseCase {
    const char *name;
    bool dirty;
    bool withFile;
    std::optional<td::Answer> answer; // the save dialog's, none when no dialog may open
    const char *written;              // the file holding the document afterwards; "" for none
};

const CloseCase kCloses[] = {
    {"unmodified with a file", false, true, std::nullopt, ""},
    {"unmodified without a file", false, false, std::nullopt, ""},
    {"modified with a file saves without asking", true, true, std::nullopt, "old.setf"},
    {"modified without a file asks", true, false, td::SaveDialog("closed"), "closed.setf"},
    {"modified without a file, cancelled, drops the changes", true, false,
     td::Cancel(td::DialogKind::Save), ""},
};

TEST_F(WindowTest, ClosingSavesOnlyAModifiedDocument) {
    for (const CloseCase &c : kCloses) {
        SCOPED_TRACE(c.name);
        td::Reset();
        std::filesystem::remove(folder / "old.setf");
        std::filesystem::remove(folder / "closed.setf");
        auto w = DocumentWindow(folder, c.withFile, c.dirty);
        const std::string expected = SavedState(*w);
        const std::string listing = folder.Listing();
        ScriptSaveDialog(c.answer, folder);
        td::ClickCloseBox(*w);
        EXPECT_FALSE(w->IsOpen());
        EXPECT_EQ(td::Dialogs().size(), c.answer ? 1u : 0u);
        if (c.answer) {
            EXPECT_EQ(td::Dialogs()[0].detail, "Untitled");
        }
        if (*c.written) {
            EXPECT_EQ(Document(folder / c.written), expected);
        } else {
            EXPECT_EQ(folder.Listing(), listing) << "a file was written";
            if (c.withFile) {
                EXPECT_EQ(TempFolder::Get(folder / "old.setf"), kOldBytes);
            }
        }
        EXPECT_EQ(PathOf(w->thisFile), c.withFile ? folder / "old.setf" : "none")
            << "closing changes the settings file";
    }
}

// A save that fails as the window closes keeps the window open with its document, so that the
// user can save it elsewhere; a cancelled dialog still drops the changes.
struct FailedCloseCase {
    const char *name;
    std::function<void(DrawingWindow &)> close;
    bool withFile;                    // else the save dialog chooses the same missing folder
};

const FailedCloseCase kFailedCloses[] = {
    {"close box, with a file", [](DrawingWindow &w) { td::ClickCloseBox(w); }, true},
    {"close box, file chosen in the dialog", [](DrawingWindow &w) { td::ClickCloseBox(w); },
     false},
    {"Close from code", [](DrawingWindow &w) { w.Window::Close(); }, true},
    {"quit", [](DrawingWindow &) { rb::Quit(); }, true},
};

// The settings file of a modified window, or the one its save dialog chooses on close, lies
// in a folder that does not exist, so it cannot be written.
void MakeUnsavable(DrawingWindow &w, const FailedCloseCase &c, const TempFolder &folder) {
    if (c.withFile)
        w.thisFile = rb::GetFolderItem("no such folder/doc.setf");
    else
        td::Script({td::SaveDialog(folder / "no such folder/doc")});
}

TEST_F(WindowTest, AFailedSaveOnCloseKeepsTheWindowOpen) {
    for (const FailedCloseCase &c : kFailedCloses) {
        SCOPED_TRACE(c.name);
        td::Reset();
        auto w = DocumentWindow(folder, false, true);
        MakeUnsavable(*w, c, folder);
        const std::string expected = SavedState(*w);
        td::Script({td::MessageButton("Keep Open")});
        c.close(*w);
        EXPECT_EQ(td::PendingAnswers(), 0);
        ASSERT_FALSE(td::Dialogs().empty());
        EXPECT_EQ(td::Dialogs().back().kind, td::DialogKind::Message);
        EXPECT_EQ(td::Dialogs().back().text.rfind("Unable to save the settings file doc.setf", 0),
                  0u)
            << td::Dialogs().back().text;
        EXPECT_EQ(td::Dialogs().back().buttons,
                  (std::vector<std::string>{"Keep Open", "Don't Save"}));
        EXPECT_TRUE(w->IsOpen()) << "the document was thrown away";
        EXPECT_TRUE(w->Visible());
        EXPECT_EQ(rb::WindowCount(), 1);
        EXPECT_TRUE(w->dirty);
        EXPECT_EQ(SavedState(*w), expected);

        // Once a save can succeed, the close goes on.
        w->thisFile = rb::GetFolderItem("saved.setf");
        c.close(*w);
        EXPECT_FALSE(w->IsOpen());
        EXPECT_EQ(Document(folder / "saved.setf"), expected);
    }
}

// A document that can never be saved must not make a window that can never be closed: the
// failed save's message also offers to close without saving. Keeping the window open stays the
// answer to Return and Escape (a message answered as cancelled).
TEST_F(WindowTest, AFailedSaveOnCloseOffersToCloseWithoutSaving) {
    for (const FailedCloseCase &c : kFailedCloses) {
        SCOPED_TRACE(c.name);
        td::Reset();
        auto w = DocumentWindow(folder, false, true);
        MakeUnsavable(*w, c, folder);
        const std::string listing = folder.Listing();
        td::Script({td::Cancel(td::DialogKind::Message)});
        c.close(*w);
        EXPECT_TRUE(w->IsOpen()) << "Escape closed the window";

        MakeUnsavable(*w, c, folder);
        td::Script({td::MessageButton("Don't Save")});
        c.close(*w);
        EXPECT_EQ(td::PendingAnswers(), 0);
        EXPECT_FALSE(w->IsOpen()) << "Don't Save kept the window";
        EXPECT_EQ(rb::WindowCount(), 0);
        EXPECT_EQ(folder.Listing(), listing) << "Don't Save wrote a file";
    }
}

// Quitting closes the windows front to back and stops at one that stays open: the windows
// behind it stay open too.
TEST_F(WindowTest, QuittingStopsAtAWindowWhoseSaveFails) {
    auto behind = WindowSavingTo(folder, "behind.setf");
    auto failing = WindowSavingTo(folder, "no such folder/doc.setf");
    auto front = WindowSavingTo(folder, "front.setf");
    td::Script({td::MessageButton("Keep Open")});
    rb::Quit();
    EXPECT_FALSE(front->IsOpen());
    EXPECT_TRUE(failing->IsOpen());
    EXPECT_TRUE(behind->IsOpen());
    EXPECT_EQ(Document(folder / "behind.setf"), "") << "quitting went on past the failed save";

    // Quitting again after a Save As elsewhere closes the rest.
    failing->thisFile = rb::GetFolderItem("elsewhere.setf");
    rb::Quit();
    EXPECT_FALSE(failing->IsOpen());
    EXPECT_FALSE(behind->IsOpen());
    EXPECT_EQ(Document(folder / "elsewhere.setf"), SavedState(*failing));
    EXPECT_EQ(Document(folder / "behind.setf"), SavedState(*behind));
}

// Quitting asks the same of each window whose save fails; "Don't Save" lets the quit go on.
TEST_F(WindowTest, QuittingGoesOnPastAWindowClosedWithoutSaving) {
    auto behind = WindowSavingTo(folder, "behind.setf");
    auto failing = WindowSavingTo(folder, "no such folder/doc.setf");
    auto alsoFailing = WindowSavingTo(folder, "no such folder/other.setf");
    td::Script({td::MessageButton("Don't Save"), td::MessageButton("Don't Save")});
    rb::Quit();
    EXPECT_EQ(td::PendingAnswers(), 0);
    ASSERT_EQ(td::Dialogs().size(), 2u);
    EXPECT_EQ(td::Dialogs()[0].text.rfind("Unable to save the settings file other.setf", 0), 0u);
    EXPECT_EQ(td::Dialogs()[1].text.rfind("Unable to save the settings file doc.setf", 0), 0u);
    EXPECT_EQ(rb::WindowCount(), 0);
    EXPECT_EQ(Document(folder / "behind.setf"), SavedState(*behind));
}

// Save As starts where the document is, offering its name; a document without a file starts
// in the default folder.
TEST_F(WindowTest, SaveAsStartsInTheFolderOfTheDocument) {
    std::filesystem::create_directory(folder / "docs");
    auto w = DocumentWindow(folder, false, true);
    w->thisFile = rb::GetFolderItem("docs/plan.setf");
    td::Script({td::Cancel(td::DialogKind::Save), td::Cancel(td::DialogKind::Save)});
    ASSERT_TRUE(td::ChooseMenuItem(*w, "FileSaveAs"));
    w->thisFile = nullptr;
    ASSERT_TRUE(td::ChooseMenuItem(*w, "FileSaveAs"));
    ASSERT_EQ(td::Dialogs().size(), 2u);
    EXPECT_EQ(td::Dialogs()[0].folder, folder / "docs");
    EXPECT_EQ(td::Dialogs()[0].detail, "plan.setf");
    EXPECT_EQ(td::Dialogs()[1].folder, folder.Path());
    EXPECT_EQ(td::Dialogs()[1].detail, "Untitled");
    w->dirty = false;
}

struct FailedSaveCase {
    const char *name;
    std::function<void(DrawingWindow &, const TempFolder &)> spoil;
    bool diskFull;   // files cannot grow past a settings file's first bytes
    const char *why; // the message's end
};

const FailedSaveCase kFailedSaves[] = {
    {"a margin too long to store",
     [](DrawingWindow &w, const TempFolder &) {
         SetFieldText(w, "EditBottomMargin", std::string(256, '1'));
     },
     false, ": the bottom margin is longer than the 255 bytes that a settings file holds for it."},
    {"a record too long to store",
     [](DrawingWindow &w, const TempFolder &) { AddElement(w, "LINE " + std::string(251, '1')); },
     false, ": element 2 is longer than the 255 bytes that a settings file holds for it."},
    {"a TEXT string too long to store",
     [](DrawingWindow &w, const TempFolder &) {
         AddElement(w, "text 1 1 12 1 0 0 0 0", std::string(256, 't'));
     },
     false,
     ": the text of element 2 is longer than the 255 bytes that a settings file holds for it."},
    {"more elements than opening takes",
     [](DrawingWindow &w, const TempFolder &) {
         rb::Ref<rb::Listbox> list = w.ControlByName<rb::Listbox>("ListBox1");
         for (std::int32_t i = 0; i < DrawingWindow::kMostElementRows; ++i)
             list->AddRow("LINE 1 2 3 4 1 0 0 0");
     },
     false,
     ": the drawing holds 100001 elements, more than the 100000 that a settings file holds."},
    {"the disk refuses the bytes", [](DrawingWindow &, const TempFolder &) {}, true,
     ": the file would be too large."},
    {"the file is a folder",
     [](DrawingWindow &w, const TempFolder &folder) {
         std::filesystem::create_directory(folder / "old.setf.d");
         w.thisFile = rb::GetFolderItem("old.setf.d");
     },
     false, ": it is a folder."},
    {"the file is write-protected",
     [](DrawingWindow &, const TempFolder &folder) {
         std::filesystem::permissions(folder / "old.setf", std::filesystem::perms(0444));
     },
     false, ": permission was denied."},
};

TEST_F(WindowTest, AFailedSaveKeepsTheOldFileAndSaysSo) {
    for (const FailedSaveCase &c : kFailedSaves) {
        SCOPED_TRACE(c.name);
        td::Reset();
        auto w = DocumentWindow(folder, true, true);
        c.spoil(*w, folder);
        const std::string document = SavedState(*w);
        const std::string listing = folder.Listing();
        td::Script({td::MessageButton("OK")});
        {
            std::optional<FileSizeLimit> limit;
            if (c.diskFull)
                limit.emplace(20);
            ASSERT_TRUE(td::ChooseMenuItem(*w, "FileSave"));
        }
        ASSERT_EQ(td::Dialogs().size(), 1u);
        EXPECT_EQ(td::Dialogs()[0].kind, td::DialogKind::Message);
        EXPECT_EQ(td::Dialogs()[0].text,
                  "Unable to save the settings file " + w->thisFile->Name() + c.why);
        EXPECT_EQ(TempFolder::Get(folder / "old.setf"), kOldBytes);
        EXPECT_EQ(folder.Listing(), listing) << "a temporary file is left behind";
        EXPECT_TRUE(w->dirty) << "a failed save counts as saved";
        EXPECT_TRUE(SavedState(*w) == document) << "a failed save changed the document";
        w->dirty = false;
        std::filesystem::permissions(folder / "old.setf", std::filesystem::perms(0644));
    }
}

// A settings file with a second name is written in place. A disk that fails once its first
// bytes are written (here: the file cannot be cut to its new length) leaves it damaged: the
// message says so, and the document stays modified. Run in a child, where the failing disk
// stays.
TEST_F(WindowTest, AFailurePartWayThroughWritingInPlaceSaysTheFileIsDamaged) {
    auto w = DocumentWindow(folder, true, true);
    TempFolder::Put(folder / "old.setf", std::string(100000, 'o'));
    ASSERT_EQ(link((folder / "old.setf").c_str(), (folder / "second name").c_str()), 0);
    const ChildResult child = RunInChild([&] {
        if (!FailCalls({{SYS_ftruncate, 0, EIO}}))
            return 125;
        td::Script({td::MessageButton("OK")});
        td::ChooseMenuItem(*w, "FileSave");
        if (td::Dialogs().empty() ||
            td::Dialogs().back().text !=
                "Unable to save the settings file old.setf: the disk reported an error; it was "
                "being written in place and is now damaged.")
            return 1;
        return w->dirty ? 0 : 2;
    });
    if (child.exited && child.status == 125)
        GTEST_SKIP() << kNoCallFilter;
    ASSERT_TRUE(child.exited) << child.Describe();
    EXPECT_EQ(child.status, 0) << "1: another message, 2: counted as saved";
    EXPECT_NE(TempFolder::Get(folder / "old.setf"), std::string(100000, 'o'));
    w->dirty = false;
}

// The longest texts that fit are saved.
TEST_F(WindowTest, TextsOfExactly255BytesAreSaved) {
    auto w = DocumentWindow(folder, true, true);
    SetFieldText(*w, "EditTopMargin", std::string(255, '1'));
    AddElement(*w, "TEXT " + std::string(250, '2'), std::string(255, 't'));
    EXPECT_TRUE(w->SaveSettings(w->thisFile));
    EXPECT_EQ(Document(folder / "old.setf"), SavedState(*w));
}

} // namespace
