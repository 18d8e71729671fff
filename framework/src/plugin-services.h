// plugin-services.h -- internal: the host's service functions that live outside
// plugin-host.cpp, so that the resolver can hand them out.
#pragma once

#include "rb/plugin.h"

#include <cstdint>

namespace rb {

// The byte offset of the data block in every plug-in object: the host's header (16 bytes,
// keeping the data block 16-byte aligned).
constexpr intptr_t kPluginDataOffset = 16;

FrameworkString *PluginServiceBuildString(const void *bytes, intptr_t length);
void PluginServiceSetStringEncoding(FrameworkString *s, std::uint32_t encoding);

} // namespace rb
