// decode_methods1to3.cpp: LZ77 over a 26624-byte window with three canonical
// prefix codes, sent anew in front of every block.
//
// A block: its count of literal/length symbols (16 bits, 0 meaning 65536);
// the pre-code; the literal/length code's lengths sent through the pre-code;
// the offset code; then the items. A code whose count is 0 is a single value
// instead, read in 0 bits. There is no end marker: decoding stops when the
// entry's size is reached, possibly inside a block.
#include "arj/decode_methods1to3.h"

#include "arj/archive_headers.h"
#include "arj/bit_input.h"
#include "arj/decode_window.h"
#include "arj/huffman_table.h"

#include <string.h>

enum { NoZeroRun = -1 };

uint8_t SymbolLengths[LiteralLengthSymbols];
uint16_t SymbolTable[1 << LiteralTableBits];
uint8_t SmallLengths[PreCodeSymbols];
uint16_t SmallTable[1 << SmallTableBits];

// A code of one symbol takes no bits: every table entry holds it, and its
// length stays 0. A value outside the code could pass for a tree node.
static void MakeSingleValueCode(unsigned value, int symbolCount, uint8_t* lengths, uint16_t* table,
                                int tableEntries) {
    if (value >= (unsigned)symbolCount) BadHuffmanCode();
    memset(lengths, 0, symbolCount);
    for (int i = 0; i < tableEntries; i++) table[i] = (uint16_t)value;
}

// Lengths 0 to 6 take 3 bits; from 7 on, 111 is followed by one more 1 bit
// per step and a closing 0: 7 is 1110, 8 is 11110.
static unsigned ReadSmallLength(void) {
    unsigned c = BitBuffer() >> 13;
    if (c == 7) {
        for (unsigned bit = 1u << 12; bit && (BitBuffer() & bit); bit >>= 1) c++;
        // The list could never be built; refuse before consuming more than
        // the look-ahead holds.
        if (c > MaxCodeLength) BadHuffmanCode();
    }
    FillBits(c < 7 ? 3 : c - 3);
    return c;
}

// The pre-code (19 lengths, with a zero run after the third) or the offset
// code (17), into SmallLengths and SmallTable.
static void ReadSmallLengths(int count, int zeroRunAfter) {
    int n = GetBits(SmallCountBits);
    if (n == 0) {
        MakeSingleValueCode(GetBits(SmallCountBits), count, SmallLengths, SmallTable,
                            1 << SmallTableBits);
        return;
    }
    if (n > count) BadHuffmanCode();
    int i = 0;
    while (i < n) {
        SmallLengths[i++] = (uint8_t)ReadSmallLength();
        if (i == zeroRunAfter)
            for (int zeros = GetBits(2); zeros > 0; zeros--) SmallLengths[i++] = 0;
    }
    while (i < count) SmallLengths[i++] = 0;
    MakeTable(count, SmallLengths, SmallTableBits, SmallTable);
}

// The literal/length code, its lengths sent through the pre-code: symbol 0
// is one length 0, 1 and 2 are runs of zeros (3-18 and 20-531), 3 to 18 are
// the lengths 1 to 16.
static void ReadSymbolLengths(void) {
    int n = GetBits(LiteralCountBits);
    if (n == 0) {
        MakeSingleValueCode(GetBits(LiteralCountBits), LiteralLengthSymbols, SymbolLengths,
                            SymbolTable, 1 << LiteralTableBits);
        return;
    }
    if (n > LiteralLengthSymbols) BadHuffmanCode();
    int i = 0;
    while (i < n) {
        unsigned c = ReadCode(SmallTable, SmallTableBits, PreCodeSymbols, SmallLengths);
        if (c > 2) {
            SymbolLengths[i++] = (uint8_t)(c - 2);
            continue;
        }
        int zeros = c == 0 ? 1 : c == 1 ? GetBits(4) + 3 : GetBits(9) + 20;
        if (i + zeros > LiteralLengthSymbols) BadHuffmanCode();
        while (zeros-- > 0) SymbolLengths[i++] = 0;
    }
    while (i < LiteralLengthSymbols) SymbolLengths[i++] = 0;
    MakeTable(LiteralLengthSymbols, SymbolLengths, LiteralTableBits, SymbolTable);
}

// Reads the codes of a block; gives its count of literal/length symbols, of
// which 0 stands for 65536.
static unsigned ReadBlockHeader(void) {
    unsigned size = GetBits(BlockSizeBits);
    ReadSmallLengths(PreCodeSymbols, PreCodeZeroRunAfter);
    ReadSymbolLengths();
    ReadSmallLengths(OffsetSymbols, NoZeroRun);
    return size == 0 ? (unsigned)MaxBlockSize : size;
}

// Offset symbol c > 0 stands for 2^(c-1) to 2^c - 1; the bits below the
// leading 1 follow.
static unsigned DecodeOffset(BitCursor& in) {
    unsigned c = ReadCodeFrom(in, SmallTable, SmallTableBits, OffsetSymbols, SmallLengths);
    if (c == 0) return 0;
    return (1u << (c - 1)) + TakeBits(in, c - 1);
}

void DecodeMethods1To3(void) {
    unsigned char* out = OpenWindow();
    InitBits();
    // The loop keeps the stream position, the output position and the block's
    // count in locals, and hands the stream position back to the bit input
    // only around block headers.
    BitCursor in = bitReader.cursor;
    unsigned char* flushAt = FlushPosition();
    unsigned blockRemaining = 0; // literal/length symbols left in the block
    uint32_t size = (uint32_t)archiveEntry.originalSize;
    uint32_t decoded = 0; // a match may carry it up to 255 past the size
    while (decoded < size) {
        if (blockRemaining == 0) {
            bitReader.cursor = in;
            blockRemaining = ReadBlockHeader();
            in = bitReader.cursor;
        }
        blockRemaining--;
        unsigned s =
            ReadCodeFrom(in, SymbolTable, LiteralTableBits, LiteralLengthSymbols, SymbolLengths);
        if (s < FirstMatchSymbol) {
            *out++ = (unsigned char)s;
            decoded++;
        } else {
            int length = s - FirstMatchSymbol + MinMatchLength;
            decoded += length;
            out = CopyMatch(out, DecodeOffset(in), length);
        }
        if (out >= flushAt) out = FlushWindow(out);
    }
    CloseWindow(out);
}
