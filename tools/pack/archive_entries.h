// archive_entries.h: the names in an installer's archive, as the installer's
// own reader reads them.
#pragma once

#include <string>
#include <vector>

// The entry names of the archive in the package at path. The archive must
// start where the installer looks first (CheckArchiveStart); a damaged
// archive further on ends the process with the reader's own message.
std::vector<std::string> ReadArchiveEntryNames(const std::string& packagePath);

// The same for an archive in memory; false when no scratch file can be made.
bool ArchiveBytesEntryNames(const std::string& archive, std::vector<std::string>* names);
