// record-bytes.h -- alias records built field by field, as alias.h lays them out, so that a
// test can make a record that is wrong in exactly one field.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>

struct RecordFields {
    std::string magic = "VlAl";
    std::uint16_t version = 1;
    std::uint16_t flags = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeSeconds = 0;
    std::uint32_t mtimeNanoseconds = 0;
    std::string path;
    std::optional<std::uint32_t> pathLength = std::nullopt; // the path's own length when unset
    std::optional<std::uint32_t> crc = std::nullopt;        // the correct checksum when unset
};

inline void AppendBigEndian(std::string &out, std::uint64_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

inline std::uint32_t Crc32Of(const std::string &bytes) {
    return static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef *>(bytes.data()), static_cast<uInt>(bytes.size())));
}

inline std::string BuildRecord(const RecordFields &f) {
    std::string out = f.magic;
    AppendBigEndian(out, f.version, 2);
    AppendBigEndian(out, f.flags, 2);
    AppendBigEndian(out, f.device, 8);
    AppendBigEndian(out, f.inode, 8);
    AppendBigEndian(out, f.size, 8);
    AppendBigEndian(out, static_cast<std::uint64_t>(f.mtimeSeconds), 8);
    AppendBigEndian(out, f.mtimeNanoseconds, 4);
    AppendBigEndian(out, f.pathLength.value_or(static_cast<std::uint32_t>(f.path.size())), 4);
    out += f.path;
    AppendBigEndian(out, f.crc.value_or(Crc32Of(out)), 4);
    return out;
}
