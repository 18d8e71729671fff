// The readers' verdict where qpdf's own is not enough: qpdf warns that an "input stream is
// complete but output may still be valid" both for a content stream cut short and for a sound
// one whose first 10 KiB of data inflate to exactly its 64 KiB output buffer. A hand-made page
// holds such a sound stream; around it, pages whose stream zlib refuses get the same warning.
#include "pdf-tools.h"
#include "run-command.h"
#include "temp-folder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

// A one-page file whose content stream holds `data` as it stands, with /FlateDecode.
std::string OnePageFile(const std::string &data) {
    std::string file = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    auto object = [&](const std::string &text) {
        offsets.push_back(file.size());
        file += std::to_string(offsets.size()) + " 0 obj\n" + text + "\nendobj\n";
    };
    object("<</Type/Catalog/Pages 2 0 R>>");
    object("<</Type/Pages/Count 1/Kids[3 0 R]>>");
    object("<</Type/Page/Parent 2 0 R/Contents 4 0 R/MediaBox[0 0 612 792]>>");
    object("<</Length " + std::to_string(data.size()) + "/Filter/FlateDecode>>\nstream\r\n" + data +
           "\nendstream");
    const std::size_t xref = file.size();
    file += "xref\n0 5\n0000000000 65535 f \n";
    for (const std::size_t offset : offsets) {
        char entry[21];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        file += entry;
    }
    return file + "trailer\n<</Size 5/Root 1 0 R>>\nstartxref\n" + std::to_string(xref) +
           "\n%%EOF\n";
}

std::string LittleEndian(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i, value >>= 8)
        bytes += static_cast<char>(value & 255u);
    return bytes;
}

// The writer's eight bytes after the zlib stream: the content's Adler-32 from 0 and its length.
std::string Framing(const std::string &content) {
    return LittleEndian(static_cast<std::uint32_t>(
               adler32_z(0, reinterpret_cast<const Bytef *>(content.data()), content.size()))) +
           LittleEndian(static_cast<std::uint32_t>(content.size()));
}

// The zlib header and `content` deflated at level 1, flushed to a byte boundary.
std::string DeflatedHead(const std::string &content) {
    z_stream z{};
    deflateInit(&z, 1);
    std::string out(deflateBound(&z, static_cast<uLong>(content.size())) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(content.data()));
    z.avail_in = static_cast<uInt>(content.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_SYNC_FLUSH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct Stream {
    std::string content;
    std::string zlib;
};

// A sound zlib stream whose first 10240 bytes inflate to exactly 65536 bytes, with nothing
// left to do until more input comes: line art deflated and flushed to a byte boundary, then a
// stored block of blanks that ends exactly at byte 10240 and brings the content to 65536 bytes,
// then an empty last block and the Adler-32. The deflated part's size depends on the content's
// length, hence the search for the length that meets both ends.
Stream StreamFillingQpdfsFirstBuffer() {
    constexpr std::size_t kRead = 10240;
    constexpr std::size_t kBuffer = 65536;
    constexpr std::size_t kStoredHeader = 5;
    std::string lines;
    while (lines.size() < kBuffer)
        lines += "10 10 m 200 300 l S\r";
    for (std::size_t head = 2; head < kRead - kStoredHeader; ++head) {
        const std::size_t blanks = kRead - kStoredHeader - head;
        // Whole lines, blanks after the last one.
        std::string art = lines.substr(0, kBuffer - blanks);
        std::fill(art.begin() + static_cast<std::ptrdiff_t>(art.rfind('\r') + 1), art.end(), ' ');
        std::string zlib = DeflatedHead(art);
        if (zlib.size() != head)
            continue;
        const auto n = static_cast<std::uint16_t>(blanks);
        zlib += '\0';
        zlib += LittleEndian(static_cast<std::uint32_t>(n | (~n & 0xFFFFu) << 16));
        zlib += std::string(blanks, ' ');
        zlib += std::string("\x03\x00", 2);
        Stream s{art + std::string(blanks, ' '), zlib};
        auto adler = static_cast<std::uint32_t>(
            adler32_z(1, reinterpret_cast<const Bytef *>(s.content.data()), s.content.size()));
        for (int i = 0; i < 4; ++i, adler <<= 8)
            s.zlib += static_cast<char>(adler >> 24);
        return s;
    }
    return {};
}

TEST(PdfTools, QpdfsIncompleteStreamWarningPassesOnlyWhereZlibConfirmsTheStream) {
    const Stream sound = StreamFillingQpdfsFirstBuffer();
    ASSERT_FALSE(sound.zlib.empty()) << "no content length fills the first buffer";
    std::string badCheck = sound.zlib;
    badCheck.back() = static_cast<char>(badCheck.back() ^ 1);
    std::string wrongLength = Framing(sound.content);
    wrongLength[4] = static_cast<char>(wrongLength[4] + 1);

    struct Case {
        const char *name;
        std::string data;
        bool accepted;
    };
    const Case cases[] = {
        {"sound stream, its framing after it", sound.zlib + Framing(sound.content), true},
        {"stream cut short", sound.zlib.substr(0, sound.zlib.size() - 40), false},
        {"wrong Adler-32", badCheck + Framing(sound.content), false},
        {"framing with another length", sound.zlib + wrongLength, false},
        {"a byte more after the framing", sound.zlib + Framing(sound.content) + " ", false},
        {"no framing", sound.zlib, false},
    };
    TempFolder folder;
    std::vector<std::string> paths;
    for (const Case &c : cases) {
        paths.push_back(folder / (std::to_string(paths.size()) + ".pdf"));
        TempFolder::Put(paths.back(), OnePageFile(c.data));
    }
    // A second, unrelated warning next to the sound stream's: the file's table points one
    // byte off for object 1.
    std::string damaged = OnePageFile(cases[0].data);
    damaged.replace(damaged.find("0000000009 00000 n"), 10, "0000000010");
    paths.push_back(folder / "damaged.pdf");
    TempFolder::Put(paths.back(), damaged);

    // What is tested here needs qpdf to give the warning for the sound stream.
    std::string qpdf;
    RunCommand("qpdf --check '" + paths[0] + "'", &qpdf);
    if (qpdf.find("input stream is complete but output may still be valid") == std::string::npos)
        GTEST_SKIP() << "this qpdf reads the sound stream without its warning:\n" << qpdf;

    const std::vector<std::string> problems = PdfToolProblems(paths);
    ASSERT_EQ(problems.size(), paths.size());
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        if (cases[i].accepted)
            EXPECT_EQ(problems[i], "") << cases[i].name;
        else
            EXPECT_NE(problems[i].find(paths[i] + ":\nqpdf --check:\n"), std::string::npos)
                << cases[i].name << ": got\n"
                << problems[i] << "expected qpdf's refusal";
    }
    EXPECT_NE(problems.back().find("qpdf --check:\n"), std::string::npos)
        << "a damaged table: got\n"
        << problems.back();
}

} // namespace
