// The element list inside the drawing window: the double-click's choice of editor, Cut and its
// menu item, the rebuilding of descriptions and colour texts from records, the colour swatch,
// and an element made through its editor drawn by Generate.
#include "../editors/editor-test.h"

#include "rb/testdriver.h"

namespace {

namespace td = rb::testdriver;

TEST_F(ElementListTest, DoubleClickOpensTheEditorOfTheRowsKindOnly) {
    // No row selected: nothing.
    AddElement(*w, "LINE 1 1 2 2 1 0 0 0");
    w->ListBox1_DoubleClick(*list);
    EXPECT_TRUE(OpenEditors().empty());
    EXPECT_FALSE(w->dirty);

    // No kind: a placeholder, an unknown keyword, a keyword not in upper case.
    for (const char *record : {" ", "SPLINE 1 2 3", "line 1 1 2 2 1 0 0 0", ""}) {
        AddElement(*w, record);
        td::DoubleClickRow(*w, "ListBox1", list->LastIndex());
        EXPECT_TRUE(OpenEditors().empty()) << "\"" << record << "\"";
        EXPECT_FALSE(w->dirty) << "\"" << record << "\"";
    }

    for (const EditorKind &kind : EditorKinds()) {
        AddElement(*w, kind.record, kind.text);
        td::DoubleClickRow(*w, "ListBox1", list->LastIndex());
        rb::Ref<ElementEditor> e = TheEditor();
        ASSERT_TRUE(e) << kind.keyword;
        EXPECT_TRUE(kind.isKind(*e)) << kind.keyword;
        EXPECT_EQ(e->row, list->LastIndex()) << kind.keyword;
        EXPECT_FALSE(e->newRow) << kind.keyword;
        EXPECT_TRUE(w->dirty) << kind.keyword;
        e->Window::Close();
        w->dirty = false;
    }
}

TEST_F(ElementListTest, CutRemovesTheSelectedRowAndIsEnabledOnlyWithASelection) {
    AddElement(*w, "LINE 1 1 2 2 1 0 0 0");
    AddElement(*w, "CIRCLE 1 1 1 1 0 0 0");
    AddElement(*w, "TEXT 1 1 12 1 0 0 0 0", "kept");
    EXPECT_FALSE(td::MenuItemEnabled(*w, "EditCut")) << "no row selected";
    EXPECT_FALSE(w->_EditCut_Action());
    EXPECT_EQ(list->ListCount(), 3);

    td::ClickRow(*w, "ListBox1", 1);
    EXPECT_TRUE(td::MenuItemEnabled(*w, "EditCut"));
    td::PressKey(*w, "ListBox1", "Ctrl+X");
    ASSERT_EQ(list->ListCount(), 2);
    EXPECT_EQ(list->Cell(0, 0), "LINE 1 1 2 2 1 0 0 0");
    EXPECT_EQ(list->Cell(1, 0), "TEXT 1 1 12 1 0 0 0 0");
    EXPECT_EQ(list->Cell(1, 3), "kept");
    EXPECT_FALSE(w->dirty);
    EXPECT_FALSE(td::MenuItemEnabled(*w, "EditCut")) << "the cut row took the selection";

    // Cutting every row leaves an empty list and an unmarked document.
    w->dirty = true;
    for (std::int32_t i = 0; i < 2; ++i) {
        list->SetListIndex(0);
        EXPECT_TRUE(td::ChooseMenuItem(*w, "EditCut"));
    }
    EXPECT_EQ(list->ListCount(), 0);
    EXPECT_TRUE(w->dirty) << "a Cut leaves dirty as it was";
    EXPECT_FALSE(td::MenuItemEnabled(*w, "EditCut"));
}

TEST_F(ElementListTest, PopulateListBoxRebuildsDescriptionsAndColoursFromRecords) {
    const struct {
        const char *record;
        const char *text; // column 3
        const char *description;
        const char *color;
    } cases[] = {
        {"LINE 1.50 2 3e1 -0 1 1 0 0.5", "", "Line 1.5 , 2 - 30 , 0", "1 0 0.5"},
        {"REPEATLINE 1 2 3 4 0.1 0 0.1 0 2.5 1 0 0 1", "", "Repeat Line 1 , 2 - 3 , 4 3 Times",
         "0 0 1"},
        {"CIRCLE 4 5 2 1 0.25 0.5 0.75", "", "Circle 4 , 5 Radius 2", "0.25 0.5 0.75"},
        {"RECTANGLE 3 4 2 1 1 0 0 0", "", "Rectangle 3 , 4 , 2 , 1", "0 0 0"},
        {"TEXT 2 3 12 1 0 0 1 0", "Two  words (not upper-cased)",
         "Text 2 , 3 Two  words (not upper-cased)", "0 1 0"},
        // The record is upper-cased first; a field that is no number or missing reads as 0.
        {"circle x 5", "", "Circle 0 , 5 Radius 0", "0 0 0"},
        // No kind: both texts stay.
        {" ", "", "placeholder", "left"},
        {"SPLINE 1 2", "", "placeholder", "left"},
    };
    for (const auto &c : cases) {
        AddElement(*w, c.record, c.text);
        list->SetCell(list->LastIndex(), 1, "left");
        list->SetCell(list->LastIndex(), 2, "placeholder");
    }
    w->PopulateListBox();
    for (std::int32_t i = 0; i < list->ListCount(); ++i) {
        const auto &c = cases[i];
        EXPECT_EQ(list->Cell(i, 2), c.description) << c.record;
        EXPECT_EQ(list->Cell(i, 1), c.color) << c.record;
        EXPECT_EQ(list->Cell(i, 0), c.record) << "the record is left as it was";
    }
}

// The colour column shows each row's colour in a black frame; a placeholder's is black. Scans
// the middle of the swatch column downwards from the list's top for runs of one colour.
TEST_F(ElementListTest, TheSwatchPaintsTheRowsColour) {
    AddElement(*w, "LINE 1 1 2 2 1 1 0 0");
    AddElement(*w, " ");
    AddElement(*w, "CIRCLE 1 1 1 1 0 0 1");
    w->PopulateListBox();
    std::vector<std::pair<rb::Color, int>> runs;
    const std::int32_t x = list->Left() + list->ColumnWidth(0) + 14;
    for (std::int32_t y = list->Top() + 1; y < list->Top() + 80; ++y) {
        const rb::Color c = td::PixelColor(*w, x, y);
        if (runs.empty() || !(runs.back().first == c))
            runs.push_back({c, 0});
        ++runs.back().second;
    }
    // A swatch is a run of at least 5 pixels: frames are one pixel high.
    std::vector<rb::Color> swatches;
    for (const auto &[color, length] : runs)
        if (length >= 5 && !(color == rb::RGB(255, 255, 255)))
            swatches.push_back(color);
    EXPECT_EQ(swatches,
              (std::vector<rb::Color>{rb::RGB(255, 0, 0), rb::RGB(0, 0, 0), rb::RGB(0, 0, 255)}));
}

// Elements made through their editors are drawn as the same records typed into the list.
TEST_F(ElementListTest, ElementsMadeInTheirEditorsAreDrawnByGenerate) {
    for (const EditorKind &kind : EditorKinds()) {
        td::Click(*w, kind.button);
        rb::Ref<ElementEditor> e = TheEditor();
        ASSERT_TRUE(e) << kind.keyword;
        for (const EditorField &f : kind.fields)
            SetFieldOf(*e, f.name, f.typed);
        if (kind.font >= 0) {
            td::ChoosePopupItem(*e, "PopupFont", kind.font);
            td::TypeText(*e, "EditText", kind.text);
        }
        e->lineColor = kind.color;
        td::Click(*e, "PushButton1");
    }
    w->PushButtonGenerate_Action();
    bool ok = false;
    const std::string drawn = PageContent(folder / "untitled.pdf", &ok);
    ASSERT_TRUE(ok);

    auto typed = NewDrawingWindow();
    for (const EditorKind &kind : EditorKinds())
        AddElement(*typed, kind.record, kind.text);
    typed->PushButtonGenerate_Action();
    EXPECT_EQ(drawn, PageContent(folder / "untitled.pdf", &ok));

    auto empty = NewDrawingWindow();
    empty->PushButtonGenerate_Action();
    EXPECT_NE(drawn, PageContent(folder / "untitled.pdf", &ok)) << "nothing was drawn";
    for (const char *piece : {"(Hello, \\(big\\) world) Tj", "/F12 "})
        EXPECT_NE(drawn.find(piece), std::string::npos) << piece;
}

// Writes drawing-window-elements.png into the build folder: a window with one row per kind and
// a placeholder, the second row selected.
TEST_F(ElementListTest, ScreenshotOfAWindowWithElements) {
    for (const EditorKind &kind : EditorKinds())
        AddElement(*w, kind.record, kind.text);
    AddElement(*w, " ");
    w->PopulateListBox();
    list->SetListIndex(1);
    const std::string path = std::string(WINDOW_TEST_OUTPUT_DIR) + "/drawing-window-elements.png";
    EXPECT_TRUE(td::RenderToPNG(*w, path)) << path;
}

} // namespace
