// settings-test.h -- what the settings-file tests share: the stored items as bytes, a
// window's saved document as comparable text, the drawing windows that are open, and a
// limit on file sizes that makes writes fail.
#pragma once

#include "window-test.h"

#include <cstdint>
#include <string>
#include <vector>

// A stored string (its length byte, then its bytes) and a stored int32 (big-endian).
std::string P(const std::string &text);
std::string I(std::int32_t value);

// Everything a settings file keeps of the window, one item per line: the three popup indexes,
// the four margin texts, the check box, the output file (its path, or "none" while it does not
// exist) and columns 0 and 3 of every row.
std::string SavedState(DrawingWindow &w);
// What the file does not keep: the custom width and height, the two scales.
std::string UnsavedState(DrawingWindow &w);

void SetPopup(DrawingWindow &w, const std::string &name, std::int32_t index);

// The open drawing windows, oldest first.
std::vector<rb::Ref<DrawingWindow>> DrawingWindows();

// While it lives, a file written in this process grows to at most `bytes` bytes. A write
// beyond fails because the framework's start-up ignores SIGXFSZ, as it does for the program.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(std::uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

  private:
    std::uint64_t oldSoft_;
};
