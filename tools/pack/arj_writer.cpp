// arj_writer.cpp: writes ARJ headers and checks an archive's first header.
#include "tools/pack/arj_writer.h"

#include "arj/arj_format.h"
#include "arj/crc32.h"

namespace {

enum : uint32_t {
    ArchiverVersion = 11, // as written by ARJ 2.7x and later
    MinVersion = 1,       // what the archiver writes for every method
    UnixFileTypeBits = 0170000,
    UnixPermissionBits = 07777,
};

void Put8(std::string* out, uint32_t value) {
    *out += (char)(value & 0xFF);
}
void Put16(std::string* out, uint32_t value) {
    Put8(out, value);
    Put8(out, value >> 8);
}
void Put32(std::string* out, uint32_t value) {
    Put16(out, value);
    Put16(out, value >> 16);
}

struct HeaderFields {
    uint32_t method;
    uint32_t fileType;
    uint32_t timeStamp;
    uint32_t compressedSize;
    uint32_t originalSize;
    uint32_t fileCrc;
    uint32_t fileMode;
};

// One header: id, basic header size, basic header (fixed part, name, empty
// comment), its CRC-32, and a zero extended-header size.
std::string Header(const HeaderFields& f, const std::string& name) {
    std::string basic;
    Put8(&basic, BasicFixedSize);
    Put8(&basic, ArchiverVersion);
    Put8(&basic, MinVersion);
    Put8(&basic, UnixHostOs); // names and bytes are used as stored
    Put8(&basic, 0);          // flags: not garbled
    Put8(&basic, f.method);
    Put8(&basic, f.fileType);
    Put8(&basic, 0); // reserved
    Put32(&basic, f.timeStamp);
    Put32(&basic, f.compressedSize);
    Put32(&basic, f.originalSize);
    Put32(&basic, f.fileCrc);
    Put16(&basic, 0); // entry position
    Put16(&basic, f.fileMode);
    Put16(&basic, 0); // host data
    basic += name;
    basic += '\0';
    basic += '\0'; // comment
    std::string out;
    Put16(&out, ArjHeaderId);
    Put16(&out, (uint32_t)basic.size());
    out += basic;
    Put32(&out, Crc32(basic.data(), basic.size()));
    Put16(&out, 0);
    return out;
}

uint32_t Read16(const std::string& bytes, size_t at) {
    return (uint8_t)bytes[at] | (uint32_t)(uint8_t)bytes[at + 1] << 8;
}

uint32_t Read32(const std::string& bytes, size_t at) {
    return Read16(bytes, at) | Read16(bytes, at + 2) << 16;
}

} // namespace

std::string EntryHeader(const EntryFields& e) {
    BuildCrcTable();
    return Header({(uint32_t)e.method, BinaryFile, e.timeStamp, e.compressedSize, e.originalSize,
                   e.fileCrc, e.fileMode},
                  e.name);
}

std::string MainHeader(const std::string& archiveName, uint32_t timeStamp) {
    BuildCrcTable();
    return Header({StoredMethod, MainHeaderType, timeStamp, 0, 0, 0, 0}, archiveName);
}

std::string EndHeader() {
    std::string out;
    Put16(&out, ArjHeaderId);
    Put16(&out, 0);
    return out;
}

uint32_t ArjTimeStamp(int64_t unixTime) {
    return unixTime < 0 ? 0 : unixTime > 0xFFFFFFFF ? 0xFFFFFFFFu : (uint32_t)unixTime;
}

uint32_t ArjFileMode(mode_t mode) {
    return (mode & UnixFileTypeBits) >> 3 | (mode & UnixPermissionBits);
}

std::string CheckArchiveStart(const std::string& bytes) {
    BuildCrcTable();
    if (bytes.size() < 4 || Read16(bytes, 0) != ArjHeaderId)
        return "does not start with an ARJ header";
    uint32_t size = Read16(bytes, 2);
    if (size == 0) return "starts with an end-of-archive header";
    if (size > MaxBasicHeaderSize) return "has a first header larger than 2600 bytes";
    if (bytes.size() < 4 + size + 4) return "ends inside its first header";
    if (Crc32(bytes.data() + 4, size) != Read32(bytes, 4 + size))
        return "has a first header whose CRC does not match";
    return "";
}
