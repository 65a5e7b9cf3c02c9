// uninstaller.h: one run of the uninstaller, from its entry to its end.
//
// It reads install.log from its own folder, asks, undoes the records, removes
// the log and hands the removal of its own file (and then its folder, when
// empty) to a copy of itself that outlives it.
#pragma once

enum {
    ExitRemoved = 0,   // everything the log names is gone
    ExitFatal = 1,     // no log to work from, or a damaged one: nothing changed
    ExitItemsLeft = 2, // some items could not be removed
    ExitDeclined = 3,  // the user answered No: nothing changed
};

// The uninstaller's entry. commandLine holds the arguments behind the program
// name: /S removes without asking or showing anything; /L=N /F=PATH is the
// copy's own job (FinishRemoval). Gives the process exit code.
int RunUninstaller(const char* commandLine);

// The copy's job once the uninstaller at path has ended: its file, then the
// folders levels from its own upwards, each while it is empty. Gives an exit
// code.
int FinishRemoval(const char* path, int levels);
