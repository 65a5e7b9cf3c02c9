// command_records.h: the parsed installation script and the undo entries.
//
// One record per statement: a name and up to six integer or text arguments.
// The parsed script is the CommandList, in script order; the install log keeps
// its own list of the same records.
//
// Results: a lookup gives none (a null pointer) or 0 when no record matches;
// AppendCommandRecord gives none when memory runs out.
#pragma once

#include <stdint.h>

enum {
    CommandNameSize = 32,   // a name of at most 31 characters and its NUL
    ArgumentTextSize = 256, // a text of at most 255 characters and its NUL
    ArgumentSlots = 6,
};

enum class ArgumentType : uint32_t { None = 0, Integer = 1, Text = 2 };

struct CommandArgument {
    ArgumentType type; // None ends the argument list
    int32_t intValue;
    char text[ArgumentTextSize];
};

struct CommandRecord {
    char name[CommandNameSize];
    CommandArgument arguments[ArgumentSlots];
    CommandRecord* next;
};

struct CommandList {
    CommandRecord* head;
    CommandRecord** tail; // the next field of the last record, or &head (0 before any reset)
};

// The parsed script of this run.
extern CommandList commandList;

// The number of arguments of record: the slots before the first None, at most six.
int CountArguments(const CommandRecord* record);

// The text of argument index of the first record named name (exact, case-
// sensitive), or none. A slot of another type reads as the empty text.
const char* GetCommandText(const char* name, int index);
// The integer of argument index of the first record named name, or 0. A slot
// of another type reads as 0.
int32_t GetCommandInteger(const char* name, int index);

void ResetCommandList(void);
// Appends a zeroed record (no arguments) at the tail; none when out of memory.
CommandRecord* AppendCommandRecord(void);
void FreeCommandList(void);
