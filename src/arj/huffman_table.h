// huffman_table.h: canonical prefix codes built from code lengths, and the
// read of one symbol.
#pragma once

#include "arj/arj_format.h"
#include "arj/bit_input.h"

#include <stdint.h>

enum {
    MaxSymbols = LiteralLengthSymbols,  // the largest code
    NodeStoreSize = 2 * MaxSymbols - 1, // nodes are numbered from the symbol count up
};

// Tree nodes of the codes longer than a table's index: a 0 bit follows
// LeftChild, a 1 bit RightChild; a child below the symbol count is a symbol.
extern uint16_t LeftChild[NodeStoreSize];
extern uint16_t RightChild[NodeStoreSize];

// Builds table (2^tableBits entries) and tree nodes for symbols 0 to
// symbolCount - 1 with the given lengths (0: no code). A list that is not a
// complete code ends the extraction with "Bad Huffman code"; a list of only
// zeros changes nothing.
void MakeTable(int symbolCount, const uint8_t* lengths, int tableBits, uint16_t* table);

// The symbol below a table entry that is a tree node: follows the bits of
// look behind the table's index.
unsigned WalkTree(unsigned node, unsigned look, int tableBits, int symbolCount);

// Reads one symbol of a built code and consumes its bits.
inline unsigned ReadCodeFrom(BitCursor& in, const uint16_t* table, int tableBits, int symbolCount,
                             const uint8_t* lengths) {
    unsigned look = PeekBits(in);
    unsigned c = table[look >> (LookAheadBits - tableBits)];
    if (c >= (unsigned)symbolCount) c = WalkTree(c, look, tableBits, symbolCount);
    SkipBits(in, lengths[c]);
    return c;
}

// The same on the bit input's own cursor.
inline unsigned ReadCode(const uint16_t* table, int tableBits, int symbolCount,
                         const uint8_t* lengths) {
    return ReadCodeFrom(bitReader.cursor, table, tableBits, symbolCount, lengths);
}

// Ends the extraction with "Bad Huffman code".
[[noreturn]] void BadHuffmanCode(void);
