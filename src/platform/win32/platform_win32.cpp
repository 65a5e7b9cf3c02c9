// platform_win32.cpp: platform.h on Windows, each function forwarded to its Win32 call.
#include "platform/format_text.h"
#include "platform/platform.h"
#include "platform/win32/platform_win32.h"

#include <windows.h>
#include <objbase.h>
#include <string.h>
#include <sddl.h>
#include <shlobj.h>
#include <io.h>
#include <share.h>
#include <stdlib.h>
#include <sys/utime.h>

static int silentMode;

void PlatformBecomeDpiAware(void) {
    SetProcessDPIAware();
}

// SetDefaultDllDirectories is there from Windows 8 on, and on 7 with update
// KB2533623; without it SetDllDirectory("") takes only the current folder out
// of the search, the program's own still comes first. So the DLLs that system
// DLLs load later by name (delay-loaded imports among them, which Wine resolves
// through the program's folder whatever the search) are loaded here from the
// system folder by full path: a later load by name finds them loaded.
// kernel32.dll, loaded with every process, is found by LoadLibraryA as it is.
void PlatformRestrictDllSearch(void) {
    BYTE_ALIGNED static const char later[] =
        "uxtheme\0userenv\0propsys\0dwmapi\0cryptbase\0apphelp\0"
        "oleacc\0ntmarta\0version\0msimg32\0winmm\0";
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesCall)(DWORD);
    SetDefaultDllDirectoriesCall restrict = (SetDefaultDllDirectoriesCall)(void*)GetProcAddress(
        LoadLibraryA("kernel32.dll"), "SetDefaultDllDirectories");
    if (!restrict || !restrict(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryA("");
    char path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (!length || length >= MAX_PATH) return;
    path[length++] = '\\';
    for (const char* name = later; *name; name += strlen(name) + 1) {
        strcpy(path + length, name);
        LoadLibraryA(path);
    }
}

static int IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Windows quotes the program name when it holds blanks: a quoted name ends at
// the next quote, a bare one at the first blank.
const char* PlatformArguments(void) {
    const char* line = GetCommandLineA();
    if (*line == '"') {
        line++;
        while (*line && *line != '"') line++;
        if (*line) line++;
    } else {
        while (*line && !IsBlank(*line)) line++;
    }
    while (IsBlank(*line)) line++;
    return line;
}

long PlatformRegOpenKeyEx(PlatformKey root, const char* subKey, uint32_t options, uint32_t access,
                          PlatformKey* result) {
    return RegOpenKeyExA((HKEY)root, subKey, options, access, (PHKEY)result);
}

long PlatformRegQueryValueEx(PlatformKey key, const char* valueName, uint32_t* type, uint8_t* data,
                             uint32_t* size) {
    return RegQueryValueExA((HKEY)key, valueName, 0, (LPDWORD)type, data, (LPDWORD)size);
}

long PlatformRegCreateKey(PlatformKey root, const char* subKey, PlatformKey* result) {
    return RegCreateKeyA((HKEY)root, subKey, (PHKEY)result);
}

long PlatformRegSetValueEx(PlatformKey key, const char* valueName, uint32_t type,
                           const uint8_t* data, uint32_t size) {
    return RegSetValueExA((HKEY)key, valueName, 0, type, data, size);
}

long PlatformRegCloseKey(PlatformKey key) {
    return RegCloseKey((HKEY)key);
}

uint32_t PlatformGetCurrentDirectory(uint32_t size, char* buffer) {
    return GetCurrentDirectoryA(size, buffer);
}

int PlatformSetCurrentDirectory(const char* path) {
    return SetCurrentDirectoryA(path);
}

int PlatformCreateDirectory(const char* path) {
    return CreateDirectoryA(path, 0);
}

int PlatformCreateSecuredDirectory(const char* path, const char* sddl) {
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, 0, FALSE};
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                              &attributes.lpSecurityDescriptor, 0))
        return 0;
    int made = CreateDirectoryA(path, &attributes);
    LocalFree(attributes.lpSecurityDescriptor);
    return made;
}

int PlatformRemoveDirectory(const char* path) {
    return RemoveDirectoryA(path);
}

int PlatformCopyFile(const char* source, const char* destination, int failIfExists) {
    return CopyFileA(source, destination, failIfExists);
}

int PlatformDeleteFile(const char* path) {
    return DeleteFileA(path);
}

uint32_t PlatformGetTempFileName(const char* folder, const char* prefix, char* buffer) {
    return GetTempFileNameA(folder, prefix, 0, buffer);
}

int PlatformMoveFileEx(const char* from, const char* to, uint32_t flags) {
    return MoveFileExA(from, to, flags);
}

uint32_t PlatformGetWindowsDirectory(char* buffer, uint32_t size) {
    return GetWindowsDirectoryA(buffer, size);
}

uint32_t PlatformGetSystemDirectory(char* buffer, uint32_t size) {
    return GetSystemDirectoryA(buffer, size);
}

uint32_t PlatformGetTempPath(uint32_t size, char* buffer) {
    return GetTempPathA(size, buffer);
}

// Windows hands the ANSI calls a name with '?' for every letter that the
// code page lacks, which opens nothing: such a file is named by its short
// name, where the volume keeps one.
uint32_t PlatformGetModuleFileName(char* buffer, uint32_t size) {
    wchar_t name[MAX_PATH];
    DWORD length = GetModuleFileNameW(0, name, MAX_PATH);
    for (int shortened = 0; length && length < MAX_PATH && shortened < 2; shortened++) {
        BOOL lossy = FALSE;
        int ansi = WideCharToMultiByte(CP_ACP, 0, name, -1, buffer, size, 0, &lossy);
        if (ansi && !lossy) return ansi - 1;
        length = GetShortPathNameW(name, name, MAX_PATH);
    }
    if (size) buffer[0] = 0;
    return 0;
}

uint32_t PlatformGetTickCount(void) {
    return GetTickCount();
}

int PlatformIsElevated(void) {
    // S-1-5-32-544, BUILTIN\Administrators, laid out as a SID.
    static const struct {
        BYTE revision, subAuthorityCount, authority[6];
        DWORD subAuthority[2];
    } administrators = {SID_REVISION, 2, {0, 0, 0, 0, 0, 5}, {32, 544}};
    BOOL member;
    return CheckTokenMembership(0, (PSID)&administrators, &member) && member;
}

void PlatformListFiles(const char* folder, PlatformFileVisitor visit) {
    // A folder too long for the pattern is not listed rather than listed cut.
    char pattern[MAX_PATH];
    int length = (int)strlen(folder);
    if (length + 2 >= MAX_PATH) return;
    strcpy(pattern, folder);
    strcpy(pattern + length, length && folder[length - 1] == '\\' ? "*" : "\\*");
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) visit(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
}

int PlatformSetFileTime(const char* path, int64_t time) {
    struct _utimbuf times = {(time_t)time, (time_t)time};
    return _utime(path, &times) == 0;
}

FILE* PlatformOpenFile(const char* path, const char* mode) {
    return fopen(path, mode);
}

uint32_t PlatformGetLastError(void) {
    return GetLastError();
}

void PlatformSleep(uint32_t milliseconds) {
    Sleep(milliseconds);
}

// The runtime keeps the Win32 error of its failed call: no need to hand it
// on through the thread's last error.
FILE* PlatformOpenFileAlone(const char* path, const char* mode, uint32_t* error) {
    FILE* file = _fsopen(path, mode, _SH_DENYRW);
    if (!file) *error = _doserrno;
    return file;
}

int PlatformSetFileSize(FILE* file, long size) {
    return fflush(file) == 0 && _chsize(_fileno(file), size) == 0;
}

int32_t PlatformCoInitialize(void) {
    return CoInitialize(0);
}

void PlatformCoUninitialize(void) {
    CoUninitialize();
}

int32_t PlatformCreateShellLink(PlatformShellLink* link) {
    return CoCreateInstance(CLSID_ShellLink, 0, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link);
}

int32_t PlatformShellLinkSetPath(PlatformShellLink link, const char* path) {
    return ((IShellLinkA*)link)->SetPath(path);
}

int32_t PlatformShellLinkSetDescription(PlatformShellLink link, const char* description) {
    return ((IShellLinkA*)link)->SetDescription(description);
}

int32_t PlatformShellLinkQueryPersistFile(PlatformShellLink link, PlatformPersistFile* file) {
    return ((IShellLinkA*)link)->QueryInterface(IID_IPersistFile, file);
}

int32_t PlatformPersistFileSave(PlatformPersistFile file, const uint16_t* path, int remember) {
    return ((IPersistFile*)file)->Save((LPCOLESTR)path, remember);
}

void PlatformReleasePersistFile(PlatformPersistFile file) {
    ((IPersistFile*)file)->Release();
}

void PlatformReleaseShellLink(PlatformShellLink link) {
    ((IShellLinkA*)link)->Release();
}

int PlatformAnsiToWide(const char* text, uint16_t* wide, int wideSize) {
    return MultiByteToWideChar(CP_ACP, 0, text, -1, (LPWSTR)wide, wideSize);
}

int PlatformMessageBox(const char* text, const char* caption, uint32_t type) {
    if (silentMode) return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    return MessageBoxA(0, text, caption, type);
}

void PlatformSetSilent(int silent) {
    silentMode = silent;
}

// msvcrt's exit writes out the buffered streams, then calls ExitProcess.
void PlatformExit(int code) {
    exit(code);
}
