// system_operations.h: the changes that script commands make to the machine:
// registry values, directory paths and shortcut files.
#pragma once

#include "platform/platform.h"

#include <stdint.h>

// The root key of a root index: 0 HKEY_CLASSES_ROOT, 1 HKEY_CURRENT_USER,
// 2 HKEY_LOCAL_MACHINE, 3 HKEY_USERS; none for any other index.
PlatformKey RegistryRootKey(int32_t rootIndex);

// Open the key for writing, else create it, then set the value. 1 when the
// key was opened or created, 0 when it could be neither (nothing written).
int WriteRegistryString(int32_t rootIndex, const char* keyPath, const char* valueName,
                        const char* text);
int WriteRegistryDword(int32_t rootIndex, const char* keyPath, const char* valueName,
                       int32_t value);

// Makes every missing level of an absolute path such as C:\A\B; the current
// directory is the same afterwards.
void MakeDirectoryPath(const char* path);

// Writes the shortcut file linkPath pointing at targetPath. COM must be
// initialised. An HRESULT: negative on failure.
int32_t CreateShortcut(const char* targetPath, const char* linkPath, const char* description);
