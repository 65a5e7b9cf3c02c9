// crc32.h: the CRC-32 that guards headers and extracted files.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Every check starts the running value here and compares the running value
// with this bits flipped against the stored CRC.
const uint32_t CrcStart = 0xFFFFFFFFu;

// The running value, updated by header reading and by WriteDecoded.
extern uint32_t RunningCrc;

// Fills the lookup table; once per extraction, before any UpdateCrc.
void BuildCrcTable(void);
void UpdateCrc(const unsigned char* bytes, size_t count);

// The CRC of everything fed since RunningCrc was set to CrcStart.
inline uint32_t CrcResult(void) {
    return RunningCrc ^ CrcStart;
}
