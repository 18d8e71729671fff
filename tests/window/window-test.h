// window-test.h -- what the drawing window's tests share: the program shell under the test
// driver, a fresh temporary folder as the current folder for every test, a new drawing window,
// and readers of the PDF files a generation writes.
#pragma once

#include "DrawingWindow.h"
#include "pdf-tools.h"
#include "run-command.h"
#include "temp-folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

class WindowTest : public testing::Test {
  protected:
    void SetUp() override;
    // Fails the test for every unexpected dialog and unhandled exception, closes every window
    // and returns to the old current folder.
    void TearDown() override;

    // A new drawing window, made as App::NewDocument makes one.
    rb::Ref<DrawingWindow> NewDrawingWindow();

    TempFolder folder; // the current folder while the test runs

  private:
    std::string oldFolder_;
};

// Control texts and states, by control name.
std::string FieldText(DrawingWindow &w, const std::string &name);
void SetFieldText(DrawingWindow &w, const std::string &name, const std::string &text);
// Appends an element row: the record in column 0 and, for a TEXT, its string in column 3.
void AddElement(DrawingWindow &w, const std::string &record, const std::string &text = "");

// The content stream of a written PDF file, inflated; `ok` false when the file has no stream
// or it is not one complete zlib stream.
std::string PageContent(const std::string &pdfPath, bool *ok);
// The text of the file between "/MediaBox" and the end of its line, e.g. "[0 0 612 792]".
std::string MediaBox(const std::string &pdfPath);
// The document information's subject, e.g. "Width: 612  Height: 792".
std::string Subject(const std::string &pdfPath);
// The numbers of a content stream longer than `longest` characters, each followed by a blank;
// the strings that text objects show are not read.
std::string NumbersLongerThan(const std::string &content, std::size_t longest);
