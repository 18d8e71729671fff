#include "alias-class.h"

#include "alias-locate.h"
#include "alias-record.h"
#include "alias-services.h"
#include "alias.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

namespace alias {

namespace {

// The data block of an object. The record is kept inline, so an object owns no memory of its
// own and a zero-filled block is an empty object.
struct AliasData {
    std::uint32_t recordLength; // 0: no record
    std::int32_t needsUpdate;
    unsigned char record[kMacAliasMaxRecordSize];
};

extern PluginClassDefinition gClass;

AliasData *DataOf(void *instance) {
    if (instance == nullptr)
        return nullptr;
    return reinterpret_cast<AliasData *>(static_cast<char *>(instance) + gClass.dataOffset);
}

// Runs `body` so that no exception leaves the plug-in: one that is thrown gives `onFailure`.
template <class R, class F> R Guarded(R onFailure, F &&body) noexcept {
    try {
        return body();
    } catch (...) {
        return onFailure;
    }
}

void Forget(AliasData &d) {
    d.recordLength = 0;
    d.needsUpdate = 0;
}

bool Store(AliasData &d, const std::string &bytes) {
    if (bytes.empty() || bytes.size() > sizeof d.record)
        return false;
    std::memcpy(d.record, bytes.data(), bytes.size());
    d.recordLength = static_cast<std::uint32_t>(bytes.size());
    return true;
}

std::optional<AliasRecord> HeldRecord(const AliasData &d) {
    return DecodeRecord(d.record, d.recordLength);
}

// The record of a target folder item, or the code of why there is none.
std::int32_t RecordOf(void *target, std::string &bytes) {
    if (target == nullptr)
        return kMacAliasErrParam;
    bool unsupported = false;
    std::optional<std::string> path = FolderItemNativePath(target, unsupported);
    if (!path)
        return unsupported ? kMacAliasErrUnimplemented : kMacAliasErrNoFolder;
    AliasRecord record;
    if (std::int32_t err = DescribeTarget(std::move(*path), record); err != kMacAliasNoErr)
        return err;
    bytes = EncodeRecord(record);
    return bytes.empty() ? kMacAliasErrBadName : kMacAliasNoErr;
}

// ---- Lifecycle ------------------------------------------------------------------------------

void Construct(void *instance) noexcept {
    if (AliasData *d = DataOf(instance))
        Forget(*d);
}

// Also the destructor: the object holds nothing but its data block, so forgetting is freeing.
void Close(void *instance) noexcept {
    if (AliasData *d = DataOf(instance))
        Forget(*d);
}

// ---- Making records -------------------------------------------------------------------------

std::int32_t CreateMinimal(void *instance, void *target) noexcept {
    AliasData *d = DataOf(instance);
    if (d == nullptr)
        return kMacAliasErrParam;
    // The old record goes first, so that a failure leaves none behind.
    Forget(*d);
    return Guarded(std::int32_t{kMacAliasErrMemory}, [&] {
        std::string bytes;
        const std::int32_t err = RecordOf(target, bytes);
        if (err == kMacAliasNoErr && !Store(*d, bytes))
            return kMacAliasErrBadName;
        return err;
    });
}

std::int32_t Create(void *instance, void * /*relPath*/, void *target) noexcept {
    return CreateMinimal(instance, target);
}

std::int32_t CreateFSRef(void *, void *, void *) noexcept { return kMacAliasErrUnimplemented; }

std::int32_t CreateMinimalFSRef(void *, void *) noexcept { return kMacAliasErrUnimplemented; }

std::int32_t Update(void *instance, void * /*relPath*/, void *target) noexcept {
    AliasData *d = DataOf(instance);
    if (d == nullptr)
        return kMacAliasErrParam;
    return Guarded(std::int32_t{kMacAliasErrMemory}, [&] {
        std::string bytes;
        const std::int32_t err = RecordOf(target, bytes);
        if (err != kMacAliasNoErr)
            return err;
        if (!Store(*d, bytes))
            return kMacAliasErrBadName;
        d->needsUpdate = 0;
        return err;
    });
}

// ---- Records as bytes -----------------------------------------------------------------------

FrameworkString *GetRecord(void *instance) noexcept {
    const AliasData *d = DataOf(instance);
    if (d == nullptr || d->recordLength == 0)
        return nullptr;
    return BuildString(d->record, d->recordLength, kEncodingNone);
}

void SetRecord(void *instance, FrameworkString *record) noexcept {
    AliasData *d = DataOf(instance);
    if (d == nullptr)
        return;
    Forget(*d);
    // Only the text and its length are ours to read; a record that cannot be valid is not kept.
    if (record == nullptr || record->text == nullptr || record->length <= 0 ||
        record->length > static_cast<intptr_t>(sizeof d->record))
        return;
    std::memcpy(d->record, record->text + 1, static_cast<std::size_t>(record->length));
    d->recordLength = static_cast<std::uint32_t>(record->length);
}

// ---- Resolving ------------------------------------------------------------------------------

void *Resolve(void *instance, void * /*relPath*/, std::int32_t /*mode*/) noexcept {
    AliasData *d = DataOf(instance);
    if (d == nullptr)
        return nullptr;
    d->needsUpdate = 0;
    return Guarded(static_cast<void *>(nullptr), [&]() -> void * {
        const std::optional<AliasRecord> record = HeldRecord(*d);
        if (!record)
            return nullptr;
        const std::optional<Resolution> found = LocateTarget(*record);
        if (!found)
            return nullptr;
        void *item = FolderItemFromNativePath(found->path);
        if (item != nullptr)
            d->needsUpdate = found->needsUpdate ? 1 : 0;
        return item;
    });
}

FrameworkString *GetInfo(void *instance, std::int32_t idx) noexcept {
    const AliasData *d = DataOf(instance);
    if (d == nullptr || (idx != 0 && idx != 1))
        return nullptr;
    return Guarded(static_cast<FrameworkString *>(nullptr), [&]() -> FrameworkString * {
        const std::optional<AliasRecord> record = HeldRecord(*d);
        if (!record)
            return nullptr;
        const std::string info = idx == 0 ? NameOf(record->path) : FolderOf(record->path);
        return BuildString(info.data(), info.size(), kEncodingUTF8);
    });
}

// ---- Properties -----------------------------------------------------------------------------

std::int32_t NoDialogsGet(void *, intptr_t) noexcept { return 1; }
std::int32_t AttemptMountGet(void *, intptr_t) noexcept { return 0; }
std::int32_t AllVolsGet(void *, intptr_t) noexcept { return 0; }
std::int32_t ExhaustiveGet(void *, intptr_t) noexcept { return 0; }
std::int32_t RelFirstGet(void *, intptr_t) noexcept { return 0; }

std::int32_t NeedsUpdateGet(void *instance, intptr_t) noexcept {
    const AliasData *d = DataOf(instance);
    return d != nullptr && d->needsUpdate != 0 ? 1 : 0;
}

// ---- Registration records -------------------------------------------------------------------

template <class F> void *Entry(F *function) { return reinterpret_cast<void *>(function); }

PluginMethodDefinition gMethods[] = {
    {Entry(Create), nullptr, "Create(relPath as FolderItem, target as FolderItem) as Integer",
     kMethodFlagsDefault},
    {Entry(CreateMinimal), nullptr, "CreateMinimal(target as FolderItem) as Integer",
     kMethodFlagsDefault},
    {Entry(CreateFSRef), nullptr,
     "CreateFSRef(relPath as memoryblock, target as memoryblock) as Integer", kMethodFlagsDefault},
    {Entry(CreateMinimalFSRef), nullptr, "CreateMinimalFSRef(target as memoryblock) as Integer",
     kMethodFlagsDefault},
    {Entry(Update), nullptr, "Update(relPath as FolderItem, target as FolderItem) as Integer",
     kMethodFlagsDefault},
    {Entry(GetInfo), nullptr, "GetInfo(idx as Integer) as String", kMethodFlagsDefault},
    {Entry(GetRecord), nullptr, "GetRecord as String", kMethodFlagsDefault},
    {Entry(SetRecord), nullptr, "SetRecord(record as String)", kMethodFlagsDefault},
    {Entry(Resolve), nullptr, "Resolve(relPath as FolderItem, mode as Integer) as FolderItem",
     kMethodFlagsDefault},
    {Entry(Close), nullptr, "Close", kMethodFlagsDefault},
};
static_assert(std::size(gMethods) == kMacAliasMethodCount);

PluginPropertyDefinition ReadOnly(const char *name, const char *type, void *getter) {
    return {nullptr, name, type, kPropertyFlagsDefault, getter, nullptr, 0, {0, 0, 0}};
}

PluginPropertyDefinition gProperties[] = {
    ReadOnly("noDialogs", "Boolean", Entry(NoDialogsGet)),
    ReadOnly("attemptMount", "Integer", Entry(AttemptMountGet)),
    ReadOnly("allVols", "Boolean", Entry(AllVolsGet)),
    ReadOnly("exhaustive", "Boolean", Entry(ExhaustiveGet)),
    ReadOnly("relFirst", "Boolean", Entry(RelFirstGet)),
    ReadOnly("needsUpdate", "Boolean", Entry(NeedsUpdateGet)),
};

PluginClassDefinition gClass = {
    kPluginInterfaceVersion,
    "MacAliasWQX",
    nullptr,
    static_cast<intptr_t>(sizeof(AliasData)),
    0,
    Entry(Construct),
    Entry(Close),
    gProperties,
    static_cast<intptr_t>(std::size(gProperties)),
    gMethods,
    static_cast<intptr_t>(std::size(gMethods)),
    {},
    kClassFlagsDefault,
    {},
};

} // namespace

PluginClassDefinition *MacAliasClass() { return &gClass; }

} // namespace alias
