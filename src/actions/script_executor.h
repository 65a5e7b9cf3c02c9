// script_executor.h: runs the parsed script once, command by command.
#pragma once

#include <stdint.h>

// Runs every record of the CommandList, then writes install.log. Always 0.
int RunScript(void);

// The command handlers.
void TitleCommand(const char* title);
void RegistryCommand(int32_t root, const char* key, const char* valueName, const char* data);
void RegistryIntCommand(int32_t root, const char* key, const char* valueName, int32_t value);
void MakeDirectoryCommand(const char* path);
void MoveFileCommand(const char* source, const char* destination);
void StartMenuCommand(const char* target, const char* group, const char* name);
void DesktopIconCommand(const char* target, const char* name);
