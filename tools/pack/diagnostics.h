// diagnostics.h: problems found in a source file, printed as compilers print them.
#pragma once

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

// "1 byte", "3 bytes": a count and its noun (words, when not word + "s").
std::string Plural(size_t count, const char* word, const char* words = nullptr);
