// bench_pdf.cpp -- what a user waits for when pressing Generate on a large page.
//
// For 10^4, 10^5 and 7 x 10^5 lines, a drawing window on a Letter page holds one REPEATLINE
// row of that many horizontal lines, and its Generate button is pressed as the user presses it
// (under the framework's test driver, so the written file is recorded, not opened). Printed
// per size: the Generate time (the best of three presses, and the first press, which also
// pays for the window's first use of the memory it writes), the time zlib alone needs to
// deflate the same content at level 1 in one call (best of three), their ratio, lines per
// second (the same for every size when generation is linear), the content and file sizes, and
// the peak memory of Generate itself: the peak resident memory during the press less what the
// process held before it, also as a multiple of the content size. The content for zlib is read
// back from the written file only after the presses, so the benchmark keeps no copy of it while
// Generate is measured.
#include "DrawingWindow.h"
#include "inflate.h"
#include "program-shell.h"
#include "temp-folder.h"

#include "rb/testdriver.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace td = rb::testdriver;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// A field of /proc/self/status in kilobytes ("VmRSS", "VmHWM"); 0 when it cannot be read.
long StatusKilobytes(const std::string &field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::atol(line.c_str() + field.size() + 1);
    return 0;
}

// Sets the peak resident memory back to what the process holds now.
void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

struct GenerateRun {
    double seconds;
    long peakKilobytes; // above what the process held before the press
};

GenerateRun PressGenerate(DrawingWindow &w) {
    ResetPeakMemory();
    const long before = StatusKilobytes("VmRSS");
    const auto start = Clock::now();
    td::Click(w, "PushButtonGenerate");
    const double seconds = Seconds(start);
    return {seconds, StatusKilobytes("VmHWM") - before};
}

double ZlibAlone(const std::string &content) {
    std::vector<unsigned char> out(compressBound(static_cast<uLong>(content.size())));
    const auto start = Clock::now();
    z_stream z{};
    deflateInit(&z, 1);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(content.data()));
    z.avail_in = static_cast<uInt>(content.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    deflateEnd(&z);
    return Seconds(start);
}

// The page's content stream, inflated from the written file; empty when it cannot be read.
std::string ContentOf(const std::string &file) {
    const std::string bytes = TempFolder::Get(file);
    const std::size_t start = bytes.find("stream\r\n");
    bool ok = false;
    std::string content = start == std::string::npos ? "" : Inflate(bytes.substr(start + 8), &ok);
    return ok ? content : "";
}

} // namespace

int main() {
    StartProgramShell();
    TempFolder folder;
    const std::string file = folder / "bench.pdf";

    std::printf("%7s %10s %8s %9s %7s %10s %10s %9s %8s %12s\n", "lines", "Generate s",
                "first s", "zlib s", "ratio", "lines/s", "content B", "file B", "peak MB",
                "peak/content");
    for (long lines : {10000L, 100000L, 700000L}) {
        rb::Ref<DrawingWindow> w = rb::NewWindow<DrawingWindow>(); // Letter, inches
        w->outputFile = rb::FolderItem::FromPath(file);
        rb::Ref<rb::Listbox> list = w->ControlByName<rb::Listbox>("ListBox1");
        list->AddRow("REPEATLINE 0 0 7 0 0 0.00001 0 0.00001 " + std::to_string(lines) +
                     " 0.5 0 0 0");

        GenerateRun best{1e9, 0};
        double first = 0;
        for (int run = 0; run < 3; ++run) {
            const GenerateRun r = PressGenerate(*w);
            if (run == 0)
                first = r.seconds;
            best.seconds = std::min(best.seconds, r.seconds);
            best.peakKilobytes = std::max(best.peakKilobytes, r.peakKilobytes);
        }
        const bool quiet = td::Problems().empty(); // no message box, no exception
        td::Reset(); // closes the window; its writer and the last page go with it

        const std::string content = ContentOf(file);
        if (content.empty() || !quiet) {
            std::fprintf(stderr, "Generate did not write a readable page of %ld lines\n", lines);
            return 1;
        }
        double zlib = 1e9;
        for (int run = 0; run < 3; ++run)
            zlib = std::min(zlib, ZlibAlone(content));
        const auto fileBytes = static_cast<long long>(TempFolder::Get(file).size());
        const double peakBytes = static_cast<double>(best.peakKilobytes) * 1024.0;
        std::printf("%7ld %10.3f %8.3f %9.3f %6.2fx %10.0f %10zu %9lld %8.1f %11.2fx\n", lines,
                    best.seconds, first, zlib, best.seconds / zlib,
                    static_cast<double>(lines) / best.seconds, content.size(), fileBytes,
                    peakBytes / (1024.0 * 1024.0), peakBytes / static_cast<double>(content.size()));
    }
    return 0;
}
