// archive_headers.cpp: finding the archive behind the package's script, and
// reading and checking its headers.
//
// A header: id 0xEA60, basic-header size N (0 ends the archive), N bytes of
// basic header, their CRC-32, then extended headers (size, bytes, CRC) up to a
// size of 0. An entry's data follows its header directly.
#include "arj/archive_headers.h"

#include "arj/crc32.h"
#include "arj/extraction_error.h"
#include "platform/platform.h"
#include "script/package_layout.h"

#include <string.h>

ArchiveEntry archiveEntry;
FILE* ArchiveStream;
static unsigned char HeaderBuffer[MaxBasicHeaderSize];

static int ReadByteOrFail(void) {
    int c = getc(ArchiveStream);
    if (c == EOF) ExtractionError(ReadFailedMessage, "");
    return c;
}

static unsigned ReadWord(void) {
    unsigned low = ReadByteOrFail();
    return low | ReadByteOrFail() << 8;
}

static uint32_t ReadLong(void) {
    uint32_t low = ReadWord();
    return low | (uint32_t)ReadWord() << 16;
}

// Fewer bytes at the end of the file are no error here: the CRC read behind
// them fails instead.
static uint32_t ReadWithCrc(unsigned char* buffer, unsigned count) {
    size_t got = fread(buffer, 1, count, ArchiveStream);
    return Crc32(buffer, got);
}

static uint32_t HeaderLong(int at) {
    const unsigned char* p = HeaderBuffer + at;
    return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24;
}

// Reads the basic header of size n and its CRC; 1 when they match.
static int ReadBasicHeader(unsigned n) {
    uint32_t crc = ReadWithCrc(HeaderBuffer, n);
    return ReadLong() == crc;
}

// The search starts behind the script, so header-like bytes in the
// installer's own code or in the script are never taken for the archive.
// Gives the position of the first header whose size and CRC are sound, or -1.
static long FindArchiveStart(void) {
    if (fseek(ArchiveStream, 0, SEEK_END) != 0) return -1;
    long size = ftell(ArchiveStream);
    // A file too short for both length fields holds no archive.
    if (size < PackageDataOffset + 8) return -1;
    fseek(ArchiveStream, PackageDataOffset, SEEK_SET);
    uint32_t scriptLength = ReadLong();
    if (scriptLength > (uint32_t)(size - PackageDataOffset - 8)) return -1;
    long pos = PackageDataOffset + 8 + (long)scriptLength; // archiveLength is not used
    long limit = size - 2 < (long)ArchiveSearchLimit ? size - 2 : (long)ArchiveSearchLimit;
    if (pos >= limit) return -1;
    for (;;) {
        fseek(ArchiveStream, pos, SEEK_SET);
        // c is always the byte at pos; in 60 60 EA the id starts at the second.
        int c = ReadByteOrFail();
        while (pos < limit) {
            int was = c;
            c = ReadByteOrFail();
            if (was == 0x60 && c == 0xEA) break;
            pos++;
        }
        if (pos >= limit) return -1;
        unsigned n = ReadWord();
        if (n <= MaxBasicHeaderSize && ReadBasicHeader(n)) {
            fseek(ArchiveStream, pos, SEEK_SET);
            return pos;
        }
        if (++pos >= limit) return -1;
    }
}

void OpenArchive(const char* name) {
    BuildCrcTable();
    ArchiveStream = PlatformOpenFile(name, "rb");
    if (!ArchiveStream) ExtractionError(CantOpenMessage, name);
    long start = FindArchiveStart();
    if (start < 0) ExtractionError(NotAnArchiveMessage, name);
    fseek(ArchiveStream, start, SEEK_SET);
    // The search accepts a size of 0 when four zero bytes (its "CRC") follow.
    if (!ReadHeader()) ExtractionError(InvalidCommentMessage, "");
}

void CloseArchive(void) {
    fclose(ArchiveStream);
    ArchiveStream = 0;
}

static void StripParity(char* text) {
    for (; *text; text++) *text &= 0x7F;
}

// Takes the fields from HeaderBuffer. Bytes that a short header lacks read as
// 0, and the name is taken only from inside the header.
static void FillEntry(unsigned n) {
    if (n < BasicFixedSize) memset(HeaderBuffer + n, 0, BasicFixedSize - n);
    ArchiveEntry* e = &archiveEntry;
    e->firstHeaderSize = HeaderBuffer[FirstHeaderSizeField];
    e->archiverVersion = HeaderBuffer[ArchiverVersionField];
    e->minVersion = HeaderBuffer[MinVersionField];
    e->hostOs = HeaderBuffer[HostOsField];
    e->flags = HeaderBuffer[FlagsField];
    e->method = HeaderBuffer[MethodField];
    e->fileType = HeaderBuffer[FileTypeField];
    e->compressedSize = (int32_t)HeaderLong(CompressedSizeField);
    e->originalSize = (int32_t)HeaderLong(OriginalSizeField);
    e->fileCrc = HeaderLong(FileCrcField);

    unsigned at = e->firstHeaderSize, length = 0;
    while (at + length < n && length < EntryNameSize - 1 && HeaderBuffer[at + length]) length++;
    memcpy(e->entryName, HeaderBuffer + at, length);
    e->entryName[length] = 0;
    e->nameComplete = at + length < n && HeaderBuffer[at + length] == 0;
    // Other systems wrote 7-bit names; the top bit carries no meaning there.
    if (e->hostOs != UnixHostOs) StripParity(e->entryName);
}

int ReadHeader(void) {
    if (ReadWord() != ArjHeaderId) ExtractionError(BadHeaderMessage, "");
    unsigned n = ReadWord();
    if (n == 0) return 0;
    if (n > MaxBasicHeaderSize) ExtractionError(BadHeaderMessage, "");
    if (!ReadBasicHeader(n)) ExtractionError(HeaderCrcMessage, "");
    FillEntry(n);
    // Extended headers carry nothing we use; their CRCs go unchecked.
    for (unsigned size = ReadWord(); size != 0; size = ReadWord())
        if (fseek(ArchiveStream, (long)size + 4, SEEK_CUR) != 0)
            ExtractionError(ReadFailedMessage, "");
    return 1;
}

int IsEntrySupported(void) {
    const ArchiveEntry* e = &archiveEntry;
    return e->minVersion <= MaxMinVersion && !(e->flags & GarbledFlag) && e->method <= MaxMethod &&
           !(e->method == 4 && e->archiverVersion == FirstArchiverVersion) &&
           (e->fileType == BinaryFile || e->fileType == TextFile) && e->compressedSize >= 0 &&
           e->originalSize >= 0;
}

void SkipEntryData(void) {
    // Sizes of 2 GB and more cannot lie inside the file: skipping them would
    // end at the next header's read anyway.
    if (archiveEntry.compressedSize < 0 ||
        fseek(ArchiveStream, archiveEntry.compressedSize, SEEK_CUR) != 0)
        ExtractionError(ReadFailedMessage, "");
    archiveEntry.compressedSize = 0;
}
