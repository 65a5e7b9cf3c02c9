// archive_entries.h: the names in an installer's archive, as the installer's
// own reader reads them.
#pragma once

#include <string>
#include <vector>

// The entry names of the archive in the package at path; empty, or the
// reader's message when the archive cannot be read.
std::string ReadArchiveEntryNames(const std::string& packagePath, std::vector<std::string>* names);

// The same for an archive in memory.
std::string ArchiveBytesEntryNames(const std::string& archive, std::vector<std::string>* names);
