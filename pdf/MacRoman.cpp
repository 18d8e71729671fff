// MacRoman.cpp -- UTF-8 text to the MacRomanEncoding of the page fonts.
//
// The table is PDF's MacRomanEncoding, the encoding the fonts of every page declare: the Mac
// OS Roman character set without the fifteen characters that the standard Latin fonts do not
// carry (the mathematical signs, Greek letters and the Apple logo of 0xAD, 0xB0, 0xB2, 0xB3,
// 0xB6 to 0xBA, 0xBD, 0xC3, 0xC5, 0xC6, 0xD7 and 0xF0) and with the currency sign, not the euro,
// at 0xDB. A character outside it is written as "?" rather than as whatever glyph a viewer
// would pick for the byte.
#include "MacRoman.h"

#include "rb/text.h"

#include <array>

namespace {

// The code point of each byte 0x80 to 0xFF; 0 where the encoding has no character.
constexpr std::array<std::uint16_t, 128> kHighHalf = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, // 0x80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8, // 0x88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, // 0x90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, // 0x98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF, // 0xA0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0,      0x00C6, 0x00D8, // 0xA8
    0,      0x00B1, 0,      0,      0x00A5, 0x00B5, 0,      0,      // 0xB0
    0,      0,      0,      0x00AA, 0x00BA, 0,      0x00E6, 0x00F8, // 0xB8
    0x00BF, 0x00A1, 0x00AC, 0,      0x0192, 0,      0,      0x00AB, // 0xC0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, // 0xC8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0,      // 0xD0
    0x00FF, 0x0178, 0x2044, 0x00A4, 0x2039, 0x203A, 0xFB01, 0xFB02, // 0xD8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, // 0xE0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, // 0xE8
    0,      0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC, // 0xF0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7, // 0xF8
};

} // namespace

std::uint8_t MacRomanByte(std::uint32_t codePoint) {
    if (codePoint < 0x80)
        return static_cast<std::uint8_t>(codePoint);
    for (std::size_t k = 0; k < kHighHalf.size(); ++k) {
        if (kHighHalf[k] != 0 && kHighHalf[k] == codePoint)
            return static_cast<std::uint8_t>(0x80 + k);
    }
    return 0;
}

std::string Utf8ToMacRoman(const std::string &utf8) {
    std::string out;
    out.reserve(utf8.size());
    // Characters as the framework counts them, so that each character, a malformed byte
    // included, becomes exactly one byte.
    for (std::size_t i = 0; i < utf8.size();) {
        const rb::Utf8Character c = rb::DecodeUtf8(utf8, i);
        i += c.length;
        char byte = '?';
        // NUL is ASCII and maps to itself, so 0 from the table means "no such character" only
        // for a code point above ASCII.
        if (c.wellFormed && (c.codePoint == 0 || MacRomanByte(c.codePoint) != 0))
            byte = static_cast<char>(MacRomanByte(c.codePoint));
        out.push_back(byte);
    }
    return out;
}
