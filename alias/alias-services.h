// alias-services.h -- the host's services, as the alias plug-in uses them: each one resolved
// by name at its first use and kept, each with the fallback that alias.h documents for a host
// that lacks it.
#pragma once

#include "rb/plugin.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace alias {

// Keeps the resolver that REALPluginMain received; every service is asked of it.
void SetServiceResolver(PluginEntryResolver resolver);

void RegisterPluginVersion(std::int32_t version);
void RegisterClass(PluginClassDefinition *record);
// The host's version; 0 when it does not say (which counts as older than any version).
double HostVersion();

// A new string of the bytes carrying one reference for the receiver, with the encoding; null
// for no bytes or when the host cannot build strings.
FrameworkString *BuildString(const void *bytes, std::size_t length, std::uint32_t encoding);
// The absolute native path of a folder item; nothing for a nil item, an item whose folder does
// not exist, or a host without the service (`unsupported` tells the last case apart).
std::optional<std::string> FolderItemNativePath(void *folderItem, bool &unsupported);
// A new folder item for an absolute path, with one reference for the receiver; null when the
// host cannot make one.
void *FolderItemFromNativePath(const std::string &path);

} // namespace alias
