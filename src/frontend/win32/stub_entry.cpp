// stub_entry.cpp: the installer's process entry, in place of the C runtime's start-up code.
//
// msvcrt.dll sets up its heap and file streams when it is loaded, so the
// runtime's functions work without that start-up code; what it would add
// (argument vectors, static constructors, atexit) the installer does not use.
#include "frontend/install_controller.h"
#include "platform/platform.h"
#include "platform/win32/platform_win32.h"

extern "C" __attribute__((externally_visible)) void StubEntry(void) {
    PlatformBecomeDpiAware();
    PlatformRestrictDllSearch();
    PlatformExit(RunInstaller(PlatformArguments()));
}
