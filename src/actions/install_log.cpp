// install_log.cpp: the install log and its writer.
#include "actions/install_log.h"

#include "actions/folder_variables.h"
#include "actions/system_operations.h"
#include "platform/platform.h"

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

void SetLogText(CommandRecord* record, const char* text, int slot) {
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
    int count = CountArguments(record);
    for (int slot = 0; slot < count; slot++) {
        const CommandArgument* argument = &record->arguments[slot];
        if (argument->type == ArgumentType::Integer)
            fprintf(file, "%d", (int)argument->intValue);
        else
            fprintf(file, "\"%s\"", argument->text);
        if (slot + 1 < count) fputs(", ", file);
    }
    fputs(");\n", file);
}

int WriteInstallLog(void) {
    // Room for any target folder: the file system, not this buffer, decides
    // whether the path is too long.
    char path[FolderSize + sizeof "\\install.log"];
    strcpy(path, folderVariables.targetDir);
    strcat(path, "\\install.log");
    FILE* file = PlatformOpenFile(path, "wb");
    // A script that made no folder (registry values only) still keeps its
    // undo records: the target folder is made for them.
    if (!file && MakeDirectoryPath(folderVariables.targetDir, 0))
        file = PlatformOpenFile(path, "wb");
    int written = file != 0;
    if (file) {
        for (const CommandRecord* record = installLog; record; record = record->next)
            WriteLogLine(file, record);
        written = !ferror(file);
        written = fclose(file) == 0 && written;
    }
    while (installLog) {
        CommandRecord* next = installLog->next;
        free(installLog);
        installLog = next;
    }
    return written;
}
