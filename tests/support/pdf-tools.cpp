// pdf-tools.cpp -- qpdf, pdftoppm, MuPDF and Ghostscript on written files, side by side.
#include "pdf-tools.h"

#include "inflate.h"
#include "run-command.h"
#include "temp-folder.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
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

// The tool's report when it failed or printed anything on its error output but the line
// `passed`; its standard output is dropped, so that only messages count.
std::string Complaint(const std::string &tool, const std::string &command,
                      const std::string &passed = "") {
    std::string output;
    const int status = RunCommand("{ { " + command + "; } 2>&1 >/dev/null; }", &output);
    std::string messages;
    for (const std::string &line : Lines(output))
        if (!line.empty() && line != passed)
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

std::uint32_t LittleEndianAt(const std::string &bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// qpdf 11 says this whenever inflating a stream stops with nothing left to do before the
// stream's end: for a stream cut short, and also for a sound one when one of its reads of the
// file (10 KiB at a time) happens to inflate to exactly a whole number of its 64 KiB output
// buffers; a page of some 64 MiB of content meets that now and then. Only zlib can tell the
// two apart.
constexpr const char *kIncompleteStreamWarning =
    "): input stream is complete but output may still be valid";

// The offset that qpdf names in a warning line "WARNING: file (..., offset N): text"; -1 when
// the line is not that warning.
long long IncompleteStreamOffset(const std::string &line) {
    const std::string tail = kIncompleteStreamWarning;
    if (!line.starts_with("WARNING: ") || !line.ends_with(tail))
        return -1;
    const std::string head = line.substr(0, line.size() - tail.size());
    const std::size_t at = head.rfind("offset ");
    if (at == std::string::npos || at + 7 == head.size())
        return -1;
    long long offset = 0;
    for (std::size_t i = at + 7; i < head.size(); ++i) {
        if (head[i] < '0' || head[i] > '9' || offset > (1LL << 40))
            return -1;
        offset = offset * 10 + (head[i] - '0');
    }
    return offset;
}

// Empty when the stream whose data starts at `offset` of the file is sound as zlib sees it:
// qpdf's own reading of the file places one object's stream data there; zlib inflates it as
// one whole zlib stream (which includes checking its Adler-32); and exactly the writer's eight
// framing bytes follow it, the content's Adler-32 from 0 and its length, little-endian.
// Otherwise what is wrong.
std::string StreamProblem(const std::string &path, long long offset) {
    const std::string file = "'" + path + "'";
    std::string xref;
    if (RunCommand("qpdf --show-xref " + file, &xref) != 0)
        return "qpdf --show-xref:\n" + xref;
    // The object that starts last before the data: "4/0: uncompressed; offset = 185".
    std::string object;
    long long objectStart = -1;
    for (const std::string &line : Lines(xref)) {
        const std::size_t slash = line.find('/');
        const std::size_t at = line.find("; offset = ");
        if (slash == std::string::npos || at == std::string::npos)
            continue;
        const long long start = std::atoll(line.c_str() + at + 11);
        if (start <= offset && start > objectStart) {
            objectStart = start;
            object =
                line.substr(0, slash) + "," + line.substr(slash + 1, line.find(':') - slash - 1);
        }
    }
    if (object.empty())
        return "no object holds offset " + std::to_string(offset);
    std::string data;
    if (RunCommand("{ qpdf --show-object=" + object + " --raw-stream-data " + file +
                       " 2>/dev/null; }",
                   &data) != 0)
        return "qpdf shows no stream data of object " + object;
    const std::string bytes = TempFolder::Get(path);
    const auto at = static_cast<std::size_t>(offset);
    if (at > bytes.size() || bytes.compare(at, data.size(), data) != 0)
        return "the stream data of object " + object + " is not at offset " +
               std::to_string(offset);

    bool whole = false;
    std::size_t consumed = 0;
    const std::string content = Inflate(data, &whole, &consumed);
    if (!whole)
        return "zlib finds no complete stream with a right Adler-32 in object " + object;
    if (data.size() - consumed != 8)
        return std::to_string(data.size() - consumed) + " bytes follow the zlib stream of object " +
               object + ", not the 8 framing bytes";
    const auto adler = static_cast<std::uint32_t>(
        adler32_z(0, reinterpret_cast<const Bytef *>(content.data()), content.size()));
    if (LittleEndianAt(data, consumed) != adler ||
        LittleEndianAt(data, consumed + 4) != static_cast<std::uint32_t>(content.size()))
        return "the framing bytes of object " + object + " are not the content's Adler-32 " +
               "from 0 and its length";
    return "";
}

// What qpdf --check says, empty when it accepts the file. It prints its verdict on standard
// output; warnings make the exit status 3. The incomplete-stream warning alone is taken where
// zlib confirms the stream; any other warning, or an error, is a problem.
std::string QpdfProblems(const std::string &path) {
    std::string output;
    const int status = RunCommand("qpdf --check '" + path + "'", &output);
    if (status == 0)
        return "";
    std::string unconfirmed;
    if (status == 3) {
        std::map<long long, std::string> checked;
        for (const std::string &line : Lines(output)) {
            if (!line.starts_with("WARNING: "))
                continue;
            const long long offset = IncompleteStreamOffset(line);
            if (offset < 0)
                return "qpdf --check:\n" + output;
            if (!checked.contains(offset))
                checked[offset] = StreamProblem(path, offset);
            if (!checked[offset].empty())
                unconfirmed += checked[offset] + "\n";
        }
        if (unconfirmed.empty() && !checked.empty())
            return "";
    }
    return "qpdf --check:\n" + output + unconfirmed;
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
        // MuPDF (mutool, and the viewers built on it) reads numbers its own way; -q keeps back
        // its line per page, and a build without colour management says so once, which is no
        // fault of the file.
        readings.push_back({i, [file] {
                                return Complaint("mutool draw",
                                                 "mutool draw -q -w 64 -h 64 -F pnm -o /dev/null " +
                                                     file,
                                                 "warning: ICC support is not available");
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
