// version_resource.h: the version resource that build --version-info puts in
// the installer and its uninstall.exe, which Explorer's Details tab shows.
#pragma once

#include <string>
#include <utility>
#include <vector>

typedef std::vector<std::pair<std::string, std::string>> VersionValues; // key, UTF-8 value

// Takes one KEY=VALUE: empty, or the complaint (a key not among ProductName,
// ProductVersion, FileVersion, CompanyName, FileDescription, LegalCopyright;
// one given twice; an empty value or one that is not UTF-8; a version that
// does not start with numbers).
std::string AddVersionValue(const std::string& argument, VersionValues* values);

// The resource's bytes: the values in US English, Unicode; ProductName is the
// title unless given, FileVersion the ProductVersion unless given, and their
// numbers go into the fixed part too.
std::string VersionResource(VersionValues values, const std::string& title);
