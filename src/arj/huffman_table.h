// huffman_table.h: canonical prefix codes built from code lengths, and the
// read of one symbol. MakeTable gives 1 built / 0 no code; a broken code met
// while reading fails through the extraction.
#pragma once

#include "arj/arj_format.h"
#include "arj/bit_input.h"

#include <stdint.h>

// Builds table (2^tableBits entries) and the tree nodes (in x's node store)
// for symbols 0 to symbolCount - 1 (at most LiteralLengthSymbols) with the
// given lengths (0: no code). 1 when built or when every length is 0 (nothing
// changes then); 0 when the lengths form no complete code.
int MakeTable(Extraction* x, int symbolCount, const uint8_t* lengths, int tableBits,
              uint16_t* table);

// The symbol below a table entry that is a tree node: follows the bits of
// look behind the table's index. A tree that needs more than the look-ahead
// (left from an earlier code) ends the pass with "Bad Huffman code".
unsigned WalkTree(Extraction* x, unsigned node, unsigned look, int tableBits, int symbolCount);

// Reads one symbol of a built code and consumes its bits.
inline unsigned ReadCode(Extraction* x, BitCursor& in, const uint16_t* table, int tableBits,
                         int symbolCount, const uint8_t* lengths) {
    unsigned look = PeekBits(in);
    unsigned c = table[look >> (LookAheadBits - tableBits)];
    if (c >= (unsigned)symbolCount) c = WalkTree(x, c, look, tableBits, symbolCount);
    SkipBits(x, in, lengths[c]);
    return c;
}
