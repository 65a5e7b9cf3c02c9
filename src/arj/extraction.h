// extraction.h: the state of one pass over an archive, and its one way out.
//
// Every step of the reader and the decoders takes the Extraction as its first
// parameter; nothing else of a pass is global. A step that cannot go on does
// not return: FailEntry and FailExtraction jump back to RunStep, where the
// pass started that step, which then cleans up (see archive_reader.cpp).
#pragma once

#include "arj/arj_format.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

enum {
    InputBufferSize = 16384, // compressed bytes are read in blocks of this size
    MessageSize = 256,       // a fatal message of at most 255 characters
};

// The header last read (the main header's values are overwritten by the
// first entry's). Its first fields lie as in the basic header, which is
// copied over them.
struct ArchiveEntry {
    uint8_t firstHeaderSize;
    uint8_t archiverVersion;
    uint8_t minVersion;
    uint8_t hostOs;
    uint8_t flags;
    uint8_t method;
    uint8_t fileType;
    uint8_t reserved;
    uint32_t timeStamp; // from Unix seconds since 1970, else MS-DOS date and time
    int32_t compressedSize;
    int32_t originalSize;
    uint32_t fileCrc;
    char entryName[EntryNameSize]; // parity stripped unless hostOs is UnixHostOs
    // 1 when the name ended inside the header and fits entryName; an entry
    // without a whole name is never written.
    int nameComplete;
};

// What a step's failure ends.
enum StepResult {
    StepDone = 0,
    StepEntryDamaged = 1, // the entry's data is broken; the walk goes on
    StepFatal = 2,        // the archive cannot be read on; message says why
};

// The codes of the current block of methods 1 to 3: kept between blocks and
// entries (a code sent as all zeros keeps the last one), rebuilt by every
// block header.
struct BlockCodes {
    uint8_t symbolLengths[LiteralLengthSymbols];
    uint16_t symbolTable[1 << LiteralTableBits];
    uint8_t smallLengths[PreCodeSymbols]; // the pre-code, then the offset code
    uint16_t smallTable[1 << SmallTableBits];
    // Tree nodes of the codes longer than a table's index, numbered from the
    // symbol count up: a 0 bit follows leftChild, a 1 bit rightChild; a child
    // below the symbol count is a symbol.
    uint16_t leftChild[NodeStoreSize];
    uint16_t rightChild[NodeStoreSize];
};

struct Extraction {
    const char* archiveName;
    FILE* archive;
    FILE* output;              // the entry being written; none while testing
    ArchiveEntry entry;        // the header last read
    int archiveEnded;          // the end-of-archive header was read
    uint32_t remaining;        // compressed bytes of the entry not yet read from archive
    uint32_t crc;              // running CRC of the entry's bytes
    uint32_t padding;          // zero bits past the entry's data in the bit input
    const unsigned char* next; // in input: read, not yet taken by the bit input
    const unsigned char* end;
    unsigned char* window;
    struct LzmaDecoder* lzma; // the open solid block, whose stream headers and data come from
    unsigned char header[MaxBasicHeaderSize];
    unsigned char input[InputBufferSize]; // compressed bytes, or stored ones
    BlockCodes codes;
    void* jump[5]; // where RunStep catches a failure
    char message[MessageSize];
};

// An invariant the code relies on and no input can break: checked in host
// and test builds, where the fuzzers reach it, and compiled out of the stubs.
#ifdef VANTOREL_STUB
#define ARJ_INVARIANT(condition) ((void)0)
#else
#include <stdlib.h>
#define ARJ_INVARIANT(condition) ((condition) ? (void)0 : abort())
#endif

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
extern const char BadLzmaDataMessage[];    // "Bad LZMA data"

typedef void (*ExtractionStep)(Extraction* x);

// Runs step; gives StepDone when it returned, else how it failed.
StepResult RunStep(Extraction* x, ExtractionStep step);

// The entry's data cannot be decoded (it needs bytes past its own, or its
// codes are broken): ends the step.
[[noreturn]] void FailEntry(Extraction* x);

// The archive cannot be read on: message says why; ends the step.
[[noreturn]] void FailExtraction(Extraction* x, const char* message);
// The same with argument in place of the %s of format.
[[noreturn]] void FailExtractionWith(Extraction* x, const char* format, const char* argument);
// FailExtraction with ReadFailedMessage, which most reads share.
[[noreturn]] void FailRead(Extraction* x);

// Memory from the heap; "Out of memory" when there is none. The caller frees it.
void* AllocateOrFail(Extraction* x, size_t size);
