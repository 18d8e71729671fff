// filetypes-internal.h -- internal: the marks (Mac type and creator) that files created
// through CreateBinaryFile carry.
#pragma once

#include <string>

namespace rb {

// Records that the file at `path` was created with the file type named `typeName`: in this
// process, and in user extended attributes where the file system has them (failure ignored).
void MarkFile(const std::string &path, const std::string &typeName);
// Forgets the marks of a file that was removed.
void ForgetFile(const std::string &path);
// The recorded Mac type / creator of the file at path; empty when unknown.
std::string FileMacType(const std::string &path);
std::string FileMacCreator(const std::string &path);

} // namespace rb
