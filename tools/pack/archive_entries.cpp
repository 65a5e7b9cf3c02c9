// archive_entries.cpp: entry names through the installer's archive reader.
#include "tools/pack/archive_entries.h"

#include "arj/archive_reader.h"
#include "tools/pack/package_file.h"

#include <stdlib.h>
#include <unistd.h>

static void NoteName(const ArchiveEntry* entry, EntryStatus, void* names) {
    ((std::vector<std::string>*)names)->push_back(entry->entryName);
}

std::string ReadArchiveEntryNames(const std::string& packagePath, std::vector<std::string>* names) {
    char message[MessageSize];
    names->clear();
    if (ReadArchive(packagePath.c_str(), ListEntries, NoteName, names, message) == ArchiveFailed)
        return message;
    return "";
}

// The reader reads packages from files: this one has no name, so nothing is
// left behind.
std::string ArchiveBytesEntryNames(const std::string& archive, std::vector<std::string>* names) {
    const char* folder = getenv("TMPDIR");
    std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/vantorel-XXXXXX";
    int fd = mkstemp(&pattern[0]);
    if (fd < 0) return "cannot make a scratch file in " + pattern.substr(0, pattern.rfind('/'));
    unlink(pattern.c_str());
    std::string package = MakePackage(PlaceholderStub(), "", archive);
    std::string problem = "cannot write a scratch file";
    if (write(fd, package.data(), package.size()) == (ssize_t)package.size())
        problem = ReadArchiveEntryNames("/proc/self/fd/" + std::to_string(fd), names);
    close(fd);
    return problem;
}
