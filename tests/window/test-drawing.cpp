// What DoGraph draws: every element row as the writer calls it gives, checked against the
// written file's inflated content stream. The expected stream is made by a second writer given
// the calls by hand, so each case reads as the calls the page must get.
#include "window-test.h"

#include "rb/testdriver.h"
#include "rb/text.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

struct Row {
    std::string record;
    std::string text = ""; // column 3
};

struct DrawCase {
    const char *name;
    std::vector<Row> rows;
    // The element calls after the page set-up, on a fresh writer.
    std::function<void(MyPDFGenerator &)> calls;
    // The set-up before generating (the default sheet when empty).
    std::function<void(DrawingWindow &)> setUp = {};
    double scaleX = 1;
    double scaleY = 1;
    // Further checks of the window and the written file.
    std::function<void(DrawingWindow &, const std::string &file)> check = {};
};

// One solid line with its width and colour, as each line of a REPEATLINE is drawn.
void SolidLine(MyPDFGenerator &p, double w, double x0, double y0, double x1, double y1) {
    p.SetLineWidth(w);
    p.SetRGBColor(0, 0, 0);
    p.MoveTo(x0, y0);
    p.LineTo(x1, y1);
    p.Stroke();
}

// A dashed LINE in black.
void DashedLine(MyPDFGenerator &p, double w, double x0, double y0, double x1, double y1) {
    p.SetLineWidth(w);
    p.SetDash(3, 3, 0);
    p.SetRGBColor(0, 0, 0);
    p.MoveTo(x0, y0);
    p.LineTo(x1, y1);
    p.Stroke();
    p.SetDash(0, 0, 0);
}

void Nothing(MyPDFGenerator &) {}

// Letter, portrait, inches, margins 0.5 and 0.75: pageX(x) = 54 + x, pageY(y) = 756 - y,
// usable area 504 x 720 points.
const std::vector<DrawCase> &Cases() {
    static const std::vector<DrawCase> cases = {
        // The worked numbers.
        {"line",
         {{"LINE 1 1 3 1 1 0 0 0"}},
         [](MyPDFGenerator &p) { DashedLine(p, 1, 126, 684, 270, 684); }},
        {"line clamped to the bounds",
         {{"LINE 0 0 10 12 0.5 1 0 0.5"}},
         [](MyPDFGenerator &p) {
             p.SetLineWidth(0.5);
             p.SetDash(3, 3, 0);
             p.SetRGBColor(1, 0, 0.5);
             p.MoveTo(54, 756);
             p.LineTo(558, 36);
             p.Stroke();
             p.SetDash(0, 0, 0);
         }},
        {"circle",
         {{"CIRCLE 4.25 5.5 1 2 0 0 1"}},
         [](MyPDFGenerator &p) {
             p.SetLineWidth(2);
             p.SetRGBColor(0, 0, 1);
             p.DrawCircle(360, 360, 72);
         }},
        {"rectangle from its centre",
         {{"RECTANGLE 1 1 2 1 1 0 0 0"}},
         [](MyPDFGenerator &p) {
             p.SetLineWidth(1);
             p.SetRGBColor(0, 0, 0);
             p.MoveTo(54, 720);
             p.LineTo(198, 720);
             p.LineTo(198, 648);
             p.LineTo(54, 648);
             p.LineTo(54, 720);
             p.Stroke();
         }},
        {"repeatline stepping down",
         {{"REPEATLINE 0 0 7 0 0 0.25 0 0.25 3 1 0 0 0"}},
         [](MyPDFGenerator &p) {
             SolidLine(p, 1, 54, 756, 558, 756);
             SolidLine(p, 1, 54, 738, 558, 738);
             SolidLine(p, 1, 54, 720, 558, 720);
         }},
        {"repeatline stepping left from the bound",
         {{"REPEATLINE 8 0 8 10 -1 0 -1 0 3 1 0 0 0"}},
         [](MyPDFGenerator &p) {
             SolidLine(p, 1, 558, 756, 558, 36);
             SolidLine(p, 1, 486, 756, 486, 36);
             SolidLine(p, 1, 414, 756, 414, 36);
         }},
        {"text",
         {{"TEXT 1 1 12 1 0 0 0 0", "Hello (world)"}},
         [](MyPDFGenerator &p) {
             p.SetRGBColor(0, 0, 0);
             p.SetFont(1, 12);
             p.SetTextPos(126, 684);
             p.Show("Hello (world)");
         }},

        // Edge cases.
        {"empty list",
         {},
         Nothing,
         {},
         1,
         1,
         [](DrawingWindow &w, const std::string &) {
             // The start font is set and draws nothing.
             EXPECT_EQ(w.fonthandle, 2);
             EXPECT_EQ(w.pdf->fontNum, 2);
             EXPECT_EQ(w.pdf->fontSize, 10);
             EXPECT_EQ(w.usableWidth, 504.0);
             EXPECT_EQ(w.usableHeight, 720.0);
         }},
        {"positions on the bounds",
         {{"LINE 7 10 7 10 1 0 0 0"}, {"CIRCLE 7 10 1 1 0 0 0"}},
         [](MyPDFGenerator &p) {
             DashedLine(p, 1, 558, 36, 558, 36);
             p.SetLineWidth(1);
             p.SetRGBColor(0, 0, 0);
             p.DrawCircle(558, 36, 72);
         }},
        {"positions beyond the bounds",
         {{"LINE 9 11 100 1e6 1 0 0 0"}, {"TEXT 8 1e3 9 3 0 0 0 0", "x"}},
         [](MyPDFGenerator &p) {
             DashedLine(p, 1, 558, 36, 558, 36);
             p.SetRGBColor(0, 0, 0);
             p.SetFont(3, 9);
             p.SetTextPos(558, 36);
             p.Show("x");
         }},
        {"negative positions go into the margins",
         {{"LINE -1 -0.5 -2 -1 1 0 0 0"}},
         [](MyPDFGenerator &p) { DashedLine(p, 1, -18, 792, -90, 828); }},
        {"circle beyond the right edge keeps its radius",
         {{"CIRCLE 10 1 1 1 0 0 0"}},
         [](MyPDFGenerator &p) {
             p.SetLineWidth(1);
             p.SetRGBColor(0, 0, 0);
             p.DrawCircle(558, 684, 72);
         }},
        {"rectangle larger than the usable area is drawn whole",
         {{"RECTANGLE 3.5 5 20 30 1 0 0 0"}},
         [](MyPDFGenerator &p) {
             p.SetLineWidth(1);
             p.SetRGBColor(0, 0, 0);
             p.MoveTo(-414, 1476);
             p.LineTo(1026, 1476);
             p.LineTo(1026, -684);
             p.LineTo(-414, -684);
             p.LineTo(-414, 1476);
             p.Stroke();
         }},
        {"repeatline of number 0 or below draws nothing",
         {{"REPEATLINE 1 1 3 1 0 0 0 0 0 1 0 0 0"},
          {"REPEATLINE 1 1 3 1 0 0 0 0 -2 1 0 0 0"},
          {"REPEATLINE 1 1 3 1 0 0 0 0 0.4 1 0 0 0"}},
         Nothing},
        {"repeatline of number 1 is one solid line",
         {{"REPEATLINE 1 1 3 1 0 0 0 0 1 1 0 0 0"}},
         [](MyPDFGenerator &p) { SolidLine(p, 1, 126, 684, 270, 684); }},
        {"placeholder, unknown and lower-case keywords draw nothing",
         {{" "}, {"ARC 1 1 1 1 0 0 0"}, {"line 1 1 3 1 1 0 0 0"}, {""}, {"LINE1 1 3 1 1 0 0 0"}},
         Nothing},
        {"rows around a placeholder are drawn in order",
         {{"LINE 1 1 3 1 1 0 0 0"}, {" "}, {"CIRCLE 4.25 5.5 1 2 0 0 1"}},
         [](MyPDFGenerator &p) {
             DashedLine(p, 1, 126, 684, 270, 684);
             p.SetLineWidth(2);
             p.SetRGBColor(0, 0, 1);
             p.DrawCircle(360, 360, 72);
         }},
        {"missing and non-numeric fields count as Val makes them",
         {{"LINE 1 1 3 1"}, {"LINE one 1 3x 1 w 0 0 0"}},
         [](MyPDFGenerator &p) {
             DashedLine(p, 0, 126, 684, 270, 684);
             DashedLine(p, 0, 54, 684, 270, 684);
         }},
        {"a line up to a million points long is dashed, a longer one solid",
         {{"LINE 0 0 0 -13888.8 1 0 0 0"}, {"LINE 0 0 0 -13889 1 0 0 0"}},
         [](MyPDFGenerator &p) {
             DashedLine(p, 1, 54, 756, 54, 1000749.6);
             p.SetLineWidth(1);
             p.SetRGBColor(0, 0, 0);
             p.MoveTo(54, 756);
             p.LineTo(54, 1000764);
             p.Stroke();
         }},
        {"text with rotation 90 is drawn horizontally",
         {{"TEXT 1 1 12 1 90 0 0 0", "Up"}},
         [](MyPDFGenerator &p) {
             p.SetRGBColor(0, 0, 0);
             p.SetFont(1, 12);
             p.SetTextPos(126, 684);
             p.Show("Up");
         }},
        {"x scale 50 scales the whole page",
         {{"LINE 1 1 3 1 1 0 0 0"}},
         [](MyPDFGenerator &p) { DashedLine(p, 1, 126, 684, 270, 684); },
         [](DrawingWindow &w) { SetFieldText(w, "EditXScale", "50"); },
         0.5,
         1,
         [](DrawingWindow &, const std::string &file) {
             EXPECT_EQ(MediaBox(file), "[0 0 612 792]") << "the page size stays";
         }},
        {"margins wider than the paper",
         {{"LINE 1 0 2 0 1 0 0 0"}},
         // usableWidth is 612 - 360 - 360 = -108: every x beyond it is drawn at 360 - 108.
         [](MyPDFGenerator &p) { DashedLine(p, 1, 252, 756, 252, 756); },
         [](DrawingWindow &w) {
             SetFieldText(w, "EditLeftMargin", "5");
             SetFieldText(w, "EditRightMargin", "5");
         },
         1,
         1,
         [](DrawingWindow &w, const std::string &) { EXPECT_EQ(w.usableWidth, -108.0); }},
        {"paper below 10 points is raised to 10",
         {{"LINE 0 0 0 0 1 0 0 0"}},
         [](MyPDFGenerator &p) { DashedLine(p, 1, 0, 10, 0, 10); },
         [](DrawingWindow &w) {
             w.ControlByName<rb::PopupMenu>("PopupPaperSize")->SetListIndex(12);
             SetFieldText(w, "EditCustomWidth", "0.1"); // 7 points
             SetFieldText(w, "EditCustomHeight", "-3");
             for (const char *margin :
                  {"EditTopMargin", "EditBottomMargin", "EditLeftMargin", "EditRightMargin"})
                 SetFieldText(w, margin, "");
         },
         1,
         1,
         [](DrawingWindow &w, const std::string &file) {
             EXPECT_EQ(w.paperWidth, 10);
             EXPECT_EQ(w.paperHeight, 10);
             EXPECT_EQ(MediaBox(file), "[0 0 10 10]");
             EXPECT_EQ(Subject(file), "Width: 10  Height: 10");
         }},
        {"landscape letter",
         {{"LINE 0 0 0 0 1 0 0 0"}},
         [](MyPDFGenerator &p) { DashedLine(p, 1, 54, 576, 54, 576); },
         [](DrawingWindow &w) {
             w.ControlByName<rb::PopupMenu>("PopupOrientation")->SetListIndex(1);
         },
         1,
         1,
         [](DrawingWindow &, const std::string &file) {
             EXPECT_EQ(MediaBox(file), "[0 0 792 612]");
             EXPECT_EQ(Subject(file), "Width: 792  Height: 612");
         }},
        {"positions in cm",
         {{"LINE 1 1 2 1 1 0 0 0"}},
         // 28.346457 points per cm, margins of 1 cm.
         [](MyPDFGenerator &p) { DashedLine(p, 1, 56.692914, 735.307086, 85.039371, 735.307086); },
         [](DrawingWindow &w) {
             w.ControlByName<rb::PopupMenu>("PopupUnits")->SetListIndex(1);
             for (const char *margin :
                  {"EditTopMargin", "EditBottomMargin", "EditLeftMargin", "EditRightMargin"})
                 SetFieldText(w, margin, "1");
         }},
        {"huge numbers are bounded by the largest PDF integer",
         {{"LINE 1e999 -1e999 1 1 1e999 1e999 0 0"}, {"CIRCLE -1e999 1 1e300 -1e999 0 0 0"}},
         [](MyPDFGenerator &p) {
             const double largest = 2147483647;
             // A line this long is solid: readers cannot dash it.
             p.SetLineWidth(largest);
             p.SetRGBColor(largest, 0, 0);
             p.MoveTo(558, largest);
             p.LineTo(126, 684);
             p.Stroke();
             p.SetLineWidth(-largest);
             p.SetRGBColor(0, 0, 0);
             p.DrawCircle(-largest, 684, largest);
         }},
    };
    return cases;
}

// The content of a page given the element calls, after the page set-up: the scale, DoPage's
// black and DoGraph's black.
std::string ExpectedContent(const std::function<void(MyPDFGenerator &)> &calls, double scaleX,
                            double scaleY) {
    auto expected = rb::New<MyPDFGenerator>();
    expected->Constructor();
    expected->CreateNew();
    expected->Scale(scaleX, scaleY);
    expected->SetRGBColor(0, 0, 0);
    expected->SetRGBColor(0, 0, 0);
    calls(*expected);
    return expected->stream;
}

// Generates the case's page in the window, to `file`, and checks its content against the
// case's calls and by the case's own checks; returns the content.
std::string DrawAndCompare(DrawingWindow &w, const DrawCase &c, const std::string &file) {
    if (c.setUp)
        c.setUp(w);
    for (const Row &row : c.rows)
        AddElement(w, row.record, row.text);
    w.PushButtonGenerate_Action();
    const std::string expected = ExpectedContent(c.calls, c.scaleX, c.scaleY);

    bool ok = false;
    const std::string content = PageContent(file, &ok);
    EXPECT_TRUE(ok) << "no complete content stream in " << file;
    EXPECT_EQ(content, expected) << "got:\n" << content << "\nexpected:\n" << expected;
    if (c.check)
        c.check(w, file);
    return content;
}

TEST_F(WindowTest, EveryElementRowGetsItsDrawingCalls) {
    for (const DrawCase &c : Cases()) {
        SCOPED_TRACE(c.name);
        rb::Ref<DrawingWindow> w = NewDrawingWindow();
        const std::string file = folder / "untitled.pdf";
        DrawAndCompare(*w, c, file);
        EXPECT_EQ(PdfToolProblems(file), "");
        w->Window::Close();
    }
}

// A number too small to draw, below a millionth of a point on the page (after its scale), is
// written 0: written out whole, 1e-300 takes 302 characters, which MuPDF reads as two numbers.
// Every other number keeps its digits, and none is longer than 32 characters. The tiny values
// come from every kind of element, the margins and the custom paper size.
TEST_F(WindowTest, NumbersTooSmallToDrawAreWrittenAsZero) {
    // The usable area's top-left corner is the page's, so that tiny positions draw tiny:
    // pageX(x) = x and pageY(y) = -y.
    const auto corner = [](DrawingWindow &w) {
        SetFieldText(w, "EditLeftMargin", "0");
        SetFieldText(w, "EditTopMargin", "11");
        SetFieldText(w, "EditBottomMargin", "-0.5");
    };
    const auto leftEdge = [](DrawingWindow &w) { SetFieldText(w, "EditLeftMargin", "0"); };
    const DrawCase cases[] = {
        {"a LINE 1e-300 inches from the left edge",
         {{"LINE 1e-300 1 3 1 1 0 0 0"}},
         [](MyPDFGenerator &p) { DashedLine(p, 1, 0, 684, 216, 684); },
         leftEdge,
         1,
         1,
         [](DrawingWindow &, const std::string &file) {
             // MuPDF reads the line level, at the height of its end.
             std::string trace;
             EXPECT_EQ(RunCommand("mutool trace '" + file + "'", &trace), 0) << trace;
             EXPECT_NE(trace.find("<moveto x=\"0\" y=\"684\"/>"), std::string::npos) << trace;
         }},
        {"every number of a LINE",
         {{"LINE 1e-300 -1e-300 3 1e-300 1e-300 1e-300 1e-300 1e-300"}},
         [](MyPDFGenerator &p) { DashedLine(p, 0, 0, 0, 216, 0); },
         corner},
        {"the positions and steps of a REPEATLINE",
         {{"REPEATLINE 1e-300 0 3 0 1e-300 -1e-300 1e-300 -2e-300 2 1e-300 0 0 0"}},
         [](MyPDFGenerator &p) {
             SolidLine(p, 0, 0, 0, 216, 0);
             SolidLine(p, 0, 0, 0, 216, 0);
         },
         corner},
        {"a CIRCLE's centre and radius; the circle's small offsets stay",
         {{"CIRCLE 1e-300 -1e-300 1e-300 1e-300 0 0 0"}, {"CIRCLE 1e-300 -1e-300 1 1 0 0 0"}},
         [](MyPDFGenerator &p) {
             p.SetLineWidth(0);
             p.SetRGBColor(0, 0, 0);
             p.DrawCircle(0, 0, 0);
             // The quarter points off the axes by a few millionths of a point keep their digits.
             p.SetLineWidth(1);
             p.SetRGBColor(0, 0, 0);
             p.DrawCircle(0, 0, 72);
         },
         corner},
        {"a RECTANGLE's centre and size",
         {{"RECTANGLE 1e-300 -1e-300 1e-300 1e-300 1e-300 0 0 0"}},
         [](MyPDFGenerator &p) {
             p.SetLineWidth(0);
             p.SetRGBColor(0, 0, 0);
             p.MoveTo(0, 0);
             for (int side = 0; side < 4; ++side)
                 p.LineTo(0, 0);
             p.Stroke();
         },
         corner},
        {"a TEXT's position",
         {{"TEXT 1e-300 -1e-300 12 1 0 1e-300 0 0", "tiny"}},
         [](MyPDFGenerator &p) {
             p.SetRGBColor(0, 0, 0);
             p.SetFont(1, 12);
             p.SetTextPos(0, 0);
             p.Show("tiny");
         },
         corner},
        {"a left margin of 5e-324 cm",
         {{"LINE 0 1 2 1 1 0 0 0"}},
         [](MyPDFGenerator &p) { DashedLine(p, 1, 0, 735.307086, 56.692914, 735.307086); },
         [](DrawingWindow &w) {
             w.ControlByName<rb::PopupMenu>("PopupUnits")->SetListIndex(1);
             for (const char *margin : {"EditTopMargin", "EditBottomMargin", "EditRightMargin"})
                 SetFieldText(w, margin, "1");
             SetFieldText(w, "EditLeftMargin", "5e-324");
         }},
        {"a left margin of 1e-100 inches, which a unit change gives back",
         {{"LINE 0 1 3 1 1 0 0 0"}},
         [](MyPDFGenerator &p) { DashedLine(p, 1, 0, 684, 216, 684); },
         [](DrawingWindow &w) { SetFieldText(w, "EditLeftMargin", "1e-100"); },
         1,
         1,
         [](DrawingWindow &w, const std::string &) {
             // Only the page writes it as 0: the field keeps the framework's digits.
             w.ControlByName<rb::PopupMenu>("PopupUnits")->SetListIndex(1);
             w.ControlByName<rb::PopupMenu>("PopupUnits")->SetListIndex(0);
             EXPECT_EQ(FieldText(w, "EditLeftMargin"), rb::Str(1e-100));
         }},
        {"a custom paper of 1e-300 inches a side, raised to 10 points",
         {{"LINE 1e-300 1e-300 1e-300 1e-300 1 0 0 0"}},
         [](MyPDFGenerator &p) { DashedLine(p, 1, 0, 10, 0, 10); },
         [](DrawingWindow &w) {
             w.ControlByName<rb::PopupMenu>("PopupPaperSize")->SetListIndex(12);
             SetFieldText(w, "EditCustomWidth", "1e-300");
             SetFieldText(w, "EditCustomHeight", "1e-300");
             for (const char *margin :
                  {"EditTopMargin", "EditBottomMargin", "EditLeftMargin", "EditRightMargin"})
                 SetFieldText(w, margin, "0");
         },
         1,
         1,
         [](DrawingWindow &, const std::string &file) {
             EXPECT_EQ(MediaBox(file), "[0 0 10 10]");
         }},
        {"at a scale of 1e10 percent, a millionth of a point is smaller",
         // 7.2e-11 points drawn at 0.0072; 7.2e-15 drawn at 7.2e-7.
         {{"LINE 1e-12 1 3 1 1 0 0 0"}, {"LINE 1e-16 1 3 1 1 0 0 0"}},
         [](MyPDFGenerator &p) {
             DashedLine(p, 1, 1e-12 * 72, 684, 216, 684);
             DashedLine(p, 1, 0, 684, 216, 684);
         },
         [](DrawingWindow &w) {
             SetFieldText(w, "EditLeftMargin", "0");
             SetFieldText(w, "EditXScale", "1e10");
             SetFieldText(w, "EditYScale", "1e10");
         },
         1e8,
         1e8},
        {"at the largest scale, numbers below 1e-15 are 0, which keeps them short",
         // 7.2e-15 points keep their digits; -7.11111111191111e-16 would take 33 characters.
         {{"LINE 1e-16 1 3 1 1 0 0 0"}, {"LINE -0.00000000000000000987654321098765 1 3 1 1 0 0 0"}},
         [](MyPDFGenerator &p) {
             DashedLine(p, 1, 1e-16 * 72, 684, 216, 684);
             DashedLine(p, 1, 0, 684, 216, 684);
         },
         [](DrawingWindow &w) {
             SetFieldText(w, "EditLeftMargin", "0");
             SetFieldText(w, "EditXScale", "1e999");
             SetFieldText(w, "EditYScale", "1e999");
         },
         MyPDFGenerator::kLargestNumber,
         MyPDFGenerator::kLargestNumber},
    };
    std::vector<std::string> files;
    for (const DrawCase &c : cases) {
        SCOPED_TRACE(c.name);
        rb::Ref<DrawingWindow> w = NewDrawingWindow();
        files.push_back(folder / ("page-" + std::to_string(files.size()) + ".pdf"));
        w->outputFile = rb::GetFolderItem(files.back());
        const std::string content = DrawAndCompare(*w, c, files.back());
        EXPECT_EQ(NumbersLongerThan(content, 32), "");
        w->Window::Close();
    }
    // Every reader reads every page, all side by side.
    const std::vector<std::string> problems = PdfToolProblems(files);
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(problems[i], "") << cases[i].name;
}

// A page draws at most a million dashes: 2,000 LINEs each just short of the longest dashed one
// would keep a reader busy for minutes. The LINEs are dashed until their dashes would pass the
// budget; that LINE and every later one are solid. A LINE solid for its own length takes
// nothing from the budget.
TEST_F(WindowTest, APageDrawsAtMostAMillionDashesAndTheLinesPastThemSolid) {
    constexpr int kRows = 2000;
    rb::Ref<DrawingWindow> w = NewDrawingWindow();
    AddElement(*w, "LINE 0 0 0 -13889 1 0 0 0"); // 1,000,008 points: solid
    for (int i = 0; i < kRows; ++i)
        AddElement(*w, "LINE 0 1 -13888 1 1 0 0 0"); // 999,936 points: 166,656 dashes
    AddElement(*w, "LINE 1 1 3 1 1 0 0 0");
    w->PushButtonGenerate_Action();
    const std::string expected = ExpectedContent(
        [](MyPDFGenerator &p) {
            SolidLine(p, 1, 54, 756, 54, 1000764);
            // Six lines make 999,936 dashes; a seventh would pass the million.
            for (int i = 0; i < kRows; ++i)
                (i < 6 ? DashedLine : SolidLine)(p, 1, 54, 684, -999882, 684);
            SolidLine(p, 1, 126, 684, 270, 684);
        },
        1, 1);

    const std::string file = folder / "untitled.pdf";
    bool ok = false;
    const std::string content = PageContent(file, &ok);
    ASSERT_TRUE(ok) << "no complete content stream in " << file;
    std::size_t dashed = 0;
    for (std::size_t at = content.find("[3 3] 0 d"); at != std::string::npos;
         at = content.find("[3 3] 0 d", at + 1))
        ++dashed;
    // Checked before the page is rendered, which would take minutes with every line dashed.
    ASSERT_EQ(dashed, 6u) << "dashed lines";
    ASSERT_TRUE(content == expected)
        << "the content differs from byte "
        << std::mismatch(content.begin(), content.end(), expected.begin(), expected.end()).first -
               content.begin();
    EXPECT_EQ(PdfToolProblems(file), "");
}

// Generation reads the list and the set-up and changes neither.
TEST_F(WindowTest, GenerationLeavesTheListAndTheDocumentAlone) {
    rb::Ref<DrawingWindow> w = NewDrawingWindow();
    AddElement(*w, "LINE 1 1 3 1 1 0 0 0");
    AddElement(*w, "TEXT 1 1 12 1 0 0 0 0", "Hi");
    w->PushButtonGenerate_Action();
    auto list = w->ControlByName<rb::Listbox>("ListBox1");
    ASSERT_EQ(list->ListCount(), 2);
    EXPECT_EQ(list->Cell(0, 0), "LINE 1 1 3 1 1 0 0 0");
    EXPECT_EQ(list->Cell(1, 3), "Hi");
    EXPECT_FALSE(w->dirty);
    EXPECT_FALSE(w->thisFile);

    // Real PDF software reads and renders the page.
    std::string output;
    EXPECT_EQ(RunCommand("pdftoppm -r 10 -png untitled.pdf page", &output), 0) << output;
    EXPECT_EQ(output.find("Error"), std::string::npos) << output;
    EXPECT_NE(TempFolder::Get(folder / "page-1.png"), "");
}

} // namespace

// A TEXT's font number comes from a settings file as it stands; one outside the fonts the file
// holds (F0 to F14) draws in the font every page starts with, F2, so that readers draw it.
TEST_F(WindowTest, TextFontNumbersWithoutAFontDrawInThePageStartFont) {
    struct Case {
        const char *font;
        const char *fontLine;
    };
    const Case cases[] = {
        {"15", "/F2 12 Tf"},         {"-3", "/F2 12 Tf"},  {"1e999", "/F2 12 Tf"},
        {"2147483648", "/F2 12 Tf"}, {"12", "/F12 12 Tf"}, {"14", "/F14 12 Tf"},
        {"0", "/F0 12 Tf"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.font);
        rb::Ref<DrawingWindow> w = NewDrawingWindow();
        AddElement(*w, std::string("TEXT 1 1 12 ") + c.font + " 0 0 0 0", "Hi");
        w->PushButtonGenerate_Action();
        bool ok = false;
        const std::string content = PageContent(folder / "untitled.pdf", &ok);
        ASSERT_TRUE(ok);
        EXPECT_NE(content.find(std::string("BT\r") + c.fontLine + "\r"), std::string::npos)
            << content;
        EXPECT_EQ(PdfToolProblems(folder / "untitled.pdf"), "");
        w->Window::Close();
    }
}

// Every number written on the page stays within the largest PDF integer, also where a circle's
// points add a bounded centre and a bounded radius.
TEST_F(WindowTest, EveryNumberOnThePageStaysWithinThePdfIntegerRange) {
    const char *const records[] = {
        "CIRCLE 1e308 1e308 1e400 1 0 0 0",           "CIRCLE -1e308 -1e308 1e400 1 0 0 0",
        "CIRCLE -1e308 1e308 -1e400 1e400 0 0 0",     "CIRCLE 1 1 2147483647 1 0 0 0",
        "RECTANGLE -1e308 1e308 1e400 1e400 1 0 0 0",
    };
    for (const char *record : records) {
        SCOPED_TRACE(record);
        rb::Ref<DrawingWindow> w = NewDrawingWindow();
        AddElement(*w, record);
        w->PushButtonGenerate_Action();
        bool ok = false;
        const std::string content = PageContent(folder / "untitled.pdf", &ok);
        ASSERT_TRUE(ok);
        std::string outside;
        std::size_t numbers = 0;
        for (std::size_t at = 0; at < content.size();) {
            const std::size_t end = std::min(content.find_first_of(" \r", at), content.size());
            const std::string word = content.substr(at, end - at);
            at = end + 1;
            if (word.empty() || word.find_first_not_of("-.0123456789") != std::string::npos)
                continue;
            ++numbers;
            if (std::abs(rb::Val(word)) > 2147483647.0)
                outside += word + " ";
        }
        EXPECT_GT(numbers, 30u);
        EXPECT_EQ(outside, "") << content;
        w->Window::Close();
    }
}
