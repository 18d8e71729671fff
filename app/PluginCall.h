// PluginCall.h -- the shapes of call that the plug-in class wrappers make through their slots.
//
// Strings go to a plug-in as framework string records that the program releases after the
// call; a string or object that a plug-in returns carries a reference that the wrapper takes.
#pragma once

#include "PluginEntrypoints.h"

#include "rb/files.h"
#include "rb/runtime.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace plugincall {

// A string argument, held for the length of one call.
class StringArg {
public:
    explicit StringArg(std::string_view bytes) : s_(rb::PluginStringFromBytes(bytes)) {}
    ~StringArg() { rb::PluginStringRelease(s_); }
    StringArg(const StringArg &) = delete;
    StringArg &operator=(const StringArg &) = delete;
    FrameworkString *get() const { return s_; }

private:
    FrameworkString *s_;
};

inline void *ObjectArg(rb::Object *o) { return static_cast<void *>(o); }

template <std::int32_t S> void Void(void *inst) { PluginStub<S, void, void *>(inst); }

template <std::int32_t S> void VoidInt(void *inst, std::int32_t a) {
    PluginStub<S, void, void *, std::int32_t>(inst, a);
}

template <std::int32_t S> void VoidIntInt(void *inst, std::int32_t a, std::int32_t b) {
    PluginStub<S, void, void *, std::int32_t, std::int32_t>(inst, a, b);
}

template <std::int32_t S> void VoidString(void *inst, const std::string &data) {
    StringArg s(data);
    PluginStub<S, void, void *, FrameworkString *>(inst, s.get());
}

template <std::int32_t S> std::int32_t Int(void *inst) {
    return PluginStub<S, std::int32_t, void *>(inst);
}

template <std::int32_t S> bool BoolString(void *inst, std::string_view data) {
    StringArg s(data);
    return PluginStub<S, std::int32_t, void *, FrameworkString *>(inst, s.get()) != 0;
}

template <std::int32_t S> std::string String(void *inst) {
    return rb::PluginStringTake(PluginStub<S, FrameworkString *, void *>(inst));
}

template <std::int32_t S> std::string StringInt(void *inst, std::int32_t a) {
    return rb::PluginStringTake(PluginStub<S, FrameworkString *, void *, std::int32_t>(inst, a));
}

template <std::int32_t S>
std::int32_t IntIntString(void *inst, std::int32_t start, const std::string &data) {
    StringArg s(data);
    return PluginStub<S, std::int32_t, void *, std::int32_t, FrameworkString *>(inst, start,
                                                                              s.get());
}

// Property accessors: a getter takes (instance, parameter), a setter also the value. Every
// function accessor of our plug-ins has the parameter 0.
template <std::int32_t S> std::string GetString(void *inst) {
    return rb::PluginStringTake(PluginStub<S, FrameworkString *, void *, intptr_t>(inst, 0));
}

template <std::int32_t S> std::int32_t GetInt(void *inst) {
    return PluginStub<S, std::int32_t, void *, intptr_t>(inst, 0);
}

template <std::int32_t S> void SetInt(void *inst, std::int32_t value) {
    PluginStub<S, void, void *, intptr_t, std::int32_t>(inst, 0, value);
}

// A plug-in object of `className` whose constructor and destructor are the slots Init and
// Init + 1.
template <std::int32_t Init> rb::Ref<rb::PluginObject> NewObject(const char *className) {
    return rb::RuntimeNewPluginObject(className, &PluginStub<Init, void, void *>,
                                      &PluginStub<Init + 1, void, void *>);
}

} // namespace plugincall
