// crc32.h: the CRC-32 that guards headers and extracted files: the standard
// reflected CRC-32 (ISO-HDLC, IEEE 802.3).
#pragma once

#include <stddef.h>
#include <stdint.h>

// Every check starts the running value here and compares the running value
// with these bits flipped against the stored CRC.
const uint32_t CrcStart = 0xFFFFFFFFu;

// Fills the lookup tables; before any other call, and before threads start.
void BuildCrcTable(void);

// The running value crc carried over bytes.
uint32_t UpdateCrc(uint32_t crc, const void* bytes, size_t count);

// The CRC of a whole block.
inline uint32_t Crc32(const void* bytes, size_t count) {
    return UpdateCrc(CrcStart, bytes, count) ^ CrcStart;
}
