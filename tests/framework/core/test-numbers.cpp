// test-numbers.cpp -- Str, Format, Val and ToInt32, as tables of named cases. Str and Format
// are checked in both their forms: returning a text, and appending to a buffer.
#include "rb/text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

using namespace rb;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();

// Str(value) is `expected`, and so is what AppendStr adds to a buffer that holds text already.
void ExpectStr(double value, const std::string &expected, const std::string &name) {
    EXPECT_EQ(Str(value), expected) << name;
    std::string buffer = "held, ";
    AppendStr(buffer, value);
    EXPECT_EQ(buffer, "held, " + expected) << name << " (appended)";
}

void ExpectFormat(double value, const char *pattern, const std::string &expected,
                  const std::string &name) {
    EXPECT_EQ(Format(value, pattern), expected)
        << name << ": Format(" << value << ", \"" << pattern << "\")";
    std::string buffer = "held, ";
    AppendFormat(buffer, value, pattern);
    EXPECT_EQ(buffer, "held, " + expected) << name << " (appended)";
}

struct StrCase {
    const char *name;
    double value;
    const char *expected;
};

TEST(Str, DoubleTable) {
    const StrCase cases[] = {
        {"a half", 8.5, "8.5"},
        {"a whole number", 11.0, "11"},
        {"inches to cm", 0.75 * 2.54, "1.905"},
        {"tiny, no exponent", 1e-7, "0.0000001"},
        {"huge, no exponent", 1e20, "100000000000000000000"},
        {"zero", 0.0, "0"},
        {"negative zero", -0.0, "0"},
        {"NaN", kNaN, "0"},
        {"negative", -2.5, "-2.5"},
        {"a tenth", 0.1, "0.1"},
        {"a third, 15 digits", 1.0 / 3.0, "0.333333333333333"},
        {"two thirds rounds", 2.0 / 3.0, "0.666666666666667"},
        {"beyond 15 digits", 123456789012345678.0, "123456789012346000"},
        {"cm unit", 28.346457, "28.346457"},
        {"colour fraction", 128 / 255.0, "0.501960784313725"},
        {"one", 1.0, "1"},
        {"a hundred", 100.0, "100"},
        {"1e15", 1e15, "1000000000000000"},
        {"small fraction", 0.000123, "0.000123"},
        {"0.1 + 0.2", 0.1 + 0.2, "0.3"},
        {"negative small", -0.0001, "-0.0001"},
        {"points", 595.2756, "595.2756"},
        {"rounds up to a power of ten", 9.9999999999999999e5, "1000000"},
        {"15 nines round up to a power of ten", 99999.9999999999951, "100000"},
        {"an exact tie goes to the even digit, down", 10000000000000.25, "10000000000000.2"},
        {"an exact tie goes to the even digit, up", 10000000000000.75, "10000000000000.8"},
        {"a tie beyond the exact range", 100000000000000.5, "100000000000000"},
        {"a page coordinate", 755.99928, "755.99928"},
        {"a running sum", 0.1 + 0.2 + 0.3 + 0.4 + 0.5 + 0.6 + 0.7, "2.8"},
        {"just below 1e14", 99999999999999.9, "99999999999999.9"},
        {"1e14", 1e14, "100000000000000"},
        {"just above 1e-7", 1.0000000000000002e-7, "0.0000001"},
        {"just below 1e-7", 9.999999999999999e-8, "0.0000001"},
    };
    for (const auto &c : cases)
        ExpectStr(c.value, c.expected, c.name);
}

// The reference for values below 10^15: 15 significant digits as to_chars rounds them, written
// out positionally.
std::string FifteenDigits(double v) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
    const std::string sci(buf, res.ptr);
    const int exponent = std::stoi(sci.substr(sci.find('e') + 1));
    res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed,
                        std::max(0, 14 - exponent));
    std::string fixed(buf, res.ptr);
    if (fixed.find('.') != std::string::npos) {
        fixed.erase(fixed.find_last_not_of('0') + 1);
        if (fixed.back() == '.')
            fixed.pop_back();
    }
    return fixed;
}

TEST(Str, AgreesWithCorrectRoundingAcrossMagnitudes) {
    // Values of every size a page is made of and beyond (2^-40 to 2^49), spread over their
    // binary digits.
    std::uint64_t state = 12345;
    for (int i = 0; i < 200000; ++i) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        const double mantissa = 1.0 + static_cast<double>(state >> 11) / 9007199254740992.0;
        const double value = std::ldexp(mantissa, static_cast<int>(state % 89) - 40);
        ASSERT_EQ(Str(value), FifteenDigits(value)) << "value " << value;
        std::string negative = FifteenDigits(value);
        negative.insert(negative.begin(), '-');
        ASSERT_EQ(Str(-value), negative) << "value " << -value;
    }
}

TEST(Str, InfinitiesAndExtremes) {
    // An infinity gives the largest finite value's digits (15 significant, then zeros).
    const std::string big = Str(kInf);
    EXPECT_EQ(big.size(), 309u) << big;
    EXPECT_EQ(big.substr(0, 15), "179769313486232");
    EXPECT_EQ(big.find_first_not_of('0', 15), std::string::npos);
    EXPECT_EQ(Str(-kInf), "-" + big);
    EXPECT_EQ(Str(kMax), big);
    const std::string tiny = Str(5e-324);
    EXPECT_EQ(tiny.find_first_of("eE"), std::string::npos) << tiny;
    EXPECT_EQ(tiny.substr(0, 2), "0.");
    EXPECT_EQ(tiny.substr(tiny.size() - 15), "494065645841247");
}

TEST(Str, NeverExponentNanOrComma) {
    const double values[] = {1e-300, 1e300, -1e-20, 123.456e50, kNaN, kInf, 6.02214076e23};
    for (double v : values) {
        const std::string s = Str(v);
        EXPECT_EQ(s.find_first_of("eE,naif"), std::string::npos) << "got " << s;
    }
}

TEST(Str, Int32Table) {
    EXPECT_EQ(Str(std::int32_t{0}), "0");
    EXPECT_EQ(Str(std::int32_t{-5}), "-5");
    EXPECT_EQ(Str(std::int32_t{22}), "22");
    EXPECT_EQ(Str(std::numeric_limits<std::int32_t>::min()), "-2147483648");
    EXPECT_EQ(Str(std::numeric_limits<std::int32_t>::max()), "2147483647");
}

TEST(Str, ColourComponentsSurviveTheTripThroughText) {
    for (int i = 0; i <= 255; ++i) {
        const std::string text = Str(i / 255.0);
        EXPECT_EQ(ToInt32(Val(text) * 255), i) << "component " << i << " as " << text;
    }
    EXPECT_EQ(ToInt32(Val(Str(128 / 255.0)) * 255), 128);
}

TEST(Str, ShortestFormReadsBack) {
    EXPECT_EQ(Val(Str(0.75 * 2.54)) / 2.54, 0.75);
    const double values[] = {0.1, 72.0, 28.346457, 8.5, 1e-7, 0.123456789012345};
    for (double v : values)
        EXPECT_EQ(Val(Str(v)), v) << Str(v);
}

struct FormatCase {
    const char *name;
    double value;
    const char *pattern;
    const char *expected;
};

TEST(Format, PatternTable) {
    const FormatCase cases[] = {
        // The six patterns of the PDF writer.
        {"colour", 0.5, "0.00", "0.50"},
        {"colour one", 1.0, "0.00", "1.00"},
        {"colour rounds half up", 0.125, "0.00", "0.13"},
        {"decimal halves as Str shows them", 1.005, "0.00", "1.01"},
        {"negative rounds away from zero", -0.125, "0.00", "-0.13"},
        {"negative that rounds to zero has no sign", -0.001, "0.00", "0.00"},
        {"negative half rounds away", -0.005, "0.00", "-0.01"},
        {"negative zero", -0.0, "0.00", "0.00"},
        {"NaN formats as zero", kNaN, "0.00", "0.00"},
        {"scale", 1.23456789, "0.00000", "1.23457"},
        {"scale one", 1.0, "0.00000", "1.00000"},
        {"xref offset", 12345, "0000000000", "0000012345"},
        {"xref zero", 0, "0000000000", "0000000000"},
        {"xref ten digits", 9876543210.0, "0000000000", "9876543210"},
        {"more digits than places are kept", 123456789012.0, "0000000000", "123456789012"},
        {"xref rounds", 12345.5, "0000000000", "0000012346"},
        {"year", 2024, "0000", "2024"},
        {"month", 7, "00", "07"},
        {"more than two digits", 123, "00", "123"},
        {"negative with two places", -7, "00", "-07"},
        {"rotation", 0.70710678118654757, "-00000.00000000", "00000.70710678"},
        {"rotation negative", -0.70710678118654757, "-00000.00000000", "-00000.70710678"},
        {"rotation larger", -123.5, "-00000.00000000", "-00123.50000000"},
        {"rotation tiny negative is zero", -1e-12, "-00000.00000000", "00000.00000000"},
        {"sign place, positive", 7, "-00", "07"},
        // The general grammar.
        {"integer rounding", 1.5, "0", "2"},
        {"integer rounding negative", -1.5, "0", "-2"},
        {"integer half", 2.5, "0", "3"},
        {"hash shows a digit", 0.5, "#", "1"},
        {"hash integer", 1234.5, "#", "1235"},
        {"hash fraction trimmed", 1.5, "#.##", "1.5"},
        {"hash fraction gone with its point", 1.0, "#.##", "1"},
        {"mixed fraction", 3.14159, "0.0#", "3.14"},
        {"mixed fraction short", 3.1, "0.0#", "3.1"},
        {"mixed fraction zero", 3.0, "0.0#", "3.0"},
        {"hash before zero", 5, "#0.00", "5.00"},
        {"literal text", 5, "0 pt", "5 pt"},
        {"literal prefix", 5, "x0", "x5"},
        {"large value", 1e20, "0", "100000000000000000000"},
        {"rounding carries", 9.999, "0.00", "10.00"},
        {"rounding carries to a new digit", 99.5, "00", "100"},
        {"no decimals in pattern", 0.49, "0", "0"},
        {"group mark between digits", 1234.5, "#,##0.00", "1,234.50"},
        {"group mark without a digit to its left", 123, "#,##0", "123"},
        {"digits beyond the places keep one mark", 12345, "#,##0", "12,345"},
    };
    for (const auto &c : cases)
        ExpectFormat(c.value, c.pattern, c.expected, c.name);
}

TEST(Format, GroupsEveryDigitOfTheIntegerPart) {
    const FormatCase cases[] = {
        {"millions", 1234567, "#,##0", "1,234,567"},
        {"billions", 1234567890, "#,##0", "1,234,567,890"},
        {"a whole group of zeros", 1000000, "#,##0", "1,000,000"},
        {"with decimals", 1234567.891, "#,##0.00", "1,234,567.89"},
        {"negative", -1234567, "#,##0", "-1,234,567"},
        {"negative with a sign place", -1234567.25, "-#,##0.0", "-1,234,567.3"},
        {"a small number has no mark", 5, "#,##0", "5"},
        {"zero", 0, "#,##0.00", "0.00"},
        {"below one", 0.5, "#,##0.00", "0.50"},
        {"exactly one group", 999, "#,##0", "999"},
        {"one digit past a group", 1000, "#,##0", "1,000"},
        {"rounding carries into a new group", 999999.996, "#,##0.00", "1,000,000.00"},
        {"groups of the places after the last mark", 1234567, "#,#0", "1,23,45,67"},
        {"zeros before the mark fill their places", 12, "0,000", "0,012"},
    };
    for (const auto &c : cases)
        ExpectFormat(c.value, c.pattern, c.expected, c.name);
}

TEST(Format, EmptyPatternIsStr) { ExpectFormat(8.5, "", "8.5", "empty pattern"); }

TEST(Format, InfinityIsTheLargestFiniteValue) {
    const std::string digits = "179769313486232" + std::string(294, '0');
    ExpectFormat(kInf, "0.00", digits + ".00", "infinity");
    ExpectFormat(-kInf, "0", "-" + digits, "negative infinity");
}

struct ValCase {
    const char *name;
    const char *text;
    double expected;
};

TEST(Val, Table) {
    const ValCase cases[] = {
        {"empty", "", 0},
        {"letters", "abc", 0},
        {"leading blank", " 12", 12},
        {"leading tab", "\t12", 12},
        {"comma stops", "1,5", 1},
        {"exponent", "1e3", 1000},
        {"upper exponent", "1E2", 100},
        {"nan is no number", "nan", 0},
        {"inf is no number", "inf", 0},
        {"overflow is finite", "1e999", kMax},
        {"negative overflow", "-1e999", -kMax},
        {"huge exponent digits", "1e99999999999999999999", kMax},
        {"underflow", "1e-999", 0},
        {"zero with big exponent", "0e99999", 0},
        {"trailing letters", "12abc", 12},
        {"negative", "-3.5", -3.5},
        {"plus", "+2", 2},
        {"leading point", ".5", 0.5},
        {"trailing point", "5.", 5},
        {"exponent without digits", "1e", 1},
        {"exponent sign without digits", "1e+", 1},
        {"second point stops", "1.2.3", 1.2},
        {"sign then blank", "- 5", 0},
        {"hex is not read", "0x10", 0},
        {"all parts", "  -0.75e1x", -7.5},
        {"many digits", "123456789012345678901234567890", 1.2345678901234568e29},
        {"leading zeros", "00012", 12},
        {"lone point", ".", 0},
        {"lone sign", "-", 0},
        {"colour text", "0.501960784313725", 0.501960784313725},
        {"blank then newline", " \n5", 0},
    };
    for (const auto &c : cases) {
        const double got = Val(c.text);
        EXPECT_EQ(got, c.expected) << c.name << ": Val(\"" << c.text << "\")";
        EXPECT_TRUE(std::isfinite(got)) << c.name;
    }
}

struct ToInt32Case {
    const char *name;
    double value;
    std::int32_t expected;
};

TEST(ToInt32, Table) {
    constexpr std::int32_t kMaxI = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMinI = std::numeric_limits<std::int32_t>::min();
    const ToInt32Case cases[] = {
        {"half", 0.5, 1},
        {"negative half", -0.5, -1},
        {"two and a half", 2.5, 3},
        {"negative two and a half", -2.5, -3},
        {"below half", 1.4999, 1},
        {"just below half", 0.49999999999999994, 0},
        {"NaN", kNaN, 0},
        {"beyond the range", 1e10, kMaxI},
        {"beyond the range, negative", -1e10, kMinI},
        {"infinity", kInf, kMaxI},
        {"negative infinity", -kInf, kMinI},
        {"max and a bit", 2147483647.4, kMaxI},
        {"rounds to max", 2147483646.6, kMaxI},
        {"min and a bit", -2147483648.4, kMinI},
        {"rounds below min", -2147483648.6, kMinI},
        {"zero", 0.0, 0},
        {"negative zero", -0.0, 0},
        {"colour", 0.501960784313725 * 255, 128},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ToInt32(c.value), c.expected) << c.name << ": ToInt32(" << c.value << ")";
}

// Under a comma locale (the suite runs once with LC_ALL=de_DE.UTF-8, and this test switches
// to it itself when the machine has it), nothing changes.
TEST(Numbers, IndependentOfTheCLocale) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const bool comma = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    if (comma) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.1f", 1.5);
        EXPECT_STREQ(buf, "1,5") << "the comma locale is not in force";
    }
    EXPECT_EQ(Str(8.5), "8.5");
    EXPECT_EQ(Str(0.75 * 2.54), "1.905");
    EXPECT_EQ(Format(0.5, "0.00"), "0.50");
    EXPECT_EQ(Format(-0.70710678118654757, "-00000.00000000"), "-00000.70710678");
    EXPECT_EQ(Val("1.5"), 1.5);
    EXPECT_EQ(Val("1,5"), 1);
    std::setlocale(LC_ALL, before.c_str());
    if (!comma)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed; checked in the current locale only";
}

} // namespace
