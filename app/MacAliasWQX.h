// MacAliasWQX.h -- the alias plug-in's class (slots 74 to 91): a record that finds a file again.
#pragma once

#include "PluginCall.h"

#include "rb/object.h"

class MacAliasWQX : public rb::Object {
public:
    MacAliasWQX() : obj_(plugincall::NewObject<74>("MacAliasWQX")) {}

    // 0 on success.
    std::int32_t Create(rb::FolderItem *relPath, rb::FolderItem *target) {
        return Items<76>(relPath, target);
    }
    std::int32_t CreateMinimal(rb::FolderItem *target) {
        return PluginStub<77, std::int32_t, void *, void *>(inst(), plugincall::ObjectArg(target));
    }
    std::int32_t CreateFSRef(rb::MemoryBlock *relPath, rb::MemoryBlock *target) {
        return Items<78>(relPath, target);
    }
    std::int32_t CreateMinimalFSRef(rb::MemoryBlock *target) {
        return PluginStub<79, std::int32_t, void *, void *>(inst(), plugincall::ObjectArg(target));
    }
    std::int32_t Update(rb::FolderItem *relPath, rb::FolderItem *target) {
        return Items<80>(relPath, target);
    }
    std::string GetInfo(std::int32_t idx) { return plugincall::StringInt<81>(inst(), idx); }
    std::string GetRecord() { return plugincall::String<82>(inst()); }
    void SetRecord(const std::string &record) { plugincall::VoidString<83>(inst(), record); }
    // The file the record refers to, or null.
    rb::Ref<rb::FolderItem> Resolve(rb::FolderItem *relPath, std::int32_t mode) {
        void *item = PluginStub<84, void *, void *, void *, std::int32_t>(
            inst(), plugincall::ObjectArg(relPath), mode);
        return rb::Ref<rb::FolderItem>::Adopt(static_cast<rb::FolderItem *>(item));
    }
    void Close() { plugincall::Void<85>(inst()); }

    bool noDialogs() { return plugincall::GetInt<86>(inst()) != 0; }
    std::int32_t attemptMount() { return plugincall::GetInt<87>(inst()); }
    bool allVols() { return plugincall::GetInt<88>(inst()) != 0; }
    bool exhaustive() { return plugincall::GetInt<89>(inst()) != 0; }
    bool relFirst() { return plugincall::GetInt<90>(inst()) != 0; }
    bool needsUpdate() { return plugincall::GetInt<91>(inst()) != 0; }

private:
    template <std::int32_t S> std::int32_t Items(rb::Object *a, rb::Object *b) {
        return PluginStub<S, std::int32_t, void *, void *, void *>(
            inst(), plugincall::ObjectArg(a), plugincall::ObjectArg(b));
    }
    void *inst() const { return obj_->Instance(); }
    rb::Ref<rb::PluginObject> obj_;
};
