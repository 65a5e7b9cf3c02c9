// crc32.cpp: the standard reflected CRC-32 (ISO-HDLC, IEEE 802.3).
//
// The plain form takes a byte at a time through one 256-entry table. Long runs
// go 8 bytes a step through eight tables ("slicing by 8"): table k gives the
// CRC of a byte followed by k zero bytes, and since the CRC is linear over
// XOR, the CRCs of the 8 bytes at their distances from the end add up to the
// same value that 8 single steps give. The tables take no file space; they
// are built at run time.
#include "arj/crc32.h"

// The reflected form of the polynomial 0x04C11DB7.
static const uint32_t CrcPolynomial = 0xEDB88320u;
enum { SliceBytes = 8 };

static uint32_t CrcTable[SliceBytes][256];

void BuildCrcTable(void) {
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t r = i;
        for (int bit = 0; bit < 8; bit++) r = (r & 1) ? (r >> 1) ^ CrcPolynomial : r >> 1;
        CrcTable[0][i] = r;
    }
    for (int k = 1; k < SliceBytes; k++)
        for (int i = 0; i < 256; i++)
            CrcTable[k][i] = (CrcTable[k - 1][i] >> 8) ^ CrcTable[0][CrcTable[k - 1][i] & 0xFF];
}

uint32_t UpdateCrc(uint32_t crc, const void* data, size_t count) {
    const unsigned char* bytes = (const unsigned char*)data;
    for (; count >= SliceBytes; count -= SliceBytes, bytes += SliceBytes) {
        uint32_t low = crc ^ (bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (uint32_t)bytes[3] << 24);
        crc = CrcTable[7][low & 0xFF] ^ CrcTable[6][low >> 8 & 0xFF] ^
              CrcTable[5][low >> 16 & 0xFF] ^ CrcTable[4][low >> 24] ^ CrcTable[3][bytes[4]] ^
              CrcTable[2][bytes[5]] ^ CrcTable[1][bytes[6]] ^ CrcTable[0][bytes[7]];
    }
    for (size_t i = 0; i < count; i++) crc = (crc >> 8) ^ CrcTable[0][(crc ^ bytes[i]) & 0xFF];
    return crc;
}
