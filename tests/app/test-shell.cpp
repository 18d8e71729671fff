// App's number texts, the menu bar and the file types.
#include "App.h"
#include "MenuBar1.h"
#include "program-shell.h"

#include "rb/files.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

class Shell : public testing::Test {
protected:
    static void SetUpTestSuite() { StartProgramShell(); }
};

struct NumberCase {
    double value;
    const char *pattern; // nullptr: mystring
    const char *expected;
};

TEST_F(Shell, NumberTextsAlwaysHaveAPoint) {
    // Under a comma locale too (the sanitizer run of the suite uses one).
    std::setlocale(LC_ALL, "");
    const NumberCase cases[] = {
        {8.5, nullptr, "8.5"},
        {11.0, nullptr, "11"},
        {0.75 * 2.54, nullptr, "1.905"},
        {-0.5, nullptr, "-0.5"},
        {128.0 / 255.0, nullptr, "0.501960784313725"},
        {0.5, "0.00", "0.50"},
        {-0.25, "0.00000", "-0.25000"},
        {1234.0, "0000000000", "0000001234"},
        {-0.5, "-00000.00000000", "-00000.50000000"},
        {2026.0, "0000", "2026"},
        {7.0, "00", "07"},
        {1234567.5, "#,##0.00", "1.234.567.50"}, // every comma of the framework's text
    };
    for (const NumberCase &c : cases) {
        const std::string got = c.pattern ? App()->myformatstring(c.value, c.pattern)
                                          : App()->mystring(c.value);
        EXPECT_EQ(got, c.expected) << c.value << " with " << (c.pattern ? c.pattern : "mystring");
        // The appending forms add the same text and leave what the buffer held alone.
        std::string line = "1,5 ";
        if (c.pattern)
            App()->AppendMyformatstring(line, c.value, c.pattern);
        else
            App()->AppendMystring(line, c.value);
        EXPECT_EQ(line, std::string("1,5 ") + c.expected) << c.value << " appended";
    }
    for (double v : {1e-7, 1e20, -3.25, std::numeric_limits<double>::quiet_NaN(), 1e308 * 10}) {
        EXPECT_EQ(App()->mystring(v).find(','), std::string::npos) << v;
        EXPECT_EQ(App()->myformatstring(v, "0.00").find(','), std::string::npos) << v;
    }
}

struct MenuRowCase {
    const char *name;
    const char *text;
    const char *shortcut;
    bool autoEnable;
};

TEST_F(Shell, MenuBarHoldsTheFifteenItemsInOrder) {
    const MenuRowCase expected[] = {
        {"FileMenu", "&File", "", true},
        {"FileOpen", "Open...", "Cmd+O", true},
        {"FileSave", "Save", "", true},
        {"FileSaveAs", "Save As...", "", true},
        {"FileQuit", "Quit", "Cmd+Q", true},
        {"EditMenu", "&Edit", "", true},
        {"EditUndo", "&Undo", "Cmd+Z", true},
        {"UntitledMenu0", "-", "", true},
        {"EditCut", "Cu&t", "Cmd+X", false},
        {"EditCopy", "&Copy", "Cmd+C", false},
        {"EditPaste", "&Paste", "Cmd+V", false},
        {"EditClear", "Clear", "", false},
        {"AppleAboutVellumet", "About Vellumet...", "", true},
        {"AppleVisitWebsite", "Visit Website", "", true},
        {"AppleCheckForLatestVersion", "Check For Latest Version...", "", true},
    };
    rb::Ref<class MenuBar1> bar = MenuBar1();
    EXPECT_EQ(MenuBar1(), bar) << "a second call makes another menu bar";
    ASSERT_EQ(bar->Count(), 2);

    std::vector<rb::Ref<rb::MenuItem>> items;
    for (std::int32_t m = 0; m < bar->Count(); ++m) {
        items.push_back(bar->Item(m));
        for (std::int32_t i = 0; i < bar->Item(m)->Count(); ++i)
            items.push_back(bar->Item(m)->Item(i));
    }
    ASSERT_EQ(items.size(), std::size(expected));
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i]->Name, expected[i].name) << "item " << i;
        EXPECT_EQ(items[i]->Text, expected[i].text) << expected[i].name;
        EXPECT_EQ(items[i]->KeyboardShortcut, expected[i].shortcut) << expected[i].name;
        EXPECT_EQ(items[i]->AutoEnable, expected[i].autoEnable) << expected[i].name;
    }
    EXPECT_TRUE(rb::RefCast<rb::QuitMenuItem>(items[4]));
    for (std::size_t i = 12; i < 15; ++i)
        EXPECT_TRUE(rb::RefCast<rb::AppleMenuItem>(items[i])) << expected[i].name;
    EXPECT_EQ(App()->MenuBar(), rb::Ref<rb::MenuBar>(bar));
}

TEST_F(Shell, FileTypesAreRegistered) {
    struct {
        const char *name, *extensions, *macType, *macCreator;
    } const expected[] = {
        {"text", "", "TEXT", "R*ch"},
        {"pdf", "pdf", "pdf", ""},
        {"Setf", "setf", "Setf", "Vlmt"},
    };
    for (const auto &e : expected) {
        rb::Ref<rb::FileType> type = rb::FindFileType(e.name);
        ASSERT_TRUE(type) << e.name;
        EXPECT_EQ(type->Name, e.name);
        EXPECT_EQ(type->Extensions, e.extensions) << e.name;
        EXPECT_EQ(type->MacType, e.macType) << e.name;
        EXPECT_EQ(type->MacCreator, e.macCreator) << e.name;
    }
}

TEST_F(Shell, ApplicationMenuCommandsGoToTheirPages) {
    // Exercised end to end with the drawing window; here only the bindings.
    for (const char *item : {"AppleAboutVellumet", "AppleVisitWebsite",
                             "AppleCheckForLatestVersion", "FileOpen"})
        EXPECT_TRUE(App()->HasMenuHandler(item)) << item;
    EXPECT_FALSE(App()->HasMenuHandler("FileSave"));
}

} // namespace
