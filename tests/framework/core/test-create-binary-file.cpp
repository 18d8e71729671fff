// test-create-binary-file.cpp -- what CreateBinaryFile promises of the file it writes: it is
// the file the system reaches for the same path, links, linked folders and ".." included; any
// name and path the system takes is saved by the atomic replacement, which keeps who may use
// the file (owner, group, mode, ACL, extended attributes) and carries the file type's marks
// before it takes the name; a file that cannot be replaced so (hard links, a file mounted on
// its own, what the user may not do) is written in place, where a full disk leaves it whole
// and a later failure says it is damaged; and what is not the user's to write is refused.
#include "rb/files.h"

#include "child-process.h"
#include "failing-calls.h"
#include "run-command.h"
#include "temp-folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <vector>

using namespace rb;
namespace fs = std::filesystem;

namespace {

// Writes `bytes` to the file at `path` through CreateBinaryFile: "" when Close succeeded,
// else the reason.
std::string Save(const std::string &path, const std::string &bytes) {
    Ref<FolderItem> item = FolderItem::FromPath(path);
    Ref<BinaryStream> out = item->CreateBinaryFile("Setf");
    if (!out)
        return "not created" + FileErrorReason(item->LastErrorCode());
    out->Write(bytes);
    return out->Close() ? "" : "not closed" + out->FailureReason();
}

// What OpenAsBinaryFile reads of the file at `path`.
std::string Open(const std::string &path) {
    Ref<BinaryStream> in = FolderItem::FromPath(path)->OpenAsBinaryFile(false);
    return in ? in->Read(1 << 20) : "not opened";
}

struct stat Status(const std::string &path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
}

std::string Attribute(const std::string &path, const char *name) {
    char value[4096];
    const ssize_t n = getxattr(path.c_str(), name, value, sizeof value);
    return n < 0 ? "none" : std::string(value, static_cast<std::size_t>(n));
}

// Why the temporary folder cannot hold user extended attributes; empty when it can.
std::string NoUserAttributesIn(const TempFolder &tmp) {
    const std::string probe = tmp / ".probe";
    TempFolder::Put(probe, "");
    const bool can = setxattr(probe.c_str(), "user.probe", "1", 1, 0) == 0;
    fs::remove(probe);
    return can ? "" : "the temporary folder's file system has no user extended attributes";
}


TEST(CreateBinaryFile, ReplacesTheTargetOnClose) {
    TempFolder tmp;
    const std::string path = tmp / "doc.setf";
    TempFolder::Put(path, "old contents");
    const ino_t inode = Status(path).st_ino;
    Ref<BinaryStream> out = FolderItem::FromPath(path)->CreateBinaryFile("Setf");
    ASSERT_TRUE(out);
    out->Write("new");
    EXPECT_EQ(TempFolder::Get(path), "old contents"); // nothing replaced before Close
    ASSERT_TRUE(out->Close());
    EXPECT_EQ(TempFolder::Get(path), "new");
    EXPECT_NE(Status(path).st_ino, inode) << "written in place";
    EXPECT_EQ(tmp.Listing(), "doc.setf"); // no temporary file left
}

TEST(CreateBinaryFile, NewFileHasTheUsualPermissions) {
    TempFolder tmp;
    const mode_t mask = umask(022);
    Ref<BinaryStream> out = FolderItem::FromPath(tmp / "n.pdf")->CreateBinaryFile("pdf");
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->Close());
    umask(mask);
    EXPECT_EQ(Status(tmp / "n.pdf").st_mode & 0777, 0644u);
}

TEST(CreateBinaryFile, AnUnclosedStreamLeavesTheOldFile) {
    TempFolder tmp;
    const std::string path = tmp / "doc.setf";
    TempFolder::Put(path, "old contents");
    {
        Ref<BinaryStream> out = FolderItem::FromPath(path)->CreateBinaryFile("Setf");
        ASSERT_TRUE(out);
        out->Write(std::string(100000, 'n'));
    } // dropped without Close
    EXPECT_EQ(TempFolder::Get(path), "old contents");
    EXPECT_EQ(tmp.Listing(), "doc.setf");
    // Nor does an unclosed stream create a file that was not there.
    {
        Ref<BinaryStream> out = FolderItem::FromPath(tmp / "fresh.pdf")->CreateBinaryFile("pdf");
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
    Ref<BinaryStream> out = FolderItem::FromPath(path)->CreateBinaryFile("Setf");
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

// What no stream is made for, and why; nothing in the folder changes. A write-protected file
// is not replaced by anyone, directly or through a link.
TEST(CreateBinaryFile, FailsWhereNoFileCanBeMade) {
    TempFolder tmp;
    TempFolder::Put(tmp / "plain", "file");
    TempFolder::Put(tmp / "locked.setf", "old contents");
    ASSERT_EQ(chmod((tmp / "locked.setf").c_str(), 0444), 0);
    fs::create_symlink("locked.setf", tmp / "link-to-locked.setf");
    fs::create_symlink("loop-b", tmp / "loop-a");
    fs::create_symlink("loop-a", tmp / "loop-b");
    const std::string listing = tmp.Listing();
    const struct {
        std::string path;
        std::int32_t why;
    } cases[] = {
        {tmp / "no-such-folder/x.bin", ENOENT},
        {tmp / "plain/x.bin", ENOTDIR}, // under a regular file
        {tmp.Path(), EISDIR},
        {"/", EISDIR},
        {tmp / "locked.setf", EACCES},
        {tmp / "link-to-locked.setf", EACCES},
        {tmp / "loop-a", ELOOP}, // links that go round name no file
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        Ref<FolderItem> item = FolderItem::FromPath(c.path);
        EXPECT_FALSE(item->CreateBinaryFile("Setf"));
        EXPECT_EQ(item->LastErrorCode(), c.why);
    }
    EXPECT_EQ(TempFolder::Get(tmp / "locked.setf"), "old contents");
    EXPECT_EQ(tmp.Listing(), listing);
}

// The folders of a user who keeps linked folders and links: work/sub is elsewhere/deep/sub,
// and links in it lead up from there. For every path the saved file is the one the system
// reaches: what it reads back for that path, with its mode kept; the links stay links, and
// work/doc.setf and work/other.setf, which text-wise ".." would reach, are untouched.
TEST(CreateBinaryFile, ReachesTheFileTheSystemReaches) {
    TempFolder tmp;
    fs::create_directories(tmp / "work");
    fs::create_directories(tmp / "elsewhere/deep/sub");
    fs::create_directory_symlink("../elsewhere/deep/sub", tmp / "work/sub");
    fs::create_symlink("../doc.setf", tmp / "elsewhere/deep/sub/link.setf");
    fs::create_symlink("sub/../other.setf", tmp / "work/up.setf");
    fs::create_symlink(tmp / "work/sub/../other.setf", tmp / "work/absolute.setf");
    fs::create_symlink("../elsewhere/deep/doc.setf", tmp / "work/plain-link.setf");
    fs::create_symlink(tmp / "work/plain-link.setf", tmp / "work/chain.setf");
    const char *const kUnrelated = "an unrelated file";
    for (const char *name : {"work/doc.setf", "work/other.setf"})
        TempFolder::Put(tmp / name, kUnrelated);
    for (const char *name : {"elsewhere/deep/doc.setf", "elsewhere/deep/other.setf"}) {
        TempFolder::Put(tmp / name, "the old file");
        ASSERT_EQ(chmod((tmp / name).c_str(), 0640), 0);
    }

    const struct {
        const char *path;    // as the user names it
        const char *reached; // the file the system reaches for it
    } cases[] = {
        {"work/plain-link.setf", "elsewhere/deep/doc.setf"},
        {"work/chain.setf", "elsewhere/deep/doc.setf"}, // a link to a link
        {"work/sub/link.setf", "elsewhere/deep/doc.setf"},
        {"work/sub/../other.setf", "elsewhere/deep/other.setf"},
        {"work/up.setf", "elsewhere/deep/other.setf"},
        {"work/absolute.setf", "elsewhere/deep/other.setf"},
        {"work/sub/../new.setf", "elsewhere/deep/new.setf"},
        {"work/sub/./../sub/../../deep/doc.setf", "elsewhere/deep/doc.setf"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        const std::string bytes = std::string("saved as ") + c.path;
        ASSERT_EQ(Save(tmp / c.path, bytes), "");
        EXPECT_EQ(TempFolder::Get(tmp / c.reached), bytes);
        EXPECT_EQ(TempFolder::Get(tmp / c.path), bytes) << "the system reads another file";
        EXPECT_EQ(Open(tmp / c.path), bytes) << "opening reads another file";
        if (std::string(c.reached) != "elsewhere/deep/new.setf") {
            EXPECT_EQ(Status(tmp / c.reached).st_mode & 07777, 0640u);
        }
        EXPECT_EQ(TempFolder::Get(tmp / "work/doc.setf"), kUnrelated);
        EXPECT_EQ(TempFolder::Get(tmp / "work/other.setf"), kUnrelated);
    }
    for (const char *link : {"elsewhere/deep/sub/link.setf", "work/up.setf", "work/chain.setf",
                             "work/plain-link.setf"})
        EXPECT_TRUE(fs::is_symlink(tmp / link)) << link;
    EXPECT_EQ(fs::read_symlink(tmp / "work/plain-link.setf"), "../elsewhere/deep/doc.setf");
    EXPECT_EQ(tmp.Listing(), "elsewhere work");
}

// A folder path `length` bytes long below `base`, made of folders of at most 200 bytes.
std::string FolderOfLength(const std::string &base, std::size_t length) {
    std::string path = base;
    while (path.size() < length) {
        const std::size_t part = std::min<std::size_t>(200, length - path.size() - 1);
        path.push_back('/');
        path.append(std::max<std::size_t>(part, 1), 'd');
        fs::create_directory(path);
    }
    return path;
}

// Any name and any path the system takes is saved, and an old file of such a name is
// replaced (a new inode), not written in place: the temporary name is cut to fit the folder's
// longest name, never inside a character, and made in the opened folder, so the target's
// path may be as long as the system takes (4095 bytes).
TEST(CreateBinaryFile, AnyNameAndPathTheSystemTakesIsReplacedAtomically) {
    TempFolder tmp;
    std::string accented;
    while (accented.size() < 250)
        accented += "\xC3\xA9"; // é
    const std::string deep = FolderOfLength(tmp.Path(), 4095 - 1 - 100);
    const struct {
        std::string folder;
        std::string name;
    } cases[] = {
        {tmp.Path(), std::string(242, 'n') + ".setf"},
        {tmp.Path(), std::string(243, 'n') + ".setf"},
        {tmp.Path(), std::string(246, 'n') + ".setf"},
        {tmp.Path(), std::string(250, 'n') + ".setf"},
        {tmp.Path(), accented + ".setf"},
        {deep, std::string(100 - 5, 'n') + ".setf"}, // a path of 4095 bytes
        {deep, std::string(90 - 5, 'n') + ".setf"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.name.size()) + "-byte name");
        const std::string path = c.folder + "/" + c.name;
        ASSERT_LE(c.name.size(), 255u);
        ASSERT_LE(path.size(), 4095u);
        ASSERT_EQ(Save(path, "new file"), "");
        const ino_t first = Status(path).st_ino;
        // While a stream is open, its temporary file is a name the system took; it is valid
        // UTF-8 where the name is.
        Ref<BinaryStream> out = FolderItem::FromPath(path)->CreateBinaryFile("Setf");
        ASSERT_TRUE(out);
        std::string temporary;
        for (const auto &entry : fs::directory_iterator(c.folder))
            if (entry.path().filename().string() != c.name && !entry.is_directory())
                temporary = entry.path().filename().string();
        ASSERT_FALSE(temporary.empty()) << "written in place";
        EXPECT_LE(temporary.size(), 255u);
        if (c.name == accented + ".setf") {
            EXPECT_EQ((temporary.size() - 8) % 2, 0u) << "cut inside a character: " << temporary;
        }
        out->Write("replaced");
        ASSERT_TRUE(out->Close());
        EXPECT_EQ(TempFolder::Get(path), "replaced");
        EXPECT_NE(Status(path).st_ino, first) << "written in place";
        fs::remove(path);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(deep), {}), 0) << "a file was left";
}

// The replacement is the same file to everyone who uses it: its ACL (which a plain chmod of
// the group bits would widen), its extended attributes and its mode, and no ACL the folder's
// default would give a new file.
TEST(CreateBinaryFile, TheReplacementKeepsTheFilesAccessAndAttributes) {
    TempFolder tmp;
    if (const std::string why = NoUserAttributesIn(tmp); !why.empty())
        GTEST_SKIP() << why;
    const std::string shared = tmp / "shared.setf";
    TempFolder::Put(shared, "old");
    ASSERT_EQ(chmod(shared.c_str(), 0600), 0);
    std::string output;
    if (RunCommand("setfacl -m u:nobody:rw '" + shared + "'", &output) != 0)
        GTEST_SKIP() << "no ACL can be set in the temporary folder: " << output;
    ASSERT_EQ(setxattr(shared.c_str(), "user.note", "kept", 4, 0), 0);
    const std::string acl = Attribute(shared, "system.posix_acl_access");
    ASSERT_NE(acl, "none");
    const mode_t mode = Status(shared).st_mode;

    ASSERT_EQ(Save(shared, "new"), "");
    EXPECT_EQ(TempFolder::Get(shared), "new");
    EXPECT_EQ(Attribute(shared, "system.posix_acl_access"), acl) << "the ACL was dropped";
    EXPECT_EQ(Attribute(shared, "user.note"), "kept");
    EXPECT_EQ(Attribute(shared, "user.rb.mactype"), "Setf");
    EXPECT_EQ(Status(shared).st_mode, mode) << "the group bits changed";

    fs::create_directory(tmp / "defaults");
    const std::string plain = tmp / "defaults/plain.setf";
    TempFolder::Put(plain, "old");
    ASSERT_EQ(chmod(plain.c_str(), 0600), 0);
    ASSERT_EQ(RunCommand("setfacl -d -m u:nobody:rw '" + tmp / "defaults" + "'", &output), 0)
        << output;
    ASSERT_EQ(Save(plain, "new"), "");
    EXPECT_EQ(Attribute(plain, "system.posix_acl_access"), "none") << "an ACL was added";
    EXPECT_EQ(Status(plain).st_mode & 07777, 0600u);

    // Whom the ACL lets in may still use the file.
    if (CannotRunAsNobody().empty()) {
        ASSERT_EQ(chmod(tmp.Path().c_str(), 0755), 0);
        const ChildResult child = RunAsNobody([&] { return Save(shared, "nobody's").empty() ? 0 : 1; });
        EXPECT_TRUE(child.exited && child.status == 0) << child.Describe();
        EXPECT_EQ(TempFolder::Get(shared), "nobody's");
        EXPECT_EQ(Status(shared).st_uid, 0u) << "the file changed hands";
        EXPECT_EQ(Attribute(shared, "system.posix_acl_access"), acl);
    }
}

// A mount for the length of a test: a file mounted on another, as containers do, or a small
// file system of its own; unmounted again at the end.
class Mount {
  public:
    Mount(const std::string &source, const std::string &target, const char *type,
          unsigned long flags, const std::string &options = "")
        : target_(target) {
        if (mount(source.c_str(), target.c_str(), type, flags,
                  options.empty() ? nullptr : options.c_str()) != 0)
            why_ = "nothing can be mounted here: " + std::string(std::strerror(errno));
    }
    ~Mount() {
        if (why_.empty())
            umount2(target_.c_str(), MNT_DETACH);
    }
    Mount(const Mount &) = delete;
    Mount &operator=(const Mount &) = delete;
    const std::string &Why() const { return why_; }

  private:
    std::string target_;
    std::string why_;
};

// As root, the files a replacement cannot be the same file for are written in place, keeping
// the file's identity: one with another hard link (both names go on showing one file), and
// one mounted on its own (the system does not rename over it). The old file is longer than
// the new, so that its end must go.
TEST(CreateBinaryFile, HardLinkedAndMountedFilesAreWrittenInPlace) {
    TempFolder tmp;
    const std::string old = "the old file, longer than the new one";
    const std::string linked = tmp / "linked.setf";
    TempFolder::Put(linked, old);
    ASSERT_EQ(link(linked.c_str(), (tmp / "second name").c_str()), 0);
    ASSERT_EQ(Save(linked, "new through one name"), "");
    EXPECT_EQ(TempFolder::Get(tmp / "second name"), "new through one name");
    EXPECT_EQ(Status(linked).st_ino, Status(tmp / "second name").st_ino);

    const std::string source = tmp / "source.setf", mounted = tmp / "mounted.setf";
    TempFolder::Put(source, old);
    TempFolder::Put(mounted, "the file under the mount");
    const ino_t inode = Status(source).st_ino;
    {
        Mount mount(source, mounted, nullptr, MS_BIND);
        if (!mount.Why().empty())
            GTEST_SKIP() << mount.Why();
        ASSERT_EQ(Save(mounted, "new through the mount"), "");
        EXPECT_EQ(TempFolder::Get(mounted), "new through the mount");
        EXPECT_EQ(TempFolder::Get(source), "new through the mount");
        EXPECT_EQ(Status(source).st_ino, inode);
    }
    EXPECT_EQ(TempFolder::Get(mounted), "the file under the mount");
    EXPECT_EQ(tmp.Listing(), "linked.setf mounted.setf second name source.setf");
}

// As a user whom the permission bits bind: what the user may not write is refused, and a file
// the user may write but could not replace with one of the same owner, group and mode (a
// folder that refuses a new file, an owner or group the user cannot give, a sticky folder that
// refuses the rename) is written in place. Each keeps owner, group and mode, and no file is
// left or made.
TEST(CreateBinaryFile, AsAUserWhomPermissionsBind) {
    const std::string why = CannotRunAsNobody();
    if (!why.empty())
        GTEST_SKIP() << why;
    TempFolder tmp;
    ASSERT_EQ(chmod(tmp.Path().c_str(), 0755), 0);
    const uid_t nobody = getpwnam("nobody")->pw_uid;
    const gid_t nogroup = getpwnam("nobody")->pw_gid;
    const uid_t other = 1; // some user other than nobody; no account needs to exist for it
    enum Outcome { kRefused, kInPlace, kReplaced };
    const struct {
        const char *name;
        mode_t folderMode; // the folder is root's
        bool exists;
        uid_t owner;
        gid_t group;
        mode_t mode;
        Outcome outcome;
    } cases[] = {
        {"another user's file the user may not write", 0777, true, other, nogroup, 0644, kRefused},
        {"a new file in a folder the user may not write", 0555, false, 0, 0, 0, kRefused},
        {"the user's file in a folder the user may not write", 0555, true, nobody, nogroup, 0666,
         kInPlace},
        {"another user's group-writable file", 0777, true, other, nogroup, 0664, kInPlace},
        {"the user's file of a group the user is not in", 0777, true, nobody, 0, 0664, kInPlace},
        {"another user's file in a sticky folder", 01777, true, other, nogroup, 0666, kInPlace},
        {"the user's own file", 0777, true, nobody, nogroup, 0640, kReplaced},
    };
    const std::string old = "the old file, longer than the new one";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = tmp / c.name;
        fs::create_directory(folder);
        const std::string path = folder + "/doc.setf";
        ino_t inode = 0;
        if (c.exists) {
            TempFolder::Put(path, old);
            ASSERT_EQ(chown(path.c_str(), c.owner, c.group), 0);
            ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
            inode = Status(path).st_ino;
        }
        ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);
        const ChildResult child = RunAsNobody([&] {
            Ref<FolderItem> item = FolderItem::FromPath(path);
            Ref<BinaryStream> out = item->CreateBinaryFile("Setf");
            if (c.outcome == kRefused)
                return !out && item->LastErrorCode() == EACCES ? 0 : 1;
            if (!out)
                return 2;
            // A stream dropped without Close leaves the file as it was, in place too.
            out->Write("abandoned");
            out = item->CreateBinaryFile("Setf");
            out->Write("new");
            return out->Close() ? 0 : 3;
        });
        ASSERT_TRUE(child.exited && child.status != 125) << child.Describe();
        EXPECT_EQ(child.status, 0) << "1: not refused, 2: refused, 3: not saved";
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), c.exists ? 1 : 0)
            << "a file was left or made";
        if (!c.exists)
            continue;
        EXPECT_EQ(TempFolder::Get(path), c.outcome == kRefused ? old : "new");
        const struct stat st = Status(path);
        EXPECT_EQ(st.st_uid, c.owner);
        EXPECT_EQ(st.st_gid, c.group);
        EXPECT_EQ(st.st_mode & 07777, c.mode);
        if (c.outcome == kInPlace) {
            EXPECT_EQ(st.st_ino, inode) << "replaced";
        } else if (c.outcome == kReplaced) {
            EXPECT_NE(st.st_ino, inode) << "written in place";
        }
    }
    // Nor is another user's private file read.
    TempFolder::Put(tmp / "private.setf", "their secret");
    ASSERT_EQ(chmod((tmp / "private.setf").c_str(), 0600), 0);
    const ChildResult reader = RunAsNobody([&] {
        Ref<FolderItem> secret = FolderItem::FromPath(tmp / "private.setf");
        return !secret->OpenAsBinaryFile(false) && secret->LastErrorCode() == EACCES ? 0 : 1;
    });
    EXPECT_TRUE(reader.exited && reader.status == 0) << reader.Describe();
}

// In a shared folder (sticky and writable by all, as /tmp is) a system that guards links
// (fs.protected_symlinks) follows another user's link only for that user or the folder's
// owner: a link planted there must not make a save write the file it names.
TEST(CreateBinaryFile, FollowsNoLinkTheSystemRefusesToFollow) {
    const std::string why = CannotRunAsNobody();
    if (!why.empty())
        GTEST_SKIP() << why;
    if (TempFolder::Get("/proc/sys/fs/protected_symlinks").substr(0, 1) != "1")
        GTEST_SKIP() << "this system follows every link (fs.protected_symlinks is not 1)";
    TempFolder tmp;
    ASSERT_EQ(chmod(tmp.Path().c_str(), 0755), 0);
    const passwd *nobody = getpwnam("nobody");
    const std::string victim = tmp / "doc.setf";
    TempFolder::Put(victim, "nobody's document");
    ASSERT_EQ(chown(victim.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    fs::create_directory(tmp / "shared");
    ASSERT_EQ(chmod((tmp / "shared").c_str(), 01777), 0);
    const std::string planted = tmp / "shared/planted.setf";
    fs::create_symlink(victim, planted);
    ASSERT_EQ(lchown(planted.c_str(), 1, 1), 0); // some other user's link
    const ChildResult child = RunAsNobody([&] {
        Ref<FolderItem> item = FolderItem::FromPath(planted);
        return !item->CreateBinaryFile("Setf") && item->LastErrorCode() == EACCES ? 0 : 1;
    });
    ASSERT_TRUE(child.exited && child.status != 125) << child.Describe();
    EXPECT_EQ(child.status, 0) << "the planted link was followed";
    EXPECT_EQ(TempFolder::Get(victim), "nobody's document");
}

// Fills the file system of `folder` but for about `room` bytes.
void FillBut(const std::string &folder, std::size_t room) {
    const std::string filler = folder + "/filler";
    const int fd = open(filler.c_str(), O_WRONLY | O_CREAT, 0600);
    const std::string block(4096, 'f');
    while (write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size())) {
    }
    EXPECT_EQ(ftruncate(fd, lseek(fd, 0, SEEK_CUR) - static_cast<off_t>(room)), 0);
    close(fd);
}

// Written in place, a file that the disk has no room for fails before its first byte changes:
// the old file stays whole, and the failure is no damage. A failure after that, or an old
// length that cannot be restored, says the file is damaged. The file is written in place
// because it has a second name, or, as a user whom the permission bits bind, because its folder
// refuses the user a new file. A disk that fails on cue stands in for a full one or a failing
// one, in a child; a small file system of its own for a sparse old file, whose holes only the
// reservation fills before the first old byte changes.
TEST(CreateBinaryFile, InPlaceTheOldFileStaysWholeUntilItsRoomIsTaken) {
    constexpr std::uint32_t kOld = 10000;
    enum Disk { kLimit, kFailing, kSmall };
    const struct {
        const char *name;
        bool asNobody; // else a file with two names
        Disk disk;
        std::size_t oldBytes;
        std::size_t newBytes;
        std::vector<FailingCall> calls; // kFailing: the calls that fail
        int error;
        bool damaged;
    } cases[] = {
        {"a file with two names, a file-size limit", false, kLimit, kOld, 50000, {}, EFBIG, false},
        {"a file in a folder the user may not write, a file-size limit", true, kLimit, kOld, 50000,
         {}, EFBIG, false},
        {"no reservation, the disk full past the old end",
         false,
         kFailing,
         kOld,
         50000,
         {{SYS_fallocate, 0, EOPNOTSUPP}, {SYS_pwrite64, kOld, ENOSPC}},
         ENOSPC,
         false},
        {"a shorter file on a full disk that copies on write",
         false,
         kFailing,
         kOld,
         5000,
         {{SYS_fallocate, 0, EOPNOTSUPP}, {SYS_pwrite64, 0, ENOSPC}},
         ENOSPC,
         false},
        {"a sparse old file on a full disk", false, kSmall, 3 * kOld, 3 * kOld, {}, ENOSPC, false},
        // Written in blocks of a megabyte: the second block past the old end finds no room.
        {"the disk full part-way past the old end, the old length not restored",
         false,
         kFailing,
         kOld,
         3 << 20,
         {{SYS_fallocate, 0, EOPNOTSUPP}, {SYS_pwrite64, kOld + 1, ENOSPC}, {SYS_ftruncate, 0, EIO}},
         ENOSPC,
         true},
        {"a disk error after the first old bytes changed",
         false,
         kFailing,
         3 << 20,
         2 << 20,
         {{SYS_pwrite64, 1, EIO}},
         EIO,
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.asNobody && !CannotRunAsNobody().empty()) {
            std::cout << "Skipped: " << CannotRunAsNobody() << "\n";
            continue;
        }
        TempFolder tmp;
        std::unique_ptr<Mount> small;
        std::string folder = tmp.Path();
        if (c.disk == kSmall) {
            folder = tmp / "disk";
            fs::create_directory(folder);
            small = std::make_unique<Mount>("tmpfs", folder, "tmpfs", 0, "size=1m");
            if (!small->Why().empty()) {
                std::cout << "Skipped: " << small->Why() << "\n";
                continue;
            }
        }
        const std::string path = folder + "/doc.setf";
        std::string old;
        if (c.disk == kSmall) {
            // All holes but the first bytes.
            old = "old" + std::string(c.oldBytes - 3, '\0');
            const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
            ASSERT_EQ(write(fd, "old", 3), 3);
            ASSERT_EQ(ftruncate(fd, static_cast<off_t>(old.size())), 0);
            close(fd);
            FillBut(folder, 4096);
        } else {
            for (int i = 0; old.size() < c.oldBytes; ++i)
                old += "old row " + std::to_string(i) + "\n";
            old.resize(c.oldBytes);
            TempFolder::Put(path, old);
        }
        if (c.asNobody) {
            ASSERT_EQ(chmod(path.c_str(), 0666), 0);
            ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
        } else {
            ASSERT_EQ(link(path.c_str(), (folder + "/second name").c_str()), 0);
        }
        auto save = [&] {
            std::signal(SIGXFSZ, SIG_IGN);
            Ref<BinaryStream> out = FolderItem::FromPath(path)->CreateBinaryFile("Setf");
            if (!out)
                return 1;
            out->Write(std::string(c.newBytes, 'n'));
            if (c.disk == kLimit) {
                rlimit limit{};
                getrlimit(RLIMIT_FSIZE, &limit);
                limit.rlim_cur = 12000;
                setrlimit(RLIMIT_FSIZE, &limit);
            } else if (c.disk == kFailing && !FailCalls(c.calls)) {
                return 125;
            }
            if (out->Close())
                return 2;
            if (out->LastErrorCode() != c.error)
                return 3;
            if (out->TargetDamaged() != c.damaged)
                return 4;
            const std::string damage = "; it was being written in place and is now damaged";
            return out->FailureReason() == FileErrorReason(c.error) + (c.damaged ? damage : "")
                       ? 0
                       : 5;
        };
        const std::string listing = tmp.Listing();
        const ChildResult child = c.asNobody ? RunAsNobody(save) : RunInChild(save);
        if (child.exited && child.status == 125) {
            std::cout << "Skipped: " << kNoCallFilter << "\n";
            continue;
        }
        ASSERT_TRUE(child.exited) << child.Describe();
        EXPECT_EQ(child.status, 0) << "1: not created, 2: reported success, 3: another reason, "
                                      "4: damage not told as it is, 5: another message";
        if (c.damaged) {
            EXPECT_FALSE(TempFolder::Get(path) == old) << "said to be damaged, but whole";
        } else {
            EXPECT_TRUE(TempFolder::Get(path) == old) << "the old file was damaged";
        }
        EXPECT_EQ(tmp.Listing(), listing);
    }
}

// The new file's type marks are set on its own descriptor before it takes the target's name,
// so the name never shows a file without them; a disk with no room for them fails the save
// with the old file whole, while a file system without user attributes just drops them.
TEST(CreateBinaryFile, TheTypeMarksComeWithTheFileOrTheSaveFails) {
    TempFolder tmp;
    if (const std::string why = NoUserAttributesIn(tmp); !why.empty())
        GTEST_SKIP() << why;
    const struct {
        const char *name;
        int error; // of the attribute calls
        bool saved;
    } cases[] = {
        {"no room for them", ENOSPC, false},
        {"a file system without them", EOPNOTSUPP, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (const char *name : {"old.setf", "linked.setf"})
            TempFolder::Put(tmp / name, "the old file"); // no attributes of its own
        ASSERT_EQ(link((tmp / "linked.setf").c_str(), (tmp / "second name").c_str()), 0);
        const ChildResult child = RunInChild([&] {
            if (!FailCalls({{SYS_fsetxattr, 0, c.error}, {SYS_setxattr, 0, c.error},
                            {SYS_fremovexattr, 0, c.error}, {SYS_removexattr, 0, c.error}}))
                return 125;
            for (const char *name : {"old.setf", "new.setf", "linked.setf"}) {
                const std::string got = Save(tmp / name, "new");
                if (got != (c.saved ? "" : "not closed: the disk is full"))
                    return 1;
            }
            return 0;
        });
        if (child.exited && child.status == 125)
            GTEST_SKIP() << kNoCallFilter;
        ASSERT_TRUE(child.exited) << child.Describe();
        EXPECT_EQ(child.status, 0) << "a save " << (c.saved ? "failed" : "did not fail");
        for (const char *name : {"old.setf", "linked.setf"}) {
            EXPECT_EQ(TempFolder::Get(tmp / name), c.saved ? "new" : "the old file") << name;
            EXPECT_EQ(Attribute(tmp / name, "user.rb.mactype"), "none") << name;
        }
        EXPECT_EQ(tmp.Listing(), c.saved ? "linked.setf new.setf old.setf second name"
                                         : "linked.setf old.setf second name");
        for (const char *name : {"old.setf", "new.setf", "linked.setf", "second name"})
            fs::remove(tmp / name);
    }
}

// Seen from outside, in the system calls of a run of this test that only saves: every step of
// a replacement goes through the one folder that was opened for it (the new file made with
// openat, marked on its own descriptor, renamed with renameat, and the folder synced through
// that descriptor after the rename), and the umask is never set, since setting it (even back
// at once) races with every other thread that creates a file.
TEST(CreateBinaryFile, AReplacementWorksInItsOneOpenedFolder) {
    if (const char *folder = std::getenv("VELLUMET_TRACED_SAVES_IN")) {
        const std::string inFolder(folder);
        const bool saved = Save(inFolder + "/new.setf", "new").empty() &&
                           Save(inFolder + "/new.setf", "replaced").empty();
        EXPECT_TRUE(saved);
        return;
    }
    std::string output;
    if (RunCommand("command -v strace", &output) != 0)
        GTEST_SKIP() << "strace is not installed";
    TempFolder tmp;
    const std::string trace = tmp / "trace";
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const int status = RunCommand(
        // LeakSanitizer cannot work under a tracer; the traced run only saves.
        "ASAN_OPTIONS=detect_leaks=0 VELLUMET_TRACED_SAVES_IN='" + tmp.Path() +
            "' strace -qq -o '" + trace +
            "' -e trace=umask,rename,renameat,renameat2,fsync,open,openat,close,setxattr,"
            "fsetxattr '" +
            self + "' --gtest_filter=CreateBinaryFile.AReplacementWorksInItsOneOpenedFolder",
        &output);
    if (status != 0 && output.find("ptrace") != std::string::npos)
        GTEST_SKIP() << "strace cannot trace here: " << output;
    ASSERT_EQ(status, 0) << output;
    const std::string calls = TempFolder::Get(trace);
    EXPECT_EQ(calls.find("umask("), std::string::npos) << calls;
    EXPECT_EQ(calls.find("setxattr(\""), std::string::npos) << "a mark set by path: " << calls;
    // Each save: the folder opened, the new file made in it, marked, renamed and the folder
    // synced, all through the folder's descriptor.
    const std::string opened = "openat(AT_FDCWD, \"" + tmp.Path() + "\", O_RDONLY|O_CLOEXEC|O_DIRECTORY) = ";
    int saves = 0;
    for (std::size_t at = calls.find(opened); at != std::string::npos;
         at = calls.find(opened, at + 1)) {
        ++saves;
        const std::size_t end = calls.find('\n', at);
        const std::string dir = calls.substr(at + opened.size(), end - at - opened.size());
        const std::size_t made = calls.find("openat(" + dir + ", \".new.setf.", at);
        ASSERT_NE(made, std::string::npos) << calls.substr(at);
        const std::size_t equals = calls.find("= ", made);
        const std::string file = calls.substr(equals + 2, calls.find('\n', equals) - equals - 2);
        const std::size_t marked = calls.find("fsetxattr(" + file + ", \"user.rb.mactype\"", made);
        const std::size_t renamed = calls.find("rename", made);
        ASSERT_NE(marked, std::string::npos) << calls.substr(at);
        ASSERT_NE(renamed, std::string::npos) << calls.substr(at);
        EXPECT_LT(marked, renamed) << "marked after the rename: " << calls.substr(at);
        EXPECT_NE(calls.substr(renamed, calls.find('\n', renamed) - renamed)
                      .find("(" + dir + ", \".new.setf."),
                  std::string::npos)
            << calls.substr(renamed);
        EXPECT_NE(calls.find("fsync(" + dir + ")", renamed), std::string::npos) << calls.substr(at);
    }
    EXPECT_EQ(saves, 2) << calls;
}

} // namespace
