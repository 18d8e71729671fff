// alias-locate.h -- the file-system side of an alias: describing a target when a record is
// made, and finding it again when the record is resolved (the rules are in alias.h).
#pragma once

#include "alias-record.h"

#include <cstdint>
#include <optional>
#include <string>

namespace alias {

// Describes the item at the absolute `path` into `record`: its path, and its identity when it
// exists. Returns kMacAliasNoErr, or the kMacAlias* code of why no record can be made.
std::int32_t DescribeTarget(std::string path, AliasRecord &record);

struct Resolution {
    std::string path;
    bool needsUpdate = false;
};

// Where the record's target is now, or nothing when it is gone.
std::optional<Resolution> LocateTarget(const AliasRecord &record);

// The folder part of an absolute path ("/" for an item in the root) and its last component
// (empty for "/").
std::string FolderOf(const std::string &path);
std::string NameOf(const std::string &path);

} // namespace alias
