// package_seal.cpp: sealing an installer after build, verifying one after.
#include "tools/pack/package_seal.h"

#include "arj/crc32.h"
#include "frontend/package_check.h"
#include "script/package_layout.h"
#include "tools/pack/little_endian.h"

#include <stddef.h>

#include <vector>

namespace {

const size_t ChecksumField = 88; // behind the "PE\0\0" signature

// Where the CheckSum field lies, or 0 when the image has no PE header.
size_t ChecksumOffset(const std::string& image) {
    size_t header = PeHeader(image, ChecksumField + 4);
    return header ? header + ChecksumField : 0;
}

// The CheckSum's sum of 16-bit little-endian words, over bytes that lie at
// offset at of the file, the 4 bytes of the field left out. Carries are
// folded in at the end, which gives what folding at every word does.
uint64_t AddWords(uint64_t sum, const char* bytes, size_t count, uint64_t at, size_t field) {
    for (size_t i = 0; i < count; i++, at++)
        if (at - field >= 4) sum += (uint64_t)(uint8_t)bytes[i] << (8 * (at & 1));
    return sum;
}

std::string ReadImage(FILE* file, std::string* image) {
    image->assign(PackageDataOffset, '\0');
    if (fseek(file, 0, SEEK_SET) != 0 ||
        fread(&(*image)[0], 1, image->size(), file) != image->size())
        return "its image is shorter than " + std::to_string(PackageDataOffset) + " bytes";
    return "";
}

} // namespace

size_t PeHeader(const std::string& image, size_t bytes) {
    if (image.size() < 64 || image.compare(0, 2, "MZ") != 0) return 0;
    size_t header = ReadLittleEndian(image, 60, 4);
    if (header + bytes > image.size() || image.compare(header, 4, "PE\0\0", 4) != 0) return 0;
    return header;
}

void SetChecksum(std::string* image) {
    size_t field = ChecksumOffset(*image);
    if (!field) return;
    uint64_t sum = AddWords(0, image->data(), image->size(), 0, field);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    WriteLittleEndian(image, field, (uint32_t)(sum + image->size()), 4);
}

size_t FindSeal(const std::string& image) {
    const size_t size = sizeof PACKAGE_SEAL_MAGIC;
    size_t at = image.find(PACKAGE_SEAL_MAGIC, 0, size);
    // With a second one it would be open which of them the installer reads.
    if (at == std::string::npos ||
        image.find(PACKAGE_SEAL_MAGIC, at + 1, size) != std::string::npos)
        return std::string::npos;
    return at;
}

std::string SealInstaller(const std::string& path, bool* sealed) {
    FILE* file = fopen(path.c_str(), "r+b");
    if (!file) return "cannot write " + path;
    std::string image, problem = ReadImage(file, &image);
    // One pass over the package gives its CRC and its part of the CheckSum.
    uint32_t crc = CrcStart;
    uint64_t length = 0, sum = 0;
    std::vector<char> block(1 << 16);
    size_t got;
    BuildCrcTable();
    while (problem.empty() && (got = fread(block.data(), 1, block.size(), file)) > 0) {
        crc = UpdateCrc(crc, block.data(), got);
        sum = AddWords(sum, block.data(), got, PackageDataOffset + length, 0);
        length += got;
    }
    if (problem.empty() && ferror(file)) problem = "cannot read " + path;
    if (problem.empty() && length > 0xFFFFFFFFu) problem = "the package is larger than 4 GB";
    size_t seal = FindSeal(image);
    *sealed = seal != std::string::npos;
    if (*sealed) {
        WriteLittleEndian(&image, seal + offsetof(PackageSeal, packageLength), (uint32_t)length, 4);
        WriteLittleEndian(&image, seal + offsetof(PackageSeal, packageCrc), crc ^ CrcStart, 4);
    }
    // The CheckSum covers the seal.
    if (size_t field = ChecksumOffset(image)) {
        sum = AddWords(sum, image.data(), image.size(), 0, field);
        while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
        WriteLittleEndian(&image, field, (uint32_t)(sum + PackageDataOffset + length), 4);
    }
    if (problem.empty() && (fseek(file, 0, SEEK_SET) != 0 ||
                            fwrite(image.data(), 1, image.size(), file) != image.size()))
        problem = "cannot write " + path;
    if (fclose(file) != 0 && problem.empty()) problem = "cannot write " + path;
    return problem;
}

std::string VerifyPackage(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return "cannot read " + path;
    std::string image, problem = ReadImage(file, &image);
    fclose(file);
    if (!problem.empty()) return path + ": " + problem;
    size_t seal = FindSeal(image);
    if (seal == std::string::npos) return "";
    uint32_t length = ReadLittleEndian(image, seal + offsetof(PackageSeal, packageLength), 4);
    uint32_t crc = ReadLittleEndian(image, seal + offsetof(PackageSeal, packageCrc), 4);
    if (CheckPackage(path.c_str(), length, crc) != PackageDamaged) return "";
    return path + ": the package is damaged or incomplete: it does not match its seal";
}
