// test-streams.cpp -- BinaryStream round trips, reads past the end, the safe replacement
// of a file by CreateBinaryFile, and the files that are not the user's to write or no files
// at all.
#include "rb/files.h"

#include "child-process.h"
#include "temp-folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
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

TEST(CreateBinaryFile, FailsWhereNoFileCanBeMade) {
    TempFolder tmp;
    TempFolder::Put(tmp / "plain", "file");
    const struct {
        std::string path;
        std::int32_t why;
    } cases[] = {{tmp / "no-such-folder/x.bin", ENOENT},
                 {tmp / "plain/x.bin", ENOTDIR}, // under a regular file
                 {tmp.Path(), EISDIR}};
    for (const auto &c : cases) {
        Ref<FolderItem> item = Item(c.path);
        EXPECT_FALSE(item->CreateBinaryFile("Setf")) << c.path;
        EXPECT_EQ(item->LastErrorCode(), c.why) << c.path;
    }
    EXPECT_EQ(tmp.Listing(), "plain");
}

// Saving through a link writes the file that the link names, keeping its mode; the link,
// and a link to that link, stay as they are.
TEST(CreateBinaryFile, WritesTheFileALinkNamesAndKeepsTheLink) {
    TempFolder tmp;
    std::filesystem::create_directory(tmp / "real");
    const std::string real = tmp / "real/doc.setf";
    TempFolder::Put(real, "old contents");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    std::filesystem::create_symlink("real/doc.setf", tmp / "link.setf");
    std::filesystem::create_symlink(tmp / "link.setf", tmp / "chain.setf");
    for (const char *link : {"link.setf", "chain.setf"}) {
        SCOPED_TRACE(link);
        Ref<BinaryStream> out = Item(tmp / link)->CreateBinaryFile("Setf");
        ASSERT_TRUE(out);
        out->Write(std::string("through ") + link);
        ASSERT_TRUE(out->Close());
        EXPECT_EQ(TempFolder::Get(real), std::string("through ") + link);
        EXPECT_TRUE(std::filesystem::is_symlink(tmp / link));
        struct stat st;
        ASSERT_EQ(stat(real.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        EXPECT_EQ(tmp.Listing(), "chain.setf link.setf real");
        EXPECT_EQ(std::filesystem::read_symlink(tmp / "link.setf"), "real/doc.setf");
    }
    // A link that goes round in a circle names no file.
    std::filesystem::create_symlink("loop-b", tmp / "loop-a");
    std::filesystem::create_symlink("loop-a", tmp / "loop-b");
    Ref<FolderItem> loop = Item(tmp / "loop-a");
    EXPECT_FALSE(loop->CreateBinaryFile("Setf"));
    EXPECT_EQ(loop->LastErrorCode(), ELOOP);
}

// A write-protected file is not replaced, by anyone, directly or through a link.
TEST(CreateBinaryFile, AWriteProtectedFileIsNotReplaced) {
    TempFolder tmp;
    const std::string path = tmp / "locked.setf";
    TempFolder::Put(path, "old contents");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    std::filesystem::create_symlink("locked.setf", tmp / "link.setf");
    for (const char *name : {"locked.setf", "link.setf"}) {
        Ref<FolderItem> item = Item(tmp / name);
        EXPECT_FALSE(item->CreateBinaryFile("Setf")) << name;
        EXPECT_EQ(item->LastErrorCode(), EACCES) << name;
    }
    EXPECT_EQ(TempFolder::Get(path), "old contents");
    EXPECT_EQ(tmp.Listing(), "link.setf locked.setf");
}

// As a user whom the permission bits bind: another user's file is neither replaced nor read,
// and a file of the user's own in a folder the user cannot write to is written in place.
TEST(CreateBinaryFile, KeepsToWhatTheUserMayWrite) {
    const std::string why = CannotRunAsNobody();
    if (!why.empty())
        GTEST_SKIP() << why;
    TempFolder tmp;
    ASSERT_EQ(chmod(tmp.Path().c_str(), 0755), 0);
    std::filesystem::create_directory(tmp / "open");
    std::filesystem::create_directory(tmp / "locked");
    TempFolder::Put(tmp / "open/theirs.setf", "their file");
    TempFolder::Put(tmp / "open/private.setf", "their secret");
    TempFolder::Put(tmp / "locked/mine.setf", "old contents, longer than the new");
    ASSERT_EQ(chmod((tmp / "open").c_str(), 0777), 0);
    ASSERT_EQ(chmod((tmp / "open/theirs.setf").c_str(), 0644), 0);
    ASSERT_EQ(chmod((tmp / "open/private.setf").c_str(), 0600), 0);
    ASSERT_EQ(chmod((tmp / "locked").c_str(), 0555), 0);
    ASSERT_EQ(chmod((tmp / "locked/mine.setf").c_str(), 0666), 0);

    const ChildResult child = RunAsNobody([&] {
        Ref<FolderItem> theirs = Item(tmp / "open/theirs.setf");
        if (theirs->CreateBinaryFile("Setf") || theirs->LastErrorCode() != EACCES)
            return 1;
        Ref<FolderItem> secret = Item(tmp / "open/private.setf");
        if (secret->OpenAsBinaryFile(false) || secret->LastErrorCode() != EACCES)
            return 2;
        Ref<FolderItem> fresh = Item(tmp / "locked/new.setf");
        if (fresh->CreateBinaryFile("Setf") || fresh->LastErrorCode() != EACCES)
            return 3;
        Ref<FolderItem> mine = Item(tmp / "locked/mine.setf");
        Ref<BinaryStream> out = mine->CreateBinaryFile("Setf");
        if (!out)
            return 4;
        out->Write("new");
        if (!out->Close())
            return 5;
        // A stream dropped without Close leaves the file as it was, in place too.
        out = mine->CreateBinaryFile("Setf");
        if (!out)
            return 6;
        out->Write("abandoned");
        out = nullptr;
        return 0;
    });
    ASSERT_TRUE(child.exited && child.status != 125) << child.Describe();
    EXPECT_EQ(child.status, 0) << "failed at step " << child.status;
    EXPECT_EQ(TempFolder::Get(tmp / "open/theirs.setf"), "their file");
    EXPECT_EQ(TempFolder::Get(tmp / "locked/mine.setf"), "new");
    EXPECT_EQ(std::filesystem::status(tmp / "locked/mine.setf").permissions(),
              std::filesystem::perms(0666));
    EXPECT_EQ(TempFolder::Get(tmp / "open/private.setf"), "their secret");
    // No temporary file is left, and no file made.
    auto count = [](const std::string &folder) {
        return std::distance(std::filesystem::directory_iterator(folder), {});
    };
    EXPECT_EQ(count(tmp / "open"), 2);
    EXPECT_EQ(count(tmp / "locked"), 1);
}

TEST(CreateBinaryFile, ReplacesTheTargetOnClose) {
    TempFolder tmp;
    const std::string path = tmp / "doc.setf";
    TempFolder::Put(path, "old contents");
    Ref<BinaryStream> out = Item(path)->CreateBinaryFile("Setf");
    ASSERT_TRUE(out);
    out->Write("new");
    EXPECT_EQ(TempFolder::Get(path), "old contents"); // nothing replaced before Close
    ASSERT_TRUE(out->Close());
    EXPECT_EQ(TempFolder::Get(path), "new");
    EXPECT_EQ(tmp.Listing(), "doc.setf"); // no temporary file left
}

TEST(CreateBinaryFile, NewFileHasTheUsualPermissions) {
    TempFolder tmp;
    const mode_t mask = umask(022);
    Ref<BinaryStream> out = Item(tmp / "n.pdf")->CreateBinaryFile("pdf");
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->Close());
    umask(mask);
    struct stat st;
    ASSERT_EQ(stat((tmp / "n.pdf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(CreateBinaryFile, AnUnclosedStreamLeavesTheOldFile) {
    TempFolder tmp;
    const std::string path = tmp / "doc.setf";
    TempFolder::Put(path, "old contents");
    {
        Ref<BinaryStream> out = Item(path)->CreateBinaryFile("Setf");
        ASSERT_TRUE(out);
        out->Write(std::string(100000, 'n'));
    } // dropped without Close
    EXPECT_EQ(TempFolder::Get(path), "old contents");
    EXPECT_EQ(tmp.Listing(), "doc.setf");
    // Nor does an unclosed stream create a file that was not there.
    {
        Ref<BinaryStream> out = Item(tmp / "fresh.pdf")->CreateBinaryFile("pdf");
        out->Write("x");
    }
    EXPECT_EQ(tmp.Listing(), "doc.setf");
}

TEST(CreateBinaryFile, AFailedWriteLeavesTheOldFile) {
    TempFolder tmp;
    const std::string path = tmp / "doc.setf";
    TempFolder::Put(path, "old contents");
    // A file-size limit makes writes fail even for root.
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Ref<BinaryStream> out = Item(path)->CreateBinaryFile("Setf");
    ASSERT_TRUE(out);
    out->Write(std::string(200000, 'n'));
    const bool closed = out->Close();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(out->WriteError());
    EXPECT_EQ(out->LastErrorCode(), EFBIG);
    EXPECT_EQ(TempFolder::Get(path), "old contents");
    EXPECT_EQ(tmp.Listing(), "doc.setf");
}

} // namespace
