// test-text.cpp -- NthField, CountFields, byte and character functions, Chr, Asc, RGB.
#include "rb/text.h"

#include <gtest/gtest.h>

#include <string>

using namespace rb;
using namespace std::string_literals;

namespace {

struct FieldCase {
    const char *name;
    std::string text;
    std::string separator;
    std::int32_t n;
    std::string expected;
};

TEST(NthField, Table) {
    const FieldCase cases[] = {
        {"second", "a b c", " ", 2, "b"},
        {"last", "a b c", " ", 3, "c"},
        {"past the end", "a b c", " ", 4, ""},
        {"far past the end", "a b c", " ", 100, ""},
        {"zero", "a b c", " ", 0, ""},
        {"negative", "a b c", " ", -1, ""},
        {"two blanks give an empty field", "a  b", " ", 2, ""},
        {"after two blanks", "a  b", " ", 3, "b"},
        {"empty text", "", " ", 1, ""},
        {"empty separator, first", "abc", "", 1, "abc"},
        {"empty separator, second", "abc", "", 2, ""},
        {"long separator", "a--b", "--", 2, "b"},
        {"leading separator", " a", " ", 1, ""},
        {"trailing separator", "a ", " ", 2, ""},
        {"record", "LINE 1 2 3 4 0.5 0 0 0", " ", 6, "0.5"},
        {"bytes with NUL", "a\0b"s, "\0"s, 2, "b"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(NthField(c.text, c.separator, c.n), c.expected)
            << c.name << ": NthField(\"" << c.text << "\", \"" << c.separator << "\", " << c.n
            << ")";
}

TEST(CountFields, Table) {
    EXPECT_EQ(CountFields("a b c", " "), 3);
    EXPECT_EQ(CountFields("a  b", " "), 3);
    EXPECT_EQ(CountFields("", " "), 1);
    EXPECT_EQ(CountFields("abc", ""), 1);
    EXPECT_EQ(CountFields("a--b--", "--"), 3);
}

TEST(Text, BytesAndCharacters) {
    const std::string word = "h\xC3\xA9llo"; // "héllo"
    EXPECT_EQ(Len(word), 5);
    EXPECT_EQ(LenB(word), 6);
    EXPECT_EQ(Len(""), 0);
    EXPECT_EQ(Mid(word, 2, 3), "\xC3\xA9ll");
    EXPECT_EQ(Mid(word, 2), "\xC3\xA9llo");
    EXPECT_EQ(Mid(word, 0, 1), "h");
    EXPECT_EQ(Mid(word, 6), "");
    EXPECT_EQ(Mid(word, 99, 2), "");
    EXPECT_EQ(Mid(word, 5, 10), "o");
    EXPECT_EQ(Left(word, 2), "h\xC3\xA9");
    EXPECT_EQ(Left(word, 0), "");
    EXPECT_EQ(Right(word, 4), "\xC3\xA9llo");
    EXPECT_EQ(Right(word, 10), word);
    // A stray byte that is no UTF-8 sequence counts as one character.
    EXPECT_EQ(Len("a\xFF"
                  "b"),
              3);
    EXPECT_EQ(Len("\xC3"), 1);
    EXPECT_EQ(Len("\xE2\x82\xAC"), 1); // the euro sign
}

// One rule for malformed UTF-8, the one common decoders follow: each byte that does not belong
// to a well-formed sequence is a character of its own. Len, Mid and the page text's encoding
// all read text this way.
TEST(Text, EveryByteOfAMalformedSequenceIsOneCharacter) {
    struct Case {
        const char *what;
        std::string text;
        std::int32_t length;
        std::string second; // Mid(text, 2, 1)
    };
    const Case cases[] = {
        {"overlong slash", "\xC0\xAF", 2, "\xAF"},
        {"overlong three-byte NUL", "\xE0\x80\x80", 3, "\x80"},
        {"overlong four-byte", "\xF0\x80\x80\xAF", 4, "\x80"},
        {"high surrogate", "\xED\xA0\x80", 3, "\xA0"},
        {"low surrogate", "\xED\xBF\xBF", 3, "\xBF"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", 4, "\x90"},
        {"lead byte F5", "\xF5\x80\x80\x80", 4, "\x80"},
        {"cut off", "\xE2\x82", 2, "\x82"},
        {"stray continuation", "\x80" "a", 2, "a"},
        {"well-formed U+D7FF", "\xED\x9F\xBF" "a", 2, "a"},
        {"well-formed U+10FFFF", "\xF4\x8F\xBF\xBF" "a", 2, "a"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Len(c.text), c.length) << c.what;
        EXPECT_EQ(Mid(c.text, 2, 1), c.second) << c.what;
    }
}

TEST(Text, ChrAndAsc) {
    EXPECT_EQ(Chr(65), "A");
    EXPECT_EQ(Chr(13), "\r");
    EXPECT_EQ(Chr(0), "\0"s);
    EXPECT_EQ(Chr(233), "\xC3\xA9");
    EXPECT_EQ(Chr(0x20AC), "\xE2\x82\xAC");
    EXPECT_EQ(Chr(0x1F600), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Chr(-1), "");
    EXPECT_EQ(Chr(0x110000), "");
    EXPECT_EQ(Chr(0xD800), "");
    EXPECT_EQ(Asc("A"), 65);
    EXPECT_EQ(Asc("\xC3\xA9"), 233);
    EXPECT_EQ(Asc("\xF0\x9F\x98\x80"), 0x1F600);
    EXPECT_EQ(Asc(""), 0);
    EXPECT_EQ(Asc("\xFF"), 255);
}

TEST(Text, CaseReplaceTrim) {
    EXPECT_EQ(Uppercase("line 1 \xC3\xA9"), "LINE 1 \xC3\xA9");
    EXPECT_EQ(Lowercase("SetF"), "setf");
    EXPECT_EQ(ReplaceAllB("1,5,6", ",", "."), "1.5.6");
    EXPECT_EQ(ReplaceAllB("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAllB("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAllB("abc", "b", ""), "ac");
    EXPECT_EQ(ReplaceAllB("", ",", "."), "");
    EXPECT_EQ(Trim("  a b \t"), "a b");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(EndOfLine(), "\n");
}

TEST(Text, ALargeTextGrowsInPlaceWithinItsReservedRoom) {
    constexpr std::size_t kRoom = std::size_t{8} << 20;
    std::string text = "kept";
    ReserveLargeText(text, kRoom);
    EXPECT_EQ(text, "kept");
    ASSERT_GE(text.capacity(), kRoom);
    const char *const buffer = text.data();
    const std::string line(100, 'x');
    while (text.size() + line.size() <= kRoom)
        text += line;
    EXPECT_EQ(text.data(), buffer) << "the text was moved while it grew within its room";
    EXPECT_EQ(text.substr(0, 5), "keptx");
}

TEST(Text, RGBClampsAndColourText) {
    EXPECT_EQ(RGB(300, -5, 128), (Color{255, 0, 128}));
    EXPECT_EQ(RGB(1, 2, 3), (Color{1, 2, 3}));
    // A colour as three fractions in text, and back.
    const Color c = RGB(12, 128, 255);
    const std::string text =
        Str(c.red / 255.0) + " " + Str(c.green / 255.0) + " " + Str(c.blue / 255.0);
    const Color back =
        RGB(ToInt32(Val(NthField(text, " ", 1)) * 255), ToInt32(Val(NthField(text, " ", 2)) * 255),
            ToInt32(Val(NthField(text, " ", 3)) * 255));
    EXPECT_EQ(back, c) << text;
}

} // namespace
