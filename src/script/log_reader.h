// log_reader.h: reads install.log back by its line layout.
//
// The log is written with nothing escaped, so a path may hold any of
// ( ) , ; # " and the script reader's cutting would cut it short: each line
// is read by where its layout places the quotes instead. A line that is not
// one of the record kinds, whole, is refused; nothing is ever guessed.
//
// Results: 1 read / 0 refused for a line; for a whole log, 0 or the number
// of the first line that failed.
#pragma once

#include "script/command_records.h"

#include <stddef.h>
#include <stdio.h>

// Reads one line (length bytes, without its LF) into record: 1 when it is a
// record of the log's layout, 0 when it is not.
int ReadLogLine(const char* line, size_t length, CommandRecord* record);

// Hands each record of text (size bytes, a whole log) to take, which gives 0
// when it cannot keep it (no memory). Gives 0 when every line was read and
// taken, else the number of the first line that was not (from 1): then the
// records before it may have been taken.
typedef int (*LogRecordTaker)(const CommandRecord* record);
size_t ReadLogText(const char* text, size_t size, LogRecordTaker take);

// The first size bytes of file, from its start, in a new buffer with a NUL
// behind them; none when they cannot be read or memory lacks. The caller
// frees it.
char* ReadLogBytes(FILE* file, long size);
