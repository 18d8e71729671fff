// numbers.cpp -- numbers to text and back: ToInt32, Str, Format, Val.
//
// Every conversion goes through std::to_chars / std::from_chars, which never look at the C
// locale, so a comma locale changes nothing here.
#include "rb/text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

namespace rb {

namespace {

// A finite, non-negative double as decimal digits: the value is 0.digits x 10^exponent, with
// at most 15 significant digits (correctly rounded) and no trailing zeros. Zero gives "".
struct Decimal {
    std::string digits;
    int exponent = 0;
};

Decimal ToDecimal(double magnitude) {
    Decimal d;
    if (magnitude == 0)
        return d;
    // Scientific form with 14 digits after the point is exactly 15 significant digits,
    // rounded by to_chars itself: "d.dddddddddddddde+XX".
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 14);
    std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    std::size_t e = text.find('e');
    for (std::size_t i = 0; i < e; ++i)
        if (text[i] != '.')
            d.digits.push_back(text[i]);
    int exp10 = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0), text.data() + text.size(),
                    exp10);
    d.exponent = exp10 + 1;
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

// Splits a decimal into its integer digits (no leading zeros, "" for none) and all of its
// fraction digits.
void SplitDecimal(const Decimal &d, std::string &integer, std::string &fraction) {
    integer.clear();
    fraction.clear();
    if (d.digits.empty())
        return;
    const int n = static_cast<int>(d.digits.size());
    if (d.exponent <= 0) {
        fraction.assign(static_cast<std::size_t>(-d.exponent), '0');
        fraction += d.digits;
    } else if (d.exponent >= n) {
        integer = d.digits;
        integer.append(static_cast<std::size_t>(d.exponent - n), '0');
    } else {
        integer = d.digits.substr(0, static_cast<std::size_t>(d.exponent));
        fraction = d.digits.substr(static_cast<std::size_t>(d.exponent));
    }
}

// Adds one to a string of decimal digits ("" counts as 0).
void Increment(std::string &digits) {
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

bool IsDigitPlaceholder(char c) { return c == '0' || c == '#'; }

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

std::string Str(double x) {
    if (std::isnan(x))
        return "0";
    if (std::isinf(x))
        x = std::copysign(std::numeric_limits<double>::max(), x);
    std::string integer, fraction;
    SplitDecimal(ToDecimal(std::fabs(x)), integer, fraction);
    if (integer.empty() && fraction.empty())
        return "0"; // zero, negative zero included
    std::string out;
    if (x < 0)
        out.push_back('-');
    out += integer.empty() ? "0" : integer;
    if (!fraction.empty()) {
        out.push_back('.');
        out += fraction;
    }
    return out;
}

std::string Str(std::int32_t n) {
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, n);
    return std::string(buf, res.ptr);
}

std::string Format(double x, const std::string &pattern) {
    if (pattern.empty())
        return Str(x);
    if (std::isnan(x))
        x = 0;
    if (std::isinf(x))
        x = std::copysign(std::numeric_limits<double>::max(), x);

    // The pattern's parts: an optional leading sign place, the integer part up to the first
    // ".", the fraction part after it.
    const bool signPlace = pattern[0] == '-';
    const std::size_t start = signPlace ? 1 : 0;
    const std::size_t point = pattern.find('.', start);
    const std::size_t intEnd = point == std::string::npos ? pattern.size() : point;
    int decimals = 0;
    if (point != std::string::npos)
        for (std::size_t i = point + 1; i < pattern.size(); ++i)
            decimals += IsDigitPlaceholder(pattern[i]) ? 1 : 0;

    // Round the value as Str sees it (15 significant digits) to the pattern's decimals,
    // halves away from zero, on the decimal digits themselves: 1.005 with "0.00" gives 1.01.
    std::string integer, fraction;
    SplitDecimal(ToDecimal(std::fabs(x)), integer, fraction);
    const auto keep = static_cast<std::size_t>(decimals);
    if (fraction.size() > keep) {
        const bool up = fraction[keep] >= '5';
        fraction.resize(keep);
        if (up) {
            std::string all = integer + fraction;
            Increment(all);
            integer = all.substr(0, all.size() - keep);
            fraction = all.substr(all.size() - keep);
        }
    }
    fraction.resize(keep, '0');
    while (!integer.empty() && integer[0] == '0')
        integer.erase(0, 1);
    const bool isZero = integer.empty() && fraction.find_first_not_of('0') == std::string::npos;
    const bool negative = x < 0 && !isZero;

    // The integer part, filled from the right: "0" always shows a digit, "#" only a
    // significant one; digits beyond the placeholders go before the leftmost one.
    std::size_t firstPlaceholder = std::string::npos;
    for (std::size_t i = start; i < intEnd; ++i)
        if (IsDigitPlaceholder(pattern[i])) {
            firstPlaceholder = i;
            break;
        }
    // A "," between placeholders is a group mark: shown only with a digit to its left.
    std::string intOut;
    std::size_t next = integer.size(); // digits of `integer` not yet placed: [0, next)
    std::size_t pendingMarks = 0;
    auto putDigit = [&](char digit) {
        intOut.insert(0, pendingMarks, ',');
        pendingMarks = 0;
        intOut.insert(intOut.begin(), digit);
    };
    for (std::size_t i = intEnd; i-- > start;) {
        const char c = pattern[i];
        if (c == ',' && i > start && i + 1 < intEnd) {
            ++pendingMarks;
            continue;
        }
        if (!IsDigitPlaceholder(c)) {
            intOut.insert(intOut.begin(), c);
            continue;
        }
        if (next > 0)
            putDigit(integer[--next]);
        else if (c == '0')
            putDigit('0');
        if (i == firstPlaceholder && next > 0) {
            intOut.insert(0, integer, 0, next);
            next = 0;
        }
    }
    if (next > 0)
        intOut.insert(0, integer, 0, next); // a pattern without integer placeholders

    // The fraction part, from the left; trailing zeros in "#" places are dropped, and the
    // point goes with them when no fraction digit is left.
    std::string fracOut;
    if (point != std::string::npos) {
        std::size_t lastShown = fraction.size();
        for (std::size_t i = pattern.size(), k = fraction.size(); i-- > point + 1;) {
            if (!IsDigitPlaceholder(pattern[i]))
                continue;
            --k;
            if (pattern[i] == '0' || fraction[k] != '0')
                break;
            lastShown = k;
        }
        std::size_t k = 0;
        bool anyDigit = false;
        for (std::size_t i = point + 1; i < pattern.size(); ++i) {
            const char c = pattern[i];
            if (!IsDigitPlaceholder(c)) {
                fracOut.push_back(c);
                continue;
            }
            if (k < lastShown) {
                fracOut.push_back(fraction[k]);
                anyDigit = true;
            }
            ++k;
        }
        if (anyDigit || decimals == 0)
            fracOut.insert(fracOut.begin(), '.');
    }

    std::string out;
    if (negative)
        out.push_back('-');
    out += intOut;
    out += fracOut;
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
