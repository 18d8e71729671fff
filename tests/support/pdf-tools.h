// pdf-tools.h -- judging written PDF files with real PDF software, as a user's reader would.
#pragma once

#include <string>
#include <vector>

// What the outside PDF tools say about the file, empty when they accept it: qpdf --check must
// pass without a warning; pdftoppm must render the page and print nothing (an "Unknown font
// tag" or a syntax warning counts); Ghostscript, where it is installed, must render it without
// an error and without saying that it repaired the file or that the file does not conform.
// Without `render` only qpdf reads the file (for a page whose content is deliberately not made
// of PDF operators).
std::string PdfToolProblems(const std::string &path, bool render = true);

// The same for each of `paths`, in their order. The readers of all the files run side by side,
// as many at a time as the machine has cores.
std::vector<std::string> PdfToolProblems(const std::vector<std::string> &paths, bool render = true);
