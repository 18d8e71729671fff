// fake-host.cpp -- the host side of the plug-in interface, just enough to register a plug-in
// and run its objects.
#include "fake-host.h"

#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace fake_host {
namespace {

constexpr unsigned char kGuard = 0xA5;

Config g_config;
Registration *g_registration = nullptr;
bool g_loaded = false;
int g_liveStrings = 0;

void RegisterPluginVersion(std::int32_t version) {
    g_registration->announcedVersions.push_back(version);
}

void PluginRegisterClass(PluginClassDefinition *record) {
    record->dataOffset = static_cast<std::intptr_t>(kHeaderSize);
    g_registration->classes.push_back(record);
}

void PluginRegisterMethod(PluginMethodDefinition *record) {
    g_registration->globals.push_back(record);
}

double REALGetRBVersion() {
    switch (g_config.version) {
    case Version::k5_8:
        return 5.8;
    case Version::k5_9:
        return 5.9;
    default:
        return std::nan("");
    }
}

// A string record as rb/plugin.h lays it out: the text pointer points at a length byte,
// followed by the bytes and a NUL.
FrameworkString *REALBuildString(const void *bytes, std::intptr_t length) {
    if (bytes == nullptr || length <= 0)
        return nullptr;
    auto *s = new FrameworkString{};
    auto size = static_cast<std::size_t>(length);
    s->refCount = 1;
    s->text = static_cast<char *>(std::malloc(size + 2));
    s->text[0] = static_cast<char>(size & 0xFF);
    std::memcpy(s->text + 1, bytes, size);
    s->text[size + 1] = '\0';
    s->bufferSize = length + 2;
    s->length = length;
    s->encoding = kEncodingNone;
    ++g_liveStrings;
    return s;
}

void REALSetStringEncoding(FrameworkString *s, std::uint32_t encoding) {
    s->encoding = static_cast<std::intptr_t>(encoding);
}

void REALUnlockString(FrameworkString *s) {
    if (s == nullptr || --s->refCount > 0)
        return;
    std::free(s->text);
    delete s;
    --g_liveStrings;
}

void *Resolve(const char *name) {
    const std::string_view n = name;
    if (n == "RegisterPluginVersion")
        return reinterpret_cast<void *>(&RegisterPluginVersion);
    if (n == "PluginRegisterClass" && g_config.offerRegisterClass)
        return reinterpret_cast<void *>(&PluginRegisterClass);
    if (n == "PluginRegisterMethod" && g_config.offerRegisterMethod)
        return reinterpret_cast<void *>(&PluginRegisterMethod);
    if (n == "REALGetRBVersion" && g_config.version != Version::kMissing)
        return reinterpret_cast<void *>(&REALGetRBVersion);
    if (n == "REALBuildString")
        return reinterpret_cast<void *>(&REALBuildString);
    if (n == "REALSetStringEncoding")
        return reinterpret_cast<void *>(&REALSetStringEncoding);
    if (n == "REALUnlockString")
        return reinterpret_cast<void *>(&REALUnlockString);
    return nullptr;
}

} // namespace

bool Load(const std::string &libraryPath, const Config &config, Registration *out,
          std::string *error) {
    if (g_loaded) {
        *error = "the plug-in was loaded before in this process";
        return false;
    }
    // The library stays loaded: the host keeps pointers into its static records.
    void *library = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        *error = std::string("dlopen: ") + dlerror();
        return false;
    }
    auto pluginMain = reinterpret_cast<PluginMainFunction>(dlsym(library, "REALPluginMain"));
    if (pluginMain == nullptr) {
        *error = "no REALPluginMain in " + libraryPath;
        return false;
    }
    g_loaded = true;
    g_config = config;
    g_registration = out;
    pluginMain(&Resolve);
    return true;
}

std::vector<MethodRecord> ReadMethods(const PluginClassDefinition &cls, bool shortRecords) {
    std::vector<MethodRecord> records;
    for (std::intptr_t i = 0; i < cls.methodCount; ++i) {
        if (shortRecords) {
            const auto &m = static_cast<const PluginMethodDefinitionShort *>(cls.methods)[i];
            records.push_back({m.function, m.setter, m.declaration, std::nullopt});
        } else {
            const auto &m = static_cast<const PluginMethodDefinition *>(cls.methods)[i];
            records.push_back({m.function, m.setter, m.declaration, m.flags});
        }
    }
    return records;
}

Instance::Instance(const PluginClassDefinition &cls)
    : cls_(cls), block_(static_cast<unsigned char *>(
                     std::calloc(1, kHeaderSize + static_cast<std::size_t>(cls.dataSize)))) {
    std::memset(block_, kGuard, kHeaderSize);
    if (cls_.constructor != nullptr)
        reinterpret_cast<void (*)(void *)>(cls_.constructor)(block_);
}

Instance::~Instance() {
    if (cls_.destructor != nullptr)
        reinterpret_cast<void (*)(void *)>(cls_.destructor)(block_);
    std::free(block_);
}

std::optional<std::int32_t> Instance::Direct(std::string_view property) const {
    for (std::intptr_t i = 0; i < cls_.propertyCount; ++i) {
        const PluginPropertyDefinition &p = cls_.properties[i];
        if (p.name != nullptr && p.name == property && p.getter == kPropertyDirect) {
            std::int32_t value;
            std::memcpy(&value, block_ + cls_.dataOffset + p.parameter, sizeof value);
            return value;
        }
    }
    return std::nullopt;
}

bool Instance::HeaderIntact() const {
    for (std::size_t i = 0; i < kHeaderSize; ++i)
        if (block_[i] != kGuard)
            return false;
    return true;
}

FrameworkString *MakeString(std::string_view bytes) {
    return REALBuildString(bytes.data(), static_cast<std::intptr_t>(bytes.size()));
}

std::optional<std::string> TakeString(FrameworkString *s) {
    if (s == nullptr)
        return std::nullopt;
    std::string bytes(s->text + 1, static_cast<std::size_t>(s->length));
    REALUnlockString(s);
    return bytes;
}

int LiveStrings() { return g_liveStrings; }

} // namespace fake_host
