/* compressor-zstream.c -- ZLibCompressWQX and ZLibDecompressWQX (documented in compressor.h). */
#include "compressor.h"

#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#define INPUT_WINDOW_SIZE 65536u
#define OUTPUT_WINDOW_SIZE 131072u

/* The zlib version and stream record size the plug-in is built against. */
#define ZLIB_BUILD_VERSION "1.2.3"

/* The data block both classes share. The host reads and writes the three integers itself, at
   the offsets that the property records name. */
typedef struct ZStreamData {
    int32_t Error;
    int32_t TotalInput;  /* low 32 bits of zstream.total_in */
    int32_t TotalOutput; /* low 32 bits of zstream.total_out */
    int32_t reserved;
    z_stream zstream;
    unsigned char *inputWindow;
    unsigned char *outputWindow;
} ZStreamData;

typedef struct ZLibCompressData {
    ZStreamData stream;
    FrameworkString *versionText; /* zlib's version text, Mac Roman; kept, not read */
} ZLibCompressData;

typedef ZStreamData ZLibDecompressData;

static PluginClassDefinition ZLibCompressWQXRecord;
static PluginClassDefinition ZLibDecompressWQXRecord;

static ZStreamData *compress_data(void *instance) {
    return &PLUGIN_DATA(ZLibCompressData, instance, ZLibCompressWQXRecord)->stream;
}

static ZStreamData *decompress_data(void *instance) {
    return PLUGIN_DATA(ZLibDecompressData, instance, ZLibDecompressWQXRecord);
}

/* ---- What both classes do ------------------------------------------------------------------ */

typedef int (*StreamEnd)(z_streamp stream);

static int32_t low32(uLong counter) { return (int32_t)(uint32_t)(counter & 0xFFFFFFFFu); }

/* A counter the caller wrote since the last step becomes the stream's counter. */
static void take_counters(ZStreamData *d) {
    if (d->TotalInput != low32(d->zstream.total_in))
        d->zstream.total_in = (uLong)(uint32_t)d->TotalInput;
    if (d->TotalOutput != low32(d->zstream.total_out))
        d->zstream.total_out = (uLong)(uint32_t)d->TotalOutput;
}

static void show_counters(ZStreamData *d) {
    d->TotalInput = low32(d->zstream.total_in);
    d->TotalOutput = low32(d->zstream.total_out);
}

/* Both windows empty: the stream reads from the start of the input window and writes to the
   start of the output window. */
static void reset_windows(ZStreamData *d) {
    d->zstream.next_in = d->inputWindow;
    d->zstream.avail_in = 0;
    d->zstream.next_out = d->outputWindow;
    d->zstream.avail_out = d->outputWindow != NULL ? OUTPUT_WINDOW_SIZE : 0;
}

/* The windows are set up empty already here, so that GetOutput and OutputSize before the
   first InitZip see an empty output window. A missing window is not reported; the methods
   that need it give their failure results. */
static void stream_construct(ZStreamData *d) {
    d->inputWindow = (unsigned char *)calloc(INPUT_WINDOW_SIZE, 1);
    d->outputWindow = (unsigned char *)calloc(OUTPUT_WINDOW_SIZE, 1);
    reset_windows(d);
}

/* zlib sets state back to NULL when it ends a stream or fails to start one. */
static int stream_is_open(const ZStreamData *d) { return d->zstream.state != NULL; }

/* A stream still open is ended first: its state would leak, and it points into the windows
   freed here. */
static void stream_close(ZStreamData *d, StreamEnd end) {
    if (stream_is_open(d))
        end(&d->zstream);
    free(d->inputWindow);
    d->inputWindow = NULL;
    free(d->outputWindow);
    d->outputWindow = NULL;
    reset_windows(d);
}

/* Readies the windows for a new stream; a stream still open from an earlier InitZip is ended
   so that its state does not leak. False, with Error set, when there are no windows. */
static int stream_begin(ZStreamData *d, StreamEnd end) {
    if (d->inputWindow == NULL || d->outputWindow == NULL) {
        d->Error = Z_STREAM_ERROR;
        return 0;
    }
    if (stream_is_open(d))
        end(&d->zstream);
    reset_windows(d);
    return 1;
}

static int32_t stream_set_input(ZStreamData *d, FrameworkString *data) {
    StringBytes input = string_bytes(data);
    if (input.bytes == NULL || input.length == 0 || input.length > INPUT_WINDOW_SIZE ||
        d->inputWindow == NULL)
        return 0;
    memcpy(d->inputWindow, input.bytes, input.length);
    d->zstream.next_in = d->inputWindow;
    d->zstream.avail_in = (uInt)input.length;
    return 1;
}

static void stream_step(ZStreamData *d, int (*step)(z_streamp, int)) {
    take_counters(d);
    d->Error = step(&d->zstream, Z_NO_FLUSH);
    show_counters(d);
}

static FrameworkString *stream_get_output(ZStreamData *d) {
    FrameworkString *output;
    size_t waiting;

    if (d->outputWindow == NULL || d->zstream.avail_out >= OUTPUT_WINDOW_SIZE)
        return NULL;
    waiting = OUTPUT_WINDOW_SIZE - d->zstream.avail_out;
    output = BuildFrameworkString(d->outputWindow, waiting, kEncodingNone);
    d->zstream.next_out = d->outputWindow;
    d->zstream.avail_out = OUTPUT_WINDOW_SIZE;
    return output;
}

static int32_t stream_output_size(const ZStreamData *d) {
    if (d->outputWindow == NULL)
        return 0;
    return (int32_t)(OUTPUT_WINDOW_SIZE - d->zstream.avail_out);
}

static FrameworkString *stream_error_message(const ZStreamData *d) {
    return BuildFrameworkText(d->zstream.msg, kEncodingMacRoman);
}

/* ---- ZLibCompressWQX ---------------------------------------------------------------------- */

static void ZLibCompressWQX_Constructor(void *instance) {
    ZLibCompressData *d = PLUGIN_DATA(ZLibCompressData, instance, ZLibCompressWQXRecord);
    d->versionText = BuildFrameworkText(zlibVersion(), kEncodingMacRoman);
    stream_construct(&d->stream);
}

static void ZLibCompressWQX_Close(void *instance) {
    ZLibCompressData *d = PLUGIN_DATA(ZLibCompressData, instance, ZLibCompressWQXRecord);
    host_unlock_string(d->versionText);
    d->versionText = NULL;
    stream_close(&d->stream, deflateEnd);
}

static void ZLibCompressWQX_InitZip(void *instance, int32_t level) {
    ZStreamData *d = compress_data(instance);
    if (!stream_begin(d, deflateEnd))
        return;
    d->Error = deflateInit_(&d->zstream, level, ZLIB_BUILD_VERSION, (int)sizeof(z_stream));
    show_counters(d);
}

static void ZLibCompressWQX_ProcessZip(void *instance) {
    stream_step(compress_data(instance), deflate);
}

/* When the finished stream does not fit, ending it would drop the rest; it stays open for the
   caller to drain the window and finish. */
static void ZLibCompressWQX_EndZip(void *instance) {
    ZStreamData *d = compress_data(instance);
    int result;

    take_counters(d);
    result = deflate(&d->zstream, Z_FINISH);
    if (result == Z_STREAM_END)
        d->Error = deflateEnd(&d->zstream);
    else if (result == Z_OK)
        d->Error = Z_BUF_ERROR;
    else
        d->Error = result;
    show_counters(d);
}

static int32_t ZLibCompressWQX_SetInput(void *instance, FrameworkString *data) {
    return stream_set_input(compress_data(instance), data);
}

static FrameworkString *ZLibCompressWQX_GetOutput(void *instance) {
    return stream_get_output(compress_data(instance));
}

static int32_t ZLibCompressWQX_InputAvail(void *instance) {
    return (int32_t)compress_data(instance)->zstream.avail_in;
}

static int32_t ZLibCompressWQX_OutputSize(void *instance) {
    return stream_output_size(compress_data(instance));
}

static FrameworkString *ZLibCompressWQX_ErrorMessage(void *instance, intptr_t parameter) {
    (void)parameter;
    return stream_error_message(compress_data(instance));
}

static int32_t ZLibCompressWQX_CRC(void *instance, intptr_t parameter) {
    (void)parameter;
    return low32(compress_data(instance)->zstream.adler);
}

/* ---- ZLibDecompressWQX -------------------------------------------------------------------- */

static void ZLibDecompressWQX_Constructor(void *instance) {
    stream_construct(decompress_data(instance));
}

static void ZLibDecompressWQX_Close(void *instance) {
    stream_close(decompress_data(instance), inflateEnd);
}

static void ZLibDecompressWQX_InitZip(void *instance) {
    ZStreamData *d = decompress_data(instance);
    if (!stream_begin(d, inflateEnd))
        return;
    d->Error = inflateInit_(&d->zstream, ZLIB_BUILD_VERSION, (int)sizeof(z_stream));
    show_counters(d);
}

static void ZLibDecompressWQX_ProcessZip(void *instance) {
    stream_step(decompress_data(instance), inflate);
}

static void ZLibDecompressWQX_EndZip(void *instance) {
    ZStreamData *d = decompress_data(instance);
    take_counters(d);
    d->Error = inflateEnd(&d->zstream);
    show_counters(d);
}

static int32_t ZLibDecompressWQX_SetInput(void *instance, FrameworkString *data) {
    return stream_set_input(decompress_data(instance), data);
}

static FrameworkString *ZLibDecompressWQX_GetOutput(void *instance) {
    return stream_get_output(decompress_data(instance));
}

static int32_t ZLibDecompressWQX_InputAvail(void *instance) {
    return (int32_t)decompress_data(instance)->zstream.avail_in;
}

static int32_t ZLibDecompressWQX_OutputSize(void *instance) {
    return stream_output_size(decompress_data(instance));
}

static FrameworkString *ZLibDecompressWQX_ErrorMessage(void *instance, intptr_t parameter) {
    (void)parameter;
    return stream_error_message(decompress_data(instance));
}

/* ---- Registration records ----------------------------------------------------------------- */

static PluginMethodDefinition ZLibCompressWQXMethods[] = {
    METHOD(ZLibCompressWQX_Close, "Close"),
    METHOD(ZLibCompressWQX_ProcessZip, "ProcessZip"),
    METHOD(ZLibCompressWQX_EndZip, "EndZip"),
    METHOD(ZLibCompressWQX_InitZip, "InitZip(level as integer)"),
    METHOD(ZLibCompressWQX_SetInput, "SetInput(data as string) as boolean"),
    METHOD(ZLibCompressWQX_GetOutput, "GetOutput as string"),
    METHOD(ZLibCompressWQX_InputAvail, "InputAvail as integer"),
    METHOD(ZLibCompressWQX_OutputSize, "OutputSize as integer"),
    METHOD(SharedAdler32, "Adler32(start as integer, data as string) as integer"),
    METHOD(SharedCRC32, "CRC32(start as integer, data as string) as integer"),
};

static PluginPropertyDefinition ZLibCompressWQXProperties[] = {
    DIRECT_PROPERTY("TotalInput", "Integer", offsetof(ZLibCompressData, stream.TotalInput)),
    DIRECT_PROPERTY("TotalOutput", "Integer", offsetof(ZLibCompressData, stream.TotalOutput)),
    DIRECT_PROPERTY("Error", "Integer", offsetof(ZLibCompressData, stream.Error)),
    PROPERTY("Version", "String", SharedVersion, NULL),
    PROPERTY("ErrorMessage", "String", ZLibCompressWQX_ErrorMessage, NULL),
    PROPERTY("CRC", "Integer", ZLibCompressWQX_CRC, NULL),
};

static PluginClassDefinition ZLibCompressWQXRecord = {
    .version = kPluginInterfaceVersion,
    .name = "ZLibCompressWQX",
    .superName = NULL,
    .dataSize = sizeof(ZLibCompressData),
    .dataOffset = 0,
    .constructor = (void *)ZLibCompressWQX_Constructor,
    .destructor = (void *)ZLibCompressWQX_Close,
    .properties = ZLibCompressWQXProperties,
    .propertyCount = COUNT_OF(ZLibCompressWQXProperties),
    .methods = ZLibCompressWQXMethods,
    .methodCount = COUNT_OF(ZLibCompressWQXMethods),
    .flags = kClassFlagsDefault,
};

PluginClass ZLibCompressWQXClass = {&ZLibCompressWQXRecord, ZLibCompressWQXMethods, NULL};

static PluginMethodDefinition ZLibDecompressWQXMethods[] = {
    METHOD(ZLibDecompressWQX_Close, "Close"),
    METHOD(ZLibDecompressWQX_ProcessZip, "ProcessZip"),
    METHOD(ZLibDecompressWQX_EndZip, "EndZip"),
    METHOD(ZLibDecompressWQX_InitZip, "InitZip"),
    METHOD(ZLibDecompressWQX_SetInput, "SetInput(data as string) as boolean"),
    METHOD(ZLibDecompressWQX_GetOutput, "GetOutput as string"),
    METHOD(ZLibDecompressWQX_InputAvail, "InputAvail as integer"),
    METHOD(ZLibDecompressWQX_OutputSize, "OutputSize as integer"),
    METHOD(SharedAdler32, "Adler32(start as integer, data as string) as integer"),
    METHOD(SharedCRC32, "CRC32(start as integer, data as string) as integer"),
};

static PluginPropertyDefinition ZLibDecompressWQXProperties[] = {
    DIRECT_PROPERTY("TotalInput", "Integer", offsetof(ZLibDecompressData, TotalInput)),
    DIRECT_PROPERTY("TotalOutput", "Integer", offsetof(ZLibDecompressData, TotalOutput)),
    DIRECT_PROPERTY("Error", "Integer", offsetof(ZLibDecompressData, Error)),
    PROPERTY("ErrorMessage", "String", ZLibDecompressWQX_ErrorMessage, NULL),
    PROPERTY("Version", "String", SharedVersion, NULL),
};

static PluginClassDefinition ZLibDecompressWQXRecord = {
    .version = kPluginInterfaceVersion,
    .name = "ZLibDecompressWQX",
    .superName = NULL,
    .dataSize = sizeof(ZLibDecompressData),
    .dataOffset = 0,
    .constructor = (void *)ZLibDecompressWQX_Constructor,
    .destructor = (void *)ZLibDecompressWQX_Close,
    .properties = ZLibDecompressWQXProperties,
    .propertyCount = COUNT_OF(ZLibDecompressWQXProperties),
    .methods = ZLibDecompressWQXMethods,
    .methodCount = COUNT_OF(ZLibDecompressWQXMethods),
    .flags = kClassFlagsDefault,
};

PluginClass ZLibDecompressWQXClass = {&ZLibDecompressWQXRecord, ZLibDecompressWQXMethods, NULL};
