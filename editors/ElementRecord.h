// ElementRecord.h -- the cells of an element row and the texts made from an element record.
//
// A drawing window keeps each drawing element as one row of its list: column 0 holds the
// element's record (a kind keyword and the element's fields joined by single spaces, its
// colour last as three fractions from 0 to 1), column 1 the colour text, column 2 the
// description the user sees, column 3 the string of a TEXT element. The editors write rows;
// the drawing window draws, describes, saves and loads them.
#pragma once

#include "rb/text.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

constexpr std::int32_t kRecordColumn = 0;
constexpr std::int32_t kColorColumn = 1;
constexpr std::int32_t kDescriptionColumn = 2;
constexpr std::int32_t kTextColumn = 3;

// What column 0 of a new element's row holds until its editor writes it.
inline constexpr const char *kPlaceholderRecord = " ";

// The longest record, TEXT string or margin text a document can keep: the settings file stores
// each as a string with a one-byte length.
constexpr std::int32_t kMaxStoredBytes = 255;

// The most rows an element list holds, placeholders included: what opening a settings file
// takes. Adding an element keeps the list within it and Save refuses a list beyond it, so that
// every file the program writes opens whole.
constexpr std::int32_t kMostElements = 100000;

// The record's three colour fields: each 8-bit component divided by 255.0, written by Str.
std::string ColorFields(rb::Color color);
// The colour text of column 1: the three fractions written by App.mystring, joined by " ".
std::string ColorText(double red, double green, double blue);
std::string ColorText(rb::Color color);
// The colour of a record's fields first, first + 1 and first + 2: each fraction times 255,
// converted to an integer by the framework's conversion (which rounds, so a colour survives
// its trip through a record).
rb::Color ColorOfFields(const std::string &record, std::int32_t first);

// The pattern with every "{key}" replaced by value(key); all other text is copied. A "{"
// without its "}" is copied as it stands. Values are not scanned again, so a typed "{" in a
// value stays as it is.
std::string ExpandPattern(std::string_view pattern,
                          const std::function<std::string(std::string_view key)> &value);
