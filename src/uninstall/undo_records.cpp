// undo_records.cpp: the undo of install.log's records.
#include "uninstall/undo_records.h"

#include "actions/system_operations.h"
#include "platform/platform.h"
#include "script/command_names.h"
#include "script/command_records.h"

#include <string.h>

enum {
    MaxNamed = 3, // items named of those left
};

static int IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// An absolute path below a drive's root or a share: nothing else can be
// trusted to name what the installer put there. No component may climb or
// stay (. and .., or more dots, which Windows strips to those), and no
// device or literal-path prefix may bypass Windows' own checks.
static int IsPathBelowRoot(const char* path) {
    const char* rest;
    if (HasDrive(path) && path[2] == '\\')
        rest = path + 3;
    else if (path[0] == '\\' && path[1] == '\\' && path[2] != '?' && path[2] != '.' &&
             (rest = strchr(path + 2, '\\')) && (rest = strchr(rest + 1, '\\')))
        rest++;
    else
        return 0;
    while (IsSeparator(*rest)) rest++;
    if (!*rest) return 0;
    for (const char* p = rest; *p;) {
        const char* start = p;
        while (*p == '.') p++;
        if (p > start && (!*p || IsSeparator(*p))) return 0;
        while (*p && !IsSeparator(*p)) p++;
        while (IsSeparator(*p)) p++;
    }
    return 1;
}

int UndoDeleteFile(const char* path) {
    if (!IsPathBelowRoot(path)) return 0;
    uint32_t attributes = PlatformGetFileAttributes(path);
    if (attributes == PLATFORM_INVALID_FILE_ATTRIBUTES) return 1;
    if (attributes & PLATFORM_FILE_ATTRIBUTE_DIRECTORY) return 0;
    return PlatformDeleteFile(path);
}

int UndoRemoveDirectory(const char* path) {
    if (!IsPathBelowRoot(path)) return 0;
    if (PlatformRemoveDirectory(path)) return 1;
    uint32_t error = PlatformGetLastError();
    return error == PLATFORM_ERROR_FILE_NOT_FOUND || error == PLATFORM_ERROR_PATH_NOT_FOUND ||
           error == PLATFORM_ERROR_DIR_NOT_EMPTY;
}

int UndoRemoveRegistry(int32_t rootIndex, const char* keyPath, const char* valueName) {
    PlatformKey root = RegistryRootKey(rootIndex);
    PlatformKey key;
    if (!root || !*keyPath) return 0;
    long opened = PlatformRegOpenKeyEx(root, keyPath, 0, PLATFORM_KEY_QUERY_SET_VALUE, &key);
    if (opened != PLATFORM_ERROR_SUCCESS) return opened == PLATFORM_ERROR_FILE_NOT_FOUND;
    long deleted = PlatformRegDeleteValue(key, valueName);
    uint32_t subKeys = 1, values = 1;
    PlatformRegQueryInfoKey(key, &subKeys, &values);
    PlatformRegCloseKey(key);
    if (deleted != PLATFORM_ERROR_SUCCESS && deleted != PLATFORM_ERROR_FILE_NOT_FOUND) return 0;
    // The product's own key (its entry under the uninstall key) goes with
    // its last value.
    return subKeys || values || PlatformRegDeleteKey(root, keyPath) == PLATFORM_ERROR_SUCCESS;
}

int FoldersMadeAbove(const char* folder) {
    char level[PLATFORM_MAX_PATH];
    strncpy(level, folder, sizeof level - 1);
    level[sizeof level - 1] = 0;
    int count = 0;
    for (int found = 1; found; count += found) {
        found = 0;
        for (const CommandRecord* r = commandList.head; r && !found; r = r->next)
            found = !strcmp(r->name, LOG_REMOVE_DIRECTORY) && SamePath(r->arguments[0].text, level);
        char* slash = strrchr(level, '\\');
        if (!found || !slash) break;
        *slash = 0;
    }
    return count;
}

static void Append(char* text, size_t size, const char* item) {
    size_t length = strlen(text);
    for (; *item && length + 2 < size; item++) text[length++] = *item;
    text[length++] = '\n';
    text[length] = 0;
}

static char Folded(char c) {
    return c >= 'A' && c <= 'Z' ? c | 0x20 : c;
}

int SamePath(const char* a, const char* b) {
    for (;;) {
        if (*a == '\\' || *b == '\\') {
            // A run of separators against one, or against the end.
            if ((*a && *a != '\\') || (*b && *b != '\\')) return 0;
            while (*a == '\\') a++;
            while (*b == '\\') b++;
            if (!*a || !*b) return !*a && !*b;
        }
        if (Folded(*a) != Folded(*b)) return 0;
        if (!*a) return 1;
        a++, b++;
    }
}

int UndoRecords(const char* self, char* left, size_t size) {
    int count = 0;
    left[0] = 0;
    // Files, values and keys first, then folders: a folder goes only once
    // empty, whatever the order in which reinstalls left the records.
    for (int folders = 0; folders < 2; folders++)
        for (const CommandRecord* r = commandList.head; r; r = r->next) {
            const CommandArgument* a = r->arguments;
            int isFolder = !strcmp(r->name, LOG_REMOVE_DIRECTORY), done;
            if (isFolder != folders) continue;
            if (isFolder)
                done = UndoRemoveDirectory(a[0].text);
            else if (!strcmp(r->name, LOG_DELETE_FILE))
                done = SamePath(a[0].text, self) || UndoDeleteFile(a[0].text);
            else if (!strcmp(r->name, LOG_REMOVE_REGISTRY))
                done = UndoRemoveRegistry(a[0].intValue, a[1].text, a[2].text);
            else
                continue;
            if (done) continue;
            if (count++ < MaxNamed) Append(left, size, a[a[0].type == ArgumentType::Integer].text);
        }
    return count;
}
