// streams.cpp -- BinaryStream, and the two ways FolderItem opens one.
//
// A stream is a file descriptor, a position and a write buffer; reads go straight to the file
// with pread after the buffer is flushed. A stream from CreateBinaryFile writes a temporary
// file beside its target and renames it over the target on a successful Close.
#include "filetypes-internal.h"
#include "rb/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace rb {

struct BinaryStream::Impl {
    int fd = -1;
    bool writable = false;
    std::int64_t position = 0;
    std::int64_t length = 0; // the file's length, buffered bytes included
    std::string buffer;      // bytes not yet written, starting at bufferStart
    std::int64_t bufferStart = 0;
    bool writeError = false;
    bool eof = false; // a read tried to pass the end
    bool closed = false;
    // CreateBinaryFile only: the temporary file, its target and the file type name.
    std::string tempPath;
    std::string targetPath;
    std::string typeName;
    // A read-only stream's reads go through a block read ahead, so that reading a file item by
    // item (a length byte, then a few bytes) costs a system call per block rather than per item.
    std::string readAhead; // the file's bytes from readAheadStart
    std::int64_t readAheadStart = 0;

    bool Flush() {
        std::size_t done = 0;
        while (done < buffer.size()) {
            const ssize_t n = pwrite(fd, buffer.data() + done, buffer.size() - done,
                                     static_cast<off_t>(bufferStart) + static_cast<off_t>(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                writeError = true;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        buffer.clear();
        return !writeError;
    }

    void WriteBytes(const void *bytes, std::size_t count) {
        if (closed || !writable) {
            writeError = true;
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
        if (buffer.size() >= 64 * 1024)
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
        if (impl_->tempPath.empty())
            impl_->Flush(); // an in-place stream keeps what it wrote
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

bool BinaryStream::Close() {
    Impl &s = *impl_;
    if (s.closed)
        return !s.writeError;
    bool ok = s.Flush();
    if (s.tempPath.empty()) {
        if (::close(s.fd) != 0 && s.writable)
            ok = false;
        s.fd = -1;
        s.closed = true;
        return ok && !s.writeError;
    }
    // A created file replaces its target only when every byte reached the disk.
    ok = ok && ::fsync(s.fd) == 0;
    ok = ::close(s.fd) == 0 && ok;
    s.fd = -1;
    ok = ok && ::rename(s.tempPath.c_str(), s.targetPath.c_str()) == 0;
    if (!ok) {
        s.writeError = true;
        s.Abandon();
        return false;
    }
    s.tempPath.clear();
    s.closed = true;
    MarkFile(s.targetPath, s.typeName);
    return true;
}

Ref<BinaryStream> FolderItem::CreateBinaryFile(const std::string &fileTypeName) {
    if (Directory())
        return nullptr;
    Ref<FolderItem> parent = Parent();
    if (!parent || !parent->Directory())
        return nullptr;
    std::string temp = parent->NativePath();
    if (temp != "/")
        temp += "/";
    temp += "." + Name() + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    // The new file gets the old file's permissions, or the usual ones for a new file.
    struct stat old;
    mode_t mode;
    if (::stat(path_.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    auto *impl = new BinaryStream::Impl;
    impl->fd = fd;
    impl->writable = true;
    impl->tempPath = temp;
    impl->targetPath = path_;
    impl->typeName = fileTypeName;
    return Ref<BinaryStream>(new BinaryStream(impl));
}

Ref<BinaryStream> FolderItem::OpenAsBinaryFile(bool readWrite) {
    const int fd = ::open(path_.c_str(), (readWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto *impl = new BinaryStream::Impl;
    impl->fd = fd;
    impl->writable = readWrite;
    impl->length = static_cast<std::int64_t>(st.st_size);
    return Ref<BinaryStream>(new BinaryStream(impl));
}

} // namespace rb
