// filetypes-internal.h -- internal: the marks (Mac type and creator) that files created
// through CreateBinaryFile carry.
#pragma once

#include <string>

namespace rb {

// The Mac type and creator codes of a file created with a file type.
struct FileMarks {
    std::string type;
    std::string creator;
};
// The marks of the file type named `typeName`: a name that no FileType registered stands for
// itself as the type, with no creator.
FileMarks MarksOfType(const std::string &typeName);
// Gives the open file `fd` its marks as user extended attributes, removing an old file's code
// that the marks leave empty. 0, or the errno of a mark that the file system has room for in
// principle but could not set (a full disk); a file system without user attributes drops them
// (0 then).
int WriteMarks(int fd, const FileMarks &marks);
// Remembers, in this process, the marks of the file that is now at `path`.
void RememberMarks(const std::string &path, const FileMarks &marks);
// Forgets the marks of a file that was removed.
void ForgetFile(const std::string &path);
// The recorded Mac type / creator of the file at path; empty when unknown.
std::string FileMacType(const std::string &path);
std::string FileMacCreator(const std::string &path);

} // namespace rb
