// test-dialogs.cpp -- the test driver's dialog script, recorded launches and web addresses,
// the Shift key and the fixed clock.
#include "gui-fixture.h"

#include <filesystem>

using namespace rb;
using testdriver::DialogKind;

namespace {

void RegisterSettingsType() {
    if (FindFileType("Setf"))
        return;
    auto type = New<FileType>();
    type->Name = "Setf";
    type->Extensions = "setf";
    type->ToText();
}

std::string Folder() {
    return (std::filesystem::temp_directory_path() / "rb-gui-dialogs").string();
}

} // namespace

TEST_F(GuiTest, FileAndColourDialogsTakeTheirScriptedAnswers) {
    RegisterSettingsType();
    const std::string folder = Folder();
    std::filesystem::create_directories(folder);
    testdriver::Script({
        testdriver::OpenDialog(folder + "/a.setf"),
        testdriver::Cancel(DialogKind::Open),
        testdriver::SaveDialog(folder + "/Untitled"),
        testdriver::SaveDialog(folder + "/page.pdf"),
        testdriver::Cancel(DialogKind::Save),
        testdriver::ColorChoice(RGB(10, 20, 30)),
        testdriver::Cancel(DialogKind::Color),
    });

    Ref<FolderItem> opened = GetOpenFolderItem("Setf");
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->NativePath(), folder + "/a.setf");
    EXPECT_EQ(GetOpenFolderItem("Setf"), nullptr);

    // A saved name without an extension gets the type's.
    Ref<FolderItem> saved = GetSaveFolderItem("Setf", "Untitled");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->NativePath(), folder + "/Untitled.setf");
    // A save dialog starts in the folder given, when it is one.
    saved = GetSaveFolderItem("Setf", "Untitled", FolderItem::FromPath(folder));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->NativePath(), folder + "/page.pdf");
    EXPECT_EQ(GetSaveFolderItem("Setf", "Untitled", FolderItem::FromPath(folder + "/a.setf")),
              nullptr);

    Color colour = RGB(1, 2, 3);
    EXPECT_TRUE(SelectColor(colour, "Select a Color"));
    EXPECT_EQ(colour, RGB(10, 20, 30));
    EXPECT_FALSE(SelectColor(colour, "Select a Color"));
    EXPECT_EQ(colour, RGB(10, 20, 30)) << "a cancelled picker changed the colour";

    const auto &dialogs = testdriver::Dialogs();
    ASSERT_EQ(dialogs.size(), 7u);
    EXPECT_EQ(dialogs[0].text, "Setf");
    const std::string current = std::filesystem::current_path().string();
    for (std::size_t i : {0u, 1u, 2u, 4u})
        EXPECT_EQ(dialogs[i].folder, current) << "dialog " << i;
    EXPECT_EQ(dialogs[3].folder, folder);
    EXPECT_EQ(dialogs[2].detail, "Untitled");
    EXPECT_EQ(dialogs[2].answer, folder + "/Untitled.setf");
    EXPECT_EQ(dialogs[4].answer, "cancel");
    EXPECT_EQ(dialogs[5].text, "Select a Color");
    EXPECT_EQ(dialogs[5].answer, "10,20,30");
    std::filesystem::remove(folder);
}

TEST_F(GuiTest, MessageBoxesReturnTheScriptedButtonAndRecordTheirTexts) {
    auto dialog = New<MessageDialog>();
    dialog->Message = "Save changes?";
    dialog->Explanation = "They are lost otherwise.";
    dialog->ActionButton->Caption = "Save";
    dialog->CancelButton->Visible = true;
    struct Case {
        testdriver::Answer answer;
        Ref<MessageDialogButton> expected;
    };
    const Case cases[] = {
        {testdriver::MessageButton("Save"), dialog->ActionButton},
        {testdriver::MessageButton("Cancel"), dialog->CancelButton},
        {testdriver::Cancel(DialogKind::Message), dialog->CancelButton},
    };
    for (const Case &c : cases) {
        testdriver::Script({c.answer});
        EXPECT_EQ(dialog->ShowModal(), c.expected)
            << "answered " << (c.answer.cancel ? "cancel" : c.answer.button);
    }
    // With the cancel button hidden, cancelling presses the action button.
    dialog->CancelButton->Visible = false;
    testdriver::Script({testdriver::Cancel(DialogKind::Message)});
    EXPECT_EQ(dialog->ShowModal(), dialog->ActionButton);

    testdriver::Script({testdriver::MessageButton("OK")});
    MsgBox("One or more entries are blank.");

    const auto &dialogs = testdriver::Dialogs();
    ASSERT_EQ(dialogs.size(), 5u);
    EXPECT_EQ(dialogs[0].text, "Save changes?");
    EXPECT_EQ(dialogs[0].detail, "They are lost otherwise.");
    EXPECT_EQ(dialogs[0].buttons, (std::vector<std::string>{"Save", "Cancel"}));
    EXPECT_EQ(dialogs[3].buttons, (std::vector<std::string>{"Save"}));
    EXPECT_EQ(dialogs[4].text, "One or more entries are blank.");
    EXPECT_TRUE(dialogs[4].expected);
}

TEST_F(GuiTest, AnUnscriptedDialogIsAProblemNeverAHang) {
    testdriver::Script({testdriver::SaveDialog("/tmp/x.setf")});
    EXPECT_EQ(GetOpenFolderItem("Setf"), nullptr);
    MsgBox("Surprise");
    Color colour = RGB(5, 5, 5);
    EXPECT_FALSE(SelectColor(colour, "Pick"));

    const auto &problems = testdriver::Problems();
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_NE(problems[0].find("open dialog"), std::string::npos) << problems[0];
    EXPECT_NE(problems[0].find("save"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("Surprise"), std::string::npos) << problems[1];
    EXPECT_NE(problems[2].find("Pick"), std::string::npos) << problems[2];
    EXPECT_EQ(testdriver::PendingAnswers(), 1) << "the mismatched answer was used up";
    EXPECT_FALSE(testdriver::Dialogs()[0].expected);
    testdriver::Reset(); // the problems were the point of this test
}

TEST_F(GuiTest, LaunchesWebAddressesShiftAndClockAreTheDriversToSet) {
    FolderItem::FromPath("/tmp/page.pdf")->Launch();
    ShowURL("http://example.invalid/version.html?prog=x&version=1.0 beta");
    EXPECT_EQ(testdriver::LaunchedFiles(), std::vector<std::string>{"/tmp/page.pdf"});
    EXPECT_EQ(
        testdriver::ShownURLs(),
        std::vector<std::string>{"http://example.invalid/version.html?prog=x&version=1.0 beta"});

    EXPECT_FALSE(Keyboard::ShiftKey());
    testdriver::SetShiftKey(true);
    EXPECT_TRUE(Keyboard::ShiftKey());

    testdriver::FixClock(946684800, 2.0); // 2000-01-01 00:00 UTC
    Date now;
    EXPECT_EQ((std::vector{now.Year, now.Month, now.Day, now.Hour}), (std::vector{2000, 1, 1, 2}));
    testdriver::Reset();
    EXPECT_FALSE(Keyboard::ShiftKey()) << "Reset kept the Shift key down";
    EXPECT_NE(Date().Year, 2000) << "Reset kept the clock fixed";
}
