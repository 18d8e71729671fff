// ZLibStreamWQX.h -- what the compressor plug-in's deflate and inflate streams share.
//
// Both classes have the same run of slots from their constructor on; Init is the slot of the
// constructor. Make a stream with rb::New<ZLibCompressWQX>() or rb::New<ZLibDecompressWQX>():
// the plug-in object gets a zeroed data block and its constructor runs; its destructor runs
// when the last reference goes. The empty string stands for the plug-in's nil.
#pragma once

#include "PluginCall.h"

#include "rb/object.h"

template <std::int32_t Init> class ZLibStreamWQX : public rb::Object {
public:
    void Close() { plugincall::Void<Init + 2>(inst()); }
    void ProcessZip() { plugincall::Void<Init + 3>(inst()); }
    void EndZip() { plugincall::Void<Init + 4>(inst()); }
    // False, and nothing taken, for more than 65,536 bytes.
    bool SetInput(std::string_view data) { return plugincall::BoolString<Init + 6>(inst(), data); }
    std::string GetOutput() { return plugincall::String<Init + 7>(inst()); }
    std::int32_t InputAvail() { return plugincall::Int<Init + 8>(inst()); }
    std::int32_t OutputSize() { return plugincall::Int<Init + 9>(inst()); }
    std::int32_t Adler32(std::int32_t start, const std::string &data) {
        return plugincall::IntIntString<Init + 10>(inst(), start, data);
    }
    std::int32_t CRC32(std::int32_t start, const std::string &data) {
        return plugincall::IntIntString<Init + 11>(inst(), start, data);
    }

    // Direct integer properties, read and written by the framework.
    std::int32_t TotalInput() const { return obj_->GetIntegerProperty("TotalInput"); }
    void SetTotalInput(std::int32_t v) { obj_->SetIntegerProperty("TotalInput", v); }
    std::int32_t TotalOutput() const { return obj_->GetIntegerProperty("TotalOutput"); }
    void SetTotalOutput(std::int32_t v) { obj_->SetIntegerProperty("TotalOutput", v); }
    std::int32_t Error() const { return obj_->GetIntegerProperty("Error"); }
    void SetError(std::int32_t v) { obj_->SetIntegerProperty("Error", v); }

protected:
    explicit ZLibStreamWQX(const char *className) : obj_(plugincall::NewObject<Init>(className)) {}
    void *inst() const { return obj_->Instance(); }

private:
    rb::Ref<rb::PluginObject> obj_;
};
