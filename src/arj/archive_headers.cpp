// archive_headers.cpp: finding the archive behind the package's script, and
// reading and checking its headers.
#include "arj/archive_headers.h"

#include "arj/crc32.h"
#include "arj/extraction.h"
#include "arj/lzma_decoder.h"
#include "platform/platform.h"
#include "script/package_layout.h"

#include <stddef.h>
#include <string.h>

size_t ReadInput(Extraction* x, unsigned char* buffer, size_t count) {
    if (!x->lzma) return fread(buffer, 1, count, x->archive);
    ReadLzmaBlock(x, buffer, count);
    return count;
}

static void SkipInput(Extraction* x, uint32_t count) {
    if (x->lzma)
        ReadLzmaBlock(x, 0, count);
    else if (fseek(x->archive, (long)count, SEEK_CUR) != 0)
        FailRead(x);
}

// A little-endian number of 1 to 4 bytes.
static uint32_t ReadNumber(Extraction* x, size_t bytes) {
    uint32_t value = 0;
    if (ReadInput(x, (unsigned char*)&value, bytes) != bytes) FailRead(x);
    return value;
}

static unsigned ReadWord(Extraction* x) {
    return ReadNumber(x, 2);
}

static uint32_t ReadLong(Extraction* x) {
    return ReadNumber(x, 4);
}

// Reads the basic header of size n and its CRC; 1 when they match. Fewer
// bytes at the end of the file are no error here: the CRC read behind them
// fails instead.
static int ReadBasicHeader(Extraction* x, unsigned n) {
    size_t got = ReadInput(x, x->header, n);
    uint32_t crc = Crc32(x->header, got);
    return ReadLong(x) == crc;
}

// The search starts behind the script, so header-like bytes in the
// installer's own code or in the script are never taken for the archive.
// Gives the position of the first header whose size and CRC are sound, or -1.
static long FindArchiveStart(Extraction* x) {
    if (fseek(x->archive, 0, SEEK_END) != 0) return -1;
    long size = ftell(x->archive);
    // A file too short for both length fields holds no archive.
    if (size < PackageDataOffset + 8) return -1;
    fseek(x->archive, PackageDataOffset, SEEK_SET);
    uint32_t scriptLength = ReadLong(x);
    if (scriptLength > (uint32_t)(size - PackageDataOffset - 8)) return -1;
    long pos = PackageDataOffset + 8 + (long)scriptLength; // archiveLength is not used
    long limit = size - 2 < (long)ArchiveSearchLimit ? size - 2 : (long)ArchiveSearchLimit;
    if (pos >= limit) return -1;
    for (;;) {
        fseek(x->archive, pos, SEEK_SET);
        // c is always the byte at pos; in 60 60 EA the id starts at the second.
        int c = ReadNumber(x, 1);
        while (pos < limit) {
            int was = c;
            c = ReadNumber(x, 1);
            if ((unsigned)(was | c << 8) == ArjHeaderId) break;
            pos++;
        }
        if (pos >= limit) return -1;
        unsigned n = ReadWord(x);
        if (n <= MaxBasicHeaderSize && ReadBasicHeader(x, n)) return pos;
        if (++pos >= limit) return -1;
    }
}

void OpenArchive(Extraction* x, const char* name) {
    x->archive = PlatformOpenFile(name, "rb");
    if (!x->archive) FailExtractionWith(x, CantOpenMessage, name);
    long start = FindArchiveStart(x);
    if (start < 0) FailExtractionWith(x, NotAnArchiveMessage, name);
    fseek(x->archive, start, SEEK_SET);
    // The search accepts a size of 0 when four zero bytes (its "CRC") follow.
    if (!ReadHeader(x)) FailExtraction(x, InvalidCommentMessage);
}

static void StripParity(char* text) {
    for (; *text; text++) *text &= 0x7F;
}

// Takes the fields from the header buffer. Bytes that a short header lacks
// read as 0, and the name is taken only from inside the header.
static void FillEntry(Extraction* x, unsigned n) {
    const unsigned char* h = x->header;
    if (n < BasicFixedSize) memset(x->header + n, 0, BasicFixedSize - n);
    ArchiveEntry* e = &x->entry;
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ &&
                      offsetof(ArchiveEntry, fileCrc) == FileCrcField,
                  "the entry's fields lie as in the header");
    memcpy(e, h, FileCrcField + 4);
    // Sizes of 2 GB and more cannot lie inside the file (nor be skipped).
    x->remaining = e->compressedSize < 0 ? 0 : (uint32_t)e->compressedSize;

    unsigned at = e->firstHeaderSize, length = 0;
    while (at + length < n && length < EntryNameSize - 1 && h[at + length]) length++;
    memcpy(e->entryName, h + at, length);
    e->entryName[length] = 0;
    e->nameComplete = at + length < n && h[at + length] == 0;
    // Other systems wrote 7-bit names; the top bit carries no meaning there.
    if (e->hostOs != UnixHostOs) StripParity(e->entryName);
}

int ReadHeader(Extraction* x) {
    if (ReadWord(x) != ArjHeaderId) FailExtraction(x, BadHeaderMessage);
    unsigned n = ReadWord(x);
    if (n == 0) return 0;
    if (n > MaxBasicHeaderSize) FailExtraction(x, BadHeaderMessage);
    if (!ReadBasicHeader(x, n)) FailExtraction(x, HeaderCrcMessage);
    FillEntry(x, n);
    // Extended headers carry nothing we use; their CRCs go unchecked.
    for (unsigned size = ReadWord(x); size != 0; size = ReadWord(x)) SkipInput(x, size + 4);
    return 1;
}

// Within a block an entry's data is its bytes; outside, a block is an entry.
int IsEntrySupported(const Extraction* x) {
    const ArchiveEntry* e = &x->entry;
    int method = e->method;
    int known = x->lzma ? (method == LzmaMethod || method == LzmaX86Method) &&
                              e->compressedSize == e->originalSize
                        : method <= MaxMethod || method == LzmaMethod;
    return known && e->minVersion <= MaxMinVersion && !(e->flags & GarbledFlag) &&
           !(method == 4 && e->archiverVersion == FirstArchiverVersion) &&
           (e->fileType == BinaryFile || e->fileType == TextFile) && e->compressedSize >= 0 &&
           e->originalSize >= 0;
}

void SkipEntryData(Extraction* x) {
    if (x->entry.compressedSize < 0) FailRead(x);
    SkipInput(x, x->remaining);
    x->remaining = 0;
}
