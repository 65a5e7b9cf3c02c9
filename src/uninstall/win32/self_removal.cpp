// self_removal.cpp: the uninstaller's PlatformRemoveSelfLater, kept out of
// the installer stub, which would otherwise carry its imports.
//
// A running program's file cannot be deleted. So the program writes a copy
// of itself into the temporary folder and starts it; the copy waits for it to
// end and does the rest. The copy's file is opened for deletion on close by a
// handle the copy inherits: when the copy ends, its last handle closes and the
// file goes with it.
#include "platform/format_text.h"
#include "platform/platform.h"

#include <windows.h>
#include <sddl.h>

enum { CommandSize = 2 * MAX_PATH + 16, MaxAttempts = 16 };

// Writes the image into a new file copy; when elevated, one that only
// administrators can touch from its first moment, so that no unelevated
// program can replace what runs next with the same rights.
static int WriteProgramCopy(const char* copy, const void* image, DWORD size) {
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, 0, FALSE};
    if (PlatformIsElevated() && !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                                    PLATFORM_SDDL_ADMINISTRATORS_ONLY, SDDL_REVISION_1,
                                    &attributes.lpSecurityDescriptor, 0))
        return 0;
    HANDLE file = CreateFileA(copy, GENERIC_WRITE, 0, &attributes, CREATE_NEW, 0, 0);
    if (attributes.lpSecurityDescriptor) LocalFree(attributes.lpSecurityDescriptor);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD written;
    int whole = WriteFile(file, image, size, &written, 0) && written == size;
    CloseHandle(file);
    if (!whole) DeleteFileA(copy);
    return whole;
}

int PlatformRemoveSelfLater(const char* self, int levels) {
    char temp[MAX_PATH], copy[MAX_PATH + 32], command[CommandSize];
    HANDLE image = CreateFileA(self, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    DWORD size = image == INVALID_HANDLE_VALUE ? 0 : GetFileSize(image, 0);
    void* bytes =
        size && size != INVALID_FILE_SIZE ? VirtualAlloc(0, size, MEM_COMMIT, PAGE_READWRITE) : 0;
    DWORD got = 0;
    int read = bytes && ReadFile(image, bytes, size, &got, 0) && got == size;
    if (image != INVALID_HANDLE_VALUE) CloseHandle(image);
    DWORD length = GetTempPathA(MAX_PATH, temp);
    int made = 0;
    for (int attempt = 0; read && length && length < MAX_PATH && !made && attempt < MaxAttempts;
         attempt++) {
        FormatText(copy, sizeof copy, "%svantorel-uninstall-%d.exe", temp,
                   (int)((GetTickCount() + attempt * 7919u) & 0x7FFFFFFF));
        made = WriteProgramCopy(copy, bytes, size);
    }
    if (bytes) VirtualFree(bytes, 0, MEM_RELEASE);
    if (made) {
        SECURITY_ATTRIBUTES inherited = {sizeof inherited, 0, TRUE};
        HANDLE doomed =
            CreateFileA(copy, DELETE | GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                        &inherited, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, 0);
        FormatText(command, sizeof command, "\"%s\" /L=%d /F=%s", copy, levels, self);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process;
        if (doomed != INVALID_HANDLE_VALUE &&
            CreateProcessA(copy, command, 0, 0, TRUE, 0, 0, temp, &startup, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            return 1; // doomed stays open until we end; the copy holds its own
        }
        if (doomed != INVALID_HANDLE_VALUE) CloseHandle(doomed); // and the copy goes
        DeleteFileA(copy);
    }
    // No copy could run: the file and its folders go at the next restart
    // (each folder only when empty by then).
    char folder[MAX_PATH];
    FormatText(folder, sizeof folder, "%s", self);
    int scheduled = MoveFileExA(self, 0, MOVEFILE_DELAY_UNTIL_REBOOT);
    for (char* end = folder + lstrlenA(folder); levels-- > 0 && scheduled;) {
        while (end > folder && *end != '\\') end--;
        *end = 0;
        scheduled = MoveFileExA(folder, 0, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    return scheduled;
}
