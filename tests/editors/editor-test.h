// editor-test.h -- a drawing window with its element list for each test, finding the element
// editors that it opened, and the five kinds as the tests drive them: the button that adds
// one, its editor, its fields with their defaults, and what "OK" must write for one worked
// element.
#pragma once

#include "../window/window-test.h"
#include "ElementEditor.h"

#include "rb/text.h"
#include "rb/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A new drawing window and its element list for each test.
class ElementListTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        w = NewDrawingWindow();
        list = w->ControlByName<rb::Listbox>("ListBox1");
    }
    rb::Ref<DrawingWindow> w;
    rb::Ref<rb::Listbox> list;
};

// The open element editors, the front one first.
inline std::vector<rb::Ref<ElementEditor>> OpenEditors() {
    std::vector<rb::Ref<ElementEditor>> editors;
    for (std::int32_t i = 0; i < rb::WindowCount(); ++i)
        if (auto editor = rb::RefCast<ElementEditor>(rb::WindowAt(i)))
            editors.push_back(editor);
    return editors;
}

// The one open editor; null (and a failure) when there is none or more than one.
inline rb::Ref<ElementEditor> TheEditor() {
    const std::vector<rb::Ref<ElementEditor>> editors = OpenEditors();
    EXPECT_EQ(editors.size(), 1u) << "open element editors";
    return editors.size() == 1 ? editors[0] : nullptr;
}

struct EditorField {
    const char *name;
    const char *initial; // the text of a new element's dialog
    const char *typed;   // what the worked element types
};

struct EditorKind {
    const char *keyword;
    const char *button;
    const char *title;
    std::int32_t height;
    bool (*isKind)(ElementEditor &); // the dialog's class
    // Every EditField of the record, in record order.
    std::vector<EditorField> fields;
    rb::Color color;
    // The worked element's font item (-1: no font popup) and string (column 3).
    std::int32_t font;
    std::string text;
    // What "OK" writes for it.
    std::string record, colorText, description;
};

template <class T> bool Is(ElementEditor &e) { return dynamic_cast<T *>(&e) != nullptr; }

inline const std::vector<EditorKind> &EditorKinds() {
    static const std::vector<EditorKind> kinds = {
        {"LINE",
         "BevelButton1",
         "Edit Line",
         263,
         Is<EditLineWindow>,
         {{"EditStartX", "", "0"},
          {"EditStartY", "", "0"},
          {"EditEndX", "", "2.5"},
          {"EditEndY", "", "3"},
          {"EditWeight", "1", "0.5"}},
         rb::RGB(255, 0, 0),
         -1,
         "",
         "LINE 0 0 2.5 3 0.5 1 0 0",
         "1 0 0",
         "Line 0 , 0 - 2.5 , 3"},
        {"CIRCLE",
         "BevelButton2",
         "Edit Circle",
         263,
         Is<EditCircleWindow>,
         {{"EditStartX", "", "4"},
          {"EditStartY", "", "5"},
          {"EditRadius", "", "2"},
          {"EditWeight", "1", "1.50"}},
         rb::RGB(128, 0, 0),
         -1,
         "",
         "CIRCLE 4 5 2 1.50 0.501960784313725 0 0",
         "0.501960784313725 0 0",
         "Circle 4 , 5 Radius 2"},
        {"RECTANGLE",
         "BevelButton3",
         "Edit Rectangle",
         263,
         Is<EditRectangleWindow>,
         {{"EditStartX", "", "3"},
          {"EditStartY", "", "4"},
          {"EditWidth", "", "2"},
          {"EditHeight", "", "1"},
          {"EditWeight", "1", "1"}},
         rb::RGB(0, 0, 0),
         -1,
         "",
         "RECTANGLE 3 4 2 1 1 0 0 0",
         "0 0 0",
         "Rectangle 3 , 4 , 2 , 1"},
        {"TEXT",
         "BevelButton4",
         "Edit Text",
         295,
         Is<EditTextWindow>,
         {{"EditStartX", "", "2"},
          {"EditStartY", "", "3,5"},
          {"EditSize", "12", "12"},
          {"EditRotation", "0", "0"}},
         rb::RGB(0, 0, 255),
         11,
         "Hello, (big) world",
         "TEXT 2 3,5 12 12 0 0 0 1",
         "0 0 1",
         "Text 2 , 3,5 Hello, (big) world"},
        {"REPEATLINE",
         "BevelButton5",
         "Edit Repeating Line",
         301,
         Is<EditRepeatLineWindow>,
         {{"EditStartX", "", "1"},
          {"EditStartY", "", "2"},
          {"EditEndX", "", "3"},
          {"EditEndY", "", "4"},
          {"EditDeltaStartX", "", "0.1"},
          {"EditDeltaStartY", "", "0"},
          {"EditDeltaEndX", "", "0.1"},
          {"EditDeltaEndY", "", "0"},
          {"EditNumber", "2", "5"},
          {"EditWeight", "1", "1"}},
         rb::RGB(255, 255, 255),
         -1,
         "",
         "REPEATLINE 1 2 3 4 0.1 0 0.1 0 5 1 1 1 1",
         "1 1 1",
         "Repeat Line 1 , 2 - 3 , 4 5"},
    };
    return kinds;
}

inline std::string FieldOf(ElementEditor &e, const std::string &name) {
    return e.ControlByName<rb::EditField>(name)->Text();
}
inline void SetFieldOf(ElementEditor &e, const std::string &name, const std::string &text) {
    e.ControlByName<rb::EditField>(name)->SetText(text);
}
