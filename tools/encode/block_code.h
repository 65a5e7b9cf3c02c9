// block_code.h: one block of methods 1 to 3: the three prefix codes that its
// header sends, and the header and items in bits.
#pragma once

#include "arj/arj_format.h"
#include "tools/encode/bit_output.h"
#include "tools/encode/lz_item.h"

#include <stddef.h>
#include <stdint.h>

#include <vector>

// Symbol frequencies of a block's items.
struct BlockHistogram {
    uint32_t literalLength[LiteralLengthSymbols];
    uint32_t offset[OffsetSymbols];
    uint64_t extraBits; // the offsets' bits below their leading 1
    uint32_t items;

    BlockHistogram() { Clear(); }
    void Clear();
    void Add(const LzItem& item);
    void Add(const BlockHistogram& other);
};

// A code that the stream sends either as lengths or, when it has fewer than
// two symbols, as the single value that every read yields without bits.
struct SentCode {
    uint8_t lengths[LiteralLengthSymbols]; // bits per symbol; all 0 for a single value
    uint16_t codes[LiteralLengthSymbols];
    int single; // the single value, or -1
};

struct BlockCode {
    SentCode literalLength, offset, preCode;
    // How the literal/length lengths go through the pre-code: the pre-code
    // symbol in the low 5 bits, a zero run's size field above them.
    std::vector<uint16_t> lengthTokens;
    uint64_t headerBits; // block size and the three codes
    uint64_t itemBits;   // the items, offsets' extra bits included
};

// The codes of fewest bits for the histogram (at least one item), and how
// to send them; gives headerBits + itemBits. Unless thorough, the
// literal/length code is the one of fewest item bits, which is faster.
uint64_t DesignBlockCode(const BlockHistogram& histogram, BlockCode* code, bool thorough = true);

// Writes a block of 1 to 65535 items with codes designed for them.
void WriteBlock(const LzItem* items, size_t count, const BlockCode& code, BitOutput* out);
