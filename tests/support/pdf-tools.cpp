// pdf-tools.cpp -- qpdf, pdftoppm and Ghostscript on written files, side by side.
#include "pdf-tools.h"

#include "run-command.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

namespace {

// The lines of a tool's output.
std::vector<std::string> Lines(const std::string &output) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < output.size();) {
        const std::size_t end = std::min(output.find('\n', at), output.size());
        lines.push_back(output.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// The tool's report when it failed or printed anything on its error output but the lines of
// `limit`; its standard output is dropped, so that only messages count.
std::string Complaint(const std::string &tool, const std::string &command,
                      const std::string &limit = "") {
    std::string output;
    const int status = RunCommand("{ { " + command + "; } 2>&1 >/dev/null; }", &output);
    std::string messages;
    for (const std::string &line : Lines(output))
        if (!line.empty() && line != limit)
            messages += line + "\n";
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

// What qpdf --check says, empty when it accepts the file. It prints its verdict on standard
// output; warnings make the exit status 3.
std::string QpdfProblems(const std::string &path) {
    std::string output;
    if (RunCommand("qpdf --check '" + path + "'", &output) == 0)
        return "";
    return "qpdf --check:\n" + output;
}

// One reader's verdict on one file.
struct Reading {
    std::size_t file;
    std::function<std::string()> read;
};

} // namespace

std::vector<std::string> PdfToolProblems(const std::vector<std::string> &paths, bool render) {
    const bool ghostscript = render && GhostscriptInstalled();
    std::vector<Reading> readings;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string &path = paths[i];
        const std::string file = "'" + path + "'";
        readings.push_back({i, [&path] { return QpdfProblems(path); }});
        if (!render)
            continue;
        // A page scaled by millions (a typed scale of 1e9 percent) magnifies a line width or
        // a glyph past what poppler allocates for; it says so and leaves that stroke out, a
        // limit of its own rather than a fault of the file, which other readers draw.
        readings.push_back({i, [file] {
                                return Complaint("pdftoppm", "pdftoppm -scale-to 64 -png " + file,
                                                 "Bogus memory allocation size");
                            }});
        // Ghostscript prints nothing for a sound file with -q; its notes that it repaired the
        // file or that the file does not conform go to standard output, so that counts too.
        if (ghostscript)
            readings.push_back({i, [file] {
                                    return Complaint(
                                        "gs", "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=nullpage " +
                                                  file + " >&2");
                                }});
    }

    // Each reader is a process of its own and reads its file alone, so they run side by side,
    // as many at a time as the machine has cores.
    std::vector<std::string> verdicts(readings.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t r = next++; r < readings.size(); r = next++)
            verdicts[r] = readings[r].read();
    };
    const std::size_t workers =
        std::min<std::size_t>(readings.size(), std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> threads;
    for (std::size_t w = 0; w < workers; ++w)
        threads.emplace_back(work);
    for (std::thread &t : threads)
        t.join();

    std::vector<std::string> problems(paths.size());
    for (std::size_t r = 0; r < readings.size(); ++r)
        problems[readings[r].file] += verdicts[r];
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (!problems[i].empty())
            problems[i] = paths[i] + ":\n" + problems[i];
    return problems;
}

std::string PdfToolProblems(const std::string &path, bool render) {
    return PdfToolProblems(std::vector<std::string>{path}, render).front();
}
