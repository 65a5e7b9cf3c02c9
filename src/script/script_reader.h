// script_reader.h: reads the installation script out of the package.
//
// Results: 0 read / -1 refused, which the installer's entry turns into
// "Error parsing installation script.".
#pragma once

#include <stdint.h>

// Reads the script of the package behind the executable at path and builds
// the CommandList. 0 on success (also for a script without statements), -1
// when the file, the script or memory fails, or the script breaks a limit of
// the records (name over 31 characters, text over 255, over six arguments).
int ParseScript(const char* path);

// The same on script text already in memory (length bytes, no NUL needed).
int ParseScriptText(const char* raw, uint32_t length);

// The value of the integer argument [text, end): blanks, a sign, digits up to
// the first other byte. Values beyond 32 bits saturate rather than wrap.
int32_t ParseScriptInteger(const char* text, const char* end);
