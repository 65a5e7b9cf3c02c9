// uninstall_entry.cpp: the uninstaller's process entry, in place of the C
// runtime's start-up code.
#include "platform/platform.h"
#include "platform/win32/platform_win32.h"
#include "uninstall/uninstaller.h"

extern "C" __attribute__((externally_visible)) void UninstallEntry(void) {
    PlatformBecomeDpiAware();
    PlatformRestrictDllSearch();
    PlatformExit(RunUninstaller(PlatformArguments()));
}
