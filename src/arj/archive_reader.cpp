// archive_reader.cpp: walks the archive's entries and writes each one that
// can be extracted into the current directory, checking its CRC.
//
// Entries that cannot be extracted (unsupported, not creatable, a name that
// would leave the current directory) are passed over and counted, as are
// entries whose CRC does not match; only a damaged archive structure, a read
// or write failure or exhausted memory ends the run.
#include "arj/archive_reader.h"

#include "arj/archive_headers.h"
#include "arj/crc32.h"
#include "arj/decode_method4.h"
#include "arj/decode_methods1to3.h"
#include "arj/entry_output.h"
#include "arj/extraction_error.h"
#include "platform/platform.h"

#include <string.h>

enum {
    ArchiveNameSize = 512,
    CopyChunk = 4096, // stored data is read in chunks aligned to this in the file
};

static char ArchiveName[ArchiveNameSize];
static int ErrorCount;
static unsigned char CopyBuffer[CopyChunk];

static void Uppercase(char* text) {
    for (; *text; text++)
        if (*text >= 'a' && *text <= 'z') *text -= 'a' - 'A';
}

// The installer opens its own file under an uppercased name; a name whose last
// part has no dot gets ".arj", one ending in a dot loses it. Only '/' ends a
// part here. 0 when the name does not fit: a cut name could open another file.
static int PrepareArchiveName(const char* path) {
    size_t length = strlen(path);
    if (length >= ArchiveNameSize) return 0;
    memcpy(ArchiveName, path, length + 1);
    Uppercase(ArchiveName);
    if (length > 0 && ArchiveName[length - 1] == '.') {
        ArchiveName[length - 1] = 0;
        return 1;
    }
    const char* slash = strrchr(ArchiveName, '/');
    if (strchr(slash ? slash + 1 : ArchiveName, '.')) return 1;
    if (length + 4 >= ArchiveNameSize) return 0;
    memcpy(ArchiveName + length, ".arj", 5);
    return 1;
}

// A name must stay below the current directory: no leading separator, no
// colon (a drive, or a Windows stream name), no component made only of dots
// and blanks (Windows drops trailing dots and blanks, so ".. " is "..").
static int StaysBelowCurrentDirectory(const char* name) {
    if (*name == 0 || *name == '/' || *name == '\\') return 0;
    for (const char* p = name; *p;) {
        int onlyDots = 1;
        const char* end = p;
        for (; *end && *end != '/' && *end != '\\'; end++) {
            if (*end == ':') return 0;
            if (*end != '.' && *end != ' ') onlyDots = 0;
        }
        if (end > p && onlyDots) return 0;
        p = *end ? end + 1 : end;
    }
    return 1;
}

// Copies the stored data through one buffer, reading at positions aligned
// to the chunk size after a first, shorter chunk.
static void CopyStored(void) {
    long position = ftell(ArchiveStream);
    int32_t chunk = CopyChunk - (int32_t)(position % CopyChunk);
    while (archiveEntry.compressedSize > 0) {
        if (chunk > archiveEntry.compressedSize) chunk = archiveEntry.compressedSize;
        if (fread(CopyBuffer, 1, chunk, ArchiveStream) != (size_t)chunk)
            ExtractionError(ReadFailedMessage, "");
        archiveEntry.compressedSize -= chunk;
        WriteDecoded(CopyBuffer, chunk);
        chunk = CopyChunk;
    }
}

static void ExtractEntry(void) {
    if (!IsEntrySupported()) {
        SkipEntryData();
        ErrorCount++;
        return;
    }
    // Names from other systems were case-insensitive; the file gets them
    // uppercased, while the entry's name keeps its case for the caller.
    char outputName[EntryNameSize];
    memcpy(outputName, archiveEntry.entryName, EntryNameSize);
    if (archiveEntry.hostOs != UnixHostOs) Uppercase(outputName);
    OutputStream = 0;
    if (archiveEntry.nameComplete && StaysBelowCurrentDirectory(outputName))
        OutputStream = PlatformOpenFile(outputName, "wb");
    if (!OutputStream) {
        SkipEntryData();
        ErrorCount++;
        return;
    }

    RunningCrc = CrcStart;
    if (archiveEntry.method == 0)
        CopyStored();
    else if (archiveEntry.method == 4)
        DecodeMethod4();
    else
        DecodeMethods1To3();
    // Data the decoder did not need is passed over, so that the next header is
    // read where it begins.
    SkipEntryData();

    // A failing close can lose the last buffered bytes of the file.
    int closed = fclose(OutputStream) == 0;
    OutputStream = 0;
    if (!closed) ExtractionError(WriteFailedMessage, "");
    if ((RunningCrc ^ CrcStart) != archiveEntry.fileCrc) ErrorCount++;
}

int ExtractArchiveFile(const char* name, EntryDoneHandler onEntryDone) {
    ErrorCount = 0;
    OpenArchive(name);
    while (ReadHeader()) {
        ExtractEntry();
        if (onEntryDone) onEntryDone(archiveEntry.entryName);
    }
    CloseArchive();
    return ErrorCount;
}

int ExtractArchive(const char* path, EntryDoneHandler onEntryDone) {
    if (!PrepareArchiveName(path)) ExtractionError(CantOpenMessage, path);
    return ExtractArchiveFile(ArchiveName, onEntryDone);
}
