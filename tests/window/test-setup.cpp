// The sheet set-up: a new window's defaults as the controls show them, the paper sizes shown in
// the custom fields, the margins converted between the units, the custom size in whole points,
// and the orientation.
#include "window-test.h"

#include "App.h"

#include "rb/testdriver.h"

#include <vector>

namespace {

using rb::testdriver::ChoosePopupItem;

std::vector<std::string> Items(rb::PopupMenu &popup) {
    std::vector<std::string> items;
    for (std::int32_t i = 0; i < popup.ListCount(); ++i)
        items.push_back(popup.List(i));
    return items;
}

TEST_F(WindowTest, NewWindowShowsTheDefaultSetUp) {
    const std::int32_t before = rb::WindowCount();
    App()->NewDocument();
    ASSERT_EQ(rb::WindowCount(), before + 1);
    auto w = rb::RefCast<DrawingWindow>(rb::FrontWindow());
    ASSERT_TRUE(w) << "NewDocument opened no DrawingWindow";

    EXPECT_EQ(w->Title(), "Vellumet");
    EXPECT_EQ(w->Width(), 640);
    EXPECT_EQ(w->Height(), 450);
    EXPECT_TRUE(w->Visible());
    EXPECT_EQ(w->ControlCount(), 31);

    auto paper = w->ControlByName<rb::PopupMenu>("PopupPaperSize");
    EXPECT_EQ(Items(*paper),
              (std::vector<std::string>{"Letter", "Legal", "Ledger", "A0", "A1", "A2", "A3", "A4",
                                        "A5", "A6", "B5", "B (USA)", "Custom"}));
    EXPECT_EQ(paper->ListIndex(), 0);
    auto orientation = w->ControlByName<rb::PopupMenu>("PopupOrientation");
    EXPECT_EQ(Items(*orientation), (std::vector<std::string>{"Portrait", "Landscape"}));
    EXPECT_EQ(orientation->ListIndex(), 0);
    auto units = w->ControlByName<rb::PopupMenu>("PopupUnits");
    EXPECT_EQ(Items(*units), (std::vector<std::string>{"inches", "cm"}));
    EXPECT_EQ(units->ListIndex(), 0);

    const struct {
        const char *control;
        const char *text;
        bool enabled;
    } texts[] = {
        {"EditCustomWidth", "8.5", false},
        {"EditCustomHeight", "11", false},
        {"StaticBy", "by", false},
        {"StaticText16", "in", true},
        {"EditTopMargin", "0.5", true},
        {"EditBottomMargin", "0.5", true},
        {"EditLeftMargin", "0.75", true},
        {"EditRightMargin", "0.75", true},
        {"EditXScale", "100", true},
        {"EditYScale", "100", true},
        {"StaticFileName", "Untitled", true},
    };
    for (const auto &t : texts) {
        EXPECT_EQ(FieldText(*w, t.control), t.text) << t.control;
        EXPECT_EQ(w->FindControl(t.control)->Enabled(), t.enabled) << t.control;
    }

    auto view = w->ControlByName<rb::CheckBox>("CheckBoxViewGraph");
    EXPECT_EQ(view->Caption(), "Auto View Graph");
    EXPECT_TRUE(view->Value());
    auto generate = w->ControlByName<rb::PushButton>("PushButtonGenerate");
    EXPECT_EQ(generate->Caption(), "Generate");
    EXPECT_TRUE(generate->Default());
    EXPECT_FALSE(generate->Cancel());
    auto list = w->ControlByName<rb::Listbox>("ListBox1");
    EXPECT_EQ(list->ListCount(), 0);
    EXPECT_EQ(list->ColumnCount(), 4);
    EXPECT_EQ(list->ColumnWidths(), "0%,24,,0%");
    EXPECT_EQ(list->ListIndex(), -1);

    ASSERT_TRUE(w->pdf);
    ASSERT_TRUE(w->outputFile);
    EXPECT_EQ(w->outputFile->NativePath(), folder / "untitled.pdf");
    EXPECT_FALSE(w->outputFile->Exists()) << "opening a window writes nothing";
    EXPECT_FALSE(w->thisFile);
    EXPECT_FALSE(w->dirty);
}

TEST_F(WindowTest, EachNewDocumentIsAnIndependentWindow) {
    const std::int32_t before = rb::WindowCount();
    App()->NewDocument();
    auto first = rb::RefCast<DrawingWindow>(rb::FrontWindow());
    App()->NewDocument();
    auto second = rb::RefCast<DrawingWindow>(rb::FrontWindow());
    ASSERT_EQ(rb::WindowCount(), before + 2);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.get(), second.get());
    EXPECT_NE(first->pdf.get(), second->pdf.get()) << "the windows share a writer";

    ChoosePopupItem(*first, "PopupUnits", 1);
    SetFieldText(*first, "EditXScale", "50");
    EXPECT_EQ(FieldText(*second, "EditTopMargin"), "0.5");
    EXPECT_EQ(FieldText(*second, "StaticText16"), "in");
    EXPECT_EQ(FieldText(*second, "EditXScale"), "100");
    EXPECT_FALSE(second->thisFile);
}

// The custom fields show a standard paper's size in the current unit.
TEST_F(WindowTest, StandardPaperShowsItsSizeInTheCurrentUnit) {
    const struct {
        std::int32_t paper;
        std::int32_t units;
        const char *width;
        const char *height;
    } cases[] = {
        {7, 0, "8.26388888888889", "11.6944444444444"}, // A4: 595 / 72, 842 / 72
        {7, 1, "20.9902777777778", "29.7038888888889"}, // A4: 595 x 2.54 / 72, 842 x 2.54 / 72
        {0, 0, "8.5", "11"},                            // Letter
        {11, 0, "17", "11"},                            // B (USA)
    };
    auto w = NewDrawingWindow();
    for (const auto &c : cases) {
        ChoosePopupItem(*w, "PopupUnits", c.units);
        ChoosePopupItem(*w, "PopupPaperSize", c.paper);
        EXPECT_EQ(FieldText(*w, "EditCustomWidth"), c.width)
            << "paper " << c.paper << ", unit " << c.units;
        EXPECT_EQ(FieldText(*w, "EditCustomHeight"), c.height)
            << "paper " << c.paper << ", unit " << c.units;
        EXPECT_FALSE(w->FindControl("EditCustomWidth")->Enabled());
        EXPECT_FALSE(w->FindControl("EditCustomHeight")->Enabled());
        EXPECT_FALSE(w->FindControl("StaticBy")->Enabled());
    }
}

TEST_F(WindowTest, UnitChangeConvertsTheMarginsAndBack) {
    auto w = NewDrawingWindow();
    const char *const margins[] = {"EditTopMargin", "EditBottomMargin", "EditLeftMargin",
                                   "EditRightMargin"};
    const std::vector<std::string> inCm = {"1.27", "1.27", "1.905", "1.905"};
    const std::vector<std::string> inInches = {"0.5", "0.5", "0.75", "0.75"};
    for (int round = 0; round < 2; ++round) {
        ChoosePopupItem(*w, "PopupUnits", 1);
        EXPECT_EQ(FieldText(*w, "StaticText16"), "cm");
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(FieldText(*w, margins[i]), inCm[i]) << margins[i] << ", round " << round;
        ChoosePopupItem(*w, "PopupUnits", 0);
        EXPECT_EQ(FieldText(*w, "StaticText16"), "in");
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(FieldText(*w, margins[i]), inInches[i]) << margins[i] << ", round " << round;
    }
}

// A settings file keeps 255 bytes of each margin: typing stops there, counting bytes, so a
// typed margin never makes the document unsavable.
TEST_F(WindowTest, MarginFieldsTakeNoMoreThanASettingsFileKeeps) {
    auto w = NewDrawingWindow();
    for (const char *margin :
         {"EditTopMargin", "EditBottomMargin", "EditLeftMargin", "EditRightMargin"}) {
        SCOPED_TRACE(margin);
        SetFieldText(*w, margin, "");
        rb::testdriver::TypeText(*w, margin, std::string(300, '1'));
        EXPECT_EQ(FieldText(*w, margin), std::string(255, '1'));
        // A two-byte character no longer fits where one byte is left; a one-byte one does.
        SetFieldText(*w, margin, std::string(254, '2'));
        rb::testdriver::TypeText(*w, margin, "\xc3\xa9" "3");
        EXPECT_EQ(FieldText(*w, margin), "3" + std::string(254, '2'));
    }
    EXPECT_TRUE(w->SaveSettings(rb::GetFolderItem("margins.setf")));
}

TEST_F(WindowTest, CustomSizeIsTakenInWholePointsOfTheCurrentUnit) {
    auto w = NewDrawingWindow();
    ChoosePopupItem(*w, "PopupPaperSize", 12);
    // The fields keep the last standard size, now editable.
    EXPECT_EQ(FieldText(*w, "EditCustomWidth"), "8.5");
    EXPECT_EQ(FieldText(*w, "EditCustomHeight"), "11");
    EXPECT_TRUE(w->FindControl("EditCustomWidth")->Enabled());
    EXPECT_TRUE(w->FindControl("EditCustomHeight")->Enabled());
    EXPECT_TRUE(w->FindControl("StaticBy")->Enabled());

    SetFieldText(*w, "EditCustomWidth", "8");
    SetFieldText(*w, "EditCustomHeight", "10");
    w->ReadGUIValues();
    EXPECT_EQ(w->paperWidth, 576);
    EXPECT_EQ(w->paperHeight, 720);
    EXPECT_EQ(w->unitPixels, 72.0);

    // The typed numbers now mean cm, with the paper's points per cm; the fields are rewritten
    // from the whole points.
    ChoosePopupItem(*w, "PopupUnits", 1);
    EXPECT_EQ(w->paperWidth, rb::ToInt32(8 * 28.3464567));
    EXPECT_EQ(w->paperHeight, rb::ToInt32(10 * 28.3464567));
    EXPECT_EQ(FieldText(*w, "EditCustomWidth"), "8.00805555555556");  // 227 x 2.54 / 72
    EXPECT_EQ(FieldText(*w, "EditCustomHeight"), "9.98361111111111"); // 283 x 2.54 / 72

    // Margins use 28.346457 points per cm, the custom paper 28.3464567.
    SetFieldText(*w, "EditLeftMargin", "1");
    SetFieldText(*w, "EditCustomWidth", "1");
    w->ReadGUIValues();
    EXPECT_EQ(w->unitPixels, 28.346457);
    EXPECT_EQ(w->leftMargin, 28.346457);
    EXPECT_EQ(w->paperWidth, rb::ToInt32(28.3464567));
}

TEST_F(WindowTest, LandscapeSwapsThePaperButNotTheFields) {
    auto w = NewDrawingWindow();
    ChoosePopupItem(*w, "PopupOrientation", 1);
    w->ReadGUIValues();
    EXPECT_EQ(w->paperWidth, 792);
    EXPECT_EQ(w->paperHeight, 612);
    EXPECT_EQ(FieldText(*w, "EditCustomWidth"), "8.5");
    EXPECT_EQ(FieldText(*w, "EditCustomHeight"), "11");
    EXPECT_EQ(w->leftMargin, 54.0);
    EXPECT_EQ(w->topMargin, 36.0);
}

} // namespace
