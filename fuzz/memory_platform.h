// memory_platform.h: the fuzzers' file functions, in place of the simulation's: every file
// read is the package in memory, and what is written stays in memory. One includer each.
#pragma once

#include "platform/platform.h"

#include <stdio.h>

#include <string>

static std::string package, written;

static ssize_t Keep(void*, const char* bytes, size_t size) {
    written.append(bytes, size);
    return (ssize_t)size;
}

FILE* PlatformOpenFile(const char*, const char* mode) {
    static const cookie_io_functions_t keep = {nullptr, Keep, nullptr, nullptr};
    return mode[0] == 'r' ? fmemopen(&package[0], package.size(), "rb")
                          : fopencookie(nullptr, "wb", keep);
}

int PlatformDeleteFile(const char*) {
    return 1;
}

int PlatformSetFileTime(const char*, int64_t) {
    return 1;
}
