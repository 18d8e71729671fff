// fake-host.h -- a minimal framework host for the compressor plug-in: loads the shared library
// with dlopen, answers its resolver and records what it registers.
//
// The plug-in keeps every service it resolved in static slots, and dlopen of the same library
// returns the same loaded image, so one process can load it against one host configuration
// only. Tests run each configuration in a child process of its own.
#pragma once

#include "rb/plugin.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fake_host {

// What the host answers for "REALGetRBVersion".
enum class Version { k5_8, k5_9, kNaN, kMissing };

struct Config {
    Version version = Version::k5_9;
    bool offerRegisterClass = true;  // "PluginRegisterClass"
    bool offerRegisterMethod = true; // "PluginRegisterMethod"
};

// The bytes in front of every object's data block; the host writes this into each class
// record's dataOffset at registration.
inline constexpr std::size_t kHeaderSize = 40;

// What the plug-in did while its REALPluginMain ran.
struct Registration {
    std::vector<std::int32_t> announcedVersions;
    std::vector<PluginClassDefinition *> classes; // as the host keeps them
    std::vector<PluginMethodDefinition *> globals;
};

// Loads the library and runs REALPluginMain against a host configured as `config`. False,
// with the reason in *error, when the library or its entry point cannot be had, or when a
// host was loaded before in this process.
bool Load(const std::string &libraryPath, const Config &config, Registration *out,
          std::string *error);

// One method record as the host reads it. A host below 5.9 reads 3-word records, which have
// no flags.
struct MethodRecord {
    void *function;
    void *setter;
    const char *declaration;
    std::optional<std::intptr_t> flags;
};
std::vector<MethodRecord> ReadMethods(const PluginClassDefinition &cls, bool shortRecords);

// A plug-in object as the host makes one: a header filled with a guard pattern, then the
// class's zeroed data block. The constructor runs on creation, the destructor on destruction.
class Instance {
public:
    explicit Instance(const PluginClassDefinition &cls);
    ~Instance();
    Instance(const Instance &) = delete;
    Instance &operator=(const Instance &) = delete;

    void *get() const { return block_; }
    // The value of a direct property, read as the host reads it; nullopt for another one.
    std::optional<std::int32_t> Direct(std::string_view property) const;
    // False when anything wrote into the host's header.
    bool HeaderIntact() const;

private:
    const PluginClassDefinition &cls_;
    unsigned char *block_;
};

// Strings made by the host's "REALBuildString" and taken back from the plug-in.
FrameworkString *MakeString(std::string_view bytes);
// The bytes of a string result, nullopt for nil; releases the caller's reference.
std::optional<std::string> TakeString(FrameworkString *s);
// Strings the host made that still hold a reference.
int LiveStrings();

} // namespace fake_host
