// files.cpp -- FolderItem: a file or folder by its absolute native path, and GetFolderItem.
#include "rb/files.h"
#include "filetypes-internal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace rb {

namespace {

// An absolute, lexically normal path without a trailing "/" (except for the root).
std::string Absolute(const std::string &path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    if (ec)
        p = std::filesystem::path(path);
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

} // namespace

FolderItem::FolderItem(std::string absolutePath) : path_(std::move(absolutePath)) {}

Ref<FolderItem> FolderItem::FromPath(const std::string &path) {
    if (path.empty())
        return nullptr;
    return Ref<FolderItem>(new FolderItem(Absolute(path)));
}

std::string FolderItem::Name() const {
    const std::size_t slash = path_.rfind('/');
    return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

bool FolderItem::Exists() const {
    struct stat st;
    return stat(path_.c_str(), &st) == 0;
}

bool FolderItem::Directory() const {
    struct stat st;
    return stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::int64_t FolderItem::Length() const {
    struct stat st;
    if (stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<std::int64_t>(st.st_size);
}

Ref<FolderItem> FolderItem::Parent() const {
    if (path_ == "/")
        return nullptr;
    const std::size_t slash = path_.rfind('/');
    return Ref<FolderItem>(new FolderItem(slash == 0 ? "/" : path_.substr(0, slash)));
}

Ref<FolderItem> FolderItem::Child(const std::string &name) const {
    if (name.empty())
        return nullptr;
    return FromPath(path_ == "/" ? "/" + name : path_ + "/" + name);
}

bool FolderItem::Delete() {
    if (::remove(path_.c_str()) != 0)
        return false;
    ForgetFile(path_);
    return true;
}

std::string FolderItem::MacType() const { return FileMacType(path_); }
std::string FolderItem::MacCreator() const { return FileMacCreator(path_); }

Ref<FolderItem> GetFolderItem(const std::string &name) {
    if (name.empty())
        return nullptr;
    return FolderItem::FromPath(name);
}

} // namespace rb
