// decode_methods1to3.cpp: LZ77 over a 26624-byte window with three canonical
// prefix codes, sent anew in front of every block.
//
// A block: its count of literal/length symbols (16 bits, 0 meaning 65536);
// the pre-code; the literal/length code's lengths sent through the pre-code;
// the offset code; then the items. A code whose count is 0 is a single value
// instead, read in 0 bits. There is no end marker: decoding stops when the
// entry's size is reached, possibly inside a block.
#include "arj/decode_methods1to3.h"

#include "arj/bit_input.h"
#include "arj/decode_window.h"
#include "arj/extraction.h"
#include "arj/huffman_table.h"

#include <string.h>

enum { NoZeroRun = -1 };

static void BadHuffmanCode(Extraction* x) {
    FailExtraction(x, BadHuffmanCodeMessage);
}

static void BuildTable(Extraction* x, int count, const uint8_t* lengths, int tableBits,
                       uint16_t* table) {
    if (!MakeTable(x, count, lengths, tableBits, table)) BadHuffmanCode(x);
}

// A code of one symbol takes no bits: every table entry holds it, and its
// length stays 0. A value outside the code could pass for a tree node.
static void MakeSingleValueCode(Extraction* x, unsigned value, int symbolCount, uint8_t* lengths,
                                uint16_t* table, int tableEntries) {
    if (value >= (unsigned)symbolCount) BadHuffmanCode(x);
    memset(lengths, 0, symbolCount);
    for (int i = 0; i < tableEntries; i++) table[i] = (uint16_t)value;
}

// Lengths 0 to 6 take 3 bits; from 7 on, 111 is followed by one more 1 bit
// per step and a closing 0: 7 is 1110, 8 is 11110.
static unsigned ReadSmallLength(Extraction* x, BitCursor& in) {
    unsigned c = PeekBits(in) >> 13;
    if (c == 7) {
        for (unsigned bit = 1u << 12; bit && (PeekBits(in) & bit); bit >>= 1) c++;
        // The list could never be built; refuse before consuming more than
        // the look-ahead holds.
        if (c > MaxCodeLength) BadHuffmanCode(x);
    }
    SkipBits(x, in, c < 7 ? 3 : c - 3);
    return c;
}

// The pre-code (19 lengths, with a zero run after the third) or the offset
// code (17), into the small code.
static void ReadSmallLengths(Extraction* x, BitCursor& in, int count, int zeroRunAfter) {
    int n = TakeBits(x, in, SmallCountBits);
    if (n == 0) {
        MakeSingleValueCode(x, TakeBits(x, in, SmallCountBits), count, x->codes.smallLengths,
                            x->codes.smallTable, 1 << SmallTableBits);
        return;
    }
    if (n > count) BadHuffmanCode(x);
    int i = 0;
    while (i < n) {
        x->codes.smallLengths[i++] = (uint8_t)ReadSmallLength(x, in);
        if (i == zeroRunAfter)
            for (int zeros = TakeBits(x, in, 2); zeros > 0; zeros--) x->codes.smallLengths[i++] = 0;
    }
    while (i < count) x->codes.smallLengths[i++] = 0;
    BuildTable(x, count, x->codes.smallLengths, SmallTableBits, x->codes.smallTable);
}

// The literal/length code, its lengths sent through the pre-code: symbol 0
// is one length 0, 1 and 2 are runs of zeros (3-18 and 20-531), 3 to 18 are
// the lengths 1 to 16.
static void ReadSymbolLengths(Extraction* x, BitCursor& in) {
    int n = TakeBits(x, in, LiteralCountBits);
    if (n == 0) {
        MakeSingleValueCode(x, TakeBits(x, in, LiteralCountBits), LiteralLengthSymbols,
                            x->codes.symbolLengths, x->codes.symbolTable, 1 << LiteralTableBits);
        return;
    }
    if (n > LiteralLengthSymbols) BadHuffmanCode(x);
    int i = 0;
    while (i < n) {
        unsigned c = ReadCode(x, in, x->codes.smallTable, SmallTableBits, PreCodeSymbols,
                              x->codes.smallLengths);
        if (c > 2) {
            x->codes.symbolLengths[i++] = (uint8_t)(c - 2);
            continue;
        }
        int zeros = c == 0 ? 1 : c == 1 ? TakeBits(x, in, 4) + 3 : TakeBits(x, in, 9) + 20;
        if (i + zeros > LiteralLengthSymbols) BadHuffmanCode(x);
        while (zeros-- > 0) x->codes.symbolLengths[i++] = 0;
    }
    while (i < LiteralLengthSymbols) x->codes.symbolLengths[i++] = 0;
    BuildTable(x, LiteralLengthSymbols, x->codes.symbolLengths, LiteralTableBits,
               x->codes.symbolTable);
}

// Reads the codes of a block; gives its count of literal/length symbols, of
// which 0 stands for 65536.
static unsigned ReadBlockHeader(Extraction* x, BitCursor& in) {
    unsigned size = TakeBits(x, in, BlockSizeBits);
    ReadSmallLengths(x, in, PreCodeSymbols, PreCodeZeroRunAfter);
    ReadSymbolLengths(x, in);
    ReadSmallLengths(x, in, OffsetSymbols, NoZeroRun);
    return size == 0 ? (unsigned)MaxBlockSize : size;
}

// Offset symbol c > 0 stands for 2^(c-1) to 2^c - 1; the bits below the
// leading 1 follow.
static unsigned DecodeOffset(Extraction* x, BitCursor& in) {
    unsigned c =
        ReadCode(x, in, x->codes.smallTable, SmallTableBits, OffsetSymbols, x->codes.smallLengths);
    if (c == 0) return 0;
    return (1u << (c - 1)) + TakeBits(x, in, c - 1);
}

void DecodeMethods1To3(Extraction* x) {
    unsigned char* out = OpenWindow(x);
    // The loop keeps the stream position, the output position and the block's
    // count in locals (registers).
    BitCursor in = InitBits(x);
    unsigned char* flushAt = FlushPosition(x);
    unsigned blockRemaining = 0; // literal/length symbols left in the block
    uint32_t size = (uint32_t)x->entry.originalSize;
    uint32_t decoded = 0; // a match may carry it up to 255 past the size
    while (decoded < size) {
        if (blockRemaining == 0) blockRemaining = ReadBlockHeader(x, in);
        blockRemaining--;
        unsigned s = ReadCode(x, in, x->codes.symbolTable, LiteralTableBits, LiteralLengthSymbols,
                              x->codes.symbolLengths);
        if (s < FirstMatchSymbol) {
            *out++ = (unsigned char)s;
            decoded++;
        } else {
            int length = s - FirstMatchSymbol + MinMatchLength;
            decoded += length;
            out = CopyMatch(out, DecodeOffset(x, in), length);
        }
        if (out >= flushAt) out = FlushWindow(x, out);
    }
    EndBits(x, in);
    CloseWindow(x, out);
}
