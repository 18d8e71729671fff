// pdf-tools.cpp -- qpdf, pdftoppm and Ghostscript on a written file.
#include "pdf-tools.h"

#include "run-command.h"

#include <algorithm>

namespace {

// The tool's report when it failed or printed anything on its error output but the lines of
// `limit`; its standard output is dropped, so that only messages count.
std::string Complaint(const std::string &tool, const std::string &command,
                      const std::string &limit = "") {
    std::string output;
    const int status = RunCommand("{ { " + command + "; } 2>&1 >/dev/null; }", &output);
    std::string messages;
    for (std::size_t at = 0; at < output.size();) {
        const std::size_t end = std::min(output.find('\n', at), output.size());
        const std::string line = output.substr(at, end - at);
        if (!line.empty() && line != limit)
            messages += line + "\n";
        at = end + 1;
    }
    if (status == 0 && messages.empty())
        return "";
    return tool + " (exit status " + std::to_string(status) + "):\n" + messages;
}

bool GhostscriptInstalled() {
    static const bool installed = [] {
        std::string output;
        return RunCommand("command -v gs", &output) == 0;
    }();
    return installed;
}

} // namespace

std::string PdfToolProblems(const std::string &path, bool render) {
    const std::string file = "'" + path + "'";
    std::string qpdf;
    std::string problems;
    // qpdf prints its verdict on standard output; warnings make the exit status 3.
    if (RunCommand("qpdf --check " + file, &qpdf) != 0)
        problems += "qpdf --check:\n" + qpdf;
    if (!render)
        return problems;
    // A page scaled by millions (a typed scale of 1e9 percent) magnifies a line width or a
    // glyph past what poppler allocates for; it says so and leaves that stroke out, a limit of
    // its own rather than a fault of the file, which other readers draw.
    problems += Complaint("pdftoppm", "pdftoppm -scale-to 64 -png " + file,
                          "Bogus memory allocation size");
    // Ghostscript prints nothing for a sound file with -q; its notes that it repaired the file
    // or that the file does not conform go to standard output, so that counts too.
    if (GhostscriptInstalled())
        problems += Complaint("gs", "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=nullpage " + file +
                                        " >&2");
    return problems.empty() ? "" : path + ":\n" + problems;
}
