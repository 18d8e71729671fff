// MyPDFGenerator-geometry.cpp -- the operators that compute geometry: circles and rotated text.
//
// Every product, quotient, sum and difference is its own double operation in the order written,
// so that the numbers, and therefore the bytes of the page, are the same on every build.
#include "MyPDFGenerator.h"

#include "App.h"

#include "rb/system.h"
#include "rb/text.h"

#include <cmath>

using namespace content_numbers;

namespace {

// The value of pi the page geometry is computed with; the coordinates it gives are part of
// the file's bytes, so it is not replaced by a more precise one.
constexpr double kPi = 3.1415927;
// A quarter arc's control points lie this fraction of the radius from its end points.
constexpr double kCircleFactor = 0.5522847498;

struct Point {
    double x;
    double y;
};

} // namespace

void MyPDFGenerator::DrawCircle(double x, double y, double radius) {
    for (int quarter = 0; quarter < 4; ++quarter) {
        // The quarter's end angles, clockwise from straight up (y grows upwards).
        const double i = quarter;
        const double a0 = (kPi * i) / 2.0;
        const double a1 = (kPi * (i + 1.0)) / 2.0;
        const Point p0{(std::sin(a0) * radius) + x, (std::cos(a0) * radius) + y};
        const Point p1{(std::sin(a1) * radius) + x, (std::cos(a1) * radius) + y};
        const double d = kCircleFactor * radius;

        // The control points lie along the tangents at the two ends.
        Point c1{};
        Point c2{};
        switch (quarter) {
        case 0: // top to right
            c1 = {p0.x + d, p0.y};
            c2 = {p1.x, p1.y + d};
            break;
        case 1: // right to bottom
            c1 = {p0.x, p0.y - d};
            c2 = {p1.x + d, p1.y};
            break;
        case 2: // bottom to left
            c1 = {p0.x - d, p0.y};
            c2 = {p1.x, p1.y - d};
            break;
        default: // left to top
            c1 = {p0.x, p0.y + d};
            c2 = {p1.x - d, p1.y};
            break;
        }

        AddLine(T(p0.x), " ", T(p0.y), " m");
        AddLine(T(c1.x), " ", T(c1.y), " ", T(c2.x), " ", T(c2.y), " ", T(p1.x), " ", T(p1.y),
                " c");
    }
    AddLine(" S");
}

void MyPDFGenerator::ShowRotated(const std::string &text, double angle, double x, double y) {
    static const char *const kPattern = "-00000.00000000";
    const double t = (angle * kPi) / 180.0;
    AddLine("BT");
    AddFontLine();
    AddLine(F(std::cos(t), kPattern), " ", F(std::sin(t), kPattern), " ", F(-std::sin(t), kPattern),
            " ", F(std::cos(t), kPattern), " ", T(x), " ", T(y), " Tm");
    AddLine(T(textX), " ", T(textY), " Td");
    AddLine("(", LiteralString(text), ") Tj");
    AddLine("ET");
}

void MyPDFGenerator::DrawRotatedText(const std::string &text, double x, double y, double radius,
                                     double angle, std::int32_t size) {
    const std::int32_t n = rb::Len(text);
    const std::int32_t font = FindFont("Helvetica-Bold", "host", 0);
    SetFont(font, static_cast<double>(size));
    const double w = StringWidth(text, font, size);
    // The angle one character's width takes on the circle, and the direction of the first
    // character: half the text's arc before the centre direction.
    const double count = static_cast<double>(n);
    const double step = (360.0 * (w / count)) / ((kPi * 2.0) * radius);
    double a = angle + ((step * count) * 0.5);
    // Each character stands on the circle, turned to follow it, a step clockwise from the last.
    for (std::int32_t i = 1; i <= n; ++i) {
        SetTextPos(0.0, radius);
        ShowRotated(rb::Mid(text, i, 1), a, x, y);
        a = a - step;
        rb::RuntimeBackgroundTask();
    }
}
