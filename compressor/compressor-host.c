/* compressor-host.c -- the framework services the plug-in uses, strings across the interface,
   and the native path of a folder item. */
#include "compressor.h"

#include <stdlib.h>
#include <string.h>

static PluginEntryResolver resolver_slot;

/* A framework service and its cached entry point. */
typedef struct ServiceSlot {
    const char *name;
    void *entry;
} ServiceSlot;

static ServiceSlot register_class_service = {"PluginRegisterClass", NULL};
static ServiceSlot register_method_service = {"PluginRegisterMethod", NULL};
static ServiceSlot version_service = {"REALGetRBVersion", NULL};
static ServiceSlot build_string_service = {"REALBuildString", NULL};
static ServiceSlot set_encoding_service = {"REALSetStringEncoding", NULL};
static ServiceSlot unlock_string_service = {"REALUnlockString", NULL};
static ServiceSlot memory_block_service = {"memoryBlockGetPtr", NULL};
static ServiceSlot native_path_service = {"REALFolderItemNativePath", NULL};

/* The slot's entry point, asking the resolver while the slot is still empty. */
static void *resolve(ServiceSlot *slot) {
    if (slot->entry == NULL && resolver_slot != NULL)
        slot->entry = resolver_slot(slot->name);
    return slot->entry;
}

void host_set_resolver(PluginEntryResolver resolver) { resolver_slot = resolver; }

void host_register_class(PluginClassDefinition *record) {
    void (*registerClass)(PluginClassDefinition *) =
        (void (*)(PluginClassDefinition *))resolve(&register_class_service);
    if (registerClass != NULL)
        registerClass(record);
}

void host_register_method(PluginMethodDefinition *record) {
    void (*registerMethod)(PluginMethodDefinition *) =
        (void (*)(PluginMethodDefinition *))resolve(&register_method_service);
    if (registerMethod != NULL)
        registerMethod(record);
}

int host_version_below_5_9(void) {
    double (*version)(void) = (double (*)(void))resolve(&version_service);
    if (version == NULL)
        return 1;
    return version() < 5.9;
}

void host_unlock_string(FrameworkString *s) {
    void (*unlock)(FrameworkString *) =
        (void (*)(FrameworkString *))resolve(&unlock_string_service);
    if (s != NULL && unlock != NULL)
        unlock(s);
}

unsigned char *host_memory_block_ptr(void *memoryBlock) {
    void *(*getPtr)(void *) = (void *(*)(void *))resolve(&memory_block_service);
    if (memoryBlock == NULL || getPtr == NULL)
        return NULL;
    return (unsigned char *)getPtr(memoryBlock);
}

StringBytes string_bytes(const FrameworkString *s) {
    StringBytes b = {NULL, 0};
    /* The text pointer points at a length byte that only holds the low 8 bits of the length;
       the record's length field is the real one. */
    if (s == NULL || s->text == NULL || s->length < 0)
        return b;
    b.bytes = (const unsigned char *)s->text + 1;
    b.length = (size_t)s->length;
    return b;
}

FrameworkString *BuildFrameworkString(const void *bytes, size_t length, uint32_t encoding) {
    FrameworkString *(*build)(const void *, intptr_t) =
        (FrameworkString * (*)(const void *, intptr_t)) resolve(&build_string_service);
    void (*setEncoding)(FrameworkString *, uint32_t) =
        (void (*)(FrameworkString *, uint32_t))resolve(&set_encoding_service);
    FrameworkString *s;

    if (bytes == NULL || length == 0 || length > (size_t)INTPTR_MAX || build == NULL)
        return NULL;
    s = build(bytes, (intptr_t)length);
    if (s != NULL && setEncoding != NULL)
        setEncoding(s, encoding);
    return s;
}

FrameworkString *BuildFrameworkText(const char *text, uint32_t encoding) {
    return BuildFrameworkString(text, text != NULL ? strlen(text) : 0, encoding);
}

/* This platform has no file references: the host names a folder item's path itself, with the
   contract the plug-in needs (an existing item, or a new one in an existing folder). */
char *FolderItemToPosixPath(void *folderItem) {
    char *(*nativePath)(void *) = (char *(*)(void *))resolve(&native_path_service);
    char *path;

    if (folderItem == NULL || nativePath == NULL)
        return NULL;
    path = nativePath(folderItem);
    if (path != NULL && path[0] == '\0') {
        free(path);
        return NULL;
    }
    return path;
}
