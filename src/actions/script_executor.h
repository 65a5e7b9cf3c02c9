// script_executor.h: runs the parsed script once, command by command.
//
// A step fails when its system operation fails; the run goes on. Handlers
// give 1 when their step was done and 0 when it failed.
#pragma once

#include <stdint.h>

enum { StatusSize = 256 }; // a status text of at most 255 characters

// Runs every record of the CommandList, then writes install.log. Gives the
// number of steps that failed (writing install.log counts as one);
// firstFailure (StatusSize) gets the status text of the first.
int RunScript(char* firstFailure);

// The command handlers.
int TitleCommand(const char* title);
int RegistryCommand(int32_t root, const char* key, const char* valueName, const char* data);
int RegistryIntCommand(int32_t root, const char* key, const char* valueName, int32_t value);
int MakeDirectoryCommand(const char* path);
int MoveFileCommand(const char* source, const char* destination);
int StartMenuCommand(const char* target, const char* group, const char* name);
int DesktopIconCommand(const char* target, const char* name);
