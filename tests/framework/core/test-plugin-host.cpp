// test-plugin-host.cpp -- the test plug-in (../testplugin) through the real host: loading,
// keys, objects with zeroed data blocks, calls through entry points, direct properties, the
// destructor's one run, strings both ways, and the services.
#include "rb/files.h"
#include "rb/runtime.h"

#include "child-process.h"
#include "temp-folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

using namespace rb;
using namespace std::string_literals;

namespace {

const std::string kPluginDir = VELLUMET_TEST_PLUGIN_DIR;
const std::string kClass = "TestWQX";

// The entry point of a key, cast to the function type the calling conventions give it.
template <class F> F Entry(const std::string &key) {
    return reinterpret_cast<F>(RuntimeLookupPluginEntrypoint(key));
}
template <class F> F Service(const char *name) {
    return reinterpret_cast<F>(RuntimeResolveService(name));
}

using IntOfVoid = std::int32_t (*)();
using IntOfInstance = std::int32_t (*)(void *);
using StringOfString = FrameworkString *(*)(void *, FrameworkString *);

std::int32_t DestructorRuns() { return Entry<IntOfVoid>("TestDestructorRunsWQX as integer")(); }
std::int32_t ConstructorRuns() { return Entry<IntOfVoid>("TestConstructorRunsWQX as integer")(); }

class PluginHost : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        RuntimeLoadPluginsFrom(kPluginDir);
        ASSERT_NE(RuntimeFindPluginClass(kClass), nullptr)
            << "the test plug-in did not register from " << kPluginDir;
    }

    // Calls Echo on a fresh object: the string goes in and comes back from the plug-in.
    static std::string Echo(const std::string &bytes) {
        Ref<PluginObject> obj = RuntimeNewPluginObject(kClass);
        FrameworkString *in = PluginStringFromBytes(bytes);
        auto echo = Entry<StringOfString>(kClass + ".Echo(s as string) as string");
        std::string out = PluginStringTake(echo(obj->Instance(), in));
        PluginStringRelease(in);
        return out;
    }
};

TEST_F(PluginHost, EveryKeyIsRegistered) {
    const std::string keys[] = {
        "TestWQX.__init",
        "TestWQX.__exit",
        "TestWQX.Add(a as integer, b as integer) as integer",
        "TestWQX.Echo(s as string) as string",
        "TestWQX.Length(s as string) as integer",
        "TestWQX.Concat(a as string, b as string) as string",
        "TestWQX.Repeat(c as integer, n as integer) as string",
        "TestWQX.SetName(s as string)",
        "TestWQX.GetName as string",
        "TestWQX.GetCounter as integer",
        "TestWQX.Magic as integer",
        "TestWQX.SawZeroed as boolean",
        "TestWQX.BlockSum(m as memoryblock, n as integer) as integer",
        "TestWQX.NativePath(f as folderitem) as string",
        "TestWQX.MakeItem(path as string) as folderitem",
        "TestWQX.MakeAndDrop(path as string) as boolean",
        "TestWQX.Stored.Get",
        "TestWQX.Stored.Set",
        "TestWQX.Title.Get",
        "TestDestructorRunsWQX as integer",
        "TestConstructorRunsWQX as integer",
        "TestHostVersionWQX as integer",
        "TestNoFileReferencesWQX as boolean",
        "TestTwiceWQX(n as integer) as integer",
    };
    const std::vector<std::string> registered = RuntimeRegisteredKeys();
    for (const auto &key : keys) {
        EXPECT_NE(RuntimeLookupPluginEntrypoint(key), nullptr) << "missing key " << key;
        EXPECT_EQ(std::count(registered.begin(), registered.end(), key), 1) << key;
    }
    // Direct properties, missing accessors and other spellings have no key.
    const std::string none[] = {"TestWQX.Counter.Get",
                                "TestWQX.Counter.Set",
                                "TestWQX.Fixed.Get",
                                "TestWQX.Fixed.Set",
                                "TestWQX.Title.Set",
                                "TestWQX.add(a as integer, b as integer) as integer",
                                "TestWQX.Add",
                                "TestTwiceWQX",
                                "",
                                "_"};
    for (const auto &key : none)
        EXPECT_EQ(RuntimeLookupPluginEntrypoint(key), nullptr) << "unexpected key " << key;
    // Registration order: the class's keys come before the global functions'.
    auto at = [&](const std::string &k) {
        return std::find(registered.begin(), registered.end(), k) - registered.begin();
    };
    EXPECT_LT(at("TestWQX.__init"), at("TestWQX.Add(a as integer, b as integer) as integer"));
    EXPECT_LT(at("TestWQX.Title.Get"), at("TestDestructorRunsWQX as integer"));
}

TEST_F(PluginHost, LoadingAgainChangesNothing) {
    const auto keys = RuntimeRegisteredKeys().size();
    RuntimeLoadPluginsFrom(kPluginDir);
    EXPECT_TRUE(RuntimeLoadPlugin(kPluginDir + "/librbtestplugin.so"));
    EXPECT_EQ(RuntimeRegisteredKeys().size(), keys);
}

TEST_F(PluginHost, LibrariesThatAreNoPluginsAreSkipped) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(RuntimeLoadPlugin(kPluginDir + "/librbtestnoentry.so"));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("no REALPluginMain"), std::string::npos) << log;

    TempFolder tmp;
    TempFolder::Put(tmp / "libgarbage.so", "this is not an ELF file");
    TempFolder::Put(tmp / "notes.txt", "ignored: not a library");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(RuntimeLoadPlugin(tmp / "libgarbage.so"));
    EXPECT_FALSE(RuntimeLoadPlugin(tmp / "missing.so"));
    RuntimeLoadPluginsFrom(tmp.Path());
    RuntimeLoadPluginsFrom(tmp / "no-such-folder");
    const std::string log2 = testing::internal::GetCapturedStderr();
    EXPECT_NE(log2.find("libgarbage.so"), std::string::npos) << log2;
    EXPECT_EQ(log2.find("notes.txt"), std::string::npos) << log2;
}

TEST_F(PluginHost, ProgramPluginFolderLoadsOnce) {
    RuntimeInitExternalClasses();
    const auto keys = RuntimeRegisteredKeys().size();
    RuntimeInitExternalClasses();
    EXPECT_EQ(RuntimeRegisteredKeys().size(), keys);
}

TEST_F(PluginHost, ClassRecordGetsItsDataOffset) {
    const PluginClassDefinition *cls = RuntimeFindPluginClass(kClass);
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->version, kPluginInterfaceVersion);
    EXPECT_GT(cls->dataOffset, 0);
    EXPECT_EQ(cls->dataOffset % 16, 0);
    EXPECT_EQ(RuntimeFindPluginClass("NoSuchClass"), nullptr);
    EXPECT_FALSE(RuntimeNewPluginObject("NoSuchClass"));
}

TEST_F(PluginHost, ObjectsStartZeroedAndRunTheirConstructor) {
    const std::int32_t constructed = ConstructorRuns();
    Ref<PluginObject> obj = RuntimeNewPluginObject(kClass);
    ASSERT_TRUE(obj);
    EXPECT_EQ(ConstructorRuns(), constructed + 1);
    EXPECT_EQ(Entry<IntOfInstance>(kClass + ".SawZeroed as boolean")(obj->Instance()), 1);
    EXPECT_EQ(Entry<IntOfInstance>(kClass + ".Magic as integer")(obj->Instance()), 0x1234);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(obj->Data()) % 16, 0u);
    EXPECT_EQ(static_cast<char *>(obj->Data()) - static_cast<char *>(obj->Instance()),
              obj->Class()->dataOffset);
    EXPECT_EQ(PluginObject::FromInstance(obj->Instance()), obj.get());
    int local = 0;
    EXPECT_EQ(PluginObject::FromInstance(&local), nullptr);
    EXPECT_EQ(PluginObject::FromInstance(nullptr), nullptr);

    // Without a constructor the whole data block is there, zero-filled.
    Ref<PluginObject> bare = RuntimeNewPluginObject(kClass, nullptr, nullptr);
    ASSERT_TRUE(bare);
    const auto *bytes = static_cast<const unsigned char *>(bare->Data());
    for (intptr_t i = 0; i < bare->Class()->dataSize; ++i)
        ASSERT_EQ(bytes[i], 0) << "data byte " << i;
}

TEST_F(PluginHost, DestructorRunsOnceWhenTheLastReferenceGoes) {
    const std::int32_t before = DestructorRuns();
    Ref<PluginObject> obj = RuntimeNewPluginObject(kClass);
    Ref<PluginObject> second = obj;
    EXPECT_EQ(obj->RefCount(), 2);
    obj = nullptr;
    EXPECT_EQ(DestructorRuns(), before);
    second = nullptr;
    EXPECT_EQ(DestructorRuns(), before + 1);

    // A reference handed to a plug-in comes back through REALUnlockObject, by instance.
    Ref<PluginObject> handed = RuntimeNewPluginObject(kClass);
    void *instance = handed.Detach()->Instance();
    Service<void (*)(void *)>("REALUnlockObject")(instance);
    EXPECT_EQ(DestructorRuns(), before + 2);

    // An explicit destructor replaces the record's.
    static int customRuns;
    customRuns = 0;
    {
        Ref<PluginObject> custom =
            RuntimeNewPluginObject(kClass, nullptr, [](void *) { ++customRuns; });
    }
    EXPECT_EQ(customRuns, 1);
    EXPECT_EQ(DestructorRuns(), before + 2);
}

TEST_F(PluginHost, CallsThroughEntryPointsAndTheTable) {
    Ref<PluginObject> obj = RuntimeNewPluginObject(kClass);
    using Add = std::int32_t (*)(void *, std::int32_t, std::int32_t);
    const std::string addKey = kClass + ".Add(a as integer, b as integer) as integer";
    EXPECT_EQ(Entry<Add>(addKey)(obj->Instance(), 2, 3), 5);
    EXPECT_EQ(Entry<Add>(addKey)(obj->Instance(), -7, 4), -3);
    using Twice = std::int32_t (*)(std::int32_t);
    EXPECT_EQ(Entry<Twice>("TestTwiceWQX(n as integer) as integer")(21), 42);

    // The program's way: a table filled once, slot by slot, unchecked.
    const std::string keys[] = {"_", addKey, "TestTwiceWQX(n as integer) as integer"};
    void **table = RuntimeAllocatePluginEntrypointsTable(3);
    ASSERT_NE(table, nullptr);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(table[i], nullptr);
    for (int i = 0; i < 3; ++i)
        table[i] = RuntimeLookupPluginEntrypoint(keys[i]);
    EXPECT_EQ(table[0], nullptr);
    EXPECT_EQ(reinterpret_cast<Add>(table[1])(obj->Instance(), 40, 2), 42);
    EXPECT_EQ(reinterpret_cast<Twice>(table[2])(5), 10);
    EXPECT_NE(RuntimeAllocatePluginEntrypointsTable(0), nullptr);
}

TEST_F(PluginHost, DirectAndFunctionProperties) {
    Ref<PluginObject> obj = RuntimeNewPluginObject(kClass);
    auto getCounter = Entry<IntOfInstance>(kClass + ".GetCounter as integer");
    EXPECT_EQ(obj->GetIntegerProperty("Counter"), 0);
    obj->SetIntegerProperty("Counter", 42);
    EXPECT_EQ(obj->GetIntegerProperty("Counter"), 42);
    EXPECT_EQ(getCounter(obj->Instance()), 42); // the plug-in sees the host's write
    obj->SetIntegerProperty("Counter", -5);
    EXPECT_EQ(getCounter(obj->Instance()), -5);

    EXPECT_EQ(obj->GetIntegerProperty("Fixed"), 77); // read-only, set by the constructor
    obj->SetIntegerProperty("Fixed", 5);
    EXPECT_EQ(obj->GetIntegerProperty("Fixed"), 77);

    EXPECT_EQ(obj->GetIntegerProperty("NoSuchProperty"), 0);
    obj->SetIntegerProperty("NoSuchProperty", 1);
    obj->SetIntegerProperty("Stored", 9); // not direct: nothing happens
    EXPECT_EQ(obj->GetIntegerProperty("Stored"), 0);

    using Getter = std::int32_t (*)(void *, intptr_t);
    using Setter = void (*)(void *, intptr_t, std::int32_t);
    auto get = Entry<Getter>(kClass + ".Stored.Get");
    auto set = Entry<Setter>(kClass + ".Stored.Set");
    const intptr_t parameter = obj->Class()->properties[2].parameter;
    set(obj->Instance(), parameter, 21);
    EXPECT_EQ(get(obj->Instance(), parameter), 42);

    using StringGetter = FrameworkString *(*)(void *, intptr_t);
    EXPECT_EQ(PluginStringTake(Entry<StringGetter>(kClass + ".Title.Get")(obj->Instance(), 0)),
              "Test Title");
}

TEST_F(PluginHost, StringsCrossBothWays) {
    std::string allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes.push_back(static_cast<char>(i));
    const std::string cases[] = {
        "a",
        "a\0b\0c"s,
        "\0"s,
        std::string(255, 'x'),
        std::string(256, 'y'),
        allBytes + allBytes,
        std::string(100000, 'z'),
        "h\xC3\xA9llo",
    };
    for (const auto &bytes : cases)
        EXPECT_EQ(Echo(bytes), bytes) << "a text of " << bytes.size() << " bytes";
    EXPECT_EQ(Echo(""), "");

    Ref<PluginObject> obj = RuntimeNewPluginObject(kClass);
    auto length = Entry<std::int32_t (*)(void *, FrameworkString *)>(
        kClass + ".Length(s as string) as integer");
    FrameworkString *nul = PluginStringFromBytes("a\0b"s);
    EXPECT_EQ(length(obj->Instance(), nul), 3);
    EXPECT_EQ(length(obj->Instance(), nullptr), 0);
    PluginStringRelease(nul);

    // A long text made by the plug-in: its record has the length byte, the bytes, a NUL.
    auto repeat = Entry<FrameworkString *(*)(void *, std::int32_t, std::int32_t)>(
        kClass + ".Repeat(c as integer, n as integer) as string");
    FrameworkString *made = repeat(obj->Instance(), 'q', 1000);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->length, 1000);
    EXPECT_EQ(made->refCount, 1);
    EXPECT_EQ(made->encoding, kEncodingNone);
    EXPECT_EQ(static_cast<unsigned char>(made->text[0]), 1000 & 0xFF);
    EXPECT_EQ(made->text[1001], '\0');
    EXPECT_EQ(PluginStringTake(made), std::string(1000, 'q'));
    EXPECT_EQ(repeat(obj->Instance(), 'q', 0), nullptr);

    auto concat = Entry<FrameworkString *(*)(void *, FrameworkString *, FrameworkString *)>(
        kClass + ".Concat(a as string, b as string) as string");
    FrameworkString *a = PluginStringFromBytes(std::string(200, 'a'));
    FrameworkString *b = PluginStringFromBytes("\0b"s);
    EXPECT_EQ(PluginStringTake(concat(obj->Instance(), a, b)), std::string(200, 'a') + "\0b"s);
    EXPECT_EQ(PluginStringTake(concat(obj->Instance(), nullptr, b)), "\0b"s);
    EXPECT_EQ(concat(obj->Instance(), nullptr, nullptr), nullptr);
    PluginStringRelease(a);
    PluginStringRelease(b);

    // The plug-in keeps its own copy; the caller's string may go.
    auto setName = Entry<void (*)(void *, FrameworkString *)>(kClass + ".SetName(s as string)");
    auto getName = Entry<FrameworkString *(*)(void *)>(kClass + ".GetName as string");
    FrameworkString *name = PluginStringFromBytes(std::string(300, 'n'));
    setName(obj->Instance(), name);
    PluginStringRelease(name);
    EXPECT_EQ(PluginStringTake(getName(obj->Instance())), std::string(300, 'n'));
}

TEST_F(PluginHost, StringRecords) {
    EXPECT_EQ(PluginStringFromBytes(""), nullptr);
    EXPECT_EQ(PluginStringBytes(nullptr), "");
    EXPECT_EQ(PluginStringTake(nullptr), "");
    PluginStringRelease(nullptr);

    auto build = Service<FrameworkString *(*)(const void *, intptr_t)>("REALBuildString");
    auto setEncoding = Service<void (*)(FrameworkString *, std::uint32_t)>("REALSetStringEncoding");
    auto unlock = Service<void (*)(FrameworkString *)>("REALUnlockString");
    ASSERT_TRUE(build && setEncoding && unlock);
    EXPECT_EQ(build(nullptr, 5), nullptr);
    EXPECT_EQ(build("abc", 0), nullptr);
    EXPECT_EQ(build("abc", -1), nullptr);
    FrameworkString *s = build("a\0c", 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->refCount, 1);
    EXPECT_EQ(s->length, 3);
    EXPECT_GE(s->bufferSize, 5);
    EXPECT_EQ(s->text[0], 3);
    EXPECT_EQ(std::memcmp(s->text + 1, "a\0c", 4), 0); // the bytes and the NUL
    setEncoding(s, kEncodingASCII);
    EXPECT_EQ(s->encoding, kEncodingASCII);
    ++s->refCount; // a second holder
    unlock(s);
    EXPECT_EQ(PluginStringBytes(s), "a\0c"s);
    unlock(s); // freed (the sanitizer build checks)
    unlock(nullptr);
}

TEST_F(PluginHost, Services) {
    const char *offered[] = {"RegisterPluginVersion",    "PluginRegisterClass",
                             "PluginRegisterMethod",     "REALGetRBVersion",
                             "REALBuildString",          "REALSetStringEncoding",
                             "REALUnlockString",         "memoryBlockGetPtr",
                             "REALFolderItemNativePath", "REALFolderItemFromNativePath",
                             "REALUnlockObject"};
    for (const char *name : offered)
        EXPECT_NE(RuntimeResolveService(name), nullptr) << name;
    EXPECT_EQ(RuntimeResolveService("REALFSRefFromFolderItem"), nullptr);
    EXPECT_EQ(RuntimeResolveService("REALFSSpecFromFolderItem"), nullptr);
    EXPECT_EQ(RuntimeResolveService("realBuildString"), nullptr);
    EXPECT_EQ(RuntimeResolveService(nullptr), nullptr);
    EXPECT_EQ(Service<double (*)()>("REALGetRBVersion")(), 6.0);
    EXPECT_EQ(Entry<IntOfVoid>("TestHostVersionWQX as integer")(), 60);
    EXPECT_EQ(Entry<IntOfVoid>("TestNoFileReferencesWQX as boolean")(), 1);
    Service<void (*)(void *)>("REALUnlockObject")(nullptr);
}

TEST_F(PluginHost, MemoryBlocksAndFolderItemsCross) {
    Ref<PluginObject> obj = RuntimeNewPluginObject(kClass);
    Ref<MemoryBlock> mb = New<MemoryBlock>(std::size_t{4});
    mb->SetStringValue(0, "\x01\x02\x03\x04");
    auto sum = Entry<std::int32_t (*)(void *, void *, std::int32_t)>(
        kClass + ".BlockSum(m as memoryblock, n as integer) as integer");
    EXPECT_EQ(sum(obj->Instance(), static_cast<Object *>(mb.get()), 4), 10);
    EXPECT_EQ(sum(obj->Instance(), nullptr, 4), -1);
    EXPECT_EQ(Service<void *(*)(void *)>("memoryBlockGetPtr")(static_cast<Object *>(mb.get())),
              mb->Ptr());

    TempFolder tmp;
    TempFolder::Put(tmp / "exists.gz", "x");
    auto nativePath = Entry<FrameworkString *(*)(void *, void *)>(
        kClass + ".NativePath(f as folderitem) as string");
    auto pathOf = [&](const std::string &path) {
        Ref<FolderItem> item = FolderItem::FromPath(path);
        return PluginStringTake(nativePath(obj->Instance(), static_cast<Object *>(item.get())));
    };
    EXPECT_EQ(pathOf(tmp / "exists.gz"), tmp / "exists.gz");
    EXPECT_EQ(pathOf(tmp / "new.gz"), tmp / "new.gz"); // not yet there, in an existing folder
    EXPECT_EQ(pathOf(tmp / "no-folder/new.gz"), "");
    EXPECT_EQ(PluginStringTake(nativePath(obj->Instance(), nullptr)), "");
    // A relative name without a working folder has no absolute path to hand over.
    const std::string report = tmp / "relative";
    const ChildResult child = RunWithoutWorkingFolder(tmp.Path(), [&] {
        std::string path = pathOf("new.gz");
        path += " (the path handed over)";
        TempFolder::Put(report, path);
        return 0;
    });
    ASSERT_TRUE(child.exited && child.status == 0) << child.Describe();
    EXPECT_EQ(TempFolder::Get(report), " (the path handed over)");

    auto makeItem = Entry<void *(*)(void *, FrameworkString *)>(
        kClass + ".MakeItem(path as string) as folderitem");
    FrameworkString *path = PluginStringFromBytes(tmp / "made.pdf");
    void *made = makeItem(obj->Instance(), path);
    ASSERT_NE(made, nullptr);
    Ref<FolderItem> item =
        Ref<FolderItem>::Adopt(dynamic_cast<FolderItem *>(static_cast<Object *>(made)));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->RefCount(), 1);
    EXPECT_EQ(item->NativePath(), tmp / "made.pdf");
    auto makeAndDrop = Entry<std::int32_t (*)(void *, FrameworkString *)>(
        kClass + ".MakeAndDrop(path as string) as boolean");
    EXPECT_EQ(makeAndDrop(obj->Instance(), path), 1);
    PluginStringRelease(path);
    FrameworkString *relative = PluginStringFromBytes("relative/path");
    EXPECT_EQ(makeItem(obj->Instance(), relative), nullptr);
    EXPECT_EQ(makeItem(obj->Instance(), nullptr), nullptr);
    PluginStringRelease(relative);
}

} // namespace
