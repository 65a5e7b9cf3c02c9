// archive_reader.h: walks the ARJ archive that a package carries: extracts,
// tests or lists its entries.
//
// Results: the number of entries that failed (0 or more), or ArchiveFailed
// when the archive cannot be read on (damaged, truncated, unreadable,
// unwritable, no memory); message (MessageSize characters) then says why, the
// files are closed and a partly written entry is removed. Nothing here shows
// anything or ends the process: the caller decides.
#pragma once

#include "arj/extraction.h"

enum { ArchiveFailed = -1 };

enum ArchiveMode {
    ExtractEntries, // into the current directory, checking each CRC
    TestEntries,    // decode and check each CRC, writing nothing
    ListEntries,    // headers only
};

// How one entry ended. Every status but EntryDone counts as failed (in
// ListEntries only EntryUnsupported does).
enum EntryStatus {
    EntryDone,
    EntryUnsupported, // version, garbling, method or file type we lack
    EntryNameRefused, // would leave the folder or name a Windows device
    EntryNotCreatable,
    EntryDamaged, // CRC mismatch, or data that ends before the entry does
};

// Called after each entry header has been handled, with the header.
typedef void (*EntryVisitor)(const ArchiveEntry* entry, EntryStatus status, void* context);

// Walks the archive of the package file opened by exactly this name.
int ReadArchive(const char* name, ArchiveMode mode, EntryVisitor visit, void* context,
                char* message);

// 1 when Windows opens a device instead of a file for a name part whose
// text before its first dot is the length bytes of name (trailing blanks
// aside): CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, in any case.
int IsDeviceName(const char* name, size_t length);

// Extracts the archive behind the script of the running installer at path:
// its own name is opened upper-cased, with ".arj" when the last part has no
// dot and without a final dot.
int ExtractArchive(const char* path, EntryVisitor visit, void* context, char* message);
