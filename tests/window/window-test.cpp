// window-test.cpp -- the drawing window tests' shared fixture and readers.
#include "window-test.h"

#include "inflate.h"

#include "program-shell.h"

#include "rb/testdriver.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <sys/wait.h>

void WindowTest::SetUp() {
    StartProgramShell();
    rb::testdriver::Reset();
    oldFolder_ = std::filesystem::current_path().string();
    std::filesystem::current_path(folder.Path());
}

void WindowTest::TearDown() {
    for (const std::string &problem : rb::testdriver::Problems())
        ADD_FAILURE() << problem;
    rb::testdriver::Reset();
    if (!oldFolder_.empty())
        std::filesystem::current_path(oldFolder_);
}

rb::Ref<DrawingWindow> WindowTest::NewDrawingWindow() { return rb::NewWindow<DrawingWindow>(); }

std::string FieldText(DrawingWindow &w, const std::string &name) {
    rb::Ref<rb::Control> control = w.FindControl(name);
    if (auto field = rb::RefCast<rb::EditField>(control))
        return field->Text();
    if (auto label = rb::RefCast<rb::StaticText>(control))
        return label->Text();
    ADD_FAILURE() << "no field or label named " << name;
    return "";
}

void SetFieldText(DrawingWindow &w, const std::string &name, const std::string &text) {
    w.ControlByName<rb::EditField>(name)->SetText(text);
}

void AddElement(DrawingWindow &w, const std::string &record, const std::string &text) {
    rb::Ref<rb::Listbox> list = w.ControlByName<rb::Listbox>("ListBox1");
    list->AddRow(record);
    list->SetCell(list->LastIndex(), 3, text);
}

std::string PageContent(const std::string &pdfPath, bool *ok) {
    *ok = false;
    const std::string file = TempFolder::Get(pdfPath);
    const std::size_t start = file.find("stream\r\n");
    if (start == std::string::npos)
        return "";
    return Inflate(file.substr(start + 8), ok);
}

namespace {

std::string RestOfLine(const std::string &file, const std::string &key) {
    const std::size_t at = file.find(key);
    if (at == std::string::npos)
        return "";
    const std::size_t from = at + key.size();
    return file.substr(from, file.find('\r', from) - from);
}

} // namespace

std::string MediaBox(const std::string &pdfPath) {
    return RestOfLine(TempFolder::Get(pdfPath), "/MediaBox");
}

std::string Subject(const std::string &pdfPath) {
    const std::string line = RestOfLine(TempFolder::Get(pdfPath), "/Subject (");
    return line.empty() ? line : line.substr(0, line.size() - 1);
}

std::string NumbersLongerThan(const std::string &content, std::size_t longest) {
    std::string found;
    for (std::size_t at = 0; at < content.size();) {
        const std::size_t end = std::min(content.find('\r', at), content.size());
        const std::string_view line = std::string_view(content).substr(at, end - at);
        at = end + 1;
        if (line.ends_with(" Tj"))
            continue;
        // Words between blanks, a dash array's brackets taken off.
        for (std::size_t w = 0; w < line.size();) {
            const std::size_t wordEnd = std::min(line.find(' ', w), line.size());
            std::string_view word = line.substr(w, wordEnd - w);
            w = wordEnd + 1;
            if (word.starts_with('['))
                word.remove_prefix(1);
            if (word.ends_with(']'))
                word.remove_suffix(1);
            if (!word.empty() && word.find_first_not_of("-.0123456789") == std::string_view::npos &&
                word.size() > longest)
                found.append(word).push_back(' ');
        }
    }
    return found;
}
