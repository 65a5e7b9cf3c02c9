// bit_input.cpp: reads an entry's compressed bytes in blocks and serves them
// as bits.
//
// The archive is read through our own buffer, never past the entry's
// compressed data, so the stream stands behind that data once all of it has
// been read; ExtractEntry skips whatever a decoder left unread.
#include "arj/bit_input.h"

#include "arj/archive_headers.h"
#include "arj/extraction_error.h"

enum { InputBufferSize = 16384 };

BitReader bitReader;
static unsigned char InputBuffer[InputBufferSize];

// A short read means the archive ends inside the entry's data: the entry
// cannot be decoded, and the next header could not be read either.
static void ReadInputBlock(void) {
    size_t want = (size_t)archiveEntry.compressedSize;
    if (want > InputBufferSize) want = InputBufferSize;
    if (fread(InputBuffer, 1, want, ArchiveStream) != want) ExtractionError(ReadFailedMessage, "");
    archiveEntry.compressedSize -= (int32_t)want;
    bitReader.next = InputBuffer;
    bitReader.end = InputBuffer + want;
}

void InitBits(void) {
    bitReader.next = bitReader.end = InputBuffer;
    BitCursor empty = {0, 0};
    bitReader.cursor = RefillBits(empty);
}

BitCursor RefillBitsSlow(BitCursor in) {
    while (in.count <= BitWordBits - 8) {
        if (bitReader.next == bitReader.end) {
            if (archiveEntry.compressedSize == 0) {
                // Past the budget every bit is 0. So are those below the
                // count: bits loaded ahead belong to the byte at next, and
                // there is none.
                in.count = BitWordBits;
                return in;
            }
            ReadInputBlock();
        }
        in.bits |= (BitWord)*bitReader.next++ << (BitWordBits - 8 - in.count);
        in.count += 8;
    }
    return in;
}
