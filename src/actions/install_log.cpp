// install_log.cpp: the install log and its writer.
#include "actions/install_log.h"

#include "actions/folder_variables.h"
#include "actions/system_operations.h"
#include "platform/platform.h"
#include "script/command_names.h"
#include "script/log_reader.h"

#include <stdlib.h>
#include <string.h>

CommandRecord* installLog;

void ResetInstallLog(void) {
    installLog = 0;
}

CommandRecord* NewLogRecord(const char* name) {
    CommandRecord* record = (CommandRecord*)calloc(1, sizeof(CommandRecord));
    if (!record) return 0;
    strncpy(record->name, name, CommandNameSize - 1);
    record->next = installLog;
    installLog = record;
    return record;
}

// Out of line: the stubs would copy it into each of its callers.
__attribute__((noinline)) void SetLogText(CommandRecord* record, const char* text, int slot) {
    if (!record) return;
    record->arguments[slot].type = ArgumentType::Text;
    strncpy(record->arguments[slot].text, text, ArgumentTextSize - 1);
    record->arguments[slot].text[ArgumentTextSize - 1] = 0;
}

void SetLogInteger(CommandRecord* record, int32_t value, int slot) {
    if (!record) return;
    record->arguments[slot].type = ArgumentType::Integer;
    record->arguments[slot].intValue = value;
}

void WriteLogLine(FILE* file, const CommandRecord* record) {
    fprintf(file, "%s (", record->name);
    const char* separator = "";
    for (const CommandArgument* argument = record->arguments;
         argument < record->arguments + ArgumentSlots && argument->type != ArgumentType::None;
         argument++) {
        if (argument->type == ArgumentType::Integer)
            fprintf(file, "%s%d", separator, (int)argument->intValue);
        else
            fprintf(file, "%s\"%s\"", separator, argument->text);
        separator = ", ";
    }
    fputs(");\n", file);
}

enum { LockTries = 100 }; // for another installer's log: 10 s in steps of 100 ms

// Opens path for reading and writing with no other opener, made when
// missing but never cut: two installers into one folder merge in turn.
static FILE* OpenLogAlone(const char* path) {
    for (int tries = 0; tries < LockTries; tries++) {
        uint32_t error;
        FILE* file = PlatformOpenFileAlone(path, "r+b", &error);
        if (file) return file;
        if (error == PLATFORM_ERROR_FILE_NOT_FOUND) {
            // Made, then opened again: "w+" would cut a log another
            // installer wrote in between.
            if ((file = PlatformOpenFileAlone(path, "a+b", &error))) {
                fclose(file);
                continue;
            }
        }
        if (error != PLATFORM_ERROR_SHARING_VIOLATION) return 0;
        PlatformSleep(100);
    }
    return 0;
}

// Behind this run's lines (the first written bytes of file) go the old
// log's, line for line, but those this run wrote again and the old Title.
// They are not read as records: a damaged line stays for the uninstaller to
// refuse, rather than be lost here.
static int MergeOldLog(FILE* file, const char* old, long oldSize, long written) {
    char* fresh = ReadLogBytes(file, written);
    const char* end = fresh + written;
    int merged = fresh && fseek(file, written, SEEK_SET) == 0;
    // The search for a line starts where the last one was found: a
    // reinstall writes most lines in the old order.
    const char* cursor = fresh;
    for (const char* line = old; merged && line < old + oldSize;) {
        const char* lf = (const char*)memchr(line, '\n', old + oldSize - line);
        size_t length = (lf ? lf + 1 : old + oldSize) - line;
        int found = !strncmp(line, LOG_TITLE " (", sizeof LOG_TITLE + 1);
        for (const char* at = cursor; written && !found;) {
            const char* next = (const char*)memchr(at, '\n', end - at) + 1;
            found = (size_t)(next - at) == length && !memcmp(at, line, length);
            at = next < end ? next : fresh;
            if (found) cursor = at;
            if (at == cursor) break;
        }
        if (!found) fwrite(line, 1, length, file);
        line += length;
    }
    free(fresh);
    return merged;
}

int WriteInstallLog(void) {
    // Room for any target folder: the file system, not this buffer, decides
    // whether the path is too long.
    char path[FolderSize + sizeof "\\install.log"];
    strcpy(path, folderVariables.targetDir);
    strcat(path, "\\install.log");
    FILE* file = OpenLogAlone(path);
    // A script that made no folder (registry values only) still keeps its
    // undo records: the target folder is made for them.
    if (!file && MakeDirectoryPath(folderVariables.targetDir, 0, PlatformIsElevated()))
        file = OpenLogAlone(path);
    int written = 0;
    if (file) {
        long oldSize = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
        char* old = ReadLogBytes(file, oldSize);
        if (old && fseek(file, 0, SEEK_SET) == 0) {
            for (const CommandRecord* record = installLog; record; record = record->next)
                WriteLogLine(file, record);
            written = MergeOldLog(file, old, oldSize, ftell(file));
            written = !ferror(file) && PlatformSetFileSize(file, ftell(file)) && written;
        }
        free(old);
        written = fclose(file) == 0 && written;
    }
    while (installLog) {
        CommandRecord* next = installLog->next;
        free(installLog);
        installLog = next;
    }
    return written;
}
