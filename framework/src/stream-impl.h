// stream-impl.h -- internal: what a BinaryStream is made of, shared by the byte stream
// (streams.cpp) and the choosing and committing of the file that CreateBinaryFile writes
// (save-targets.cpp).
#pragma once

#include "rb/files.h"

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace rb {

// What a stream does with its file: one value, chosen once when the stream is made.
enum class StreamMode {
    kRead,      // OpenAsBinaryFile(false): reads only, through a block read ahead
    kReadWrite, // OpenAsBinaryFile(true): reads and writes the file itself, as it goes
    kReplace,   // CreateBinaryFile: writes a new file beside the target; Close renames it over
    kInPlace,   // CreateBinaryFile: holds the new file in memory; Close writes it over the target
};

// The file that a stream from CreateBinaryFile writes, in the folder that was opened for it
// once links were followed: every later step (the new file, its attributes, the rename, the
// folder's sync) goes through that one descriptor, so a folder renamed or replaced meanwhile
// cannot send the save elsewhere, and no step needs a path longer than the target's own.
struct SaveTarget {
    int folder = -1;        // the target's folder
    std::string name;       // the target's name in it
    std::string path;       // the whole path, by which the file's type marks are remembered
    std::string temporary;  // kReplace: the new file's name in the folder until it is renamed
    std::string typeName;   // the file type the file is marked with
};

struct BinaryStream::Impl {
    StreamMode mode = StreamMode::kRead;
    int fd = -1; // kReplace: the new file; kInPlace: the target, opened for writing
    std::int64_t position = 0;
    std::int64_t length = 0; // the file's length, bytes not yet written included
    std::string buffer;      // kReadWrite, kReplace: bytes not yet written, from bufferStart
    std::int64_t bufferStart = 0;
    // kRead: the file's bytes from readAheadStart, so that reading a file item by item (a
    // length byte, then a few bytes) costs a system call per block rather than per item.
    std::string readAhead;
    std::int64_t readAheadStart = 0;
    std::string image; // kInPlace: every byte of the new file
    SaveTarget target; // kReplace, kInPlace
    bool writeError = false;
    bool readError = false;
    bool damaged = false; // kInPlace: Close failed after changing the target
    bool eof = false;     // a read tried to pass the end
    bool closed = false;
    int errorCode = 0; // errno of the first failure

    // Notes a failed write, flush or commit with the system's reason; false.
    bool Fail(int code) {
        writeError = true;
        if (errorCode == 0)
            errorCode = code;
        return false;
    }
    // Writes the buffered bytes; false once any write has failed.
    bool Flush();
    // Writes count bytes at `at`; how many reached the file (fewer after a failure, errno
    // then saying why).
    std::size_t WriteAt(std::int64_t at, const char *bytes, std::size_t count) const;
};

// 0 for a regular file; otherwise the error a file operation gives for it: EISDIR for a
// folder, kNotARegularFile for a FIFO, socket, device or link.
int NotRegularFileError(const struct stat &st);

// Opens the existing regular file `name` in the folder `folder` (AT_FDCWD: the working folder),
// links followed, without blocking; the descriptor blocks again
// afterwards, with the file's status in `st`. -1, with `error` set to errno, EISDIR or
// kNotARegularFile, for anything else. The type is asked before opening, so that no FIFO or
// device is ever opened, and again after, in case the file was swapped in between.
int OpenRegularFile(int folder, const std::string &name, int access, int &error, struct stat &st);

// Makes the stream of CreateBinaryFile for the item at `path`: the target found, its folder
// opened and the mode chosen (files.h lists when it is written in place). Null, with `error`
// set, when no stream can write it.
BinaryStream::Impl *OpenSaveTarget(const std::string &path, const std::string &typeName,
                                   int &error);
// Close of a kReplace or kInPlace stream: writes the target the stream's way; false, with
// the stream's error set, when it was not written (files.h says what each way leaves then).
bool CommitReplacement(BinaryStream::Impl &s);
bool CommitInPlace(BinaryStream::Impl &s);
// Ends a kReplace or kInPlace stream that was not closed: the target stays as it was.
void AbandonTarget(BinaryStream::Impl &s);

} // namespace rb
