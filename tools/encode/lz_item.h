// lz_item.h: the LZ77 output that the encoders code: literal bytes and
// matches, and the symbols that methods 1 to 3 send for them.
#pragma once

#include "arj/arj_format.h"

#include <stdint.h>

struct LzItem {
    uint16_t length; // 0 for a literal, else a match of MinMatchLength to MaxMatchLength bytes
    uint16_t value;  // the literal byte, or the match's offset: its distance - 1
};

inline LzItem Literal(uint8_t byte) {
    return LzItem{0, byte};
}
inline LzItem Match(int length, uint32_t distance) {
    return LzItem{(uint16_t)length, (uint16_t)(distance - 1)};
}

// Methods 1 to 3: the literal/length symbol of an item.
inline int LiteralLengthSymbol(const LzItem& item) {
    return item.length == 0 ? item.value : item.length - MinMatchLength + FirstMatchSymbol;
}

// Methods 1 to 3: the offset symbol, the number of bits of the offset (0 for
// offset 0); the bits below the leading 1 follow it.
inline int OffsetSymbol(uint32_t offset) {
    return offset == 0 ? 0 : 32 - __builtin_clz(offset);
}
inline int OffsetExtraBits(int symbol) {
    return symbol < 2 ? 0 : symbol - 1;
}
