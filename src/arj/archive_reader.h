// archive_reader.h: extracts the ARJ archive that the package carries.
#pragma once

// Called after each entry header has been handled (extracted or passed over),
// with the entry's stored name.
typedef void (*EntryDoneHandler)(const char* name);

// Extracts every entry of the archive behind the script of the executable at
// path into the current directory and gives the number of entries that
// failed (passed over, not creatable, CRC mismatch). A damaged archive, a
// read or write failure or exhausted memory ends the process with exit code
// 1 after a message box captioned "Error".
int ExtractArchive(const char* path, EntryDoneHandler onEntryDone);

// The same for a package file opened by exactly this name: without the
// installer's rules for its own path (upper case, ".arj" when there is no
// dot). For the package tool.
int ExtractArchiveFile(const char* name, EntryDoneHandler onEntryDone);
