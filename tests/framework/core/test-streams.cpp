// test-streams.cpp -- BinaryStream round trips, reads past the end, and the safe replacement
// of a file by CreateBinaryFile.
#include "rb/files.h"

#include "temp-folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

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
    EXPECT_FALSE(Item(tmp / "missing")->OpenAsBinaryFile());
    EXPECT_FALSE(Item(tmp.Path())->OpenAsBinaryFile()); // a folder
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
    EXPECT_FALSE(Item(tmp / "no-such-folder/x.bin")->CreateBinaryFile("Setf"));
    TempFolder::Put(tmp / "plain", "file");
    EXPECT_FALSE(Item(tmp / "plain/x.bin")->CreateBinaryFile("Setf")); // under a regular file
    EXPECT_FALSE(Item(tmp.Path())->CreateBinaryFile("Setf"));          // a folder
    EXPECT_EQ(tmp.Listing(), "plain");
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
    EXPECT_EQ(TempFolder::Get(path), "old contents");
    EXPECT_EQ(tmp.Listing(), "doc.setf");
}

} // namespace
