// bit_input.h: the compressed bits of one entry, most significant bit of each
// byte first, with at least 16 bits of look-ahead.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The accumulator is a machine word, so that it is refilled a byte at a time
// only every few codes.
typedef size_t BitWord;
enum { BitWordBits = sizeof(BitWord) * 8, LookAheadBits = 16 };

struct BitReader {
    // The next stream bits, the next one in the top bit; below the count
    // valid ones all bits are 0.
    BitWord bits;
    int count;                 // at least LookAheadBits between operations
    const unsigned char* next; // bytes already read from the archive, not yet taken
    const unsigned char* end;
};

extern BitReader bitReader;

// Starts the bits of the current entry, whose data begins where
// ArchiveStream stands. Reads at most the entry's compressedSize bytes and
// lowers that count by what it reads; past it every bit is 0.
void InitBits(void);

// Brings the count up to at least BitWordBits - 7.
void RefillBits(void);

// The next 16 bits of the stream, not consumed.
inline unsigned BitBuffer(void) {
    return (unsigned)(bitReader.bits >> (BitWordBits - LookAheadBits));
}

// Consumes n bits (0 to 16).
inline void FillBits(int n) {
    bitReader.bits <<= n;
    bitReader.count -= n;
    if (bitReader.count < LookAheadBits) RefillBits();
}

// The next n bits (0 to 16) as a number, most significant first; consumed.
inline unsigned GetBits(int n) {
    unsigned value = BitBuffer() >> (LookAheadBits - n);
    FillBits(n);
    return value;
}
