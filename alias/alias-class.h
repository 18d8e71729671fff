// alias-class.h -- the class record of MacAliasWQX, with its methods and properties (their
// behaviour is documented in alias.h).
#pragma once

#include "rb/plugin.h"

#include <cstddef>

namespace alias {

constexpr std::size_t kMacAliasMethodCount = 10;

// The class's static record; the host keeps it and writes its data offset at registration.
PluginClassDefinition *MacAliasClass();

} // namespace alias
