#include "alias-services.h"

#include <cstdlib>
#include <memory>

namespace alias {

namespace {

PluginEntryResolver gResolver = nullptr;

// One service's entry point, asked of the resolver until the host gives one, then kept.
template <class Fn> class Service {
  public:
    explicit constexpr Service(const char *name) : name_(name) {}

    Fn Get() {
        if (fn_ == nullptr && gResolver != nullptr)
            fn_ = reinterpret_cast<Fn>(gResolver(name_));
        return fn_;
    }

  private:
    const char *name_;
    Fn fn_ = nullptr;
};

Service<void (*)(std::int32_t)> gRegisterPluginVersion("RegisterPluginVersion");
Service<void (*)(PluginClassDefinition *)> gPluginRegisterClass("PluginRegisterClass");
Service<double (*)()> gGetRBVersion("REALGetRBVersion");
Service<FrameworkString *(*)(const void *, intptr_t)> gBuildString("REALBuildString");
Service<void (*)(FrameworkString *, std::uint32_t)> gSetStringEncoding("REALSetStringEncoding");
Service<char *(*)(void *)> gFolderItemNativePath("REALFolderItemNativePath");
Service<void *(*)(const char *)> gFolderItemFromNativePath("REALFolderItemFromNativePath");

struct FreeDeleter {
    void operator()(char *p) const { std::free(p); }
};

} // namespace

void SetServiceResolver(PluginEntryResolver resolver) { gResolver = resolver; }

void RegisterPluginVersion(std::int32_t version) {
    if (auto fn = gRegisterPluginVersion.Get())
        fn(version);
}

void RegisterClass(PluginClassDefinition *record) {
    if (auto fn = gPluginRegisterClass.Get())
        fn(record);
}

double HostVersion() {
    auto fn = gGetRBVersion.Get();
    return fn != nullptr ? fn() : 0.0;
}

FrameworkString *BuildString(const void *bytes, std::size_t length, std::uint32_t encoding) {
    auto build = gBuildString.Get();
    if (build == nullptr || bytes == nullptr || length == 0)
        return nullptr;
    FrameworkString *s = build(bytes, static_cast<intptr_t>(length));
    if (s != nullptr) {
        if (auto setEncoding = gSetStringEncoding.Get())
            setEncoding(s, encoding);
    }
    return s;
}

std::optional<std::string> FolderItemNativePath(void *folderItem, bool &unsupported) {
    auto fn = gFolderItemNativePath.Get();
    unsupported = fn == nullptr;
    if (fn == nullptr || folderItem == nullptr)
        return std::nullopt;
    // The host allocates the path with malloc and hands it over.
    std::unique_ptr<char, FreeDeleter> path(fn(folderItem));
    if (!path)
        return std::nullopt;
    return std::string(path.get());
}

void *FolderItemFromNativePath(const std::string &path) {
    auto fn = gFolderItemFromNativePath.Get();
    return fn != nullptr ? fn(path.c_str()) : nullptr;
}

} // namespace alias
