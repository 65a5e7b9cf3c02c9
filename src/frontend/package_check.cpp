// package_check.cpp: the installer's check of its package against its seal.
#include "frontend/package_check.h"

#include "arj/crc32.h"
#include "platform/platform.h"
#include "script/package_layout.h"

#include <stdio.h>

enum { CheckBlockSize = 32768 };

// volatile: the package tool writes the fields into the file. The compiler
// puts a volatile object among the writable data even when it is const; the
// stub keeps it with the read-only data, so that it has no writable data.
#ifdef _WIN32
__attribute__((section(".rdata$seal")))
#endif
const volatile PackageSeal installerSeal = {PACKAGE_SEAL_MAGIC, 0, 0};

PackageCheck CheckPackage(const char* path, uint32_t length, uint32_t crc) {
    static unsigned char block[CheckBlockSize];
    if (length == 0) return PackageUnsealed;
    BuildCrcTable();
    uint32_t running = CrcStart;
    FILE* file = PlatformOpenFile(path, "rb");
    if (file && fseek(file, PackageDataOffset, SEEK_SET) == 0) {
        size_t got = 1;
        while (length && got) {
            got =
                fread(block, 1,
                      length < (uint32_t)CheckBlockSize ? length : (uint32_t)CheckBlockSize, file);
            running = UpdateCrc(running, block, got);
            length -= (uint32_t)got;
        }
    }
    if (file) fclose(file);
    return length == 0 && (running ^ CrcStart) == crc ? PackageIntact : PackageDamaged;
}
