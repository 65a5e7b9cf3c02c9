// bit_input.cpp: reads an entry's compressed bytes in blocks and serves them
// as bits.
//
// The archive is read through the extraction's own buffer, never past the
// entry's compressed data, so the stream stands behind that data once all of
// it has been read; the reader skips whatever a decoder left unread.
#include "arj/bit_input.h"

#include "arj/extraction.h"

// A short read means the archive ends inside the entry's data: the next
// header could not be read either.
static void ReadInputBlock(Extraction* x) {
    size_t want = x->remaining < (uint32_t)InputBufferSize ? x->remaining : (size_t)InputBufferSize;
    if (fread(x->input, 1, want, x->archive) != want) FailRead(x);
    x->remaining -= (uint32_t)want;
    x->next = x->input;
    x->end = x->input + want;
}

BitCursor InitBits(Extraction* x) {
    x->padding = 0;
    x->next = x->end = x->input;
    BitCursor empty = {0, 0};
    return RefillBits(x, empty);
}

// Past the data the bits below the count are zeros we supplied, padding
// of them; a valid stream ends within its own bytes, so once fewer bits are
// left than padding, the decoder has taken a zero we made up, and every later
// bit would be one too: the entry is damaged, and decoding it on could write
// up to 2 GB of nothing.
void EndBits(Extraction* x, const BitCursor& in) {
    if ((uint32_t)in.count < x->padding) FailEntry(x);
}

BitCursor RefillBitsSlow(Extraction* x, BitCursor in) {
    while (in.count <= BitWordBits - 8) {
        if (x->next == x->end) {
            if (x->remaining == 0) {
                if ((uint32_t)in.count < x->padding) FailEntry(x);
                x->padding += BitWordBits - in.count;
                in.count = BitWordBits;
                return in;
            }
            ReadInputBlock(x);
        }
        in.bits |= (BitWord)*x->next++ << (BitWordBits - 8 - in.count);
        in.count += 8;
    }
    return in;
}
