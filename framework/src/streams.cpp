// streams.cpp -- BinaryStream, and the two ways FolderItem opens one.
//
// A stream is a file descriptor, a position and a write buffer; reads go straight to the file
// with pread after the buffer is flushed. A stream from CreateBinaryFile writes a temporary
// file beside its target and renames it over the target on a successful Close, or, where no
// temporary file can be made, holds its bytes and writes the target in place on Close.
//
// Files are opened without blocking and only when they are regular files: opening a FIFO
// waits for a process at its other end, and a device may do anything on open.
#include "filetypes-internal.h"
#include "rb/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

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
    // CreateBinaryFile only: the temporary file (none when the target is written in place),
    // the target and the file type name.
    bool created = false;
    std::string tempPath;
    std::string targetPath;
    std::string typeName;
    // A read-only stream's reads go through a block read ahead, so that reading a file item by
    // item (a length byte, then a few bytes) costs a system call per block rather than per item.
    std::string readAhead; // the file's bytes from readAheadStart
    std::int64_t readAheadStart = 0;

    bool InPlace() const { return created && tempPath.empty(); }

    // Notes a failure with the system's reason; the first one is the one reported.
    bool Fail(int code) {
        writeError = true;
        if (errorCode == 0)
            errorCode = code;
        return false;
    }

    bool Flush() {
        std::size_t done = 0;
        while (done < buffer.size()) {
            const ssize_t n = pwrite(fd, buffer.data() + done, buffer.size() - done,
                                     static_cast<off_t>(bufferStart) + static_cast<off_t>(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                Fail(n < 0 ? errno : EIO);
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        buffer.clear();
        return !writeError;
    }

    void WriteBytes(const void *bytes, std::size_t count) {
        if (closed || !writable) {
            Fail(EBADF);
            return;
        }
        if (count == 0)
            return;
        if (!buffer.empty() && bufferStart + static_cast<std::int64_t>(buffer.size()) != position)
            Flush();
        if (buffer.empty())
            bufferStart = position;
        buffer.append(static_cast<const char *>(bytes), count);
        position += static_cast<std::int64_t>(count);
        if (position > length)
            length = position;
        // A target written in place is touched only by Close.
        if (buffer.size() >= 64 * 1024 && !InPlace())
            Flush();
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
        if (writable) {
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
                const std::size_t n = std::min(want - done, readAhead.size() -
                                                                static_cast<std::size_t>(ahead));
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

    // Drops a created file's temporary file; closes the descriptor.
    void Abandon() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        if (!tempPath.empty())
            ::unlink(tempPath.c_str());
        closed = true;
    }
};

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

bool BinaryStream::Close() {
    Impl &s = *impl_;
    if (s.closed)
        return !s.writeError;
    s.Flush();
    if (!s.created) {
        if (::close(s.fd) != 0 && s.writable)
            s.Fail(errno);
        s.fd = -1;
        s.closed = true;
        return !s.writeError;
    }
    // A created file replaces its target only when every byte reached the disk; written in
    // place, it loses what an old, longer file had beyond its end.
    if (!s.writeError && s.InPlace() && ::ftruncate(s.fd, static_cast<off_t>(s.length)) != 0)
        s.Fail(errno);
    if (!s.writeError && ::fsync(s.fd) != 0)
        s.Fail(errno);
    if (::close(s.fd) != 0)
        s.Fail(errno);
    s.fd = -1;
    if (!s.writeError && !s.InPlace() && ::rename(s.tempPath.c_str(), s.targetPath.c_str()) != 0)
        s.Fail(errno);
    if (s.writeError) {
        s.Abandon();
        return false;
    }
    s.tempPath.clear();
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
// create. Empty, with ELOOP, when the links go round.
std::string FollowLinks(std::string path, int &error) {
    namespace fs = std::filesystem;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec)))
            return path;
        const fs::path target = fs::read_symlink(path, ec);
        if (ec)
            return path;
        path = (fs::path(path).parent_path() / target).lexically_normal().string();
    }
    error = ELOOP;
    return "";
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

    // An old file: only a regular file that the user may write, and that is not
    // write-protected (even root's writing a file of mode 0444 would surprise its owner).
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        error = NotRegularFileError(old);
        if (error == 0 && (old.st_mode & 0222) == 0)
            error = EACCES;
        if (error == 0 && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            error = errno;
        if (error != 0)
            return fail();
    }

    auto *impl = new BinaryStream::Impl;
    impl->writable = true;
    impl->created = true;
    impl->targetPath = target;
    impl->typeName = fileTypeName;
    const std::size_t slash = target.rfind('/');
    std::string temp = target.substr(0, slash + 1);
    temp.append(".").append(target, slash + 1).append(".XXXXXX");
    impl->fd = mkostemp(temp.data(), O_CLOEXEC);
    if (impl->fd >= 0) {
        impl->tempPath = temp;
        // The new file gets the old file's owner and permissions, or the usual ones.
        mode_t mode = old.st_mode & 07777;
        if (exists) {
            if (::fchown(impl->fd, old.st_uid, old.st_gid) != 0) {
                // Only root may give a file away; the user's own file stays the user's.
            }
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        ::fchmod(impl->fd, mode);
    } else if (exists) {
        // No file can be made beside the target (a folder the user cannot write to), but the
        // target itself may be written: it is written in place on Close. That keeps the
        // user's work where the atomic replacement is impossible, at a cost: a failure
        // part-way through Close (a full disk) leaves the old file damaged.
        impl->fd = OpenRegularFile(target, O_WRONLY, error, old);
    } else {
        error = errno;
    }
    if (impl->fd < 0) {
        delete impl;
        return fail();
    }
    lastError_ = 0;
    return Ref<BinaryStream>(new BinaryStream(impl));
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
