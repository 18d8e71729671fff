// text.cpp -- byte and character functions on UTF-8 byte strings.
#include "rb/text.h"

#include <algorithm>
#include <string>

namespace rb {

namespace {

std::size_t CharLength(const std::string &text, std::size_t i) {
    return DecodeUtf8(text, i).length;
}

// Byte offset of the character at 0-based character index `index` (text.size() past the end).
std::size_t ByteOffset(const std::string &text, std::int64_t index) {
    std::size_t i = 0;
    for (; i < text.size() && index > 0; --index)
        i += CharLength(text, i);
    return i;
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

} // namespace

std::string NthField(const std::string &text, const std::string &separator, std::int32_t n) {
    if (n < 1)
        return {};
    if (separator.empty())
        return n == 1 ? text : std::string();
    std::size_t start = 0;
    for (std::int32_t field = 1; field < n; ++field) {
        const std::size_t hit = text.find(separator, start);
        if (hit == std::string::npos)
            return {};
        start = hit + separator.size();
    }
    const std::size_t hit = text.find(separator, start);
    return text.substr(start, hit == std::string::npos ? std::string::npos : hit - start);
}

std::int32_t CountFields(const std::string &text, const std::string &separator) {
    if (separator.empty())
        return 1;
    std::int32_t count = 1;
    for (std::size_t hit = text.find(separator); hit != std::string::npos;
         hit = text.find(separator, hit + separator.size()))
        ++count;
    return count;
}

std::string Uppercase(const std::string &text) {
    std::string out = text;
    std::transform(out.begin(), out.end(), out.begin(), AsciiUpper);
    return out;
}

std::string Lowercase(const std::string &text) {
    std::string out = text;
    std::transform(out.begin(), out.end(), out.begin(), AsciiLower);
    return out;
}

std::string ReplaceAllB(const std::string &text, const std::string &find,
                        const std::string &replacement) {
    if (find.empty())
        return text;
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t hit = text.find(find); hit != std::string::npos;
         hit = text.find(find, start)) {
        out.append(text, start, hit - start);
        out += replacement;
        start = hit + find.size();
    }
    out.append(text, start, std::string::npos);
    return out;
}

Utf8Character DecodeUtf8(const std::string &text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const Utf8Character malformed{1, lead, false};
    // The sequence's length and the smallest code point that needs it (anything smaller is
    // an overlong form). C0, C1 and F5 to FF never start a well-formed sequence.
    std::size_t length = 1;
    std::uint32_t value = lead;
    std::uint32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
        smallest = 0x10000;
    } else if (lead >= 0x80) {
        return malformed;
    }
    if (text.size() - at < length)
        return malformed;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80)
            return malformed;
        value = (value << 6) | (next & 0x3Fu);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return malformed;
    return {length, value, true};
}

std::int32_t Len(const std::string &text) {
    std::int32_t count = 0;
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i))
        ++count;
    return count;
}

std::int32_t LenB(const std::string &text) {
    return text.size() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<std::int32_t>(text.size());
}

std::string Mid(const std::string &text, std::int32_t start, std::int32_t count) {
    if (start < 1)
        start = 1;
    const std::size_t from = ByteOffset(text, start - 1);
    if (count < 0)
        return text.substr(from);
    std::size_t to = from;
    for (std::int32_t k = 0; k < count && to < text.size(); ++k)
        to += CharLength(text, to);
    return text.substr(from, to - from);
}

std::string Left(const std::string &text, std::int32_t count) {
    return count <= 0 ? std::string() : Mid(text, 1, count);
}

std::string Right(const std::string &text, std::int32_t count) {
    if (count <= 0)
        return {};
    const std::int32_t length = Len(text);
    return count >= length ? text : Mid(text, length - count + 1);
}

std::string Trim(const std::string &text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string Chr(std::int32_t code) {
    std::string out;
    if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return out;
    const auto c = static_cast<std::uint32_t>(code);
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return out;
}

std::int32_t Asc(const std::string &text) {
    return text.empty() ? 0 : static_cast<std::int32_t>(DecodeUtf8(text, 0).codePoint);
}

const std::string &EndOfLine() {
    static const std::string eol = "\n";
    return eol;
}

Color RGB(std::int32_t red, std::int32_t green, std::int32_t blue) {
    auto clamp = [](std::int32_t v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    return Color{clamp(red), clamp(green), clamp(blue)};
}

} // namespace rb
