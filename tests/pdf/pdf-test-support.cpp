// pdf-test-support.cpp -- the PDF writer tests' shared fixture and readers.
#include "pdf-test-support.h"

#include "program-shell.h"

#include "rb/testdriver.h"

#include <zlib.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

void PdfTest::SetUp() {
    StartProgramShell(true);
    rb::testdriver::Reset();
    pdf = rb::New<MyPDFGenerator>();
    pdf->Constructor();
}

void PdfTest::TearDown() {
    pdf = nullptr;
    for (const std::string &problem : rb::testdriver::Problems())
        ADD_FAILURE() << problem;
}

std::string Hex(const std::string &bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (!hex.empty())
            hex += ' ';
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

namespace {

// The decimal number at pos, followed by `end`; -1 when there is none.
std::int64_t NumberAt(const std::string &s, std::size_t pos, char end, std::size_t *after) {
    std::size_t i = pos;
    std::int64_t value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - pos < 18)
        value = value * 10 + (s[i++] - '0');
    if (i == pos || i >= s.size() || s[i] != end)
        return -1;
    *after = i + 1;
    return value;
}

} // namespace

PdfFileLayout ReadLayout(const std::string &file) {
    PdfFileLayout layout;
    auto fail = [&](const std::string &why) {
        layout.error = why;
        return layout;
    };
    const std::size_t tail = file.rfind("\rstartxref\r");
    if (tail == std::string::npos)
        return fail("no startxref line");
    std::size_t pos = 0;
    layout.startxref = NumberAt(file, tail + 11, '\r', &pos);
    if (layout.startxref < 0 || file.compare(pos, std::string::npos, "%%EOF\r") != 0)
        return fail("no startxref value followed by %%EOF");

    const auto xref = static_cast<std::size_t>(layout.startxref);
    if (file.compare(xref, 7, "xref\r0 ") != 0)
        return fail("startxref does not point at \"xref\" and \"0 <count>\"");
    const std::int64_t count = NumberAt(file, xref + 7, '\r', &pos);
    if (count < 1 || count > 1000)
        return fail("bad entry count");
    layout.entryCount = static_cast<std::int32_t>(count);
    layout.offsets.assign(static_cast<std::size_t>(count), 0);
    for (std::int64_t i = 0; i < count; ++i) {
        if (pos + 20 > file.size())
            return fail("cross-reference table cut off");
        layout.entries.push_back(file.substr(pos, 20));
        std::size_t after = 0;
        layout.offsets[static_cast<std::size_t>(i)] = NumberAt(file, pos, ' ', &after);
        pos += 20;
    }
    if (file.compare(pos, 10, "trailer\r<<") != 0)
        return fail("no trailer after the table");

    // The content stream: object 4's data from the byte after "stream" CR LF, as long as
    // object 5 says.
    if (count < 6)
        return fail("fewer than 5 objects");
    const auto obj5 = static_cast<std::size_t>(layout.offsets[5]);
    if (file.compare(obj5, 8, "5 0 obj\r") != 0)
        return fail("object 5 is not where the table says");
    layout.declaredLength = NumberAt(file, obj5 + 8, '\r', &pos);
    if (layout.declaredLength < 0)
        return fail("object 5 holds no number");
    const std::size_t streamKeyword =
        file.find("\rstream\r\n", static_cast<std::size_t>(layout.offsets[4]));
    if (streamKeyword == std::string::npos || streamKeyword > obj5)
        return fail("no \"stream\" CR LF line in object 4");
    const std::size_t dataStart = streamKeyword + 9;
    const auto length = static_cast<std::size_t>(layout.declaredLength);
    if (dataStart + length > obj5)
        return fail("/Length runs past object 4");
    layout.streamData = file.substr(dataStart, length);
    layout.afterStreamData = file.substr(dataStart + length, obj5 - dataStart - length);
    layout.parsed = true;
    return layout;
}


void ExpectPdfToolsAccept(const std::string &path, bool render) {
    EXPECT_EQ(PdfToolProblems(path, render), "");
}

std::string ExtractText(const std::string &path) {
    std::string output;
    const int status = RunCommand("pdftotext -enc UTF-8 '" + path + "' -", &output);
    EXPECT_EQ(status, 0) << "pdftotext of " << path << ":\n" << output;
    return output;
}
