// script_diagnostics.h: a publisher's view of a script: the installer's own
// cleaning and cutting rules, traced back to lines and columns, and the
// mistakes that the installer accepts without a word.
//
// The installer's reader stays as it is; this mirrors it statement for
// statement (the tests hold the two together) and keeps for every byte where
// in the source it came from.
#pragma once

#include "script/command_records.h"
#include "tools/pack/code_page.h"

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

enum class Severity { Warning, Error };

struct Diagnostic {
    uint32_t offset; // in the source file
    Severity severity;
    std::string message;
};

class Diagnostics {
  public:
    void Warn(uint32_t offset, const std::string& message);
    void Fail(uint32_t offset, const std::string& message);
    int Errors() const { return errors; }
    int Warnings() const { return warnings; }
    // In source order, each once.
    std::vector<Diagnostic> Sorted() const;
    // FILE:LINE:COLUMN: error: MESSAGE (or warning), one line each, in source
    // order; source is the file's bytes, which give the lines and columns.
    void Print(FILE* out, const std::string& fileName, const std::string& source) const;

  private:
    std::vector<Diagnostic> list;
    int errors = 0;
    int warnings = 0;
};

// Line and column, from 1, of offset in source: line ends are CR, LF or CR LF;
// columns count characters (UTF-8 when the source is UTF-8, else bytes).
struct SourcePosition {
    uint32_t line;
    uint32_t column;
};
SourcePosition PositionOf(const std::string& source, uint32_t offset);

// One argument as the reader fills its slot; begin and end index the
// cleaned text (the argument's bytes, without the ',' or ')' behind them).
struct ParsedArgument {
    ArgumentType type;
    int32_t intValue;
    std::string text;
    uint32_t begin;
    uint32_t end;
};

struct ParsedStatement {
    std::string name;
    std::vector<ParsedArgument> arguments;
    uint32_t begin;    // cleaned-text index of the name
    uint32_t end;      // of the ';' that ends it, or the cleaned text's length
    bool open;         // has a '('
    bool closed;       // its arguments end with ')'
    uint32_t close;    // of that ')'
    bool refused;      // the installer refuses the script here (limits)
    bool quoteTrouble; // starts inside quotes, or a quote problem was found in it
};

// The script cut as the installer cuts it, with the way back to the source.
struct ParsedScript {
    std::string clean;        // the cleaned text, up to the first NUL
    std::vector<uint32_t> at; // for each cleaned byte, its index in the converted text
    std::vector<ParsedStatement> statements;
};

// Cuts text (the script in the code page, origins into a source of
// sourceSize bytes) as the reader does; syntax problems and the reader's
// limits go to diagnostics.
ParsedScript ParseScriptForDiagnostics(const MappedText& text, uint32_t sourceSize,
                                       Diagnostics* diagnostics);

// The source offset of a cleaned-text index (sourceSize at or past the end).
uint32_t SourceOffset(const ParsedScript& script, const MappedText& text, uint32_t cleanIndex,
                      uint32_t sourceSize);

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
