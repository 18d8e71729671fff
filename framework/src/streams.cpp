// streams.cpp -- BinaryStream, the byte stream on an open file, and OpenAsBinaryFile.
//
// A stream is a file descriptor, a position and, by its mode (stream-impl.h), a write buffer,
// a block read ahead or the whole new file in memory. Which file a stream from
// CreateBinaryFile writes, and how Close puts it in place, is save-targets.cpp's; files.h
// says what each way can and cannot lose.
//
// Files are opened without blocking and only when they are regular files: opening a FIFO
// waits for a process at its other end, and a device may do anything on open.
#include "stream-impl.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace rb {

namespace {

constexpr std::size_t kReadAheadBytes = 64 * 1024;
constexpr std::size_t kWriteBufferBytes = 64 * 1024;

// Up to `count` bytes of the file from `at`, fewer where it ends or where a read fails; a
// failure is noted in the stream (a read error is never taken for the end of the file).
std::size_t ReadAt(BinaryStream::Impl &s, std::int64_t at, char *out, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(s.fd, out + done, count - done,
                                  static_cast<off_t>(at) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            s.readError = true;
            if (s.errorCode == 0)
                s.errorCode = errno;
        }
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// Copies up to `want` bytes from the position through the block read ahead.
std::size_t ReadAhead(BinaryStream::Impl &s, char *out, std::size_t want) {
    std::size_t done = 0;
    while (done < want) {
        const std::int64_t at = s.position + static_cast<std::int64_t>(done);
        const std::int64_t ahead = at - s.readAheadStart;
        if (ahead < 0 || ahead >= static_cast<std::int64_t>(s.readAhead.size())) {
            s.readAhead.resize(kReadAheadBytes);
            s.readAhead.resize(ReadAt(s, at, s.readAhead.data(), s.readAhead.size()));
            s.readAheadStart = at;
            if (s.readAhead.empty())
                break;
            continue;
        }
        const std::size_t n =
            std::min(want - done, s.readAhead.size() - static_cast<std::size_t>(ahead));
        std::memcpy(out + done, s.readAhead.data() + static_cast<std::size_t>(ahead), n);
        done += n;
    }
    return done;
}

void WriteBytes(BinaryStream::Impl &s, const void *bytes, std::size_t count) {
    if (s.closed || s.mode == StreamMode::kRead) {
        s.Fail(EBADF);
        return;
    }
    if (count == 0)
        return;
    if (s.mode == StreamMode::kInPlace) {
        // A target written in place is touched only by Close: its new bytes wait here.
        const auto end = static_cast<std::size_t>(s.position) + count;
        if (s.image.size() < end)
            s.image.resize(end, '\0');
        std::memcpy(s.image.data() + s.position, bytes, count);
    } else {
        if (!s.buffer.empty() &&
            s.bufferStart + static_cast<std::int64_t>(s.buffer.size()) != s.position)
            s.Flush();
        if (s.buffer.empty())
            s.bufferStart = s.position;
        s.buffer.append(static_cast<const char *>(bytes), count);
        if (s.buffer.size() >= kWriteBufferBytes)
            s.Flush();
    }
    s.position += static_cast<std::int64_t>(count);
    s.length = std::max(s.length, s.position);
}

// Up to `count` bytes from the position; sets eof when fewer were there. After a read error
// nothing more is read: what follows the failed bytes is not the file's next bytes.
std::size_t ReadBytes(BinaryStream::Impl &s, void *out, std::size_t count) {
    if (s.closed || s.readError) {
        s.eof = true;
        return 0;
    }
    if (!s.buffer.empty())
        s.Flush();
    const std::int64_t left = s.length > s.position ? s.length - s.position : 0;
    std::size_t want = count;
    if (static_cast<std::int64_t>(want) > left) {
        want = static_cast<std::size_t>(left);
        s.eof = true;
    }
    auto *bytes = static_cast<char *>(out);
    std::size_t done = 0;
    switch (s.mode) {
    case StreamMode::kRead:
        done = ReadAhead(s, bytes, want);
        break;
    case StreamMode::kReadWrite:
    case StreamMode::kReplace:
        done = ReadAt(s, s.position, bytes, want);
        break;
    case StreamMode::kInPlace:
        if (want > 0)
            std::memcpy(bytes, s.image.data() + s.position, want);
        done = want;
        break;
    }
    if (done < want)
        s.eof = true;
    s.position += static_cast<std::int64_t>(done);
    return done;
}

// Closes the stream's own descriptor; false when the system reports a failure.
bool CloseDescriptor(BinaryStream::Impl &s) {
    const bool closed = s.fd < 0 || ::close(s.fd) == 0;
    s.fd = -1;
    return closed;
}

} // namespace

bool BinaryStream::Impl::Flush() {
    if (WriteAt(bufferStart, buffer.data(), buffer.size()) != buffer.size())
        Fail(errno != 0 ? errno : EIO);
    buffer.clear();
    return !writeError;
}

std::size_t BinaryStream::Impl::WriteAt(std::int64_t at, const char *bytes,
                                        std::size_t count) const {
    std::size_t done = 0;
    errno = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd, bytes + done, count - done,
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

BinaryStream::BinaryStream(Impl *impl) : impl_(impl) {}

BinaryStream::~BinaryStream() {
    Impl &s = *impl_;
    if (!s.closed) {
        switch (s.mode) {
        case StreamMode::kReadWrite:
            s.Flush(); // a stream on an opened file keeps what it wrote
            CloseDescriptor(s);
            break;
        case StreamMode::kRead:
            CloseDescriptor(s);
            break;
        case StreamMode::kReplace:
        case StreamMode::kInPlace:
            AbandonTarget(s);
            break;
        }
    }
    delete impl_;
}

void BinaryStream::Write(const std::string &bytes) { WriteBytes(*impl_, bytes.data(), bytes.size()); }

std::string BinaryStream::Read(std::int32_t n) {
    if (n <= 0)
        return {};
    const std::int64_t left = impl_->length > impl_->position ? impl_->length - impl_->position : 0;
    std::string out(static_cast<std::size_t>(std::min<std::int64_t>(n, left)), '\0');
    if (left < n)
        impl_->eof = true;
    out.resize(ReadBytes(*impl_, out.data(), out.size()));
    return out;
}

void BinaryStream::WritePString(const std::string &text) {
    const std::size_t n = text.size() > 255 ? 255 : text.size();
    const auto lengthByte = static_cast<unsigned char>(n);
    WriteBytes(*impl_, &lengthByte, 1);
    WriteBytes(*impl_, text.data(), n);
}

std::string BinaryStream::ReadPString() {
    unsigned char lengthByte = 0;
    if (ReadBytes(*impl_, &lengthByte, 1) != 1)
        return {};
    std::string out(lengthByte, '\0');
    // A text cut short by the end of the file is no text.
    if (ReadBytes(*impl_, out.data(), out.size()) != out.size())
        return {};
    return out;
}

void BinaryStream::WriteInt32(std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(u >> 24), static_cast<unsigned char>(u >> 16),
        static_cast<unsigned char>(u >> 8), static_cast<unsigned char>(u)};
    WriteBytes(*impl_, bytes, 4);
}

std::int32_t BinaryStream::ReadInt32() {
    unsigned char bytes[4];
    if (ReadBytes(*impl_, bytes, 4) != 4)
        return 0;
    return static_cast<std::int32_t>((std::uint32_t{bytes[0]} << 24) |
                                     (std::uint32_t{bytes[1]} << 16) |
                                     (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]});
}

void BinaryStream::WriteByte(std::uint8_t value) { WriteBytes(*impl_, &value, 1); }

std::uint8_t BinaryStream::ReadByte() {
    std::uint8_t value = 0;
    return ReadBytes(*impl_, &value, 1) == 1 ? value : 0;
}

bool BinaryStream::IsEOF() const {
    return impl_->eof || impl_->readError || impl_->position >= impl_->length;
}
std::int64_t BinaryStream::Position() const { return impl_->position; }

void BinaryStream::SetPosition(std::int64_t position) {
    impl_->position = position < 0 ? 0 : position;
    impl_->eof = false;
}

std::int64_t BinaryStream::Length() const { return impl_->length; }
bool BinaryStream::WriteError() const { return impl_->writeError; }
bool BinaryStream::ReadError() const { return impl_->readError; }
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
    switch (s.mode) {
    case StreamMode::kRead:
        CloseDescriptor(s); // nothing was written, so nothing can be lost
        break;
    case StreamMode::kReadWrite:
        s.Flush();
        if (!CloseDescriptor(s))
            s.Fail(errno);
        break;
    case StreamMode::kReplace:
        CommitReplacement(s);
        break;
    case StreamMode::kInPlace:
        CommitInPlace(s);
        break;
    }
    s.closed = true;
    return !s.writeError;
}

Ref<BinaryStream> FolderItem::OpenAsBinaryFile(bool readWrite) {
    int error = 0;
    struct stat st {};
    const int fd = OpenRegularFile(AT_FDCWD, path_, readWrite ? O_RDWR : O_RDONLY, error, st);
    lastError_ = error;
    if (fd < 0)
        return nullptr;
    auto *impl = new BinaryStream::Impl;
    impl->mode = readWrite ? StreamMode::kReadWrite : StreamMode::kRead;
    impl->fd = fd;
    impl->length = static_cast<std::int64_t>(st.st_size);
    return Ref<BinaryStream>(new BinaryStream(impl));
}

Ref<BinaryStream> FolderItem::CreateBinaryFile(const std::string &fileTypeName) {
    int error = 0;
    BinaryStream::Impl *impl = OpenSaveTarget(path_, fileTypeName, error);
    lastError_ = impl ? 0 : error;
    return impl ? Ref<BinaryStream>(new BinaryStream(impl)) : nullptr;
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
