// method4_code.h: the fixed codes of method 4.
//
// A literal is a 0 bit and its 8 bits. A match sends its length - 2 and then
// its offset, each as k 1 bits (closed by a 0 unless k is the most allowed)
// and w0 + k value bits: k ones stand for the values from 2^w0 * (2^k - 1).
// w0 is 0 for lengths (up to 7 ones) and 9 for offsets (up to 4 ones).
#pragma once

#include "arj/arj_format.h"
#include "tools/encode/bit_output.h"
#include "tools/encode/lz_item.h"

// The window that method 4 offsets reach.
enum { Method4Window = MaxMethod4Offset + 1 };

// The number of 1 bits that start the code of value.
inline int FixedCodeOnes(uint32_t value, int firstWidth, int maxOnes) {
    int ones = 0;
    while (ones < maxOnes && value >= (((2u << ones) - 1) << firstWidth)) ones++;
    return ones;
}

inline int FixedCodeBits(uint32_t value, int firstWidth, int maxOnes) {
    int ones = FixedCodeOnes(value, firstWidth, maxOnes);
    return ones + (ones < maxOnes) + firstWidth + ones;
}

inline void PutFixedCode(uint32_t value, int firstWidth, int maxOnes, BitOutput* out) {
    int ones = FixedCodeOnes(value, firstWidth, maxOnes);
    out->Put(((1u << ones) - 1) << (ones < maxOnes), ones + (ones < maxOnes));
    out->Put(value - (((1u << ones) - 1) << firstWidth), firstWidth + ones);
}

inline int Method4LengthBits(int length) {
    return FixedCodeBits(length - MatchLengthBias, LengthFirstWidth, LengthMaxOnes);
}
inline int Method4OffsetBits(uint32_t offset) {
    return FixedCodeBits(offset, OffsetFirstWidth, OffsetMaxOnes);
}
enum { Method4LiteralBits = 1 + LiteralBits };

inline void PutMethod4Item(const LzItem& item, BitOutput* out) {
    if (item.length == 0) {
        out->Put(item.value, Method4LiteralBits); // the leading 0 is the length code 0
        return;
    }
    PutFixedCode(item.length - MatchLengthBias, LengthFirstWidth, LengthMaxOnes, out);
    PutFixedCode(item.value, OffsetFirstWidth, OffsetMaxOnes, out);
}
