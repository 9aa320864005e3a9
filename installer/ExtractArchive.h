// Payload extraction: the product's files travel inside the program as one RAR
// archive, the RCDATA resource "FILES", and are unpacked from the resource's
// memory straight into the target folder (the archive is never copied or
// written to disk).
//
// Each file entry is reported to the progress sink (the state text "Копируется:
// <name>" and how far into the archive it starts, in percent) and logged as
// "File" before it is written; each folder made on the way is logged as
// "Folder", parents first. A damaged payload is reported as message 30022 with
// a code: "1" no such resource, "2" not an archive the library can open (or
// one whose main header is broken or missing), "3" an entry that cannot be
// extracted or whose name leaves the target folder, "4" header reading that
// ends in anything but the archive's normal end (a broken or cut-off header,
// a seek beyond the payload). An existing file that cannot be deleted raises
// 30019, a folder that cannot be made (an empty one of the payload too) 30020,
// and a file that the system does not let the library create or write (a full
// disk, access denied) 30042 with the file's path and the system's reason; the
// library removes a file it could not write whole. Entry names are taken in
// full, however long; an entry whose path the library cannot hold whole
// (target folder, backslash and name longer than 2,041 characters less one
// per part of the path) raises 30047 with the name's last part, before
// anything is done for it. Nothing is deleted, created or written outside the
// target folder: an entry name that is absolute, carries a drive or a colon or
// climbs with ".." is refused before anything is done for it, and a link entry
// whose target would lie outside is skipped (not created, not logged). Files
// extracted before a failure stay in place.
#pragma once

#include <windows.h>

#include <string>

class TInstParams;

// Extracts the program's own RCDATA resource `name` into settings.target_folder.
void ExtractArchive(TInstParams &settings, std::string name);
// The same with the resource looked up in module (null: the program's file).
void ExtractArchive(TInstParams &settings, HMODULE module, const std::string &name);
// The extraction proper over archive bytes exactly as a locked resource holds
// them; name is the archive's name in the library's own messages.
void ExtractArchiveFromMemory(TInstParams &settings, const void *data, unsigned size, const std::string &name);

// Makes the folder and its missing parents, logging each folder it creates,
// outermost first. True when the folder exists afterwards; an empty path is
// false, a path shorter than three characters or a root is true untouched.
bool CreateFolderChain(TInstParams &settings, const std::string &path);

// The confinement rules of the extraction, on names as the archive holds them
// (either separator). An entry name stays inside the folder it is extracted
// to: relative, without drive or colon (no drive-relative names, no alternate
// streams) and without a ".." component (nor one Windows reads as ".." such as
// "..." or ". ."). A symbolic link at entryName pointing at target stays
// inside when the target is relative, without drive or colon, and never climbs
// above the folder, read as text from the link's own folder.
bool IsEntryNameConfined(const std::wstring &name);
bool IsLinkTargetConfined(const std::wstring &entryName, const std::wstring &target);
