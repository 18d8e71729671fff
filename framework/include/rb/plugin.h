/* plugin.h -- the C interface between the rbframework host and its plug-ins.
 *
 * A plug-in is a shared library in the program's plugins/ folder. Its one exported symbol is
 *
 *     void REALPluginMain(PluginEntryResolver resolver);
 *
 * which the host calls once, right after loading it, on the host's only thread. The plug-in
 * keeps the resolver and asks it for every framework service by name (the names are listed
 * below). A service the host does not offer resolves to NULL; a plug-in must keep working, with
 * its documented fallback, when a service is missing.
 *
 * Word size: every field of the records below is one machine word (8 bytes on the 64-bit
 * platforms we build for): pointers and integer fields alike, in the order given. The records
 * are static data of the plug-in; the host keeps pointers to them for the life of the process
 * and writes exactly one field, PluginClassDefinition.dataOffset, at registration.
 *
 * Calling conventions of registered functions (all plain C calls):
 *   - a method receives the instance first (void *), then its declared parameters in order;
 *     a global function receives the parameters only;
 *   - "integer" parameters and results are int32_t; "boolean" ones are int32_t, 0 or 1;
 *   - "string" parameters are FrameworkString * (NULL allowed: a nil string is the empty
 *     string); a string result is a FrameworkString * carrying one reference that passes to the
 *     caller (NULL for the empty string);
 *   - "folderitem" and "memoryblock" parameters are framework object references (void *,
 *     NULL allowed), valid for the duration of the call; an object result carries one reference
 *     that passes to the caller (release it with the "REALUnlockObject" service);
 *   - a property getter receives (instance, parameter) and returns the value; a setter receives
 *     (instance, parameter, value); constructor and destructor receive the instance.
 *   - No C++ exception ever crosses this interface, in either direction.
 *
 * Instances: the host allocates, for each plug-in object, a block made of its own header
 * followed by the class's data block of dataSize bytes, zero-filled. The instance pointer that
 * functions receive is the start of the whole block; a function finds its data at
 * (char *)instance + the dataOffset the host wrote into the class record. The host runs the
 * constructor when the object is created and the destructor once, when its last reference goes.
 */
#ifndef RB_PLUGIN_H
#define RB_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The interface version a plug-in announces and puts at the head of every class record. */
#define kPluginInterfaceVersion 9

/* Returns the framework service called `name`, or NULL when the host has none by that name. */
typedef void *(*PluginEntryResolver)(const char *name);

/* The framework's string record. A plug-in reads only `text` and `length`:
 *   text:   points at a length byte (the low 8 bits of the length, not to be relied on),
 *           followed by the `length` bytes of the text and a NUL;
 *   length: the text's length in bytes; texts may be longer than 255 bytes and hold any byte,
 *           NUL included.
 * The other fields belong to the host. Strings are made with "REALBuildString" and released
 * with "REALUnlockString". */
typedef struct FrameworkString {
    intptr_t refCount;   /* references held; the record is freed when it drops to 0 */
    char *text;          /* length byte, then the bytes, then a NUL */
    intptr_t bufferSize; /* bytes allocated behind `text` */
    intptr_t length;     /* byte length of the text */
    intptr_t encoding;   /* text encoding, see kEncoding* below */
} FrameworkString;

/* Text encodings, as the platform numbers them. */
#define kEncodingMacRoman 0x0000
#define kEncodingASCII 0x0600
#define kEncodingUTF8 0x08000100
#define kEncodingNone 0xFFFF /* raw bytes: data, not text */

/* A method or global function: 4 words. `setter` is 0 in every record; `flags` is
 * kMethodFlagsDefault. */
typedef struct PluginMethodDefinition {
    void *function;
    void *setter;
    const char *declaration; /* the binding key, e.g. "InitZip(level as integer)" */
    intptr_t flags;
} PluginMethodDefinition;

/* The short method record (3 words) that a plug-in registers with a host whose version
 * ("REALGetRBVersion") is below 5.9. Global functions always use the full record. */
typedef struct PluginMethodDefinitionShort {
    void *function;
    void *setter;
    const char *declaration;
} PluginMethodDefinitionShort;

#define kMethodFlagsDefault 4

/* The getter or setter value that asks the host to read or write, itself, the int32_t at
 * (data block + parameter). A setter of NULL makes the property read-only. */
#define kPropertyDirect ((void *)(intptr_t)-1)

/* A property: 10 words. `type` is "Integer", "String" or "Boolean"; `flags` is
 * kPropertyFlagsDefault. Function accessors: getter(instance, parameter) returns the value,
 * setter(instance, parameter, value). */
typedef struct PluginPropertyDefinition {
    const char *group; /* NULL */
    const char *name;
    const char *type;
    intptr_t flags;
    void *getter;
    void *setter;
    intptr_t parameter;
    intptr_t reserved[3];
} PluginPropertyDefinition;

#define kPropertyFlagsDefault 6

/* A class: 32 words (256 bytes on 64-bit platforms). */
typedef struct PluginClassDefinition {
    intptr_t version;        /* kPluginInterfaceVersion */
    const char *name;        /* class name, the first half of every binding key */
    const char *superName;   /* NULL: no superclass */
    intptr_t dataSize;       /* bytes of the plug-in's data block in each instance */
    intptr_t dataOffset;     /* 0 as stored; the host writes the data block's offset here */
    void *constructor;       /* void (*)(void *instance), or NULL */
    void *destructor;        /* void (*)(void *instance), or NULL */
    PluginPropertyDefinition *properties;
    intptr_t propertyCount;
    void *methods;           /* PluginMethodDefinition[], or the short form for old hosts */
    intptr_t methodCount;
    intptr_t reserved1[9];
    intptr_t flags;          /* kClassFlagsDefault */
    intptr_t reserved2[11];
} PluginClassDefinition;

#define kClassFlagsDefault 4

/* ---- Framework services, by the name the resolver takes ---------------------------------
 *
 * "RegisterPluginVersion"   void (int32_t version)
 *      Announces the interface version; called first, once.
 * "PluginRegisterClass"     void (PluginClassDefinition *record)
 *      Registers a class. The host keeps the record, writes its dataOffset, and records its
 *      methods under "ClassName.declaration", its constructor under "ClassName.__init", its
 *      destructor under "ClassName.__exit" and its function accessors under
 *      "ClassName.Property.Get" / "ClassName.Property.Set". Direct properties get no key.
 * "PluginRegisterMethod"    void (PluginMethodDefinition *record)
 *      Registers a global function under its declaration text.
 * "REALGetRBVersion"        double (void)
 *      The host's version; this host reports 6.0.
 * "REALBuildString"         FrameworkString *(const void *bytes, intptr_t length)
 *      A new string holding a copy of the bytes, with one reference for the caller, encoding
 *      kEncodingUTF8; NULL when bytes is NULL or length is 0 or negative (or memory runs out).
 * "REALSetStringEncoding"   void (FrameworkString *s, uint32_t encoding)
 * "REALUnlockString"        void (FrameworkString *s)
 *      Releases one reference; NULL is ignored.
 * "memoryBlockGetPtr"       void *(void *memoryBlock)
 *      The memory block's data, NULL for a NULL block.
 * "REALFolderItemNativePath" char *(void *folderItem)
 *      The item's absolute native path, UTF-8, allocated with malloc (the caller frees it),
 *      for an existing item or for a not-yet-existing item in an existing folder; NULL for a
 *      NULL item or when the item's folder does not exist. This host has no platform file
 *      references: "REALFSRefFromFolderItem" and "REALFSSpecFromFolderItem" resolve to NULL.
 * "REALFolderItemFromNativePath" void *(const char *path)
 *      A new folder item for an absolute UTF-8 path (the file need not exist), with one
 *      reference for the caller; NULL for NULL, an empty or a relative path.
 * "REALUnlockObject"        void (void *object)
 *      Releases one reference of a framework object; NULL is ignored. A plug-in object handed
 *      over by its instance pointer is released too.
 */

/* The one symbol a plug-in exports. */
typedef void (*PluginMainFunction)(PluginEntryResolver resolver);

#if defined(__GNUC__)
#define RB_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define RB_PLUGIN_EXPORT
#endif

#ifdef __cplusplus
}
#endif

#endif /* RB_PLUGIN_H */
