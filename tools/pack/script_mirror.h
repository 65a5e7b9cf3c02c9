// script_mirror.h: the installer's script reader again, keeping where each byte came from.
//
// The installer's reader stays as it is; this mirrors it statement for
// statement (the tests hold the two together) and keeps for every byte where
// in the source it came from.
#pragma once

#include "script/command_records.h"
#include "tools/pack/code_page.h"
#include "tools/pack/diagnostics.h"

#include <stdint.h>

#include <string>
#include <vector>

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
