// The application menu's commands, chosen in a drawing window's menu bar: the About box and the
// two web pages; and a picture of a new window for a person to look at.
#include "window-test.h"

#include "App.h"

#include "rb/testdriver.h"

namespace {

namespace td = rb::testdriver;

const std::string kVersion = std::to_string(VELLUMET_VERSION_MAJOR) + "." +
                             std::to_string(VELLUMET_VERSION_MINOR) + "." +
                             std::to_string(VELLUMET_VERSION_BUG);

TEST_F(WindowTest, AboutBoxShowsTheBuildsVersionWithOneOkButton) {
    auto w = NewDrawingWindow();
    td::Script({td::MessageButton("OK")});
    ASSERT_TRUE(td::ChooseMenuItem(*w, "AppleAboutVellumet"));
    ASSERT_EQ(td::Dialogs().size(), 1u);
    const td::DialogRecord &about = td::Dialogs()[0];
    EXPECT_EQ(about.kind, td::DialogKind::Message);
    EXPECT_EQ(about.buttons, std::vector<std::string>{"OK"}) << "a cancel button is shown";
    const std::string head = "Vellumet Version: " + kVersion + "\n\n";
    EXPECT_EQ(about.text.substr(0, head.size()), head) << about.text;
    EXPECT_GT(about.text.size(), head.size()) << "no closing line";
    EXPECT_EQ(about.text.find('\n', head.size()), std::string::npos) << "more than one line";
}

TEST_F(WindowTest, WebCommandsShowTheProductAndVersionPages) {
    auto w = NewDrawingWindow();
    ASSERT_TRUE(td::ChooseMenuItem(*w, "AppleVisitWebsite"));
    ASSERT_TRUE(td::ChooseMenuItem(*w, "AppleCheckForLatestVersion"));
    ASSERT_EQ(td::ShownURLs().size(), 2u);
    const std::string product = td::ShownURLs()[0];
    const std::string version = td::ShownURLs()[1];
    const std::string productPath = "/software/vellumet.html";
    ASSERT_EQ(product.rfind("http://", 0), 0u) << product;
    ASSERT_GT(product.size(), productPath.size());
    EXPECT_EQ(product.substr(product.size() - productPath.size()), productPath) << product;
    const std::string host = product.substr(0, product.size() - productPath.size());
    EXPECT_EQ(version, host + "/version.html?prog=vellumet&version=" VELLUMET_VERSION_SHORT);

    // The short version goes into the query as it stands, spaces and all; every command
    // answers false.
    const std::string saved = App()->ShortVersion;
    App()->ShortVersion = "1.0 beta 2&x";
    EXPECT_FALSE(App()->_AppleCheckForLatestVersion_Action());
    App()->ShortVersion = saved;
    EXPECT_EQ(td::ShownURLs().back(), host + "/version.html?prog=vellumet&version=1.0 beta 2&x");
    EXPECT_FALSE(App()->_AppleVisitWebsite_Action());
    td::Script({td::MessageButton("OK")});
    EXPECT_FALSE(App()->_AppleAboutVellumet_Action());
}

// Writes drawing-window.png into the build folder; look at it after a layout change.
TEST_F(WindowTest, ScreenshotOfANewWindow) {
    auto w = NewDrawingWindow();
    AddElement(*w, "LINE 1 1 3 1 1 0 0 0");
    w->ControlByName<rb::Listbox>("ListBox1")->SetCell(0, 2, "Line 1 , 1 - 3 , 1");
    const std::string path = std::string(WINDOW_TEST_OUTPUT_DIR) + "/drawing-window.png";
    ASSERT_TRUE(td::RenderToPNG(*w, path)) << path;
    // The edit fields are white where the table puts them (right of their left-aligned text).
    const rb::Color white = rb::RGB(255, 255, 255);
    for (const char *field : {"EditXScale", "EditTopMargin", "EditRightMargin"}) {
        rb::Ref<rb::Control> c = w->FindControl(field);
        EXPECT_EQ(td::PixelColor(*w, c->Left() + c->Width() - 8, c->Top() + c->Height() / 2), white)
            << field;
    }
}

} // namespace
