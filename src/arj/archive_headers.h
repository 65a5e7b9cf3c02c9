// archive_headers.h: the archive stream and the headers read from it.
#pragma once

#include "arj/arj_format.h"

#include <stdint.h>
#include <stdio.h>

// The header last read (the main header's values are overwritten by the
// first entry's).
struct ArchiveEntry {
    uint8_t firstHeaderSize;
    uint8_t archiverVersion;
    uint8_t minVersion;
    uint8_t hostOs;
    uint8_t flags;
    uint16_t method;
    int fileType;
    int32_t compressedSize; // the compressed bytes not yet read from ArchiveStream
    int32_t originalSize;
    uint32_t fileCrc;
    char entryName[EntryNameSize]; // parity stripped unless hostOs is UnixHostOs
    // 1 when the name ended inside the header and fits entryName; an entry
    // without a whole name is never written.
    int nameComplete;
};

extern ArchiveEntry archiveEntry;
extern FILE* ArchiveStream;

// Opens the named file, finds the archive behind the package's script and
// reads its main header. Failures are fatal.
void OpenArchive(const char* name);
void CloseArchive(void);

// Reads the next header into archiveEntry and leaves the stream at the
// entry's data: 1, or 0 at the end-of-archive header.
int ReadHeader(void);

// 1 when the reader can extract the current entry (version, garbling,
// method, file type, sizes).
int IsEntrySupported(void);

// Moves ArchiveStream behind the current entry's data not yet read.
void SkipEntryData(void);
