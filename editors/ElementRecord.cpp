// ElementRecord.cpp -- colours to and from record fields, and the description patterns.
#include "ElementRecord.h"

#include "App.h"

namespace {

double Fraction(std::uint8_t component) { return static_cast<double>(component) / 255.0; }

std::int32_t Component(const std::string &record, std::int32_t field) {
    return rb::ToInt32(rb::Val(rb::NthField(record, " ", field)) * 255.0);
}

} // namespace

std::string ColorFields(rb::Color color) {
    return rb::Str(Fraction(color.red)) + " " + rb::Str(Fraction(color.green)) + " " +
           rb::Str(Fraction(color.blue));
}

std::string ColorText(double red, double green, double blue) {
    return App()->mystring(red) + " " + App()->mystring(green) + " " + App()->mystring(blue);
}

std::string ColorText(rb::Color color) {
    return ColorText(Fraction(color.red), Fraction(color.green), Fraction(color.blue));
}

rb::Color ColorOfFields(const std::string &record, std::int32_t first) {
    return rb::RGB(Component(record, first), Component(record, first + 1),
                   Component(record, first + 2));
}

std::string ExpandPattern(std::string_view pattern,
                          const std::function<std::string(std::string_view key)> &value) {
    std::string text;
    std::size_t at = 0;
    while (at < pattern.size()) {
        const std::size_t open = pattern.find('{', at);
        const std::size_t close =
            open == std::string_view::npos ? open : pattern.find('}', open + 1);
        if (close == std::string_view::npos) {
            text += pattern.substr(at);
            break;
        }
        text += pattern.substr(at, open - at);
        text += value(pattern.substr(open + 1, close - open - 1));
        at = close + 1;
    }
    return text;
}
