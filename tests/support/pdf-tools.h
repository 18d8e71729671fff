// pdf-tools.h -- judging written PDF files with real PDF software, as a user's reader would.
#pragma once

#include <string>
#include <vector>

// What the outside PDF tools say about the file, empty when they accept it: qpdf --check must
// pass without a warning; pdftoppm must render the page and print nothing (an "Unknown font
// tag" or a syntax warning counts); MuPDF's mutool draw must render it and print nothing;
// Ghostscript, where it is installed, must render it without an error and without saying that
// it repaired the file or that the file does not conform.
// Without `render` only qpdf reads the file (for a page whose content is deliberately not made
// of PDF operators).
// One warning of qpdf's is not taken as its word: "input stream is complete but output may
// still be valid", which it gives for a stream cut short and, now and then, for a sound one.
// It passes where zlib itself confirms the stream it names: inflated whole, its Adler-32 right,
// and exactly the writer's eight framing bytes after it.
std::string PdfToolProblems(const std::string &path, bool render = true);

// The same for each of `paths`, in their order. The readers of all the files run side by side,
// as many at a time as the machine has cores.
std::vector<std::string> PdfToolProblems(const std::vector<std::string> &paths, bool render = true);
