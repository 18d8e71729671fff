// files.h -- files, folders, byte streams, file types and memory blocks.
#pragma once

#include "rb/object.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rb {

class BinaryStream;

// A reference to a file or folder by its native path: an absolute one, but where the working
// folder is gone (see FromPath). The item need not exist.
class FolderItem : public Object {
public:
    // An item for a native path; a relative path is taken against the current working
    // directory. ".." leads where the system takes it, from the folder before it as the
    // system reaches it (a linked folder's real parent), never by dropping text. Null for an
    // empty path.
    // Where the working directory cannot be found (it was removed), a relative path stays
    // relative, without "." components and doubled "/" and with its ".." as written: it is the
    // system's to resolve at every use, so that opening or creating the file fails with the
    // system's reason (ENOENT) and nothing is read or written in any other folder. Such an
    // item's Name is its last component; its Parent is the path without that component, "."
    // (the working directory) for a single name, and one ".." further up for "." or a path
    // ending in ".."; a Child is the path with the name added.
    static Ref<FolderItem> FromPath(const std::string &path);

    const std::string &NativePath() const { return path_; }
    std::string Name() const; // the last path component
    bool Exists() const;
    bool Directory() const;
    std::int64_t Length() const; // bytes of an existing file, 0 otherwise
    Ref<FolderItem> Parent() const;
    Ref<FolderItem> Child(const std::string &name) const;
    // Removes the file (or empty folder); false when it could not be removed.
    bool Delete();

    // Opens a stream that writes a new, empty file of the file type named `fileTypeName`.
    // The item is the user's file: a symbolic link is followed, and the file it names is the
    // target, found as the system finds it (a link's target and ".." are taken from the folder
    // the system reaches, linked folders followed). The target's folder is then opened once,
    // and every later step works in that folder, so a folder renamed or replaced during a save
    // cannot send it elsewhere, and any path the system opens can be saved. How the file is
    // written is chosen once, here; the old file stays as it was until BinaryStream::Close,
    // which writes the new one in one of two ways:
    // - replaced (the usual way): the bytes go to a temporary file beside the target
    //   (".name.XXXXXX", the name shortened so that it fits the folder's longest name), which
    //   Close gives the file type's marks, syncs and renames over the target; the folder is
    //   synced after. A new file gets 0666 less the umask (or the folder's default ACL); an old
    //   file's replacement gets exactly the old file's owner, group, permission bits and
    //   extended attributes (its ACL among them, and no ACL the folder would give a new file),
    //   and never wider access on the way. What a replacement does not keep is the file's
    //   identity: it is a new inode, so a program that holds the old file open goes on seeing
    //   the old bytes, and an alias record made before the save finds the file by its path
    //   only, no longer once it is moved.
    // - in place, where a replacement could not be the same file to everyone who uses it:
    //   1. the old file has other hard links;
    //   2. it is mounted on its own (a container's bind mount of one file), which the system
    //      does not rename over;
    //   3. its folder's sticky bit refuses this user the rename;
    //   4. the folder refuses this user a new file by permission;
    //   5. the new file cannot be given the old one's owner, group or attributes (nor can one
    //      of them be read).
    //   The bytes wait in memory; before the first old byte changes, Close gives the file its
    //   type's marks, reserves the disk space for all of the new bytes (which also fills the
    //   holes of a sparse old file) and writes those past the old end (which takes their room
    //   where the file system cannot reserve it), so a full disk, a quota or the file-size
    //   limit fail with the old file whole. Only a failure after that (a disk
    //   error, or a full disk on a file system that copies on write and so needs new room for
    //   old bytes too), or an old length that cannot be restored, leaves the file damaged, and
    //   the stream says so (TargetDamaged).
    // Any other failure to make or fill the new file (a full disk, a quota, too many open
    // files, a read-only disk) is a failure, not a reason to write in place: it leaves the old
    // file untouched. Null, with LastErrorCode() saying why, when the target is a folder or
    // anything but a regular file (it is never opened), a file that the user may not write or
    // that has no write permission at all, when its folder cannot be reached, or when no new
    // file can be made for it.
    Ref<BinaryStream> CreateBinaryFile(const std::string &fileTypeName);
    // Opens an existing regular file for reading (readWrite false) or reading and writing in
    // place. Never blocks: a FIFO, socket or device is not opened. Null, with LastErrorCode()
    // saying why, when it cannot be opened.
    Ref<BinaryStream> OpenAsBinaryFile(bool readWrite = false);
    // Why the last CreateBinaryFile or OpenAsBinaryFile on this item gave null: the system's
    // error number (errno) or kNotARegularFile; 0 after one that succeeded.
    std::int32_t LastErrorCode() const { return lastError_; }

    // Opens the file in its default application (the test driver records it instead).
    // Implemented by the GUI half of the framework.
    void Launch();

    // The Mac type and creator codes of the file type that the file was created with through
    // CreateBinaryFile (a type name that no FileType registered stands for itself as the type,
    // with no creator): remembered in this process and, where the file system has them, in
    // the user extended attributes user.rb.mactype / user.rb.maccreator. Empty when unknown.
    std::string MacType() const;
    std::string MacCreator() const;

private:
    explicit FolderItem(std::string path);
    std::string path_;
    std::int32_t lastError_ = 0;
};

// The LastErrorCode of a FIFO, socket or device, which no file operation opens.
constexpr std::int32_t kNotARegularFile = -1;
// The reason for a failed file operation in plain words, as the tail of a message that names
// the file: ": the disk is full", ": permission was denied", ": it is a folder", ... for a
// LastErrorCode; "" for 0.
std::string FileErrorReason(std::int32_t code);

// The item called `name` in the default folder (the current working directory), as
// FolderItem::FromPath makes it: relative, for the system to resolve, where that folder
// cannot be found. Null for an empty name.
Ref<FolderItem> GetFolderItem(const std::string &name);

// A byte stream on an open file. Integers are big-endian. A read past the end gives 0 or the
// empty text (or the bytes that were left) and sets IsEOF(); nothing is read beyond the file.
class BinaryStream : public Object {
public:
    ~BinaryStream() override; // an unclosed stream is abandoned: see Close

    void Write(const std::string &bytes);
    // Up to n bytes; fewer at the end of the file, empty for n <= 0.
    std::string Read(std::int32_t n);
    // A length byte, then the bytes. Holds at most 255 bytes: a longer text is cut at 255
    // bytes (callers keep stored texts within that limit).
    void WritePString(const std::string &text);
    // "" (and IsEOF) when the file ends before the length byte's count of bytes.
    std::string ReadPString();
    void WriteInt32(std::int32_t value);
    std::int32_t ReadInt32();
    void WriteLong(std::int32_t value) { WriteInt32(value); }
    std::int32_t ReadLong() { return ReadInt32(); }
    void WriteByte(std::uint8_t value);
    std::uint8_t ReadByte();

    // True when the position is at (or past) the end of the file, or a read tried to pass it:
    // so an empty file is at its end before any read, and `while (!s->IsEOF())` reads every
    // record once. SetPosition clears a failed read's mark. (The platform's name for this,
    // EOF, is a C macro.)
    bool IsEOF() const;
    std::int64_t Position() const;
    void SetPosition(std::int64_t position);
    std::int64_t Length() const;
    // True after a write failed; a stream with a failed write does not replace its target.
    bool WriteError() const;
    // True after a read failed (the disk reported an error): the bytes read are not the whole
    // file, nothing more is read, and IsEOF is true. A read error is never taken for the end.
    bool ReadError() const;
    // The system's error number (errno) of the first read, write, flush or Close that failed;
    // 0 while none has.
    std::int32_t LastErrorCode() const;
    // True when Close failed while writing a target in place after its first byte changed:
    // the file is then neither the old one nor the new one.
    bool TargetDamaged() const;
    // Why the stream failed, as the tail of a message that names the file: FileErrorReason of
    // LastErrorCode, and for a damaged target "; it was being written in place and is now
    // damaged".
    std::string FailureReason() const;

    // Finishes the stream. For a stream from CreateBinaryFile: when every write succeeded,
    // puts the new file in place the way that was chosen (see CreateBinaryFile for what a
    // failure can leave); returns false, with the target as it was, otherwise. A stream
    // destroyed without Close leaves the target as it was. A stream from OpenAsBinaryFile
    // writes what is buffered and closes the file. False when a write failed. Closing twice
    // does nothing.
    bool Close();

    struct Impl;
    explicit BinaryStream(Impl *impl);

private:
    Impl *impl_;
};

// A file type: registered with the framework by its text conversion, then named by its Name.
class FileType : public Object {
public:
    std::string Name;
    std::string Extensions; // extensions without the ".", separated by ";"
    std::string MacType;
    std::string MacCreator;

    // Registers the type with the framework the first time and returns its name.
    std::string ToText();
};
// The registered file type with this name (case-insensitive), or null.
Ref<FileType> FindFileType(const std::string &name);

// A block of bytes, handed to plug-ins as a framework object.
class MemoryBlock : public Object {
public:
    explicit MemoryBlock(std::size_t size) : bytes_(size, 0) {}
    std::uint8_t *Ptr() { return bytes_.data(); }
    std::size_t Size() const { return bytes_.size(); }
    std::string StringValue(std::size_t offset, std::size_t length) const;
    void SetStringValue(std::size_t offset, const std::string &bytes);

private:
    std::vector<std::uint8_t> bytes_;
};

namespace System {
// Writes a line to the system debug log (standard error here).
void DebugLog(const std::string &message);
} // namespace System

} // namespace rb
