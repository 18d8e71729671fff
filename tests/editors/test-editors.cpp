// The five element editors, driven as the user drives them from a drawing window: a button adds
// a placeholder row and opens its editor, "OK" writes the row, a blank or unstorable field is
// refused with a message, "Cancel" removes a placeholder, a double-click reopens an element,
// the colour swatch picks and shows the colour, an editor keeps to its own element while
// other rows come and go, and a full list takes no further element. Most cases run for all
// five kinds.
#include "editor-test.h"

#include "App.h"

#include "rb/testdriver.h"

#include <algorithm>

namespace {

namespace td = rb::testdriver;

class EditorTest : public ElementListTest {
  protected:
    // Presses a button of the window and returns the editor that it opened.
    rb::Ref<ElementEditor> Press(const std::string &button) {
        const std::vector<rb::Ref<ElementEditor>> before = OpenEditors();
        td::Click(*w, button);
        rb::Ref<ElementEditor> opened;
        for (const rb::Ref<ElementEditor> &e : OpenEditors())
            if (std::find(before.begin(), before.end(), e) == before.end()) {
                EXPECT_FALSE(opened) << button << " opened more than one editor";
                opened = e;
            }
        EXPECT_TRUE(opened) << button << " opened no editor";
        return opened;
    }

    rb::Ref<ElementEditor> DoubleClick(std::int32_t row) {
        const std::vector<rb::Ref<ElementEditor>> before = OpenEditors();
        td::DoubleClickRow(*w, "ListBox1", row);
        const std::vector<rb::Ref<ElementEditor>> after = OpenEditors();
        EXPECT_EQ(after.size(), before.size() + 1) << "double-click on row " << row;
        return after.size() == before.size() + 1 ? after.front() : nullptr;
    }

    // Types the worked element and picks its colour through the swatch.
    static void Fill(ElementEditor &e, const EditorKind &kind) {
        for (const EditorField &f : kind.fields)
            SetFieldOf(e, f.name, f.typed);
        if (kind.font >= 0)
            td::ChoosePopupItem(e, "PopupFont", kind.font);
        if (kind.keyword == std::string("TEXT"))
            td::TypeText(e, "EditText", kind.text);
        td::Script({td::ColorChoice(kind.color)});
        td::Click(e, "LineColorCanvas1");
    }

    // Presses "OK" expecting a message box, and returns its text.
    static std::string RefusedOK(ElementEditor &e) {
        const std::size_t shown = td::Dialogs().size();
        td::Script({td::MessageButton("OK")});
        td::Click(e, "PushButton1");
        if (td::Dialogs().size() != shown + 1)
            return "(no message)";
        return td::Dialogs().back().text;
    }

    std::vector<std::string> Row(std::int32_t row) const {
        return {list->Cell(row, 0), list->Cell(row, 1), list->Cell(row, 2), list->Cell(row, 3)};
    }
    static std::vector<std::string> Written(const EditorKind &kind) {
        return {kind.record, kind.colorText, kind.description, kind.text};
    }
    static std::vector<std::string> Placeholder() { return {" ", "", "", ""}; }
};

TEST_F(EditorTest, EachButtonAddsAPlaceholderAndOpensItsEditorWithTheDefaults) {
    std::int32_t row = 0;
    for (const EditorKind &kind : EditorKinds()) {
        SCOPED_TRACE(kind.keyword);
        w->dirty = false;
        rb::Ref<ElementEditor> e = Press(kind.button);
        ASSERT_TRUE(e);
        EXPECT_TRUE(kind.isKind(*e)) << "the dialog's class";
        EXPECT_EQ(e->Title(), kind.title);
        EXPECT_EQ(e->Width(), 453);
        EXPECT_EQ(e->Height(), kind.height);
        EXPECT_TRUE(w->dirty);
        // Each new row is appended after the rows of the editors still open.
        ASSERT_EQ(list->ListCount(), row + 1);
        EXPECT_EQ(Row(row), Placeholder());
        EXPECT_EQ(e->box, list);
        EXPECT_EQ(e->row, row);
        EXPECT_TRUE(e->newRow);
        EXPECT_EQ(e->lineColor, rb::RGB(0, 0, 0));
        for (const EditorField &f : kind.fields)
            EXPECT_EQ(FieldOf(*e, f.name), f.initial) << f.name;
        ++row;
    }
    auto text = rb::RefCast<EditTextWindow>(OpenEditors()[1]);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->ControlByName<rb::PopupMenu>("PopupFont")->Text(), "Courier");
    EXPECT_EQ(FieldOf(*text, "EditText"), "");
    EXPECT_FALSE(text->ControlByName<rb::EditField>("EditRotation")->Visible());
    EXPECT_FALSE(text->ControlByName<rb::StaticText>("StaticText3")->Visible());
}

TEST_F(EditorTest, OKWritesTheRecordColourTextAndDescriptionAndCloses) {
    for (const EditorKind &kind : EditorKinds()) {
        SCOPED_TRACE(kind.keyword);
        rb::Ref<ElementEditor> e = Press(kind.button);
        ASSERT_TRUE(e);
        Fill(*e, kind);
        EXPECT_EQ(e->lineColor, kind.color);
        EXPECT_EQ(td::Dialogs().back().text, "Select a Color");
        td::Click(*e, "PushButton1");
        EXPECT_FALSE(e->IsOpen()) << "the editor stays open after OK";
        EXPECT_EQ(Row(list->ListCount() - 1), Written(kind));
    }
}

TEST_F(EditorTest, BlankOrSpacedFieldsAreRefusedAndWriteNothing) {
    for (const EditorKind &kind : EditorKinds()) {
        SCOPED_TRACE(kind.keyword);
        rb::Ref<ElementEditor> e = Press(kind.button);
        ASSERT_TRUE(e);
        const std::int32_t row = e->row;
        // A new element's defaults leave fields blank in every dialog but the text's, whose
        // empty string is allowed.
        if (kind.keyword != std::string("TEXT")) {
            EXPECT_EQ(RefusedOK(*e), ElementEditor::kBlankMessage);
        }
        Fill(*e, kind);
        for (const EditorField &f : kind.fields) {
            for (const auto &[bad, message] : {std::pair{"", ElementEditor::kBlankMessage},
                                               {" ", ElementEditor::kSpaceMessage},
                                               {"1 5", ElementEditor::kSpaceMessage}}) {
                SetFieldOf(*e, f.name, bad);
                EXPECT_EQ(RefusedOK(*e), message) << f.name << " = \"" << bad << "\"";
                EXPECT_TRUE(e->IsOpen()) << f.name << " = \"" << bad << "\"";
                EXPECT_EQ(Row(row), Placeholder()) << f.name << " = \"" << bad << "\"";
            }
            EXPECT_EQ(FieldOf(*e, f.name), "1 5") << "the dialog keeps what was typed";
            SetFieldOf(*e, f.name, f.typed);
        }
        td::Click(*e, "PushButton1");
        EXPECT_EQ(Row(row), Written(kind));
    }
}

// A pasted line break or another control character would reach the record, the settings file
// and the page's content stream, whose lines end in a carriage return; every field refuses it,
// the text's string too: the C0 and C1 controls, DEL, and the Unicode line and paragraph
// separators. The characters next to them, and a malformed byte, are taken.
TEST_F(EditorTest, ControlCharactersAreRefusedInEveryField) {
    for (const EditorKind &kind : EditorKinds()) {
        SCOPED_TRACE(kind.keyword);
        rb::Ref<ElementEditor> e = Press(kind.button);
        ASSERT_TRUE(e);
        const std::int32_t row = e->row;
        Fill(*e, kind);
        std::vector<std::string> names;
        for (const EditorField &f : kind.fields)
            names.push_back(f.name);
        if (kind.keyword == std::string("TEXT"))
            names.push_back("EditText");
        for (const std::string &name : names) {
            const std::string typed = FieldOf(*e, name);
            for (const std::string bad : {"5\n6", "5\r", "\t5", "5\x7f", "l1\r\nl2", "5\u0080",
                                          "5\u0085", "\u009f5", "l1\u2028l2", "l1\u2029l2"}) {
                SetFieldOf(*e, name, bad);
                EXPECT_EQ(RefusedOK(*e), ElementEditor::kControlMessage)
                    << name << " = \"" << bad << "\"";
                EXPECT_EQ(Row(row), Placeholder()) << name << " = \"" << bad << "\"";
            }
            SetFieldOf(*e, name, typed);
        }
        // Taken as typed: a no-break space, the neighbours of the separators, the euro sign,
        // and a lone continuation byte (the byte of U+0085 without its lead).
        const std::string taken = "\u00a0\u00bf\u2027\u202a\u20ac\x85";
        const std::string typed = FieldOf(*e, names.back());
        SetFieldOf(*e, names.back(), taken);
        td::Click(*e, "PushButton1");
        EXPECT_FALSE(e->IsOpen()) << "refused: " << td::Dialogs().back().text;
        e = DoubleClick(row);
        ASSERT_TRUE(e);
        EXPECT_EQ(FieldOf(*e, names.back()), taken);
        SetFieldOf(*e, names.back(), typed);
        td::Click(*e, "PushButton1");
        EXPECT_EQ(Row(row), Written(kind));
    }
}

TEST_F(EditorTest, CancelRemovesAPlaceholderAndLeavesAnExistingRowAsItWas) {
    for (const EditorKind &kind : EditorKinds()) {
        SCOPED_TRACE(kind.keyword);
        rb::Ref<ElementEditor> e = Press(kind.button);
        ASSERT_TRUE(e);
        Fill(*e, kind);
        td::Click(*e, "PushButton2");
        EXPECT_FALSE(e->IsOpen());
        EXPECT_EQ(list->ListCount(), 0);

        AddElement(*w, kind.record, kind.text);
        list->SetCell(0, 2, "as it was");
        w->dirty = false;
        e = DoubleClick(0);
        ASSERT_TRUE(e);
        EXPECT_TRUE(w->dirty) << "opening an editor marks the document, even when cancelled";
        SetFieldOf(*e, kind.fields[0].name, "99");
        td::Click(*e, "PushButton2");
        EXPECT_EQ(Row(0), (std::vector<std::string>{kind.record, "", "as it was", kind.text}));
        list->DeleteAllRows();
    }
}

TEST_F(EditorTest, DoubleClickReopensTheElementFilledFromItsRow) {
    for (const EditorKind &kind : EditorKinds()) {
        SCOPED_TRACE(kind.keyword);
        AddElement(*w, kind.record, kind.text);
        const std::int32_t row = list->LastIndex();
        w->dirty = false;
        rb::Ref<ElementEditor> e = DoubleClick(row);
        ASSERT_TRUE(e);
        EXPECT_TRUE(kind.isKind(*e));
        EXPECT_TRUE(w->dirty);
        EXPECT_EQ(e->row, row);
        EXPECT_FALSE(e->newRow);
        for (const EditorField &f : kind.fields)
            EXPECT_EQ(FieldOf(*e, f.name), f.typed) << f.name;
        EXPECT_EQ(e->lineColor, kind.color);
        if (kind.font >= 0) {
            EXPECT_EQ(e->ControlByName<rb::PopupMenu>("PopupFont")->ListIndex(), kind.font);
            EXPECT_EQ(FieldOf(*e, "EditText"), kind.text);
        }
        // Unchanged, "OK" writes the same record again, and the editor's description.
        td::Click(*e, "PushButton1");
        EXPECT_EQ(Row(row), Written(kind));
    }
}

TEST_F(EditorTest, DismissingTheColourPickerKeepsTheColour) {
    AddElement(*w, "CIRCLE 1 1 1 1 0 1 0");
    rb::Ref<ElementEditor> e = DoubleClick(0);
    ASSERT_TRUE(e);
    td::Script({td::Cancel(td::DialogKind::Color)});
    td::Click(*e, "LineColorCanvas1");
    EXPECT_EQ(e->lineColor, rb::RGB(0, 255, 0));
    td::Click(*e, "PushButton1");
    EXPECT_EQ(list->Cell(0, 0), "CIRCLE 1 1 1 1 0 1 0");
}

// A foreign or damaged record: missing fields open empty, and a font number that names no item
// shows the first one, which "OK" then writes.
TEST_F(EditorTest, AShortOrForeignRecordOpensUsable) {
    const struct {
        const char *record;
        std::int32_t font;
    } cases[] = {{"TEXT 1 2 10 13 0 0 0 0", 0},
                 {"TEXT 1 2 10 0 0 0 0 0", 0},
                 {"TEXT 1 2 10 x 0 0 0 0", 0},
                 {"TEXT 1 2 10 -4 0 0 0 0", 0},
                 {"TEXT 1 2 10 12 0 0 0 0", 11}};
    for (const auto &c : cases) {
        AddElement(*w, c.record);
        rb::Ref<ElementEditor> e = DoubleClick(list->LastIndex());
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ControlByName<rb::PopupMenu>("PopupFont")->ListIndex(), c.font) << c.record;
        td::Click(*e, "PushButton2");
    }
    AddElement(*w, "REPEATLINE 1 2 3");
    rb::Ref<ElementEditor> e = DoubleClick(list->LastIndex());
    ASSERT_TRUE(e);
    EXPECT_EQ(FieldOf(*e, "EditEndX"), "3");
    EXPECT_EQ(FieldOf(*e, "EditEndY"), "");
    EXPECT_EQ(RefusedOK(*e), ElementEditor::kBlankMessage);
    td::Click(*e, "PushButton2");
    EXPECT_EQ(list->Cell(list->LastIndex(), 0), "REPEATLINE 1 2 3");
}

// What a settings file cannot keep is refused where it is typed: a TEXT's string and the whole
// record each hold at most 255 bytes.
TEST_F(EditorTest, TextsLongerThanADocumentKeepsAreRefused) {
    rb::Ref<ElementEditor> e = Press("BevelButton4");
    ASSERT_TRUE(e);
    for (const EditorField &f : EditorKinds()[3].fields)
        SetFieldOf(*e, f.name, f.typed);
    std::string accented;
    for (int i = 0; i < 128; ++i)
        accented += "\xc3\xa9"; // 128 characters, 256 bytes
    const struct {
        std::string text;
        const char *message; // null: written
    } strings[] = {{std::string(256, 'a'), ElementEditor::kStringTooLongMessage},
                   {accented, ElementEditor::kStringTooLongMessage},
                   {std::string(255, 'a'), nullptr}};
    for (const auto &c : strings) {
        SetFieldOf(*e, "EditText", c.text);
        if (c.message) {
            EXPECT_EQ(RefusedOK(*e), c.message) << rb::LenB(c.text) << " bytes";
            EXPECT_EQ(list->Cell(0, 0), " ");
        } else {
            td::Click(*e, "PushButton1");
            EXPECT_EQ(list->Cell(0, 3), c.text);
        }
    }

    // "LINE ", the other four fields " 1", and " 0 0 0" for black make 19 bytes; the start x
    // makes up the rest.
    e = Press("BevelButton1");
    ASSERT_TRUE(e);
    for (const char *name : {"EditStartY", "EditEndX", "EditEndY", "EditWeight"})
        SetFieldOf(*e, name, "1");
    SetFieldOf(*e, "EditStartX", std::string(237, '1'));
    EXPECT_EQ(RefusedOK(*e), ElementEditor::kRecordTooLongMessage);
    SetFieldOf(*e, "EditStartX", std::string(236, '1'));
    td::Click(*e, "PushButton1");
    EXPECT_EQ(rb::LenB(list->Cell(1, 0)), 255);
}

// Rows before an editor's row may go while it is open: it still writes its own element.
TEST_F(EditorTest, AnEditorKeepsToItsElementWhenEarlierRowsGo) {
    const EditorKind &circle = EditorKinds()[1];
    const EditorKind &text = EditorKinds()[3];
    rb::Ref<ElementEditor> first = Press(circle.button);
    rb::Ref<ElementEditor> second = Press(text.button);
    ASSERT_TRUE(first && second);
    td::Click(*first, "PushButton2"); // removes row 0; the text's placeholder moves up
    Fill(*second, text);
    td::Click(*second, "PushButton1");
    ASSERT_EQ(list->ListCount(), 1);
    EXPECT_EQ(Row(0), Written(text));

    // An existing element's editor, with an earlier row cut.
    AddElement(*w, circle.record);
    rb::Ref<ElementEditor> e = DoubleClick(1);
    ASSERT_TRUE(e);
    list->SetListIndex(0);
    ASSERT_TRUE(td::ChooseMenuItem(*w, "EditCut"));
    td::Click(*e, "PushButton1");
    ASSERT_EQ(list->ListCount(), 1);
    EXPECT_EQ(Row(0), Written(circle));
}

// When the element itself has gone, or its drawing window has closed, "OK" says that the
// changes cannot be kept and writes into no other row; "Cancel" removes no other row.
TEST_F(EditorTest, AnEditorWhoseElementHasGoneWritesNothing) {
    AddElement(*w, "LINE 1 1 2 2 1 0 0 0");
    rb::Ref<ElementEditor> cutEditor = DoubleClick(0);
    rb::Ref<ElementEditor> cutPlaceholder = Press("BevelButton2");
    ASSERT_TRUE(cutEditor && cutPlaceholder);
    AddElement(*w, "CIRCLE 5 5 1 1 0 0 0");
    for (std::int32_t row : {0, 0}) {
        list->SetListIndex(row);
        ASSERT_TRUE(td::ChooseMenuItem(*w, "EditCut"));
    }
    ASSERT_EQ(list->ListCount(), 1);
    EXPECT_EQ(RefusedOK(*cutEditor), ElementEditor::kElementGoneMessage);
    EXPECT_FALSE(cutEditor->IsOpen());
    td::Click(*cutPlaceholder, "PushButton2");
    ASSERT_EQ(list->ListCount(), 1);
    EXPECT_EQ(list->Cell(0, 0), "CIRCLE 5 5 1 1 0 0 0");

    rb::Ref<ElementEditor> orphan = DoubleClick(0);
    ASSERT_TRUE(orphan);
    w->dirty = false; // the window closes without saving
    w->Window::Close();
    SetFieldOf(*orphan, "EditRadius", "7");
    EXPECT_EQ(RefusedOK(*orphan), ElementEditor::kElementGoneMessage);
    EXPECT_EQ(list->Cell(0, 0), "CIRCLE 5 5 1 1 0 0 0");
}

// A document holds no more elements than opening a settings file takes. One below the limit a
// new element takes the last row; at the limit its button adds no placeholder and "OK" says
// why and keeps the dialog with what was typed, until a row makes room. What is saved opens
// whole.
TEST_F(EditorTest, AnElementPastTheRowLimitIsRefusedByItsEditor) {
    const std::int32_t most = DrawingWindow::kMostElementRows;
    const EditorKind &line = EditorKinds()[0];
    for (std::int32_t i = 0; i < most - 1; ++i)
        list->AddRow("CIRCLE 1 1 1 1 0 0 0");
    rb::Ref<ElementEditor> last = Press(line.button);
    ASSERT_TRUE(last);
    Fill(*last, line);
    td::Click(*last, "PushButton1");
    EXPECT_FALSE(last->IsOpen());
    ASSERT_EQ(list->ListCount(), most);
    EXPECT_EQ(Row(most - 1), Written(line));

    rb::Ref<ElementEditor> e = Press(line.button);
    ASSERT_TRUE(e);
    EXPECT_EQ(list->ListCount(), most) << "a placeholder past the limit";
    Fill(*e, line);
    EXPECT_EQ(RefusedOK(*e), ElementEditor::kListFullMessage);
    EXPECT_TRUE(e->IsOpen());
    EXPECT_EQ(list->ListCount(), most);

    // Saved and opened again: the same rows, and no message calls the file damaged.
    auto records = [](rb::Listbox &l) {
        std::string all;
        for (std::int32_t i = 0; i < l.ListCount(); ++i)
            all += l.Cell(i, 0) + "|" + l.Cell(i, 3) + "\n";
        return all;
    };
    const std::size_t shown = td::Dialogs().size();
    w->thisFile = rb::GetFolderItem("doc.setf");
    ASSERT_TRUE(td::ChooseMenuItem(*w, "FileSave"));
    App()->OpenDocument(rb::GetFolderItem("doc.setf"));
    rb::Ref<DrawingWindow> reopened = rb::RefCast<DrawingWindow>(rb::WindowAt(0));
    ASSERT_TRUE(reopened && reopened != w);
    EXPECT_EQ(td::Dialogs().size(), shown) << "a message on saving or opening";
    rb::Ref<rb::Listbox> loaded = reopened->ControlByName<rb::Listbox>("ListBox1");
    EXPECT_EQ(loaded->ListCount(), most);
    EXPECT_TRUE(records(*loaded) == records(*list)) << "the reopened rows differ";
    EXPECT_TRUE(reopened->thisFile) << "the file was taken as damaged";

    // Cancel removes no other row; once a row is cut, "OK" appends the waiting element.
    rb::Ref<ElementEditor> cancelled = Press(line.button);
    ASSERT_TRUE(cancelled);
    td::Click(*cancelled, "PushButton2");
    EXPECT_EQ(list->ListCount(), most);
    EXPECT_EQ(Row(most - 1), Written(line));
    list->SetListIndex(0);
    ASSERT_TRUE(td::ChooseMenuItem(*w, "EditCut"));
    td::Click(*e, "PushButton1");
    EXPECT_FALSE(e->IsOpen());
    ASSERT_EQ(list->ListCount(), most);
    EXPECT_EQ(Row(most - 1), Written(line));
    EXPECT_EQ(Row(most - 2), Written(line));
    w->dirty = false;
}

// The swatch shows the colour inside a black frame two pixels wide.
TEST_F(EditorTest, TheSwatchShowsTheColour) {
    for (const EditorKind &kind : EditorKinds()) {
        SCOPED_TRACE(kind.keyword);
        AddElement(*w, kind.record, kind.text);
        rb::Ref<ElementEditor> e = DoubleClick(list->LastIndex());
        ASSERT_TRUE(e);
        rb::Ref<rb::Control> swatch = e->FindControl("LineColorCanvas1");
        const std::int32_t x = swatch->Left(), y = swatch->Top();
        EXPECT_EQ(td::PixelColor(*e, x + 16, y + 10), kind.color);
        EXPECT_EQ(td::PixelColor(*e, x + 1, y + 10), rb::RGB(0, 0, 0));
        EXPECT_EQ(td::PixelColor(*e, x + 16, y + 19), rb::RGB(0, 0, 0));
        EXPECT_EQ(td::PixelColor(*e, x + 2, y + 10), kind.color);
        td::Click(*e, "PushButton2");
    }
}

// Writes editor-<kind>.png into the build folder for a person to look at, each editor filled
// with its worked element.
TEST_F(EditorTest, ScreenshotsOfTheEditors) {
    for (const EditorKind &kind : EditorKinds()) {
        AddElement(*w, kind.record, kind.text);
        rb::Ref<ElementEditor> e = DoubleClick(list->LastIndex());
        ASSERT_TRUE(e);
        const std::string path = std::string(EDITORS_TEST_OUTPUT_DIR) + "/editor-" +
                                 rb::Lowercase(kind.keyword) + ".png";
        EXPECT_TRUE(td::RenderToPNG(*e, path)) << path;
        td::Click(*e, "PushButton2");
    }
}

} // namespace
