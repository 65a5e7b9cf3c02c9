// folder_variables.h: the folders that script texts name with % variables,
// and the expansion of those texts.
//
//   %p program files   %w Windows   %s system   %t target   %r root directory
//
// Nothing here fails but a registry read (1 done / 0 failed): a folder that
// cannot be read stays empty, and texts that do not fit are cut.
#pragma once

#include "platform/platform.h"

#include <stdint.h>

enum {
    FolderSize = PLATFORM_MAX_PATH, // at most 259 characters and the NUL
    ExpansionSize = 4096            // the expansion result: at most 4095 characters
};

struct FolderVariables {
    char programFilesDir[FolderSize];
    char programsDir[FolderSize]; // start-menu programs, no letter
    char desktopDir[FolderSize];  // no letter
    char windowsDir[FolderSize];
    char systemDir[FolderSize];
    char targetDir[FolderSize];
    char rootDir[FolderSize];
};

extern FolderVariables folderVariables;

// Reads the folders from the registry and the system and sets rootDir and
// targetDir from the script's RootDirectory and TargetDirectory.
void LoadFolderVariables(void);

// 1 when path names the target folder or lies inside it. Letters match in
// either case, as Windows matches them (ASCII; other bytes match by bit 5 too,
// which can only close a folder more).
int IsInTarget(const char* path);

// Expands the % variables of text into the one shared result buffer, which
// the next call overwrites. Longer results are cut at 4095 characters.
const char* ExpandPath(const char* text);

// Reads a registry value into buffer (size bytes, always left terminated).
// 1 when the key could be opened, else 0 and buffer untouched.
int ReadRegistryString(int32_t rootIndex, const char* keyPath, const char* valueName, char* buffer,
                       uint32_t size);

// Copies text into a folder variable, cut at 259 characters.
void SetFolder(char* folder, const char* text);
