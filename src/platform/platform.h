// platform.h: the Windows services the installer uses, in its own names.
//
// Each function mirrors one Win32 call (same parameters, same meaning of the
// results), so that the logic above this line runs unchanged on Windows, where
// platform/win32 forwards every call, and on the host, where
// the host simulation (tools/platform_sim) stands in for registry, drives
// and shell.
#pragma once

#include <stdint.h>
#include <stdio.h>

// An open registry key: HKEY on Windows, a handle of the simulation on the host.
typedef void* PlatformKey;

// The predefined root keys, with their Win32 values.
#define PLATFORM_HKEY_CLASSES_ROOT ((PlatformKey)(uintptr_t)0x80000000u)
#define PLATFORM_HKEY_CURRENT_USER ((PlatformKey)(uintptr_t)0x80000001u)
#define PLATFORM_HKEY_LOCAL_MACHINE ((PlatformKey)(uintptr_t)0x80000002u)
#define PLATFORM_HKEY_USERS ((PlatformKey)(uintptr_t)0x80000003u)

enum {
    PLATFORM_MAX_PATH = 260,      // MAX_PATH: a path and its NUL
    PLATFORM_KEY_READ = 0x20019,  // KEY_READ
    PLATFORM_KEY_WRITE = 0x20006, // KEY_WRITE
    PLATFORM_REG_SZ = 1,
    PLATFORM_REG_DWORD = 4,
    PLATFORM_ERROR_SUCCESS = 0,
    PLATFORM_MOVEFILE_REPLACE_EXISTING = 1,
    PLATFORM_MOVEFILE_DELAY_UNTIL_REBOOT = 4,
    PLATFORM_KEY_QUERY_SET_VALUE = 0x3, // KEY_QUERY_VALUE | KEY_SET_VALUE
    PLATFORM_ERROR_FILE_NOT_FOUND = 2,
    PLATFORM_ERROR_PATH_NOT_FOUND = 3,
    PLATFORM_ERROR_ACCESS_DENIED = 5,
    PLATFORM_ERROR_SHARING_VIOLATION = 32,
    PLATFORM_ERROR_DIR_NOT_EMPTY = 145,
    PLATFORM_ERROR_MORE_DATA = 234,
    PLATFORM_INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF,
    PLATFORM_FILE_ATTRIBUTE_DIRECTORY = 0x10,
};

// Registry (advapi32). Results are Win32 error codes: 0 is success.
long PlatformRegOpenKeyEx(PlatformKey root, const char* subKey, uint32_t options, uint32_t access,
                          PlatformKey* result);
long PlatformRegQueryValueEx(PlatformKey key, const char* valueName, uint32_t* type, uint8_t* data,
                             uint32_t* size);
long PlatformRegCreateKey(PlatformKey root, const char* subKey, PlatformKey* result);
long PlatformRegSetValueEx(PlatformKey key, const char* valueName, uint32_t type,
                           const uint8_t* data, uint32_t size);
long PlatformRegCloseKey(PlatformKey key);
long PlatformRegDeleteValue(PlatformKey key, const char* valueName);
long PlatformRegDeleteKey(PlatformKey root, const char* subKey);
// RegQueryInfoKeyA with only the counts of subkeys and of values asked for.
long PlatformRegQueryInfoKey(PlatformKey key, uint32_t* subKeys, uint32_t* values);

// Files, folders and the current directory (kernel32). BOOL results: nonzero
// is success. Paths are Windows paths; on the host the file names are matched
// without regard to letter case, as Windows does.
uint32_t PlatformGetCurrentDirectory(uint32_t size, char* buffer);
int PlatformSetCurrentDirectory(const char* path);
int PlatformCreateDirectory(const char* path);
// CreateDirectoryA with the security descriptor that sddl describes in the
// security descriptor definition language; fails when sddl does not parse.
int PlatformCreateSecuredDirectory(const char* path, const char* sddl);
int PlatformRemoveDirectory(const char* path);
int PlatformCopyFile(const char* source, const char* destination, int failIfExists);
int PlatformDeleteFile(const char* path);
uint32_t PlatformGetFileAttributes(const char* path);
// The error code of the last failed file or folder call.
uint32_t PlatformGetLastError(void);
void PlatformSleep(uint32_t milliseconds);
// GetTempFileNameA(folder, prefix, 0, buffer): makes a new empty file of a
// unique name in folder; buffer holds 260 characters. 0 on failure.
uint32_t PlatformGetTempFileName(const char* folder, const char* prefix, char* buffer);
int PlatformMoveFileEx(const char* from, const char* to, uint32_t flags);
uint32_t PlatformGetWindowsDirectory(char* buffer, uint32_t size);
uint32_t PlatformGetSystemDirectory(char* buffer, uint32_t size);
uint32_t PlatformGetTempPath(uint32_t size, char* buffer);
// GetModuleFileNameA, but a name that the ANSI code page cannot hold comes
// as its short name; 0 (and the empty text) when that cannot either.
uint32_t PlatformGetModuleFileName(char* buffer, uint32_t size);
uint32_t PlatformGetTickCount(void);

// Sets a file's access and modification times to time, in seconds since
// 1970 (the C runtime's _utime). Nonzero on success.
int PlatformSetFileTime(const char* path, int64_t time);

// Whether the Administrators group is in effect in the process's token
// (advapi32 CheckTokenMembership): an elevated process, or an administrator's
// where there is no UAC. Only then can the process use a folder that
// PLATFORM_SDDL_ADMINISTRATORS_ONLY describes.
int PlatformIsElevated(void);
// Owned by and open to Administrators and SYSTEM only, passed on to what is
// made inside, nothing taken from the parent folder: a user's unelevated
// programs can neither read nor replace what an elevated installer puts there.
#define PLATFORM_SDDL_ADMINISTRATORS_ONLY "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"
// As Program Files is: Administrators and SYSTEM full control, Users read and
// execute (0x1200a9), passed on inside, nothing taken from the parent folder.
#define PLATFORM_SDDL_PROGRAM_FILES PLATFORM_SDDL_ADMINISTRATORS_ONLY "(A;OICI;0x1200a9;;;BU)"

// Lists the plain files of one folder, calling back with each name; folders
// are left out. Used to clear the installer's own extraction folder.
typedef void (*PlatformFileVisitor)(const char* name);
void PlatformListFiles(const char* folder, PlatformFileVisitor visit);

// C runtime streams, opened by Windows path. Reads and writes then use the
// ordinary stdio calls on the stream.
FILE* PlatformOpenFile(const char* path, const char* mode);
// _fsopen(path, mode, _SH_DENYRW): no other opener until it is closed; a
// failure puts its Win32 error into *error (a sharing violation while
// another holds it).
FILE* PlatformOpenFileAlone(const char* path, const char* mode, uint32_t* error);
// _chsize: the file ends after size bytes, the stream flushed first.
// Nonzero on success.
int PlatformSetFileSize(FILE* file, long size);

// COM and the shell's link object (ole32, shell32). HRESULT results:
// negative is failure.
// HRESULT_FROM_WIN32 of a nonzero error: the failure that stands for it.
#define PLATFORM_HRESULT_FROM_WIN32(error) ((int32_t)(0x80070000u | (uint32_t)(error)))
typedef void* PlatformShellLink;   // IShellLinkA
typedef void* PlatformPersistFile; // IPersistFile
int32_t PlatformCoInitialize(void);
void PlatformCoUninitialize(void);
// CoCreateInstance(CLSID_ShellLink, none, CLSCTX_INPROC_SERVER, IID_IShellLinkA).
int32_t PlatformCreateShellLink(PlatformShellLink* link);
int32_t PlatformShellLinkSetPath(PlatformShellLink link, const char* path);
int32_t PlatformShellLinkSetDescription(PlatformShellLink link, const char* description);
int32_t PlatformShellLinkQueryPersistFile(PlatformShellLink link, PlatformPersistFile* file);
int32_t PlatformPersistFileSave(PlatformPersistFile file, const uint16_t* path, int remember);
void PlatformReleasePersistFile(PlatformPersistFile file);
void PlatformReleaseShellLink(PlatformShellLink link);
// MultiByteToWideChar(CP_ACP, 0, text, -1, wide, wideSize): characters
// written with the NUL, 0 when they do not fit.
int PlatformAnsiToWide(const char* text, uint16_t* wide, int wideSize);

// Message boxes without an owner window (user32). type holds the MB_ flags;
// the result is the button pressed (IDYES 6, IDNO 7, IDOK 1), 0 on failure.
enum {
    PLATFORM_MB_OK = 0x0,
    PLATFORM_MB_YESNO = 0x4,
    PLATFORM_MB_ICONHAND = 0x10,
    PLATFORM_MB_ICONQUESTION = 0x20,
    PLATFORM_MB_ICONINFORMATION = 0x40,
    PLATFORM_IDNO = 7,
};
int PlatformMessageBox(const char* text, const char* caption, uint32_t type);

// Silent mode: message boxes are not shown; PlatformMessageBox answers as if
// the user had pressed the first button (Yes, OK).
void PlatformSetSilent(int silent);

// Has the running program at self removed once it has ended: starts a copy
// of it from the temporary folder with the arguments "/L=levels /F=self"
// (open only to administrators when elevated); where no copy can run, self
// and the levels folders above it are removed at the next restart. 0 when
// neither could be arranged.
int PlatformRemoveSelfLater(const char* self, int levels);

// Ends the process with the exit code; never returns.
[[noreturn]] void PlatformExit(int code);
