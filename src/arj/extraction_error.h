// extraction_error.h: the fatal end of an extraction and the messages it shows.
#pragma once

#include <stddef.h>

// The messages; each format holds at most one %s.
extern const char CantOpenMessage[];       // "Can't open %s", the archive name
extern const char NotAnArchiveMessage[];   // "%s is not an ARJ archive", the archive name
extern const char InvalidCommentMessage[]; // "Invalid comment header"
extern const char BadHeaderMessage[];      // "Bad header"
extern const char HeaderCrcMessage[];      // "Header CRC error!"
extern const char ReadFailedMessage[];     // "Can't read file or unexpected end of file"
extern const char WriteFailedMessage[];    // "Can't write file. Disk full?"
extern const char OutOfMemoryMessage[];    // "Out of memory"
extern const char BadHuffmanCodeMessage[]; // "Bad Huffman code"

// Shows the message (format with argument in place of %s) in a box captioned
// "Error" and ends the process with exit code 1.
[[noreturn]] void ExtractionError(const char* format, const char* argument);

// Memory from the heap; "Out of memory" when there is none. The caller frees it.
void* AllocateOrFail(size_t size);
