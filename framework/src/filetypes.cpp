// filetypes.cpp -- the file-type registry and the marks of created files.
//
// Linux has no type and creator codes: a created file's codes are kept in a map of this
// process and, where the file system allows, in the extended attributes user.rb.mactype and
// user.rb.maccreator, so that a later run can still tell.
#include "filetypes-internal.h"
#include "rb/files.h"
#include "rb/text.h"

#include <sys/xattr.h>

#include <cerrno>

#include <map>
#include <utility>
#include <vector>

namespace rb {

namespace {

std::vector<Ref<FileType>> &Registry() {
    static auto *registry = new std::vector<Ref<FileType>>;
    return *registry;
}

std::map<std::string, std::pair<std::string, std::string>> &Marks() {
    static auto *marks = new std::map<std::string, std::pair<std::string, std::string>>;
    return *marks;
}

constexpr const char *kTypeAttribute = "user.rb.mactype";
constexpr const char *kCreatorAttribute = "user.rb.maccreator";

std::string ReadAttribute(const std::string &path, const char *attribute) {
    char buf[256];
    const ssize_t n = getxattr(path.c_str(), attribute, buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

// 0 when the attribute is set (or removed, for an empty value), or where the file system has
// no user attributes; else the system's reason.
int WriteAttribute(int fd, const char *attribute, const std::string &value) {
    const int done = value.empty() ? fremovexattr(fd, attribute)
                                   : fsetxattr(fd, attribute, value.data(), value.size(), 0);
    if (done == 0 || errno == ENOTSUP || (value.empty() && errno == ENODATA))
        return 0;
    return errno;
}

} // namespace

std::string FileType::ToText() {
    auto &registry = Registry();
    bool known = false;
    for (const Ref<FileType> &t : registry)
        known = known || t.get() == this;
    if (!known)
        registry.push_back(Ref<FileType>(this));
    return Name;
}

Ref<FileType> FindFileType(const std::string &name) {
    const std::string key = Lowercase(name);
    for (const Ref<FileType> &t : Registry())
        if (Lowercase(t->Name) == key)
            return t;
    return nullptr;
}

FileMarks MarksOfType(const std::string &typeName) {
    if (Ref<FileType> t = FindFileType(typeName))
        return {t->MacType, t->MacCreator};
    return {typeName, ""};
}

int WriteMarks(int fd, const FileMarks &marks) {
    // An old file's code must not linger on the new one.
    const int error = WriteAttribute(fd, kTypeAttribute, marks.type);
    return error != 0 ? error : WriteAttribute(fd, kCreatorAttribute, marks.creator);
}

void RememberMarks(const std::string &path, const FileMarks &marks) {
    Marks()[path] = {marks.type, marks.creator};
}

void ForgetFile(const std::string &path) { Marks().erase(path); }

std::string FileMacType(const std::string &path) {
    auto it = Marks().find(path);
    return it != Marks().end() ? it->second.first : ReadAttribute(path, kTypeAttribute);
}

std::string FileMacCreator(const std::string &path) {
    auto it = Marks().find(path);
    return it != Marks().end() ? it->second.second : ReadAttribute(path, kCreatorAttribute);
}

} // namespace rb
