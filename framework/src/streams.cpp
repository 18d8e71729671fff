// streams.cpp -- BinaryStream, and the two ways FolderItem opens one.
//
// A stream is a file descriptor, a position and a write buffer; reads go straight to the file
// with pread after the buffer is flushed. A stream from CreateBinaryFile either writes a
// temporary file that Close renames over the target, or holds the whole new file in memory and
// writes it over the target in Close; files.h says which is chosen when, and what each can and
// cannot lose. The choice is made once, when the stream is created.
//
// Files are opened without blocking and only when they are regular files: opening a FIFO
// waits for a process at its other end, and a device may do anything on open.
#include "filetypes-internal.h"
#include "rb/files.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

namespace rb {

struct BinaryStream::Impl {
    int fd = -1;
    bool writable = false;
    std::int64_t position = 0;
    std::int64_t length = 0; // the file's length, buffered bytes included
    std::string buffer;      // bytes not yet written, starting at bufferStart
    std::int64_t bufferStart = 0;
    bool writeError = false;
    int errorCode = 0; // errno of the first failure
    bool eof = false;  // a read tried to pass the end
    bool closed = false;
    // CreateBinaryFile only: the target, the file type name, and either the temporary file
    // that replaces the target or, written in place, the whole new file.
    bool created = false;
    bool inPlace = false;
    bool damaged = false; // an in-place write failed after changing the target
    std::string tempPath;
    std::string targetPath;
    std::string typeName;
    std::string image; // in place: every byte of the new file
    // A read-only stream's reads go through a block read ahead, so that reading a file item by
    // item (a length byte, then a few bytes) costs a system call per block rather than per item.
    std::string readAhead; // the file's bytes from readAheadStart
    std::int64_t readAheadStart = 0;

    // Notes a failure with the system's reason; the first one is the one reported.
    bool Fail(int code) {
        writeError = true;
        if (errorCode == 0)
            errorCode = code;
        return false;
    }

    bool Flush() {
        if (WriteAt(bufferStart, buffer.data(), buffer.size()) != buffer.size())
            Fail(errno != 0 ? errno : EIO);
        buffer.clear();
        return !writeError;
    }

    // Writes count bytes at `at`; how many reached the file (fewer after a failure, errno
    // then saying why).
    std::size_t WriteAt(std::int64_t at, const char *bytes, std::size_t count) const {
        std::size_t done = 0;
        errno = 0;
        while (done < count) {
            const ssize_t n = pwrite(fd, bytes + done, count - done,
                                     static_cast<off_t>(at) + static_cast<off_t>(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (n == 0)
                    errno = EIO;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        return done;
    }

    void WriteBytes(const void *bytes, std::size_t count) {
        if (closed || !writable) {
            Fail(EBADF);
            return;
        }
        if (count == 0)
            return;
        // A target written in place is touched only by Close: its new bytes wait here.
        if (inPlace) {
            const auto end = static_cast<std::size_t>(position) + count;
            if (image.size() < end)
                image.resize(end, '\0');
            std::memcpy(image.data() + position, bytes, count);
        } else {
            if (!buffer.empty() &&
                bufferStart + static_cast<std::int64_t>(buffer.size()) != position)
                Flush();
            if (buffer.empty())
                bufferStart = position;
            buffer.append(static_cast<const char *>(bytes), count);
            if (buffer.size() >= 64 * 1024)
                Flush();
        }
        position += static_cast<std::int64_t>(count);
        if (position > length)
            length = position;
    }

    // Up to `count` bytes from the position; sets eof when fewer were there.
    std::size_t ReadBytes(void *out, std::size_t count) {
        if (closed || fd < 0) {
            eof = true;
            return 0;
        }
        if (!buffer.empty())
            Flush();
        const std::int64_t left = length > position ? length - position : 0;
        std::size_t want = count;
        if (static_cast<std::int64_t>(want) > left) {
            want = static_cast<std::size_t>(left);
            eof = true;
        }
        std::size_t done = 0;
        if (inPlace) {
            if (want > 0)
                std::memcpy(out, image.data() + position, want);
            done = want;
        } else if (writable) {
            done = ReadAt(position, static_cast<char *>(out), want);
        } else {
            while (done < want) {
                const std::int64_t at = position + static_cast<std::int64_t>(done);
                const std::int64_t ahead = at - readAheadStart;
                if (ahead < 0 || ahead >= static_cast<std::int64_t>(readAhead.size())) {
                    readAhead.resize(kReadAheadBytes);
                    readAhead.resize(ReadAt(at, readAhead.data(), readAhead.size()));
                    readAheadStart = at;
                    if (readAhead.empty())
                        break;
                    continue;
                }
                const std::size_t n =
                    std::min(want - done, readAhead.size() - static_cast<std::size_t>(ahead));
                std::memcpy(static_cast<char *>(out) + done,
                            readAhead.data() + static_cast<std::size_t>(ahead), n);
                done += n;
            }
        }
        if (done < want)
            eof = true;
        position += static_cast<std::int64_t>(done);
        return done;
    }

    // Up to `count` bytes of the file from `at`, fewer where it ends.
    std::size_t ReadAt(std::int64_t at, char *out, std::size_t count) const {
        std::size_t done = 0;
        while (done < count) {
            const ssize_t n = pread(fd, out + done, count - done,
                                    static_cast<off_t>(at) + static_cast<off_t>(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        return done;
    }
    static constexpr std::size_t kReadAheadBytes = 64 * 1024;

    bool WriteInPlace();

    // Closes the descriptor and removes a created file's temporary file.
    void DropFiles() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        if (!tempPath.empty())
            ::unlink(tempPath.c_str());
        tempPath.clear();
    }
    // Ends the stream without a new target: DropFiles, and the stream is closed.
    void Abandon() {
        DropFiles();
        closed = true;
    }
};

namespace {

// A path's folder ("/" for a file in the root) and its last name.
std::string FolderOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string &path) { return path.substr(path.rfind('/') + 1); }

// Sets the file's length back to what it was before a failed write made it longer.
void RestoreLength(int fd, off_t length) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size != length)
        while (::ftruncate(fd, length) != 0 && errno == EINTR) {
        }
}

// The bytes a write may pass at most (the file-size limit), or -1 for none.
std::int64_t FileSizeLimit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return -1;
    return static_cast<std::int64_t>(limit.rlim_cur);
}

} // namespace

// Writes the whole new file over the target. Nothing of the old file changes until the disk
// has room for every new byte: the file-size limit is checked, the space is reserved where the
// file system can (fallocate), and the bytes past the old end are written first, which takes
// their room without touching an old byte where it cannot. So a full disk, a quota or the limit
// fail with the old file whole. Only a failure after that (a disk error, or a file system that
// copies on write and so needs new room for old bytes too) leaves it damaged, and says so.
bool BinaryStream::Impl::WriteInPlace() {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return Fail(errno);
    const off_t oldLength = st.st_size;
    const auto newLength = static_cast<off_t>(image.size());
    const std::int64_t limit = FileSizeLimit();
    if (limit >= 0 && static_cast<std::int64_t>(newLength) > limit)
        return Fail(EFBIG);
    // The raw call, not posix_fallocate: the C library's stand-in for file systems without it
    // writes bytes into the file.
    int reserved = 0;
    while (newLength > 0 && (reserved = ::fallocate(fd, 0, 0, newLength)) != 0 && errno == EINTR) {
    }
    if (reserved != 0 && errno != EOPNOTSUPP) {
        const int error = errno;
        RestoreLength(fd, oldLength);
        return Fail(error);
    }
    // Writes the image's bytes [from, to) in blocks, so that no single call is asked for tens
    // of megabytes; how many were written.
    auto write = [this](std::size_t from, std::size_t to) {
        constexpr std::size_t kBlock = 1 << 20;
        std::size_t at = from;
        while (at < to) {
            const std::size_t count = std::min(kBlock, to - at);
            const std::size_t done = WriteAt(static_cast<std::int64_t>(at), image.data() + at, count);
            at += done;
            if (done != count)
                break;
        }
        return at - from;
    };
    // The bytes past the old end first; then those over the old ones. Until one of those is
    // written, a failure leaves the old file whole.
    const auto old = static_cast<std::size_t>(oldLength);
    const std::size_t over = std::min(old, image.size());
    const bool grown = image.size() <= old || write(old, image.size()) == image.size() - old;
    const std::size_t overwritten = grown ? write(0, over) : 0;
    if (!grown || overwritten != over) {
        const int error = errno != 0 ? errno : EIO;
        if (overwritten == 0)
            RestoreLength(fd, oldLength);
        else
            damaged = true;
        return Fail(error);
    }
    if (oldLength > newLength && ::ftruncate(fd, newLength) != 0) {
        damaged = true;
        return Fail(errno);
    }
    if (::fsync(fd) != 0) {
        damaged = true;
        return Fail(errno);
    }
    return true;
}

BinaryStream::BinaryStream(Impl *impl) : impl_(impl) {}

BinaryStream::~BinaryStream() {
    if (!impl_->closed) {
        if (!impl_->created)
            impl_->Flush(); // a stream on an opened file keeps what it wrote
        impl_->Abandon();
    }
    delete impl_;
}

void BinaryStream::Write(const std::string &bytes) {
    impl_->WriteBytes(bytes.data(), bytes.size());
}

std::string BinaryStream::Read(std::int32_t n) {
    if (n <= 0)
        return {};
    const std::int64_t left = impl_->length > impl_->position ? impl_->length - impl_->position : 0;
    std::string out(static_cast<std::size_t>(std::min<std::int64_t>(n, left)), '\0');
    if (left < n)
        impl_->eof = true;
    out.resize(impl_->ReadBytes(out.data(), out.size()));
    return out;
}

void BinaryStream::WritePString(const std::string &text) {
    const std::size_t n = text.size() > 255 ? 255 : text.size();
    const auto lengthByte = static_cast<unsigned char>(n);
    impl_->WriteBytes(&lengthByte, 1);
    impl_->WriteBytes(text.data(), n);
}

std::string BinaryStream::ReadPString() {
    unsigned char lengthByte = 0;
    if (impl_->ReadBytes(&lengthByte, 1) != 1)
        return {};
    std::string out(lengthByte, '\0');
    // A text cut short by the end of the file is no text.
    if (impl_->ReadBytes(out.data(), out.size()) != out.size())
        return {};
    return out;
}

void BinaryStream::WriteInt32(std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(u >> 24), static_cast<unsigned char>(u >> 16),
        static_cast<unsigned char>(u >> 8), static_cast<unsigned char>(u)};
    impl_->WriteBytes(bytes, 4);
}

std::int32_t BinaryStream::ReadInt32() {
    unsigned char bytes[4];
    if (impl_->ReadBytes(bytes, 4) != 4)
        return 0;
    return static_cast<std::int32_t>((std::uint32_t{bytes[0]} << 24) |
                                     (std::uint32_t{bytes[1]} << 16) |
                                     (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]});
}

void BinaryStream::WriteByte(std::uint8_t value) { impl_->WriteBytes(&value, 1); }

std::uint8_t BinaryStream::ReadByte() {
    std::uint8_t value = 0;
    return impl_->ReadBytes(&value, 1) == 1 ? value : 0;
}

bool BinaryStream::IsEOF() const { return impl_->eof || impl_->position >= impl_->length; }
std::int64_t BinaryStream::Position() const { return impl_->position; }

void BinaryStream::SetPosition(std::int64_t position) {
    impl_->position = position < 0 ? 0 : position;
    impl_->eof = false;
}

std::int64_t BinaryStream::Length() const { return impl_->length; }
bool BinaryStream::WriteError() const { return impl_->writeError; }
std::int32_t BinaryStream::LastErrorCode() const { return impl_->errorCode; }
bool BinaryStream::TargetDamaged() const { return impl_->damaged; }

std::string BinaryStream::FailureReason() const {
    std::string reason = FileErrorReason(impl_->errorCode);
    if (impl_->damaged)
        reason += "; it was being written in place and is now damaged";
    return reason;
}

bool BinaryStream::Close() {
    Impl &s = *impl_;
    if (s.closed)
        return !s.writeError;
    if (!s.created) {
        s.Flush();
        if (::close(s.fd) != 0 && s.writable)
            s.Fail(errno);
        s.fd = -1;
        s.closed = true;
        return !s.writeError;
    }
    // A created file replaces its target only when every byte reached the disk, and the
    // rename reaches the disk too, with the folder that records it.
    if (!s.writeError) {
        if (s.inPlace)
            s.WriteInPlace();
        else if (s.Flush() && ::fsync(s.fd) != 0)
            s.Fail(errno);
    }
    if (::close(s.fd) != 0)
        s.Fail(errno);
    s.fd = -1;
    if (!s.writeError && !s.inPlace) {
        if (::rename(s.tempPath.c_str(), s.targetPath.c_str()) != 0) {
            s.Fail(errno);
        } else {
            s.tempPath.clear();
            const int folder =
                ::open(FolderOf(s.targetPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (folder >= 0) {
                ::fsync(folder); // the file is complete and in place whatever this says
                ::close(folder);
            }
        }
    }
    if (s.writeError) {
        s.Abandon();
        return false;
    }
    s.closed = true;
    MarkFile(s.targetPath, s.typeName);
    return true;
}

namespace {

// 0 for a regular file; otherwise the error a file operation gives for it: EISDIR for a
// folder, kNotARegularFile for a FIFO, socket or device.
int NotRegularFileError(const struct stat &st) {
    if (S_ISREG(st.st_mode))
        return 0;
    return S_ISDIR(st.st_mode) ? EISDIR : kNotARegularFile;
}

// Opens an existing regular file without blocking, the descriptor blocking again afterwards,
// with the file's status in `st`: -1, with `error` set to errno, EISDIR or kNotARegularFile,
// for anything else. The type is asked before opening, so that no FIFO or device is ever
// opened, and again after, in case the file was swapped in between.
int OpenRegularFile(const std::string &path, int access, int &error, struct stat &st) {
    if (::stat(path.c_str(), &st) != 0) {
        error = errno;
        return -1;
    }
    if ((error = NotRegularFileError(st)) != 0)
        return -1;
    const int fd = ::open(path.c_str(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
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

// Whether the sticky bit of the folder keeps this user from renaming over the target: only
// the owner of the file or of the folder (or root) may.
bool StickyFolderRefusesRename(const struct stat &folder, const struct stat &target) {
    const uid_t user = ::geteuid();
    return (folder.st_mode & S_ISVTX) != 0 && user != 0 && user != target.st_uid &&
           user != folder.st_uid;
}

// A new file beside `name` in `folder`, named ".name.XXXXXX" with the name shortened as far as
// it takes for the whole to fit the folder's longest name, so that any name the system takes
// can be saved. Created with `mode` less the umask (or the folder's default ACL), as every
// new file is. The descriptor, with its path in `path`; -1 with errno set.
int MakeTemporaryFile(const std::string &folder, const std::string &name, mode_t mode,
                      std::string &path) {
    const long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
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
        path = (folder == "/" ? "" : folder) + "/." + name.substr(0, kept) + ".";
        for (unsigned char r : random)
            path.push_back(kLetters[r % (sizeof kLetters - 1)]);
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Fills `out` from a call that tells the size it needs when given no room (listxattr,
// getxattr), asking again while the value grows between the two calls. False, with errno set,
// when the call fails.
template <class Get> bool ReadSized(Get get, std::string &out) {
    for (;;) {
        const ssize_t size = get(nullptr, 0);
        if (size < 0)
            return false;
        out.resize(static_cast<std::size_t>(size));
        const ssize_t n = get(out.data(), out.size());
        if (n >= 0) {
            out.resize(static_cast<std::size_t>(n));
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
}

// The names of the extended attributes that `list` (listxattr on a file) gives; false when
// they cannot be read. A file system without them has none.
template <class List> bool AttributeNames(List list, std::vector<std::string> &names) {
    std::string all;
    if (!ReadSized(list, all))
        return errno == ENOTSUP;
    for (std::size_t at = 0; at < all.size(); at = all.find('\0', at) + 1)
        names.emplace_back(all.c_str() + at);
    return true;
}

// Gives the new file `to` exactly the extended attributes of the file at `from`: its ACL
// (system.posix_acl_access) among them, and none that only the new file has, such as an ACL
// that the folder's default ACL gave it. False when one could not be read, set or removed.
bool CopyExtendedAttributes(const std::string &from, int to) {
    std::vector<std::string> old, fresh;
    if (!AttributeNames(
            [&](char *list, std::size_t size) { return ::listxattr(from.c_str(), list, size); },
            old) ||
        !AttributeNames([&](char *list, std::size_t size) { return ::flistxattr(to, list, size); },
                        fresh))
        return false;
    for (const std::string &name : fresh)
        if (std::find(old.begin(), old.end(), name) == old.end() &&
            ::fremovexattr(to, name.c_str()) != 0)
            return false;
    std::string value;
    for (const std::string &name : old) {
        const auto get = [&](char *bytes, std::size_t size) {
            return ::getxattr(from.c_str(), name.c_str(), bytes, size);
        };
        if (!ReadSized(get, value) ||
            ::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0)
            return false;
    }
    return true;
}

// Gives the new file `fd` everything of the old file `old` at `oldPath` that decides who may
// use it: owner and group, extended attributes with the ACL, and permission bits, in the order
// that keeps each (a change of owner clears the set-user-ID bit; the ACL sets the group bits).
// The new file never has wider access than the old one on the way: it is made 0600, the
// user's own. False when it could not be given all of them exactly.
bool GiveOldFilesAccess(int fd, const struct stat &old, const std::string &oldPath) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    if ((st.st_uid != old.st_uid || st.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    if (!CopyExtendedAttributes(oldPath, fd) || ::fchmod(fd, old.st_mode & 07777) != 0 ||
        ::fstat(fd, &st) != 0)
        return false;
    return st.st_uid == old.st_uid && st.st_gid == old.st_gid &&
           (st.st_mode & 07777) == (old.st_mode & 07777);
}

} // namespace

Ref<BinaryStream> FolderItem::CreateBinaryFile(const std::string &fileTypeName) {
    int error = 0;
    const std::string target = FollowLinks(path_, error);
    auto fail = [this, &error] {
        lastError_ = error;
        return nullptr;
    };
    if (target.empty())
        return fail();
    const std::string folder = FolderOf(target);

    // An old file: only a regular file that the user may write, and that is not
    // write-protected (even root's writing a file of mode 0444 would surprise its owner).
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) {
        error = errno;
        return fail();
    }
    if (exists) {
        error = NotRegularFileError(old);
        if (error == 0 && (old.st_mode & 0222) == 0)
            error = EACCES;
        if (error == 0 && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            error = errno;
        if (error != 0)
            return fail();
    }

    auto impl = std::make_unique<BinaryStream::Impl>();
    impl->writable = true;
    impl->created = true;
    impl->targetPath = target;
    impl->typeName = fileTypeName;
    auto keep = [this, &impl] {
        lastError_ = 0;
        return Ref<BinaryStream>(new BinaryStream(impl.release()));
    };
    if (!exists) {
        impl->fd = MakeTemporaryFile(folder, NameOf(target), 0666, impl->tempPath);
        if (impl->fd >= 0)
            return keep();
        error = errno;
        return fail();
    }

    // An old file is replaced only where the new one can be the same file to everyone who
    // uses it: the same owner, group, permissions and attributes, and the only name it has.
    struct stat folderStatus {};
    const bool replace = old.st_nlink <= 1 && ::stat(folder.c_str(), &folderStatus) == 0 &&
                         !StickyFolderRefusesRename(folderStatus, old);
    if (replace) {
        impl->fd = MakeTemporaryFile(folder, NameOf(target), 0600, impl->tempPath);
        if (impl->fd >= 0 && GiveOldFilesAccess(impl->fd, old, target))
            return keep();
        const int why = errno;
        // Only a folder that refuses a new file by permission, or a new file that cannot have
        // the old one's owner or attributes, is a reason to write in place; a full disk, a
        // quota or too many open files are failures, which leave the old file as it was.
        const bool refused = impl->fd >= 0 || why == EACCES || why == EPERM;
        impl->DropFiles();
        if (!refused) {
            error = why;
            return fail();
        }
    }
    impl->inPlace = true;
    impl->fd = OpenRegularFile(target, O_WRONLY, error, old);
    return impl->fd >= 0 ? keep() : fail();
}

Ref<BinaryStream> FolderItem::OpenAsBinaryFile(bool readWrite) {
    int error = 0;
    struct stat st {};
    const int fd = OpenRegularFile(path_, readWrite ? O_RDWR : O_RDONLY, error, st);
    lastError_ = error;
    if (fd < 0)
        return nullptr;
    auto *impl = new BinaryStream::Impl;
    impl->fd = fd;
    impl->writable = readWrite;
    impl->length = static_cast<std::int64_t>(st.st_size);
    return Ref<BinaryStream>(new BinaryStream(impl));
}

std::string FileErrorReason(std::int32_t code) {
    // The reasons a user can act on, in the user's words; any other in the system's.
    static const struct {
        std::int32_t code;
        const char *words;
    } kReasons[] = {
        {ENOSPC, "the disk is full"},
        {EDQUOT, "the disk quota is used up"},
        {EROFS, "the disk is read-only"},
        {EACCES, "permission was denied"},
        {EPERM, "permission was denied"},
        {EISDIR, "it is a folder"},
        {kNotARegularFile, "it is not a regular file"},
        {EFBIG, "the file would be too large"},
        {ENOENT, "the file or its folder does not exist"},
        {ENOTDIR, "a part of its path is not a folder"},
        {ENAMETOOLONG, "its name is too long"},
        {ELOOP, "it leads through too many symbolic links"},
        {EIO, "the disk reported an error"},
        {EMFILE, "too many files are open"},
        {ENFILE, "too many files are open"},
        {EBUSY, "it is in use"},
        {ETXTBSY, "it is in use"},
    };
    if (code == 0)
        return "";
    for (const auto &reason : kReasons)
        if (reason.code == code)
            return std::string(": ") + reason.words;
    return std::string(": the system reported error ") + std::to_string(code) + " (" +
           std::strerror(code) + ")";
}

} // namespace rb
