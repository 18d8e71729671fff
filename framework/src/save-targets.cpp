// save-targets.cpp -- the file that CreateBinaryFile writes: found as the system finds it,
// written one of two ways, chosen once when the stream is made (files.h lists when which),
// and put in place by Close.
//
// Once links are followed, the target's folder is opened and every step goes through that one
// descriptor: the new file is made with openat, gets the old file's access and its type marks
// on its own descriptor, is renamed with renameat, and the folder is synced through it.
#include "attribute-lists.h"
#include "filetypes-internal.h"
#include "stream-impl.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <memory>
#include <vector>

namespace rb {

namespace {

// A path's folder ("/" for a file in the root, "." for a bare name) and its last name.
std::string FolderOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string &path) { return path.substr(path.rfind('/') + 1); }

// The file that `path` names once symbolic links are followed, a link naming another link
// included: the user means that file, not the link. A link to nothing names the file to
// create. A relative target is taken from the folder that holds the link, with ".." in it
// resolved as FolderItem::FromPath resolves it (by the system, from the folder it reaches), so
// that it leads where it leads for every other program. Empty, with `error` set, when the
// links go round (ELOOP), or the system refuses to follow one or cannot read it.
std::string FollowLinks(std::string path, int &error) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        // The system's own rules for following a link hold here too: one that it refuses to
        // follow (a link in a shared folder that fs.protected_symlinks guards) is refused.
        // Opened only as a path, nothing at the end (a FIFO, a device) is opened.
        const int probe = ::open(path.c_str(), O_PATH | O_CLOEXEC);
        if (probe >= 0) {
            ::close(probe);
        } else if (errno != ENOENT) {
            error = errno;
            return "";
        }
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) {
            error = errno;
            return "";
        }
        target.resize(static_cast<std::size_t>(n));
        if (target.empty() || target[0] != '/')
            target = FolderOf(path) + "/" + target;
        path = FolderItem::FromPath(target)->NativePath();
    }
    error = ELOOP;
    return "";
}

// The folder at `path`, opened once for every later step; -1 with errno set. A folder the
// user may write to but not list is opened as a path only (then it cannot be synced).
int OpenFolder(const std::string &path) {
    const int folder = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0 || errno != EACCES)
        return folder;
    return ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

// Whether the sticky bit of the folder keeps this user from renaming over the target: only
// the owner of the file or of the folder (or root) may.
bool StickyFolderRefusesRename(const struct stat &folder, const struct stat &target) {
    const uid_t user = ::geteuid();
    return (folder.st_mode & S_ISVTX) != 0 && user != 0 && user != target.st_uid &&
           user != folder.st_uid;
}

// Whether the file `file` is mounted on its own (a container's bind mount of one file), which
// the system refuses to rename over. Where the system cannot say, a file on another device
// than its folder is one.
bool MountedOnItsOwn(int file, const struct stat &folder, const struct stat &target) {
    struct statx sx {};
    if (::statx(file, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &sx) == 0 &&
        (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0)
        return (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    return target.st_dev != folder.st_dev;
}

// A new file beside `name` in `folder`, named ".name.XXXXXX" with the name shortened as far as
// it takes for the whole to fit the folder's longest name, so that any name the system takes
// can be saved. Created with `mode` less the umask (or the folder's default ACL), as every
// new file is. The descriptor, with its name in `made`; -1 with errno set.
int MakeTemporaryFile(int folder, const std::string &name, mode_t mode, std::string &made) {
    const long longest = ::fpathconf(folder, _PC_NAME_MAX);
    const std::size_t room = static_cast<std::size_t>(longest > 16 ? longest : 255) - 8;
    std::size_t kept = std::min(name.size(), room);
    // Cut before a character, never inside one.
    while (kept > 0 && kept < name.size() &&
           (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80)
        --kept;
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[6];
        if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
            const auto seed = static_cast<unsigned long>(::time(nullptr)) ^
                              static_cast<unsigned long>(::getpid()) * 2654435761UL ^
                              static_cast<unsigned long>(attempt) * 40503UL;
            for (std::size_t i = 0; i < sizeof random; ++i)
                random[i] = static_cast<unsigned char>(seed >> (i * 5));
        }
        // Built piece by piece: GCC 12's optimiser warns, wrongly, of overlapping copies in
        // the concatenation of temporaries.
        made.assign(1, '.');
        made.append(name, 0, kept);
        made.push_back('.');
        for (unsigned char r : random)
            made.push_back(kLetters[r % (sizeof kLetters - 1)]);
        const int fd = ::openat(folder, made.c_str(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// The path by which the file behind the descriptor `fd` (one opened as a path only included)
// is reached for the calls that take only a path.
std::string PathOfDescriptor(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Gives the new file `to` exactly the extended attributes of the old file `from`: its ACL
// (system.posix_acl_access) among them, and none that only the new file has, such as an ACL
// that the folder's default ACL gave it. 0, or the errno of the step that failed. An attribute
// of the old file that cannot be read cannot be given, which is no failure of the save but a
// reason to keep the old file itself: ENOTSUP then.
int CopyExtendedAttributes(int from, int to) {
    const std::string fromPath = PathOfDescriptor(from);
    std::vector<std::string> old, fresh;
    if (!AttributeNames(
            [&](char *list, std::size_t size) { return ::listxattr(fromPath.c_str(), list, size); },
            old))
        return ENOTSUP;
    if (!AttributeNames([&](char *list, std::size_t size) { return ::flistxattr(to, list, size); },
                        fresh))
        return errno;
    for (const std::string &name : fresh)
        if (std::find(old.begin(), old.end(), name) == old.end() &&
            ::fremovexattr(to, name.c_str()) != 0)
            return errno;
    std::string value;
    for (const std::string &name : old) {
        const auto get = [&](char *bytes, std::size_t size) {
            return ::getxattr(fromPath.c_str(), name.c_str(), bytes, size);
        };
        if (!ReadSized(get, value))
            return ENOTSUP;
        if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0)
            return errno;
    }
    return 0;
}

// Gives the new file `fd` everything of the old file `oldFile` (status `old`) that decides who
// may use it: owner and group, extended attributes with the ACL, and permission bits, in the
// order that keeps each (a change of owner clears the set-user-ID bit; the ACL sets the group
// bits). The new file never has wider access than the old one on the way: it is made 0600,
// the user's own. 0, or the errno of the step that failed (EPERM where the system took a step
// but did not give the file exactly what was asked).
int GiveOldFilesAccess(int fd, int oldFile, const struct stat &old) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return errno;
    if ((st.st_uid != old.st_uid || st.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return errno;
    if (const int error = CopyExtendedAttributes(oldFile, fd))
        return error;
    if (::fchmod(fd, old.st_mode & 07777) != 0 || ::fstat(fd, &st) != 0)
        return errno;
    const bool same = st.st_uid == old.st_uid && st.st_gid == old.st_gid &&
                      (st.st_mode & 07777) == (old.st_mode & 07777);
    return same ? 0 : EPERM;
}

// Whether a failure to make the new file, or to give it the old one's access, is the system
// refusing this user that (a folder that refuses a new file, an owner, group or attribute the
// user cannot give or the new file cannot take) and so a reason to write in place; any other
// (a full disk, a quota, too many open files, a disk error) is a failure of the save.
bool RefusedToThisUser(int error) {
    return error == EACCES || error == EPERM || error == ENOTSUP;
}

// Opens the target for writing in place, and only the very file that the choice was made on.
bool OpenInPlace(BinaryStream::Impl &s, const struct stat &old, int &error) {
    struct stat st {};
    s.mode = StreamMode::kInPlace;
    s.fd = OpenRegularFile(s.target.folder, s.target.name, O_WRONLY, error, st);
    if (s.fd >= 0 && (st.st_dev != old.st_dev || st.st_ino != old.st_ino)) {
        ::close(s.fd);
        s.fd = -1;
        error = EAGAIN; // it was replaced while the choice was made
    }
    return s.fd >= 0;
}

// Closes the stream's descriptor and removes the new file that a replacement was to be.
void DropTemporaryFile(BinaryStream::Impl &s) {
    if (s.fd >= 0)
        ::close(s.fd);
    s.fd = -1;
    if (!s.target.temporary.empty())
        ::unlinkat(s.target.folder, s.target.temporary.c_str(), 0);
    s.target.temporary.clear();
}

// How the old file `old` is written: the list in files.h, one branch for each reason to write
// in place, in its order; otherwise replaced, with the new file made and given the old one's
// access. False, with `error` set, where it can be written neither way.
bool ChooseHowToWrite(BinaryStream::Impl &s, int oldFile, const struct stat &old, int &error) {
    struct stat folder {};
    if (::fstat(s.target.folder, &folder) != 0) {
        error = errno;
        return false;
    }
    // Other hard links would go on naming the old file.
    if (old.st_nlink > 1)
        return OpenInPlace(s, old, error);
    // The system does not rename over a file mounted on its own.
    if (MountedOnItsOwn(oldFile, folder, old))
        return OpenInPlace(s, old, error);
    // A sticky folder lets only the file's or the folder's owner rename over it.
    if (StickyFolderRefusesRename(folder, old))
        return OpenInPlace(s, old, error);
    s.mode = StreamMode::kReplace;
    s.fd = MakeTemporaryFile(s.target.folder, s.target.name, 0600, s.target.temporary);
    // The folder refuses the user a new file.
    if (s.fd < 0) {
        error = errno;
        return RefusedToThisUser(error) && OpenInPlace(s, old, error);
    }
    // The new file cannot be given the old one's owner, group or attributes.
    error = GiveOldFilesAccess(s.fd, oldFile, old);
    if (error == 0)
        return true;
    DropTemporaryFile(s);
    return RefusedToThisUser(error) && OpenInPlace(s, old, error);
}

// Sets the file's length back to `length` after a failed write made it longer; false when it
// could not be (then the file is not the old one).
bool RestoreLength(int fd, off_t length) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    if (st.st_size == length)
        return true;
    int done = 0;
    while ((done = ::ftruncate(fd, length)) != 0 && errno == EINTR) {
    }
    return done == 0;
}

// Writes the whole new file over the target. Nothing of the old file changes until the disk
// has room for every new byte: the space is reserved where the file system can (fallocate,
// which also fills the holes of a sparse old file, whose overwriting would otherwise need new
// room part-way), and the bytes past the old end are written first, which takes their room
// without touching an old byte where it cannot. Both meet the file-size limit as they meet a
// full disk or a quota (EFBIG), so each fails with the old file whole once its length is
// back. Only a failure after that (a disk error, or a file system that copies on write and so
// needs new room for old bytes too), or an old length that cannot be restored, leaves it
// damaged, and says so.
bool WriteInPlace(BinaryStream::Impl &s) {
    struct stat st {};
    if (::fstat(s.fd, &st) != 0)
        return s.Fail(errno);
    const off_t oldLength = st.st_size;
    const auto newLength = static_cast<off_t>(s.image.size());
    // Until an old byte changes, a failure leaves the old file whole once its length is back.
    auto failUnchanged = [&](int error) {
        if (!RestoreLength(s.fd, oldLength))
            s.damaged = true;
        return s.Fail(error);
    };
    // The raw call, not posix_fallocate: the C library's stand-in for file systems without it
    // writes bytes into the file.
    int reserved = 0;
    while (newLength > 0 && (reserved = ::fallocate(s.fd, 0, 0, newLength)) != 0 &&
           errno == EINTR) {
    }
    if (reserved != 0 && errno != EOPNOTSUPP)
        return failUnchanged(errno);
    // Writes the image's bytes [from, to) in blocks, so that no single call is asked for tens
    // of megabytes; how many were written.
    auto write = [&s](std::size_t from, std::size_t to) {
        constexpr std::size_t kBlock = 1 << 20;
        std::size_t at = from;
        while (at < to) {
            const std::size_t count = std::min(kBlock, to - at);
            const std::size_t done =
                s.WriteAt(static_cast<std::int64_t>(at), s.image.data() + at, count);
            at += done;
            if (done != count)
                break;
        }
        return at - from;
    };
    // The bytes past the old end first; then those over the old ones.
    const auto old = static_cast<std::size_t>(oldLength);
    const std::size_t over = std::min(old, s.image.size());
    if (s.image.size() > old && write(old, s.image.size()) != s.image.size() - old)
        return failUnchanged(errno != 0 ? errno : EIO);
    const std::size_t overwritten = write(0, over);
    if (overwritten != over) {
        const int error = errno != 0 ? errno : EIO;
        if (overwritten == 0)
            return failUnchanged(error);
        s.damaged = true;
        return s.Fail(error);
    }
    if ((oldLength > newLength && ::ftruncate(s.fd, newLength) != 0) || ::fsync(s.fd) != 0) {
        s.damaged = true;
        return s.Fail(errno);
    }
    return true;
}

// Closes the target's folder; a replacement's new file that was not renamed goes with it.
void DropTarget(BinaryStream::Impl &s) {
    DropTemporaryFile(s);
    if (s.target.folder >= 0)
        ::close(s.target.folder);
    s.target.folder = -1;
}

} // namespace

int NotRegularFileError(const struct stat &st) {
    if (S_ISREG(st.st_mode))
        return 0;
    return S_ISDIR(st.st_mode) ? EISDIR : kNotARegularFile;
}

int OpenRegularFile(int folder, const std::string &name, int access, int &error, struct stat &st) {
    if (::fstatat(folder, name.c_str(), &st, 0) != 0) {
        error = errno;
        return -1;
    }
    if ((error = NotRegularFileError(st)) != 0)
        return -1;
    const int fd = ::openat(folder, name.c_str(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (::fstat(fd, &st) != 0 || (error = NotRegularFileError(st)) != 0 ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        if (error == 0)
            error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

BinaryStream::Impl *OpenSaveTarget(const std::string &path, const std::string &typeName,
                                   int &error) {
    const std::string followed = FollowLinks(path, error);
    if (followed.empty())
        return nullptr;
    auto s = std::make_unique<BinaryStream::Impl>();
    s->target.path = followed;
    s->target.name = NameOf(followed);
    s->target.typeName = typeName;
    if (s->target.name.empty()) { // the root folder
        error = EISDIR;
        return nullptr;
    }
    s->target.folder = OpenFolder(FolderOf(followed));
    if (s->target.folder < 0) {
        error = errno;
        return nullptr;
    }
    // Closes the folder again when no stream is made.
    struct Dropper {
        BinaryStream::Impl *s;
        ~Dropper() {
            if (s)
                DropTarget(*s);
        }
    } dropper{s.get()};

    // The old file, by a descriptor that opens nothing (no FIFO, no device) and keeps it while
    // the choice is made.
    const int oldFile =
        ::openat(s->target.folder, s->target.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (oldFile < 0) {
        if (errno != ENOENT) {
            error = errno;
            return nullptr;
        }
        // A new file is made where it will be.
        s->mode = StreamMode::kReplace;
        s->fd = MakeTemporaryFile(s->target.folder, s->target.name, 0666, s->target.temporary);
        if (s->fd < 0) {
            error = errno;
            return nullptr;
        }
        dropper.s = nullptr;
        return s.release();
    }
    // An old file: only a regular file that the user may write, and that is not
    // write-protected (even root's writing a file of mode 0444 would surprise its owner).
    struct stat old {};
    bool chosen = false;
    if (::fstat(oldFile, &old) != 0)
        error = errno;
    else if ((error = NotRegularFileError(old)) == 0 && (old.st_mode & 0222) == 0)
        error = EACCES;
    else if (error == 0 &&
             ::faccessat(s->target.folder, s->target.name.c_str(), W_OK, AT_EACCESS) != 0)
        error = errno;
    if (error == 0)
        chosen = ChooseHowToWrite(*s, oldFile, old, error);
    ::close(oldFile);
    if (!chosen)
        return nullptr;
    error = 0;
    dropper.s = nullptr;
    return s.release();
}

bool CommitReplacement(BinaryStream::Impl &s) {
    // The bytes and the type marks are on the disk before the new file takes the target's
    // name, so the name never shows a file without them.
    const FileMarks marks = MarksOfType(s.target.typeName);
    if (!s.writeError && s.Flush()) {
        if (const int error = WriteMarks(s.fd, marks))
            s.Fail(error);
        else if (::fsync(s.fd) != 0)
            s.Fail(errno);
    }
    if (::close(s.fd) != 0)
        s.Fail(errno);
    s.fd = -1;
    if (!s.writeError && ::renameat(s.target.folder, s.target.temporary.c_str(), s.target.folder,
                                    s.target.name.c_str()) != 0)
        s.Fail(errno);
    if (!s.writeError) {
        s.target.temporary.clear();
        ::fsync(s.target.folder); // the file is complete and in place whatever this says
        RememberMarks(s.target.path, marks);
    }
    DropTarget(s);
    return !s.writeError;
}

bool CommitInPlace(BinaryStream::Impl &s) {
    // The marks first: a failure to set them leaves every old byte as it was.
    const FileMarks marks = MarksOfType(s.target.typeName);
    bool written = false;
    if (!s.writeError) {
        if (const int error = WriteMarks(s.fd, marks))
            s.Fail(error);
        else
            written = WriteInPlace(s);
    }
    if (::close(s.fd) != 0 && written) {
        s.damaged = true; // the system could not say that what was written is there
        s.Fail(errno);
    }
    s.fd = -1;
    if (!s.writeError)
        RememberMarks(s.target.path, marks);
    DropTarget(s);
    return !s.writeError;
}

// In place nothing was written yet; a replacement's new file is removed.
void AbandonTarget(BinaryStream::Impl &s) { DropTarget(s); }

} // namespace rb
