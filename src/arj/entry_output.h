// entry_output.h: the writer that feeds the entry's file and its running CRC.
#pragma once

#include <stddef.h>

struct Extraction;

// Feeds the decoded bytes to the running CRC and writes them, as the entry's
// file type asks, to the output when there is one. A failing write ends the
// pass with "Can't write file. Disk full?".
void WriteDecoded(Extraction* x, const unsigned char* bytes, size_t count);
