// platform_win32.h: what only the Windows programs' own entry points call; the
// host has no stand-in, since nothing portable reaches it.
#pragma once

// Limits where DLLs are looked for to the system folder, so that none planted
// beside the program (a Downloads folder, say) is loaded into it. Called
// first thing by every entry point: only the protected system DLLs of the
// static imports are loaded before it.
void PlatformRestrictDllSearch(void);

// Windows then lays dialogs out at the screen's DPI instead of stretching
// them as pictures; called before anything else, before any window or any
// library that may keep the DPI it finds.
void PlatformBecomeDpiAware(void);

// The process's command line behind the program's own name.
const char* PlatformArguments(void);
