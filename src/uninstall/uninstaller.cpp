// uninstaller.cpp: one run of the uninstaller. Talks to the user only
// through message boxes, which silent mode answers without showing them.
#include "uninstall/uninstaller.h"

#include "platform/format_text.h"
#include "platform/platform.h"
#include "script/command_names.h"
#include "script/command_records.h"
#include "script/log_reader.h"
#include "uninstall/undo_records.h"

#include <stdlib.h>
#include <string.h>

enum {
    TextSize = 512,    // a question or a report
    LeftSize = 200,    // the names of the first items left
    FinishTries = 300, // for the original to end: 30 s in steps of 100 ms
};

static const char Caption[] = "Vantorel";

static int KeepRecord(const CommandRecord* record) {
    CommandRecord* kept = AppendCommandRecord();
    if (!kept) return 0;
    memcpy(kept->name, record->name, sizeof kept->name);
    memcpy(kept->arguments, record->arguments, sizeof kept->arguments);
    return 1;
}

// Reads the whole log into the CommandList: 0, the number of the first line
// that is not a record, or -1 when the file cannot be read.
static long ReadLog(const char* path) {
    FILE* file = PlatformOpenFile(path, "rb");
    if (!file) return -1;
    long size = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
    char* text = ReadLogBytes(file, size);
    long result = text ? (long)ReadLogText(text, (size_t)size, KeepRecord) : -1;
    free(text);
    fclose(file);
    return result;
}

// The argument that follows a switch such as /F=, or none.
static const char* FindSwitch(const char* commandLine, const char* name) {
    size_t length = strlen(name);
    for (const char* p = commandLine; *p; p++)
        if ((p == commandLine || p[-1] == ' ') && !strncmp(p, name, length) &&
            (name[length - 1] == '=' || p[length] == 0 || p[length] == ' '))
            return p + length;
    return 0;
}

int FinishRemoval(const char* path, int levels) {
    // The original ends just after starting this copy: wait for its file
    // to be free.
    for (int tries = 0; !PlatformDeleteFile(path); tries++) {
        if (PlatformGetFileAttributes(path) == PLATFORM_INVALID_FILE_ATTRIBUTES) break;
        if (tries == FinishTries) return ExitItemsLeft;
        PlatformSleep(100);
    }
    // The folders the installation made, kept while the user's files are in them.
    char folder[PLATFORM_MAX_PATH];
    FormatText(folder, sizeof folder, "%s", path);
    for (char* slash; levels-- > 0 && (slash = strrchr(folder, '\\'));) {
        *slash = 0;
        if (!PlatformRemoveDirectory(folder)) break;
    }
    return ExitRemoved;
}

int RunUninstaller(const char* commandLine) {
    const char* finish = FindSwitch(commandLine, "/F=");
    const char* made = FindSwitch(commandLine, "/L=");
    if (finish) return FinishRemoval(finish, made ? *made - '0' : 0);
    PlatformSetSilent(FindSwitch(commandLine, "/S") != 0);

    char self[PLATFORM_MAX_PATH], folder[PLATFORM_MAX_PATH], log[PLATFORM_MAX_PATH], text[TextSize],
        title[TextSize];
    PlatformGetModuleFileName(self, sizeof self);
    FormatText(folder, sizeof folder, "%s", self);
    char* slash = strrchr(folder, '\\');
    if (slash) *slash = 0;
    FormatText(log, sizeof log, "%s\\install.log", folder);
    // Stand outside the folder that is to go.
    char temp[PLATFORM_MAX_PATH];
    if (PlatformGetTempPath(sizeof temp, temp) < sizeof temp) PlatformSetCurrentDirectory(temp);

    // A log that is not whole is not acted on at all: any record of it could
    // be cut short and name something else.
    long damaged = ReadLog(log);
    if (damaged) {
        FreeCommandList();
        if (damaged < 0)
            FormatText(text, sizeof text, "Can't read the installation log in %s", folder);
        else
            FormatText(text, sizeof text,
                       "The installation log %s is damaged at line %d. Nothing was removed.", log,
                       (int)damaged);
        PlatformMessageBox(text, "Error", PLATFORM_MB_OK | PLATFORM_MB_ICONHAND);
        return ExitFatal;
    }
    const char* name = GetCommandText(LOG_TITLE, 0);
    FormatText(title, sizeof title, "%s", name ? name : folder);
    FormatText(text, sizeof text, "Remove \"%s\" and all of its components?", title);
    if (PlatformMessageBox(text, Caption, PLATFORM_MB_YESNO | PLATFORM_MB_ICONQUESTION) ==
        PLATFORM_IDNO) {
        FreeCommandList();
        return ExitDeclined;
    }
    char left[LeftSize];
    int count = UndoRecords(self, left, sizeof left);
    int levels = FoldersMadeAbove(folder);
    FreeCommandList();
    if (!UndoDeleteFile(log)) count++;
    // A copy of this program finishes the job (FinishRemoval) once it has ended.
    if (!PlatformRemoveSelfLater(self, levels > 9 ? 9 : levels)) count++;

    if (count)
        FormatText(text, sizeof text,
                   "%s was not removed completely: %d items could not be removed:\n%s", title,
                   count, left);
    else
        FormatText(text, sizeof text, "%s was removed.", title);
    PlatformMessageBox(text, Caption,
                       PLATFORM_MB_OK |
                           (count ? PLATFORM_MB_ICONHAND : PLATFORM_MB_ICONINFORMATION));
    return count ? ExitItemsLeft : ExitRemoved;
}
