// package_check.h: the seal that the package tool writes into an installer's
// image, and the check of the package against it.
//
// The seal holds the package's length and CRC-32 (script length, script,
// archive length, archive). It sits in the image, not behind the package, so
// that a download cut short is told from a package without a seal, and a
// certificate appended by signing is never read as package. A stub as built
// carries an empty seal: a package put together by another tool is not checked.
#pragma once

#include <stdint.h>

// The seal's first bytes, by which the package tool finds it in a stub.
#define PACKAGE_SEAL_MAGIC "Vantorel.SL"

struct PackageSeal {
    char magic[12];         // PACKAGE_SEAL_MAGIC and its NUL
    uint32_t packageLength; // 0 in an unsealed stub
    uint32_t packageCrc;
};

// The running installer's own seal, as the package tool left it.
extern const volatile PackageSeal installerSeal;

enum PackageCheck { PackageUnsealed, PackageIntact, PackageDamaged };

// Reads the package behind path's image: intact when its first length bytes
// have that CRC; damaged when they differ, or the file is shorter or cannot be
// read; unsealed when length is 0.
PackageCheck CheckPackage(const char* path, uint32_t length, uint32_t crc);
