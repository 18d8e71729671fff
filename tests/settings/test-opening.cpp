// Opening documents: the framework's OpenDocument and the Open command each give a new window
// on the file; a file that is there but no settings file is never written over unasked.
#include "settings-test.h"

#include "App.h"

#include "rb/testdriver.h"

#include "child-process.h"
#include "failing-calls.h"

#include <filesystem>
#include <functional>
#include <sys/stat.h>

namespace {

namespace td = rb::testdriver;

// A saved document: A4, cm, a LINE and a TEXT row.
std::string SaveDocument(const std::string &name) {
    auto w = rb::NewWindow<DrawingWindow>();
    SetPopup(*w, "PopupPaperSize", 7);
    SetPopup(*w, "PopupUnits", 1);
    AddElement(*w, "LINE 1 2 3 4 1 0 0 0");
    AddElement(*w, "TEXT 1 1 12 1 0 0 0 0", "hello");
    EXPECT_TRUE(w->SaveSettings(rb::GetFolderItem(name)));
    const std::string state = SavedState(*w);
    w->Window::Close();
    return state;
}

TEST_F(WindowTest, OpeningAFileTwiceGivesTwoIndependentWindows) {
    const std::string saved = SaveDocument("doc.setf");
    App()->OpenDocument(rb::GetFolderItem("doc.setf"));
    App()->OpenDocument(rb::GetFolderItem("doc.setf"));
    std::vector<rb::Ref<DrawingWindow>> windows = DrawingWindows();
    ASSERT_EQ(windows.size(), 2u);
    for (const rb::Ref<DrawingWindow> &w : windows) {
        EXPECT_EQ(SavedState(*w), saved);
        EXPECT_EQ(w->thisFile->NativePath(), folder / "doc.setf");
        EXPECT_FALSE(w->dirty);
        // The rows' texts are rebuilt on opening.
        EXPECT_EQ(w->ControlByName<rb::Listbox>("ListBox1")->Cell(1, 2), "Text 1 , 1 hello");
    }
    AddElement(*windows[0], "CIRCLE 1 1 1 1 0 0 0");
    EXPECT_EQ(SavedState(*windows[1]), saved) << "the windows share their rows";
}

TEST_F(WindowTest, OpenDocumentWithoutAFileDoesNothing) {
    App()->OpenDocument(nullptr);
    EXPECT_EQ(rb::WindowCount(), 0);
    EXPECT_TRUE(td::Dialogs().empty());
}

// Which files keep their window's settings file, and which are kept from being written over,
// with a message that tells a damaged file from one that could not be opened at all.
struct OpenCase {
    const char *name;
    std::function<void(const TempFolder &)> make; // makes folder/"doc.setf"
    const char *message;                          // how it starts; "" for none: thisFile kept
};

const char *const kDamaged = "The file doc.setf is damaged or is not a Vellumet settings file. "
                             "Whatever could be read from it has been loaded;";

const OpenCase kOpenCases[] = {
    {"a settings file", [](const TempFolder &) { SaveDocument("doc.setf"); }, ""},
    {"a missing file: the window's to create", [](const TempFolder &) {}, ""},
    {"a file of another type",
     [](const TempFolder &f) { TempFolder::Put(f / "doc.setf", "%PDF-1.4\r1 0 obj\r[/PDF]\r"); },
     kDamaged},
    {"an empty file", [](const TempFolder &f) { TempFolder::Put(f / "doc.setf", ""); }, kDamaged},
    {"a truncated settings file",
     [](const TempFolder &f) {
         SaveDocument("doc.setf");
         const std::string bytes = TempFolder::Get(f / "doc.setf");
         TempFolder::Put(f / "doc.setf", bytes.substr(0, bytes.size() - 1));
     },
     kDamaged},
    {"a settings file with more after its rows",
     [](const TempFolder &f) {
         SaveDocument("doc.setf");
         TempFolder::Put(f / "doc.setf",
                         TempFolder::Get(f / "doc.setf") + P("CIRCLE 1 1 1 1 0 0 0"));
     },
     kDamaged},
    {"a folder", [](const TempFolder &f) { std::filesystem::create_directory(f / "doc.setf"); },
     "Unable to open the file doc.setf: it is a folder. Saving will ask for a file"},
    {"a link to nothing: the window's to create",
     [](const TempFolder &f) { std::filesystem::create_symlink("gone.setf", f / "doc.setf"); }, ""},
    // A file that exists but cannot be reached is no new document.
    {"links that go round",
     [](const TempFolder &f) { std::filesystem::create_symlink("doc.setf", f / "doc.setf"); },
     "Unable to open the file doc.setf: it leads through too many symbolic links. Saving will"},
    {"a link to a name too long",
     [](const TempFolder &f) {
         std::filesystem::create_symlink(std::string(300, 'n'), f / "doc.setf");
     },
     "Unable to open the file doc.setf: its name is too long. Saving will ask for a file"},
    {"a link through a file as if it were a folder",
     [](const TempFolder &f) {
         TempFolder::Put(f / "plain", "a file");
         std::filesystem::create_symlink("plain/doc.setf", f / "doc.setf");
     },
     "Unable to open the file doc.setf: a part of its path is not a folder. Saving will ask"},
    {"a named pipe, which nothing writes to",
     [](const TempFolder &f) { ASSERT_EQ(mkfifo((f / "doc.setf").c_str(), 0666), 0); },
     "Unable to open the file doc.setf: it is not a regular file. Saving will ask for a file"},
};

TEST_F(WindowTest, OnlyFilesReadWholeStayTheWindowsSettingsFile) {
    for (const OpenCase &c : kOpenCases) {
        SCOPED_TRACE(c.name);
        td::Reset();
        std::filesystem::remove_all(folder / "doc.setf");
        std::filesystem::remove_all(folder / "plain");
        c.make(folder);
        const bool keepsFile = !*c.message;
        std::error_code unreachable;
        const bool isFile = std::filesystem::is_regular_file(folder / "doc.setf", unreachable);
        const std::string before = isFile ? TempFolder::Get(folder / "doc.setf") : "";
        if (!keepsFile)
            td::Script({td::MessageButton("OK")});
        {
            HangGuard guard;
            App()->OpenDocument(rb::GetFolderItem("doc.setf"));
        }
        ASSERT_EQ(DrawingWindows().size(), 1u);
        rb::Ref<DrawingWindow> w = DrawingWindows()[0];
        ASSERT_EQ(td::Dialogs().size(), keepsFile ? 0u : 1u);
        if (!keepsFile) {
            EXPECT_EQ(td::Dialogs()[0].text.rfind(c.message, 0), 0u) << td::Dialogs()[0].text;
        }
        EXPECT_EQ(w->thisFile ? w->thisFile->NativePath() : "none",
                  keepsFile ? folder / "doc.setf" : "none");

        // Closing the modified window asks for a file rather than overwrite this one.
        w->dirty = true;
        if (!keepsFile) {
            td::Script({td::Cancel(td::DialogKind::Save)});
            td::ClickCloseBox(*w);
            if (isFile) {
                EXPECT_EQ(TempFolder::Get(folder / "doc.setf"), before);
            }
        }
        w->dirty = false;
    }
}

// In a child: opens `name` and tells how the window took it: 0 when it is no document, the
// window forgets it and the message is "Unable to open the file doc.setf" and `reason`;
// 1: no window, 2: the window kept the file, 3: another message.
int OpensAsNoDocument(const std::string &name, const std::string &reason) {
    td::Script({td::MessageButton("OK")});
    App()->OpenDocument(rb::GetFolderItem(name));
    if (DrawingWindows().size() != 1)
        return 1;
    if (DrawingWindows()[0]->thisFile)
        return 2;
    const std::string expected = "Unable to open the file doc.setf" + reason +
                                 ". Saving will ask for a file, so that doc.setf is not written "
                                 "over.";
    return !td::Dialogs().empty() && td::Dialogs().back().text == expected ? 0 : 3;
}
constexpr const char *kNoDocument = "1: no window, 2: the window kept the file, 3: another message";

// As a user whom the permission bits bind, a file in a folder the user may not enter is there
// all the same: it is no new document, and the message says why it could not be opened. (Run in
// a child that becomes that user.)
TEST_F(WindowTest, AFileInAFolderTheUserMayNotEnterIsNoNewDocument) {
    const std::string why = CannotRunAsNobody();
    if (!why.empty())
        GTEST_SKIP() << why;
    std::filesystem::create_directory(folder / "locked");
    TempFolder::Put(folder / "locked/doc.setf", "root's document");
    ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
    ASSERT_EQ(chmod((folder / "locked").c_str(), 0700), 0);
    const ChildResult child =
        RunAsNobody([] { return OpensAsNoDocument("locked/doc.setf", ": permission was denied"); });
    ASSERT_TRUE(child.exited && child.status != 125) << child.Describe();
    EXPECT_EQ(child.status, 0) << kNoDocument;
}

// A disk whose reads fail (a failing or network disk) gives no document: neither the rows read
// before the failure nor an empty window are taken for the file, which the window forgets, and
// the message says why. The disk fails every read from a point on, in a child.
TEST_F(WindowTest, AFileWhoseReadingFailsIsNoDocument) {
    std::string bytes;
    for (const char *item : {"1.3.0", "0", "0", "0", "0", "1", "2", "2", "2", "2", "0"})
        bytes += P(item);
    bytes += I(0) + P("DATA_FOLLOWS") + I(10000);
    for (int i = 0; i < 10000; ++i)
        bytes += P("LINE 1 2 3 4 1 0 0 0");
    ASSERT_GT(bytes.size(), 200000u);
    TempFolder::Put(folder / "doc.setf", bytes);
    for (const std::uint32_t failsFrom : {100000u, 0u}) {
        SCOPED_TRACE("reads fail from byte " + std::to_string(failsFrom));
        const ChildResult child = RunInChild([&] {
            if (!FailCalls({{SYS_pread64, failsFrom, EIO}}))
                return 125;
            return OpensAsNoDocument("doc.setf", ": the disk reported an error");
        });
        if (child.exited && child.status == 125)
            GTEST_SKIP() << kNoCallFilter;
        ASSERT_TRUE(child.exited) << child.Describe();
        EXPECT_EQ(child.status, 0) << kNoDocument;
    }
    EXPECT_EQ(TempFolder::Get(folder / "doc.setf"), bytes);
}

// Where the working folder is gone, opening a relative name (as `vellumet doc.setf` started
// there does) reads no file elsewhere, such as the one of that name at the root, which the name
// never meant: the window is a new document for the name, and saving it fails with the
// system's reason and leaves the root's file as it was. Run in a child without a working
// folder; the file at the root has a name of this test's own.
TEST_F(WindowTest, WithoutAWorkingFolderARelativeDocumentIsNoFileElsewhere) {
    const std::string name = "vellumet-test-" + std::to_string(getpid()) + ".setf";
    const std::string atRoot = "/" + name;
    SaveDocument(name);
    std::filesystem::copy_file(folder / name, atRoot);
    const std::string rootBytes = TempFolder::Get(atRoot);
    const std::string report = folder / "report";
    const ChildResult child = RunWithoutWorkingFolder(folder.Path(), [&] {
        App()->OpenDocument(rb::GetFolderItem(name));
        std::string seen;
        for (const rb::Ref<DrawingWindow> &w : DrawingWindows()) {
            seen += (w->thisFile ? w->thisFile->NativePath() : "no file") + ", paper " +
                    std::to_string(w->ControlByName<rb::PopupMenu>("PopupPaperSize")->ListIndex()) +
                    ", " + std::to_string(w->ControlByName<rb::Listbox>("ListBox1")->ListCount()) +
                    " rows\n";
            td::Script({td::MessageButton("OK")});
            td::ChooseMenuItem(*w, "FileSave");
        }
        for (const td::DialogRecord &dialog : td::Dialogs())
            seen += dialog.text + "\n";
        TempFolder::Put(report, seen);
        return 0;
    });
    const std::string rootBytesAfter = TempFolder::Get(atRoot);
    std::filesystem::remove(atRoot);
    ASSERT_TRUE(child.exited && child.status == 0) << child.Describe();
    EXPECT_EQ(TempFolder::Get(report), name + ", paper 0, 0 rows\n" +
                                           "Unable to save the settings file " + name +
                                           ": the file or its folder does not exist.\n");
    EXPECT_TRUE(rootBytesAfter == rootBytes) << atRoot << " was written";
}

TEST_F(WindowTest, OpenCommandAsksForASettingsFile) {
    const std::string saved = SaveDocument("doc.setf");
    td::Script({td::Cancel(td::DialogKind::Open), td::OpenDialog(folder / "doc.setf")});
    EXPECT_FALSE(App()->_FileOpen_Action());
    EXPECT_EQ(rb::WindowCount(), 0) << "a cancelled Open opens a window";
    EXPECT_FALSE(App()->_FileOpen_Action());
    ASSERT_EQ(td::Dialogs().size(), 2u);
    for (const td::DialogRecord &dialog : td::Dialogs()) {
        EXPECT_EQ(dialog.kind, td::DialogKind::Open);
        EXPECT_EQ(dialog.text, "Setf");
    }
    ASSERT_EQ(DrawingWindows().size(), 1u);
    EXPECT_EQ(SavedState(*DrawingWindows()[0]), saved);
    EXPECT_EQ(DrawingWindows()[0]->thisFile->NativePath(), folder / "doc.setf");
}

} // namespace
