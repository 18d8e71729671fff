// bench_pdf.cpp -- how the PDF writer scales: pages of 10^4, 10^5 and 10^6 stroked lines.
//
// For each page it prints the time to build the content through the operators, the time of
// CloseFile (compressing through the plug-in and writing the file), the time zlib alone needs
// to deflate the same content at level 1 in one call, the bytes of content and of the file,
// and the peak resident memory of the process so far. Times are the best of three runs.
#include "MyPDFGenerator.h"
#include "program-shell.h"

#include "rb/files.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// One line of a dense grid: rows and columns of a sheet, in points with fractions.
void DrawLines(MyPDFGenerator &pdf, long count) {
    pdf.SetLineWidth(0.25);
    for (long i = 0; i < count; ++i) {
        const double t = 36.0 + static_cast<double>(i % 1000) * 0.72;
        if (i % 2 == 0) {
            pdf.MoveTo(36, t);
            pdf.LineTo(576, t);
        } else {
            pdf.MoveTo(t * 0.75, 36);
            pdf.LineTo(t * 0.75, 756);
        }
        pdf.Stroke();
    }
}

double ZlibAlone(const std::string &content, std::size_t *compressedSize) {
    std::vector<unsigned char> out(compressBound(static_cast<uLong>(content.size())));
    const auto start = Clock::now();
    z_stream z{};
    deflateInit(&z, 1);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(content.data()));
    z.avail_in = static_cast<uInt>(content.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    *compressedSize = z.total_out;
    deflateEnd(&z);
    return Seconds(start);
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main() {
    // The benchmark opens no window; it runs the same with or without a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    StartProgramShell(false);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vellumet-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "bench.pdf").string();

    auto pdf = rb::New<MyPDFGenerator>();
    pdf->Constructor();
    std::printf("%9s %12s %11s %9s %10s %9s %7s %12s %9s\n", "lines", "content B", "file B",
                "build s", "CloseFile s", "zlib s", "ratio", "lines/s", "peak MB");
    for (long lines : {10000L, 100000L, 1000000L}) {
        double build = 1e9, close = 1e9, zlib = 1e9;
        std::string content;
        std::size_t zlibSize = 0;
        for (int run = 0; run < 3; ++run) {
            pdf->CreateNew();
            pdf->BeginPage(612, 792);
            auto start = Clock::now();
            DrawLines(*pdf, lines);
            build = std::min(build, Seconds(start));
            content = pdf->stream;

            pdf->theFile = rb::FolderItem::FromPath(path);
            start = Clock::now();
            pdf->CloseFile();
            close = std::min(close, Seconds(start));
            zlib = std::min(zlib, ZlibAlone(content, &zlibSize));
        }
        const auto fileBytes = static_cast<long long>(std::filesystem::file_size(path));
        std::printf("%9ld %12zu %11lld %9.3f %10.3f %9.3f %6.2fx %12.0f %9.1f\n", lines,
                    content.size(), fileBytes, build, close, zlib, close / zlib,
                    static_cast<double>(lines) / (build + close),
                    static_cast<double>(PeakKilobytes()) / 1024.0);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
