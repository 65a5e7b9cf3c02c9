// little_endian.h: numbers of 1 to 4 bytes, the lowest first, as Windows
// images, icons and version resources hold them, in byte strings.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

inline uint32_t ReadLittleEndian(const std::string& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; i--) value = value << 8 | (uint8_t)bytes[at + i];
    return value;
}

inline void WriteLittleEndian(std::string* bytes, size_t at, uint32_t value, int size) {
    for (int i = 0; i < size; i++) (*bytes)[at + i] = (char)(value >> (8 * i));
}

inline void AppendLittleEndian(std::string* bytes, uint32_t value, int size) {
    for (int i = 0; i < size; i++) *bytes += (char)(value >> (8 * i));
}
