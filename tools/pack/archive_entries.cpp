// archive_entries.cpp: entry names through the installer's archive reader.
#include "tools/pack/archive_entries.h"

#include "arj/archive_headers.h"
#include "platform/simulation/simulation.h"
#include "tools/pack/package_file.h"

#include <stdlib.h>
#include <unistd.h>

std::vector<std::string> ReadArchiveEntryNames(const std::string& packagePath) {
    std::vector<std::string> names;
    SimSetMessageOutput(stderr);
    OpenArchive(packagePath.c_str());
    while (ReadHeader()) {
        names.push_back(archiveEntry.entryName);
        SkipEntryData();
    }
    CloseArchive();
    return names;
}

// The reader reads packages from files: this one has no name, so nothing is
// left behind even when the reader ends the process.
bool ArchiveBytesEntryNames(const std::string& archive, std::vector<std::string>* names) {
    const char* folder = getenv("TMPDIR");
    std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/vantorel-XXXXXX";
    int fd = mkstemp(&pattern[0]);
    if (fd < 0) return false;
    unlink(pattern.c_str());
    std::string package = MakePackage(PlaceholderStub(), "", archive);
    bool written = write(fd, package.data(), package.size()) == (ssize_t)package.size();
    if (written) *names = ReadArchiveEntryNames("/proc/self/fd/" + std::to_string(fd));
    close(fd);
    return written;
}
