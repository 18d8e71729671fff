// plugin-host.cpp -- loading plug-ins, the resolver and its services, class and function
// registration, the key table and the program's entry-point tables.
//
// Everything runs on the host's one thread; nothing is locked. Class records, method and
// property tables are the plug-ins' static data: the host keeps pointers to them and the
// libraries stay loaded for the life of the process.
#include "plugin-services.h"
#include "rb/files.h"
#include "rb/runtime.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace rb {

namespace {

struct HostState {
    std::map<std::string, void *> entryPoints;
    std::vector<std::string> keyOrder;
    std::map<std::string, PluginClassDefinition *> classes;
    std::set<std::string> loadedLibraries; // canonical paths
    std::vector<std::unique_ptr<void *[]>> tables;
    std::string loading; // the library whose REALPluginMain runs, for log lines
};

HostState &State() {
    static HostState *state = new HostState; // lives as long as the libraries it points into
    return *state;
}

void Log(const std::string &message) { System::DebugLog("plug-in host: " + message); }

void AddKey(const std::string &key, void *entryPoint) {
    if (!entryPoint)
        return;
    HostState &st = State();
    auto [it, inserted] = st.entryPoints.emplace(key, entryPoint);
    if (!inserted) {
        Log("duplicate key \"" + key + "\" ignored (" + st.loading + ")");
        return;
    }
    st.keyOrder.push_back(key);
}

// ---- Services (plain C calls: nothing may throw through them) ----------------------------

void ServiceRegisterPluginVersion(std::int32_t version) {
    if (version != kPluginInterfaceVersion)
        Log(State().loading + " announces interface version " + std::to_string(version));
}

void ServiceRegisterClass(PluginClassDefinition *record) {
    try {
        if (!record || !record->name) {
            Log("class record without a name ignored (" + State().loading + ")");
            return;
        }
        const std::string name = record->name;
        HostState &st = State();
        if (record->dataSize < 0 || record->dataSize > (intptr_t{1} << 30) ||
            record->propertyCount < 0 || record->methodCount < 0 ||
            (record->propertyCount > 0 && !record->properties) ||
            (record->methodCount > 0 && !record->methods)) {
            Log("class " + name + " has a malformed record; not registered");
            return;
        }
        if (st.classes.count(name)) {
            Log("class " + name + " registered twice; the second record is ignored");
            return;
        }
        record->dataOffset = kPluginDataOffset;
        st.classes[name] = record;
        AddKey(name + ".__init", record->constructor);
        AddKey(name + ".__exit", record->destructor);
        // This host reports version 6.0, so every plug-in registers full 4-word records.
        auto *methods = static_cast<PluginMethodDefinition *>(record->methods);
        for (intptr_t i = 0; i < record->methodCount; ++i)
            if (methods[i].declaration)
                AddKey(name + "." + methods[i].declaration, methods[i].function);
        for (intptr_t i = 0; i < record->propertyCount; ++i) {
            const PluginPropertyDefinition &p = record->properties[i];
            if (!p.name)
                continue;
            if (p.getter != kPropertyDirect)
                AddKey(name + "." + p.name + ".Get", p.getter);
            if (p.setter != kPropertyDirect)
                AddKey(name + "." + p.name + ".Set", p.setter);
        }
    } catch (...) {
        Log("class registration failed");
    }
}

void ServiceRegisterMethod(PluginMethodDefinition *record) {
    try {
        if (record && record->declaration)
            AddKey(record->declaration, record->function);
    } catch (...) {
        Log("function registration failed");
    }
}

double ServiceGetRBVersion() { return 6.0; }

void ServiceUnlockString(FrameworkString *s) { PluginStringRelease(s); }

void *ServiceMemoryBlockGetPtr(void *memoryBlock) {
    auto *block = dynamic_cast<MemoryBlock *>(static_cast<Object *>(memoryBlock));
    return block ? block->Ptr() : nullptr;
}

char *ServiceFolderItemNativePath(void *folderItem) {
    try {
        auto *item = dynamic_cast<FolderItem *>(static_cast<Object *>(folderItem));
        // An item left relative (its working folder is gone) has no absolute path to give.
        if (!item || item->NativePath().front() != '/')
            return nullptr;
        if (!item->Exists()) {
            Ref<FolderItem> parent = item->Parent();
            if (!parent || !parent->Directory())
                return nullptr;
        }
        return strdup(item->NativePath().c_str());
    } catch (...) {
        return nullptr;
    }
}

void *ServiceFolderItemFromNativePath(const char *path) {
    try {
        if (!path || path[0] != '/')
            return nullptr;
        Ref<FolderItem> item = FolderItem::FromPath(path);
        return static_cast<Object *>(item.Detach());
    } catch (...) {
        return nullptr;
    }
}

void ServiceUnlockObject(void *object) {
    if (!object)
        return;
    // A plug-in may hand back one of its own instances rather than a framework object.
    if (PluginObject *owner = PluginObject::FromInstance(object))
        owner->Release();
    else
        static_cast<Object *>(object)->Release();
}

template <class F> void *Entry(F *function) { return reinterpret_cast<void *>(function); }

const std::map<std::string, void *> &Services() {
    static const std::map<std::string, void *> services = {
        {"RegisterPluginVersion", Entry(ServiceRegisterPluginVersion)},
        {"PluginRegisterClass", Entry(ServiceRegisterClass)},
        {"PluginRegisterMethod", Entry(ServiceRegisterMethod)},
        {"REALGetRBVersion", Entry(ServiceGetRBVersion)},
        {"REALBuildString", Entry(PluginServiceBuildString)},
        {"REALSetStringEncoding", Entry(PluginServiceSetStringEncoding)},
        {"REALUnlockString", Entry(ServiceUnlockString)},
        {"memoryBlockGetPtr", Entry(ServiceMemoryBlockGetPtr)},
        {"REALFolderItemNativePath", Entry(ServiceFolderItemNativePath)},
        {"REALFolderItemFromNativePath", Entry(ServiceFolderItemFromNativePath)},
        {"REALUnlockObject", Entry(ServiceUnlockObject)},
        // No platform file references here: "REALFSRefFromFolderItem" and
        // "REALFSSpecFromFolderItem" resolve to null like every unknown name.
    };
    return services;
}

void *Resolver(const char *name) {
    try {
        return RuntimeResolveService(name);
    } catch (...) {
        return nullptr;
    }
}

bool IsSharedLibraryName(const std::string &name) {
    if (name.empty() || name[0] == '.')
        return false;
    return (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0) ||
           name.find(".so.") != std::string::npos;
}

} // namespace

void *RuntimeResolveService(const char *name) {
    if (!name)
        return nullptr;
    const auto &services = Services();
    auto it = services.find(name);
    return it == services.end() ? nullptr : it->second;
}

bool RuntimeLoadPlugin(const std::string &libraryPath) {
    HostState &st = State();
    std::error_code ec;
    std::string canonical = std::filesystem::canonical(libraryPath, ec).string();
    if (ec) {
        Log("cannot load " + libraryPath + ": " + ec.message());
        return false;
    }
    if (st.loadedLibraries.count(canonical))
        return true;
    void *handle = dlopen(canonical.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *why = dlerror();
        Log("cannot load " + libraryPath + ": " + (why ? why : "unknown error"));
        return false;
    }
    auto main = reinterpret_cast<PluginMainFunction>(dlsym(handle, "REALPluginMain"));
    if (!main) {
        Log("skipped " + libraryPath + ": no REALPluginMain");
        dlclose(handle);
        return false;
    }
    // The library stays loaded: the host keeps pointers into its static records.
    st.loadedLibraries.insert(canonical);
    st.loading = libraryPath;
    try {
        main(Resolver);
    } catch (...) {
        Log(libraryPath + ": REALPluginMain threw an exception");
    }
    st.loading.clear();
    return true;
}

void RuntimeLoadPluginsFrom(const std::string &folder) {
    std::error_code ec;
    std::vector<std::string> libraries;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->is_regular_file(ec) && IsSharedLibraryName(it->path().filename().string()))
            libraries.push_back(it->path().string());
    }
    std::sort(libraries.begin(), libraries.end());
    for (const std::string &library : libraries)
        RuntimeLoadPlugin(library);
}

void RuntimeInitExternalClasses() {
    static bool done = false;
    if (done)
        return;
    done = true;
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        Log("cannot find the executable: " + ec.message());
        return;
    }
    RuntimeLoadPluginsFrom((exe.parent_path() / "plugins").string());
}

void **RuntimeAllocatePluginEntrypointsTable(std::int32_t count) {
    const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 1;
    State().tables.push_back(std::make_unique<void *[]>(n)); // value-initialised: all null
    return State().tables.back().get();
}

void *RuntimeLookupPluginEntrypoint(const std::string &key) {
    const HostState &st = State();
    auto it = st.entryPoints.find(key);
    return it == st.entryPoints.end() ? nullptr : it->second;
}

const PluginClassDefinition *RuntimeFindPluginClass(const std::string &className) {
    const HostState &st = State();
    auto it = st.classes.find(className);
    return it == st.classes.end() ? nullptr : it->second;
}

std::vector<std::string> RuntimeRegisteredKeys() { return State().keyOrder; }

} // namespace rb
