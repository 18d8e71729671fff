// text.h -- text and number functions.
//
// Strings are byte strings (std::string) holding UTF-8. Byte functions (LenB, ReplaceAllB)
// work on bytes; character functions (Len, Mid) count UTF-8 characters. Every number that
// becomes text goes through Str or Format, which never depend on the C locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rb {

// The one double-to-int32 conversion: to the nearest integer, halves away from zero,
// saturating at the int32 range; NaN gives 0.
std::int32_t ToInt32(double x);

// A double as text: "." as the decimal point, at most 15 significant digits, no trailing
// zeros and no trailing ".", plain positional digits (never an exponent), "-" only before a
// negative number (so -0 gives "0"). NaN gives "0"; an infinity gives the largest finite
// value's digits with its sign.
std::string Str(double x);
std::string Str(std::int32_t n);
// Str(x) appended to `out`, without a text of its own: for callers that build long texts.
void AppendStr(std::string &out, double x);

// A double through a pattern: "0" an always-shown digit, "#" a digit shown when significant,
// "." the decimal point, a leading "-" marks the place of the sign. The value is rounded to the
// pattern's decimals, halves away from zero, on its decimal digits as Str shows them (15
// significant digits), so Format(1.005, "0.00") is "1.01"; a negative result always gets its
// "-", in front when the pattern has no "-" (a value that rounds to zero shows no sign:
// Format(-0.001, "0.00") is "0.00", Format(-0.005, "0.00") is "-0.01"). Integer digits beyond
// the pattern's places are all shown; trailing zeros in "#" fraction places are dropped, and
// the "." with them when no fraction digit is left. A "," between integer places is a group
// mark, shown only with a digit to its left; the digits beyond the places are grouped as the
// places after the last mark are, so Format(1234567, "#,##0") is "1,234,567". Other
// characters are copied as they stand. NaN formats as 0, an infinity as the largest finite
// value; an empty pattern gives Str(x).
std::string Format(double x, const std::string &pattern);
// Format(x, pattern) appended to `out`, without a text of its own.
void AppendFormat(std::string &out, double x, std::string_view pattern);

// Skips leading blanks (spaces and tabs), reads the longest leading decimal number (sign,
// digits, point, fraction, exponent) and stops at the first other character; 0 for none.
// Never NaN or an infinity: a number beyond the double range gives the largest finite value
// with its sign, one too small for it 0. "nan", "inf" and hexadecimal are no numbers (0).
double Val(const std::string &text);

// The n-th field (1-based) of text split at every occurrence of separator; two separators in
// a row give an empty field. Empty for n < 1, past the last field, or an empty separator
// with n > 1 (an empty separator gives the whole text as field 1).
std::string NthField(const std::string &text, const std::string &separator, std::int32_t n);
// How many fields NthField sees (1 for an empty text).
std::int32_t CountFields(const std::string &text, const std::string &separator);

std::string Uppercase(const std::string &text);  // ASCII letters only
std::string Lowercase(const std::string &text);  // ASCII letters only
// Every occurrence of find replaced, byte by byte, left to right; an empty find changes nothing.
std::string ReplaceAllB(const std::string &text, const std::string &find,
                        const std::string &replacement);

// The character that starts at byte `at` of a UTF-8 text (at < text.size()). A well-formed
// sequence (no overlong form, no surrogate, nothing past U+10FFFF) is one character; every other
// byte is a character of its own, with no code point, as common decoders read it. Len, Mid and
// everything that reads characters go by this one rule.
struct Utf8Character {
    std::size_t length;      // bytes, 1 to 4
    std::uint32_t codePoint; // for a malformed byte, the byte's value
    bool wellFormed;
};
Utf8Character DecodeUtf8(const std::string &text, std::size_t at);

std::int32_t Len(const std::string &text);  // characters (see DecodeUtf8)
std::int32_t LenB(const std::string &text); // bytes
// Characters from the 1-based character position start; count < 0 means to the end.
std::string Mid(const std::string &text, std::int32_t start, std::int32_t count = -1);
std::string Left(const std::string &text, std::int32_t count);  // characters
std::string Right(const std::string &text, std::int32_t count); // characters
std::string Trim(const std::string &text); // leading and trailing blanks removed
// The character with code point `code` as UTF-8 (empty for an invalid code point).
std::string Chr(std::int32_t code);
// The code point of the first character, 0 for an empty text.
std::int32_t Asc(const std::string &text);

// Makes room in text for `bytes` bytes in all, keeping what it holds, for a large text that is
// then written once from end to end (a page's content). The memory is not used before it is
// written; where the system has large pages, the room is offered to them, so that writing it
// costs far fewer page faults.
void ReserveLargeText(std::string &text, std::size_t bytes);

// The platform's line end; "\n" here.
const std::string &EndOfLine();

// A colour with 8-bit components.
struct Color {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Color &) const = default;
};
// Each component clamped to 0..255.
Color RGB(std::int32_t red, std::int32_t green, std::int32_t blue);

} // namespace rb
