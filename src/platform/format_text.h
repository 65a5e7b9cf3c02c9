// format_text.h: bounded formatting of the installer's messages and status
// texts. Knows %s and %d (and %% ); always terminates, cutting what does not fit.
#pragma once

#include <stddef.h>

// For texts: the x86-64 ABI pads arrays of 16 bytes and more to 16-byte
// boundaries, which texts read byte by byte do not need.
#define BYTE_ALIGNED __attribute__((aligned(1)))

// Gives the length of the text written.
size_t FormatText(char* buffer, size_t size, const char* format, ...);
