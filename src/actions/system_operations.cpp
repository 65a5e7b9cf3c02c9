// system_operations.cpp: registry writes, directory paths, file copies and
// shortcuts.
#include "actions/system_operations.h"

#include <string.h>

enum {
    TempFolderLength = PLATFORM_MAX_PATH - 14, // the longest folder GetTempFileNameA takes
};

// ERROR_FILENAME_EXCED_RANGE: only the installer gives it, so the name stays here.
static const int32_t FileNameTooLong = PLATFORM_HRESULT_FROM_WIN32(206);

// The four roots' values follow each other: no table needed.
PlatformKey RegistryRootKey(int32_t rootIndex) {
    return (uint32_t)rootIndex < 4
               ? (PlatformKey)((uintptr_t)PLATFORM_HKEY_CLASSES_ROOT + rootIndex)
               : 0;
}

// Opens keyPath for writing, or creates it. 0 when neither works.
static PlatformKey OpenKeyForWriting(int32_t rootIndex, const char* keyPath) {
    PlatformKey root = RegistryRootKey(rootIndex);
    PlatformKey key;
    if (!root) return 0;
    if (PlatformRegOpenKeyEx(root, keyPath, 0, PLATFORM_KEY_WRITE, &key) == PLATFORM_ERROR_SUCCESS)
        return key;
    if (PlatformRegCreateKey(root, keyPath, &key) == PLATFORM_ERROR_SUCCESS) return key;
    return 0;
}

static int WriteValue(int32_t rootIndex, const char* keyPath, const char* valueName, uint32_t type,
                      const uint8_t* data, uint32_t size) {
    PlatformKey key = OpenKeyForWriting(rootIndex, keyPath);
    if (!key) return 0;
    long result = PlatformRegSetValueEx(key, valueName, type, data, size);
    PlatformRegCloseKey(key);
    return result == PLATFORM_ERROR_SUCCESS;
}

int WriteRegistryString(int32_t rootIndex, const char* keyPath, const char* valueName,
                        const char* text) {
    return WriteValue(rootIndex, keyPath, valueName, PLATFORM_REG_SZ, (const uint8_t*)text,
                      (uint32_t)strlen(text) + 1);
}

int WriteRegistryDword(int32_t rootIndex, const char* keyPath, const char* valueName,
                       int32_t value) {
    uint32_t bits = (uint32_t)value;
    uint8_t data[4] = {(uint8_t)bits, (uint8_t)(bits >> 8), (uint8_t)(bits >> 16),
                       (uint8_t)(bits >> 24)};
    return WriteValue(rootIndex, keyPath, valueName, PLATFORM_REG_DWORD, data, 4);
}

int HasDrive(const char* path) {
    char c = path[0] & ~0x20;
    return c >= 'A' && c <= 'Z' && path[1] == ':';
}

// Enters each level of the path from the drive's root, making what is
// missing. A path without a drive is not made: relative to an unknown current
// directory it would land anywhere. The walk stops at a level that can be
// neither entered nor made, so that nothing lands in the level above.
int MakeDirectoryPath(const char* path, LevelMade made, int closed) {
    char saved[PLATFORM_MAX_PATH];
    char level[PLATFORM_MAX_PATH];
    size_t length = strlen(path);
    if (!HasDrive(path) || length >= sizeof level) return 0;
    if (PlatformGetCurrentDirectory(sizeof saved, saved) >= sizeof saved) return 0;
    char root[4] = {path[0], ':', '\\', 0};
    int entered = PlatformSetCurrentDirectory(root);
    // The path's NUL ends both scans.
    for (size_t at = 2; entered;) {
        while (path[at] == '\\') at++;
        size_t end = at;
        while (path[end] && path[end] != '\\') end++;
        if (end == at) break; // nothing or only separators were left
        memcpy(level, path + at, end - at);
        level[end - at] = 0;
        at = end;
        while (path[at] == '\\') at++;
        if (!PlatformSetCurrentDirectory(level)) {
            entered = (closed ? PlatformCreateSecuredDirectory(level, PLATFORM_SDDL_PROGRAM_FILES)
                              : PlatformCreateDirectory(level)) &&
                      PlatformSetCurrentDirectory(level);
            // The last level is named by the whole path, as it was written.
            if (entered && made) made(path, path[at] ? end : length);
        }
    }
    PlatformSetCurrentDirectory(saved);
    return entered;
}

int CopyIntoPlace(const char* source, const char* destination) {
    char folder[PLATFORM_MAX_PATH];
    char temporary[PLATFORM_MAX_PATH];
    size_t length = strlen(destination);
    const char* slash = 0; // the last separator: Windows takes '/' too
    for (const char* p = destination; *p; p++)
        if (*p == '\\' || *p == '/') slash = p;
    // GetTempFileNameA leaves its name unterminated past this folder length.
    if (length >= sizeof folder || !slash || slash - destination > TempFolderLength) return 0;
    memcpy(folder, destination, slash - destination);
    folder[slash - destination] = 0;
    if (slash == destination + 2 && destination[1] == ':') strcat(folder, "\\"); // a drive's root
    if (!PlatformGetTempFileName(folder, "vtn", temporary)) return 0;
    if (PlatformCopyFile(source, temporary, 0) &&
        PlatformMoveFileEx(temporary, destination, PLATFORM_MOVEFILE_REPLACE_EXISTING))
        return 1;
    PlatformDeleteFile(temporary);
    return 0;
}

int32_t CreateShortcut(const char* targetPath, const char* linkPath, const char* description) {
    PlatformShellLink link;
    int32_t result = PlatformCreateShellLink(&link);
    if (result < 0) return result;
    PlatformShellLinkSetPath(link, targetPath);
    PlatformShellLinkSetDescription(link, description);
    PlatformPersistFile file;
    result = PlatformShellLinkQueryPersistFile(link, &file);
    if (result < 0) {
        PlatformReleaseShellLink(link);
        return result;
    }
    uint16_t wide[PLATFORM_MAX_PATH];
    if (PlatformAnsiToWide(linkPath, wide, PLATFORM_MAX_PATH))
        result = PlatformPersistFileSave(file, wide, 1);
    else
        result = FileNameTooLong; // a cut name would save elsewhere
    PlatformReleasePersistFile(file);
    PlatformReleaseShellLink(link);
    return result;
}
