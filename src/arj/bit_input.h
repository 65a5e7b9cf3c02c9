// bit_input.h: the compressed bits of one entry, most significant bit of each
// byte first, with at least 16 bits of look-ahead. Each fails through the
// extraction.
#pragma once

#include "arj/extraction.h"

#include <stddef.h>
#include <stdint.h>
#include <string.h>

// The accumulator is a machine word, so that it is refilled only every few
// codes.
typedef size_t BitWord;
enum { BitWordBits = sizeof(BitWord) * 8, LookAheadBits = 16 };

// The position in the bit stream. A decoder's inner loop keeps it in a local
// variable, which the compiler holds in two registers; the bytes read ahead
// (next, end) stay in the extraction, needed only every few codes.
struct BitCursor {
    // The next stream bits, the next one in the top bit; below the count
    // valid ones 0 or the bits that follow in the stream.
    BitWord bits;
    int count; // at least LookAheadBits between operations
};

// Starts the bits of the current entry, whose data begins where the archive
// stream stands. Reads at most the entry's remaining compressed bytes.
BitCursor InitBits(Extraction* x);

// RefillBits when fewer than a word of read bytes are at hand: byte by byte,
// reading the next block of the entry's data. Past the data it supplies zero
// bits for the look-ahead; a decoder that consumes them fails the entry.
BitCursor RefillBitsSlow(Extraction* x, BitCursor in);

// Ends the entry's bits: fails the entry when the decoder took bits past its
// data.
void EndBits(Extraction* x, const BitCursor& in);

// Brings the count up to at least BitWordBits - 7. Takes and gives the
// cursor by value, so that a local copy never needs an address.
inline BitCursor RefillBits(Extraction* x, BitCursor in) {
    const unsigned char* next = x->next;
    if (x->end - next < (ptrdiff_t)sizeof(BitWord)) return RefillBitsSlow(x, in);
    // A word of bytes loaded at once; we move on by the whole bytes that
    // fit. The bits of the next byte that land below the count are the
    // stream's own: taking that byte later sets them again to the same values.
    BitWord word;
    memcpy(&word, next, sizeof word);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // The first byte belongs in the top bits.
    word = sizeof word == 8 ? (BitWord)__builtin_bswap64(word)
                            : (BitWord)__builtin_bswap32((uint32_t)word);
#endif
    in.bits |= word >> in.count;
    int bytes = (BitWordBits - in.count) / 8;
    x->next += bytes;
    in.count += bytes * 8;
    return in;
}

// The next 16 bits, not consumed.
inline unsigned PeekBits(const BitCursor& in) {
    return (unsigned)(in.bits >> (BitWordBits - LookAheadBits));
}

// Consumes n bits (0 to 16).
inline void SkipBits(Extraction* x, BitCursor& in, int n) {
    ARJ_INVARIANT(n >= 0 && n <= LookAheadBits && n <= in.count);
    in.bits <<= n;
    in.count -= n;
    if (in.count < LookAheadBits) in = RefillBits(x, in);
    ARJ_INVARIANT(in.count >= LookAheadBits && in.count <= BitWordBits);
}

// The next n bits (0 to 16) as a number, most significant first; consumed.
inline unsigned TakeBits(Extraction* x, BitCursor& in, int n) {
    unsigned value = PeekBits(in) >> (LookAheadBits - n);
    SkipBits(x, in, n);
    return value;
}
