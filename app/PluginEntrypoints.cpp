#include "PluginEntrypoints.h"

#include "rb/runtime.h"

const char *const kPluginEntrypointKeys[kPluginEntrypointCount] = {
    // 0-25: the framework's own plug-in controls.
    "_",
    "BevelButton.DeleteAllRows",
    "BevelButton.AddRow(text As String)",
    "BevelButton.AddSeparator",
    "BevelButton.RemoveRow(row As Integer)",
    "BevelButton.InsertRow(row As Integer, text As String)",
    "BevelButton.List(row As Integer) As String",
    "BevelButton.addActionNotificationReceiver(receiver As actionNotificationReceiver)",
    "BevelButton.removeActionNotificationReceiver(receiver As actionNotificationReceiver)",
    "BevelButton.List(row As Integer) As String.Set",
    "BevelButton.Caption.Get",
    "BevelButton.Caption.Set",
    "BevelButton.CaptionAlign.Set",
    "BevelButton.CaptionPlacement.Set",
    "BevelButton.CaptionDelta.Set",
    "BevelButton.Icon.Set",
    "BevelButton.IconAlign.Set",
    "BevelButton.IconDX.Set",
    "BevelButton.IconDY.Set",
    "BevelButton.Value.Set",
    "BevelButton.MenuValue.Get",
    "BevelButton.MenuValue.Set",
    "BevelButton.TextFont.Set",
    "Placard.Value.Set",
    "DisclosureTriangle.Value.Set",
    "ImageWell.Image.Set",
    // 26-40: ZLibCompressWQX.
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
    // 41-59: GZipFileWQX.
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
    // 60-73: ZLibDecompressWQX.
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
    // 74-91: MacAliasWQX, from the alias plug-in.
    "MacAliasWQX.__init",
    "MacAliasWQX.__exit",
    "MacAliasWQX.Create(relPath as FolderItem, target as FolderItem) as Integer",
    "MacAliasWQX.CreateMinimal(target as FolderItem) as Integer",
    "MacAliasWQX.CreateFSRef(relPath as memoryblock, target as memoryblock) as Integer",
    "MacAliasWQX.CreateMinimalFSRef(target as memoryblock) as Integer",
    "MacAliasWQX.Update(relPath as FolderItem, target as FolderItem) as Integer",
    "MacAliasWQX.GetInfo(idx as Integer) as String",
    "MacAliasWQX.GetRecord as String",
    "MacAliasWQX.SetRecord(record as String)",
    "MacAliasWQX.Resolve(relPath as FolderItem, mode as Integer) as FolderItem",
    "MacAliasWQX.Close",
    "MacAliasWQX.noDialogs.Get",
    "MacAliasWQX.attemptMount.Get",
    "MacAliasWQX.allVols.Get",
    "MacAliasWQX.exhaustive.Get",
    "MacAliasWQX.relFirst.Get",
    "MacAliasWQX.needsUpdate.Get",
};

void **PluginEntrypointsTable = nullptr;

// The first slot that program code calls through; the ones below belong to controls that the
// framework implements itself.
static constexpr std::int32_t kFirstCalledSlot = 26;

void _InitPluginEntrypoints() {
    PluginEntrypointsTable = rb::RuntimeAllocatePluginEntrypointsTable(kPluginEntrypointCount);
    for (std::int32_t i = 0; i < kPluginEntrypointCount; ++i)
        PluginEntrypointsTable[i] = rb::RuntimeLookupPluginEntrypoint(kPluginEntrypointKeys[i]);
}

std::string FirstMissingPluginEntrypoint() {
    for (std::int32_t i = kFirstCalledSlot; i < kPluginEntrypointCount; ++i)
        if (PluginEntrypointsTable == nullptr || PluginEntrypointsTable[i] == nullptr)
            return kPluginEntrypointKeys[i];
    return "";
}
