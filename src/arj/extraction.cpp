// extraction.cpp: the one way out of a step.
//
// A failure deep in a decoder jumps straight back to RunStep: the compiler's
// own setjmp, which needs neither the C runtime nor unwind tables, so the
// stub runs it as the host does.
#include "arj/extraction.h"

#include "platform/format_text.h"

#include <stdlib.h>

BYTE_ALIGNED const char CantOpenMessage[] = "Can't open %s";
BYTE_ALIGNED const char NotAnArchiveMessage[] = "%s is not an ARJ archive";
BYTE_ALIGNED const char InvalidCommentMessage[] = "Invalid comment header";
BYTE_ALIGNED const char BadHeaderMessage[] = "Bad header";
BYTE_ALIGNED const char HeaderCrcMessage[] = "Header CRC error!";
BYTE_ALIGNED const char ReadFailedMessage[] = "Can't read file or unexpected end of file";
BYTE_ALIGNED const char WriteFailedMessage[] = "Can't write file. Disk full?";
BYTE_ALIGNED const char OutOfMemoryMessage[] = "Out of memory";
BYTE_ALIGNED const char BadHuffmanCodeMessage[] = "Bad Huffman code";
BYTE_ALIGNED const char BadLzmaDataMessage[] = "Bad LZMA data";

// The stub's code never uses the SSE registers that Windows x64 has callers
// keep, so no jump can change them and the x86-64 stub need not save them
// around the catch (150 bytes).
#if defined(VANTOREL_STUB) && defined(__x86_64__)
#define KEEPS_NO_SSE_REGISTERS __attribute__((target("general-regs-only")))
#else
#define KEEPS_NO_SSE_REGISTERS
#endif

// Kept out of line, so that no caller's registers have to survive the jump.
__attribute__((noinline)) KEEPS_NO_SSE_REGISTERS StepResult RunStep(Extraction* x,
                                                                    ExtractionStep step) {
    if (__builtin_setjmp(x->jump)) return x->message[0] ? StepFatal : StepEntryDamaged;
    step(x);
    return StepDone;
}

void FailEntry(Extraction* x) {
    x->message[0] = 0;
    __builtin_longjmp(x->jump, 1);
}

void FailExtractionWith(Extraction* x, const char* format, const char* argument) {
    FormatText(x->message, sizeof x->message, format, argument); // never empty
    __builtin_longjmp(x->jump, 1);
}

// Out of line, as the failures are: each call site passes less.
void FailExtraction(Extraction* x, const char* message) {
    FailExtractionWith(x, message, "");
}

void FailRead(Extraction* x) {
    FailExtraction(x, ReadFailedMessage);
}

void* AllocateOrFail(Extraction* x, size_t size) {
    void* block = malloc(size);
    if (!block) FailExtraction(x, OutOfMemoryMessage);
    return block;
}
