// test-files.cpp -- FolderItem, GetFolderItem and the file-type registry.
#include "rb/files.h"

#include "temp-folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace rb;

namespace {

// Runs with the current working directory set to a folder, restoring the old one after.
class InFolder {
  public:
    explicit InFolder(const std::string &folder) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(old_); }

  private:
    std::filesystem::path old_;
};

TEST(FolderItem, NamesPathsAndExistence) {
    TempFolder tmp;
    Ref<FolderItem> item = FolderItem::FromPath(tmp / "sheet.setf");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->NativePath(), tmp / "sheet.setf");
    EXPECT_EQ(item->Name(), "sheet.setf");
    EXPECT_FALSE(item->Exists());
    EXPECT_FALSE(item->Directory());
    EXPECT_EQ(item->Length(), 0);
    EXPECT_FALSE(item->Delete());
    TempFolder::Put(item->NativePath(), "12345");
    EXPECT_TRUE(item->Exists());
    EXPECT_EQ(item->Length(), 5);
    EXPECT_EQ(item->Parent()->NativePath(), tmp.Path());
    EXPECT_TRUE(item->Parent()->Directory());
    EXPECT_EQ(item->Parent()->Child("sheet.setf")->NativePath(), item->NativePath());
    EXPECT_TRUE(item->Delete());
    EXPECT_FALSE(item->Exists());
}

TEST(FolderItem, PathForms) {
    EXPECT_FALSE(FolderItem::FromPath(""));
    // ".." after a folder that cannot be reached is left for the system to resolve.
    EXPECT_EQ(FolderItem::FromPath("/no-such-folder/b/../c/")->NativePath(),
              "/no-such-folder/b/../c");
    EXPECT_EQ(FolderItem::FromPath("/./a/.//c/.")->NativePath(), "/a/c");
    EXPECT_EQ(FolderItem::FromPath("/..")->NativePath(), "/");
    EXPECT_EQ(FolderItem::FromPath("/a//b")->Name(), "b");
    EXPECT_FALSE(FolderItem::FromPath("/")->Parent());
    EXPECT_EQ(FolderItem::FromPath("/a")->Parent()->NativePath(), "/");
    EXPECT_EQ(FolderItem::FromPath("/")->Child("tmp")->NativePath(), "/tmp");
    EXPECT_FALSE(FolderItem::FromPath("/")->Child(""));
}

TEST(GetFolderItem, ResolvesAgainstTheWorkingDirectory) {
    TempFolder tmp;
    const std::string real = std::filesystem::canonical(tmp.Path()).string();
    InFolder in(real);
    Ref<FolderItem> item = GetFolderItem("untitled.pdf");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->NativePath(), real + "/untitled.pdf");
    EXPECT_FALSE(GetFolderItem(""));
    EXPECT_EQ(GetFolderItem("sub/x.pdf")->NativePath(), real + "/sub/x.pdf");
}

TEST(FileType, RegistryByName) {
    Ref<FileType> t = New<FileType>();
    t->Name = "RegistryTest";
    t->Extensions = "rgt;rgx";
    t->MacType = "RgTt";
    t->MacCreator = "Vlmt";
    EXPECT_FALSE(FindFileType("RegistryTest"));
    EXPECT_EQ(t->ToText(), "RegistryTest");
    EXPECT_EQ(t->ToText(), "RegistryTest"); // registered once
    EXPECT_EQ(FindFileType("RegistryTest"), t);
    EXPECT_EQ(FindFileType("REGISTRYTEST"), t);
    EXPECT_FALSE(FindFileType("NoSuchType"));
    EXPECT_FALSE(FindFileType(""));
    EXPECT_EQ(FindFileType("registrytest")->Extensions, "rgt;rgx");
}

TEST(FileType, CreatedFileCarriesTypeAndCreator) {
    Ref<FileType> setf = New<FileType>();
    setf->Name = "Setf";
    setf->Extensions = "setf";
    setf->MacType = "Setf";
    setf->MacCreator = "Vlmt";
    setf->ToText();
    TempFolder tmp;
    Ref<FolderItem> item = FolderItem::FromPath(tmp / "a.setf");
    Ref<BinaryStream> out = item->CreateBinaryFile("Setf");
    ASSERT_TRUE(out);
    out->WriteInt32(1);
    ASSERT_TRUE(out->Close());
    EXPECT_EQ(item->MacType(), "Setf");
    EXPECT_EQ(item->MacCreator(), "Vlmt");
    // A type name that no file type registered stands for itself, without a creator.
    Ref<FolderItem> other = FolderItem::FromPath(tmp / "b.pdf");
    Ref<BinaryStream> pdf = other->CreateBinaryFile("pdf");
    ASSERT_TRUE(pdf);
    ASSERT_TRUE(pdf->Close());
    EXPECT_EQ(other->MacType(), "pdf");
    EXPECT_EQ(other->MacCreator(), "");
    EXPECT_EQ(FolderItem::FromPath(tmp / "none")->MacType(), "");
}

} // namespace
