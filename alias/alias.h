/* alias.h -- the alias plug-in: class MacAliasWQX, which remembers a file so that it can be
 * found again later, even after it was renamed or moved nearby.
 *
 * The plug-in is loaded by the rbframework host from the plugins/ folder and talks to it only
 * through plugin.h. Its one export is REALPluginMain; everything below is reached through the
 * entry points that the host records under "MacAliasWQX.<declaration>". This header is the
 * manual of that class and of the record it makes; the constants are shared by the plug-in's
 * sources and by its tests.
 *
 *
 * Objects
 *
 * An object holds at most one alias record (the opaque bytes described at the end) and one
 * flag, needsUpdate. A new object holds no record. The host creates and frees objects; the
 * record lives inside the object's data block, so an object owns no other memory.
 *
 *     __init                 the constructor: leaves the object empty.
 *     __exit, Close          the destructor and Close are one function: it forgets the record
 *                            and clears needsUpdate. Calling it again, or on an object that
 *                            never held a record, does nothing more.
 *
 *
 * Making a record
 *
 *     Create(relPath as FolderItem, target as FolderItem) as Integer
 *     CreateMinimal(target as FolderItem) as Integer
 *
 * Make a record of target and keep it; 0 on success, one of the kMacAlias* codes below
 * otherwise. Both do the same: relPath is accepted and ignored, because a record always holds
 * the target's absolute path (nothing is stored relative to another item). The target may be a
 * file or a folder, and it need not exist yet: a file that the program is about to write, in a
 * folder that exists, gives a record that remembers its path. A target that exists is also
 * remembered by its identity (device, inode, size and modification time), which lets Resolve
 * find it again after a rename or a move within the same filesystem. needsUpdate is cleared.
 * On failure the object holds no record afterwards, so a caller that forgets to test the
 * result cannot store a stale one.
 *
 *     CreateFSRef(relPath as memoryblock, target as memoryblock) as Integer
 *     CreateMinimalFSRef(target as memoryblock) as Integer
 *
 * Stand for platform file references that this system does not have: they always return
 * kMacAliasErrUnimplemented and leave the object as it was.
 *
 *     Update(relPath as FolderItem, target as FolderItem) as Integer
 *
 * Replaces the record with a fresh one of target, as Create does, and clears needsUpdate; 0 on
 * success. On failure (nil target, missing folder, ...) the record and needsUpdate stay as
 * they were. relPath is ignored.
 *
 *
 * Records as bytes
 *
 *     GetRecord as String
 *
 * A copy of the record's bytes, a string that belongs to the caller (raw bytes, no text
 * encoding); nil when the object holds no record, or when the host cannot build strings.
 *
 *     SetRecord(record as String)
 *
 * Replaces the object's record with a copy of the bytes and clears needsUpdate. The bytes are
 * kept as given and checked only when they are used, so GetRecord returns exactly what was
 * set. A nil string, or one longer than kMacAliasMaxRecordSize (no valid record is that long),
 * leaves the object with no record.
 *
 *
 * Finding the target again
 *
 *     Resolve(relPath as FolderItem, mode as Integer) as FolderItem
 *
 * A new folder item (one reference for the caller) for the file that the record refers to, or
 * nil. relPath and mode are ignored: there are no volumes to mount and no dialogs to show. The
 * rules, in order:
 *
 *   1. No record, or a record that fails the checks below: nil.
 *   2. Something is at the recorded path (a file or a folder; symbolic links are followed):
 *      that path. needsUpdate is set when the record no longer describes what is there: the
 *      target did not exist when the record was made, or the item has another identity
 *      (it was replaced or changed since).
 *   3. Nothing is there, and the target existed when the record was made: the item with the
 *      recorded identity (same device, inode, size and modification time) is looked for in
 *      the recorded folder, then in that folder's parent, then in the parent's other
 *      subfolders (so a rename, a move one level up, a move into a sibling folder and a
 *      renamed folder are all found). The search looks at no more than
 *      kMacAliasSearchBudget directory entries in all, and never follows a link. When the item
 *      is found: its path, and needsUpdate is set. Otherwise the file is taken as deleted: nil.
 *   4. Nothing is there, and the target did not exist when the record was made (the program
 *      remembered an output file before writing it): the recorded path when its folder still
 *      is a folder, nil otherwise. needsUpdate stays clear.
 *
 * Every resolution that gives nil also clears needsUpdate. Identity is matched strictly on
 * purpose: the program overwrites a resolved output file without asking, so a false match is
 * worse than none. Consequently a file that was rewritten through a new file (the framework's
 * way of saving) or edited after the record was made is found only at its recorded path.
 * Without the host's "REALFolderItemFromNativePath" service Resolve gives nil.
 *
 *
 * Information and options
 *
 *     GetInfo(idx as Integer) as String
 *
 * For the record the object holds: 0, the target's name (the last component of its path);
 * 1, the path of its folder. Any other index, no record or a damaged one, or an empty answer
 * (the name of the root "/"): nil. The strings are UTF-8 and belong to the caller.
 *
 * Read-only properties, with function getters, fixed for this system:
 *
 *     noDialogs as Boolean      true: Resolve never asks the user anything
 *     attemptMount as Integer   0: no volumes are mounted (the value callers pass as mode)
 *     allVols as Boolean        false: other volumes are not searched
 *     exhaustive as Boolean     false: the search is the bounded one of rule 3
 *     relFirst as Boolean       false: no relative path is recorded
 *     needsUpdate as Boolean    true after a Resolve that found the target changed or elsewhere
 *                               (rules 2 and 3); cleared by Create, Update, SetRecord, Close and
 *                               by a Resolve that gives nil
 *
 *
 * Host services
 *
 * The plug-in resolves each service by name when first needed and keeps it; a service the
 * host lacks is asked for again at the next use. Without a service the plug-in falls back:
 *
 *     "RegisterPluginVersion"          the version is not announced
 *     "PluginRegisterClass"            the class is not registered
 *     "REALGetRBVersion"               the host counts as older than 5.9: short method records
 *     "REALBuildString"                GetRecord and GetInfo give nil
 *     "REALSetStringEncoding"          strings carry no encoding
 *     "REALFolderItemNativePath"       Create and Update give kMacAliasErrUnimplemented
 *     "REALFolderItemFromNativePath"   Resolve gives nil
 *
 *
 * The record
 *
 * All integers are big-endian and unsigned unless noted. The record is exactly 52 + n bytes:
 *
 *     offset  size  field
 *      0      4     magic "VlAl"
 *      4      2     format version, 1
 *      6      2     flags: bit 0 set when the target existed when the record was made;
 *                   every other bit 0
 *      8      8     device number     \
 *     16      8     inode number       |  the target's identity; all 0 when bit 0 is clear
 *     24      8     size in bytes      |
 *     32      8     modification time, whole seconds since 1970 (signed)
 *     40      4     modification time, nanoseconds (below 1000000000)
 *     44      4     n, the byte length of the path, 1 to kMacAliasMaxPathLength
 *     48      n     the target's absolute path, UTF-8, without a NUL and without a trailing "/"
 *                   (except for the root "/" itself)
 *     48+n    4     CRC-32 (the zlib polynomial) of bytes 0 to 47+n
 *
 * A record is untrusted input: one that is shorter or longer than its path length says, has
 * another magic, version or checksum, unknown flags, identity fields set without bit 0, a
 * nanosecond count out of range, or a path that is empty, relative, too long or holds a NUL,
 * is refused as a whole. Reading a record allocates nothing beyond the path's n bytes.
 */
#ifndef VELLUMET_ALIAS_H
#define VELLUMET_ALIAS_H

/* Results of Create, CreateMinimal, CreateFSRef, CreateMinimalFSRef and Update. The numbers
 * are the classic file-system result codes, so that a caller which shows them shows familiar
 * ones. */
#define kMacAliasNoErr 0
#define kMacAliasErrUnimplemented (-4) /* platform file references; host lacks a path service */
#define kMacAliasErrIO (-36)           /* the target cannot be examined (no permission) */
#define kMacAliasErrBadName (-37)      /* the target's path is not absolute or is too long */
#define kMacAliasErrParam (-50)        /* the target is nil */
#define kMacAliasErrMemory (-108)      /* memory ran out */
#define kMacAliasErrNoFolder (-120)    /* the target's folder does not exist */

/* The longest path a record holds, in bytes (the platform's PATH_MAX less its NUL). */
#define kMacAliasMaxPathLength 4095
/* The fixed part of a record: 48 bytes before the path, 4 after it. */
#define kMacAliasRecordOverhead 52
#define kMacAliasMaxRecordSize (kMacAliasRecordOverhead + kMacAliasMaxPathLength)
/* Directory entries that Resolve examines at most while looking for a moved target. */
#define kMacAliasSearchBudget 4096

#endif /* VELLUMET_ALIAS_H */
