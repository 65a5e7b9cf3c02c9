// script_executor.cpp: the script executor and its command handlers.
//
// Undo records are written only for changes that were made, so that an
// uninstaller never removes what the run did not put there. Every ExpandPath
// result is used before the next call, which overwrites it.
#include "actions/script_executor.h"

#include "actions/folder_variables.h"
#include "actions/install_log.h"
#include "actions/system_operations.h"
#include "platform/format_text.h"
#include "platform/installer_ui.h"
#include "platform/platform.h"
#include "script/command_names.h"
#include "script/command_records.h"

#include <string.h>

enum { LinkPathSize = 256 };

// The status text last shown: the name of a step that fails.
static char status[StatusSize];

static void ShowStatus(const char* format, const char* text) {
    FormatText(status, sizeof status, format, text);
    UiSetStatusText(status);
}

// A record for a path, only when the path fits it whole: a cut one could
// name another file or folder.
static void AddPathRecord(const char* name, const char* path, size_t length) {
    if (length >= ArgumentTextSize) return;
    CommandRecord* record = NewLogRecord(name);
    if (!record) return;
    record->arguments[0].type = ArgumentType::Text;
    memcpy(record->arguments[0].text, path, length);
    record->arguments[0].text[length] = 0;
}

int TitleCommand(const char* title) {
    SetLogText(NewLogRecord(LOG_TITLE), title, 0);
    return 1;
}

// The status shows the value as the script wrote it: the data before
// expansion, or the number. The record is made only for a value written.
static int RegistryStep(int written, int32_t root, const char* key, const char* valueName,
                        const char* shown) {
    FormatText(status, sizeof status, "Adding Registry Key: %s:%s", valueName, shown);
    UiSetStatusText(status);
    if (!written) return 0;
    CommandRecord* record = NewLogRecord(LOG_REMOVE_REGISTRY);
    SetLogInteger(record, root, 0);
    SetLogText(record, key, 1);
    SetLogText(record, valueName, 2);
    return 1;
}

int RegistryCommand(int32_t root, const char* key, const char* valueName, const char* data) {
    int written = WriteRegistryString(root, key, valueName, ExpandPath(data));
    return RegistryStep(written, root, key, valueName, data);
}

int RegistryIntCommand(int32_t root, const char* key, const char* valueName, int32_t value) {
    int written = WriteRegistryDword(root, key, valueName, value);
    char number[12];
    FormatText(number, sizeof number, "%d", (int)value);
    return RegistryStep(written, root, key, valueName, number);
}

// Each level made gets its record, the deepest last, so that the log (newest
// first) removes it first; levels that were there stay untouched.
static void RecordLevel(const char* path, size_t length) {
    AddPathRecord(LOG_REMOVE_DIRECTORY, path, length);
}

// Elevated, the target and the levels made on the way to it are closed as
// Program Files is: else any user could replace the product, and the
// uninstaller that an administrator runs later, in a folder below a drive's
// root. Other folders (the Start-menu group) keep what they inherit.
int MakeDirectoryCommand(const char* path) {
    const char* expanded = ExpandPath(path);
    int made =
        MakeDirectoryPath(expanded, RecordLevel, IsInTarget(expanded) && PlatformIsElevated());
    ShowStatus("Creating Directory: %s", path);
    return made;
}

// A relative destination resolves against the extraction folder, where it
// names the source itself (copied onto itself, then deleted, the file would
// be lost) or a file that goes with the folder at the end.
static int IsRelative(const char* path) {
    char next = path[HasDrive(path) ? 2 : 0];
    return next != '\\' && next != '/';
}

// The source is deleted only when the copy succeeded: after a failed copy it
// is the only copy of the file.
int MoveFileCommand(const char* source, const char* destination) {
    const char* target = ExpandPath(destination);
    int moved = !IsRelative(target) && CopyIntoPlace(source, target);
    if (moved) {
        PlatformDeleteFile(source);
        AddPathRecord(LOG_DELETE_FILE, target, strlen(target));
    }
    ShowStatus("Moving File: %s", target);
    return moved;
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

// Saves the shortcut link\name.lnk to target, and shows the status. A link
// path that does not fit its buffer is not created: a cut path would put the
// shortcut somewhere else. Recorded only when saved.
static int AddShortcut(char* link, int fits, const char* target, const char* name,
                       const char* format) {
    int saved = 0;
    if (fits && BuildPath(link, "\\", name, ".lnk")) {
        PlatformCoInitialize();
        int32_t result = CreateShortcut(ExpandPath(target), link, name);
        PlatformCoUninitialize();
        saved = result >= 0;
        if (saved) AddPathRecord(LOG_DELETE_FILE, link, strlen(link));
    }
    ShowStatus(format, name);
    return saved;
}

int StartMenuCommand(const char* target, const char* group, const char* name) {
    char link[LinkPathSize];
    link[0] = 0;
    // A group folder whose path does not fit is neither made nor logged: the
    // cut path would name another folder, which the uninstaller would remove.
    int made =
        BuildPath(link, folderVariables.programsDir, "\\", group) && MakeDirectoryCommand(link);
    return AddShortcut(link, made, target, name, "Adding to Startmenu: %s");
}

int DesktopIconCommand(const char* target, const char* name) {
    char link[LinkPathSize];
    link[0] = 0;
    int fits = BuildPath(link, folderVariables.desktopDir, "", "");
    return AddShortcut(link, fits, target, name, "Adding Desktop Icon: %s");
}

// Runs one record; 0 when its step failed. Other names are passed over. One
// loop finds the name in the list, in place of a comparison per command.
static int RunCommand(const CommandRecord* record) {
    enum { Title, Registry, RegistryInt, MakeDirectory, MoveFile, StartMenu, DesktopIcon, Message };
    BYTE_ALIGNED static const char names[] =
        COMMAND_TITLE "\0" COMMAND_REGISTRY "\0" COMMAND_REGISTRY_INT "\0" COMMAND_MAKE_DIRECTORY
                      "\0" COMMAND_MOVE_FILE "\0" COMMAND_START_MENU "\0" COMMAND_DESKTOP_ICON
                      "\0" COMMAND_MESSAGE "\0";
    const CommandArgument* a = record->arguments;
    int command = 0;
    for (const char* n = names; *n && strcmp(record->name, n); n += strlen(n) + 1) command++;
    switch (command) {
    case Title:
        return TitleCommand(a[0].text);
    case Registry:
        return RegistryCommand(a[0].intValue, a[1].text, a[2].text, a[3].text);
    case RegistryInt:
        return RegistryIntCommand(a[0].intValue, a[1].text, a[2].text, a[3].intValue);
    case MakeDirectory:
        return MakeDirectoryCommand(a[0].text);
    case MoveFile:
        return MoveFileCommand(a[0].text, a[1].text);
    case StartMenu:
        return StartMenuCommand(a[0].text, a[1].text, a[2].text);
    case DesktopIcon:
        return DesktopIconCommand(a[0].text, a[1].text);
    case Message:
        UiShowInfo(a[0].text);
    }
    return 1;
}

int RunScript(char* firstFailure) {
    ResetInstallLog();
    int count = 0;
    for (const CommandRecord* record = commandList.head; record; record = record->next) count++;
    int step = 0;
    int lastPercent = -1;
    int failed = 0;
    firstFailure[0] = 0;
    for (const CommandRecord* record = commandList.head; record; record = record->next) {
        int percent = (int)((int64_t)++step * 100 / count);
        if (percent != lastPercent) {
            lastPercent = percent;
            UiSetProgress(percent);
        }
        if (!strcmp(record->name, COMMAND_ASK) && !UiAskYesNo(record->arguments[0].text)) {
            // Skip to the first EndAsk, whichever Ask it closes; without one,
            // to the end of the script.
            while (record->next && strcmp(record->next->name, COMMAND_END_ASK))
                record = record->next;
            if (!record->next) break;
            record = record->next; // the EndAsk itself: skipped, no step
            continue;
        }
        status[0] = 0;
        if (!RunCommand(record) && failed++ == 0) strcpy(firstFailure, status);
    }
    if (!WriteInstallLog() && failed++ == 0)
        FormatText(firstFailure, StatusSize, "Writing install.log in %s",
                   folderVariables.targetDir);
    return failed;
}
