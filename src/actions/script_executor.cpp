// script_executor.cpp: the script executor and its command handlers.
//
// Handlers never report failure: a registry key, directory, copy or shortcut
// that fails leaves the status text and the undo record as in success. Every
// ExpandPath result is used before the next call, which overwrites it.
#include "actions/script_executor.h"

#include "actions/folder_variables.h"
#include "actions/install_log.h"
#include "actions/system_operations.h"
#include "platform/format_text.h"
#include "platform/installer_ui.h"
#include "platform/platform.h"
#include "script/command_records.h"

#include <string.h>

enum { StatusSize = 256, LinkPathSize = 256 };

static void ShowStatus(const char* format, const char* text) {
    char status[StatusSize];
    FormatText(status, sizeof status, format, text);
    UiSetStatusText(status);
}

void TitleCommand(const char* title) {
    SetLogText(NewLogRecord("Title"), title, 0);
}

static void AddRemoveRegistry(int32_t root, const char* key, const char* valueName) {
    CommandRecord* record = NewLogRecord("RemoveRegistry");
    SetLogInteger(record, root, 0);
    SetLogText(record, key, 1);
    SetLogText(record, valueName, 2);
}

void RegistryCommand(int32_t root, const char* key, const char* valueName, const char* data) {
    AddRemoveRegistry(root, key, valueName);
    WriteRegistryString(root, key, valueName, ExpandPath(data));
    char status[StatusSize];
    FormatText(status, sizeof status, "Adding Registry Key: %s:%s", valueName, data);
    UiSetStatusText(status);
}

void RegistryIntCommand(int32_t root, const char* key, const char* valueName, int32_t value) {
    AddRemoveRegistry(root, key, valueName);
    WriteRegistryDword(root, key, valueName, value);
    char status[StatusSize];
    FormatText(status, sizeof status, "Adding Registry Key: %s:%d", valueName, (int)value);
    UiSetStatusText(status);
}

void MakeDirectoryCommand(const char* path) {
    SetLogText(NewLogRecord("RemoveDirectory"), ExpandPath(path), 0);
    MakeDirectoryPath(ExpandPath(path));
    ShowStatus("Creating Directory: %s", path);
}

// The source is deleted only when the copy succeeded: after a failed copy it
// is the only copy of the file.
void MoveFileCommand(const char* source, const char* destination) {
    SetLogText(NewLogRecord("DeleteFile"), ExpandPath(destination), 0);
    if (PlatformCopyFile(source, ExpandPath(destination), 0)) PlatformDeleteFile(source);
    ShowStatus("Moving File: %s", ExpandPath(destination));
}

// Appends the pieces to path (LinkPathSize); 0 when they do not fit.
static int BuildPath(char* path, const char* a, const char* b, const char* c) {
    const char* pieces[3] = {a, b, c};
    size_t length = strlen(path);
    for (const char* piece : pieces) {
        size_t add = strlen(piece);
        if (length + add >= LinkPathSize) return 0;
        memcpy(path + length, piece, add + 1);
        length += add;
    }
    return 1;
}

// A link path that does not fit its buffer is not created: a cut path would
// put the shortcut somewhere else.
static void MakeShortcut(const char* linkPath, int fits, const char* target, const char* name) {
    if (!fits) return;
    PlatformCoInitialize();
    CreateShortcut(ExpandPath(target), linkPath, name);
    PlatformCoUninitialize();
}

void StartMenuCommand(const char* target, const char* group, const char* name) {
    char link[LinkPathSize] = "";
    // A group folder whose path does not fit is neither made nor logged: the
    // cut path would name another folder, which the uninstaller would remove.
    int fits = BuildPath(link, folderVariables.programsDir, "\\", group);
    if (fits) MakeDirectoryCommand(link);
    fits = fits && BuildPath(link, "\\", name, ".lnk");
    MakeShortcut(link, fits, target, name);
    SetLogText(NewLogRecord("DeleteFile"), link, 0);
    ShowStatus("Adding to Startmenu: %s", name);
}

void DesktopIconCommand(const char* target, const char* name) {
    char link[LinkPathSize] = "";
    int fits =
        BuildPath(link, folderVariables.desktopDir, "\\", name) && BuildPath(link, ".lnk", "", "");
    MakeShortcut(link, fits, target, name);
    SetLogText(NewLogRecord("DeleteFile"), link, 0);
    ShowStatus("Adding Desktop Icon: %s", name);
}

static void RunCommand(const CommandRecord* record) {
    const CommandArgument* a = record->arguments;
    const char* name = record->name;
    if (!strcmp(name, "Title"))
        TitleCommand(a[0].text);
    else if (!strcmp(name, "Registry"))
        RegistryCommand(a[0].intValue, a[1].text, a[2].text, a[3].text);
    else if (!strcmp(name, "RegistryInt"))
        RegistryIntCommand(a[0].intValue, a[1].text, a[2].text, a[3].intValue);
    else if (!strcmp(name, "MakeDirectory"))
        MakeDirectoryCommand(a[0].text);
    else if (!strcmp(name, "MoveFile"))
        MoveFileCommand(a[0].text, a[1].text);
    else if (!strcmp(name, "StartMenu"))
        StartMenuCommand(a[0].text, a[1].text, a[2].text);
    else if (!strcmp(name, "DesktopIcon"))
        DesktopIconCommand(a[0].text, a[1].text);
    else if (!strcmp(name, "Message"))
        UiShowInfo(a[0].text);
}

int RunScript(void) {
    ResetInstallLog();
    int count = 0;
    for (const CommandRecord* record = commandList.head; record; record = record->next) count++;
    int step = 0;
    int lastPercent = -1;
    for (const CommandRecord* record = commandList.head; record; record = record->next) {
        int percent = (int)((int64_t)++step * 100 / count);
        if (percent != lastPercent) {
            lastPercent = percent;
            UiSetProgress(percent);
        }
        if (!strcmp(record->name, "Ask") && !UiAskYesNo(record->arguments[0].text)) {
            // Skip to the first EndAsk, whichever Ask it closes; without one,
            // to the end of the script.
            while (record->next && strcmp(record->next->name, "EndAsk")) record = record->next;
            if (!record->next) break;
            record = record->next; // the EndAsk itself: skipped, no step
            continue;
        }
        RunCommand(record);
    }
    WriteInstallLog();
    return 0;
}
