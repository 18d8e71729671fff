// MyPDFGenerator-file.cpp -- assembling the PDF file: objects, cross-reference table, trailer,
// document information, fonts and the framed, deflated content stream.
//
// Every line of the file ends in one carriage return. The file length is kept by counting the
// bytes written, not by asking the stream, so the offsets of the cross-reference table are the
// sums of what went out.
#include "MyPDFGenerator.h"

#include "App.h"
#include "ZLibCompressWQX.h"

#include "rb/date.h"
#include "rb/dialogs.h"
#include "rb/system.h"
#include "rb/text.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace {

// The most the compressor takes in one SetInput, and the size of its output window.
constexpr std::size_t kCompressorInputWindow = 65536;
constexpr std::int32_t kCompressorOutputWindow = 131072;
// zlib's result codes as the compressor reports them in Error.
constexpr std::int32_t kZOk = 0;
constexpr std::int32_t kZBufError = -5;

std::string T(std::int32_t v) { return App()->mystring(static_cast<double>(v)); }
std::string F(double v, const std::string &pattern) { return App()->myformatstring(v, pattern); }

// Base fonts of objects 10 to 22, after Courier in object 7.
const char *const kLaterFonts[] = {
    "Courier-Bold",   "Courier-BoldOblique",   "Courier-Oblique",   "Helvetica",
    "Helvetica-Bold", "Helvetica-BoldOblique", "Helvetica-Oblique", "Times-Roman",
    "Times-Bold",     "Times-Italic",          "Times-BoldItalic",  "Symbol",
    "ZapfDingbats",
};

// The page's font resources: F0 and F1 both name Courier (object 7), F2 to F14 objects 10 to 22.
const char *const kFontResourceLines[] = {
    "/Font<</F0 7 0 R", "/F1 7 0 R",   "/F2 10 0 R",  "/F3 11 0 R",  "/F4 12 0 R",
    "/F5 13 0 R",       "/F6 14 0 R",  "/F7 15 0 R",  "/F8 16 0 R",  "/F9 17 0 R",
    "/F10 18 0 R",      "/F11 19 0 R", "/F12 20 0 R", "/F13 21 0 R", "/F14 22 0 R",
};

static_assert(std::size(kFontResourceLines) == MyPDFGenerator::kFontResources);

std::string FileName(const rb::Ref<rb::FolderItem> &file) { return file ? file->Name() : ""; }

// The Adler-32 of n bytes from the start value 0, from their Adler-32 from the usual start
// value 1 (which the compressor keeps): the start value 1 adds 1 to the first sum and, as the
// second sum adds up the first after every byte, n to the second.
std::int32_t AdlerFromZero(std::int32_t adlerFromOne, std::size_t n) {
    constexpr std::uint32_t kModulus = 65521;
    const auto bits = static_cast<std::uint32_t>(adlerFromOne);
    const std::uint32_t first = (bits & 0xFFFF) + kModulus - 1;
    const std::uint32_t second = (bits >> 16) + kModulus - static_cast<std::uint32_t>(n % kModulus);
    return static_cast<std::int32_t>((second % kModulus) << 16 | first % kModulus);
}

} // namespace

void MyPDFGenerator::NewObject() {
    numObjects = numObjects + 1;
    SetObjectOffset(numObjects, currentFileLength);
    WriteStringLineToFile(T(numObjects) + " 0 obj");
    WriteStringToFile("<<");
}

void MyPDFGenerator::EndObject() {
    WriteStringLineToFile(">>");
    WriteStringLineToFile("endobj");
}

// Without an open stream (outside CloseFile) the two only count.
void MyPDFGenerator::WriteStringToFile(const std::string &text) {
    currentFileLength = currentFileLength + rb::LenB(text);
    if (b)
        b->Write(text);
}

void MyPDFGenerator::WriteStringLineToFile(const std::string &text) {
    currentFileLength = currentFileLength + rb::LenB(text) + 1;
    if (b)
        b->Write(text + "\r");
}

void MyPDFGenerator::SetObjectOffset(std::int32_t object, std::int32_t offset) {
    if (object < 0)
        return;
    const auto index = static_cast<std::size_t>(object);
    if (index >= objectOffsets.size())
        objectOffsets.resize(index + 1, 0);
    objectOffsets[index] = offset;
}

std::string MyPDFGenerator::AddFourBytes(std::int32_t n) {
    auto bits = static_cast<std::uint32_t>(n);
    std::string bytes;
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<char>(bits & 255u));
        bits >>= 8;
    }
    return bytes;
}

std::string MyPDFGenerator::ReturnCurrentDate() {
    const rb::Date now;
    std::string date = "(D:" + F(now.Year, "0000") + F(now.Month, "00") + F(now.Day, "00") +
                       F(now.Hour, "00") + F(now.Minute, "00") + F(now.Second, "00");
    // The zone as whole hours and minutes: an offset of 5.5 hours is 05'30', not a rounded 06.
    const std::int32_t zoneMinutes = rb::ToInt32(std::fabs(now.GMTOffset) * 60.0);
    if (zoneMinutes == 0)
        return date + "Z00'00')";
    date += now.GMTOffset < 0 ? "-" : "+";
    return date + F(zoneMinutes / 60, "00") + "'" + F(zoneMinutes % 60, "00") + "')";
}

bool MyPDFGenerator::CompressStream(std::string &framed) {
    auto zip = rb::New<ZLibCompressWQX>();
    zip->InitZip(1);
    if (zip->Error() != kZOk)
        return false;

    const std::size_t n = stream.size();
    framed.clear();
    // Line art deflates to well under a quarter of its size; anything larger grows by doubling.
    framed.reserve(n / 4 + 1024);

    // Feed the content a window at a time, straight from the content; step the compressor
    // until it has taken the whole piece and has no output left over (a step that fills the
    // output window may have more pending), taking the output after every step.
    const std::string_view content(stream);
    for (std::size_t pos = 0; pos < n; pos += kCompressorInputWindow) {
        if (!zip->SetInput(content.substr(pos, kCompressorInputWindow)))
            return false;
        for (;;) {
            const std::int32_t pendingInput = zip->InputAvail();
            zip->ProcessZip();
            if (zip->Error() != kZOk && zip->Error() != kZBufError)
                return false;
            const std::int32_t produced = zip->OutputSize();
            if (produced > 0)
                framed += zip->GetOutput();
            if (zip->InputAvail() == 0 && produced < kCompressorOutputWindow)
                break;
            if (zip->InputAvail() == pendingInput && produced == 0)
                return false; // no progress: the compressor is stuck
        }
    }

    // The compressor has checksummed all of the content as it took it in.
    const std::int32_t adler = AdlerFromZero(zip->CRC(), n);

    // Finish the stream. The output window is empty here and the last deflate block is
    // bounded by zlib's internal buffer, well below the window, so nothing is cut off.
    zip->EndZip();
    if (zip->Error() != kZOk)
        return false;
    framed += zip->GetOutput();

    // The framing: Adler-32 from 0 and the length of the content, then a carriage return.
    framed += AddFourBytes(adler);
    framed += AddFourBytes(static_cast<std::int32_t>(n));
    framed += "\r";
    return true;
}

void MyPDFGenerator::WriteFontObject(const char *baseFont) {
    NewObject();
    WriteStringLineToFile("/Type/Font");
    WriteStringLineToFile("/Subtype/Type1");
    WriteStringLineToFile(std::string("/BaseFont/") + baseFont);
    WriteStringLineToFile("/Encoding/MacRomanEncoding");
    EndObject();
}

void MyPDFGenerator::CloseFile() {
    // A text object still open is closed before the content is compressed.
    HandleOutTextMode();
    if (!CompressContent())
        return;
    if (!OpenOutputFile())
        return;
    WriteObjects();
    WriteCrossReferenceAndTrailer();
    CommitOutputFile();
}

bool MyPDFGenerator::CompressContent() {
    std::string framed;
    const bool compressed = CompressStream(framed);
    stream = std::move(framed);
    // A content stream the compressor failed on would make a damaged page; the old file is
    // kept instead.
    if (!compressed)
        rb::MsgBox("Unable to write the file " + FileName(theFile) + ".");
    return compressed;
}

bool MyPDFGenerator::OpenOutputFile() {
    b = nullptr;
    if (theFile)
        b = theFile->CreateBinaryFile("pdf");
    if (!b)
        rb::MsgBox("Unable to open the file " + FileName(theFile) +
                   rb::FileErrorReason(theFile ? theFile->LastErrorCode() : 0) + ".");
    return b != nullptr;
}

void MyPDFGenerator::WriteObjects() {
    WriteStringLineToFile("%PDF-1.4");

    // Object 1: the procedure sets.
    numObjects = 1;
    SetObjectOffset(1, currentFileLength);
    WriteStringLineToFile("1 0 obj");
    WriteStringLineToFile("[/PDF]");
    WriteStringLineToFile("endobj");

    // Object 2: the page tree.
    NewObject();
    WriteStringLineToFile("/Type/Pages");
    WriteStringLineToFile("/Count 1");
    WriteStringLineToFile("/Kids[ 3 0 R]");
    numObjectPagesRoot = numObjects;
    EndObject();

    // Object 3: the page.
    NewObject();
    WriteStringLineToFile("/Type/Page");
    WriteStringLineToFile("/Parent 2 0 R");
    WriteStringLineToFile("/Contents 4 0 R");
    WriteStringLineToFile("/Resources 8 0 R");
    WriteStringLineToFile("/MediaBox[0 0 " + T(pageWidth) + " " + T(pageHeight) + "]");
    numObjectPageInfo = numObjects;
    EndObject();

    // Object 4: the content stream. The keyword "stream" must be followed by CR LF or LF, not
    // by a lone CR; /Length counts from the byte after the LF.
    NewObject();
    WriteStringLineToFile("/Length 5 0 R /Filter /FlateDecode");
    WriteStringLineToFile(">>");
    WriteStringToFile("stream\r\n");
    WriteStringToFile(stream);
    WriteStringLineToFile("endstream");
    WriteStringLineToFile("endobj");

    // Object 5: the stream's length, the zlib data and the eight framing bytes without the
    // final carriage return.
    SetObjectOffset(numObjects + 1, currentFileLength);
    WriteStringLineToFile("5 0 obj");
    WriteStringLineToFile(T(rb::LenB(stream) - 1));
    WriteStringLineToFile("endobj");
    numObjects = numObjects + 1;

    // Object 6: the document information.
    NewObject();
    WriteStringLineToFile("/Subject (Width: " + T(pageWidth) + "  Height: " + T(pageHeight) + ")");
    WriteStringLineToFile("/Title (Vellumet)");
    WriteStringLineToFile("/Author (Quillmark)");
    WriteStringLineToFile("/Creator (Vellumet)");
    WriteStringLineToFile("/CreationDate " + ReturnCurrentDate());
    WriteStringLineToFile("/Producer (Vellumet)");
    numObjectInfo = numObjects;
    EndObject();

    // Object 7: the first font.
    WriteFontObject("Courier");

    // Object 8: the page's resources.
    NewObject();
    WriteStringLineToFile("/ProcSet 1 0 R");
    for (const char *line : kFontResourceLines)
        WriteStringLineToFile(line);
    WriteStringLineToFile(">>");
    EndObject();

    // Object 9: the catalog.
    NewObject();
    WriteStringLineToFile("/Type/Catalog");
    WriteStringLineToFile("/Pages 2 0 R");
    numObjectCatalog = numObjects;
    EndObject();

    // Objects 10 to 22: the other thirteen fonts.
    for (const char *font : kLaterFonts)
        WriteFontObject(font);
}

void MyPDFGenerator::WriteCrossReferenceAndTrailer() {
    // The cross-reference table: the free entry, then one 20-byte entry per object.
    startxref = currentFileLength;
    WriteStringLineToFile("xref");
    WriteStringLineToFile("0 " + T(numObjects + 1));
    WriteStringLineToFile("0000000000 65535 f ");
    for (std::int32_t i = 1; i <= numObjects; ++i) {
        WriteStringLineToFile(F(objectOffsets[static_cast<std::size_t>(i)], "0000000000") +
                              " 00000 n ");
        rb::RuntimeBackgroundTask();
    }

    // The trailer.
    WriteStringLineToFile("trailer");
    WriteStringToFile("<<");
    WriteStringLineToFile("/Size " + T(numObjects + 1));
    WriteStringLineToFile("/Root " + T(numObjectCatalog) + " 0 R");
    WriteStringLineToFile("/Info " + T(numObjectInfo) + " 0 R");
    WriteStringLineToFile(">>");
    WriteStringLineToFile("startxref");
    WriteStringLineToFile(T(startxref));
    WriteStringLineToFile("%%EOF");
}

void MyPDFGenerator::CommitOutputFile() {
    // The new file replaces the old one only now; a failed write keeps the old one and is
    // said so rather than passed over.
    if (!b->Close())
        rb::MsgBox("Unable to write the file " + FileName(theFile) + b->FailureReason() + ".");
}
