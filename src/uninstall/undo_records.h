// undo_records.h: takes an installation back, record by record, from its
// install.log as the log reader reads it.
//
// Each undo gives 1 when its item is gone (or was already) and 0 when it
// could not be removed.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Deletes the file. Refused: a folder, and a path that is relative, a drive's
// root, holds a . or .. component or starts with a device prefix.
int UndoDeleteFile(const char* path);

// Removes the folder (refused as a file's path is) when it is empty; one
// that still holds files (the user's own) stays, and that is no failure.
// Never recursive.
int UndoRemoveDirectory(const char* path);

// Deletes the value, then the key when no value or subkey is left in it
// (never its parents).
int UndoRemoveRegistry(int32_t rootIndex, const char* keyPath, const char* valueName);

// Undoes every record of the CommandList in its order (install.log is newest
// first, so the installation is taken back from its last change), folders
// after everything else; other records, and the one of the running
// uninstaller self (removed after it ends), are passed over. Gives the
// number of items left; left (size bytes) names the first few, one per line.
int UndoRecords(const char* self, char* left, size_t size);

// How many folders, from folder up, the records made: those that can only go
// once the uninstaller's own file in folder is gone.
int FoldersMadeAbove(const char* folder);

// Windows paths name the same file whatever the letters' case, doubled
// backslashes (a folder chosen at a drive's root gives "C:\\Tool") and a
// trailing one.
int SamePath(const char* a, const char* b);
