// test-files.cpp -- FolderItem, GetFolderItem and the file-type registry.
#include "rb/files.h"

#include "child-process.h"
#include "temp-folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <sstream>

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

// An item's path, "null" for none.
std::string PathOf(const Ref<FolderItem> &item) { return item ? item->NativePath() : "null"; }

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

// Where the working folder is gone (removed while the program runs in it), a relative name is
// the system's to resolve: the item keeps it relative, without "." and doubled "/" and with
// ".." as written, so that every use fails as the system fails it, and nothing is read or made
// in a folder the name did not mean, such as the root. Run in a child without a working folder;
// the name is this test's own, so that a file the root must not get is known to be its.
TEST(FolderItem, RelativeNamesWithoutAWorkingFolderAreLeftToTheSystem) {
    TempFolder tmp;
    const std::string name = "vellumet-test-" + std::to_string(getpid()) + ".setf";
    const struct {
        const char *name;
        std::function<std::string()> got;
        std::string expected;
    } cases[] = {
        {"a name", [&] { return PathOf(FolderItem::FromPath(name)); }, name},
        {"\".\" and doubled \"/\"",
         [] { return PathOf(FolderItem::FromPath("./sub//doc.setf/.")); }, "sub/doc.setf"},
        {"\"..\" first", [] { return PathOf(FolderItem::FromPath("../doc.setf")); }, "../doc.setf"},
        {"\"..\" after a folder", [] { return PathOf(FolderItem::FromPath("sub/../doc.setf")); },
         "sub/../doc.setf"},
        {"the working folder itself", [] { return PathOf(FolderItem::FromPath("./")); }, "."},
        {"GetFolderItem", [&] { return PathOf(GetFolderItem(name)); }, name},
        {"an absolute path", [] { return PathOf(FolderItem::FromPath("/a/./b")); }, "/a/b"},
        {"Name", [] { return FolderItem::FromPath("sub/doc.setf")->Name(); }, "doc.setf"},
        {"Parent of a path in a folder",
         [] { return PathOf(FolderItem::FromPath("sub/doc.setf")->Parent()); }, "sub"},
        {"Parent of a name", [] { return PathOf(FolderItem::FromPath("doc.setf")->Parent()); },
         "."},
        {"Parent of the working folder", [] { return PathOf(FolderItem::FromPath(".")->Parent()); },
         ".."},
        {"Parent of \"..\"", [] { return PathOf(FolderItem::FromPath("..")->Parent()); }, "../.."},
        {"Child of the working folder",
         [] { return PathOf(FolderItem::FromPath(".")->Child("doc.setf")); }, "doc.setf"},
        {"Child of a folder", [] { return PathOf(FolderItem::FromPath("sub")->Child("doc.setf")); },
         "sub/doc.setf"},
        {"saving a file",
         [&] {
             Ref<FolderItem> item = GetFolderItem(name);
             Ref<BinaryStream> out = item->CreateBinaryFile("Setf");
             if (!out)
                 return "refused, error " + std::to_string(item->LastErrorCode());
             out->Write("saved");
             return std::string(out->Close() ? "saved" : "not closed");
         },
         "refused, error " + std::to_string(ENOENT)},
    };
    const std::string report = tmp / "report";
    const ChildResult child = RunWithoutWorkingFolder(tmp.Path(), [&] {
        std::string lines;
        for (const auto &c : cases)
            lines += c.got() + "\n";
        TempFolder::Put(report, lines);
        return 0;
    });
    const bool madeAtTheRoot = std::filesystem::remove("/" + name);
    ASSERT_TRUE(child.exited && child.status == 0) << child.Describe();
    std::istringstream got(TempFolder::Get(report));
    for (const auto &c : cases) {
        std::string line;
        std::getline(got, line);
        EXPECT_EQ(line, c.expected) << c.name;
    }
    EXPECT_FALSE(madeAtTheRoot) << "the save wrote /" << name;
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
