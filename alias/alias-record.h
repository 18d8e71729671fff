// alias-record.h -- the alias record: what it holds, and its byte form (described in alias.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace alias {

// What identifies an existing file or folder on this system, beyond its path.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeSeconds = 0;
    std::uint32_t mtimeNanoseconds = 0;

    bool operator==(const FileIdentity &) const = default;
};

struct AliasRecord {
    std::string path;                     // absolute, no trailing "/" except for "/" itself
    std::optional<FileIdentity> identity; // set when the target existed when recorded
};

// The record's byte form; empty when the record cannot be encoded (a path that is not absolute,
// too long or holds a NUL).
std::string EncodeRecord(const AliasRecord &record);
// The record in `bytes`, or nothing when they are not a valid record. Allocates at most the
// path's length.
std::optional<AliasRecord> DecodeRecord(const unsigned char *bytes, std::size_t length);

// True for a path a record can hold.
bool IsRecordablePath(const std::string &path);

} // namespace alias
