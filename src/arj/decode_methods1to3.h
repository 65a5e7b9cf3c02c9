// decode_methods1to3.h: the decoder of entries packed with methods 1, 2 and 3.
#pragma once

#include "arj/arj_format.h"

#include <stdint.h>

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
