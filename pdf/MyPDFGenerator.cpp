// MyPDFGenerator.cpp -- the writer object: set-up, page framing and the content operators.
//
// Each operator builds each of its lines whole, ending in one carriage return, and appends it
// with one AddToStream call. Numbers become text at the point of use through the App object,
// written straight into the line being built.
#include "MyPDFGenerator.h"

#include "App.h"
#include "MacRoman.h"

#include "rb/text.h"

#include <algorithm>
#include <cmath>

using namespace content_numbers;

double MyPDFGenerator::Bounded(double value) {
    if (value > kLargestNumber)
        return kLargestNumber;
    if (value < -kLargestNumber)
        return -kLargestNumber;
    return value;
}

void MyPDFGenerator::Constructor() {
    static constexpr std::int32_t kPaperSizes[] = {
        612,  792,  // Letter
        612,  1008, // Legal
        1224, 792,  // Ledger
        2380, 3368, // A0
        1684, 2380, // A1
        1190, 1684, // A2
        842,  1190, // A3
        595,  842,  // A4
        421,  595,  // A5
        297,  421,  // A6
        501,  709,  // B5
        1224, 792,  // B (USA), 11 x 17
    };
    std::int32_t *const properties[] = {
        &letterWidth, &letterHeight, &legalWidth, &legalHeight, &ledgerWidth, &ledgerHeight,
        &A0Width,     &A0Height,     &A1Width,    &A1Height,    &A2Width,     &A2Height,
        &A3Width,     &A3Height,     &A4Width,    &A4Height,    &A5Width,     &A5Height,
        &A6Width,     &A6Height,     &B5Width,    &B5Height,    &p11x17width, &p11x17height,
    };
    static_assert(std::size(kPaperSizes) == std::size(properties));
    for (std::size_t i = 0; i < std::size(properties); ++i)
        *properties[i] = kPaperSizes[i];
    numObjects = 0;
    currentFileLength = 0;
    stream.clear();
    inTextMode = false;
}

std::int32_t MyPDFGenerator::CreateNew() {
    numObjects = 0;
    currentFileLength = 0;
    // The last page's content is dropped together with its buffer, so a writer that once
    // wrote a huge page does not keep that memory for the window's life.
    std::string().swap(stream);
    inTextMode = false;
    smallestNumber_ = kSmallestDrawn; // until the page's Scale
    return 0;
}

void MyPDFGenerator::SetParameter(const std::string &, const std::string &) {}

std::int32_t MyPDFGenerator::OpenFilename(rb::Ref<rb::FolderItem> file) {
    theFile = std::move(file);
    return 0;
}

void MyPDFGenerator::SetInfo(const std::string &, const std::string &) {}

void MyPDFGenerator::BeginPage(std::int32_t width, std::int32_t height) {
    pageWidth = width;
    pageHeight = height;
}

void MyPDFGenerator::InitGraphics() {}

void MyPDFGenerator::EndPage() {}

void MyPDFGenerator::Delete() {}

std::int32_t MyPDFGenerator::FindFont(const std::string &, const std::string &, std::int32_t) {
    return 0;
}

void MyPDFGenerator::SetFont(std::int32_t font, double size) {
    fontNum = font >= 0 && font < kFontResources ? font : kPageStartFont;
    fontSize = rb::ToInt32(size);
}

void MyPDFGenerator::SetTextPos(double x, double y) {
    textX = x;
    textY = y;
}

double MyPDFGenerator::StringWidth(const std::string &text, std::int32_t, std::int32_t size) {
    const auto n = static_cast<double>(rb::Len(text));
    return ((n * 600.0) * static_cast<double>(size)) / 1000.0;
}

void MyPDFGenerator::AddToStream(const std::string &text) { stream += text; }

void MyPDFGenerator::AppendPiece(const ContentNumber &number) {
    // Every number of a content line is bounded here, where it is written: a circle's points
    // add a centre and a radius that are each within range. A pattern's decimals keep a tiny
    // value short; without one, a value too small to draw is written 0.
    double value = Bounded(number.value);
    if (number.pattern) {
        App()->AppendMyformatstring(line_, value, number.pattern);
        return;
    }
    if (std::fabs(value) < smallestNumber_)
        value = 0;
    App()->AppendMystring(line_, value);
}

void MyPDFGenerator::SetRGBColor(double red, double green, double blue) {
    // The two lines differ only in their operator; the components are converted once.
    BuildLine(F(red, "0.00"), " ", F(green, "0.00"), " ", F(blue, "0.00"), " RG");
    AddToStream(line_);
    line_.replace(line_.size() - 3, 2, "rg");
    AddToStream(line_);
}

void MyPDFGenerator::SetLineWidth(double width) { AddLine(T(width), " w"); }

void MyPDFGenerator::MoveTo(double x, double y) {
    xPos = x;
    yPos = y;
    AddLine(T(xPos), " ", T(yPos), " m");
}

void MyPDFGenerator::LineTo(double x, double y) {
    xPos = x;
    yPos = y;
    AddLine(T(xPos), " ", T(yPos), " l");
}

void MyPDFGenerator::Stroke() { AddLine("S"); }

void MyPDFGenerator::Scale(double sx, double sy) {
    AddLine(F(sx, "0.00000"), " 0 0 ", F(sy, "0.00000"), " ", " 0 0 cm");
    // A page scaled up draws a smaller number as large as a millionth of a point, down to the
    // smallest number written at all; a page scaled down keeps the bound of an unscaled one.
    const double magnification = std::max({1.0, std::fabs(Bounded(sx)), std::fabs(Bounded(sy))});
    smallestNumber_ = std::max(smallestNumber_ / magnification, kSmallestWritten);
}

void MyPDFGenerator::SetDash(std::int32_t on, std::int32_t off, std::int32_t phase) {
    if (on == 0 && off == 0)
        AddLine("[ ] 0 d");
    else
        AddLine("[", T(on), " ", T(off), "] ", T(phase), " d");
}

void MyPDFGenerator::Show(const std::string &text) {
    AddLine("BT");
    AddFontLine();
    AddLine(T(textX), " ", T(textY), " Td");
    AddLine("(", LiteralString(text), ") Tj");
    AddLine("ET");
}

void MyPDFGenerator::HandleInTextMode() {
    if (!inTextMode) {
        AddLine("BT");
        AddFontLine();
    }
    inTextMode = true;
}

void MyPDFGenerator::HandleOutTextMode() {
    if (inTextMode)
        AddLine("ET");
    inTextMode = false;
}

void MyPDFGenerator::AddFontLine() { AddLine("/F", T(fontNum), " ", T(fontSize), " Tf"); }

std::string MyPDFGenerator::LiteralString(const std::string &text) {
    const std::string bytes = Utf8ToMacRoman(text);
    std::string literal;
    literal.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        if (c == '\\' || c == '(' || c == ')')
            literal.push_back('\\');
        literal.push_back(c);
    }
    return literal;
}
