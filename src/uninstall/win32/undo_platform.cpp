// undo_platform.cpp: the platform calls that only the uninstaller makes,
// forwarded to Win32 here so that the installer stub carries no imports for
// them.
#include "platform/platform.h"

#include <windows.h>

long PlatformRegDeleteValue(PlatformKey key, const char* valueName) {
    return RegDeleteValueA((HKEY)key, valueName);
}

long PlatformRegDeleteKey(PlatformKey root, const char* subKey) {
    return RegDeleteKeyA((HKEY)root, subKey);
}

long PlatformRegQueryInfoKey(PlatformKey key, uint32_t* subKeys, uint32_t* values) {
    return RegQueryInfoKeyA((HKEY)key, 0, 0, 0, (LPDWORD)subKeys, 0, 0, (LPDWORD)values, 0, 0, 0,
                            0);
}

uint32_t PlatformGetFileAttributes(const char* path) {
    return GetFileAttributesA(path);
}
