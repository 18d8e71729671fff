// GZipFileWQX.h -- the compressor plug-in's gzip file (slots 41 to 59).
//
// Nothing in the program uses it; it is bound like every plug-in class it ships with.
#pragma once

#include "PluginCall.h"

#include "rb/object.h"

class GZipFileWQX : public rb::Object {
public:
    GZipFileWQX() : obj_(plugincall::NewObject<41>("GZipFileWQX")) {}

    bool Open(rb::FolderItem *file, const std::string &mode) {
        plugincall::StringArg m(mode);
        return PluginStub<43, std::int32_t, void *, void *, FrameworkString *>(
                   inst(), plugincall::ObjectArg(file), m.get()) != 0;
    }
    void Close() { plugincall::Void<44>(inst()); }
    void Write(const std::string &data) { plugincall::VoidString<45>(inst(), data); }
    std::string Read(std::int32_t count) { return plugincall::StringInt<46>(inst(), count); }
    void WriteByte(std::int32_t value) { plugincall::VoidInt<47>(inst(), value); }
    std::int32_t ReadByte() { return plugincall::Int<48>(inst()); }
    void SetParameter(std::int32_t level, std::int32_t strategy) {
        plugincall::VoidIntInt<49>(inst(), level, strategy);
    }
    void Flush(std::int32_t flush) { plugincall::VoidInt<50>(inst(), flush); }
    void Rewind() { plugincall::Void<51>(inst()); }
    std::int32_t Adler32(std::int32_t start, const std::string &data) {
        return plugincall::IntIntString<52>(inst(), start, data);
    }
    std::int32_t CRC32(std::int32_t start, const std::string &data) {
        return plugincall::IntIntString<53>(inst(), start, data);
    }

    std::string Version() { return plugincall::GetString<54>(inst()); }
    // The plug-in's EOF property (EOF itself is a C macro).
    bool IsEOF() { return plugincall::GetInt<55>(inst()) != 0; }
    std::string ErrorMessage() { return plugincall::GetString<56>(inst()); }
    std::int32_t ErrorCode() { return plugincall::GetInt<57>(inst()); }
    std::int32_t Position() { return plugincall::GetInt<58>(inst()); }
    void SetPosition(std::int32_t position) { plugincall::SetInt<59>(inst(), position); }

    // Direct integer properties, read and written by the framework.
    std::int32_t Handle() const { return obj_->GetIntegerProperty("Handle"); }
    std::int32_t Lasterror() const { return obj_->GetIntegerProperty("Lasterror"); }
    void SetLasterror(std::int32_t v) { obj_->SetIntegerProperty("Lasterror", v); }

private:
    void *inst() const { return obj_->Instance(); }
    rb::Ref<rb::PluginObject> obj_;
};
