/* testplugin.c -- a tiny plug-in for the host's tests.
 *
 * Class "TestWQX" (data block: struct TestData) with
 *   - a direct read-write integer property "Counter" (offset 0) and a direct read-only one
 *     "Fixed" (offset 4);
 *   - a function property "Stored" (getter and setter, the int32 at offset 8) and a read-only
 *     string property "Title";
 *   - methods taking and returning integers and strings, and using the memory-block and
 *     folder-item services;
 *   - a constructor that notes whether its data block arrived zeroed, and a destructor that
 *     counts its runs in a global.
 * Global functions report the destructor count, the host version and missing services.
 * Only REALPluginMain is exported. */
#include "rb/plugin.h"

#include <stdlib.h>
#include <string.h>

typedef void *(*BuildStringFn)(const void *, intptr_t);
typedef void (*SetEncodingFn)(FrameworkString *, uint32_t);
typedef void (*UnlockStringFn)(FrameworkString *);

static PluginEntryResolver gResolver;
static int32_t gDestructorRuns;
static int32_t gConstructorRuns;

struct TestData {
    int32_t counter;       /* 0: direct, read-write */
    int32_t fixed;         /* 4: direct, read-only */
    int32_t stored;        /* 8: behind the function property "Stored" */
    int32_t sawZeroed;     /* 12: 1 when the constructor found the block zeroed */
    FrameworkString *name; /* 16: kept by SetName */
    int32_t magic;         /* 24: set by the constructor */
    int32_t pad;
};

static PluginClassDefinition gTestClass;

static struct TestData *Data(void *instance) {
    return (struct TestData *)((char *)instance + gTestClass.dataOffset);
}

static void *Service(const char *name) { return gResolver ? gResolver(name) : NULL; }

static FrameworkString *Build(const char *bytes, intptr_t length) {
    BuildStringFn build = (BuildStringFn)Service("REALBuildString");
    SetEncodingFn setEncoding = (SetEncodingFn)Service("REALSetStringEncoding");
    FrameworkString *s;
    if (!build || !bytes || length <= 0)
        return NULL;
    s = (FrameworkString *)build(bytes, length);
    if (s && setEncoding)
        setEncoding(s, kEncodingNone);
    return s;
}

static void Unlock(FrameworkString *s) {
    UnlockStringFn unlock = (UnlockStringFn)Service("REALUnlockString");
    if (unlock && s)
        unlock(s);
}

static intptr_t Length(const FrameworkString *s) { return s ? s->length : 0; }
static const char *Bytes(const FrameworkString *s) { return s ? s->text + 1 : ""; }

/* ---- TestWQX ---------------------------------------------------------------------------- */

static void TestInit(void *instance) {
    struct TestData *d = Data(instance);
    const unsigned char *bytes = (const unsigned char *)d;
    int zeroed = 1;
    for (intptr_t i = 0; i < gTestClass.dataSize; ++i)
        if (bytes[i] != 0)
            zeroed = 0;
    d->sawZeroed = zeroed;
    d->fixed = 77;
    d->magic = 0x1234;
    ++gConstructorRuns;
}

static void TestExit(void *instance) {
    struct TestData *d = Data(instance);
    Unlock(d->name);
    d->name = NULL;
    ++gDestructorRuns;
}

static int32_t TestAdd(void *instance, int32_t a, int32_t b) {
    (void)instance;
    return (int32_t)((uint32_t)a + (uint32_t)b);
}

static FrameworkString *TestEcho(void *instance, FrameworkString *s) {
    (void)instance;
    return Build(Bytes(s), Length(s));
}

static int32_t TestLength(void *instance, FrameworkString *s) {
    (void)instance;
    return (int32_t)Length(s);
}

static FrameworkString *TestConcat(void *instance, FrameworkString *a, FrameworkString *b) {
    intptr_t la = Length(a), lb = Length(b);
    char *buf;
    FrameworkString *out;
    (void)instance;
    if (la + lb == 0)
        return NULL;
    buf = (char *)malloc((size_t)(la + lb));
    if (!buf)
        return NULL;
    memcpy(buf, Bytes(a), (size_t)la);
    memcpy(buf + la, Bytes(b), (size_t)lb);
    out = Build(buf, la + lb);
    free(buf);
    return out;
}

/* A text of n copies of the byte c (n may exceed 255). */
static FrameworkString *TestRepeat(void *instance, int32_t c, int32_t n) {
    char *buf;
    FrameworkString *out;
    (void)instance;
    if (n <= 0)
        return NULL;
    buf = (char *)malloc((size_t)n);
    if (!buf)
        return NULL;
    memset(buf, c, (size_t)n);
    out = Build(buf, n);
    free(buf);
    return out;
}

static void TestSetName(void *instance, FrameworkString *s) {
    struct TestData *d = Data(instance);
    Unlock(d->name);
    d->name = Build(Bytes(s), Length(s));
}

static FrameworkString *TestGetName(void *instance) {
    struct TestData *d = Data(instance);
    return Build(Bytes(d->name), Length(d->name));
}

static int32_t TestGetCounter(void *instance) { return Data(instance)->counter; }
static int32_t TestMagic(void *instance) { return Data(instance)->magic; }
static int32_t TestSawZeroed(void *instance) { return Data(instance)->sawZeroed; }

static int32_t TestBlockSum(void *instance, void *block, int32_t count) {
    typedef void *(*GetPtrFn)(void *);
    GetPtrFn getPtr = (GetPtrFn)Service("memoryBlockGetPtr");
    const unsigned char *p;
    int32_t sum = 0;
    (void)instance;
    if (!getPtr)
        return -1;
    p = (const unsigned char *)getPtr(block);
    if (!p)
        return -1;
    for (int32_t i = 0; i < count; ++i)
        sum += p[i];
    return sum;
}

static FrameworkString *TestNativePath(void *instance, void *folderItem) {
    typedef char *(*NativePathFn)(void *);
    NativePathFn nativePath = (NativePathFn)Service("REALFolderItemNativePath");
    char *path;
    FrameworkString *out;
    (void)instance;
    if (!nativePath)
        return NULL;
    path = nativePath(folderItem);
    if (!path)
        return NULL;
    out = Build(path, (intptr_t)strlen(path));
    free(path);
    return out;
}

/* A folder item for the path, with one reference for the caller. */
static void *TestMakeItem(void *instance, FrameworkString *path) {
    typedef void *(*FromPathFn)(const char *);
    FromPathFn fromPath = (FromPathFn)Service("REALFolderItemFromNativePath");
    (void)instance;
    if (!fromPath)
        return NULL;
    return fromPath(path ? path->text + 1 : NULL);
}

/* Takes a folder item from the host and releases it at once through REALUnlockObject. */
static int32_t TestMakeAndDrop(void *instance, FrameworkString *path) {
    typedef void (*UnlockObjectFn)(void *);
    UnlockObjectFn unlock = (UnlockObjectFn)Service("REALUnlockObject");
    void *item = TestMakeItem(instance, path);
    if (!item || !unlock)
        return 0;
    unlock(item);
    return 1;
}

static int32_t TestStoredGet(void *instance, intptr_t parameter) {
    return *(int32_t *)((char *)Data(instance) + parameter);
}

static void TestStoredSet(void *instance, intptr_t parameter, int32_t value) {
    *(int32_t *)((char *)Data(instance) + parameter) = value * 2; /* visibly the setter's work */
}

static FrameworkString *TestTitleGet(void *instance, intptr_t parameter) {
    (void)instance;
    (void)parameter;
    return Build("Test Title", 10);
}

static PluginMethodDefinition gTestMethods[] = {
    {(void *)TestAdd, 0, "Add(a as integer, b as integer) as integer", kMethodFlagsDefault},
    {(void *)TestEcho, 0, "Echo(s as string) as string", kMethodFlagsDefault},
    {(void *)TestLength, 0, "Length(s as string) as integer", kMethodFlagsDefault},
    {(void *)TestConcat, 0, "Concat(a as string, b as string) as string", kMethodFlagsDefault},
    {(void *)TestRepeat, 0, "Repeat(c as integer, n as integer) as string", kMethodFlagsDefault},
    {(void *)TestSetName, 0, "SetName(s as string)", kMethodFlagsDefault},
    {(void *)TestGetName, 0, "GetName as string", kMethodFlagsDefault},
    {(void *)TestGetCounter, 0, "GetCounter as integer", kMethodFlagsDefault},
    {(void *)TestMagic, 0, "Magic as integer", kMethodFlagsDefault},
    {(void *)TestSawZeroed, 0, "SawZeroed as boolean", kMethodFlagsDefault},
    {(void *)TestBlockSum, 0, "BlockSum(m as memoryblock, n as integer) as integer",
     kMethodFlagsDefault},
    {(void *)TestNativePath, 0, "NativePath(f as folderitem) as string", kMethodFlagsDefault},
    {(void *)TestMakeItem, 0, "MakeItem(path as string) as folderitem", kMethodFlagsDefault},
    {(void *)TestMakeAndDrop, 0, "MakeAndDrop(path as string) as boolean", kMethodFlagsDefault},
};

static PluginPropertyDefinition gTestProperties[] = {
    {NULL,
     "Counter",
     "Integer",
     kPropertyFlagsDefault,
     kPropertyDirect,
     kPropertyDirect,
     0,
     {0, 0, 0}},
    {NULL, "Fixed", "Integer", kPropertyFlagsDefault, kPropertyDirect, NULL, 4, {0, 0, 0}},
    {NULL,
     "Stored",
     "Integer",
     kPropertyFlagsDefault,
     (void *)TestStoredGet,
     (void *)TestStoredSet,
     8,
     {0, 0, 0}},
    {NULL, "Title", "String", kPropertyFlagsDefault, (void *)TestTitleGet, NULL, 0, {0, 0, 0}},
};

static PluginClassDefinition gTestClass = {
    kPluginInterfaceVersion,
    "TestWQX",
    NULL,
    (intptr_t)sizeof(struct TestData),
    0,
    (void *)TestInit,
    (void *)TestExit,
    gTestProperties,
    (intptr_t)(sizeof gTestProperties / sizeof gTestProperties[0]),
    gTestMethods,
    (intptr_t)(sizeof gTestMethods / sizeof gTestMethods[0]),
    {0},
    kClassFlagsDefault,
    {0},
};

/* ---- Global functions ------------------------------------------------------------------- */

static int32_t DestructorRuns(void) { return gDestructorRuns; }
static int32_t ConstructorRuns(void) { return gConstructorRuns; }

static int32_t HostVersionTimesTen(void) {
    typedef double (*VersionFn)(void);
    VersionFn version = (VersionFn)Service("REALGetRBVersion");
    return version ? (int32_t)(version() * 10.0 + 0.5) : -1;
}

/* 1 when both platform file-reference services are missing, as this host promises. */
static int32_t NoFileReferences(void) {
    return Service("REALFSRefFromFolderItem") == NULL &&
           Service("REALFSSpecFromFolderItem") == NULL && Service("NoSuchService") == NULL;
}

static int32_t Twice(int32_t n) { return n * 2; }

static PluginMethodDefinition gGlobals[] = {
    {(void *)DestructorRuns, 0, "TestDestructorRunsWQX as integer", kMethodFlagsDefault},
    {(void *)ConstructorRuns, 0, "TestConstructorRunsWQX as integer", kMethodFlagsDefault},
    {(void *)HostVersionTimesTen, 0, "TestHostVersionWQX as integer", kMethodFlagsDefault},
    {(void *)NoFileReferences, 0, "TestNoFileReferencesWQX as boolean", kMethodFlagsDefault},
    {(void *)Twice, 0, "TestTwiceWQX(n as integer) as integer", kMethodFlagsDefault},
};

RB_PLUGIN_EXPORT void REALPluginMain(PluginEntryResolver resolver) {
    typedef void (*VersionFn)(int32_t);
    typedef void (*RegisterClassFn)(PluginClassDefinition *);
    typedef void (*RegisterMethodFn)(PluginMethodDefinition *);
    VersionFn registerVersion;
    RegisterClassFn registerClass;
    RegisterMethodFn registerMethod;

    gResolver = resolver;
    registerVersion = (VersionFn)Service("RegisterPluginVersion");
    registerClass = (RegisterClassFn)Service("PluginRegisterClass");
    registerMethod = (RegisterMethodFn)Service("PluginRegisterMethod");
    if (registerVersion)
        registerVersion(kPluginInterfaceVersion);
    if (registerClass)
        registerClass(&gTestClass);
    if (registerMethod)
        for (size_t i = 0; i < sizeof gGlobals / sizeof gGlobals[0]; ++i)
            registerMethod(&gGlobals[i]);
}
