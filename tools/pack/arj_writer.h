// arj_writer.h: a minimal ARJ archive writer (stored entries only) and a check of
// an archive's main header, for vantorel-pack build.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct ArjFile {
    std::string name; // stored name, used as it is (host OS 2)
    std::string data; // the file's bytes
    uint32_t dosTime; // modification time, MS-DOS date and time
};

// An archive of the files, each stored (method 0, binary): main header, one
// header and the data per file, end header. archiveName goes into the main
// header.
std::string MakeStoredArchive(const std::string& archiveName, const std::vector<ArjFile>& files);

// Empty when bytes start with a sound ARJ main header (id 0x60 0xEA, a basic
// header of 1 to 2600 bytes whose CRC-32 matches); otherwise why not.
std::string CheckArchiveStart(const std::string& bytes);

// MS-DOS date and time of a Unix time, in local time; 1980-01-01 for earlier.
uint32_t DosTime(int64_t unixTime);
