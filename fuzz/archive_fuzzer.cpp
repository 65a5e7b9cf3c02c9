// archive_fuzzer.cpp: whole packages for the installer's archive reader. Header CRCs stop
// nearly every mutation at the first header, so with an odd first byte every header CRC
// found is set right first; the rest is what follows the image (script, archive, lengths).
#include "arj/archive_reader.h"
#include "arj/arj_format.h"
#include "arj/crc32.h"
#include "fuzz/memory_platform.h"
#include "script/package_layout.h"

#include <stdint.h>

namespace {

unsigned Word(const std::string& b, size_t at) {
    return (unsigned char)b[at] | (unsigned char)b[at + 1] << 8;
}

uint32_t Long(const std::string& b, size_t at) {
    return Word(b, at) | (uint32_t)Word(b, at + 2) << 16;
}

// Walks the headers from the first 0x60 0xEA behind the script and writes the
// right CRC behind each basic header; stops at anything it cannot follow.
void FixHeaderCrcs(std::string* b) {
    size_t at = PackageDataOffset;
    if (b->size() < at + 4) return;
    at += 8 + (size_t)Long(*b, at);
    while (at + 1 < b->size() && Word(*b, at) != ArjHeaderId) at++;
    for (bool main = true; at + 4 <= b->size(); main = false) {
        size_t n = Word(*b, at + 2);
        if (Word(*b, at) != ArjHeaderId || n == 0 || n > MaxBasicHeaderSize ||
            at + 4 + n + 6 > b->size())
            return;
        // An entry decodes until it has its original size, whatever its data
        // holds: sizes below 2 GB lose their high 16 bits, so runs stay short.
        size_t basic = at + 4;
        uint32_t original = n >= 20 ? Long(*b, basic + OriginalSizeField) : 0;
        if (!main && original > 0xFFFF && original <= MaxEntrySize)
            (*b)[basic + OriginalSizeField + 2] = (*b)[basic + OriginalSizeField + 3] = 0;
        uint32_t crc = Crc32(b->data() + basic, n);
        for (int i = 0; i < 4; i++) (*b)[at + 4 + n + i] = (char)(crc >> (8 * i));
        size_t next = at + 4 + n + 4;
        while (next + 2 <= b->size() && Word(*b, next) != 0) next += 2 + Word(*b, next) + 4;
        next += 2;
        if (!main && n >= 16) next += Long(*b, basic + CompressedSizeField);
        if (next <= at) return;
        at = next;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    package.assign(PackageDataOffset, '\0');
    package.append((const char*)data + 1, size - 1);
    BuildCrcTable();
    if (data[0] & 1) FixHeaderCrcs(&package);
    char message[MessageSize];
    written.clear();
    ExtractArchive("C:\\SETUP.EXE", nullptr, nullptr, message);
    return 0;
}
