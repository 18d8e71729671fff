/* compressor-gzip.c -- GZipFileWQX (documented in compressor.h). */
#include "compressor.h"

#include <stdio.h>
#include <stdlib.h>
#include <zlib.h>

/* Read grows its buffer in steps from this size up to the count asked for, so a large count
   on a short file costs only what the file holds. */
#define READ_STEP 65536u

/* Writes go to zlib in chunks that its int result can count. */
#define WRITE_STEP (1u << 30)

typedef struct GZipFileData {
    int32_t Handle;
    int32_t Lasterror;
    gzFile file;
    int transparent; /* written as it stands ("wT"): zlib made no deflate stream for it */
} GZipFileData;

static PluginClassDefinition GZipFileWQXRecord;

static GZipFileData *gzip_data(void *instance) {
    return PLUGIN_DATA(GZipFileData, instance, GZipFileWQXRecord);
}

/* The number shown in Handle for the next file opened: never 0, which means no file. */
static int32_t next_handle(void) {
    static int32_t last;
    last = last < INT32_MAX ? last + 1 : 1;
    return last;
}

static void GZipFileWQX_Constructor(void *instance) { (void)instance; }

static void GZipFileWQX_Close(void *instance) {
    GZipFileData *d = gzip_data(instance);
    if (d->file != NULL) {
        d->Lasterror = gzclose(d->file);
        d->file = NULL;
        d->transparent = 0;
        d->Handle = 0;
    } else {
        d->Lasterror = 0;
    }
}

static int32_t GZipFileWQX_Open(void *instance, void *file, FrameworkString *mode) {
    GZipFileData *d = gzip_data(instance);
    StringBytes modeText = string_bytes(mode);
    char *path;
    gzFile opened;
    int writing;

    if (d->file != NULL) {
        GZipFileWQX_Close(instance);
        if (d->Lasterror != 0)
            return 0;
    }
    if (d->Lasterror != 0)
        return 0;
    d->Lasterror = -1;

    if (file == NULL)
        return 0;
    path = FolderItemToPosixPath(file);
    if (path == NULL)
        return 0;
    /* The mode goes to zlib as a C text, ending at the NUL the host keeps after every text. */
    opened = gzopen(path, modeText.bytes != NULL ? (const char *)modeText.bytes : "rb");
    free(path);
    if (opened == NULL)
        return 0;

    /* zlib sets up a file's write buffers at its first write, and a seek before that would have
       it compress a buffer it never cleared for the zeros up to the new position: the buffers
       are set up now, by a flush that writes nothing. A file open for reading refuses it and is
       left as it was; one whose set-up fails keeps the error, which its writes then report. */
    writing = gzflush(opened, Z_NO_FLUSH) == Z_OK;
    /* gzdirect is asked only of a file being written: of one being read it would read ahead. */
    d->transparent = writing && gzdirect(opened);
    d->Lasterror = 0;
    d->file = opened;
    d->Handle = next_handle();
    return 1;
}

static void GZipFileWQX_Write(void *instance, FrameworkString *data) {
    GZipFileData *d = gzip_data(instance);
    StringBytes b = string_bytes(data);
    size_t done = 0;

    d->Lasterror = -1;
    if (d->file == NULL || b.bytes == NULL)
        return;
    while (done < b.length) {
        size_t left = b.length - done;
        unsigned chunk = left < WRITE_STEP ? (unsigned)left : WRITE_STEP;
        if (gzwrite(d->file, b.bytes + done, chunk) != (int)chunk)
            return;
        done += chunk;
    }
    d->Lasterror = 0;
}

static FrameworkString *GZipFileWQX_Read(void *instance, int32_t count) {
    GZipFileData *d = gzip_data(instance);
    size_t wanted, have = 0, capacity;
    unsigned char *buffer;
    FrameworkString *result;

    d->Lasterror = -1;
    if (d->file == NULL || count <= 0)
        return NULL;
    wanted = (size_t)count;
    capacity = wanted < READ_STEP ? wanted : READ_STEP;
    buffer = (unsigned char *)malloc(capacity);
    if (buffer == NULL)
        return NULL;

    /* Fill the buffer, doubling it while the file has more, until the count or the end. */
    while (have < wanted) {
        int n;
        if (have == capacity) {
            size_t larger = capacity * 2 < wanted ? capacity * 2 : wanted;
            unsigned char *grown = (unsigned char *)realloc(buffer, larger);
            if (grown == NULL) {
                free(buffer);
                return NULL;
            }
            buffer = grown;
            capacity = larger;
        }
        n = gzread(d->file, buffer + have, (unsigned)(capacity - have));
        if (n < 0) {
            free(buffer);
            return NULL;
        }
        if (n == 0)
            break;
        have += (size_t)n;
    }

    d->Lasterror = 0;
    result = BuildFrameworkString(buffer, have, kEncodingNone);
    free(buffer);
    return result;
}

static void GZipFileWQX_WriteByte(void *instance, int32_t value) {
    GZipFileData *d = gzip_data(instance);
    d->Lasterror = -1;
    if (d->file != NULL && gzputc(d->file, value) != -1)
        d->Lasterror = 0;
}

static int32_t GZipFileWQX_ReadByte(void *instance) {
    GZipFileData *d = gzip_data(instance);
    d->Lasterror = -1;
    return d->file != NULL ? gzgetc(d->file) : -1;
}

static void GZipFileWQX_SetParameter(void *instance, int32_t level, int32_t strategy) {
    GZipFileData *d = gzip_data(instance);
    if (d->file == NULL)
        d->Lasterror = -1;
    else if (d->transparent)
        /* A transparent file has no parameters to set, and zlib 1.2.13's gzsetparams would set
           them on the deflate stream it never made for it. Z_STREAM_ERROR is zlib's own answer
           for a file that takes none (one open for reading) and what later zlib versions give
           for a transparent one, so callers see one code whichever zlib they run on. */
        d->Lasterror = Z_STREAM_ERROR;
    else
        d->Lasterror = gzsetparams(d->file, level, strategy);
}

static void GZipFileWQX_Flush(void *instance, int32_t flush) {
    GZipFileData *d = gzip_data(instance);
    d->Lasterror = d->file != NULL ? gzflush(d->file, flush) : -1;
}

static void GZipFileWQX_Rewind(void *instance) {
    GZipFileData *d = gzip_data(instance);
    d->Lasterror = d->file != NULL ? gzrewind(d->file) : -1;
}

static int32_t GZipFileWQX_EOF(void *instance, intptr_t parameter) {
    GZipFileData *d = gzip_data(instance);
    (void)parameter;
    d->Lasterror = -1;
    return d->file != NULL ? gzeof(d->file) == 1 : 1;
}

static FrameworkString *GZipFileWQX_ErrorMessage(void *instance, intptr_t parameter) {
    GZipFileData *d = gzip_data(instance);
    int code;
    (void)parameter;
    d->Lasterror = -1;
    return d->file != NULL ? BuildFrameworkText(gzerror(d->file, &code), kEncodingASCII) : NULL;
}

static int32_t GZipFileWQX_ErrorCode(void *instance, intptr_t parameter) {
    GZipFileData *d = gzip_data(instance);
    int code = -1;
    (void)parameter;
    d->Lasterror = -1;
    if (d->file != NULL)
        gzerror(d->file, &code);
    return code;
}

/* A position past the int32 range shows as the largest one, never as the -1 of an error. */
static int32_t GZipFileWQX_GetPosition(void *instance, intptr_t parameter) {
    GZipFileData *d = gzip_data(instance);
    z_off_t position;
    (void)parameter;
    if (d->file == NULL)
        return -1;
    position = gztell(d->file);
    return position > INT32_MAX ? INT32_MAX : (int32_t)position;
}

static void GZipFileWQX_SetPosition(void *instance, intptr_t parameter, int32_t value) {
    GZipFileData *d = gzip_data(instance);
    (void)parameter;
    if (d->file != NULL)
        (void)gzseek(d->file, value, SEEK_SET);
}

/* ---- Registration records ----------------------------------------------------------------- */

static PluginMethodDefinition GZipFileWQXMethods[] = {
    METHOD(GZipFileWQX_Open, "Open(file as folderitem, mode as string) as boolean"),
    METHOD(GZipFileWQX_Close, "Close"),
    METHOD(GZipFileWQX_Write, "Write(data as string)"),
    METHOD(GZipFileWQX_Read, "Read(data as integer) as string"),
    METHOD(GZipFileWQX_WriteByte, "WriteByte(data as integer)"),
    METHOD(GZipFileWQX_ReadByte, "ReadByte as integer"),
    METHOD(GZipFileWQX_SetParameter, "SetParameter(level as integer, strategy as integer)"),
    METHOD(GZipFileWQX_Flush, "Flush(flush as integer)"),
    METHOD(GZipFileWQX_Rewind, "Rewind"),
    METHOD(SharedAdler32, "Adler32(start as integer, data as string) as integer"),
    METHOD(SharedCRC32, "CRC32(start as integer, data as string) as integer"),
};

static PluginPropertyDefinition GZipFileWQXProperties[] = {
    DIRECT_PROPERTY("Handle", "Integer", offsetof(GZipFileData, Handle)),
    DIRECT_PROPERTY("Lasterror", "Integer", offsetof(GZipFileData, Lasterror)),
    PROPERTY("Version", "String", SharedVersion, NULL),
    PROPERTY("EOF", "Boolean", GZipFileWQX_EOF, NULL),
    PROPERTY("ErrorMessage", "String", GZipFileWQX_ErrorMessage, NULL),
    PROPERTY("ErrorCode", "Integer", GZipFileWQX_ErrorCode, NULL),
    PROPERTY("Position", "Integer", GZipFileWQX_GetPosition, GZipFileWQX_SetPosition),
};

static PluginClassDefinition GZipFileWQXRecord = {
    .version = kPluginInterfaceVersion,
    .name = "GZipFileWQX",
    .superName = NULL,
    .dataSize = sizeof(GZipFileData),
    .dataOffset = 0,
    .constructor = (void *)GZipFileWQX_Constructor,
    .destructor = (void *)GZipFileWQX_Close,
    .properties = GZipFileWQXProperties,
    .propertyCount = COUNT_OF(GZipFileWQXProperties),
    .methods = GZipFileWQXMethods,
    .methodCount = COUNT_OF(GZipFileWQXMethods),
    .flags = kClassFlagsDefault,
};

PluginClass GZipFileWQXClass = {&GZipFileWQXRecord, GZipFileWQXMethods, NULL};
