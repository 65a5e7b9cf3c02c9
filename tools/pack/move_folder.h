// move_folder.h: MoveFolder ("SOURCE", "DEST"), the build-time statement that
// installs a whole folder tree through the flat archive.
//
// build replaces it, in place, by MakeDirectory for DEST and every folder
// below it and one MoveFile per file, sorted by name so that builds are
// reproducible. Each file is stored once, under its own name or, when that
// name is taken (case aside), under NAME~2.EXT and so on.
#pragma once

#include "tools/pack/arj_writer.h"
#include "tools/pack/code_page.h"
#include "tools/pack/diagnostics.h"
#include "tools/pack/script_mirror.h"

#include <string>
#include <vector>

struct FolderExpansion {
    MappedText text;                 // the script, every MoveFolder expanded
    std::vector<ArchiveInput> files; // the files they add, in script order
};

// Expands the MoveFolder statements of text, whose origins point into source.
// SOURCE is relative to baseFolder. Stored names avoid takenNames and each
// other. With allowed false (the archive is given whole) every MoveFolder is
// an error; so is every one that cannot be expanded, which stays in place.
FolderExpansion ExpandMoveFolders(const MappedText& text, const std::string& source,
                                  const std::string& baseFolder,
                                  const std::vector<std::string>& takenNames, bool allowed,
                                  const CodePage& codePage, Diagnostics* diagnostics);

// Build-time statements (MoveFolder, Uninstaller) and their expansion in
// place. A statement takes whole texts when it is closed, read whole by the
// installer, and has count arguments, each a text in quotes and nothing else.
bool TakesWholeTexts(const ParsedScript& script, const ParsedStatement& st, size_t count);

// Appends to result the text from *copied up to the statement, then lines in
// its place, one a line and indented like it (their origin: at, where the
// statement stands in the source); *copied moves behind the statement.
void ReplaceStatement(const MappedText& text, const ParsedScript& script, const ParsedStatement& st,
                      uint32_t at, const std::vector<std::string>& lines, uint32_t* copied,
                      MappedText* result);

// Appends the text from copied to its end: after the last replacement.
void AppendRest(const MappedText& text, uint32_t copied, MappedText* result);

// Empty when Windows can hold name and a script text can carry it; else why not.
std::string NameProblem(const std::string& name);

// A key that is the same for two names that Windows takes for one (letter
// case aside); name in UTF-8.
std::string FoldedName(const std::string& utf8);
