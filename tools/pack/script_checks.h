// script_checks.h: what in a script the installer refuses, or takes but is surely not meant.
#pragma once

#include "tools/pack/code_page.h"
#include "tools/pack/diagnostics.h"

#include <stdint.h>

#include <string>
#include <vector>

enum class ScriptKind {
    Source,  // a publisher's script: MoveFolder is expanded by build
    Package, // what the installer runs
};

// Everything that the installer accepts but almost surely is not meant, and
// what it refuses. archiveNames: the archive's entries, or null when the
// archive is not known. Texts in messages are shown from codePage.
void DiagnoseScript(const MappedText& text, uint32_t sourceSize, ScriptKind kind,
                    const std::vector<std::string>* archiveNames, const CodePage& codePage,
                    Diagnostics* diagnostics);
