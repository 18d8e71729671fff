// MyPDFGenerator.h -- the one-page PDF writer.
//
// The drawing operations draw nothing themselves: each appends content-stream operators, as
// lines of text ending in a single carriage return, to the string `stream`. Nothing reaches the
// disk until CloseFile compresses that string and writes the whole file: a PDF 1.4 document of
// 22 objects with the 14 standard Type 1 fonts (MacRomanEncoding) and one deflated page.
//
// Every number goes into the file through App()->mystring or App()->myformatstring (the content
// operators write theirs straight into the line they build, through the appending forms), so
// it has "." as its decimal mark whatever the locale. A content number too small to draw is
// written 0 (see kSmallestDrawn), so that no number on the page is longer than 32 characters.
// Text given to Show and ShowRotated is UTF-8 and is written as MacRoman bytes, the encoding the
// fonts are declared with.
//
// A writer belongs to one document window and is reused for every page it generates:
// CreateNew starts a page, the drawing calls fill it, CloseFile writes it.
#pragma once

#include "rb/files.h"
#include "rb/object.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A number in a content line: written as App()->mystring writes it, or, with a pattern, as
// App()->myformatstring does, held within +/-MyPDFGenerator::kLargestNumber; without a pattern,
// one too small to draw is written 0.
struct ContentNumber {
    double value;
    const char *pattern = nullptr;
};
// The content operators' shorthand for the numbers of a line: T as App()->mystring writes it,
// F through a pattern.
namespace content_numbers {
inline ContentNumber T(double v) { return {v}; }
inline ContentNumber T(std::int32_t v) { return {static_cast<double>(v)}; }
inline ContentNumber F(double v, const char *pattern) { return {v, pattern}; }
} // namespace content_numbers

class MyPDFGenerator : public rb::Object {
  public:
    // The largest magnitude of a number on the page: the largest PDF integer. Readers refuse
    // more ("overflow converting to 64-bit integer"), and nothing on a sheet comes near it.
    static constexpr double kLargestNumber = 2147483647.0;
    // The value held within +/-kLargestNumber.
    static double Bounded(double value);
    // The smallest magnitude of a number that a content line writes without a pattern, as drawn
    // on the page (after its Scale): a millionth of a point; a smaller one is written 0. Readers
    // hold reals as 32-bit floats (some 7 digits) and no device draws a millionth of a point, so
    // 0 draws the same; and Str writes plain digits, so 1e-300 would take 302 characters, which
    // MuPDF reads as two numbers. The digits of every larger number are Str's, unchanged.
    // The rule is the writer's alone, not Str's, so that App()->mystring stays Str with "." and
    // the window's texts stay as they are: Str also writes the margins converted between units
    // and an element's colour fractions, which must come back as they went in, and a margin of
    // 1e-100 inches shown as 0 cm would come back as 0.
    static constexpr double kSmallestDrawn = 1e-6;
    // However much the page is scaled up, a smaller magnitude is written 0 all the same, so
    // that a number takes at most 32 characters: a sign, "0.", 14 zeros and 15 digits. Even at
    // the largest scale (kLargestNumber) that is some two millionths of a point.
    static constexpr double kSmallestWritten = 1e-15;
    // The file holds the font resources F0 to F14 (see CloseFile); a page starts with F2.
    static constexpr std::int32_t kFontResources = 15;
    static constexpr std::int32_t kPageStartFont = 2;

    // Content operators. None checks call order. Every number is written as passed, held within
    // +/-kLargestNumber (a circle's points too, which add its centre and radius), and 0 when it
    // is too small to draw.
    // Stroking ("RG") then non-stroking ("rg") colour, components 0 to 1 with two decimals.
    void SetRGBColor(double red, double green, double blue);
    void SetLineWidth(double width);
    // Selects font resource /F<font> at the whole-number size for the next text object. A
    // number the file holds no font for (outside 0 to 14; a TEXT's font field comes from a
    // settings file as it stands) selects kPageStartFont, so that readers draw the text.
    void SetFont(std::int32_t font, double size);
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void Stroke();
    // Width in points as if every character were 600/1000 of the size wide; font is unused.
    double StringWidth(const std::string &text, std::int32_t font, std::int32_t size);
    // Where the next text object starts.
    void SetTextPos(double x, double y);
    // One complete text object (BT ... ET) at the current font and text position.
    void Show(const std::string &text);

    // Set-up and page framing; none of these writes to the content stream.
    void Constructor();
    // Starts a page: empties the content and the object bookkeeping; returns 0. Font, text
    // position, last point, page size, theFile and objectOffsets carry over.
    std::int32_t CreateNew();
    void SetParameter(const std::string &name, const std::string &value); // does nothing
    std::int32_t OpenFilename(rb::Ref<rb::FolderItem> file);              // theFile = file; 0
    void SetInfo(const std::string &key, const std::string &value);       // does nothing
    void BeginPage(std::int32_t width, std::int32_t height);
    void InitGraphics(); // does nothing
    // The page's scale, written once per page before anything is drawn. What is drawn after
    // it is that much larger, so a smaller number is drawn too (see kSmallestDrawn).
    void Scale(double sx, double sy);
    void EndPage(); // does nothing

    // Compresses `stream` and writes the complete file to theFile. When the file cannot be
    // created it shows "Unable to open the file <name>, perhaps it is already open in another
    // program?" and writes nothing; when the content cannot be compressed or the file cannot be
    // written completely it shows "Unable to write the file <name>." and an old file of that
    // name stays as it was. Afterwards `stream` holds the framed compressed content.
    void CloseFile();
    void Delete(); // does nothing; the writer stays usable
    std::int32_t FindFont(const std::string &name, const std::string &encoding,
                          std::int32_t embedding); // always 0

    // File assembly, used by CloseFile. Each counts the bytes it writes in currentFileLength.
    void NewObject(); // "<n> 0 obj", then "<<" with no line end
    void EndObject(); // ">>", "endobj"
    void WriteStringToFile(const std::string &text);
    void WriteStringLineToFile(const std::string &text); // text, then a carriage return

    // Appends text to the content stream; the only way anything gets into it.
    void AddToStream(const std::string &text);
    // Closes a text object opened by HandleInTextMode ("ET"); nothing when none is open.
    void HandleOutTextMode();
    // Opens a text object ("BT" and the font line) unless one is open already.
    void HandleInTextMode();

    // Now as a PDF date in parentheses: "(D:YYYYMMDDHHmmSS" + zone + ")", the zone being
    // "Z00'00'", or the sign and the offset's hours and minutes ("+05'30'").
    std::string ReturnCurrentDate();
    // The four bytes of n's 32-bit two's-complement value, least significant first.
    std::string AddFourBytes(std::int32_t n);

    // Text rotated counterclockwise by angle degrees about (x, y), starting at the offset
    // (textX, textY) in the rotated frame.
    void ShowRotated(const std::string &text, double angle, double x, double y);
    // The text laid clockwise along the circle of the radius about (x, y), centred on the
    // direction angle (degrees counterclockwise from straight up), one text object per
    // character, in font 0 at the size.
    void DrawRotatedText(const std::string &text, double x, double y, double radius, double angle,
                         std::int32_t size);
    // A stroked circle: four Bezier quarters, each its own subpath, then " S".
    void DrawCircle(double x, double y, double radius);

    // The dash pattern; on = off = 0 gives the solid line "[ ] 0 d".
    void SetDash(std::int32_t on, std::int32_t off, std::int32_t phase);

    // Paper sizes in points, set by Constructor (each width before its height).
    std::int32_t letterWidth = 0;
    std::int32_t letterHeight = 0;
    std::int32_t legalWidth = 0;
    std::int32_t legalHeight = 0;
    std::int32_t ledgerWidth = 0;
    std::int32_t ledgerHeight = 0;
    std::int32_t A0Width = 0;
    std::int32_t A0Height = 0;
    std::int32_t A1Width = 0;
    std::int32_t A1Height = 0;
    std::int32_t A2Width = 0;
    std::int32_t A2Height = 0;
    std::int32_t A3Width = 0;
    std::int32_t A3Height = 0;
    std::int32_t A4Width = 0;
    std::int32_t A4Height = 0;
    std::int32_t A5Width = 0;
    std::int32_t A5Height = 0;
    std::int32_t A6Width = 0;
    std::int32_t A6Height = 0;
    std::int32_t B5Width = 0;
    std::int32_t B5Height = 0;
    std::int32_t p11x17width = 0;
    std::int32_t p11x17height = 0;

    rb::Ref<rb::FolderItem> theFile; // the PDF file to write
    std::int32_t numObjects = 0;     // number of the last object begun
    rb::Ref<rb::BinaryStream> b;     // the output stream of the file being written
    std::int32_t numObjectInfo = 0;
    std::int32_t numObjectCatalog = 0;
    std::int32_t numObjectPagesRoot = 0;
    std::int32_t numObjectPageInfo = 0;
    // Byte offset of each object by object number, indices 0 to 200; never cleared.
    std::vector<std::int32_t> objectOffsets = std::vector<std::int32_t>(201, 0);
    std::int32_t currentFileLength = 0; // bytes written to the file so far
    std::int32_t startxref = 0;         // byte offset of the cross-reference table
    std::string stream;                 // the page's content stream
    double xPos = 0;                    // the last point given to MoveTo or LineTo
    double yPos = 0;
    bool inTextMode = false; // a text object opened by HandleInTextMode is open
    std::int32_t fontNum = 0;
    std::int32_t fontSize = 0;
    double textX = 0;
    double textY = 0;
    std::int32_t pageWidth = 0;
    std::int32_t pageHeight = 0;

  private:
    // Builds one content line in line_ from its pieces, texts and numbers, and ends it with a
    // carriage return. The numbers are written straight into the line, which is reused from
    // line to line, so building a line makes no text of its own.
    template <class... Pieces> void BuildLine(const Pieces &...pieces) {
        line_.clear();
        (AppendPiece(pieces), ...);
        line_.push_back('\r');
    }
    // Builds one line and appends it to the content stream.
    template <class... Pieces> void AddLine(const Pieces &...pieces) {
        BuildLine(pieces...);
        AddToStream(line_);
    }
    void AppendPiece(std::string_view text) { line_ += text; }
    void AppendPiece(const ContentNumber &number);
    std::string line_; // the content line being built
    // The smallest magnitude written without a pattern on this page, in the content's units:
    // kSmallestDrawn, divided by the page's scale where that is larger than 1.
    double smallestNumber_ = kSmallestDrawn;

    // The text as the body of a PDF literal string: MacRoman bytes, with a backslash before
    // each backslash and parenthesis.
    static std::string LiteralString(const std::string &text);
    // The font line of a text object: "/F<fontNum> <fontSize> Tf".
    void AddFontLine();
    // Records an object's offset, growing the table for object numbers past 200.
    void SetObjectOffset(std::int32_t object, std::int32_t offset);
    // The content stream deflated (level 1) in chunks the compressor accepts, followed by the
    // Adler-32 (start 0) and the length of the content, least significant byte first, and a
    // carriage return. False when the compressor reports a failure.
    bool CompressStream(std::string &framed);
    void WriteFontObject(const char *baseFont);

    // The steps of CloseFile, in order. Replaces `stream` by its framed, deflated form; false,
    // with the message said, when the compressor failed.
    bool CompressContent();
    // Opens `b` on theFile; false, with the message said, when it cannot be created.
    bool OpenOutputFile();
    // The header and objects 1 to 22, each object's offset recorded as it begins.
    void WriteObjects();
    // The cross-reference table from the recorded offsets, and the trailer after it.
    void WriteCrossReferenceAndTrailer();
    // Closes `b`, which puts the new file in place of the old; a failure is said.
    void CommitOutputFile();
};
