// folder_variables.cpp: folder variables and % expansion.
#include "actions/folder_variables.h"

#include "actions/system_operations.h"
#include "platform/format_text.h"
#include "platform/platform.h"
#include "script/command_names.h"
#include "script/command_records.h"

#include <string.h>

FolderVariables folderVariables;

static char expansion[ExpansionSize];

void SetFolder(char* folder, const char* text) {
    strncpy(folder, text ? text : "", FolderSize - 1);
    folder[FolderSize - 1] = 0;
}

int ReadRegistryString(int32_t rootIndex, const char* keyPath, const char* valueName, char* buffer,
                       uint32_t size) {
    PlatformKey root = RegistryRootKey(rootIndex);
    PlatformKey key;
    if (!root ||
        PlatformRegOpenKeyEx(root, keyPath, 0, PLATFORM_KEY_READ, &key) != PLATFORM_ERROR_SUCCESS)
        return 0;
    uint32_t type = PLATFORM_REG_SZ;
    uint32_t dataSize = size;
    long result = PlatformRegQueryValueEx(key, valueName, &type, (uint8_t*)buffer, &dataSize);
    // A value too long for the buffer leaves it undefined: take the empty text
    // rather than a cut folder. Otherwise end the text within the buffer, also
    // for a value stored without its NUL.
    if (result == PLATFORM_ERROR_MORE_DATA)
        buffer[0] = 0;
    else if (result == PLATFORM_ERROR_SUCCESS)
        buffer[dataSize < size ? dataSize : size - 1] = 0;
    PlatformRegCloseKey(key);
    return 1;
}

static void ReadSystemFolder(uint32_t (*get)(char*, uint32_t), char* folder) {
    folder[0] = 0;
    if (get(folder, FolderSize) >= FolderSize) folder[0] = 0; // did not fit: nothing defined
    folder[FolderSize - 1] = 0;
}

void LoadFolderVariables(void) {
    BYTE_ALIGNED static const char ShellFolders[] =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    FolderVariables* f = &folderVariables;
    ReadRegistryString(2, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                       f->programFilesDir, FolderSize);
    ReadRegistryString(1, ShellFolders, "Programs", f->programsDir, FolderSize);
    ReadRegistryString(1, ShellFolders, "Desktop", f->desktopDir, FolderSize);
    ReadSystemFolder(PlatformGetWindowsDirectory, f->windowsDir);
    ReadSystemFolder(PlatformGetSystemDirectory, f->systemDir);
    // rootDir first: a TargetDirectory such as %p%r uses it.
    SetFolder(f->rootDir, GetCommandText(COMMAND_ROOT_DIRECTORY, 0));
    const char* target = GetCommandText(COMMAND_TARGET_DIRECTORY, 0);
    SetFolder(f->targetDir, ExpandPath(target ? target : ""));
}

// The folder of a % letter; the empty text for another letter.
static const char* FolderOfLetter(char letter) {
    switch (letter) {
    case 'p':
        return folderVariables.programFilesDir;
    case 'w':
        return folderVariables.windowsDir;
    case 's':
        return folderVariables.systemDir;
    case 't':
        return folderVariables.targetDir;
    case 'r':
        return folderVariables.rootDir;
    default:
        return "";
    }
}

// Each byte, or each folder in place of its variable, is appended at one
// place, cut at the buffer's end.
const char* ExpandPath(const char* text) {
    int length = 0;
    for (const char* p = text; *p; p++) {
        const char* piece = p;
        int count = 1;
        if (*p == '%') {
            if (!p[1]) break; // a trailing % is dropped
            piece = FolderOfLetter(*++p);
            count = (int)strlen(piece);
        }
        int room = ExpansionSize - 1 - length;
        if (count > room) count = room;
        memcpy(expansion + length, piece, count);
        length += count;
    }
    expansion[length] = 0;
    return expansion;
}

int IsInTarget(const char* path) {
    const char* target = folderVariables.targetDir;
    size_t length = strlen(target);
    while (length && target[length - 1] == '\\') length--;
    for (size_t i = 0; i < length; i++)
        if ((path[i] ^ target[i]) & ~0x20 || !path[i]) return 0;
    return length && (path[length] == 0 || path[length] == '\\');
}
