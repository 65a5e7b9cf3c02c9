// decode_methods1to3.h: the decoder of entries packed with methods 1, 2 and 3.
#pragma once

#include <stdint.h>

enum {
    LiteralLengthSymbols = 510, // 0-255 literal bytes, 256-509 match lengths 3-256
    PreCodeSymbols = 19,        // sends the literal/length code's lengths
    OffsetSymbols = 17,         // bit length of a match offset
    LiteralTableBits = 12,
    SmallTableBits = 8,
};

// The codes of the current block; kept between blocks and entries, and
// rebuilt by every block header.
extern uint8_t SymbolLengths[LiteralLengthSymbols];
extern uint16_t SymbolTable[1 << LiteralTableBits];
extern uint8_t SmallLengths[PreCodeSymbols]; // the pre-code, then the offset code
extern uint16_t SmallTable[1 << SmallTableBits];

// Decodes the current entry: ArchiveStream stands at its compressed data and
// the output is open. Writes originalSize bytes (more when the last match
// runs past it) through WriteDecoded.
void DecodeMethods1To3(void);
