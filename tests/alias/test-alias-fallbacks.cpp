// The alias plug-in under a small fake host that plays the framework's side of plugin.h and
// lacks services: every missing service gives the fallback that alias.h documents.
#include "alias.h"
#include "record-bytes.h"

#include "rb/plugin.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char *const kDeclarations[] = {
    "Create(relPath as FolderItem, target as FolderItem) as Integer",
    "CreateMinimal(target as FolderItem) as Integer",
    "CreateFSRef(relPath as memoryblock, target as memoryblock) as Integer",
    "CreateMinimalFSRef(target as memoryblock) as Integer",
    "Update(relPath as FolderItem, target as FolderItem) as Integer",
    "GetInfo(idx as Integer) as String",
    "GetRecord as String",
    "SetRecord(record as String)",
    "Resolve(relPath as FolderItem, mode as Integer) as FolderItem",
    "Close",
};
constexpr std::size_t kMethodCount = std::size(kDeclarations);
constexpr intptr_t kFakeDataOffset = 16;

// What the fake host offers, and what it was handed.
struct FakeHost {
    bool offerVersion = true;
    double version = 6.0;
    bool offerBuildString = false;
    PluginClassDefinition *registered = nullptr;
};
FakeHost gHost;

void FakeRegisterClass(PluginClassDefinition *record) {
    record->dataOffset = kFakeDataOffset;
    gHost.registered = record;
}

double FakeVersion() { return gHost.version; }

// A string record as the framework lays it out: a length byte, the bytes, a NUL.
FrameworkString *MakeString(const void *bytes, intptr_t length) {
    auto *s = static_cast<FrameworkString *>(std::calloc(1, sizeof(FrameworkString)));
    s->refCount = 1;
    s->length = length;
    s->bufferSize = length + 2;
    s->text = static_cast<char *>(std::calloc(static_cast<std::size_t>(length) + 2, 1));
    s->text[0] = static_cast<char>(length & 0xFF);
    std::memcpy(s->text + 1, bytes, static_cast<std::size_t>(length));
    return s;
}

void FreeString(FrameworkString *s) {
    if (s != nullptr)
        std::free(s->text);
    std::free(s);
}

template <class F> void *Entry(F *f) { return reinterpret_cast<void *>(f); }

void *FakeResolver(const char *name) {
    const std::string n = name;
    if (n == "PluginRegisterClass")
        return Entry(FakeRegisterClass);
    if (n == "REALGetRBVersion" && gHost.offerVersion)
        return Entry(FakeVersion);
    if (n == "REALBuildString" && gHost.offerBuildString)
        return Entry(MakeString);
    return nullptr;
}

// A private copy of the plug-in library: loaded on its own, with its own service slots and
// class record, whatever else this process has loaded.
class PrivateCopy {
  public:
    explicit PrivateCopy(const std::string &tag) {
        path_ = fs::temp_directory_path() /
                ("vellumet-alias-" + std::to_string(::getpid()) + "-" + tag + ".so");
        fs::copy_file(VELLUMET_PLUGIN_DIR "/libalias.so", path_,
                      fs::copy_options::overwrite_existing);
        handle_ = ::dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    ~PrivateCopy() {
        if (handle_ != nullptr)
            ::dlclose(handle_);
        fs::remove(path_);
    }
    PluginMainFunction Main() const {
        return handle_ ? reinterpret_cast<PluginMainFunction>(::dlsym(handle_, "REALPluginMain"))
                       : nullptr;
    }

  private:
    fs::path path_;
    void *handle_ = nullptr;
};

TEST(AliasFallbacks, MethodRecordsFollowTheHostVersion) {
    const struct {
        const char *name;
        bool offerVersion;
        double version;
        bool shortRecords;
    } cases[] = {
        {"5.9", true, 5.9, false},
        {"5.8", true, 5.8, true},
        {"no version", false, 0.0, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        gHost = FakeHost{};
        gHost.offerVersion = c.offerVersion;
        gHost.version = c.version;
        PrivateCopy copy(c.name);
        ASSERT_NE(copy.Main(), nullptr);
        copy.Main()(&FakeResolver);
        ASSERT_NE(gHost.registered, nullptr);
        ASSERT_EQ(gHost.registered->methodCount, static_cast<intptr_t>(kMethodCount));
        for (std::size_t i = 0; i < kMethodCount; ++i) {
            const char *got =
                c.shortRecords
                    ? static_cast<PluginMethodDefinitionShort *>(gHost.registered->methods)[i]
                          .declaration
                    : static_cast<PluginMethodDefinition *>(gHost.registered->methods)[i]
                          .declaration;
            EXPECT_STREQ(got, kDeclarations[i]) << "method " << i;
        }
        gHost.registered = nullptr;
    }
}

TEST(AliasFallbacks, MissingServicesGiveNilAndErrorsNeverACrash) {
    gHost = FakeHost{};
    PrivateCopy copy("services");
    ASSERT_NE(copy.Main(), nullptr);
    copy.Main()(&FakeResolver);
    PluginClassDefinition *cls = gHost.registered;
    ASSERT_NE(cls, nullptr);

    const auto method = [&](std::size_t i) {
        return static_cast<PluginMethodDefinition *>(cls->methods)[i].function;
    };
    const auto create = reinterpret_cast<std::int32_t (*)(void *, void *, void *)>(method(0));
    const auto getInfo = reinterpret_cast<FrameworkString *(*)(void *, std::int32_t)>(method(5));
    const auto getRecord = reinterpret_cast<FrameworkString *(*)(void *)>(method(6));
    const auto setRecord = reinterpret_cast<void (*)(void *, FrameworkString *)>(method(7));
    const auto resolve = reinterpret_cast<void *(*)(void *, void *, std::int32_t)>(method(8));
    const auto construct = reinterpret_cast<void (*)(void *)>(cls->constructor);
    const auto destruct = reinterpret_cast<void (*)(void *)>(cls->destructor);

    // The fake host's object: its own header, then the zero-filled data block.
    const std::size_t blockSize = static_cast<std::size_t>(kFakeDataOffset + cls->dataSize);
    std::unique_ptr<unsigned char[]> block(new unsigned char[blockSize]());
    void *instance = block.get();
    construct(instance);

    // Without "REALFolderItemNativePath" no record can be made.
    int notAFolderItem = 0;
    EXPECT_EQ(create(instance, nullptr, &notAFolderItem), kMacAliasErrUnimplemented);

    // A valid record of a file not yet written in an existing folder: resolvable in principle.
    const RecordFields fields{.path = (fs::temp_directory_path() / "vellumet-out.pdf").string()};
    const std::string bytes = BuildRecord(fields);
    FrameworkString *record = MakeString(bytes.data(), static_cast<intptr_t>(bytes.size()));
    setRecord(instance, record);
    FreeString(record);

    // Without "REALFolderItemFromNativePath" and "REALBuildString": nil results.
    EXPECT_EQ(resolve(instance, nullptr, 0), nullptr);
    EXPECT_EQ(getRecord(instance), nullptr);
    EXPECT_EQ(getInfo(instance, 0), nullptr);

    // A service the host offers later is found at the next use: a missing one is not kept.
    gHost.offerBuildString = true;
    FrameworkString *again = getRecord(instance);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(std::string(again->text + 1, static_cast<std::size_t>(again->length)), bytes);
    FreeString(again);

    destruct(instance);
    gHost.registered = nullptr;
}

} // namespace
