// test-operators.cpp -- the writer's state and the exact text of every content operator.
#include "pdf-test-support.h"

#include "rb/text.h"

#include <cctype>
#include <cmath>
#include <functional>
#include <sstream>

namespace {

// The lines of a content stream, each without its carriage return. A line end other than a
// single CR shows up as a line holding "\n".
std::vector<std::string> Lines(const std::string &content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find('\r', start);
        if (end == std::string::npos) {
            lines.push_back(content.substr(start) + "<no CR>");
            break;
        }
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The numbers of a line, in order (operators and brackets skipped).
std::vector<double> Numbers(const std::string &line) {
    std::vector<double> numbers;
    std::istringstream in(line);
    std::string word;
    while (in >> word) {
        if (!word.empty() && (std::isdigit(static_cast<unsigned char>(word.back())) != 0))
            numbers.push_back(rb::Val(word));
    }
    return numbers;
}

struct OperatorCase {
    const char *name;
    std::function<void(MyPDFGenerator &)> run;
    std::string expected;
};

class OperatorText : public PdfTest {};

TEST_F(OperatorText, EachOperatorAppendsItsExactLines) {
    const OperatorCase cases[] = {
        {"SetRGBColor writes RG then rg", [](auto &p) { p.SetRGBColor(1, 0.5, 0.25); },
         "1.00 0.50 0.25 RG\r1.00 0.50 0.25 rg\r"},
        {"SetRGBColor rounds to two decimals", [](auto &p) { p.SetRGBColor(0.125, 0.333, 0); },
         "0.13 0.33 0.00 RG\r0.13 0.33 0.00 rg\r"},
        {"SetLineWidth", [](auto &p) { p.SetLineWidth(0.5); }, "0.5 w\r"},
        {"MoveTo", [](auto &p) { p.MoveTo(10, 20.25); }, "10 20.25 m\r"},
        {"LineTo negative", [](auto &p) { p.LineTo(-3.5, 0); }, "-3.5 0 l\r"},
        {"Stroke with nothing drawn", [](auto &p) { p.Stroke(); }, "S\r"},
        {"Scale 1 1 has two blanks before 0 0 cm", [](auto &p) { p.Scale(1, 1); },
         "1.00000 0 0 1.00000  0 0 cm\r"},
        {"Scale", [](auto &p) { p.Scale(0.5, 1.25); }, "0.50000 0 0 1.25000  0 0 cm\r"},
        {"SetDash solid ignores phase", [](auto &p) { p.SetDash(0, 0, 5); }, "[ ] 0 d\r"},
        {"SetDash on 0 off 3", [](auto &p) { p.SetDash(0, 3, 0); }, "[0 3] 0 d\r"},
        {"SetDash on 3 off 0", [](auto &p) { p.SetDash(3, 0, 2); }, "[3 0] 2 d\r"},
        {"SetDash", [](auto &p) { p.SetDash(4, 2, 1); }, "[4 2] 1 d\r"},
        {"Show before SetFont and SetTextPos", [](auto &p) { p.Show("Hi"); },
         "BT\r/F0 0 Tf\r0 0 Td\r(Hi) Tj\rET\r"},
        {"Show empty text at a rounded size",
         [](auto &p) {
             p.SetFont(5, 12.6);
             p.SetTextPos(72, 700.5);
             p.Show("");
         },
         "BT\r/F5 13 Tf\r72 700.5 Td\r() Tj\rET\r"},
        {"Show escapes backslash and parentheses only", [](auto &p) { p.Show("a(b)c\\d  e%"); },
         "BT\r/F0 0 Tf\r0 0 Td\r(a\\(b\\)c\\\\d  e%) Tj\rET\r"},
        {"Show writes MacRoman bytes",
         [](auto &p) { p.Show("Caf\xC3\xA9 \xC3\x9C\xE2\x80\xA0\xC2\xA0"); },
         "BT\r/F0 0 Tf\r0 0 Td\r(Caf\x8E \x86\xA0\xCA) Tj\rET\r"},
        {"Show writes ? for what MacRoman lacks",
         [](auto &p) { p.Show("\xE2\x82\xAC\xE2\x89\xA4\xE4\xB8\xAD\xFFx"); },
         "BT\r/F0 0 Tf\r0 0 Td\r(????x) Tj\rET\r"},
        {"HandleOutTextMode on a fresh writer", [](auto &p) { p.HandleOutTextMode(); }, ""},
        {"HandleInTextMode and HandleOutTextMode open and close once",
         [](auto &p) {
             p.SetFont(3, 9);
             p.HandleInTextMode();
             p.HandleInTextMode();
             p.HandleOutTextMode();
             p.HandleOutTextMode();
         },
         "BT\r/F3 9 Tf\rET\r"},
        {"DrawCircle of radius 0 is nine lines at the centre",
         [](auto &p) { p.DrawCircle(100, 200, 0); },
         "100 200 m\r100 200 100 200 100 200 c\r"
         "100 200 m\r100 200 100 200 100 200 c\r"
         "100 200 m\r100 200 100 200 100 200 c\r"
         "100 200 m\r100 200 100 200 100 200 c\r"
         " S\r"},
    };
    for (const OperatorCase &c : cases) {
        auto writer = rb::New<MyPDFGenerator>();
        writer->Constructor();
        c.run(*writer);
        EXPECT_EQ(writer->stream, c.expected) << c.name;
    }
}

// A number below a millionth of a point as drawn is written 0, every other one with Str's
// digits; a page's scale draws the content larger, and so a smaller number too, down to 1e-15,
// which takes 32 characters with its sign. Patterns keep their own digits.
TEST_F(OperatorText, NumbersTooSmallToDrawAreWrittenAsZero) {
    const OperatorCase cases[] = {
        {"below a millionth", [](auto &p) { p.MoveTo(9.99e-7, -1e-300); }, "0 0 m\r"},
        {"a millionth and more keep their digits",
         [](auto &p) { p.LineTo(1e-6, -0.00000123456789012345); },
         "0.000001 -0.00000123456789012345 l\r"},
        {"every number of a circle", [](auto &p) { p.DrawCircle(5e-324, -1e-7, 1e-300); },
         "0 0 m\r0 0 0 0 0 0 c\r0 0 m\r0 0 0 0 0 0 c\r"
         "0 0 m\r0 0 0 0 0 0 c\r0 0 m\r0 0 0 0 0 0 c\r S\r"},
        {"widths and text positions",
         [](auto &p) {
             p.SetLineWidth(-4e-7);
             p.SetTextPos(1e-20, 2);
             p.Show("");
         },
         "0 w\rBT\r/F0 0 Tf\r0 2 Td\r() Tj\rET\r"},
        {"a scale of 1000 draws a thousandth of a millionth",
         [](auto &p) {
             p.Scale(0.5, -1000);
             p.MoveTo(1e-9, 9e-10);
         },
         "0.50000 0 0 -1000.00000  0 0 cm\r0.000000001 0 m\r"},
        {"a scale below 1 keeps the millionth",
         [](auto &p) {
             p.Scale(0.001, 0.001);
             p.MoveTo(9e-7, 1e-6);
         },
         "0.00100 0 0 0.00100  0 0 cm\r0 0.000001 m\r"},
        {"the largest scale stops at 1e-15",
         [](auto &p) {
             p.Scale(1e300, 1);
             p.LineTo(-1.23456789012345e-15, 9.99999999999999e-16);
         },
         "2147483647.00000 0 0 1.00000  0 0 cm\r-0.00000000000000123456789012345 0 l\r"},
        {"the next page starts unscaled",
         [](auto &p) {
             p.Scale(1000, 1000);
             p.CreateNew();
             p.MoveTo(1e-9, 1e-6);
         },
         "0 0.000001 m\r"},
        {"patterns round a tiny value", [](auto &p) { p.SetRGBColor(1e-300, -1e-300, 0.004); },
         "0.00 0.00 0.00 RG\r0.00 0.00 0.00 rg\r"},
    };
    for (const OperatorCase &c : cases) {
        auto writer = rb::New<MyPDFGenerator>();
        writer->Constructor();
        c.run(*writer);
        EXPECT_EQ(writer->stream, c.expected) << c.name;
    }
}

TEST_F(OperatorText, MoveToAndLineToKeepTheLastPoint) {
    pdf->MoveTo(1.5, 2.5);
    EXPECT_EQ(pdf->xPos, 1.5);
    EXPECT_EQ(pdf->yPos, 2.5);
    pdf->LineTo(-7, 8);
    EXPECT_EQ(pdf->xPos, -7);
    EXPECT_EQ(pdf->yPos, 8);
}

TEST_F(OperatorText, ShowLeavesTheTextModeAlone) {
    pdf->HandleInTextMode();
    pdf->Show("x");
    EXPECT_TRUE(pdf->inTextMode);
    pdf->HandleOutTextMode();
    EXPECT_FALSE(pdf->inTextMode);
    EXPECT_EQ(Lines(pdf->stream).back(), "ET");
}

TEST_F(OperatorText, DrawCircleStrokesFourQuartersOfTheCircle) {
    const double x = 100, y = 200, r = 50;
    pdf->DrawCircle(x, y, r);
    const auto lines = Lines(pdf->stream);
    ASSERT_EQ(lines.size(), 9u) << pdf->stream;
    EXPECT_EQ(lines[0], "100 250 m");
    EXPECT_EQ(lines[8], " S");

    // Quarter ends on the circle: top, right, bottom, left, top; the control points d along
    // the tangents at each end.
    const double d = 0.5522847498 * r;
    const double ends[5][2] = {{x, y + r}, {x + r, y}, {x, y - r}, {x - r, y}, {x, y + r}};
    const double tangents[4][2][2] = {
        {{d, 0}, {0, d}}, {{0, -d}, {d, 0}}, {{-d, 0}, {0, -d}}, {{0, d}, {-d, 0}}};
    for (std::size_t q = 0; q < 4; ++q) {
        const std::string &moveLine = lines[2 * q];
        const std::string &curveLine = lines[2 * q + 1];
        const auto move = Numbers(moveLine);
        const auto curve = Numbers(curveLine);
        ASSERT_EQ(move.size(), 2u) << moveLine;
        ASSERT_EQ(curve.size(), 6u) << curveLine;
        EXPECT_TRUE(moveLine.ends_with(" m")) << moveLine;
        EXPECT_TRUE(curveLine.ends_with(" c")) << curveLine;
        const double expected[8] = {ends[q][0],
                                    ends[q][1],
                                    ends[q][0] + tangents[q][0][0],
                                    ends[q][1] + tangents[q][0][1],
                                    ends[q + 1][0] + tangents[q][1][0],
                                    ends[q + 1][1] + tangents[q][1][1],
                                    ends[q + 1][0],
                                    ends[q + 1][1]};
        const double got[8] = {move[0],  move[1],  curve[0], curve[1],
                               curve[2], curve[3], curve[4], curve[5]};
        for (std::size_t k = 0; k < 8; ++k)
            EXPECT_NEAR(got[k], expected[k], 1e-5) << "quarter " << q << " number " << k << ": got "
                                                   << got[k] << ", expected " << expected[k];
    }
}

TEST_F(OperatorText, DrawCircleWithANegativeRadiusIsTheReflectedCircle) {
    auto positive = rb::New<MyPDFGenerator>();
    positive->DrawCircle(30, 40, 12);
    pdf->DrawCircle(30, 40, -12);
    const auto a = Lines(positive->stream);
    const auto b = Lines(pdf->stream);
    ASSERT_EQ(b.size(), 9u);
    EXPECT_EQ(b[0], "30 28 m");
    for (std::size_t i = 0; i < 8; ++i) {
        const auto pa = Numbers(a[i]);
        const auto pb = Numbers(b[i]);
        ASSERT_EQ(pa.size(), pb.size()) << b[i];
        for (std::size_t k = 0; k < pa.size(); ++k) {
            const double centre = k % 2 == 0 ? 30 : 40;
            EXPECT_NEAR(pb[k], 2 * centre - pa[k], 1e-9) << "line " << i << ": " << b[i];
        }
    }
    // Two circles in a row: two complete paths, two strokes.
    pdf->DrawCircle(0, 0, 1);
    EXPECT_EQ(Lines(pdf->stream).size(), 18u);
}

TEST_F(OperatorText, ShowRotatedWritesTheRotationMatrix) {
    const std::string p = "-00000.00000000";
    pdf->SetFont(6, 11);
    pdf->SetTextPos(2, 3.5);
    pdf->ShowRotated("a)", 0, 10, 20);
    const std::string one = rb::Format(1, p), zero = rb::Format(0, p);
    EXPECT_EQ(pdf->stream, "BT\r/F6 11 Tf\r" + one + " " + zero + " " + rb::Format(-0.0, p) + " " +
                               one + " 10 20 Tm\r2 3.5 Td\r(a\\)) Tj\rET\r");

    // At 90 degrees the cosine of the slightly large pi is a small negative number.
    auto turned = rb::New<MyPDFGenerator>();
    turned->ShowRotated("\xC3\xA9", 90, 0, 0);
    const auto lines = Lines(turned->stream);
    ASSERT_EQ(lines.size(), 6u);
    const std::string smallNegative = rb::Format(-0.00000002, p);
    EXPECT_EQ(smallNegative.front(), '-');
    EXPECT_EQ(lines[2], smallNegative + " " + one + " " + rb::Format(-1, p) + " " + smallNegative +
                            " 0 0 Tm");
    EXPECT_EQ(lines[4], "(\x8E) Tj");
}

TEST_F(OperatorText, DrawRotatedTextGivesOneTextObjectPerCharacter) {
    const std::string text = "Ab(\xC3\xA9"; // 4 characters, 5 bytes
    const double radius = 100, angle = 30;
    pdf->SetFont(9, 20);
    pdf->DrawRotatedText(text, 50, 60, radius, angle, 12);
    const auto lines = Lines(pdf->stream);
    ASSERT_EQ(lines.size(), 24u) << pdf->stream;
    EXPECT_EQ(pdf->fontNum, 0);
    EXPECT_EQ(pdf->fontSize, 12);
    EXPECT_EQ(pdf->textX, 0);
    EXPECT_EQ(pdf->textY, radius);

    // Character i (from 0) starts at angle + step * (n / 2 - i), step the angle of one
    // character width (0.6 of the size) on the circle, so the text's middle lies on the
    // direction angle; the matrix turns by that angle.
    const double pi = 3.1415927;
    const double step = (360.0 * (0.6 * 12)) / (2 * pi * radius);
    const char *const shown[] = {"(A) Tj", "(b) Tj", "(\\() Tj", "(\x8E) Tj"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(lines[6 * i], "BT");
        EXPECT_EQ(lines[6 * i + 1], "/F0 12 Tf");
        EXPECT_EQ(lines[6 * i + 3], "0 100 Td");
        EXPECT_EQ(lines[6 * i + 4], shown[i]);
        EXPECT_EQ(lines[6 * i + 5], "ET");
        const auto m = Numbers(lines[6 * i + 2]);
        ASSERT_EQ(m.size(), 6u) << lines[6 * i + 2];
        const double a = (angle + step * (2.0 - static_cast<double>(i))) * pi / 180.0;
        EXPECT_NEAR(m[0], std::cos(a), 1e-8) << lines[6 * i + 2];
        EXPECT_NEAR(m[1], std::sin(a), 1e-8) << lines[6 * i + 2];
        EXPECT_EQ(m[4], 50);
        EXPECT_EQ(m[5], 60);
    }
}

// A malformed sequence is as many characters as it has bytes, and each is drawn as one "?": the
// count that spaces the characters and the glyphs written agree.
TEST_F(OperatorText, DrawRotatedTextGivesEachByteOfMalformedUtf8ItsOwnPlace) {
    const std::string text = "a\xED\xA0\x80"
                             "b\xE0\x80\x80"; // a surrogate, an overlong NUL
    EXPECT_EQ(rb::Len(text), 8);
    pdf->DrawRotatedText(text, 0, 0, 100, 0, 12);
    const auto lines = Lines(pdf->stream);
    ASSERT_EQ(lines.size(), 48u) << pdf->stream;
    std::string shown;
    for (std::size_t i = 0; i < 8; ++i)
        shown += lines[6 * i + 4] + " ";
    EXPECT_EQ(shown, "(a) Tj (?) Tj (?) Tj (?) Tj (b) Tj (?) Tj (?) Tj (?) Tj ");
    pdf->stream.clear();
    pdf->Show(text);
    EXPECT_EQ(Lines(pdf->stream).at(3), "(a???b??"
                                        "?) Tj"); // split: no trigraph
}

TEST_F(OperatorText, DrawRotatedTextOfNothingOnlySetsTheFont) {
    pdf->SetFont(4, 9);
    pdf->SetTextPos(7, 8);
    pdf->DrawRotatedText("", 0, 0, 10, 0, 14);
    EXPECT_EQ(pdf->stream, "");
    EXPECT_EQ(pdf->fontNum, 0);
    EXPECT_EQ(pdf->fontSize, 14);
    EXPECT_EQ(pdf->textX, 7);
}

TEST_F(OperatorText, StringWidthCountsCharacters) {
    EXPECT_EQ(pdf->StringWidth("", 0, 10), 0);
    EXPECT_EQ(pdf->StringWidth("abcd", 0, 10), 24);
    EXPECT_EQ(pdf->StringWidth("abcd", 13, 10), 24);
    EXPECT_EQ(pdf->StringWidth("Caf\xC3\xA9", 0, 10), 24);
}

TEST_F(OperatorText, ConstructorSetsThePaperSizes) {
    struct Size {
        const char *name;
        std::int32_t got, expected;
    };
    const MyPDFGenerator &p = *pdf;
    const Size sizes[] = {
        {"letterWidth", p.letterWidth, 612},  {"letterHeight", p.letterHeight, 792},
        {"legalWidth", p.legalWidth, 612},    {"legalHeight", p.legalHeight, 1008},
        {"ledgerWidth", p.ledgerWidth, 1224}, {"ledgerHeight", p.ledgerHeight, 792},
        {"A0Width", p.A0Width, 2380},         {"A0Height", p.A0Height, 3368},
        {"A1Width", p.A1Width, 1684},         {"A1Height", p.A1Height, 2380},
        {"A2Width", p.A2Width, 1190},         {"A2Height", p.A2Height, 1684},
        {"A3Width", p.A3Width, 842},          {"A3Height", p.A3Height, 1190},
        {"A4Width", p.A4Width, 595},          {"A4Height", p.A4Height, 842},
        {"A5Width", p.A5Width, 421},          {"A5Height", p.A5Height, 595},
        {"A6Width", p.A6Width, 297},          {"A6Height", p.A6Height, 421},
        {"B5Width", p.B5Width, 501},          {"B5Height", p.B5Height, 709},
        {"p11x17width", p.p11x17width, 1224}, {"p11x17height", p.p11x17height, 792},
    };
    for (const Size &s : sizes)
        EXPECT_EQ(s.got, s.expected) << s.name;
    EXPECT_EQ(p.objectOffsets.size(), 201u);
}

TEST_F(OperatorText, CreateNewStartsAPageAndKeepsTheFont) {
    pdf->SetFont(7, 10);
    pdf->SetTextPos(5, 6);
    pdf->HandleInTextMode();
    pdf->numObjects = 22;
    pdf->currentFileLength = 1234;
    EXPECT_EQ(pdf->CreateNew(), 0);
    EXPECT_EQ(pdf->stream, "");
    EXPECT_EQ(pdf->numObjects, 0);
    EXPECT_EQ(pdf->currentFileLength, 0);
    EXPECT_FALSE(pdf->inTextMode);
    pdf->Show("x");
    EXPECT_EQ(pdf->stream, "BT\r/F7 10 Tf\r5 6 Td\r(x) Tj\rET\r");
}

TEST_F(OperatorText, TheFixedAnswers) {
    EXPECT_EQ(pdf->FindFont("", "", 1), 0);
    EXPECT_EQ(pdf->FindFont("Helvetica-Bold", "host", 0), 0);
    const auto file = rb::FolderItem::FromPath("/tmp/x.pdf");
    EXPECT_EQ(pdf->OpenFilename(file), 0);
    EXPECT_EQ(pdf->theFile, file);
    EXPECT_EQ(pdf->OpenFilename(nullptr), 0);
    EXPECT_EQ(pdf->theFile, nullptr);
    pdf->SetParameter("compatibility", "1.4");
    pdf->SetInfo("Title", "x");
    pdf->InitGraphics();
    pdf->EndPage();
    pdf->Delete();
    EXPECT_EQ(pdf->stream, "");
}

TEST_F(OperatorText, AddFourBytesIsLeastSignificantByteFirst) {
    struct Case {
        std::int32_t n;
        std::string expected;
    };
    const Case cases[] = {
        {0, std::string(4, '\0')},
        {0x024A0126, std::string("\x26\x01\x4A\x02", 4)},
        {255, std::string("\xFF\0\0\0", 4)},
        {-1, "\xFF\xFF\xFF\xFF"},
        {INT32_MIN, std::string("\0\0\0\x80", 4)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Hex(pdf->AddFourBytes(c.n)), Hex(c.expected)) << "n = " << c.n;
}

} // namespace
