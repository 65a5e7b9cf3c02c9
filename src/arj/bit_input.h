// bit_input.h: the compressed bits of one entry, most significant bit of each
// byte first, with at least 16 bits of look-ahead.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The accumulator is a machine word, so that it is refilled only every few
// codes.
typedef size_t BitWord;
enum { BitWordBits = sizeof(BitWord) * 8, LookAheadBits = 16 };

// The position in the bit stream. A decoder's inner loop works on a copy in
// a local variable, which the compiler keeps in registers: global state it
// must reload after every byte stored through a pointer.
struct BitCursor {
    // The next stream bits, the next one in the top bit; below the count
    // valid ones 0 or the bits that follow in the stream.
    BitWord bits;
    int count; // at least LookAheadBits between operations
};

struct BitReader {
    BitCursor cursor;
    const unsigned char* next; // bytes already read from the archive, not yet taken
    const unsigned char* end;
};

extern BitReader bitReader;

// Starts the bits of the current entry, whose data begins where
// ArchiveStream stands. Reads at most the entry's compressedSize bytes and
// lowers that count by what it reads; past it every bit is 0.
void InitBits(void);

// RefillBits when fewer than a word of read bytes are at hand: byte by
// byte, reading the next block of the entry's data or past its end.
BitCursor RefillBitsSlow(BitCursor in);

// Brings the count up to at least BitWordBits - 7. Takes and gives the
// cursor by value, so that a local copy never needs an address.
inline BitCursor RefillBits(BitCursor in) {
    if (bitReader.end - bitReader.next < (ptrdiff_t)sizeof(BitWord)) return RefillBitsSlow(in);
    // A word of bytes loaded at once; we move on by the whole bytes that
    // fit. The bits of the next byte that land below the count are the
    // stream's own: taking that byte later sets them again to the same values.
    BitWord word = 0;
    for (size_t i = 0; i < sizeof(BitWord); i++) word = word << 8 | bitReader.next[i];
    in.bits |= word >> in.count;
    int bytes = (BitWordBits - in.count) / 8;
    bitReader.next += bytes;
    in.count += bytes * 8;
    return in;
}

// The next 16 bits, not consumed.
inline unsigned PeekBits(const BitCursor& in) {
    return (unsigned)(in.bits >> (BitWordBits - LookAheadBits));
}

// Consumes n bits (0 to 16).
inline void SkipBits(BitCursor& in, int n) {
    in.bits <<= n;
    in.count -= n;
    if (in.count < LookAheadBits) in = RefillBits(in);
}

// The next n bits (0 to 16) as a number, most significant first; consumed.
inline unsigned TakeBits(BitCursor& in, int n) {
    unsigned value = PeekBits(in) >> (LookAheadBits - n);
    SkipBits(in, n);
    return value;
}

// The same on the reader's own cursor, for the code outside inner loops:
// bitBuffer (the look-ahead), FillBits (consume) and GetBits (read).
inline unsigned BitBuffer(void) {
    return PeekBits(bitReader.cursor);
}
inline void FillBits(int n) {
    SkipBits(bitReader.cursor, n);
}
inline unsigned GetBits(int n) {
    return TakeBits(bitReader.cursor, n);
}
