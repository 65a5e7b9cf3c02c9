// decode_method4.cpp: LZ77 over the 26624-byte window with two fixed codes
// and no tables.
//
// Each item starts with a match-length code: 0 is followed by a literal byte
// in 8 plain bits, any other value c by an offset code and means a match of
// c + 2 bytes. Both codes are a run of 1 bits (at most 7 for lengths, 4 for
// offsets, closed by a 0 unless the run is full) that says how many value
// bits follow: k ones give 2^w0 * (2^k - 1) plus w0 + k bits, with w0 = 0 for
// lengths and 9 for offsets. So lengths reach 254 and offsets 15871, always
// inside the window.
#include "arj/decode_method4.h"

#include "arj/bit_input.h"
#include "arj/decode_window.h"
#include "arj/extraction.h"

#include <stdint.h>

// The run of ones is counted in the look-ahead (as the leading zeros of its
// complement; the low 1 stops the count at 16) and consumed with its closing
// 0 in one step. Bit by bit it would give the same value.
static inline unsigned DecodeFixedCode(Extraction* x, BitCursor& in, int firstWidth, int maxOnes) {
    int ones = __builtin_clz(~PeekBits(in) << 16 | 0x8000u);
    if (ones > maxOnes) ones = maxOnes;
    SkipBits(x, in, ones < maxOnes ? ones + 1 : ones);
    int width = firstWidth + ones;
    unsigned base = ((1u << ones) - 1) << firstWidth;
    return width == 0 ? 0 : base + TakeBits(x, in, width);
}

void DecodeMethod4(Extraction* x) {
    unsigned char* out = OpenWindow(x);
    // The stream and output positions stay in locals (registers).
    BitCursor in = InitBits(x);
    unsigned char* flushAt = FlushPosition(x);
    uint32_t size = (uint32_t)x->entry.originalSize;
    uint32_t decoded = 0; // a match may carry it up to 255 past the size
    while (decoded < size) {
        if (!(PeekBits(in) & 0x8000u)) {
            // A literal is the length code 0 and 8 bits: 9 bits in one read.
            *out++ = (unsigned char)TakeBits(x, in, 1 + LiteralBits);
            decoded++;
        } else {
            int length = DecodeFixedCode(x, in, LengthFirstWidth, LengthMaxOnes) + MatchLengthBias;
            decoded += length;
            out = CopyMatch(out, DecodeFixedCode(x, in, OffsetFirstWidth, OffsetMaxOnes), length);
        }
        if (out >= flushAt) out = FlushWindow(x, out);
    }
    EndBits(x, in);
    CloseWindow(x, out);
}
