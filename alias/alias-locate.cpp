#include "alias-locate.h"

#include "alias.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace alias {

namespace {

FileIdentity IdentityOf(const struct stat &st) {
    FileIdentity id;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::uint64_t>(st.st_size);
    id.mtimeSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    id.mtimeNanoseconds = static_cast<std::uint32_t>(st.st_mtim.tv_nsec);
    return id;
}

bool IsFolder(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Join(const std::string &folder, const std::string &name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

struct DirCloser {
    void operator()(DIR *d) const { ::closedir(d); }
};

// The bounded search for an item by its identity: every directory entry it examines counts
// against one budget shared by all the folders it looks through.
class IdentitySearch {
  public:
    explicit IdentitySearch(const FileIdentity &id) : id_(id) {}

    // The path of the entry of `folder` with the identity, if any. When `subfolders` is given,
    // the names of the folders met on the way are added to it.
    std::optional<std::string> Scan(const std::string &folder,
                                    std::vector<std::string> *subfolders) {
        std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
        if (!dir)
            return std::nullopt;
        const int fd = ::dirfd(dir.get());
        while (budget_ > 0) {
            const struct dirent *entry = ::readdir(dir.get());
            if (entry == nullptr)
                break;
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                continue;
            --budget_;
            // Links are not followed: the identity belongs to the item itself, and following
            // them could lead the search anywhere on the disk.
            struct stat st;
            if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (IdentityOf(st) == id_)
                return Join(folder, entry->d_name);
            if (subfolders != nullptr && S_ISDIR(st.st_mode))
                subfolders->emplace_back(entry->d_name);
        }
        return std::nullopt;
    }

  private:
    const FileIdentity &id_;
    std::size_t budget_ = kMacAliasSearchBudget;
};

// Looks for a target that is no longer at its recorded path near where it was: its folder,
// that folder's parent, and the parent's other subfolders.
std::optional<std::string> FindMoved(const std::string &path, const FileIdentity &id) {
    IdentitySearch search(id);
    const std::string folder = FolderOf(path);
    if (auto found = search.Scan(folder, nullptr))
        return found;
    if (folder == "/")
        return std::nullopt;

    const std::string parent = FolderOf(folder);
    std::vector<std::string> siblings;
    if (auto found = search.Scan(parent, &siblings))
        return found;

    // Sorted, so that where a target is found does not depend on the order of the directory.
    std::sort(siblings.begin(), siblings.end());
    const std::string folderName = NameOf(folder);
    for (const std::string &sibling : siblings) {
        if (sibling == folderName)
            continue;
        if (auto found = search.Scan(Join(parent, sibling), nullptr))
            return found;
    }
    return std::nullopt;
}

} // namespace

std::string FolderOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::int32_t DescribeTarget(std::string path, AliasRecord &record) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (!IsRecordablePath(path))
        return kMacAliasErrBadName;

    // An existing item is recorded with its identity; a missing one only by its path, and only
    // when its folder is there to hold it once it is written.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        record.identity = IdentityOf(st);
    } else if (errno == ENOENT || errno == ENOTDIR) {
        if (!IsFolder(FolderOf(path)))
            return kMacAliasErrNoFolder;
        record.identity.reset();
    } else {
        return kMacAliasErrIO;
    }
    record.path = std::move(path);
    return kMacAliasNoErr;
}

std::optional<Resolution> LocateTarget(const AliasRecord &record) {
    // Whatever is at the recorded path wins: it is where the user last chose to keep the file.
    struct stat st;
    if (::stat(record.path.c_str(), &st) == 0)
        return Resolution{record.path, !record.identity || IdentityOf(st) != *record.identity};

    // A target that existed and is no longer there has moved nearby or been deleted.
    if (record.identity) {
        if (auto moved = FindMoved(record.path, *record.identity))
            return Resolution{std::move(*moved), true};
        return std::nullopt;
    }

    // A target that was never written is still wanted where it was meant to go.
    if (IsFolder(FolderOf(record.path)))
        return Resolution{record.path, false};
    return std::nullopt;
}

} // namespace alias
