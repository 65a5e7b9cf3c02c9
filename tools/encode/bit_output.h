// bit_output.h: bits written most significant first, as the decoders read
// them, into a byte buffer that the caller drains.
#pragma once

#include <stdint.h>

#include <vector>

class BitOutput {
  public:
    // Appends the low count bits of value (count 0 to 32), the highest first.
    void Put(uint32_t value, int count) {
        if (count == 0) return;
        pending = pending << count | (value & (uint64_t)(((uint64_t)1 << count) - 1));
        pendingCount += count;
        bitsWritten += (uint64_t)count;
        while (pendingCount >= 8) {
            pendingCount -= 8;
            bytes.push_back((uint8_t)(pending >> pendingCount));
        }
    }

    // Completes the last byte with 0 bits.
    void PadToByte() {
        if (pendingCount > 0) Put(0, 8 - pendingCount);
    }

    uint64_t BitsWritten() const { return bitsWritten; }

    // Whole bytes written so far and not yet taken.
    std::vector<uint8_t> bytes;

  private:
    uint64_t pending = 0; // the low pendingCount bits are not in bytes yet
    int pendingCount = 0;
    uint64_t bitsWritten = 0;
};
