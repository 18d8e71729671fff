// test-functions.cpp -- the plug-in's six global functions through the framework host.
#include "binding-keys.h"
#include "plugin-calls.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace compressor_test {
namespace {

Bytes CompressZLib(const Bytes &buf, std::int32_t level) {
    StringArg s(buf);
    return Take(Call<FrameworkString *, FrameworkString *, std::int32_t>(
        std::string(kGlobalFunctions[0]), s.get(), level));
}

Bytes DecompressZLib(const Bytes &buf, std::int32_t size) {
    StringArg s(buf);
    return Take(Call<FrameworkString *, FrameworkString *, std::int32_t>(
        std::string(kGlobalFunctions[1]), s.get(), size));
}

std::int32_t StringChecksum(std::string_view function, std::int32_t start, const Bytes &buf) {
    StringArg s(buf);
    return Call<std::int32_t, std::int32_t, FrameworkString *>(std::string(function), start,
                                                               s.get());
}

std::int32_t MemoryChecksum(std::string_view function, std::int32_t start, void *block,
                            std::int32_t offset, std::int32_t length) {
    return Call<std::int32_t, std::int32_t, void *, std::int32_t, std::int32_t>(
        std::string(function), start, block, offset, length);
}

// zlib's own compression of the data, to feed the plug-in's decompression.
std::string Deflated(const std::string &data) {
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    EXPECT_EQ(compress(reinterpret_cast<Bytef *>(out.data()), &size,
                       reinterpret_cast<const Bytef *>(data.data()), data.size()),
              Z_OK);
    out.resize(size);
    return out;
}

constexpr auto kCRC32String = kGlobalFunctions[2];
constexpr auto kAdler32String = kGlobalFunctions[3];
constexpr auto kCRC32Memory = kGlobalFunctions[4];
constexpr auto kAdler32Memory = kGlobalFunctions[5];
constexpr std::int32_t kCheckCRC = static_cast<std::int32_t>(0xCBF43926u);
constexpr std::int32_t kCheckAdler = 0x11E60398;

using GlobalFunctionTest = CompressorTest;

TEST_F(GlobalFunctionTest, CompressZLibMakesWhatZlibInflates) {
    const struct {
        const char *name;
        std::string data;
        std::int32_t level;
    } cases[] = {
        {"one byte", "x", 1},
        {"text at level 9", Text(100000), 9},
        {"noise stored at level 0", Noise(70000), 0},
        {"noise at zlib's default level", Noise(5000), -1},
    };
    for (const auto &c : cases) {
        const Bytes z = CompressZLib(c.data, c.level);
        ASSERT_TRUE(z) << c.name;
        EXPECT_TRUE(Inflate(*z) == c.data) << c.name << ": zlib does not inflate it to the input";
    }
    EXPECT_EQ(CompressZLib(std::nullopt, 6), std::nullopt) << "nil input";
    EXPECT_EQ(CompressZLib("abc", 10), std::nullopt) << "a level zlib refuses";
}

TEST_F(GlobalFunctionTest, DecompressZLibGivesAllOrNil) {
    const std::string text = Text(5000);
    const std::string stream = Deflated(text);
    const struct {
        const char *name;
        Bytes buf;
        std::int32_t size;
        Bytes expected;
    } cases[] = {
        {"one byte with size 0", Deflated("x"), 0, "x"},
        {"the exact size", stream, 5000, text},
        {"within the 1,024 spare bytes", stream, 5000 - 1024, text},
        {"one byte past the spare bytes", stream, 5000 - 1025, std::nullopt},
        {"a negative size", Deflated("x"), -1, std::nullopt},
        {"damaged data", "not a zlib stream at all", 100, std::nullopt},
        {"a truncated stream", stream.substr(0, stream.size() - 4), 5000, std::nullopt},
        {"nil", std::nullopt, 100, std::nullopt},
    };
    for (const auto &c : cases) {
        const Bytes got = DecompressZLib(c.buf, c.size);
        EXPECT_TRUE(got == c.expected)
            << c.name << ": got " << (got ? std::to_string(got->size()) + " bytes" : "nil")
            << ", expected "
            << (c.expected ? std::to_string(c.expected->size()) + " bytes" : "nil");
    }
}

TEST_F(GlobalFunctionTest, StringChecksums) {
    const struct {
        const char *name;
        std::string_view function;
        std::int32_t start;
        Bytes buf;
        std::int32_t expected;
    } cases[] = {
        {"CRC-32 check value", kCRC32String, 0, "123456789", kCheckCRC},
        {"CRC-32 continued", kCRC32String, ZlibCRC32(0, "1234"), "56789", kCheckCRC},
        {"Adler-32 check value", kAdler32String, 1, "Wikipedia", kCheckAdler},
        {"CRC-32 of nil is the initial value", kCRC32String, 5, std::nullopt, 0},
        {"Adler-32 of nil is the initial value", kAdler32String, 5, std::nullopt, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(StringChecksum(c.function, c.start, c.buf), c.expected) << c.name;
}

TEST_F(GlobalFunctionTest, MemoryChecksums) {
    auto block = rb::New<rb::MemoryBlock>(std::size_t{13});
    block->SetStringValue(0, "xx123456789yy");
    auto wiki = rb::New<rb::MemoryBlock>(std::size_t{11});
    wiki->SetStringValue(0, "-Wikipedia-");
    const struct {
        const char *name;
        std::string_view function;
        std::int32_t start;
        rb::MemoryBlock *block;
        std::int32_t offset;
        std::int32_t length;
        std::int32_t expected;
    } cases[] = {
        {"CRC-32 of a range", kCRC32Memory, 0, block.get(), 2, 9, kCheckCRC},
        {"Adler-32 of a range", kAdler32Memory, 1, wiki.get(), 1, 9, kCheckAdler},
        {"CRC-32 of no bytes keeps the start", kCRC32Memory, 5, block.get(), 2, 0, 5},
        {"CRC-32 of a nil block", kCRC32Memory, 5, nullptr, 0, 4, 0},
        {"Adler-32 of a nil block", kAdler32Memory, 5, nullptr, 0, 4, 1},
        {"CRC-32 of a negative length", kCRC32Memory, 5, block.get(), 2, -1, 0},
        {"Adler-32 of a negative offset", kAdler32Memory, 5, block.get(), -2, 4, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MemoryChecksum(c.function, c.start, ObjectArg(c.block), c.offset, c.length),
                  c.expected)
            << c.name;
}

} // namespace
} // namespace compressor_test
