// numbers.cpp -- numbers to text and back: ToInt32, Str, Format, Val.
//
// Every conversion works on the number's digits itself (exact integer arithmetic, or
// std::to_chars / std::from_chars), never through the C locale, so a comma locale changes
// nothing here. Str and Format append to a caller's buffer and build no text of their own, so
// that a page of a million numbers is not a million allocations.
#include "rb/text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

namespace rb {

namespace {

constexpr int kSignificantDigits = 15;

// A finite, non-negative double as decimal digits: the value is 0.d1 d2 ... dn x 10^exponent,
// with at most 15 significant digits, correctly rounded (an exact tie to the even digit), and
// no trailing zeros. Zero has no digits. Lives on the stack: converting a number allocates
// nothing.
struct Decimal {
    char digits[kSignificantDigits];
    int count = 0;
    int exponent = 0;

    // The digit at the decimal place 10^place; '0' where the value has no digit.
    char Digit(int place) const {
        const int i = exponent - 1 - place;
        return i >= 0 && i < count ? digits[i] : '0';
    }
    // Digits before the point (none for zero and for values below 1).
    int IntegerDigits() const { return count == 0 ? 0 : std::max(exponent, 0); }
    void TrimZeros() {
        while (count > 0 && digits[count - 1] == '0')
            --count;
    }
};

#ifdef __SIZEOF_INT128__
// 10^0 to 10^22, exactly.
constexpr auto kPowersOfTen = [] {
    std::array<unsigned __int128, 23> powers{};
    unsigned __int128 p = 1;
    for (auto &power : powers) {
        power = p;
        p *= 10;
    }
    return powers;
}();

// "00" to "99".
constexpr auto kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// Writes the n decimal digits of v, leading zeros included, to out[0] ... out[n - 1], two at
// a time from the right.
void WriteDigits(char *out, std::uint32_t v, int n) {
    for (; n >= 2; v /= 100) {
        n -= 2;
        const std::size_t pair = 2 * (v % 100);
        out[n] = kDigitPairs[pair];
        out[n + 1] = kDigitPairs[pair + 1];
    }
    if (n == 1)
        out[0] = static_cast<char>('0' + v);
}

// The digits of the magnitudes a page is made of, 10^-7 to 10^14, by exact integer arithmetic
// (several times faster than the general conversion, same digits): the double is
// mantissa / 2^shift exactly, so mantissa x 10^k / 2^shift, rounded to the nearest integer, is
// its 15 significant digits for the k that puts that quotient between 10^14 and 10^15. False
// outside that range.
bool ToDecimalExact(double magnitude, Decimal &d) {
    if (!(magnitude >= 1e-7 && magnitude < 1e14))
        return false;
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{1} << 52;
    const int shift = 1075 - static_cast<int>(bits >> 52); // 6 to 76 in this range
    const unsigned __int128 lowest = kPowersOfTen[kSignificantDigits - 1];
    const unsigned __int128 limit = kPowersOfTen[kSignificantDigits];

    // The number of integer digits, first estimated from the binary exponent (1233 / 4096 is
    // log10(2) closely enough for these exponents), then settled on the truncated quotient.
    int exponent = ((52 - shift) * 1233 >> 12) + 1;
    unsigned __int128 scaled = 0;
    for (;;) {
        scaled = mantissa * kPowersOfTen[static_cast<std::size_t>(kSignificantDigits - exponent)];
        const unsigned __int128 truncated = scaled >> shift;
        if (truncated >= limit)
            ++exponent;
        else if (truncated < lowest)
            --exponent;
        else
            break;
    }

    // Round the quotient to the nearest integer, an exact half to the even one.
    auto q = static_cast<std::uint64_t>(scaled >> shift);
    const unsigned __int128 remainder = scaled & ((static_cast<unsigned __int128>(1) << shift) - 1);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    if (remainder > half || (remainder == half && (q & 1) != 0))
        ++q;
    if (q == limit) { // 9.99...95 rounds up to the next power of ten
        q = static_cast<std::uint64_t>(lowest);
        ++exponent;
    }
    // Fifteen digits as seven and eight, in 32-bit arithmetic.
    WriteDigits(d.digits, static_cast<std::uint32_t>(q / 100000000), 7);
    WriteDigits(d.digits + 7, static_cast<std::uint32_t>(q % 100000000), 8);
    d.count = kSignificantDigits;
    d.exponent = exponent;
    d.TrimZeros();
    return true;
}
#else
bool ToDecimalExact(double, Decimal &) { return false; }
#endif

Decimal ToDecimal(double magnitude) {
    Decimal d;
    if (magnitude == 0 || ToDecimalExact(magnitude, d))
        return d;
    // Scientific form with 14 digits after the point is exactly 15 significant digits,
    // rounded by to_chars itself: "d.dddddddddddddde+XX".
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific,
                                   kSignificantDigits - 1);
    const char *e = std::find(buf, res.ptr, 'e');
    for (const char *p = buf; p < e; ++p)
        if (*p != '.')
            d.digits[d.count++] = *p;
    int exp10 = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), res.ptr, exp10);
    d.exponent = exp10 + 1;
    d.TrimZeros();
    return d;
}

// Rounds to `decimals` places after the point, halves away from zero, on the decimal digits
// themselves: 1.005 to two places is 1.01.
void RoundToPlaces(Decimal &d, int decimals) {
    const int keep = d.exponent + decimals; // the digits that stay
    if (keep >= d.count)
        return;
    if (keep < 0) { // even the first digit lies beyond the next place: the value rounds to 0
        d.count = 0;
        return;
    }
    const bool up = d.digits[keep] >= '5';
    d.count = keep;
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[i] == '9')
            --i;
        if (i < 0) { // all nines (or nothing) carry into a new leading digit
            d.digits[0] = '1';
            d.count = 1;
            ++d.exponent;
        } else {
            ++d.digits[i];
            d.count = i + 1;
        }
    }
    d.TrimZeros();
}

// NaN counts as 0 and an infinity as the largest finite value, with its sign.
double Finite(double x) {
    if (std::isnan(x))
        return 0;
    if (std::isinf(x))
        return std::copysign(std::numeric_limits<double>::max(), x);
    return x;
}

bool IsDigitPlaceholder(char c) { return c == '0' || c == '#'; }

// A "," between two characters of the pattern's integer part is a group mark.
bool IsGroupMark(std::string_view integerPattern, std::size_t i) {
    return integerPattern[i] == ',' && i > 0 && i + 1 < integerPattern.size();
}

// The integer part through the pattern's integer part, filled from the right: "0" always
// shows a digit, "#" only a significant one, and the digits beyond the places go before the
// leftmost one. A group mark shows only with a digit to its left; the digits beyond the places
// are grouped as the places after the last mark are ("#,##0": in threes). Built back to front
// in `out` and turned round at the end.
void AppendIntegerPart(std::string &out, const Decimal &d, std::string_view pattern) {
    const std::size_t firstPlaceholder = static_cast<std::size_t>(
        std::find_if(pattern.begin(), pattern.end(), IsDigitPlaceholder) - pattern.begin());
    int groupSize = 0;
    for (std::size_t i = pattern.size(); i-- > 0 && !IsGroupMark(pattern, i);)
        groupSize += IsDigitPlaceholder(pattern[i]) ? 1 : 0;
    bool anyMark = false;
    for (std::size_t i = 0; i < pattern.size(); ++i)
        anyMark = anyMark || IsGroupMark(pattern, i);
    if (!anyMark)
        groupSize = 0;

    const std::size_t begin = out.size();
    const int digits = d.IntegerDigits();
    int place = 0; // the next digit to place, counted from the point
    int pendingMarks = 0;
    int sinceMark = 0; // digits placed since the last mark shown
    auto putDigit = [&](char digit) {
        if (pendingMarks > 0) {
            out.append(static_cast<std::size_t>(pendingMarks), ',');
            pendingMarks = 0;
            sinceMark = 0;
        }
        out.push_back(digit);
        ++sinceMark;
    };
    for (std::size_t i = pattern.size(); i-- > 0;) {
        const char c = pattern[i];
        if (IsGroupMark(pattern, i)) {
            ++pendingMarks;
            continue;
        }
        if (!IsDigitPlaceholder(c)) {
            out.push_back(c);
            continue;
        }
        if (place < digits)
            putDigit(d.Digit(place++));
        else if (c == '0')
            putDigit('0');
        if (i == firstPlaceholder) {
            for (; place < digits; ++place) {
                if (groupSize > 0 && sinceMark == groupSize)
                    ++pendingMarks;
                putDigit(d.Digit(place));
            }
        }
    }
    for (; place < digits; ++place) // a pattern without places: the digits go first
        out.push_back(d.Digit(place));
    std::reverse(out.begin() + static_cast<std::ptrdiff_t>(begin), out.end());
}

// The fraction part through the pattern after its point, from the left; trailing zeros in "#"
// places are dropped, and the point goes with them when no fraction digit is left.
void AppendFractionPart(std::string &out, const Decimal &d, std::string_view pattern,
                        int decimals) {
    int shown = decimals;
    for (std::size_t i = pattern.size(); i-- > 0 && shown > 0;) {
        if (!IsDigitPlaceholder(pattern[i]))
            continue;
        if (pattern[i] == '0' || d.Digit(-shown) != '0')
            break;
        --shown;
    }
    if (shown > 0 || decimals == 0)
        out.push_back('.');
    int k = 0;
    for (const char c : pattern) {
        if (!IsDigitPlaceholder(c)) {
            out.push_back(c);
            continue;
        }
        if (k < shown)
            out.push_back(d.Digit(-(k + 1)));
        ++k;
    }
}

} // namespace

std::int32_t ToInt32(double x) {
    if (std::isnan(x))
        return 0;
    const double r = std::round(x); // halves away from zero
    if (r >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (r <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

void AppendStr(std::string &out, double x) {
    x = Finite(x);
    const Decimal d = ToDecimal(std::fabs(x));
    if (d.count == 0) { // zero, negative zero included
        out.push_back('0');
        return;
    }
    // At most 341 bytes: "-0.", 323 zeros and the 15 digits of the smallest double.
    char text[348];
    char *end = text;
    if (x < 0)
        *end++ = '-';
    const int n = d.count;
    const int e = d.exponent; // the digits before the point, when positive
    if (e <= 0) {             // 0.000ddd
        *end++ = '0';
        *end++ = '.';
        end = std::fill_n(end, -e, '0');
        end = std::copy_n(d.digits, n, end);
    } else if (e >= n) { // ddd000
        end = std::copy_n(d.digits, n, end);
        end = std::fill_n(end, e - n, '0');
    } else { // dd.ddd
        end = std::copy_n(d.digits, e, end);
        *end++ = '.';
        end = std::copy_n(d.digits + e, n - e, end);
    }
    out.append(text, end);
}

std::string Str(double x) {
    std::string out;
    AppendStr(out, x);
    return out;
}

std::string Str(std::int32_t n) {
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, n);
    return std::string(buf, res.ptr);
}

void AppendFormat(std::string &out, double x, std::string_view pattern) {
    if (pattern.empty()) {
        AppendStr(out, x);
        return;
    }
    x = Finite(x);

    // The pattern's parts: an optional leading sign place, the integer part up to the first
    // ".", the fraction part after it.
    const std::size_t start = pattern[0] == '-' ? 1 : 0;
    const std::size_t point = pattern.find('.', start);
    const std::size_t intEnd = point == std::string_view::npos ? pattern.size() : point;
    const std::string_view fractionPattern =
        point == std::string_view::npos ? std::string_view() : pattern.substr(point + 1);
    int decimals = 0;
    for (const char c : fractionPattern)
        decimals += IsDigitPlaceholder(c) ? 1 : 0;

    // The value as Str sees it (15 significant digits), rounded to the pattern's decimals.
    Decimal d = ToDecimal(std::fabs(x));
    RoundToPlaces(d, decimals);
    if (x < 0 && d.count > 0)
        out.push_back('-');
    AppendIntegerPart(out, d, pattern.substr(start, intEnd - start));
    if (point != std::string_view::npos)
        AppendFractionPart(out, d, fractionPattern, decimals);
}

std::string Format(double x, const std::string &pattern) {
    std::string out;
    AppendFormat(out, x, pattern);
    return out;
}

double Val(const std::string &text) {
    const char *p = text.data();
    const char *end = p + text.size();
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // The longest leading number: digits, an optional point and fraction, and an exponent
    // only when it has digits.
    const char *numStart = p;
    const char *q = p;
    bool digits = false;
    bool nonZeroDigit = false;
    std::int64_t leadingExponent = 0; // decimal position of the first non-zero digit
    bool seenPoint = false;
    for (; q < end; ++q) {
        if (*q >= '0' && *q <= '9') {
            digits = true;
            if (*q != '0' && !nonZeroDigit)
                nonZeroDigit = true;
            if (!seenPoint && nonZeroDigit)
                ++leadingExponent;
            else if (seenPoint && !nonZeroDigit)
                --leadingExponent;
        } else if (*q == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    std::int64_t exponent = 0;
    if (q < end && (*q == 'e' || *q == 'E')) {
        const char *r = q + 1;
        bool expNegative = false;
        if (r < end && (*r == '+' || *r == '-')) {
            expNegative = *r == '-';
            ++r;
        }
        if (r < end && *r >= '0' && *r <= '9') {
            for (; r < end && *r >= '0' && *r <= '9'; ++r)
                if (exponent < 100000)
                    exponent = exponent * 10 + (*r - '0');
            if (expNegative)
                exponent = -exponent;
            q = r;
        }
    }
    double value = 0;
    auto res = std::from_chars(numStart, q, value, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Beyond the double range: the largest finite value, or 0 for an underflow.
        value = nonZeroDigit && leadingExponent + exponent > 0 ? std::numeric_limits<double>::max()
                                                               : 0.0;
    } else if (res.ec != std::errc()) {
        value = 0;
    }
    if (!std::isfinite(value))
        value = std::numeric_limits<double>::max();
    return negative ? -value : value;
}

} // namespace rb
