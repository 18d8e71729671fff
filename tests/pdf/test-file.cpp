// test-file.cpp -- the written file: its layout, the framed content stream, the document
// information, and what real PDF software makes of it.
#include "pdf-test-support.h"

#include "rb/date.h"
#include "rb/testdriver.h"

#include <zlib.h>

#include <functional>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using Draw = std::function<void(MyPDFGenerator &)>;

// A moment with a known local time at every offset: 2023-11-14 22:13:20 UTC.
constexpr std::int64_t kMoment = 1700000000;

class PdfFile : public PdfTest {
  protected:
    void SetUp() override {
        PdfTest::SetUp();
        rb::SetFixedClock(kMoment, 0);
    }
    void TearDown() override {
        rb::ClearFixedClock();
        PdfTest::TearDown();
    }

    // Writes one page as the drawing window does and returns the file's bytes. `content`
    // receives the page's content stream as it was before CloseFile compressed it.
    std::string WritePage(const Draw &draw, const std::string &name = "page.pdf",
                          std::string *content = nullptr) {
        EXPECT_EQ(pdf->CreateNew(), 0);
        pdf->BeginPage(612, 792);
        draw(*pdf);
        if (content)
            *content = pdf->stream;
        pdf->theFile = rb::FolderItem::FromPath(folder / name);
        pdf->CloseFile();
        return TempFolder::Get(folder / name);
    }

    TempFolder folder;
};

// The texts of the message boxes shown so far.
std::vector<std::string> MessageTexts() {
    std::vector<std::string> texts;
    for (const auto &dialog : rb::testdriver::Dialogs()) {
        if (dialog.kind == rb::testdriver::DialogKind::Message)
            texts.push_back(dialog.text);
    }
    return texts;
}

std::string Le32(std::uint32_t v) {
    std::string bytes;
    for (int i = 0; i < 4; ++i, v >>= 8)
        bytes.push_back(static_cast<char>(v & 255));
    return bytes;
}

TEST_F(PdfFile, TheCrossReferenceTablePointsAtEveryObject) {
    // Two pages in a row on one writer: the second starts its bookkeeping afresh.
    for (const char *name : {"first.pdf", "second.pdf"}) {
        const std::string file = WritePage(
            [](MyPDFGenerator &p) {
                p.MoveTo(10, 10);
                p.LineTo(600, 780);
                p.Stroke();
            },
            name);
        const PdfFileLayout layout = ReadLayout(file);
        ASSERT_TRUE(layout.parsed) << name << ": " << layout.error;
        EXPECT_EQ(layout.entryCount, 23) << name;
        EXPECT_EQ(layout.entries[0], "0000000000 65535 f \r");
        EXPECT_EQ(layout.offsets[1], 9);
        EXPECT_EQ(layout.offsets[2], 31);
        EXPECT_EQ(layout.offsets[3], 86);
        for (std::size_t i = 1; i < layout.entries.size(); ++i) {
            const std::string &entry = layout.entries[i];
            EXPECT_EQ(entry.substr(10), " 00000 n \r") << "entry " << i << ": " << entry;
            const std::string head = std::to_string(i) + " 0 obj\r";
            const auto at = static_cast<std::size_t>(layout.offsets[i]);
            EXPECT_EQ(file.substr(at, head.size()), head) << "entry " << i << " points at " << at;
            EXPECT_TRUE(at > 0 && file[at - 1] == '\r') << "object " << i << " starts a line";
            EXPECT_EQ(pdf->objectOffsets[i], layout.offsets[i]) << "objectOffsets[" << i << "]";
        }
        EXPECT_EQ(pdf->numObjects, 22);
        EXPECT_EQ(pdf->startxref, layout.startxref);
        EXPECT_EQ(pdf->currentFileLength, static_cast<std::int32_t>(file.size()));
        EXPECT_EQ(pdf->numObjectPagesRoot, 2);
        EXPECT_EQ(pdf->numObjectPageInfo, 3);
        EXPECT_EQ(pdf->numObjectInfo, 6);
        EXPECT_EQ(pdf->numObjectCatalog, 9);
        ExpectPdfToolsAccept(folder / name);
    }
}

// Everything around the content stream, line by line, with the cross-reference offsets
// found in the expected text itself.
std::string ExpectedFile(const std::string &streamData) {
    std::string f = "%PDF-1.4\r1 0 obj\r[/PDF]\rendobj\r";
    auto object = [&f](int n, std::initializer_list<const char *> lines) {
        f += std::to_string(n) + " 0 obj\r<<";
        for (const char *line : lines)
            f += std::string(line) + "\r";
        f += ">>\rendobj\r";
    };
    auto font = [&object](int n, const std::string &base) {
        object(n, {"/Type/Font", "/Subtype/Type1", ("/BaseFont/" + base).c_str(),
                   "/Encoding/MacRomanEncoding"});
    };
    object(2, {"/Type/Pages", "/Count 1", "/Kids[ 3 0 R]"});
    object(3, {"/Type/Page", "/Parent 2 0 R", "/Contents 4 0 R", "/Resources 8 0 R",
               "/MediaBox[0 0 612 792]"});
    f += "4 0 obj\r<</Length 5 0 R /Filter /FlateDecode\r>>\rstream\r\n" + streamData +
         "\rendstream\rendobj\r";
    f += "5 0 obj\r" + std::to_string(streamData.size()) + "\rendobj\r";
    object(6, {"/Subject (Width: 612  Height: 792)", "/Title (Vellumet)", "/Author (Quillmark)",
               "/Creator (Vellumet)", "/CreationDate (D:20231114221320Z00'00')",
               "/Producer (Vellumet)"});
    font(7, "Courier");
    object(8, {"/ProcSet 1 0 R", "/Font<</F0 7 0 R", "/F1 7 0 R", "/F2 10 0 R", "/F3 11 0 R",
               "/F4 12 0 R", "/F5 13 0 R", "/F6 14 0 R", "/F7 15 0 R", "/F8 16 0 R", "/F9 17 0 R",
               "/F10 18 0 R", "/F11 19 0 R", "/F12 20 0 R", "/F13 21 0 R", "/F14 22 0 R", ">>"});
    object(9, {"/Type/Catalog", "/Pages 2 0 R"});
    int n = 10;
    for (const char *base :
         {"Courier-Bold", "Courier-BoldOblique", "Courier-Oblique", "Helvetica", "Helvetica-Bold",
          "Helvetica-BoldOblique", "Helvetica-Oblique", "Times-Roman", "Times-Bold", "Times-Italic",
          "Times-BoldItalic", "Symbol", "ZapfDingbats"})
        font(n++, base);

    const std::size_t xref = f.size();
    f += "xref\r0 23\r0000000000 65535 f \r";
    for (int i = 1; i <= 22; ++i) {
        const std::string head = std::string("\r") + std::to_string(i) + " 0 obj\r";
        const std::size_t at = i == 1 ? 9 : f.find(head) + 1;
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \r", at);
        f += entry;
    }
    f += "trailer\r<</Size 23\r/Root 9 0 R\r/Info 6 0 R\r>>\rstartxref\r" + std::to_string(xref) +
         "\r%%EOF\r";
    return f;
}

TEST_F(PdfFile, AnEmptyPageIsTheExpectedFileByteForByte) {
    const std::string file = WritePage([](MyPDFGenerator &) {});
    const PdfFileLayout layout = ReadLayout(file);
    ASSERT_TRUE(layout.parsed) << layout.error;

    // The data: a zlib stream of nothing, then eight zero bytes (Adler-32 from 0 of nothing,
    // and the length 0).
    std::size_t consumed = 0;
    bool ok = false;
    EXPECT_EQ(Inflate(layout.streamData, &ok, &consumed), "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(Hex(layout.streamData.substr(consumed)), Hex(std::string(8, '\0')));

    const std::string expected = ExpectedFile(layout.streamData);
    EXPECT_EQ(file, expected) << "got:\n" << file << "\nexpected:\n" << expected;
    ExpectPdfToolsAccept(folder / "page.pdf");
}

// A content stream of `size` bytes of comment lines: each "%", then bytes other than CR and
// LF (every byte value when `binary`, else letters), then CR.
Draw Comments(std::size_t size, bool binary) {
    return [size, binary](MyPDFGenerator &p) {
        std::mt19937 random(7);
        std::string content;
        while (content.size() < size) {
            std::string line = "%";
            const std::size_t length = std::min<std::size_t>(size - content.size() - 1, 79);
            for (std::size_t i = 1; i < length; ++i) {
                auto c = static_cast<char>(binary ? random() % 256 : 'a' + random() % 26);
                line.push_back(c == '\r' || c == '\n' ? ' ' : c);
            }
            content += line.substr(0, length) + "\r";
        }
        p.AddToStream(content.substr(0, size));
    };
}

Draw Lines(std::size_t count) {
    return [count](MyPDFGenerator &p) {
        p.SetLineWidth(0.25);
        for (std::size_t i = 0; i < count; ++i) {
            const double y = 10 + static_cast<double>(i % 7000) * 0.11;
            p.MoveTo(10, y);
            p.LineTo(600, y + 0.5);
            p.Stroke();
        }
    };
}

TEST_F(PdfFile, TheContentStreamIsTheWholeContentDeflatedAndFramed) {
    struct Case {
        const char *name;
        Draw draw;
        const char *closing = ""; // what CloseFile adds to the content
        bool validContent = true; // the content is made of PDF operators
    };
    const Case cases[] = {
        {"empty", [](MyPDFGenerator &) {}},
        {"abc", [](MyPDFGenerator &p) { p.AddToStream("abc"); }, "", false},
        {"text with bytes above 127",
         [](MyPDFGenerator &p) {
             p.SetFont(5, 12);
             p.SetTextPos(72, 700);
             p.Show("\xC3\x9C"
                    "ber die Br\xC3\xBC"
                    "cke \xE2\x80\x94 "
                    "Caf\xC3\xA9");
         }},
        {"a text object left open", [](MyPDFGenerator &p) { p.HandleInTextMode(); }, "ET\r"},
        {"one input window less one byte", Comments(65535, false)},
        {"exactly one input window", Comments(65536, false)},
        {"one input window and a byte", Comments(65537, false)},
        {"incompressible, several windows", Comments(400000, true)},
        {"10 MB of lines", Lines(400000)},
    };
    int index = 0;
    for (const Case &c : cases) {
        const std::string name = "case" + std::to_string(index++) + ".pdf";
        std::string content;
        const std::string file = WritePage(c.draw, name, &content);
        content += c.closing;
        const PdfFileLayout layout = ReadLayout(file);
        ASSERT_TRUE(layout.parsed) << c.name << ": " << layout.error;

        std::size_t consumed = 0;
        bool ok = false;
        const std::string inflated = Inflate(layout.streamData, &ok, &consumed);
        EXPECT_TRUE(ok) << c.name << ": the data is not one complete zlib stream";
        EXPECT_TRUE(inflated == content)
            << c.name << ": inflated " << inflated.size() << " bytes, expected " << content.size();
        const std::string framing = Le32(static_cast<std::uint32_t>(
                                        adler32(0, reinterpret_cast<const Bytef *>(content.data()),
                                                static_cast<uInt>(content.size())))) +
                                    Le32(static_cast<std::uint32_t>(content.size()));
        EXPECT_EQ(Hex(layout.streamData.substr(consumed)), Hex(framing)) << c.name;
        EXPECT_EQ(layout.afterStreamData, "\rendstream\rendobj\r") << c.name;
        EXPECT_EQ(pdf->stream, layout.streamData + "\r") << c.name;
        ExpectPdfToolsAccept(folder / name, c.validContent);

        if (std::string(c.name) == "abc") {
            EXPECT_EQ(Hex(framing), "26 01 4A 02 03 00 00 00");
        }
    }
}

TEST_F(PdfFile, ShownTextIsFoundByPdftotext) {
    WritePage([](MyPDFGenerator &p) {
        p.SetFont(9, 14);
        p.SetTextPos(72, 700);
        p.Show("Caf\xC3\xA9 (10 mm) \xC3\x9C"
               "ber \xC3\x9F \xE2\x80\x94 \\ end");
        p.SetFont(5, 10);
        p.SetTextPos(72, 650);
        p.Show("Euro \xE2\x82\xAC");
    });
    const std::string text = ExtractText(folder / "page.pdf");
    EXPECT_NE(text.find("Caf\xC3\xA9 (10 mm) \xC3\x9C"
                        "ber \xC3\x9F \xE2\x80\x94 \\ end"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Euro ?"), std::string::npos) << text;
    ExpectPdfToolsAccept(folder / "page.pdf");
}

TEST_F(PdfFile, TheCreationDateCarriesTheZoneInHoursAndMinutes) {
    struct Case {
        double offset;
        const char *expected;
    };
    const Case cases[] = {
        {0, "(D:20231114221320Z00'00')"},    {-5, "(D:20231114171320-05'00')"},
        {5.5, "(D:20231115034320+05'30')"},  {-3.5, "(D:20231114184320-03'30')"},
        {5.75, "(D:20231115035820+05'45')"}, {13, "(D:20231115111320+13'00')"},
    };
    for (const Case &c : cases) {
        rb::SetFixedClock(kMoment, c.offset);
        EXPECT_EQ(pdf->ReturnCurrentDate(), c.expected) << "GMT offset " << c.offset;
    }
}

TEST_F(PdfFile, AFileThatCannotBeCreatedIsReportedOnceAndNothingIsWritten) {
    rb::testdriver::Script({rb::testdriver::MessageButton("OK")});
    std::string content;
    WritePage(
        [](MyPDFGenerator &p) {
            p.MoveTo(1, 2);
            p.LineTo(3, 4);
        },
        "no such folder/page.pdf", &content);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Unable to open the file page.pdf: the "
                                                       "file or its folder does not exist."});
    EXPECT_EQ(folder.Listing(), "");
    EXPECT_EQ(pdf->b, nullptr);
    // The stream holds the framed compressed content all the same.
    std::size_t consumed = 0;
    bool ok = false;
    EXPECT_EQ(Inflate(pdf->stream, &ok, &consumed), content);
    EXPECT_EQ(pdf->stream.size(), consumed + 9);
}

// A write-protected file is the user's to keep: not replaced, and the reason said.
TEST_F(PdfFile, AWriteProtectedFileIsNotReplaced) {
    WritePage([](MyPDFGenerator &) {});
    const std::string old = TempFolder::Get(folder / "page.pdf");
    ASSERT_EQ(chmod((folder / "page.pdf").c_str(), 0444), 0);
    rb::testdriver::Script({rb::testdriver::MessageButton("OK")});
    WritePage(Comments(10, true));
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Unable to open the file page.pdf: "
                                                       "permission was denied."});
    EXPECT_EQ(TempFolder::Get(folder / "page.pdf"), old);
    EXPECT_EQ(folder.Listing(), "page.pdf");
}

// The framework's own start-up makes a file-size limit a failed write, not the end of the
// program.
TEST_F(PdfFile, AFailedWriteIsReportedAndKeepsTheOldFile) {
    WritePage([](MyPDFGenerator &) {});
    const std::string old = TempFolder::Get(folder / "page.pdf");

    // Files of this process may grow to 64 kB only; the big page cannot be written.
    rb::testdriver::Script({rb::testdriver::MessageButton("OK")});
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 65536;
    setrlimit(RLIMIT_FSIZE, &small);
    WritePage(Comments(400000, true));
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Unable to write the file page.pdf: the "
                                                       "file would be too large."});
    EXPECT_EQ(TempFolder::Get(folder / "page.pdf"), old);
    EXPECT_EQ(folder.Listing(), "page.pdf");
}

} // namespace
