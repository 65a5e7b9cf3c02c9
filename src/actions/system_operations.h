// system_operations.h: the changes that script commands make to the machine:
// registry values, directory paths, files and shortcut files.
//
// Each gives 1 when the change was made and 0 when it failed (shortcuts: an
// HRESULT, negative on failure).
#pragma once

#include "platform/platform.h"

#include <stddef.h>
#include <stdint.h>

// The root key of a root index: 0 HKEY_CLASSES_ROOT, 1 HKEY_CURRENT_USER,
// 2 HKEY_LOCAL_MACHINE, 3 HKEY_USERS; none for any other index.
PlatformKey RegistryRootKey(int32_t rootIndex);

// Open the key for writing, else create it, then set the value.
int WriteRegistryString(int32_t rootIndex, const char* keyPath, const char* valueName,
                        const char* text);
int WriteRegistryDword(int32_t rootIndex, const char* keyPath, const char* valueName,
                       int32_t value);

// Whether path starts with a drive letter and ':'.
int HasDrive(const char* path);

// Called for each level that MakeDirectoryPath made, shallowest first: the
// first length characters of the path name it (the whole path for the last).
typedef void (*LevelMade)(const char* path, size_t length);

// Makes every missing level of an absolute path such as C:\A\B; the current
// directory is the same afterwards. 1 when the folder exists afterwards.
// Closed, the levels made get PLATFORM_SDDL_PROGRAM_FILES.
int MakeDirectoryPath(const char* path, LevelMade made, int closed);

// Copies source to destination, replacing it, through a new file beside it:
// a copy that fails leaves no partial file, and an old file stays whole. A
// destination folder longer than 246 characters fails.
int CopyIntoPlace(const char* source, const char* destination);

// Writes the shortcut file linkPath pointing at targetPath. COM must be
// initialised. An HRESULT: negative on failure.
int32_t CreateShortcut(const char* targetPath, const char* linkPath, const char* description);
