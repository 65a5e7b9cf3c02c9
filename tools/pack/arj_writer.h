// arj_writer.h: ARJ headers as the arj archiver writes them on Unix and a
// check of an archive's main header, for vantorel-pack build.
#pragma once

#include <stdint.h>
#include <sys/types.h>

#include <string>
#include <vector>

// A file for the archive: where it is on this machine and its stored name
// (in the code page).
struct ArchiveInput {
    std::string path;
    std::string storedName;
};

// The fields of an entry header that vary from entry to entry. Headers say
// host OS 2 (Unix): names and bytes are used as stored.
struct EntryFields {
    std::string name;
    int method;
    uint32_t timeStamp; // modification time as Unix hosts write it (ArjTimeStamp)
    uint32_t compressedSize;
    uint32_t originalSize;
    uint32_t fileCrc;
    uint32_t fileMode; // ArjFileMode
};

// An entry's header (binary file), with its CRC and no extended header; the
// entry's data follows it.
std::string EntryHeader(const EntryFields& entry);

// The archive's main header, first in the archive.
std::string MainHeader(const std::string& archiveName, uint32_t timeStamp);

// The header that ends the archive.
std::string EndHeader();

// The time stamp of an entry from a Unix host: the Unix time itself, which
// the archiver shows and restores as such for host OS 2 (an MS-DOS date and
// time there would show as some other date).
uint32_t ArjTimeStamp(int64_t unixTime);

// The file mode of a plain file as the archiver stores it: the permission
// bits, and the file type moved down three bits (0100000 becomes 010000).
uint32_t ArjFileMode(mode_t mode);

// Empty when bytes start with a sound ARJ main header (id 0x60 0xEA, a basic
// header of 1 to 2600 bytes whose CRC-32 matches); otherwise why not.
std::string CheckArchiveStart(const std::string& bytes);
