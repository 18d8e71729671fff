// pdf-test-support.h -- what the PDF writer's tests share: a fresh writer on a running
// application shell, temporary folders, zlib inflation, the file's structure as read back from
// its bytes, and the outside PDF tools.
#pragma once

#include "MyPDFGenerator.h"
#include "inflate.h"
#include "pdf-tools.h"
#include "run-command.h"
#include "temp-folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Starts the application shell once per test process (framework, plug-ins, entry-point
// table, App object) and gives every test a fresh writer after its Constructor.
class PdfTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    rb::Ref<MyPDFGenerator> pdf;
};

// The bytes as hexadecimal pairs separated by blanks, for failure messages.
std::string Hex(const std::string &bytes);

// A written file as read back from its bytes, trusting nothing but the cross-reference table
// and the startxref line at the end.
struct PdfFileLayout {
    bool parsed = false;
    std::string error;          // what did not parse
    std::int64_t startxref = 0; // the value after "startxref"
    std::int32_t entryCount = 0;
    std::vector<std::string> entries;  // each cross-reference entry, 20 bytes with its line end
    std::vector<std::int64_t> offsets; // by object number; [0] unused
    std::string streamData;            // the bytes /Length declares, after "stream" CR LF
    std::string afterStreamData;       // what follows them up to and including "endobj" CR
    std::int64_t declaredLength = 0;   // the value of object 5
};
PdfFileLayout ReadLayout(const std::string &file);


// The outside PDF tools accept the file (see PdfToolProblems).
void ExpectPdfToolsAccept(const std::string &path, bool render = true);

// The page's text as pdftotext extracts it.
std::string ExtractText(const std::string &path);
