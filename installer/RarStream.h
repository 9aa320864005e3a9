// The RAR library's interface as the installer uses it, with the changes we
// made to it: an open call that reads the archive from a TVxStream instead of a
// file, so that the payload never has to be written to disk, and a call that
// gives an entry's name in full.
//
// Calling order: RAROpenArchiveEx(&record), then RARReadHeaderEx and
// RARProcessFileW per entry, then RARCloseArchive. A folder entry is marked by
// RHDF_DIRECTORY in RARHeaderDataEx::Flags. When RARProcessFileW answers
// ERAR_ECREATE or ERAR_EWRITE (the file could not be created or written),
// GetLastError right after it gives the system's reason (ERROR_WRITE_FAULT for
// a write that the system answered with success but took nothing), or 0 when
// no system call failed (the library itself refused the name, a device's for
// example).
#pragma once

#include <windows.h>

#include "foundation/var_a.h"
#include "unrar/dll.hpp"

// Open record of the stream open call: the archive's bytes, then the library's
// own open record (ArcName, ArcNameW, OpenMode, OpenResult, the comment buffer,
// Flags...). A new record is all zeros and holds no stream; the library keeps
// its own handle of the stream until RARCloseArchive, so a stream held without
// ownership must outlive the archive handle.
struct RAROpenArchiveDataStream {
    VTVxStream stream;
    RAROpenArchiveDataEx Data = {};
};

// Binds the library's archive to ArchiveData->stream; the name fields are kept
// for the library's messages only. Like the file open, the result is judged by
// ArchiveData->Data.OpenResult: 0 and a handle on success, otherwise an ERAR_
// code (ERAR_BAD_ARCHIVE for bytes that are no archive) and NULL.
//
// The stream is taken to hold one whole archive, and the binding is stricter
// than the file open about damage: a broken or missing main header fails the
// open; a seek before the start or beyond the end of the stream is a read
// error; RARReadHeaderEx ends with ERAR_BAD_DATA, not ERAR_END_ARCHIVE, at a
// header cut short by the end of the stream and at the end of a RAR 5.0
// archive that lacks its end block.
HANDLE PASCAL RAROpenArchiveEx(RAROpenArchiveDataStream *ArchiveData);

// The library's room for an entry name and for the path it writes an entry
// to, the terminating zero included. A longer name is cut when the library
// reads its header (so a name of RarPathSize - 1 characters may be cut), a
// longer path when it puts the target folder and the name together; for a
// path beyond MAX_PATH it writes through the long form ("\\?\" or
// "\\?\UNC\" before the path), which must fit as well.
constexpr unsigned RarPathSize = 2048;

// The name of the entry that RARReadHeaderEx has just read, in full
// (RARHeaderDataEx::FileNameW holds only its first 1,024 characters, without
// a terminating zero when the name is longer): at most Size - 1 characters
// and a zero are copied into Name. Answers the name's length. Call it before
// RARProcessFileW, which may read the next header.
unsigned PASCAL RARGetFileNameW(HANDLE hArcData, wchar_t *Name, unsigned Size);
