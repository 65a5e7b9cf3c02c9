// script_fuzzer.cpp: feeds arbitrary script text to the script reader, and
// every record it builds to the log line writer.
#include "actions/install_log.h"
#include "script/command_records.h"
#include "script/script_reader.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FILE* sink = fopen("/dev/null", "wb");
    if (ParseScriptText((const char*)data, (uint32_t)size) == 0)
        for (const CommandRecord* record = commandList.head; record; record = record->next)
            WriteLogLine(sink, record);
    FreeCommandList();
    return 0;
}
