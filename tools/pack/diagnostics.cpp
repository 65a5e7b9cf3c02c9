// diagnostics.cpp: gathering problems and printing them by line and column.
#include "tools/pack/diagnostics.h"

#include "tools/pack/code_page.h"

#include <algorithm>

std::string Plural(size_t count, const char* word, const char* words) {
    return std::to_string(count) + " " +
           (count == 1 ? word
            : words    ? words
                       : std::string(word) + "s");
}

void Diagnostics::Warn(uint32_t offset, const std::string& message) {
    list.push_back({offset, Severity::Warning, message});
    warnings++;
}

void Diagnostics::Fail(uint32_t offset, const std::string& message) {
    list.push_back({offset, Severity::Error, message});
    errors++;
}

std::vector<Diagnostic> Diagnostics::Sorted() const {
    std::vector<Diagnostic> sorted = list;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Diagnostic& a, const Diagnostic& b) { return a.offset < b.offset; });
    auto same = [](const Diagnostic& a, const Diagnostic& b) {
        return a.offset == b.offset && a.severity == b.severity && a.message == b.message;
    };
    sorted.erase(std::unique(sorted.begin(), sorted.end(), same), sorted.end());
    return sorted;
}

namespace {

// Walks a source forward, counting lines and columns.
struct Cursor {
    const std::string& source;
    bool utf8;
    size_t at = 0;
    SourcePosition position{1, 1};

    Cursor(const std::string& text) : source(text), utf8(IsUtf8(text)) {
        if (utf8 && source.compare(0, 3, "\xEF\xBB\xBF") == 0) at = 3;
    }
    void MoveTo(uint32_t offset) {
        while (at < offset && at < source.size()) {
            char c = source[at];
            if (c == '\n' || (c == '\r' && (at + 1 == source.size() || source[at + 1] != '\n'))) {
                position.line++;
                position.column = 1;
                at++;
            } else if (c == '\r') {
                at++; // the LF behind it ends the line
            } else {
                position.column++;
                at += utf8 ? Utf8Length((unsigned char)c) : 1;
            }
        }
    }
};

} // namespace

SourcePosition PositionOf(const std::string& source, uint32_t offset) {
    Cursor cursor(source);
    cursor.MoveTo(offset);
    return cursor.position;
}

void Diagnostics::Print(FILE* out, const std::string& fileName, const std::string& source) const {
    Cursor cursor(source);
    for (const Diagnostic& d : Sorted()) {
        cursor.MoveTo(d.offset);
        fprintf(out, "%s:%u:%u: %s: %s\n", fileName.c_str(), cursor.position.line,
                cursor.position.column, d.severity == Severity::Error ? "error" : "warning",
                d.message.c_str());
    }
}
