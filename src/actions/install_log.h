// install_log.h: the undo records of one script run, written as install.log.
//
// Newest record first, in the script language itself, for the uninstaller.
//
// Results: WriteInstallLog 1 done / 0 failed; a record that memory cannot
// hold is none, and setting a slot of none does nothing.
#pragma once

#include "script/command_records.h"

#include <stdio.h>

// The log of this run, newest record first.
extern CommandRecord* installLog;

void ResetInstallLog(void);
// A new record named name, all slots None, linked in front; none when out of memory.
CommandRecord* NewLogRecord(const char* name);
// Set slot of record (none: nothing happens). Texts over 255 characters are cut.
void SetLogText(CommandRecord* record, const char* text, int slot);
void SetLogInteger(CommandRecord* record, int32_t value, int slot);

// One line in the log's syntax: Name ("text", 5);
void WriteLogLine(FILE* file, const CommandRecord* record);
// Writes targetDir\install.log, making the folder when it is missing, and
// frees the log. A log already there (a reinstall, an upgrade) keeps its
// lines behind this run's, but those this run wrote again and its Title.
// A damaged old line is kept as it is, for the uninstaller to refuse. 1 when
// the whole file was written, 0 when it could not be or the old log could
// not be read.
int WriteInstallLog(void);
