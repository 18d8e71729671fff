// filetypes.cpp -- the file-type registry and the marks of created files.
//
// Linux has no type and creator codes: a created file's codes are kept in a map of this
// process and, where the file system allows, in the extended attributes user.rb.mactype and
// user.rb.maccreator, so that a later run can still tell.
#include "filetypes-internal.h"
#include "rb/files.h"
#include "rb/text.h"

#include <sys/xattr.h>

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

void WriteAttribute(const std::string &path, const char *attribute, const std::string &value) {
    if (value.empty())
        removexattr(path.c_str(), attribute); // an old file's code must not linger
    else
        setxattr(path.c_str(), attribute, value.data(), value.size(), 0);
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

void MarkFile(const std::string &path, const std::string &typeName) {
    // An unregistered type name stands for itself as the type code.
    std::string macType = typeName, macCreator;
    if (Ref<FileType> t = FindFileType(typeName)) {
        macType = t->MacType;
        macCreator = t->MacCreator;
    }
    WriteAttribute(path, kTypeAttribute, macType);
    WriteAttribute(path, kCreatorAttribute, macCreator);
    Marks()[path] = {std::move(macType), std::move(macCreator)};
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
