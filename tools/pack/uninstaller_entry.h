// uninstaller_entry.h: Uninstaller ("KEY", "PUBLISHER", "VERSION"), the
// build-time statement that places uninstall.exe and registers the product
// with Add/Remove Programs.
//
// build replaces it in place by the MoveFile of uninstall.exe into the target
// folder and the values of HKEY_LOCAL_MACHINE\...\Uninstall\KEY: DisplayName
// (the script's Title), UninstallString, QuietUninstallString (with /S),
// DisplayIcon, Publisher, DisplayVersion, InstallLocation, EstimatedSize (in
// KB) and NoModify and NoRepair (1). KEY should stay the same across
// versions, so that an upgrade replaces the entry.
#pragma once

#include "tools/pack/code_page.h"
#include "tools/pack/diagnostics.h"

#include <stdint.h>

#include <string>

// 1 when the script holds an Uninstaller statement.
bool HasUninstaller(const MappedText& text, uint32_t sourceSize);

// The script's Title, in the code page; empty when it has none.
std::string ScriptTitle(const MappedText& text, uint32_t sourceSize);

// The script with each Uninstaller statement expanded; installedBytes are
// the archive's files, which EstimatedSize tells. Errors at the statement.
MappedText ExpandUninstaller(const MappedText& text, uint32_t sourceSize, uint64_t installedBytes,
                             Diagnostics* diagnostics);
