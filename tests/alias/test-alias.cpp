// The alias plug-in through the framework's own plug-in host: the objects the program makes,
// called through the entry points it looks up by key.
#include "alias.h"
#include "record-bytes.h"

#include "rb/files.h"
#include "rb/runtime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const char *const kKeys[] = {
    "MacAliasWQX.__init",
    "MacAliasWQX.__exit",
    "MacAliasWQX.Create(relPath as FolderItem, target as FolderItem) as Integer",
    "MacAliasWQX.CreateMinimal(target as FolderItem) as Integer",
    "MacAliasWQX.CreateFSRef(relPath as memoryblock, target as memoryblock) as Integer",
    "MacAliasWQX.CreateMinimalFSRef(target as memoryblock) as Integer",
    "MacAliasWQX.Update(relPath as FolderItem, target as FolderItem) as Integer",
    "MacAliasWQX.GetInfo(idx as Integer) as String",
    "MacAliasWQX.GetRecord as String",
    "MacAliasWQX.SetRecord(record as String)",
    "MacAliasWQX.Resolve(relPath as FolderItem, mode as Integer) as FolderItem",
    "MacAliasWQX.Close",
    "MacAliasWQX.noDialogs.Get",
    "MacAliasWQX.attemptMount.Get",
    "MacAliasWQX.allVols.Get",
    "MacAliasWQX.exhaustive.Get",
    "MacAliasWQX.relFirst.Get",
    "MacAliasWQX.needsUpdate.Get",
};

using InstanceFn = void (*)(void *);
using TwoItemsFn = std::int32_t (*)(void *, void *, void *);
using OneItemFn = std::int32_t (*)(void *, void *);
using GetInfoFn = FrameworkString *(*)(void *, std::int32_t);
using GetRecordFn = FrameworkString *(*)(void *);
using SetRecordFn = void (*)(void *, FrameworkString *);
using ResolveFn = void *(*)(void *, void *, std::int32_t);
using GetterFn = std::int32_t (*)(void *, intptr_t);

// The class's entry points, looked up by key the way the program does.
struct AliasApi {
    InstanceFn init = nullptr, exit = nullptr, close = nullptr;
    TwoItemsFn create = nullptr, createFSRef = nullptr, update = nullptr;
    OneItemFn createMinimal = nullptr, createMinimalFSRef = nullptr;
    GetInfoFn getInfo = nullptr;
    GetRecordFn getRecord = nullptr;
    SetRecordFn setRecord = nullptr;
    ResolveFn resolve = nullptr;
    GetterFn noDialogs = nullptr, attemptMount = nullptr, allVols = nullptr, exhaustive = nullptr,
             relFirst = nullptr, needsUpdate = nullptr;
    bool loaded = false;
};

template <class Fn> Fn Lookup(const std::string &key) {
    return reinterpret_cast<Fn>(rb::RuntimeLookupPluginEntrypoint("MacAliasWQX." + key));
}

const AliasApi &Api() {
    static const AliasApi api = [] {
        AliasApi a;
        a.loaded = rb::RuntimeLoadPlugin(VELLUMET_PLUGIN_DIR "/libalias.so");
        a.init = Lookup<InstanceFn>("__init");
        a.exit = Lookup<InstanceFn>("__exit");
        a.create =
            Lookup<TwoItemsFn>("Create(relPath as FolderItem, target as FolderItem) as Integer");
        a.createMinimal = Lookup<OneItemFn>("CreateMinimal(target as FolderItem) as Integer");
        a.createFSRef = Lookup<TwoItemsFn>(
            "CreateFSRef(relPath as memoryblock, target as memoryblock) as Integer");
        a.createMinimalFSRef =
            Lookup<OneItemFn>("CreateMinimalFSRef(target as memoryblock) as Integer");
        a.update =
            Lookup<TwoItemsFn>("Update(relPath as FolderItem, target as FolderItem) as Integer");
        a.getInfo = Lookup<GetInfoFn>("GetInfo(idx as Integer) as String");
        a.getRecord = Lookup<GetRecordFn>("GetRecord as String");
        a.setRecord = Lookup<SetRecordFn>("SetRecord(record as String)");
        a.resolve =
            Lookup<ResolveFn>("Resolve(relPath as FolderItem, mode as Integer) as FolderItem");
        a.close = Lookup<InstanceFn>("Close");
        a.noDialogs = Lookup<GetterFn>("noDialogs.Get");
        a.attemptMount = Lookup<GetterFn>("attemptMount.Get");
        a.allVols = Lookup<GetterFn>("allVols.Get");
        a.exhaustive = Lookup<GetterFn>("exhaustive.Get");
        a.relFirst = Lookup<GetterFn>("relFirst.Get");
        a.needsUpdate = Lookup<GetterFn>("needsUpdate.Get");
        return a;
    }();
    return api;
}

bool ApiComplete() {
    if (!Api().loaded)
        return false;
    for (const char *key : kKeys)
        if (rb::RuntimeLookupPluginEntrypoint(key) == nullptr)
            return false;
    return true;
}

void *AsArg(rb::Object *o) { return static_cast<void *>(o); }

// One MacAliasWQX object, made and freed by the host, called as the program calls it.
class Alias {
  public:
    explicit Alias(InstanceFn exitFn = Api().exit)
        : object_(rb::RuntimeNewPluginObject("MacAliasWQX", Api().init, exitFn)) {}

    void *Instance() const { return object_ ? object_->Instance() : nullptr; }

    std::int32_t Create(const fs::path &target) {
        rb::Ref<rb::FolderItem> item = rb::FolderItem::FromPath(target.string());
        return Api().create(Instance(), nullptr, AsArg(item.get()));
    }
    std::int32_t CreateMinimal(const fs::path &target) {
        rb::Ref<rb::FolderItem> item = rb::FolderItem::FromPath(target.string());
        return Api().createMinimal(Instance(), AsArg(item.get()));
    }
    std::int32_t Update(const fs::path &target) {
        rb::Ref<rb::FolderItem> item = rb::FolderItem::FromPath(target.string());
        return Api().update(Instance(), nullptr, AsArg(item.get()));
    }
    // The record's bytes; nothing for a nil string.
    std::optional<std::string> Record() {
        FrameworkString *s = Api().getRecord(Instance());
        if (s == nullptr)
            return std::nullopt;
        return rb::PluginStringTake(s);
    }
    void SetRecord(const std::string &bytes) {
        FrameworkString *s = rb::PluginStringFromBytes(bytes);
        Api().setRecord(Instance(), s);
        rb::PluginStringRelease(s);
    }
    std::optional<std::string> Info(std::int32_t idx) {
        FrameworkString *s = Api().getInfo(Instance(), idx);
        if (s == nullptr)
            return std::nullopt;
        return rb::PluginStringTake(s);
    }
    // The resolved item's path; nothing for nil. The item's reference is the caller's.
    std::optional<std::string> Resolve() {
        void *result = Api().resolve(Instance(), nullptr, Api().attemptMount(Instance(), 0));
        if (result == nullptr)
            return std::nullopt;
        auto item = rb::Ref<rb::FolderItem>::Adopt(
            dynamic_cast<rb::FolderItem *>(static_cast<rb::Object *>(result)));
        EXPECT_TRUE(item) << "Resolve returned an object that is not a folder item";
        return item ? std::optional<std::string>(item->NativePath()) : std::nullopt;
    }
    bool NeedsUpdate() { return Api().needsUpdate(Instance(), 0) != 0; }
    void Close() { Api().close(Instance()); }

  private:
    rb::Ref<rb::PluginObject> object_;
};

std::string Show(const std::optional<std::string> &path) {
    return path ? "\"" + *path + "\"" : "nil";
}

void WriteFile(const fs::path &path, const std::string &contents) {
    std::ofstream(path, std::ios::binary) << contents;
}

// A private folder tree per test, removed afterwards: root/docs holds the files, root/other is
// a sibling folder.
class AliasTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(ApiComplete()) << "the alias plug-in did not load or register every key";
        std::string pattern = (fs::temp_directory_path() / "vellumet-alias-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        fs::create_directory(root_ / "docs");
        fs::create_directory(root_ / "other");
    }
    void TearDown() override {
        if (!root_.empty())
            fs::remove_all(root_);
    }
    fs::path root_;
};

TEST(AliasRegistration, ExactlyTheEighteenKeysAreRegistered) {
    ASSERT_TRUE(Api().loaded);
    std::set<std::string> registered;
    for (const std::string &key : rb::RuntimeRegisteredKeys())
        if (key.rfind("MacAliasWQX.", 0) == 0)
            registered.insert(key);
    for (const char *key : kKeys) {
        EXPECT_NE(rb::RuntimeLookupPluginEntrypoint(key), nullptr) << "missing: " << key;
        registered.erase(key);
    }
    for (const std::string &extra : registered)
        ADD_FAILURE() << "unexpected key: " << extra;
}

TEST(AliasRegistration, PropertiesHaveTheirFixedValues) {
    ASSERT_TRUE(ApiComplete());
    Alias a;
    const struct {
        const char *name;
        GetterFn getter;
        std::int32_t expected;
    } cases[] = {
        {"noDialogs", Api().noDialogs, 1}, {"attemptMount", Api().attemptMount, 0},
        {"allVols", Api().allVols, 0},     {"exhaustive", Api().exhaustive, 0},
        {"relFirst", Api().relFirst, 0},   {"needsUpdate", Api().needsUpdate, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.getter(a.Instance(), 0), c.expected) << c.name;
}

// What an alias resolves to after its target was left alone, deleted, replaced or written.
TEST_F(AliasTest, ResolveFollowsWhatHappenedAtTheRecordedPath) {
    enum class After { Nothing, DeleteFile, ReplaceFile, WriteFile, RemoveFolder };
    const struct {
        const char *name;
        bool existsWhenAliased;
        After after;
        bool resolves; // to the recorded path
        bool needsUpdate;
    } cases[] = {
        {"existing file left alone", true, After::Nothing, true, false},
        {"existing file deleted", true, After::DeleteFile, false, false},
        {"existing file replaced by a new one", true, After::ReplaceFile, true, true},
        {"file not written yet", false, After::Nothing, true, false},
        {"file written after the alias was made", false, After::WriteFile, true, true},
        {"file not written yet, folder removed", false, After::RemoveFolder, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = root_ / "docs" / "case";
        const fs::path target = folder / "out.pdf";
        fs::create_directory(folder);
        if (c.existsWhenAliased)
            WriteFile(target, "%PDF-1.3 first");

        Alias a;
        ASSERT_EQ(a.Create(target), kMacAliasNoErr);
        switch (c.after) {
        case After::Nothing:
            break;
        case After::DeleteFile:
            fs::remove(target);
            break;
        case After::ReplaceFile:
            // The framework's way of saving: a new file beside the old one, renamed over it.
            WriteFile(folder / "out.pdf.tmp", "%PDF-1.3 second, longer");
            fs::rename(folder / "out.pdf.tmp", target);
            break;
        case After::WriteFile:
            WriteFile(target, "%PDF-1.3 written");
            break;
        case After::RemoveFolder:
            fs::remove_all(folder);
            break;
        }

        const std::optional<std::string> expected =
            c.resolves ? std::optional<std::string>(target.string()) : std::nullopt;
        const std::optional<std::string> got = a.Resolve();
        EXPECT_EQ(got, expected) << "got " << Show(got) << ", expected " << Show(expected);
        EXPECT_EQ(a.NeedsUpdate(), c.needsUpdate);
        fs::remove_all(folder);
    }
}

// A target that was moved nearby is found by its identity; Update then records where it is.
// A file that was also changed is not taken for the one recorded.
TEST_F(AliasTest, MovedFileIsFoundAndUpdateRecordsTheNewPlace) {
    const struct {
        const char *name;
        const char *renameFrom; // relative to the test's root; a file or a folder
        const char *renameTo;
        bool touchFirst;     // its modification time moved by a millisecond before the move
        const char *foundAt; // nullptr: not found
    } cases[] = {
        {"renamed in its folder", "docs/out.pdf", "docs/renamed.pdf", false, "docs/renamed.pdf"},
        {"moved to the parent folder", "docs/out.pdf", "out.pdf", false, "out.pdf"},
        {"moved to a sibling folder", "docs/out.pdf", "other/out.pdf", false, "other/out.pdf"},
        {"its folder renamed", "docs", "papers", false, "papers/out.pdf"},
        {"changed, then renamed", "docs/out.pdf", "docs/renamed.pdf", true, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fs::create_directories(root_ / "docs");
        const fs::path target = root_ / "docs" / "out.pdf";
        WriteFile(target, "%PDF-1.3 moved");

        Alias a;
        ASSERT_EQ(a.Create(target), kMacAliasNoErr);
        if (c.touchFirst)
            fs::last_write_time(target, fs::last_write_time(target) + std::chrono::milliseconds(1));
        fs::rename(root_ / c.renameFrom, root_ / c.renameTo);

        const std::optional<std::string> expected =
            c.foundAt ? std::optional<std::string>((root_ / c.foundAt).string()) : std::nullopt;
        const std::optional<std::string> got = a.Resolve();
        EXPECT_EQ(got, expected) << "got " << Show(got) << ", expected " << Show(expected);
        EXPECT_EQ(a.NeedsUpdate(), expected.has_value());

        if (expected) {
            EXPECT_EQ(a.Update(*expected), kMacAliasNoErr);
            EXPECT_FALSE(a.NeedsUpdate());
            const std::optional<std::string> updated = a.Record();
            ASSERT_TRUE(updated);

            // The refreshed record finds the file where it is now, with nothing left to update.
            Alias fresh;
            fresh.SetRecord(*updated);
            EXPECT_EQ(fresh.Resolve(), expected);
            EXPECT_FALSE(fresh.NeedsUpdate());
        }

        fs::remove_all(root_ / c.renameTo);
        fs::remove_all(root_ / "docs");
    }
}

TEST_F(AliasTest, RecordRoundTripsThroughAFreshObject) {
    const fs::path target = root_ / "docs" / "grid.pdf";
    WriteFile(target, "%PDF-1.3");

    Alias a;
    EXPECT_EQ(a.Record(), std::nullopt) << "a new object has no record";
    ASSERT_EQ(a.Create(target), kMacAliasNoErr);
    const std::optional<std::string> record = a.Record();
    ASSERT_TRUE(record);

    // The record is laid out as alias.h says: magic, path and a zlib CRC-32 at the end.
    const std::string path = target.string();
    ASSERT_EQ(record->size(), std::size_t{kMacAliasRecordOverhead} + path.size());
    EXPECT_EQ(record->substr(0, 4), "VlAl");
    EXPECT_EQ(record->substr(48, path.size()), path);
    const std::string body = record->substr(0, record->size() - 4);
    std::string crc;
    AppendBigEndian(crc, Crc32Of(body), 4);
    EXPECT_EQ(record->substr(record->size() - 4), crc);

    Alias b;
    b.SetRecord(*record);
    EXPECT_EQ(b.Record(), record);
    EXPECT_EQ(b.Resolve(), path);
    EXPECT_FALSE(b.NeedsUpdate());

    const struct {
        std::int32_t idx;
        std::optional<std::string> expected;
    } infos[] = {
        {0, "grid.pdf"},
        {1, (root_ / "docs").string()},
        {2, std::nullopt},
        {-1, std::nullopt},
    };
    for (const auto &info : infos) {
        const std::optional<std::string> got = b.Info(info.idx);
        EXPECT_EQ(got, info.expected) << "GetInfo(" << info.idx << "): got " << Show(got)
                                      << ", expected " << Show(info.expected);
    }

    // CreateMinimal makes the same record as Create with a nil relPath.
    Alias c;
    ASSERT_EQ(c.CreateMinimal(target), kMacAliasNoErr);
    EXPECT_EQ(c.Record(), record);
}

TEST_F(AliasTest, TargetsThatCannotBeReferredToAreRefused) {
    const fs::path good = root_ / "docs" / "good.pdf";
    WriteFile(good, "%PDF-1.3");
    rb::Ref<rb::MemoryBlock> block(new rb::MemoryBlock(80));
    using Call = std::int32_t (*)(Alias &, void *block, const fs::path &root);

    const struct {
        const char *name;
        Call call;
        std::int32_t expected;
        bool keepsRecord; // else a failure leaves no record, even where the object held one
    } cases[] = {
        {"Create with a nil target",
         [](Alias &a, void *, const fs::path &) {
             return Api().create(a.Instance(), nullptr, nullptr);
         },
         kMacAliasErrParam, false},
        {"CreateMinimal with a nil target",
         [](Alias &a, void *, const fs::path &) {
             return Api().createMinimal(a.Instance(), nullptr);
         },
         kMacAliasErrParam, false},
        {"Create in a folder that does not exist",
         [](Alias &a, void *, const fs::path &root) {
             return a.Create(root / "missing" / "x.pdf");
         },
         kMacAliasErrNoFolder, false},
        {"CreateFSRef",
         [](Alias &a, void *b, const fs::path &) { return Api().createFSRef(a.Instance(), b, b); },
         kMacAliasErrUnimplemented, true},
        {"CreateMinimalFSRef",
         [](Alias &a, void *b, const fs::path &) {
             return Api().createMinimalFSRef(a.Instance(), b);
         },
         kMacAliasErrUnimplemented, true},
        {"Update with a nil target",
         [](Alias &a, void *, const fs::path &) {
             return Api().update(a.Instance(), nullptr, nullptr);
         },
         kMacAliasErrParam, true},
        {"Update in a folder that does not exist",
         [](Alias &a, void *, const fs::path &root) {
             return a.Update(root / "missing" / "x.pdf");
         },
         kMacAliasErrNoFolder, true},
    };
    for (const auto &c : cases) {
        Alias a;
        ASSERT_EQ(a.Create(good), kMacAliasNoErr);
        const std::optional<std::string> before = a.Record();
        const std::int32_t got = c.call(a, AsArg(block.get()), root_);
        EXPECT_EQ(got, c.expected) << c.name << ": got " << got << ", expected " << c.expected;
        EXPECT_EQ(a.Record(), c.keepsRecord ? before : std::nullopt) << c.name;
    }
}

// Damaged records of every kind resolve to nil and give no information.
TEST_F(AliasTest, DamagedRecordsResolveToNil) {
    const fs::path target = root_ / "docs" / "out.pdf";
    WriteFile(target, "%PDF-1.3");
    Alias maker;
    ASSERT_EQ(maker.Create(target), kMacAliasNoErr);
    const std::string valid = maker.Record().value_or("");
    ASSERT_FALSE(valid.empty());

    struct Case {
        std::string name;
        std::string bytes;
    };
    std::vector<Case> cases = {{"empty", ""}, {"one byte too many", valid + "x"}};
    for (std::size_t n = 1; n < valid.size(); ++n)
        cases.push_back({"truncated to " + std::to_string(n) + " bytes", valid.substr(0, n)});
    for (std::size_t i = 0; i < valid.size(); ++i) {
        std::string bytes = valid;
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
        cases.push_back({"byte " + std::to_string(i) + " changed", bytes});
    }
    std::mt19937 rng(20240601);
    for (int i = 0; i < 200; ++i) {
        // Half of them start like a record, to get past the first check.
        std::string bytes = i % 2 ? std::string("VlAl") : std::string();
        const std::size_t length = rng() % 300;
        while (bytes.size() < length)
            bytes.push_back(static_cast<char>(rng() & 0xFF));
        cases.push_back({"random bytes #" + std::to_string(i), bytes});
    }
    cases.push_back({"a megabyte", "VlAl" + std::string(1 << 20, '\x01')});

    // Well-formed records, checksum included, that are wrong in one field each.
    const RecordFields control{.path = (root_ / "docs" / "new.pdf").string()};
    const auto with = [&](auto change) {
        RecordFields f = control;
        change(f);
        return BuildRecord(f);
    };
    cases.push_back(
        {"path length of a gigabyte", with([](RecordFields &f) { f.pathLength = 0x40000000; })});
    cases.push_back({"path length of 4 GiB less one",
                     with([](RecordFields &f) { f.pathLength = 0xFFFFFFFF; })});
    cases.push_back({"path length of 0", with([](RecordFields &f) { f.path.clear(); })});
    cases.push_back({"relative path", with([](RecordFields &f) { f.path = "docs/new.pdf"; })});
    cases.push_back({"NUL in the path", with([](RecordFields &f) { f.path += '\0'; })});
    cases.push_back({"trailing slash", with([](RecordFields &f) { f.path += '/'; })});
    cases.push_back({"path longer than the limit",
                     with([](RecordFields &f) { f.path = "/" + std::string(5000, 'a'); })});
    cases.push_back({"version 2", with([](RecordFields &f) { f.version = 2; })});
    cases.push_back({"unknown flag", with([](RecordFields &f) { f.flags = 2; })});
    cases.push_back({"identity without the flag", with([](RecordFields &f) { f.inode = 12345; })});
    cases.push_back({"nanoseconds out of range", with([](RecordFields &f) {
                         f.flags = 1;
                         f.mtimeNanoseconds = 1000000000;
                     })});
    cases.push_back({"wrong checksum", with([](RecordFields &f) { f.crc = 0; })});

    // The control record itself is accepted, so each case above fails for its one field.
    Alias check;
    check.SetRecord(BuildRecord(control));
    ASSERT_EQ(check.Resolve(), control.path);

    Alias a;
    for (const Case &c : cases) {
        a.SetRecord(c.bytes);
        const std::optional<std::string> got = a.Resolve();
        EXPECT_EQ(got, std::nullopt) << c.name << ": got " << Show(got) << ", expected nil";
        EXPECT_FALSE(a.NeedsUpdate()) << c.name;
        EXPECT_EQ(a.Info(0), std::nullopt) << c.name;
    }
}

int gExitCalls = 0;

void CountingExit(void *instance) {
    ++gExitCalls;
    Api().exit(instance);
}

TEST_F(AliasTest, CloseIsHarmlessTwiceAndTheDestructorRunsOnce) {
    const fs::path target = root_ / "docs" / "out.pdf";
    WriteFile(target, "%PDF-1.3");
    gExitCalls = 0;
    {
        Alias a(&CountingExit);
        ASSERT_EQ(a.Create(target), kMacAliasNoErr);
        a.Close();
        a.Close();
        EXPECT_EQ(a.Record(), std::nullopt);
        EXPECT_EQ(a.Resolve(), std::nullopt);
        EXPECT_FALSE(a.NeedsUpdate());
        EXPECT_EQ(gExitCalls, 0);
    }
    EXPECT_EQ(gExitCalls, 1);
}

} // namespace
