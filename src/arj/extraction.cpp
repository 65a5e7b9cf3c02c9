// extraction.cpp: the one way out of a step.
//
// A failure deep in a decoder jumps straight back to RunStep: the compiler's
// own setjmp, which needs neither the C runtime nor unwind tables, so the
// stub runs it as the host does.
#include "arj/extraction.h"

#include "platform/format_text.h"

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

// Kept out of line, so that no caller's registers have to survive the jump.
__attribute__((noinline)) StepResult RunStep(Extraction* x, ExtractionStep step) {
    if (__builtin_setjmp(x->jump)) return x->message[0] ? StepFatal : StepEntryDamaged;
    step(x);
    return StepDone;
}

void FailEntry(Extraction* x) {
    x->message[0] = 0;
    __builtin_longjmp(x->jump, 1);
}

void FailExtraction(Extraction* x, const char* format, const char* argument) {
    FormatText(x->message, sizeof x->message, format, argument); // never empty
    __builtin_longjmp(x->jump, 1);
}

void* AllocateOrFail(Extraction* x, size_t size) {
    void* block = malloc(size);
    if (!block) FailExtraction(x, OutOfMemoryMessage, "");
    return block;
}
