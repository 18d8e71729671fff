// test-listbox.cpp -- the Listbox: cells, removing rows, selection, LastIndex and RowID,
// column widths, the paint events, double-clicks and the keys that move the focus and the
// selection.
#include "gui-fixture.h"

using namespace rb;

namespace {

// The rows as "c0|c1|c2|c3" joined by "; ".
std::string Rows(Listbox &list) {
    std::string text;
    for (std::int32_t r = 0; r < list.ListCount(); ++r) {
        text += r ? "; " : "";
        for (std::int32_t c = 0; c < list.ColumnCount(); ++c) {
            text += c ? "|" : "";
            text += list.Cell(r, c);
        }
    }
    return text;
}

// Rows "one", "two" and "three", each with its text shown in column 2.
void AddThreeRows(Listbox &list) {
    for (const char *text : {"one", "two", "three"}) {
        list.AddRow(text);
        list.SetCell(list.LastIndex(), 2, text);
    }
}

} // namespace

TEST_F(GuiTest, ListboxCellsRoundTripAndRemovedRowsCloseUp) {
    auto w = NewWindow<TestWindow>();
    auto list = w->ControlByName<Listbox>("ListBox1");
    EXPECT_EQ(list->ListCount(), 0);
    EXPECT_EQ(list->ListIndex(), -1);
    EXPECT_EQ(list->LastIndex(), -1);
    for (const char *name : {"a", "b", "c", "d"}) {
        list->AddRow(std::string(name) + "0");
        for (std::int32_t c = 1; c < 4; ++c)
            list->SetCell(list->LastIndex(), c, name + Str(c));
    }
    EXPECT_EQ(Rows(*list), "a0|a1|a2|a3; b0|b1|b2|b3; c0|c1|c2|c3; d0|d1|d2|d3");
    EXPECT_EQ(list->LastIndex(), 3);

    // Out of range: reads give "", writes change nothing.
    for (auto [row, column] : {std::pair{4, 0}, {-1, 0}, {0, 4}, {0, -1}}) {
        EXPECT_EQ(list->Cell(row, column), "") << "cell " << row << "," << column;
        list->SetCell(row, column, "x");
    }
    EXPECT_EQ(Rows(*list), "a0|a1|a2|a3; b0|b1|b2|b3; c0|c1|c2|c3; d0|d1|d2|d3");

    list->SetListIndex(2);
    struct Case {
        std::int32_t remove;
        const char *rows;
        std::int32_t listIndex, lastIndex;
    };
    const Case cases[] = {
        {1, "a0|a1|a2|a3; c0|c1|c2|c3; d0|d1|d2|d3", 1, 2}, // both follow their rows
        {5, "a0|a1|a2|a3; c0|c1|c2|c3; d0|d1|d2|d3", 1, 2}, // out of range: nothing
        {1, "a0|a1|a2|a3; d0|d1|d2|d3", -1, 1},             // the selected row goes
        {1, "a0|a1|a2|a3", -1, -1},                         // the last added row goes
    };
    for (const Case &c : cases) {
        list->RemoveRow(c.remove);
        EXPECT_EQ(Rows(*list), c.rows) << "after RemoveRow(" << c.remove << ")";
        EXPECT_EQ(list->ListIndex(), c.listIndex) << "after RemoveRow(" << c.remove << ")";
        EXPECT_EQ(list->LastIndex(), c.lastIndex) << "after RemoveRow(" << c.remove << ")";
    }
    list->DeleteAllRows();
    EXPECT_EQ(list->ListCount(), 0);
    EXPECT_EQ(list->LastIndex(), -1);
}

// A RowID names its row wherever earlier removals move it, and no other row ever gets it.
TEST_F(GuiTest, ListboxRowIDsFollowTheirRows) {
    auto w = NewWindow<TestWindow>();
    auto list = w->ControlByName<Listbox>("ListBox1");
    for (const char *name : {"a", "b", "c"})
        list->AddRow(name);
    const std::int64_t a = list->RowID(0), b = list->RowID(1), c = list->RowID(2);
    EXPECT_TRUE(a != 0 && a != b && b != c && a != c);
    EXPECT_EQ(list->RowID(3), 0);
    list->RemoveRow(0);
    EXPECT_EQ(list->RowWithID(a), -1);
    EXPECT_EQ(list->RowWithID(b), 0);
    EXPECT_EQ(list->RowWithID(c), 1);
    list->AddRow("d");
    EXPECT_TRUE(list->RowID(2) != a && list->RowID(2) != b && list->RowID(2) != c);
    list->DeleteAllRows();
    list->AddRow("e");
    EXPECT_EQ(list->RowWithID(b), -1);
    EXPECT_EQ(list->RowWithID(0), -1);
}

TEST_F(GuiTest, ListboxColumnWidthsFollowTheirEntries) {
    auto w = NewWindow<TestWindow>();
    auto list = w->ControlByName<Listbox>("ListBox1");
    // One column with no entry takes the whole width there is.
    list->SetColumnCount(1);
    list->SetColumnWidths("");
    testdriver::ProcessEvents();
    const std::int32_t all = list->ColumnWidth(0);
    ASSERT_GT(all, 200);
    ASSERT_LE(all, list->Width());

    const std::int32_t quarter = ToInt32(all * 0.25);
    struct Case {
        std::int32_t columns;
        const char *widths;
        std::vector<std::int32_t> expected;
    };
    const Case cases[] = {
        {4, "0%,24,,0%", {0, 24, all - 24, 0}},
        {2, "100,", {100, all - 100}},
        {2, "100", {100, all - 100}}, // a column without an entry takes the rest
        {3, "25%,*,10", {quarter, all - quarter - 10, 10}},
        {2, "50%,50%", {ToInt32(all * 0.5), ToInt32(all * 0.5)}},
    };
    for (const Case &c : cases) {
        list->SetColumnCount(c.columns);
        list->SetColumnWidths(c.widths);
        testdriver::ProcessEvents();
        std::vector<std::int32_t> got;
        for (std::int32_t i = 0; i < c.columns; ++i)
            got.push_back(list->ColumnWidth(i));
        EXPECT_EQ(got, c.expected) << "widths \"" << c.widths << "\"";
    }
}

TEST_F(GuiTest, ListboxPaintEventsGetACellSizedGraphics) {
    auto w = NewWindow<TestWindow>();
    auto list = w->ControlByName<Listbox>("ListBox1");
    const char *colours[] = {"255 0 0", "0 255 0"};
    for (const char *rgb : colours) {
        list->AddRow("record");
        list->SetCell(list->LastIndex(), 1, rgb);
        list->SetCell(list->LastIndex(), 2, "description");
    }
    w->backgrounds.clear();
    w->texts.clear();
    // Rendering the window paints every visible cell.
    testdriver::PixelColor(*w, 0, 0);

    ASSERT_FALSE(w->backgrounds.empty());
    std::int32_t rowHeight = w->backgrounds.front().height;
    EXPECT_GT(rowHeight, 10);
    for (const auto &paint : w->backgrounds) {
        EXPECT_TRUE(paint.column == 1 || paint.column == 2)
            << "the hidden column " << paint.column << " was painted";
        EXPECT_EQ(paint.width, list->ColumnWidth(paint.column)) << "column " << paint.column;
        EXPECT_EQ(paint.height, rowHeight) << "row " << paint.row;
        EXPECT_LT(paint.row, list->ListCount());
    }
    EXPECT_EQ(w->texts.size(), w->backgrounds.size()) << "CellTextPaint did not follow";

    // The swatch lands in the cell's own coordinates: inside its frame, rows one below the other.
    for (std::int32_t row = 0; row < 2; ++row) {
        const std::int32_t x = list->Left() + 14;
        const std::int32_t y = list->Top() + 2 + row * rowHeight + rowHeight / 2;
        const Color got = testdriver::PixelColor(*w, x, y);
        const Color expected = row == 0 ? RGB(255, 0, 0) : RGB(0, 255, 0);
        EXPECT_EQ(got, expected) << "row " << row << " at " << x << "," << y << ": got "
                                 << int(got.red) << "," << int(got.green) << "," << int(got.blue);
    }
}

TEST_F(GuiTest, ListboxSelectsWhatIsClickedAndReportsDoubleClicks) {
    auto w = NewWindow<TestWindow>();
    auto list = w->ControlByName<Listbox>("ListBox1");
    AddThreeRows(*list);
    testdriver::ClickRow(*w, "ListBox1", 2);
    EXPECT_EQ(list->ListIndex(), 2);
    const std::size_t before = w->log.size();
    testdriver::DoubleClickRow(*w, "ListBox1", 1);
    EXPECT_EQ(list->ListIndex(), 1);
    EXPECT_EQ(EventLog(w->log.begin() + static_cast<std::ptrdiff_t>(before), w->log.end()),
              EventLog{"ListBox1_DoubleClick 1"})
        << Describe(w->log);
    list->SetListIndex(-1);
    EXPECT_EQ(list->ListIndex(), -1);
}

// Tab and Shift+Tab take the focus out of the list to the next and the previous control at
// once, as from any other control, and leave the selection where it was; the arrow keys move
// the selection.
TEST_F(GuiTest, ListboxTabLeavesTheListAndArrowsMoveTheSelection) {
    auto w = NewWindow<TestWindow>();
    auto list = w->ControlByName<Listbox>("ListBox1");
    AddThreeRows(*list);
    const struct {
        const char *keys;
        const char *focus;
        std::int32_t selected;
    } cases[] = {
        {"Tab", "PushButtonOK", 1},
        {"Shift+Tab", "CheckBoxAuto", 1},
        {"Down", "ListBox1", 2},
        {"Up", "ListBox1", 0},
    };
    for (const auto &c : cases) {
        testdriver::ClickRow(*w, "ListBox1", 1);
        ASSERT_EQ(testdriver::FocusedControl(*w), "ListBox1") << "a click on a row";
        testdriver::PressKey(*w, "", c.keys);
        EXPECT_EQ(testdriver::FocusedControl(*w), c.focus) << c.keys;
        EXPECT_EQ(list->ListIndex(), c.selected) << c.keys;
    }
}
