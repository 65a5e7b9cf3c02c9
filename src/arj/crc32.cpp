// crc32.cpp: the standard reflected CRC-32 (ISO-HDLC, IEEE 802.3), a byte at a
// time through a 256-entry table.
#include "arj/crc32.h"

// The reflected form of the polynomial 0x04C11DB7.
static const uint32_t CrcPolynomial = 0xEDB88320u;

uint32_t RunningCrc;
static uint32_t CrcTable[256];

void BuildCrcTable(void) {
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t r = i;
        for (int bit = 0; bit < 8; bit++) r = (r & 1) ? (r >> 1) ^ CrcPolynomial : r >> 1;
        CrcTable[i] = r;
    }
}

void UpdateCrc(const unsigned char* bytes, size_t count) {
    uint32_t crc = RunningCrc;
    for (size_t i = 0; i < count; i++) crc = (crc >> 8) ^ CrcTable[(crc ^ bytes[i]) & 0xFF];
    RunningCrc = crc;
}
