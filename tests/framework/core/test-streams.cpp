// test-streams.cpp -- BinaryStream round trips, reads past the end and read errors, the files
// that are no files to open at all, and reading a file's attribute list. What CreateBinaryFile
// promises of the file it writes is test-create-binary-file.cpp's.
#include "rb/files.h"

#include "attribute-lists.h"
#include "child-process.h"
#include "failing-calls.h"
#include "temp-folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

using namespace rb;
using namespace std::string_literals;

namespace {

Ref<FolderItem> Item(const std::string &path) { return FolderItem::FromPath(path); }

TEST(BinaryStream, RoundTripOfEveryType) {
    TempFolder tmp;
    Ref<FolderItem> item = Item(tmp / "all.bin");
    const std::string p255(255, 'x');
    std::string allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes.push_back(static_cast<char>(i));
    const std::int32_t ints[] = {0,
                                 1,
                                 -1,
                                 0x01020304,
                                 std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()};
    {
        Ref<BinaryStream> out = item->CreateBinaryFile("Setf");
        ASSERT_TRUE(out);
        for (std::int32_t v : ints)
            out->WriteInt32(v);
        out->WriteLong(-123456);
        out->WriteByte(0);
        out->WriteByte(255);
        out->WritePString("");
        out->WritePString("h\xC3\xA9llo");
        out->WritePString(p255);
        out->WritePString("a\0b"s);
        out->Write(allBytes);
        out->Write("");
        EXPECT_FALSE(out->WriteError());
        EXPECT_TRUE(out->Close());
        EXPECT_TRUE(out->Close()); // twice does nothing
    }
    Ref<BinaryStream> in = item->OpenAsBinaryFile(false);
    ASSERT_TRUE(in);
    EXPECT_EQ(in->Length(), 6 * 4 + 4 + 2 + 1 + 7 + 256 + 4 + 256);
    EXPECT_FALSE(in->IsEOF());
    for (std::int32_t v : ints)
        EXPECT_EQ(in->ReadInt32(), v);
    EXPECT_EQ(in->ReadLong(), -123456);
    EXPECT_EQ(in->ReadByte(), 0);
    EXPECT_EQ(in->ReadByte(), 255);
    EXPECT_EQ(in->ReadPString(), "");
    EXPECT_EQ(in->ReadPString(), "h\xC3\xA9llo");
    EXPECT_EQ(in->ReadPString(), p255);
    EXPECT_EQ(in->ReadPString(), "a\0b"s);
    EXPECT_FALSE(in->IsEOF());
    EXPECT_EQ(in->Read(256), allBytes);
    EXPECT_TRUE(in->IsEOF());
    EXPECT_EQ(in->Read(0), "");
    EXPECT_TRUE(in->Close());
}

TEST(BinaryStream, IntegersAreBigEndian) {
    TempFolder tmp;
    Ref<FolderItem> item = Item(tmp / "be.bin");
    Ref<BinaryStream> out = item->CreateBinaryFile("");
    ASSERT_TRUE(out);
    out->WriteInt32(0x01020304);
    out->WriteLong(-2);
    ASSERT_TRUE(out->Close());
    EXPECT_EQ(TempFolder::Get(item->NativePath()), "\x01\x02\x03\x04\xFF\xFF\xFF\xFE"s);
}

TEST(BinaryStream, PStringHoldsAtMost255Bytes) {
    TempFolder tmp;
    Ref<FolderItem> item = Item(tmp / "p.bin");
    Ref<BinaryStream> out = item->CreateBinaryFile("");
    ASSERT_TRUE(out);
    out->WritePString(std::string(300, 'y'));
    out->WriteInt32(7);
    ASSERT_TRUE(out->Close());
    EXPECT_EQ(item->Length(), 1 + 255 + 4);
    Ref<BinaryStream> in = item->OpenAsBinaryFile();
    EXPECT_EQ(in->ReadPString(), std::string(255, 'y'));
    EXPECT_EQ(in->ReadInt32(), 7);
}

struct PastEndCase {
    const char *name;
    std::string contents;
};

TEST(BinaryStream, ReadsPastTheEnd) {
    TempFolder tmp;
    const std::string path = tmp / "short.bin";
    // An int32 with 2 bytes left: 0, EOF, and the position stays within the file.
    TempFolder::Put(path, "\x01\x02"s);
    {
        Ref<BinaryStream> in = Item(path)->OpenAsBinaryFile();
        ASSERT_TRUE(in);
        EXPECT_EQ(in->ReadInt32(), 0);
        EXPECT_TRUE(in->IsEOF());
        EXPECT_LE(in->Position(), in->Length());
        EXPECT_EQ(in->ReadInt32(), 0);
        EXPECT_EQ(in->ReadByte(), 0);
        EXPECT_EQ(in->Read(5), "");
        EXPECT_EQ(in->ReadPString(), "");
        EXPECT_LE(in->Position(), 2);
    }
    // Read(n) gives the bytes that were left.
    TempFolder::Put(path, "abc");
    {
        Ref<BinaryStream> in = Item(path)->OpenAsBinaryFile();
        EXPECT_EQ(in->Read(10), "abc");
        EXPECT_TRUE(in->IsEOF());
    }
    // A PString whose length byte promises more than the file has: the empty text.
    TempFolder::Put(path, "\x0A"
                          "abc");
    {
        Ref<BinaryStream> in = Item(path)->OpenAsBinaryFile();
        EXPECT_EQ(in->ReadPString(), "");
        EXPECT_TRUE(in->IsEOF());
        EXPECT_EQ(in->Position(), 4);
    }
    // An empty file is at its end from the start.
    TempFolder::Put(path, "");
    {
        Ref<BinaryStream> in = Item(path)->OpenAsBinaryFile();
        ASSERT_TRUE(in);
        EXPECT_TRUE(in->IsEOF());
        EXPECT_EQ(in->ReadInt32(), 0);
        EXPECT_EQ(in->ReadPString(), "");
    }
    // Exactly at the end after a whole read; SetPosition moves back.
    TempFolder::Put(path, "\x00\x00\x00\x05"s);
    {
        Ref<BinaryStream> in = Item(path)->OpenAsBinaryFile();
        EXPECT_FALSE(in->IsEOF());
        EXPECT_EQ(in->ReadInt32(), 5);
        EXPECT_TRUE(in->IsEOF());
        in->SetPosition(0);
        EXPECT_FALSE(in->IsEOF());
        EXPECT_EQ(in->ReadInt32(), 5);
    }
}

TEST(BinaryStream, OpenFailures) {
    TempFolder tmp;
    Ref<FolderItem> missing = Item(tmp / "missing");
    EXPECT_FALSE(missing->OpenAsBinaryFile());
    EXPECT_EQ(missing->LastErrorCode(), ENOENT);
    TempFolder::Put(tmp / "there", "x");
    Ref<FolderItem> there = Item(tmp / "there");
    EXPECT_TRUE(there->OpenAsBinaryFile());
    EXPECT_EQ(there->LastErrorCode(), 0);
}

mode_t TypeOf(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

// What a user's folder may hold besides regular files. Opening a FIFO, or a device, can block
// until some other process comes, so none may be opened for reading or writing, nor
// replaced; a folder is refused too, with its own reason.
TEST(BinaryStream, OnlyRegularFilesAreOpenedAndNothingBlocks) {
    TempFolder tmp;
    ASSERT_EQ(mkfifo((tmp / "fifo").c_str(), 0666), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = tmp / "socket";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    std::filesystem::create_symlink("/dev/null", tmp / "device");
    std::filesystem::create_symlink("fifo", tmp / "link-to-fifo");
    std::filesystem::create_directory(tmp / "folder");
    const std::string listing = tmp.Listing();

    struct Case {
        const char *name;
        std::int32_t why;
    };
    const Case cases[] = {{"fifo", kNotARegularFile},
                          {"socket", kNotARegularFile},
                          {"device", kNotARegularFile},
                          {"link-to-fifo", kNotARegularFile},
                          {"folder", EISDIR}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = tmp / c.name;
        const mode_t type = TypeOf(path);
        Ref<FolderItem> item = Item(path);
        HangGuard guard;
        EXPECT_FALSE(item->OpenAsBinaryFile(false));
        EXPECT_EQ(item->LastErrorCode(), c.why);
        EXPECT_FALSE(item->OpenAsBinaryFile(true));
        EXPECT_EQ(item->LastErrorCode(), c.why);
        EXPECT_FALSE(item->CreateBinaryFile("Setf"));
        EXPECT_EQ(item->LastErrorCode(), c.why);
        EXPECT_EQ(TypeOf(path), type) << "replaced";
    }
    EXPECT_EQ(tmp.Listing(), listing);
    close(sock);
}

TEST(BinaryStream, WritingAReadOnlyStreamFails) {
    TempFolder tmp;
    TempFolder::Put(tmp / "r.bin", "keep");
    Ref<BinaryStream> in = Item(tmp / "r.bin")->OpenAsBinaryFile(false);
    in->Write("x");
    EXPECT_TRUE(in->WriteError());
    EXPECT_FALSE(in->Close());
    EXPECT_EQ(TempFolder::Get(tmp / "r.bin"), "keep");
}

TEST(BinaryStream, ReadWriteInPlace) {
    TempFolder tmp;
    TempFolder::Put(tmp / "rw.bin", "abcdef");
    Ref<BinaryStream> s = Item(tmp / "rw.bin")->OpenAsBinaryFile(true);
    ASSERT_TRUE(s);
    s->SetPosition(2);
    s->Write("XY");
    EXPECT_EQ(s->Position(), 4);
    EXPECT_EQ(s->Read(2), "ef");
    s->Write("gh");
    EXPECT_EQ(s->Length(), 8);
    s->SetPosition(0);
    EXPECT_EQ(s->Read(100), "abXYefgh");
    EXPECT_TRUE(s->Close());
    EXPECT_EQ(TempFolder::Get(tmp / "rw.bin"), "abXYefgh");
}

// A read that the disk fails is an error, never the end of the file: the stream says why,
// reads nothing more, and is at its end, so no reader takes what came before for the whole.
// The disk fails every read from a point on (a failing or network disk), in a child.
TEST(BinaryStream, AReadErrorIsAnErrorNotTheEnd) {
    TempFolder tmp;
    const std::string path = tmp / "big.setf";
    std::string bytes;
    for (int i = 0; bytes.size() < 210000; ++i)
        bytes += "row " + std::to_string(i) + "\n";
    TempFolder::Put(path, bytes);
    const struct {
        const char *name;
        bool readWrite;
        std::uint32_t failsFrom;
    } cases[] = {
        {"reads that fail past the first 100,000 bytes", false, 100000},
        {"reads that fail from the first byte", false, 0},
        {"a file opened to read and write", true, 100000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ChildResult child = RunInChild([&] {
            Ref<BinaryStream> in = Item(path)->OpenAsBinaryFile(c.readWrite);
            if (!in)
                return 1;
            if (!FailCalls({{SYS_pread64, c.failsFrom, EIO}}))
                return 125;
            std::string read;
            while (!in->IsEOF() && read.size() <= bytes.size())
                read += in->Read(1000);
            if (!in->ReadError() || in->LastErrorCode() != EIO)
                return 2;
            if (read.size() >= bytes.size() || read != bytes.substr(0, read.size()))
                return 3;
            in->SetPosition(0);
            if (in->ReadByte() != 0 || in->ReadPString() != "" || !in->IsEOF())
                return 4;
            return in->FailureReason() == ": the disk reported an error" ? 0 : 5;
        });
        if (child.exited && child.status == 125)
            GTEST_SKIP() << kNoCallFilter;
        ASSERT_TRUE(child.exited) << child.Describe();
        EXPECT_EQ(child.status, 0) << "1: not opened, 2: no read error, 3: other bytes, 4: read "
                                      "on after the error, 5: another reason";
    }
}

// The names of a file's extended attributes come as a list that the system sizes; a list
// whose last name has no final NUL still ends, and a value that keeps growing between the
// asking and the reading is given up on instead of asked for again and again.
TEST(AttributeLists, ListsEndAndGrowingValuesAreGivenUpOn) {
    const struct {
        std::string list;
        std::vector<std::string> names;
    } lists[] = {
        {"user.a\0user.b\0"s, {"user.a", "user.b"}},
        {"user.a\0user.b"s, {"user.a", "user.b"}},
        {"user.a\0\0"s, {"user.a"}},
        {"", {}},
    };
    for (const auto &l : lists) {
        SCOPED_TRACE(l.list);
        HangGuard guard;
        std::vector<std::string> names;
        const auto list = [&](char *out, std::size_t size) -> ssize_t {
            if (size == 0 || out == nullptr)
                return static_cast<ssize_t>(l.list.size());
            l.list.copy(out, size);
            return static_cast<ssize_t>(l.list.size());
        };
        ASSERT_TRUE(AttributeNames(list, names));
        EXPECT_EQ(names, l.names);
    }
    HangGuard guard;
    int asked = 0;
    const auto growing = [&](char *out, std::size_t size) -> ssize_t {
        ++asked;
        if (out == nullptr)
            return static_cast<ssize_t>(asked * 10);
        (void)size;
        errno = ERANGE;
        return -1;
    };
    std::string value;
    EXPECT_FALSE(ReadSized(growing, value));
    EXPECT_EQ(errno, ERANGE);
    EXPECT_LE(asked, 2 * kMostSizedReads);
}

} // namespace
