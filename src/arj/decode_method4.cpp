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

#include "arj/archive_headers.h"
#include "arj/bit_input.h"
#include "arj/decode_window.h"

#include <stdint.h>

enum {
    LengthFirstWidth = 0,
    LengthMaxOnes = 7,
    OffsetFirstWidth = 9,
    OffsetMaxOnes = 4,
    LiteralBits = 8,
    MatchLengthBias = 2, // length code c means c + 2 bytes
};

static unsigned DecodeFixedCode(int firstWidth, int maxOnes) {
    unsigned base = 0;
    int width = firstWidth;
    while (width < firstWidth + maxOnes && GetBits(1)) {
        base += 1u << width;
        width++;
    }
    return width == 0 ? 0 : base + GetBits(width);
}

void DecodeMethod4(void) {
    OpenWindow();
    InitBits();
    uint32_t decoded = 0; // a match may carry it up to 255 past originalSize
    int r = 0;
    while (decoded < (uint32_t)archiveEntry.originalSize) {
        unsigned c = DecodeFixedCode(LengthFirstWidth, LengthMaxOnes);
        if (c == 0) {
            r = PutByte(r, (unsigned char)GetBits(LiteralBits));
            decoded++;
        } else {
            int length = c + MatchLengthBias;
            decoded += length;
            r = CopyMatch(r, DecodeFixedCode(OffsetFirstWidth, OffsetMaxOnes), length);
        }
    }
    CloseWindow(r);
}
