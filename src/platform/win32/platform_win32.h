// platform_win32.h: what only the Windows programs' own entry points call; the
// host has no stand-in, since nothing portable reaches it.
#pragma once

// Limits where DLLs are looked for to the system folder, so that none planted
// beside the program (a Downloads folder, say) is loaded into it. The first
// call of every entry point: only the protected system DLLs of the static
// imports are loaded before it.
void PlatformRestrictDllSearch(void);

// The process's command line behind the program's own name.
const char* PlatformArguments(void);
