// archive_fuzzer.cpp: feeds whole packages to the installer's archive reader.
//
// The input is a package as it follows the installer's image (script length,
// script, archive length, archive); the image is 24576 zero bytes in front.
// The fuzzer is the platform boundary itself, so the simulation is not linked
// in: every file opened for reading is the package in memory, and entries are
// written nowhere.
//
// Header CRCs stop nearly every mutation at the first header. When the first
// input byte is odd, the fuzzer first sets every header CRC it can find right,
// so that mutations reach the entries and the decoders; even inputs are taken
// as they are.
#include "arj/archive_headers.h"
#include "arj/arj_format.h"
#include "arj/crc32.h"
#include "arj/archive_reader.h"
#include "arj/decode_window.h"
#include "arj/entry_output.h"
#include "platform/platform.h"
#include "script/package_layout.h"

#include <setjmp.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

const uint32_t MaxOriginalSize = 1 << 16;
std::string package;

ssize_t Discard(void*, const char*, size_t size) {
    return (ssize_t)size;
}

unsigned Word(const std::string& b, size_t at) {
    return (unsigned char)b[at] | (unsigned char)b[at + 1] << 8;
}

uint32_t Long(const std::string& b, size_t at) {
    return Word(b, at) | (uint32_t)Word(b, at + 2) << 16;
}

// Walks the headers from the first 0x60 0xEA behind the script and writes the
// right CRC behind each basic header; stops at anything it cannot follow.
// Original sizes above MaxOriginalSize (and below 2 GB) are cut down first.
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
        // holds: keep sizes below 2 GB small, so that runs stay short.
        size_t basic = at + 4;
        uint32_t original = n >= 20 ? Long(*b, basic + OriginalSizeField) : 0;
        if (!main && original > MaxOriginalSize && original <= MaxEntrySize)
            for (int i = 0; i < 4; i++)
                (*b)[basic + OriginalSizeField + i] =
                    (char)((original % MaxOriginalSize) >> (8 * i));
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

FILE* PlatformOpenFile(const char*, const char* mode) {
    static const cookie_io_functions_t discard = {nullptr, Discard, nullptr, nullptr};
    return mode[0] == 'r' ? fmemopen(&package[0], package.size(), "rb")
                          : fopencookie(nullptr, "wb", discard);
}

int PlatformDeleteFile(const char*) {
    return 1;
}

int PlatformSetFileTime(const char*, int64_t) {
    return 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    package.assign(PackageDataOffset, '\0');
    package.append((const char*)data + 1, size - 1);
    BuildCrcTable();
    if (data[0] & 1) FixHeaderCrcs(&package);
    char message[MessageSize];
    ExtractArchive("C:\\SETUP.EXE", nullptr, nullptr, message);
    return 0;
}
