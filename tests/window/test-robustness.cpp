// Whatever the fields and records hold, a generation ends and writes a PDF that qpdf accepts and
// renderers draw without a complaint, or refuses a paper too large for readers with a message:
// random set-ups and element rows with missing, non-numeric, huge and negative fields, and a
// REPEATLINE asking for two billion lines.
#include "window-test.h"

#include "rb/testdriver.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

namespace {

// Texts a user may type or a damaged settings file may hold, numbers and not.
const char *const kOddTexts[] = {
    "",   "abc", "1e999", "-1e999", "1e308", "-1e308",      "2e-320", "-5",
    "0",  "3.5", "1,5",   "  7",    "nan",   "inf",         "0x10",   "2147483648",
    "-0", ".5",  "5.",    "1e",     "--3",   "99999999999", "12abc",  "1 2",
};

class Randomizer {
  public:
    explicit Randomizer(std::uint32_t seed) : engine_(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(engine_); }

    // A field: mostly a plain number of a sheet's size, often something odd.
    std::string Field() {
        switch (Below(4)) {
        case 0:
            return kOddTexts[Below(static_cast<int>(std::size(kOddTexts)))];
        case 1:
            return std::to_string(Below(2000) - 1000);
        default:
            return std::to_string(Below(1200) / 100.0 - 1.0);
        }
    }
    // A colour fraction, sometimes out of range.
    std::string Colour() { return Below(5) == 0 ? Field() : std::to_string(Below(256) / 255.0); }
    // A repeat count that keeps the page small (a huge one is the next test's).
    std::string Count() {
        const int pick = Below(3);
        if (pick == 0)
            return std::to_string(Below(40) - 5);
        if (pick == 1) {
            static const char *const odd[] = {"", "abc", "-1e999", "nan", "2e-320", "1,5"};
            return odd[Below(static_cast<int>(std::size(odd)))];
        }
        return std::to_string(Below(4));
    }

    // A record of a random kind with `fields` fields after the keyword; some are cut short.
    std::string Record() {
        static const char *const kinds[] = {"LINE",       "CIRCLE", "RECTANGLE", "TEXT",
                                            "REPEATLINE", " ",      "LINEX",     "text"};
        const std::string kind = kinds[Below(static_cast<int>(std::size(kinds)))];
        std::vector<std::string> fields;
        if (kind == "REPEATLINE") {
            for (int i = 0; i < 8; ++i)
                fields.push_back(Field());
            fields.push_back(Count());
            fields.push_back(Field());
        } else {
            const int n = kind == "CIRCLE" ? 4 : 5;
            for (int i = 0; i < n; ++i)
                fields.push_back(Field());
        }
        for (int i = 0; i < 3; ++i)
            fields.push_back(Colour());
        if (Below(6) == 0)
            fields.resize(static_cast<std::size_t>(Below(static_cast<int>(fields.size()))));
        std::string record = kind;
        for (const std::string &f : fields)
            record += " " + f;
        return record;
    }

    // The string of a TEXT row: text with the PDF's delimiters and non-ASCII letters.
    std::string Text() {
        static const char *const texts[] = {
            "", "Grid", "(a) \\ b)", "été ½ €", "\r\n\t", "x (y", "\xff\xfe broken UTF-8"};
        return texts[Below(static_cast<int>(std::size(texts)))];
    }

  private:
    std::mt19937 engine_;
};

void RandomSetUp(DrawingWindow &w, Randomizer &r) {
    w.ControlByName<rb::PopupMenu>("PopupUnits")->SetListIndex(r.Below(2));
    w.ControlByName<rb::PopupMenu>("PopupPaperSize")->SetListIndex(r.Below(13));
    w.ControlByName<rb::PopupMenu>("PopupOrientation")->SetListIndex(r.Below(2));
    for (const char *field : {"EditTopMargin", "EditBottomMargin", "EditLeftMargin",
                              "EditRightMargin", "EditXScale", "EditYScale"}) {
        if (r.Below(3) == 0)
            SetFieldText(w, field, r.Field());
    }
    // A custom size of a sane page mostly; a huge one is refused.
    if (r.Below(2) == 0) {
        SetFieldText(w, "EditCustomWidth", r.Field());
        SetFieldText(w, "EditCustomHeight", r.Field());
    }
    // Switching the unit converts whatever the margin fields hold.
    if (r.Below(4) == 0)
        w.ControlByName<rb::PopupMenu>("PopupUnits")
            ->SetListIndex(1 - w.ControlByName<rb::PopupMenu>("PopupUnits")->ListIndex());
}

TEST_F(WindowTest, RandomSetUpsAndRecordsAlwaysWriteValidFiles) {
    constexpr std::size_t kPages = 300;
    constexpr std::size_t kPagesPerWindow = 25;
    Randomizer r(20240607);
    rb::Ref<DrawingWindow> w;
    std::vector<bool> refused(kPages);
    for (std::size_t page = 0; page < kPages; ++page) {
        if (page % kPagesPerWindow == 0) {
            if (w)
                w->Window::Close();
            w = NewDrawingWindow();
            w->ControlByName<rb::CheckBox>("CheckBoxViewGraph")->SetValue(false);
        }
        RandomSetUp(*w, r);
        auto list = w->ControlByName<rb::Listbox>("ListBox1");
        list->DeleteAllRows();
        const int rows = r.Below(12);
        for (int i = 0; i < rows; ++i)
            AddElement(*w, r.Record(), r.Text());
        w->outputFile = rb::GetFolderItem("page-" + std::to_string(page) + ".pdf");
        // A huge REPEATLINE fills the page, which is then said to be cut short; a paper too
        // large for readers is refused.
        if (rb::testdriver::PendingAnswers() == 0)
            rb::testdriver::Script({rb::testdriver::MessageButton("OK")});
        const std::size_t shown = rb::testdriver::Dialogs().size();
        w->PushButtonGenerate_Action();
        refused[page] =
            rb::testdriver::Dialogs().size() > shown &&
            rb::testdriver::Dialogs().back().text == DrawingWindow::kPaperTooLargeMessage;
    }
    for (const rb::testdriver::DialogRecord &dialog : rb::testdriver::Dialogs())
        EXPECT_TRUE(dialog.text.starts_with("The page was cut short") ||
                    dialog.text == DrawingWindow::kPaperTooLargeMessage)
            << dialog.text;

    // Every page written is of a size readers take, holds no number longer than 32 characters
    // (which MuPDF would misread), and is read by the outside PDF tools, all pages side by
    // side; the first few complaints are shown.
    std::vector<std::string> problems(kPages);
    std::vector<std::string> readable;
    std::vector<std::size_t> readablePage;
    for (std::size_t page = 0; page < kPages; ++page) {
        const std::string file = folder / ("page-" + std::to_string(page) + ".pdf");
        if (refused[page]) {
            if (std::filesystem::exists(file))
                problems[page] = file + ": written although refused\n";
            continue;
        }
        long width = 0;
        long height = 0;
        const std::string box = MediaBox(file);
        if (std::sscanf(box.c_str(), "[0 0 %ld %ld]", &width, &height) != 2 ||
            std::min(width, height) < 3 ||
            std::max(width, height) > DrawingWindow::kLargestPaperSide) {
            problems[page] = file + ": MediaBox " + box + "\n";
            continue;
        }
        bool ok = false;
        const std::string longNumbers = NumbersLongerThan(PageContent(file, &ok), 32);
        if (!ok)
            problems[page] = file + ": no complete content stream\n";
        else if (!longNumbers.empty())
            problems[page] =
                file + ": numbers longer than 32 characters: " + longNumbers.substr(0, 400) + "\n";
        readable.push_back(file);
        readablePage.push_back(page);
    }
    const std::vector<std::string> read = PdfToolProblems(readable);
    for (std::size_t i = 0; i < read.size(); ++i)
        problems[readablePage[i]] += read[i];
    int bad = 0;
    std::string report;
    for (const std::string &p : problems)
        if (!p.empty() && ++bad <= 3)
            report += p;
    EXPECT_EQ(bad, 0) << "pages the PDF tools do not accept cleanly; the first:\n" << report;
    EXPECT_GT(std::count(refused.begin(), refused.end(), true), 0) << "no paper was too large";
}

// The page stops at its content limit, is still written whole, and the user is told that it was
// cut short: how much was drawn, and the limit.
TEST_F(WindowTest, TwoBillionRepeatedLinesStopAtThePageContentLimitAndSaySo) {
    auto w = NewDrawingWindow();
    w->ControlByName<rb::CheckBox>("CheckBoxViewGraph")->SetValue(false);
    AddElement(*w, "LINE 1 1 3 1 1 0 0 0");
    AddElement(*w, "REPEATLINE 0 0 7 0 0 0.0001 0 0.0001 2000000000 1 0 0 0");
    AddElement(*w, "LINE 1 1 3 1 1 0 0 0"); // after the limit: not drawn
    rb::testdriver::Script({rb::testdriver::MessageButton("OK")});
    rb::testdriver::Click(*w, "PushButtonGenerate");

    bool ok = false;
    const std::string content = PageContent(folder / "untitled.pdf", &ok);
    ASSERT_TRUE(ok) << "no complete content stream";
    EXPECT_GE(content.size(), DrawingWindow::kPageContentLimit);
    EXPECT_LT(content.size(), DrawingWindow::kPageContentLimit + 200) << "lines past the limit";
    EXPECT_EQ(content.find("[3 3] 0 d", 200), std::string::npos)
        << "a row after the limit was drawn";
    // Every line is whole: the page ends with a stroke.
    EXPECT_EQ(content.substr(content.size() - 2), "S\r");
    EXPECT_EQ(PdfToolProblems(folder / "untitled.pdf"), "");

    // The lines drawn, counted in the content: each begins with its width.
    std::size_t lines = 0;
    for (std::size_t at = content.find("\r1 w\r"); at != std::string::npos;
         at = content.find("\r1 w\r", at + 1))
        ++lines;
    lines -= 1; // the first LINE's
    ASSERT_EQ(rb::testdriver::Dialogs().size(), 1u) << "no message";
    EXPECT_EQ(rb::testdriver::Dialogs()[0].text,
              "The page was cut short: a page holds at most 64 MiB of drawing content. Drawn: 1 of "
              "the 3 elements whole, and " +
                  std::to_string(lines) + " of the 2000000000 lines of element 2.");
}

} // namespace
