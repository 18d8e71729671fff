/* compressor-functions.c -- the six global functions and the methods every class shares
   (documented in compressor.h). */
#include "compressor.h"

#include <limits.h>
#include <stdlib.h>
#include <zlib.h>

int32_t fold_checksum(ChecksumFunction function, int32_t start, const unsigned char *bytes,
                      size_t length) {
    uLong value = (uLong)(uint32_t)start;
    /* One call at least, so that no bytes still give zlib's answer for them; more calls when
       the length does not fit zlib's unsigned int. */
    do {
        unsigned chunk = length < UINT_MAX ? (unsigned)length : UINT_MAX;
        value = function(value, bytes, chunk);
        if (bytes != NULL)
            bytes += chunk;
        length -= chunk;
    } while (length > 0);
    return (int32_t)(uint32_t)value;
}

/* A nil string folds in no bytes: an empty buffer that is not NULL, for which zlib gives the
   start value back instead of the initial value. */
static const unsigned char no_bytes[1];

int32_t SharedAdler32(void *instance, int32_t start, FrameworkString *data) {
    StringBytes b = string_bytes(data);
    (void)instance;
    return fold_checksum(adler32, start, b.bytes != NULL ? b.bytes : no_bytes, b.length);
}

int32_t SharedCRC32(void *instance, int32_t start, FrameworkString *data) {
    StringBytes b = string_bytes(data);
    (void)instance;
    return fold_checksum(crc32, start, b.bytes != NULL ? b.bytes : no_bytes, b.length);
}

FrameworkString *SharedVersion(void *instance, intptr_t parameter) {
    (void)instance;
    (void)parameter;
    return BuildFrameworkText(zlibVersion(), kEncodingASCII);
}

static FrameworkString *CompressZLibWQX(FrameworkString *buf, int32_t level) {
    StringBytes input = string_bytes(buf);
    uLongf capacity, produced;
    unsigned char *output;
    FrameworkString *result = NULL;

    if (input.bytes == NULL || input.length > SIZE_MAX / 2)
        return NULL;
    /* An eighth more than the input and a little besides covers every level; zlib's own
       bound is taken when it asks for more. */
    capacity = input.length / 8 + input.length + 12;
    if (compressBound(input.length) > capacity)
        capacity = compressBound(input.length);
    output = (unsigned char *)malloc(capacity);
    if (output == NULL)
        return NULL;
    produced = capacity;
    if (compress2(output, &produced, input.bytes, input.length, level) == Z_OK)
        result = BuildFrameworkString(output, produced, kEncodingNone);
    free(output);
    return result;
}

static FrameworkString *DecompressZLibWQX(FrameworkString *buf, int32_t size) {
    StringBytes input = string_bytes(buf);
    uLongf capacity, produced;
    unsigned char *output;
    FrameworkString *result = NULL;

    if (input.bytes == NULL || size < 0)
        return NULL;
    /* 1,024 spare bytes take data a little larger than the caller expected. */
    capacity = (uLongf)size + 1024;
    output = (unsigned char *)malloc(capacity);
    if (output == NULL)
        return NULL;
    produced = capacity;
    if (uncompress(output, &produced, input.bytes, input.length) == Z_OK)
        result = BuildFrameworkString(output, produced, kEncodingNone);
    free(output);
    return result;
}

static int32_t CRC32StringWQX(int32_t crc, FrameworkString *buf) {
    StringBytes b = string_bytes(buf);
    return fold_checksum(crc32, crc, b.bytes, b.length);
}

static int32_t Adler32StringWQX(int32_t adler, FrameworkString *buf) {
    StringBytes b = string_bytes(buf);
    return fold_checksum(adler32, adler, b.bytes, b.length);
}

/* The bytes at offset in a memory block, or NULL when there are none to take. */
static const unsigned char *memory_range(void *block, int32_t offset, int32_t length) {
    const unsigned char *data;
    if (offset < 0 || length < 0)
        return NULL;
    data = host_memory_block_ptr(block);
    return data != NULL ? data + offset : NULL;
}

static int32_t CRC32MemoryWQX(int32_t crc, void *buf, int32_t offset, int32_t length) {
    const unsigned char *bytes = memory_range(buf, offset, length);
    return fold_checksum(crc32, crc, bytes, bytes != NULL ? (size_t)length : 0);
}

static int32_t Adler32MemoryWQX(int32_t adler, void *buf, int32_t offset, int32_t length) {
    const unsigned char *bytes = memory_range(buf, offset, length);
    return fold_checksum(adler32, adler, bytes, bytes != NULL ? (size_t)length : 0);
}

PluginMethodDefinition GlobalFunctions[] = {
    METHOD(CompressZLibWQX, "CompressZLibWQX(buf as string,level as integer) as string"),
    METHOD(DecompressZLibWQX, "DecompressZLibWQX(buf as string,size as integer) as string"),
    METHOD(CRC32StringWQX, "CRC32StringWQX(crc as integer, buf as string) as integer"),
    METHOD(Adler32StringWQX, "Adler32StringWQX(adler as integer, buf as string) as integer"),
    METHOD(CRC32MemoryWQX, "CRC32MemoryWQX(crc as integer, buf as memoryblock, offset as "
                           "integer, length as integer) as integer"),
    METHOD(Adler32MemoryWQX, "Adler32MemoryWQX(adler as integer, buf as memoryblock, offset as "
                             "integer, length as integer) as integer"),
};

const size_t GlobalFunctionCount = COUNT_OF(GlobalFunctions);
