// test-zstream.cpp -- ZLibCompressWQX and ZLibDecompressWQX through the framework host.
#include "plugin-calls.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace compressor_test {
namespace {

const char *const kCompress = "ZLibCompressWQX";
const char *const kDecompress = "ZLibDecompressWQX";

// Feeds the input through the stream a window at a time, stepping and draining until each
// window is consumed and no full output window is left behind; returns all the output.
std::string Pump(Stream &s, const std::string &input) {
    std::string out;
    for (std::size_t at = 0; at < input.size(); at += kInputWindow) {
        EXPECT_TRUE(s.SetInput(input.substr(at, kInputWindow)));
        for (;;) {
            s.ProcessZip();
            const Bytes got = s.GetOutput();
            out += got.value_or("");
            if (s.Error() != Z_OK && s.Error() != Z_STREAM_END && s.Error() != Z_BUF_ERROR) {
                ADD_FAILURE() << "ProcessZip gave " << s.Error() << " at input byte " << at;
                return out;
            }
            if (s.InputAvail() == 0 && !(got && got->size() == kOutputWindow))
                break;
            if (!got && s.Error() == Z_BUF_ERROR) {
                ADD_FAILURE() << "no progress with " << s.InputAvail() << " bytes left";
                return out;
            }
        }
    }
    return out;
}

// Ends a deflate stream, draining the window for as long as EndZip asks for it.
std::string Finish(Stream &s) {
    std::string out;
    for (int pass = 0; pass < 16; ++pass) {
        s.EndZip();
        out += s.GetOutput().value_or("");
        if (s.Error() != Z_BUF_ERROR)
            break;
    }
    EXPECT_EQ(s.Error(), Z_OK) << "EndZip";
    return out;
}

using ZStreamTest = CompressorTest;

TEST_F(ZStreamTest, OnePassCompressesWhatZlibInflates) {
    const struct {
        const char *name;
        std::string content;
    } cases[] = {
        {"three bytes", "abc"},
        {"a window of text", Text(kInputWindow)},
        {"a window of noise", Noise(kInputWindow)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // The PDF writer's sequence.
        Stream s(kCompress);
        s.InitZip(1);
        s.Adler32(0, c.content);
        ASSERT_TRUE(s.SetInput(c.content));
        s.ProcessZip();
        s.EndZip();
        std::intptr_t encoding = -1;
        const Bytes z = s.GetOutput(&encoding);
        ASSERT_TRUE(z);
        EXPECT_EQ(s.Error(), Z_OK);
        EXPECT_EQ(Inflate(*z), c.content);
        EXPECT_EQ(encoding, kEncodingNone) << "compressed data are raw bytes";
        EXPECT_EQ(s.TotalInput(), static_cast<std::int32_t>(c.content.size()));
        EXPECT_EQ(s.TotalOutput(), static_cast<std::int32_t>(z->size()));
        EXPECT_EQ(s.GetInteger("CRC"), ZlibAdler32(1, c.content));
    }
}

TEST_F(ZStreamTest, SetInputTakesOneWindowAtMost) {
    Stream s(kCompress);
    s.InitZip(1);
    EXPECT_TRUE(s.SetInput(std::string(kInputWindow, 'a')));
    EXPECT_EQ(s.InputAvail(), 65536);
    EXPECT_FALSE(s.SetInput(std::string(kInputWindow + 1, 'b')));
    EXPECT_EQ(s.InputAvail(), 65536) << "refused input changed the stream";
    EXPECT_FALSE(s.SetInput(std::nullopt));
    EXPECT_EQ(s.InputAvail(), 65536) << "nil input changed the stream";
    EXPECT_TRUE(s.SetInput("xyz"));
    EXPECT_EQ(s.InputAvail(), 3) << "unconsumed input is replaced";

    s.ProcessZip();
    EXPECT_EQ(Inflate(Finish(s)), "xyz");
}

TEST_F(ZStreamTest, NoOutputBeforeAnyStep) {
    for (const char *cls : {kCompress, kDecompress}) {
        SCOPED_TRACE(cls);
        Stream s(cls);
        EXPECT_EQ(s.OutputSize(), 0) << "a new object";
        EXPECT_EQ(s.GetOutput(), std::nullopt) << "a new object";
        s.InitZip();
        EXPECT_EQ(s.GetOutput(), std::nullopt) << "right after InitZip";
        EXPECT_EQ(s.OutputSize(), 0) << "right after InitZip";
    }
}

TEST_F(ZStreamTest, EmptyStreamIsComplete) {
    Stream s(kCompress);
    s.InitZip(1);
    s.EndZip();
    EXPECT_EQ(s.Error(), Z_OK);
    const Bytes z = s.GetOutput();
    ASSERT_TRUE(z);
    EXPECT_EQ(Inflate(*z), "");
}

TEST_F(ZStreamTest, CRCIsTheStreamsAdler32) {
    Stream s(kCompress);
    s.InitZip(1);
    ASSERT_TRUE(s.SetInput("abc"));
    s.ProcessZip();
    EXPECT_EQ(s.GetInteger("CRC"), ZlibAdler32(1, "abc"));
    EXPECT_NE(s.Adler32(0, "abc"), s.GetInteger("CRC"))
        << "the method starts from the given 0, the stream from Adler-32's 1";
}

TEST_F(ZStreamTest, ChecksumMethodsOfEveryClass) {
    const struct {
        const char *name;
        bool adler;
        std::int32_t start;
        Bytes data;
        std::int32_t expected;
    } cases[] = {
        {"Adler32 of nil keeps the start", true, 7, std::nullopt, 7},
        {"CRC32 of nil keeps the start", false, 7, std::nullopt, 7},
        {"Adler32 from 0", true, 0, "abc", ZlibAdler32(0, "abc")},
        {"Adler32 from 1", true, 1, "Wikipedia", 0x11E60398},
        {"CRC32 check value", false, 0, "123456789", static_cast<std::int32_t>(0xCBF43926u)},
        {"CRC32 continued", false, ZlibCRC32(0, "1234"), "56789",
         static_cast<std::int32_t>(0xCBF43926u)},
    };
    for (const char *cls : {kCompress, "GZipFileWQX", kDecompress}) {
        PluginInstance object(cls);
        for (const auto &c : cases) {
            const std::int32_t got =
                c.adler ? object.Adler32(c.start, c.data) : object.CRC32(c.start, c.data);
            EXPECT_EQ(got, c.expected) << cls << ": " << c.name;
        }
    }
}

TEST_F(ZStreamTest, VersionAndErrorMessage) {
    for (const char *cls : {kCompress, kDecompress}) {
        SCOPED_TRACE(cls);
        Stream s(cls);
        std::intptr_t encoding = -1;
        EXPECT_EQ(s.GetString("Version", &encoding), zlibVersion());
        EXPECT_EQ(encoding, kEncodingASCII);
        EXPECT_EQ(s.GetString("ErrorMessage"), std::nullopt) << "no message before any step";
    }

    Stream s(kDecompress);
    s.InitZip();
    ASSERT_TRUE(s.SetInput("this is not a zlib stream"));
    s.ProcessZip();
    EXPECT_EQ(s.Error(), Z_DATA_ERROR);
    std::intptr_t encoding = -1;
    const Bytes message = s.GetString("ErrorMessage", &encoding);
    EXPECT_TRUE(message && !message->empty());
    EXPECT_EQ(encoding, kEncodingMacRoman);
    s.EndZip();
    EXPECT_EQ(s.Error(), Z_OK);
}

TEST_F(ZStreamTest, WrittenCountersCarryOn) {
    Stream s(kCompress);
    s.InitZip(1);
    s.SetDirect("TotalInput", 1000);
    ASSERT_TRUE(s.SetInput("0123456789"));
    s.ProcessZip();
    EXPECT_EQ(s.TotalInput(), 1010);
}

// After Close the windows are gone: every method gives its failure result, and the host's
// destructor (Close once more) frees nothing twice. The stream was left open on purpose:
// Close ends it, so nothing leaks.
TEST_F(ZStreamTest, CloseTwiceThenEveryCallFails) {
    for (const char *cls : {kCompress, kDecompress}) {
        SCOPED_TRACE(cls);
        Stream s(cls);
        s.InitZip();
        ASSERT_TRUE(s.SetInput(Text(1000)));
        s.ProcessZip();
        s.Close();
        s.Close();
        EXPECT_FALSE(s.SetInput("abc"));
        EXPECT_EQ(s.GetOutput(), std::nullopt);
        EXPECT_EQ(s.OutputSize(), 0);
        EXPECT_EQ(s.InputAvail(), 0);
        s.ProcessZip();
        EXPECT_EQ(s.Error(), Z_STREAM_ERROR) << "ProcessZip after Close";
        s.EndZip();
        EXPECT_EQ(s.Error(), Z_STREAM_ERROR) << "EndZip after Close";
        s.InitZip();
        EXPECT_EQ(s.Error(), Z_STREAM_ERROR) << "InitZip after Close";
    }
}

TEST_F(ZStreamTest, InitZipAgainStartsAFreshStream) {
    Stream s(kCompress);
    s.InitZip(9);
    ASSERT_TRUE(s.SetInput("first"));
    s.ProcessZip();
    s.InitZip(1);
    EXPECT_EQ(s.Error(), Z_OK);
    ASSERT_TRUE(s.SetInput("second"));
    s.ProcessZip();
    EXPECT_EQ(Inflate(Finish(s)), "second");
    EXPECT_EQ(s.TotalInput(), 6);
}

// Finishing needs more room than the window has left: EndZip keeps the stream open until the
// window has been drained, instead of ending it and dropping the rest.
TEST_F(ZStreamTest, EndZipWaitsForRoomInsteadOfDroppingTheRest) {
    const std::string noise = Noise(3 * kInputWindow);
    Stream s(kCompress);
    s.InitZip(1);
    for (std::size_t at = 0; at < 2 * kInputWindow; at += kInputWindow) {
        ASSERT_TRUE(s.SetInput(noise.substr(at, kInputWindow)));
        s.ProcessZip();
    }
    ASSERT_GT(s.OutputSize(), static_cast<std::int32_t>(kOutputWindow - kInputWindow))
        << "the window must be too full for the last window of noise";
    ASSERT_EQ(s.InputAvail(), 0) << "the first two windows must be consumed";
    ASSERT_TRUE(s.SetInput(noise.substr(2 * kInputWindow)));

    s.EndZip();
    EXPECT_EQ(s.Error(), Z_BUF_ERROR) << "the rest does not fit yet";
    std::string z = s.GetOutput().value_or("");
    z += Finish(s);
    EXPECT_EQ(Inflate(z), noise);
}

TEST_F(ZStreamTest, MegabyteInManyPassesBothWays) {
    std::string content;
    for (int i = 0; content.size() < (1u << 20); ++i)
        content += i % 2 ? Noise(50000, static_cast<std::uint32_t>(i + 1)) : Text(90000);
    content.resize(1u << 20);

    Stream deflater(kCompress);
    deflater.InitZip(1);
    std::string z = Pump(deflater, content);
    z += Finish(deflater);
    EXPECT_EQ(deflater.TotalInput(), 1 << 20);
    EXPECT_EQ(deflater.TotalOutput(), static_cast<std::int32_t>(z.size()));
    EXPECT_EQ(deflater.GetInteger("CRC"), ZlibAdler32(1, content));
    EXPECT_TRUE(Inflate(z) == content) << "zlib does not inflate the stream to the content";

    Stream inflater(kDecompress);
    inflater.InitZip();
    const std::string back = Pump(inflater, z);
    EXPECT_EQ(inflater.Error(), Z_STREAM_END);
    inflater.EndZip();
    EXPECT_EQ(inflater.Error(), Z_OK);
    EXPECT_EQ(back.size(), content.size());
    EXPECT_TRUE(back == content) << "ZLibDecompressWQX does not give the content back";
}

} // namespace
} // namespace compressor_test
