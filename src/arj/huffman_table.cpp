// huffman_table.cpp: lookup tables for canonical prefix codes.
//
// The codes are canonical: from the lengths alone, the codes of each length
// take consecutive values in increasing symbol order, shorter lengths first.
// Codes are handled as 16-bit values aligned to the left, so a code of length
// L spans 2^(16 - L) of the 65536 values. A table indexed by the next
// tableBits bits resolves every code up to that length in one lookup; longer
// codes hang below their table entry as small binary trees.
#include "arj/huffman_table.h"

#include "arj/extraction.h"

// The whole 16-bit code space: a complete code fills it exactly.
static const uint32_t CodeSpace = 1u << MaxCodeLength;

int MakeTable(Extraction* x, int symbolCount, const uint8_t* lengths, int tableBits,
              uint16_t* table) {
    ARJ_INVARIANT(symbolCount <= LiteralLengthSymbols && tableBits <= LiteralTableBits);
    uint32_t count[MaxCodeLength + 1] = {0};
    uint32_t start[MaxCodeLength + 2];
    uint32_t weight[MaxCodeLength + 1];
    for (int s = 0; s < symbolCount; s++) {
        if (lengths[s] > MaxCodeLength) return 0;
        count[lengths[s]]++;
    }

    // The sum is kept whole, not modulo 2^16: an over-full list would wrap to
    // a complete-looking sum and then overrun the table or the node store.
    start[1] = 0;
    for (int length = 1; length <= MaxCodeLength; length++)
        start[length + 1] = start[length] + (count[length] << (MaxCodeLength - length));
    if (start[MaxCodeLength + 1] == 0) return 1; // no codes at all
    if (start[MaxCodeLength + 1] != CodeSpace) return 0;

    // Short codes count in table entries, long ones stay left-aligned.
    int jutBits = MaxCodeLength - tableBits;
    for (int length = 1; length <= tableBits; length++) {
        start[length] >>= jutBits;
        weight[length] = 1u << (tableBits - length);
    }
    for (int length = tableBits + 1; length <= MaxCodeLength; length++)
        weight[length] = 1u << (MaxCodeLength - length);

    // Entries past the short codes become tree roots; 0 marks one not made yet
    // (no node has number 0, nodes start at symbolCount).
    uint32_t tableEntries = 1u << tableBits;
    for (uint32_t i = start[tableBits + 1] >> jutBits; i < tableEntries; i++) table[i] = 0;

    unsigned nextNode = symbolCount;
    uint32_t mask = 1u << (15 - tableBits); // the first bit below the table's index
    for (int s = 0; s < symbolCount; s++) {
        int length = lengths[s];
        if (length == 0) continue;
        uint32_t k = start[length];
        uint32_t next = k + weight[length];
        if (length <= tableBits) {
            for (uint32_t i = k; i < next; i++) table[i] = (uint16_t)s;
        } else {
            uint16_t* entry = &table[k >> jutBits];
            for (int depth = length - tableBits; depth > 0; depth--) {
                if (*entry == 0) {
                    // A complete code of at most 510 symbols has fewer inner nodes.
                    ARJ_INVARIANT(nextNode < NodeStoreSize);
                    x->codes.leftChild[nextNode] = x->codes.rightChild[nextNode] = 0;
                    *entry = (uint16_t)nextNode++;
                }
                entry = (k & mask) ? &x->codes.rightChild[*entry] : &x->codes.leftChild[*entry];
                k <<= 1;
            }
            *entry = (uint16_t)s;
        }
        start[length] = next;
    }
    return 1;
}

unsigned WalkTree(Extraction* x, unsigned node, unsigned look, int tableBits, int symbolCount) {
    // The walk looks at the bits behind the table's index without consuming
    // them; a complete code never needs more than the 16 look-ahead bits.
    // Only a table left from an earlier code (a later list of only zeros)
    // could ask for more.
    unsigned c = node;
    for (unsigned mask = 1u << (15 - tableBits); c >= (unsigned)symbolCount; mask >>= 1) {
        if (mask == 0) FailExtraction(x, BadHuffmanCodeMessage);
        ARJ_INVARIANT(c < NodeStoreSize);
        c = (look & mask) ? x->codes.rightChild[c] : x->codes.leftChild[c];
    }
    return c;
}
