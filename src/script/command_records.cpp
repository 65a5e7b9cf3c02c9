// command_records.cpp: the CommandList and its lookups.
#include "script/command_records.h"

#include <stdlib.h>
#include <string.h>

// Zeroed: a tail of 0 stands for &head, so that no address needs relocating.
CommandList commandList;

int CountArguments(const CommandRecord* record) {
    int count = 0;
    while (count < ArgumentSlots && record->arguments[count].type != ArgumentType::None) count++;
    return count;
}

static const CommandRecord* FindCommand(const char* name) {
    for (const CommandRecord* record = commandList.head; record; record = record->next)
        if (strcmp(record->name, name) == 0) return record;
    return 0;
}

// Records are zeroed when made, so a slot of another type holds the empty
// text and 0: a defined value whichever field is asked for.
const char* GetCommandText(const char* name, int index) {
    const CommandRecord* record = FindCommand(name);
    return record ? record->arguments[index].text : 0;
}

int32_t GetCommandInteger(const char* name, int index) {
    const CommandRecord* record = FindCommand(name);
    return record ? record->arguments[index].intValue : 0;
}

void ResetCommandList(void) {
    commandList.head = 0;
    commandList.tail = &commandList.head;
}

CommandRecord* AppendCommandRecord(void) {
    CommandRecord* record = (CommandRecord*)calloc(1, sizeof(CommandRecord));
    if (!record) return 0;
    *(commandList.tail ? commandList.tail : &commandList.head) = record;
    commandList.tail = &record->next;
    return record;
}

void FreeCommandList(void) {
    CommandRecord* record = commandList.head;
    while (record) {
        CommandRecord* next = record->next;
        free(record);
        record = next;
    }
    ResetCommandList();
}
