// inflate.h -- reading back what the program deflated, with zlib itself.
#pragma once

#include <cstddef>
#include <string>

// Inflates the zlib stream at the start of data. `ok` is true when one complete stream was
// found; `consumed`, when given, receives the bytes it took.
std::string Inflate(const std::string &data, bool *ok, std::size_t *consumed = nullptr);
