// The plug-in's entry point: announces the interface version and registers MacAliasWQX.
#include "alias-class.h"
#include "alias-services.h"

#include <array>

namespace {

// The 3-word method records for a host older than 5.9, filled at registration.
std::array<PluginMethodDefinitionShort, alias::kMacAliasMethodCount> gShortMethods;

} // namespace

extern "C" RB_PLUGIN_EXPORT void REALPluginMain(PluginEntryResolver resolver) {
    alias::SetServiceResolver(resolver);
    alias::RegisterPluginVersion(kPluginInterfaceVersion);

    // A host older than 5.9 reads short method records; one that does not say its version
    // counts as old. A version that does not compare (NaN) is not below 5.9.
    PluginClassDefinition *cls = alias::MacAliasClass();
    if (alias::HostVersion() < 5.9 && cls->methods != gShortMethods.data()) {
        const auto *full = static_cast<const PluginMethodDefinition *>(cls->methods);
        for (std::size_t i = 0; i < gShortMethods.size(); ++i)
            gShortMethods[i] = {full[i].function, full[i].setter, full[i].declaration};
        cls->methods = gShortMethods.data();
    }
    alias::RegisterClass(cls);
}
