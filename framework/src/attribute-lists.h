// attribute-lists.h -- internal: reading a file's extended attributes, whose values and names
// the system gives through calls that say how much room they need (listxattr, getxattr).
#pragma once

#include <sys/types.h>

#include <cerrno>
#include <string>
#include <vector>

namespace rb {

// Asking again while the value grows between the two calls stops after this many tries: a
// value that keeps growing is one that cannot be read.
constexpr int kMostSizedReads = 8;

// Fills `out` from a call that tells the size it needs when given no room (listxattr,
// getxattr), asking again while the value grows between the two calls, at most
// kMostSizedReads times. False, with errno set (ERANGE when it kept growing), when it fails.
template <class Get> bool ReadSized(Get get, std::string &out) {
    for (int attempt = 0; attempt < kMostSizedReads; ++attempt) {
        const ssize_t size = get(nullptr, 0);
        if (size < 0)
            return false;
        out.resize(static_cast<std::size_t>(size));
        const ssize_t n = get(out.data(), out.size());
        if (n >= 0) {
            out.resize(static_cast<std::size_t>(n));
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
    errno = ERANGE;
    return false;
}

// The names in a list of attribute names as listxattr gives it: each ends with a NUL, and a
// last one without its NUL is still a name. Empty names are no names.
inline std::vector<std::string> NamesOfList(const std::string &list) {
    std::vector<std::string> names;
    for (std::size_t at = 0; at < list.size();) {
        std::size_t end = list.find('\0', at);
        if (end == std::string::npos)
            end = list.size();
        if (end > at)
            names.emplace_back(list, at, end - at);
        at = end + 1;
    }
    return names;
}

// The names of the extended attributes that `list` (listxattr on a file) gives; false, with
// errno set, when they cannot be read. A file system without them has none.
template <class List> bool AttributeNames(List list, std::vector<std::string> &names) {
    std::string all;
    if (!ReadSized(list, all)) {
        names.clear();
        return errno == ENOTSUP;
    }
    names = NamesOfList(all);
    return true;
}

} // namespace rb
