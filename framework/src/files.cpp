// files.cpp -- FolderItem: a file or folder by its native path, and GetFolderItem.
#include "rb/files.h"
#include "filetypes-internal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace rb {

namespace {

// The path without "." components, doubled or trailing "/" (except for the root).
// A relative path is taken against the working folder. Where that folder cannot be found (it
// was removed), the path stays relative, its ".." as written: the system takes it against the
// same folder at every use and fails as it fails, and no other folder, such as the root, is
// put in front of it.
// In an absolute path ".." is never dropped as text: the system takes it from the folder it
// reaches, which may be a linked folder elsewhere, so the folder before it is asked of the
// system (realpath). Where that folder cannot be reached, ".." stays in the path for the system
// to resolve.
std::string Normalized(const std::string &path) {
    std::string whole = path;
    bool relative = false;
    if (whole.front() != '/') {
        std::error_code ec;
        const std::string here = std::filesystem::current_path(ec).string();
        relative = ec || here.empty() || here.front() != '/';
        if (!relative)
            whole = here + "/" + path;
    }
    std::string out;
    for (std::size_t at = 0; at <= whole.size();) {
        std::size_t end = whole.find('/', at);
        if (end == std::string::npos)
            end = whole.size();
        const std::string part = whole.substr(at, end - at);
        at = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (relative) {
            out += (out.empty() ? "" : "/") + part;
            continue;
        }
        if (part == "..") {
            char *real = ::realpath(out.empty() ? "/" : out.c_str(), nullptr);
            struct stat st;
            if (real && ::stat(real, &st) == 0 && S_ISDIR(st.st_mode)) {
                out = real;
                out.erase(out.rfind('/'));
            } else {
                out += "/..";
            }
            std::free(real);
            continue;
        }
        out += "/" + part;
    }
    if (out.empty())
        return relative ? "." : "/";
    return out;
}

} // namespace

FolderItem::FolderItem(std::string path) : path_(std::move(path)) {}

Ref<FolderItem> FolderItem::FromPath(const std::string &path) {
    if (path.empty())
        return nullptr;
    return Ref<FolderItem>(new FolderItem(Normalized(path)));
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
    // ".." left for the system (and the working folder ".") has its parent one ".." further up,
    // not in the text before it; a relative name without a folder is in the working folder.
    if (path_ == "." || Name() == "..")
        return Ref<FolderItem>(new FolderItem(path_ == "." ? ".." : path_ + "/.."));
    const std::size_t slash = path_.rfind('/');
    if (slash == std::string::npos)
        return Ref<FolderItem>(new FolderItem("."));
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
