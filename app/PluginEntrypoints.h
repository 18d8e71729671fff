// PluginEntrypoints.h -- the program's side of the plug-in binding.
//
// At start-up every key below is looked up once with the framework, in slot order, and the
// result is kept in its slot. The program then calls a plug-in constructor, destructor, method
// or property accessor only through the slot's forwarding stub, PluginStub<slot>, which passes
// its arguments unchanged to the entry point in that slot.
#pragma once

#include <cstdint>
#include <string>

constexpr std::int32_t kPluginEntrypointCount = 92;

// The keys, in slot order: "Class.declaration", "Class.__init", "Class.__exit",
// "Class.Property.Get" / ".Set". Slots 0-25 name the framework's own plug-in controls, which
// our framework implements itself; nothing calls them.
extern const char *const kPluginEntrypointKeys[kPluginEntrypointCount];

// The table, allocated by the framework in _InitPluginEntrypoints and never freed.
extern void **PluginEntrypointsTable;

// Allocates the table and fills slot i with the framework's entry point for key i.
void _InitPluginEntrypoints();

// The first key among the slots the program calls (26 to 91) that no plug-in registered, or
// "" when every one of them is bound.
std::string FirstMissingPluginEntrypoint();

// The forwarding stub of one slot: calls the entry point stored there with the arguments as
// given. R and Args are the C signature the plug-in registered.
template <std::int32_t Slot, class R, class... Args> inline R PluginStub(Args... args) {
    static_assert(Slot >= 0 && Slot < kPluginEntrypointCount);
    using Fn = R (*)(Args...);
    return reinterpret_cast<Fn>(PluginEntrypointsTable[Slot])(args...);
}
