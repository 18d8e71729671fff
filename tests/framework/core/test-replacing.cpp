// test-replacing.cpp -- what CreateBinaryFile promises of the file it writes: it is the file the
// system reaches for the same path, linked folders and ".." included; a name of any length the
// system takes is saved by the atomic replacement; a replaced file keeps who may use it (owner,
// group, mode, ACL, extended attributes, hard links), and a file that cannot be replaced so is
// written in place, where a full disk leaves it whole and a later failure says it is damaged.
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
#include <filesystem>
#include <iostream>
#include <vector>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>

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

// The folders of a user who keeps a linked folder: work/sub is elsewhere/deep/sub, and a link
// in it leads up from there. The system reaches elsewhere/deep/... for every path below;
// work/doc.setf and work/other.setf are unrelated files that text-wise ".." would reach.
TEST(CreateBinaryFile, ReachesTheFileTheSystemReaches) {
    TempFolder tmp;
    fs::create_directories(tmp / "work");
    fs::create_directories(tmp / "elsewhere/deep/sub");
    fs::create_directory_symlink("../elsewhere/deep/sub", tmp / "work/sub");
    fs::create_symlink("../doc.setf", tmp / "elsewhere/deep/sub/link.setf");
    fs::create_symlink("sub/../other.setf", tmp / "work/up.setf");
    fs::create_symlink(tmp / "work/sub/../other.setf", tmp / "work/absolute.setf");
    const char *const kUnrelated = "an unrelated file";
    for (const char *name : {"work/doc.setf", "work/other.setf"})
        TempFolder::Put(tmp / name, kUnrelated);
    for (const char *name : {"elsewhere/deep/doc.setf", "elsewhere/deep/other.setf"})
        TempFolder::Put(tmp / name, "the old file");

    const struct {
        const char *path;    // as the user names it
        const char *reached; // the file the system reaches for it
    } cases[] = {
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
        EXPECT_EQ(TempFolder::Get(tmp / "work/doc.setf"), kUnrelated);
        EXPECT_EQ(TempFolder::Get(tmp / "work/other.setf"), kUnrelated);
    }
    EXPECT_TRUE(fs::is_symlink(tmp / "elsewhere/deep/sub/link.setf"));
    EXPECT_TRUE(fs::is_symlink(tmp / "work/up.setf"));
    EXPECT_EQ(tmp.Listing(), "elsewhere work");
}

// Any name the system takes is saved, and an old file of such a name is replaced (a new
// inode), not written in place: the temporary name is cut to fit, never inside a character.
TEST(CreateBinaryFile, NamesUpToTheLongestAreReplacedAtomically) {
    TempFolder tmp;
    std::string accented;
    while (accented.size() < 250)
        accented += "\xC3\xA9"; // é
    const std::string names[] = {std::string(242, 'n') + ".setf", std::string(243, 'n') + ".setf",
                                 std::string(246, 'n') + ".setf", std::string(250, 'n') + ".setf",
                                 accented + ".setf"};
    for (const std::string &name : names) {
        SCOPED_TRACE(name.size());
        ASSERT_LE(name.size(), 255u);
        const std::string path = tmp / name;
        ASSERT_EQ(Save(path, "new file"), "");
        const ino_t first = Status(path).st_ino;
        // While a stream is open, its temporary file is a name the system took; it is valid
        // UTF-8 where the name is.
        Ref<BinaryStream> out = FolderItem::FromPath(path)->CreateBinaryFile("Setf");
        ASSERT_TRUE(out);
        std::string temporary;
        for (const auto &entry : fs::directory_iterator(tmp.Path()))
            if (entry.path().filename().string() != name)
                temporary = entry.path().filename().string();
        ASSERT_FALSE(temporary.empty()) << "written in place";
        EXPECT_LE(temporary.size(), 255u);
        if (name == accented + ".setf") {
            EXPECT_EQ((temporary.size() - 8) % 2, 0u) << "cut inside a character: " << temporary;
        }
        out->Write("replaced");
        ASSERT_TRUE(out->Close());
        EXPECT_EQ(TempFolder::Get(path), "replaced");
        EXPECT_NE(Status(path).st_ino, first) << "written in place";
        EXPECT_EQ(tmp.Listing(), name);
        fs::remove(path);
    }
}

// The replacement is the same file to everyone who uses it: its ACL (which a plain chmod of
// the group bits would widen), its extended attributes and its mode; a file with another hard
// link is written in place, so that both names keep showing one file.
TEST(CreateBinaryFile, TheReplacementKeepsTheFilesAccessAttributesAndLinks) {
    TempFolder tmp;
    const std::string shared = tmp / "shared.setf";
    TempFolder::Put(shared, "old");
    ASSERT_EQ(chmod(shared.c_str(), 0600), 0);
    std::string output;
    ASSERT_EQ(RunCommand("setfacl -m u:nobody:rw '" + shared + "'", &output), 0) << output;
    ASSERT_EQ(setxattr(shared.c_str(), "user.note", "kept", 4, 0), 0);
    const std::string acl = Attribute(shared, "system.posix_acl_access");
    ASSERT_NE(acl, "none");
    const mode_t mode = Status(shared).st_mode;

    ASSERT_EQ(Save(shared, "new"), "");
    EXPECT_EQ(TempFolder::Get(shared), "new");
    EXPECT_EQ(Attribute(shared, "system.posix_acl_access"), acl) << "the ACL was dropped";
    EXPECT_EQ(Attribute(shared, "user.note"), "kept");
    EXPECT_EQ(Status(shared).st_mode, mode) << "the group bits changed";

    // Nor does the replacement take an ACL the old file did not have, from the folder's default.
    fs::create_directory(tmp / "defaults");
    const std::string plain = tmp / "defaults/plain.setf";
    TempFolder::Put(plain, "old");
    ASSERT_EQ(chmod(plain.c_str(), 0600), 0);
    ASSERT_EQ(RunCommand("setfacl -d -m u:nobody:rw '" + tmp / "defaults" + "'", &output), 0)
        << output;
    ASSERT_EQ(Save(plain, "new"), "");
    EXPECT_EQ(Attribute(plain, "system.posix_acl_access"), "none") << "an ACL was added";
    EXPECT_EQ(Status(plain).st_mode & 07777, 0600u);

    const std::string linked = tmp / "linked.setf";
    TempFolder::Put(linked, "old");
    ASSERT_EQ(link(linked.c_str(), (tmp / "second name").c_str()), 0);
    ASSERT_EQ(Save(linked, "new through one name"), "");
    EXPECT_EQ(TempFolder::Get(tmp / "second name"), "new through one name");
    EXPECT_EQ(Status(linked).st_ino, Status(tmp / "second name").st_ino);
    EXPECT_EQ(tmp.Listing(), "defaults linked.setf second name shared.setf");

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

// As a user whom the permission bits bind, files the user may write but could not give a
// replacement's owner or group to, and a file in a sticky folder that the rename may not
// replace, are written in place: they keep owner, group and mode.
TEST(CreateBinaryFile, FilesAUserCannotReplaceAreWrittenInPlace) {
    const std::string why = CannotRunAsNobody();
    if (!why.empty())
        GTEST_SKIP() << why;
    TempFolder tmp;
    ASSERT_EQ(chmod(tmp.Path().c_str(), 0755), 0);
    const gid_t nogroup = getpwnam("nobody")->pw_gid;
    const uid_t other = 1; // some user other than nobody; no account needs to exist for it
    const struct {
        const char *folder;
        mode_t folderMode;
        uid_t owner;
        gid_t group;
        mode_t mode;
    } cases[] = {
        {"another user's group-writable file", 0777, other, nogroup, 0664},
        {"nobody's file of a group nobody is not in", 0777, getpwnam("nobody")->pw_uid, 0, 0664},
        {"another user's file in a sticky folder", 01777, other, nogroup, 0666},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string folder = tmp / c.folder;
        fs::create_directory(folder);
        ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);
        const std::string path = folder + "/doc.setf";
        TempFolder::Put(path, "the old file, longer than the new one");
        ASSERT_EQ(chown(path.c_str(), c.owner, c.group), 0);
        ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
        const ChildResult child = RunAsNobody([&] { return Save(path, "new").empty() ? 0 : 1; });
        ASSERT_TRUE(child.exited && child.status != 125) << child.Describe();
        EXPECT_EQ(child.status, 0) << "the save failed";
        EXPECT_EQ(TempFolder::Get(path), "new");
        const struct stat st = Status(path);
        EXPECT_EQ(st.st_uid, c.owner);
        EXPECT_EQ(st.st_gid, c.group);
        EXPECT_EQ(st.st_mode & 07777, c.mode);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1) << "a file was left";
    }
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

// Written in place, a file that the disk has no room for fails before its first byte changes:
// the old file stays whole, and the failure is no damage. Reasons to write in place: a file with
// another hard link, and, as a user whom the permission bits bind, a file of the user's in a
// folder that refuses the user a new file. No room: a file-size limit, and a full disk on a file
// system that cannot reserve space ahead (fallocate unsupported), which only the writing finds.
TEST(CreateBinaryFile, InPlaceAFullDiskLeavesTheOldFileWhole) {
    constexpr std::uint32_t kOld = 10000;
    const struct {
        const char *name;
        bool asNobody; // else a file with two names
        bool reserves; // else fallocate is unsupported and the disk is full from `fullFrom`
        std::size_t newBytes;
        std::uint32_t fullFrom;
    } cases[] = {
        {"a file with two names, a file-size limit", false, true, 50000, 0},
        {"a file in a folder the user may not write, a file-size limit", true, true, 50000, 0},
        {"a file with two names, a file system that cannot reserve", false, false, 50000, kOld},
        {"a shorter file on a full disk that copies on write", false, false, 5000, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.asNobody && !CannotRunAsNobody().empty()) {
            std::cout << "Skipped: " << CannotRunAsNobody() << "\n";
            continue;
        }
        TempFolder tmp;
        const std::string path = tmp / "doc.setf";
        std::string old;
        for (int i = 0; old.size() < kOld; ++i)
            old += "old row " + std::to_string(i) + "\n";
        old.resize(kOld);
        TempFolder::Put(path, old);
        if (c.asNobody) {
            ASSERT_EQ(chmod(path.c_str(), 0666), 0);
            ASSERT_EQ(chmod(tmp.Path().c_str(), 0755), 0);
        } else {
            ASSERT_EQ(link(path.c_str(), (tmp / "second name").c_str()), 0);
        }
        const std::string listing = tmp.Listing();
        auto save = [&] {
            std::signal(SIGXFSZ, SIG_IGN);
            Ref<BinaryStream> out = FolderItem::FromPath(path)->CreateBinaryFile("Setf");
            if (!out)
                return 1;
            out->Write(std::string(c.newBytes, 'n'));
            if (c.reserves) {
                rlimit limit{};
                getrlimit(RLIMIT_FSIZE, &limit);
                limit.rlim_cur = 12000;
                setrlimit(RLIMIT_FSIZE, &limit);
            } else if (!FailCalls({{SYS_fallocate, 0, EOPNOTSUPP},
                                   {SYS_pwrite64, c.fullFrom, ENOSPC}})) {
                return 125;
            }
            if (out->Close())
                return 2;
            if (out->LastErrorCode() != (c.reserves ? EFBIG : ENOSPC))
                return 3;
            return out->TargetDamaged() ? 4 : 0;
        };
        const ChildResult child = c.asNobody ? RunAsNobody(save) : RunInChild(save);
        ASSERT_TRUE(child.exited && child.status != 125) << child.Describe();
        EXPECT_EQ(child.status, 0) << "1: not created, 2: reported success, 3: another reason, "
                                      "4: said to be damaged";
        EXPECT_TRUE(TempFolder::Get(path) == old) << "the old file was damaged";
        EXPECT_EQ(tmp.Listing(), listing);
    }
}

// A disk error after the first byte was written in place leaves the file neither old nor new:
// the stream says so. The disk fails every write past the file's first block.
TEST(CreateBinaryFile, InPlaceAFailurePartWaySaysTheFileIsDamaged) {
    TempFolder tmp;
    const std::string path = tmp / "doc.setf";
    TempFolder::Put(path, std::string(3 << 20, 'o'));
    ASSERT_EQ(link(path.c_str(), (tmp / "second name").c_str()), 0); // so: in place
    const ChildResult child = RunInChild([&] {
        Ref<BinaryStream> out = FolderItem::FromPath(path)->CreateBinaryFile("Setf");
        if (!out)
            return 1;
        out->Write(std::string(2 << 20, 'n'));
        if (!FailCalls({{SYS_pwrite64, 1, EIO}}))
            return 125;
        if (out->Close())
            return 2;
        if (out->LastErrorCode() != EIO || !out->TargetDamaged())
            return 3;
        return out->FailureReason() ==
                       ": the disk reported an error; it was being written in place and is now "
                       "damaged"
                   ? 0
                   : 4;
    });
    if (child.exited && child.status == 125)
        GTEST_SKIP() << "no system-call filter can be set here";
    ASSERT_TRUE(child.exited) << child.Describe();
    EXPECT_EQ(child.status, 0) << "1: not created, 2: reported success, 3: not said to be "
                                  "damaged, 4: another message";
    EXPECT_FALSE(TempFolder::Get(path) == std::string(3 << 20, 'o'));
}

// A replacement reaches the disk with its name: after the rename the folder is synced. And
// new files get their permissions from the system's own umask, which is never set, since
// setting it (even back at once) races with every other thread that creates a file. Seen from
// outside, in the system calls of a run of this test that only saves.
TEST(CreateBinaryFile, SyncsTheFolderAfterTheRenameAndLeavesTheUmask) {
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
            "' strace -f -qq -o '" + trace +
            "' -e trace=umask,rename,renameat,renameat2,fsync,open,openat,close '" + self +
            "' --gtest_filter=CreateBinaryFile.SyncsTheFolderAfterTheRenameAndLeavesTheUmask",
        &output);
    if (status != 0 && output.find("ptrace") != std::string::npos)
        GTEST_SKIP() << "strace cannot trace here: " << output;
    ASSERT_EQ(status, 0) << output;
    const std::string calls = TempFolder::Get(trace);
    EXPECT_EQ(calls.find("umask("), std::string::npos) << calls;
    // Each rename onto new.setf is followed by the folder's opening and its fsync.
    int renames = 0;
    for (std::size_t at = calls.find("new.setf\")"); at != std::string::npos;
         at = calls.find("new.setf\")", at + 1)) {
        if (calls.rfind("rename", at) < calls.rfind('\n', at) && calls.rfind('\n', at) != std::string::npos)
            continue;
        ++renames;
        const std::size_t open = calls.find("\"" + tmp.Path() + "\", O_RDONLY|O_CLOEXEC|O_DIRECTORY", at);
        ASSERT_NE(open, std::string::npos) << calls.substr(at);
        const std::size_t equals = calls.find("= ", open);
        const std::string fd = calls.substr(equals + 2, calls.find('\n', equals) - equals - 2);
        EXPECT_NE(calls.find("fsync(" + fd + ")", open), std::string::npos) << calls.substr(at);
    }
    EXPECT_EQ(renames, 2) << calls;
}

} // namespace
