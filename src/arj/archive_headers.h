// archive_headers.h: finding the archive behind the package's script, and
// reading and checking its headers. Each fails through the extraction.
#pragma once

struct Extraction;

#include <stddef.h>

// Headers and stored data come from the open solid block, else from the
// file: reads count bytes into buffer and gives how many it read, fewer only
// at the file's end.
size_t ReadInput(Extraction* x, unsigned char* buffer, size_t count);

// Opens the named file into the extraction, finds the archive behind the
// package's script and reads its main header.
void OpenArchive(Extraction* x, const char* name);

// Reads the next header into the extraction's entry and leaves the stream at
// the entry's data: 1, or 0 at the end-of-archive header.
int ReadHeader(Extraction* x);

// 1 when the reader can extract the current entry (version, garbling,
// method, file type, sizes).
int IsEntrySupported(const Extraction* x);

// Moves the stream behind the current entry's data not yet read.
void SkipEntryData(Extraction* x);
