// package_seal.h: the seal and CheckSum that build writes into an installer's
// image once the package stands behind it, and the tool's check against them.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>

// Where an image's PE header (its "PE\0\0" signature) lies, when it holds at
// least bytes from there; else 0.
size_t PeHeader(const std::string& image, size_t bytes);

// Sets the CheckSum of an image held whole, when it has a PE header.
void SetChecksum(std::string* image);

// Where the image keeps its seal, or std::string::npos when it has none (a
// stub of another make, or a placeholder).
size_t FindSeal(const std::string& image);

// Writes the package's length and CRC-32 into the seal of the installer at
// path, then the image's CheckSum over the whole file as the loader computes
// it (16-bit words summed with their carries folded in, the field itself
// skipped, the length added), when it has a PE header. *sealed tells whether
// the image had a seal to fill.
std::string SealInstaller(const std::string& path, bool* sealed);

// Checks the package against its seal with the installer's own code: empty
// when it is intact or has no seal, else the complaint.
std::string VerifyPackage(const std::string& path);
