// memoryblock.cpp -- MemoryBlock's string access, clamped to the block.
#include "rb/files.h"

#include <cstring>

namespace rb {

std::string MemoryBlock::StringValue(std::size_t offset, std::size_t length) const {
    if (offset >= bytes_.size())
        return {};
    const std::size_t n = std::min(length, bytes_.size() - offset);
    return std::string(reinterpret_cast<const char *>(bytes_.data()) + offset, n);
}

void MemoryBlock::SetStringValue(std::size_t offset, const std::string &bytes) {
    if (offset >= bytes_.size())
        return;
    const std::size_t n = std::min(bytes.size(), bytes_.size() - offset);
    std::memcpy(bytes_.data() + offset, bytes.data(), n);
}

} // namespace rb
