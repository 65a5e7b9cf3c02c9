// extraction_error.cpp: fatal extraction errors, shown through the platform.
#include "arj/extraction_error.h"

#include "platform/format_text.h"
#include "platform/platform.h"

#include <stdlib.h>

const char CantOpenMessage[] = "Can't open %s";
const char NotAnArchiveMessage[] = "%s is not an ARJ archive";
const char InvalidCommentMessage[] = "Invalid comment header";
const char BadHeaderMessage[] = "Bad header";
const char HeaderCrcMessage[] = "Header CRC error!";
const char ReadFailedMessage[] = "Can't read file or unexpected end of file";
const char WriteFailedMessage[] = "Can't write file. Disk full?";
const char OutOfMemoryMessage[] = "Out of memory";
const char BadHuffmanCodeMessage[] = "Bad Huffman code";

// A message box shows at most this many characters; longer texts are cut.
enum { MessageSize = 256 };

void ExtractionError(const char* format, const char* argument) {
    char text[MessageSize];
    FormatText(text, sizeof text, format, argument);
    PlatformMessageBox(text, "Error", PLATFORM_MB_OK | PLATFORM_MB_ICONHAND);
    PlatformExit(1);
}

void* AllocateOrFail(size_t size) {
    void* block = malloc(size);
    if (!block) ExtractionError(OutOfMemoryMessage, "");
    return block;
}
