// lzma_decoder.h: the solid block of the LZMA method: one entry of the
// archive whose data is an LZMA stream, which decodes into more entries.
//
// The block's entry (method LzmaMethod) holds the properties byte, the
// dictionary size (u32) and a raw LZMA1 stream; its original size is the
// length of the decoded stream. That stream holds headers and data as the
// archive does: entry headers of method LzmaMethod or LzmaX86Method whose
// data, the file's bytes, follows each header, then an end-of-archive header.
// So the files share one context and the headers are compressed with them.
// While a block is open the archive's headers and data are read from it.
// Each fails through the extraction: a stream that cannot be decoded on ends
// the pass ("Bad LZMA data").
#pragma once

#include <stddef.h>

struct Extraction;

// Starts decoding the data of the block entry just read, which the archive
// stream stands at.
void OpenLzmaBlock(Extraction* x);

// The next count bytes of the decoded stream, into buffer (passed over when
// buffer is 0).
void ReadLzmaBlock(Extraction* x, unsigned char* buffer, size_t count);

// Leaves the block: the archive stream stands behind its data again.
void CloseLzmaBlock(Extraction* x);
