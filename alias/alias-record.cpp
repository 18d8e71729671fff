#include "alias-record.h"

#include "alias.h"

#include <algorithm>
#include <array>

namespace alias {

namespace {

constexpr unsigned char kMagic[4] = {'V', 'l', 'A', 'l'};
constexpr std::uint16_t kFormatVersion = 1;
constexpr std::uint16_t kFlagTargetExisted = 1;
constexpr std::size_t kPathLengthOffset = 44;
constexpr std::size_t kPathOffset = 48;
constexpr std::uint32_t kNanosecondsPerSecond = 1000000000;

// CRC-32 with the zlib polynomial, so that the checksum can be checked with any zlib.
std::uint32_t Crc32(const unsigned char *bytes, std::size_t length) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i)
        crc = table[(crc ^ bytes[i]) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void PutBigEndian(std::string &out, std::uint64_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFFu));
}

std::uint64_t GetBigEndian(const unsigned char *p, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

} // namespace

bool IsRecordablePath(const std::string &path) {
    return !path.empty() && path.front() == '/' && path.size() <= kMacAliasMaxPathLength &&
           path.find('\0') == std::string::npos && (path.size() == 1 || path.back() != '/');
}

std::string EncodeRecord(const AliasRecord &record) {
    if (!IsRecordablePath(record.path))
        return {};
    const FileIdentity id = record.identity.value_or(FileIdentity{});
    std::string out;
    out.reserve(kMacAliasRecordOverhead + record.path.size());
    out.append(reinterpret_cast<const char *>(kMagic), sizeof kMagic);
    PutBigEndian(out, kFormatVersion, 2);
    PutBigEndian(out, record.identity ? kFlagTargetExisted : 0, 2);
    PutBigEndian(out, id.device, 8);
    PutBigEndian(out, id.inode, 8);
    PutBigEndian(out, id.size, 8);
    PutBigEndian(out, static_cast<std::uint64_t>(id.mtimeSeconds), 8);
    PutBigEndian(out, id.mtimeNanoseconds, 4);
    PutBigEndian(out, record.path.size(), 4);
    out += record.path;
    PutBigEndian(out, Crc32(reinterpret_cast<const unsigned char *>(out.data()), out.size()), 4);
    return out;
}

std::optional<AliasRecord> DecodeRecord(const unsigned char *bytes, std::size_t length) {
    // The fixed fields and the path length come first, so that the length can be checked
    // against what is there before anything is allocated.
    if (bytes == nullptr || length < kMacAliasRecordOverhead || length > kMacAliasMaxRecordSize)
        return std::nullopt;
    if (!std::equal(kMagic, kMagic + sizeof kMagic, bytes))
        return std::nullopt;
    const std::uint64_t pathLength = GetBigEndian(bytes + kPathLengthOffset, 4);
    if (pathLength == 0 || pathLength > kMacAliasMaxPathLength ||
        length != kMacAliasRecordOverhead + pathLength)
        return std::nullopt;

    // The checksum covers everything before it; only then are the fields worth reading.
    const std::size_t checked = length - 4;
    if (GetBigEndian(bytes + checked, 4) != Crc32(bytes, checked))
        return std::nullopt;
    if (GetBigEndian(bytes + 4, 2) != kFormatVersion)
        return std::nullopt;
    const std::uint64_t flags = GetBigEndian(bytes + 6, 2);
    if ((flags & ~std::uint64_t{kFlagTargetExisted}) != 0)
        return std::nullopt;

    FileIdentity id;
    id.device = GetBigEndian(bytes + 8, 8);
    id.inode = GetBigEndian(bytes + 16, 8);
    id.size = GetBigEndian(bytes + 24, 8);
    id.mtimeSeconds = static_cast<std::int64_t>(GetBigEndian(bytes + 32, 8));
    id.mtimeNanoseconds = static_cast<std::uint32_t>(GetBigEndian(bytes + 40, 4));
    if (id.mtimeNanoseconds >= kNanosecondsPerSecond)
        return std::nullopt;

    AliasRecord record;
    if (flags & kFlagTargetExisted)
        record.identity = id;
    else if (id != FileIdentity{})
        return std::nullopt;
    record.path.assign(reinterpret_cast<const char *>(bytes + kPathOffset),
                       static_cast<std::size_t>(pathLength));
    if (!IsRecordablePath(record.path))
        return std::nullopt;
    return record;
}

} // namespace alias
