// script_fuzzer.cpp: arbitrary bytes to the script reader, its records to the log writer,
// and to the install.log reader, whose every record must be its line as written.
#include "actions/install_log.h"
#include "script/command_records.h"
#include "script/log_reader.h"
#include "script/script_reader.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char *line, *end; // the next line of the input, its end

static int CheckRecord(const CommandRecord* record) {
    const char* lf = (const char*)memchr(line, '\n', end - line);
    char* written;
    size_t size;
    FILE* file = open_memstream(&written, &size);
    WriteLogLine(file, record);
    fclose(file);
    if (!lf || size != (size_t)(lf + 1 - line) || memcmp(written, line, size)) abort();
    free(written);
    line = lf + 1;
    return 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FILE* sink = fopen("/dev/null", "wb");
    if (ParseScriptText((const char*)data, (uint32_t)size) == 0)
        for (const CommandRecord* record = commandList.head; record; record = record->next)
            WriteLogLine(sink, record);
    FreeCommandList();
    line = (const char*)data, end = line + size;
    size_t failed = ReadLogText((const char*)data, size, CheckRecord), lines = 1;
    // Read whole, or refused at the line where the records stopped.
    for (const char* p = (const char*)data; p < line; p++) lines += *p == '\n';
    if (failed ? failed != lines : line != end) abort();
    return 0;
}
