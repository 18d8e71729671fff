// MacRoman.h -- UTF-8 text to the MacRomanEncoding of the page fonts.
#pragma once

#include <cstdint>
#include <string>

// The MacRomanEncoding byte of a Unicode code point, or 0 when the encoding has no such
// character. ASCII maps to itself.
std::uint8_t MacRomanByte(std::uint32_t codePoint);

// UTF-8 text as MacRomanEncoding bytes, one byte per character as rb::Len counts them. A
// character the encoding lacks, and each byte of a malformed UTF-8 sequence, becomes "?".
std::string Utf8ToMacRoman(const std::string &utf8);
