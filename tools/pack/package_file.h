// package_file.h: the package layout on the host side: an installer image
// followed by the script and the archive, each behind its u32 length.
#pragma once

#include <string>

// The bytes of an installer: stub (PackageDataOffset bytes), scriptLength,
// script, archiveLength, archive.
std::string MakePackage(const std::string& stub, const std::string& script,
                        const std::string& archive);

// A stand-in image of the right size, with an empty seal, for packages that no
// installer runs (tests, tool checks).
std::string PlaceholderStub();

// Whole-file helpers: empty, or "cannot read PATH" ("cannot write PATH").
std::string ReadWholeFile(const std::string& path, std::string* bytes);
std::string WriteWholeFile(const std::string& path, const std::string& bytes);

// A host path's last part, and the folder that holds it ("." for a bare name).
std::string BaseName(const std::string& path);
std::string FolderOf(const std::string& path);
