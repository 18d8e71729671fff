// binding-keys.h -- the keys under which the program binds the compressor plug-in's classes at
// start-up, in the order of its entry-point table, and the six global functions.
#pragma once

#include <array>
#include <string_view>

namespace compressor_test {

inline constexpr std::array<std::string_view, 48> kBindingKeys = {
    "ZLibCompressWQX.__init",
    "ZLibCompressWQX.__exit",
    "ZLibCompressWQX.Close",
    "ZLibCompressWQX.ProcessZip",
    "ZLibCompressWQX.EndZip",
    "ZLibCompressWQX.InitZip(level as integer)",
    "ZLibCompressWQX.SetInput(data as string) as boolean",
    "ZLibCompressWQX.GetOutput as string",
    "ZLibCompressWQX.InputAvail as integer",
    "ZLibCompressWQX.OutputSize as integer",
    "ZLibCompressWQX.Adler32(start as integer, data as string) as integer",
    "ZLibCompressWQX.CRC32(start as integer, data as string) as integer",
    "ZLibCompressWQX.Version.Get",
    "ZLibCompressWQX.ErrorMessage.Get",
    "ZLibCompressWQX.CRC.Get",
    "GZipFileWQX.__init",
    "GZipFileWQX.__exit",
    "GZipFileWQX.Open(file as folderitem, mode as string) as boolean",
    "GZipFileWQX.Close",
    "GZipFileWQX.Write(data as string)",
    "GZipFileWQX.Read(data as integer) as string",
    "GZipFileWQX.WriteByte(data as integer)",
    "GZipFileWQX.ReadByte as integer",
    "GZipFileWQX.SetParameter(level as integer, strategy as integer)",
    "GZipFileWQX.Flush(flush as integer)",
    "GZipFileWQX.Rewind",
    "GZipFileWQX.Adler32(start as integer, data as string) as integer",
    "GZipFileWQX.CRC32(start as integer, data as string) as integer",
    "GZipFileWQX.Version.Get",
    "GZipFileWQX.EOF.Get",
    "GZipFileWQX.ErrorMessage.Get",
    "GZipFileWQX.ErrorCode.Get",
    "GZipFileWQX.Position.Get",
    "GZipFileWQX.Position.Set",
    "ZLibDecompressWQX.__init",
    "ZLibDecompressWQX.__exit",
    "ZLibDecompressWQX.Close",
    "ZLibDecompressWQX.ProcessZip",
    "ZLibDecompressWQX.EndZip",
    "ZLibDecompressWQX.InitZip",
    "ZLibDecompressWQX.SetInput(data as string) as boolean",
    "ZLibDecompressWQX.GetOutput as string",
    "ZLibDecompressWQX.InputAvail as integer",
    "ZLibDecompressWQX.OutputSize as integer",
    "ZLibDecompressWQX.Adler32(start as integer, data as string) as integer",
    "ZLibDecompressWQX.CRC32(start as integer, data as string) as integer",
    "ZLibDecompressWQX.ErrorMessage.Get",
    "ZLibDecompressWQX.Version.Get",
};

// The global functions, in the order the plug-in registers them.
inline constexpr std::array<std::string_view, 6> kGlobalFunctions = {
    "CompressZLibWQX(buf as string,level as integer) as string",
    "DecompressZLibWQX(buf as string,size as integer) as string",
    "CRC32StringWQX(crc as integer, buf as string) as integer",
    "Adler32StringWQX(adler as integer, buf as string) as integer",
    "CRC32MemoryWQX(crc as integer, buf as memoryblock, offset as integer, length as integer) "
    "as integer",
    "Adler32MemoryWQX(adler as integer, buf as memoryblock, offset as integer, length as "
    "integer) as integer",
};

} // namespace compressor_test
