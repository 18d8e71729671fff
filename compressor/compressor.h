/* compressor.h -- what the files of the compressor plug-in share.

   The plug-in puts zlib behind the framework's plug-in interface (rb/plugin.h). Its one
   exported symbol is REALPluginMain (compressor-main.c), which registers three classes and six
   global functions under their declaration texts:

     ZLibCompressWQX    a deflate stream in the zlib format     (compressor-zstream.c)
     ZLibDecompressWQX  an inflate stream                       (compressor-zstream.c)
     GZipFileWQX        a gzip file on a folder item            (compressor-gzip.c)
     CompressZLibWQX, DecompressZLibWQX, CRC32StringWQX, Adler32StringWQX, CRC32MemoryWQX,
     Adler32MemoryWQX                                           (compressor-functions.c)

   Every function registered here follows the calling conventions of rb/plugin.h. None raises
   anything: a failure shows as a nil string, false, 0, 1 or -1, or in an object's Error or
   Lasterror property. A nil string argument is the empty string: no data. A string result
   carries one reference for the caller and is nil (NULL) whenever it would be empty.

   Everything declared below is internal: the plug-in is built with hidden visibility.
*/
#ifndef COMPRESSOR_H
#define COMPRESSOR_H

#include "rb/plugin.h"

#include <stddef.h>
#include <stdint.h>

/* ---- Framework services (compressor-host.c) ----------------------------------------------

   Each service is looked up by name through the resolver that REALPluginMain was handed and
   kept in a slot of its own for the life of the process. A slot that got NULL is asked again at
   its next use. When the host lacks a service, each wrapper gives the fallback noted beside it.
*/

/* Keeps the resolver for every later lookup. */
void host_set_resolver(PluginEntryResolver resolver);

/* "PluginRegisterClass": registers a class record; nothing happens without the service. */
void host_register_class(PluginClassDefinition *record);

/* "PluginRegisterMethod": registers a global function; nothing happens without the service. */
void host_register_method(PluginMethodDefinition *record);

/* True when the host reports a version below 5.9 through "REALGetRBVersion", or has no such
   service. A version that does not compare (NaN) counts as not below. */
int host_version_below_5_9(void);

/* "REALUnlockString": releases one reference of s; NULL is ignored, and without the service the
   string is not released. */
void host_unlock_string(FrameworkString *s);

/* "memoryBlockGetPtr": the data of a framework memory block; NULL for a NULL block, for a host
   without the service, or when the host gives no data. */
unsigned char *host_memory_block_ptr(void *memoryBlock);

/* ---- Strings across the interface (compressor-host.c) ------------------------------------ */

/* The bytes of a string argument. `bytes` is NULL for a nil string; a string of length 0 that
   is not nil has non-NULL bytes and length 0. The bytes are followed by the NUL that the host
   keeps after every text. */
typedef struct StringBytes {
    const unsigned char *bytes;
    size_t length;
} StringBytes;

StringBytes string_bytes(const FrameworkString *s);

/* A new string holding a copy of `length` bytes, marked with `encoding` (kEncodingNone for
   data, kEncodingASCII or kEncodingMacRoman for texts). NULL when bytes is NULL, length is 0,
   or the host cannot make strings; the encoding is left unset when the host cannot set it. */
FrameworkString *BuildFrameworkString(const void *bytes, size_t length, uint32_t encoding);

/* The same for a NUL-terminated C text, measured up to its NUL; NULL for a NULL or empty text. */
FrameworkString *BuildFrameworkText(const char *text, uint32_t encoding);

/* The absolute path, UTF-8, of a folder item: for an existing item, or for one that does not
   exist yet in a folder that does. The result is allocated with malloc and belongs to the
   caller (free it); NULL for a NULL item, an item whose folder does not exist, or a host that
   cannot name its items. */
char *FolderItemToPosixPath(void *folderItem);

/* ---- Checksums (compressor-functions.c) --------------------------------------------------- */

/* zlib's crc32 or adler32 signature. */
typedef unsigned long (*ChecksumFunction)(unsigned long value, const unsigned char *bytes,
                                          unsigned int length);

/* `function` over `length` bytes continued from `start`, in as many zlib calls as the length
   needs. With bytes NULL the result is the checksum's initial value (0 for CRC-32, 1 for
   Adler-32); with non-NULL bytes and length 0 it is `start` unchanged. */
int32_t fold_checksum(ChecksumFunction function, int32_t start, const unsigned char *bytes,
                      size_t length);

/* The methods that every class shares, one function each:
     Adler32(start as integer, data as string) as integer
     CRC32(start as integer, data as string) as integer
        The checksum of the string's bytes continued from start. A nil string folds in no
        bytes and so gives start back (for any valid checksum value); the object is not used.
   and the getter of every class's read-only String property Version: zlib's version text,
   ASCII, made anew at each read. */
int32_t SharedAdler32(void *instance, int32_t start, FrameworkString *data);
int32_t SharedCRC32(void *instance, int32_t start, FrameworkString *data);
FrameworkString *SharedVersion(void *instance, intptr_t parameter);

/* The six global functions' records, in registration order. */
extern PluginMethodDefinition GlobalFunctions[];
extern const size_t GlobalFunctionCount;

/* ---- ZLibCompressWQX and ZLibDecompressWQX (compressor-zstream.c) -------------------------

   A deflate stream in the zlib format and an inflate stream, each between two fixed windows.

   Each object owns one zlib stream, an input window of 65,536 bytes and an output window of
   131,072 bytes, both allocated by the constructor and freed by Close. A caller feeds the input
   window a string at a time, steps the stream and drains the output window as a string:

     InitZip(level as integer)             (ZLibCompressWQX; ZLibDecompressWQX: InitZip)
        Starts a new stream in the windows: a zlib-format deflate stream at the given level
        with zlib's default window size, memory level and strategy, or an inflate stream. The
        input window is emptied and so is the output window (output not yet taken is dropped).
        A stream still open from an earlier InitZip is ended first. Error = zlib's result;
        Z_STREAM_ERROR when the object has no windows (after Close).
     SetInput(data as string) as boolean
        Copies 1 to 65,536 bytes to the input window, replacing input not yet consumed. False,
        and nothing changed, for a nil string, more than 65,536 bytes or no window.
     ProcessZip
        One deflate or inflate step with Z_NO_FLUSH. Error = zlib's result: Z_BUF_ERROR when
        no progress is possible (no input, or a full output window), Z_STREAM_END when an
        inflate stream has reached its end, Z_STREAM_ERROR for a stream that is not open.
     EndZip
        ZLibCompressWQX: finishes the deflate stream and ends it; Error = Z_OK. When the rest of
        the stream does not fit into the output window, the stream stays open with Error =
        Z_BUF_ERROR: take the output with GetOutput and call EndZip again.
        ZLibDecompressWQX: ends the inflate stream; Error = zlib's result.
     GetOutput as string
        The output waiting in the output window, which is empty afterwards; nil when there is
        none or the object has no window.
     InputAvail as integer      input bytes not consumed yet
     OutputSize as integer      output bytes waiting in the output window (0 without one)
     Adler32, CRC32             the checksum methods every class shares (above)
     Close
        Ends a stream that is still open and frees both windows; a second Close does nothing.
        The host runs it as the destructor, so dropping the last reference cleans up. Methods
        called after Close give their failure results.

   Properties: TotalInput and TotalOutput (read-write, the low 32 bits of the stream's byte
   counters; a value written there becomes the counter from the next step on), Error
   (read-write, the last zlib result code of InitZip, ProcessZip or EndZip), ErrorMessage
   (zlib's message text for the stream, nil when it has none), Version (zlib's version text)
   and, for ZLibCompressWQX only, CRC (the Adler-32 of the input consumed so far, which zlib
   keeps for a zlib-format stream).
*/

/* ---- GZipFileWQX (compressor-gzip.c) -----------------------------------------------------

   A gzip-format file opened on a folder item and read or written through zlib's gzip file
   functions.

   Every operation records its outcome in the read-write integer property Lasterror: 0 for a
   success, -1 for a refused or failed operation, or zlib's result code.

     Open(file as folderitem, mode as string) as boolean
        Opens the file with zlib's gzopen mode text ("rb" for a nil mode; "wb", "ab", "wb9"
        and so on), creating it for writing when it does not exist yet. A file already open is
        closed first, and Lasterror = gzclose's result; when that is not 0 the Open fails.
        An Open is also refused (false, Lasterror unchanged) while Lasterror is not 0: after a
        failed Open, every later Open fails until Close or until the caller sets Lasterror to
        0. Otherwise Lasterror = -1, then 0 when the file is open. False for a nil file, an
        item whose folder does not exist, or a file gzopen cannot open.
     Close
        Closes the open file: Lasterror = gzclose's result. Without a file, Lasterror = 0.
        The host runs Close as the destructor, so dropping the object closes its file.
     Write(data as string)
        Writes the string's bytes. Lasterror = 0 when all of them were taken, else -1 (also
        for a nil string or no file).
     Read(data as integer) as string
        Reads up to `data` bytes; nil at the end of the file. Lasterror = 0 after a read that
        worked, -1 for no file, a count of 0 or less, a read error, or no memory.
     WriteByte(data as integer)
        Writes the low 8 bits of the value; Lasterror = 0 when written, else -1.
     ReadByte as integer
        The next byte (0 to 255), or -1 at the end of the file, on an error or with no file.
        Lasterror = -1 whatever the result.
     SetParameter(level as integer, strategy as integer), Flush(flush as integer), Rewind
        gzsetparams, gzflush (flush is one of zlib's flush values) and gzrewind on the open
        file; Lasterror = zlib's result, -1 with no file. A file written transparently ("wT",
        no compression) has no parameters to set: SetParameter leaves it as it was, without
        calling zlib, and sets Lasterror to Z_STREAM_ERROR, zlib's answer for a file open for
        reading too.
     Adler32, CRC32             the checksum methods every class shares (above)

   Properties: Handle (integer: nonzero while a file is open; zlib's handle is a pointer that
   does not fit, so this is a number the object gives each file it opens; the object keeps the
   handle itself, and a value written to Handle changes nothing), Lasterror, Version (zlib's
   version text), EOF (boolean: true at the end of the file and with no file), ErrorMessage
   (gzerror's text for the file, nil for none or no file), ErrorCode (gzerror's error number,
   -1 with no file) and Position (the position in the uncompressed data, -1 with no file;
   writing it seeks there, and does nothing with no file; on a file being written, a seek
   forward stands for zeros up to the new position, before the first write as after it). EOF,
   ErrorMessage and ErrorCode set Lasterror to -1; Position, Version, Adler32 and CRC32 leave
   it alone.
*/

/* ---- Global functions (compressor-functions.c) --------------------------------------------

     CompressZLibWQX(buf as string,level as integer) as string
        buf compressed in the zlib format at the given level (-1 for zlib's default, 0 to 9);
        nil for a nil buf, a level zlib refuses, or no memory.
     DecompressZLibWQX(buf as string,size as integer) as string
        The zlib-format data in buf decompressed, when they come to at most size + 1,024
        bytes; nil for a nil buf, a negative size, data that are damaged or larger, or no
        memory. The result is complete or nil, never partial.
     CRC32StringWQX(crc as integer, buf as string) as integer
     Adler32StringWQX(adler as integer, buf as string) as integer
        The checksum of buf's bytes continued from crc or adler. For a nil buf the start value
        is not used: the result is the checksum's initial value, 0 for CRC-32 and 1 for
        Adler-32.
     CRC32MemoryWQX(crc as integer, buf as memoryblock, offset as integer, length as integer)
        as integer
     Adler32MemoryWQX(adler as integer, buf as memoryblock, offset as integer, length as
        integer) as integer
        The same over `length` bytes of a memory block from `offset`, which the caller keeps
        inside the block. A nil block, or a negative offset or length, gives the initial value
        as for no data.
*/

/* ---- Classes ------------------------------------------------------------------------------ */

/* A class as its file defines it: the record handed to the host and the full method table.
   For a host older than 5.9 the record is pointed at a short copy of the table, made once. */
typedef struct PluginClass {
    PluginClassDefinition *record;
    PluginMethodDefinition *methods;
    PluginMethodDefinitionShort *shortMethods;
} PluginClass;

extern PluginClass ZLibCompressWQXClass;   /* compressor-zstream.c */
extern PluginClass ZLibDecompressWQXClass; /* compressor-zstream.c */
extern PluginClass GZipFileWQXClass;       /* compressor-gzip.c */

/* An object's data block: the instance pointer plus the offset the host wrote into the
   class's record at registration. */
#define PLUGIN_DATA(type, instance, record)                                                        \
    ((type *)(void *)((char *)(instance) + (record).dataOffset))

#define COUNT_OF(array) (sizeof(array) / sizeof((array)[0]))

/* Record initialisers: a method or global function; a property that the host reads and writes
   itself as the int32_t at `offset` in the data block; a property with accessor functions (a
   NULL setter makes it read-only). */
/* clang-format off */
#define METHOD(function, declaration) {(void *)(function), NULL, declaration, kMethodFlagsDefault}
#define DIRECT_PROPERTY(name, type, offset)                                                     \
    {NULL, name, type, kPropertyFlagsDefault, kPropertyDirect, kPropertyDirect, offset, {0}}
#define PROPERTY(name, type, getter, setter)                                                    \
    {NULL, name, type, kPropertyFlagsDefault, (void *)(getter), (void *)(setter), 0, {0}}
/* clang-format on */

#endif /* COMPRESSOR_H */
