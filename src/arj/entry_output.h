// entry_output.h: the file of the entry being extracted, and the writer that
// feeds it and the running CRC.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

// Open (binary) only while one entry is written.
extern FILE* OutputStream;
// The CRC of the bytes written so far.
extern uint32_t RunningCrc;

// Feeds the decoded bytes to the running CRC and writes them as the entry's
// file type asks. A failing write ends the extraction.
void WriteDecoded(const unsigned char* bytes, size_t count);
