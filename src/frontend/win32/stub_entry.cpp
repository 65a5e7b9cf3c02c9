// stub_entry.cpp: the installer's process entry, in place of the C runtime's start-up code.
//
// msvcrt.dll sets up its heap and file streams when it is loaded, so the
// runtime's functions work without that start-up code; what it would add
// (argument vectors, static constructors, atexit) the installer does not use.
#include "frontend/install_controller.h"
#include "platform/platform.h"
#include "platform/win32/platform_win32.h"

#include <windows.h>

static int IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The arguments behind the program name, which Windows quotes when it holds
// blanks: a quoted name ends at the next quote, a bare one at the first blank.
static const char* SkipProgramName(const char* line) {
    if (*line == '"') {
        line++;
        while (*line && *line != '"') line++;
        if (*line) line++;
    } else {
        while (*line && !IsBlank(*line)) line++;
    }
    while (IsBlank(*line)) line++;
    return line;
}

extern "C" void StubEntry(void) {
    PlatformRestrictDllSearch();
    PlatformExit(RunInstaller(SkipProgramName(GetCommandLineA())));
}
