// runtime.h -- the plug-in host: loading plug-ins, their registered classes, methods and
// global functions, the program's entry-point table, and plug-in objects.
#pragma once

#include "rb/object.h"
#include "rb/plugin.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rb {

// Loads every shared library in the plugins/ folder beside the running executable, in name
// order, and calls each one's REALPluginMain with the host's resolver. A library that cannot
// be loaded or has no entry point is skipped with a line on the debug log. Runs once; later
// calls do nothing.
void RuntimeInitExternalClasses();
// The same for an explicit folder (tests load their own plug-ins this way). May be called for
// several folders; a library already loaded is not loaded again.
void RuntimeLoadPluginsFrom(const std::string &folder);
// Loads one plug-in library; false when it cannot be loaded or has no REALPluginMain.
bool RuntimeLoadPlugin(const std::string &libraryPath);

// The resolver the host hands to plug-ins (for tests that call services directly).
void *RuntimeResolveService(const char *name);

// A table of `count` null entry points, owned by the host for the life of the process.
void **RuntimeAllocatePluginEntrypointsTable(std::int32_t count);
// The entry point registered under key: "Class.declaration", "Class.__init", "Class.__exit",
// "Class.Property.Get", "Class.Property.Set", or a global function's declaration text.
// Null when nothing registered that key.
void *RuntimeLookupPluginEntrypoint(const std::string &key);

// A registered plug-in class, or null.
const PluginClassDefinition *RuntimeFindPluginClass(const std::string &className);
// Every key registered so far, in registration order.
std::vector<std::string> RuntimeRegisteredKeys();

// A plug-in object: the host's header followed by the class's zero-filled data block.
class PluginObject : public Object {
public:
    ~PluginObject() override; // runs the destructor, then frees the block

    // The pointer plug-in functions receive.
    void *Instance() const { return block_; }
    void *Data() const;
    const PluginClassDefinition *Class() const { return class_; }

    // A direct integer property (getter kPropertyDirect), read or written by the host itself.
    // Reading an unknown or non-direct property gives 0; writing one does nothing; writing a
    // read-only direct property does nothing.
    std::int32_t GetIntegerProperty(const std::string &name) const;
    void SetIntegerProperty(const std::string &name, std::int32_t value);

    // The object whose Instance() is `instance`, or null.
    static PluginObject *FromInstance(void *instance);

private:
    friend Ref<PluginObject> RuntimeNewPluginObject(const std::string &, void (*)(void *),
                                                    void (*)(void *));
    PluginObject(const PluginClassDefinition *cls, void (*destructor)(void *));
    const PluginClassDefinition *class_;
    void (*destructor_)(void *);
    unsigned char *block_;
};

// Creates an object of a registered class: allocates the header and the zeroed data block,
// then runs `constructor`. When the last reference goes, `destructor` runs once, then the
// block is freed. Null when the class is not registered.
Ref<PluginObject> RuntimeNewPluginObject(const std::string &className,
                                         void (*constructor)(void *),
                                         void (*destructor)(void *));
// The same with the class record's own constructor and destructor.
Ref<PluginObject> RuntimeNewPluginObject(const std::string &className);

// Framework objects across the plug-in interface ("folderitem" and "memoryblock" parameters
// and results, "REALUnlockObject") are the address of their rb::Object, e.g.
// static_cast<Object *>(item.get()); a plug-in's own object crosses as its Instance().

// Strings across the plug-in interface. Records are made with malloc; text encoding UTF-8
// unless set otherwise.
// A new string record for the bytes, with one reference for the receiver; null for "".
FrameworkString *PluginStringFromBytes(std::string_view bytes);
// The bytes of a string record ("" for null); the record is not released.
std::string PluginStringBytes(const FrameworkString *s);
// The bytes of a string result whose reference the caller owns, releasing that reference.
std::string PluginStringTake(FrameworkString *s);
// Releases one reference of a string record; null is ignored.
void PluginStringRelease(FrameworkString *s);

} // namespace rb
