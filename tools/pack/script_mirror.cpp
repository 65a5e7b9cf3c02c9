// script_mirror.cpp: the reader's cleaning and cutting, with positions and the syntax problems.
#include "tools/pack/script_mirror.h"

#include "script/script_reader.h"

#include <string.h>

#include <algorithm>

namespace {

enum {
    MaxNameLength = CommandNameSize - 1,
    MaxTextLength = ArgumentTextSize - 1,
};

bool IsLayout(char c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// The cleaning pass of the reader, keeping where each byte came from and
// which quote it stands behind. Finds the quote problems on the way: only
// the first of a run, since one stray quote upsets every quote behind it
// until a line ends outside quotes.
struct Cleaner {
    const MappedText& text;
    uint32_t sourceSize;
    Diagnostics* diagnostics;
    ParsedScript* script;
    std::vector<int32_t> openedBy;  // per cleaned byte inside quotes: the opening quote
    std::vector<uint32_t> troubles; // cleaned-text indexes of quote problems
    bool carrying = false;          // a reported problem still upsets the quotes

    uint32_t Origin(uint32_t textIndex) const {
        return textIndex < text.origin.size() ? text.origin[textIndex] : sourceSize;
    }

    void Trouble(uint32_t textIndex, const std::string& message) {
        troubles.push_back((uint32_t)script->clean.size());
        if (carrying) return;
        diagnostics->Warn(Origin(textIndex), message);
        carrying = true;
    }

    // The byte that the cleaned text holds behind the next quote after i (0
    // at the end, or when no quote follows).
    char ByteBehindNextQuote(uint32_t i) const {
        const std::string& bytes = text.bytes;
        bool behind = false;
        for (i++; i < bytes.size(); i++) {
            if (bytes[i] == '#') {
                while (i < bytes.size() && !IsLineEnd(bytes[i])) i++;
            } else if (behind && !IsLayout(bytes[i])) {
                return bytes[i];
            } else if (bytes[i] == '"') {
                behind = true;
            }
        }
        return behind ? ';' : 0;
    }

    // ; , and ) cut the script whatever the quotes say. When the quote that
    // comes next looks like the end of a text, the text holds the byte;
    // otherwise the quote before it was never closed.
    void CutInsideQuotes(uint32_t i, uint32_t openingAt) {
        if (carrying) return Trouble(i, ""); // looking ahead again would cost time for nothing
        char c = text.bytes[i];
        char behind = ByteBehindNextQuote(i);
        if (!behind || !strchr(",);", behind))
            return Trouble(openingAt, "this quote is not closed before the next ';', ',' or "
                                      "')': the quote runs on into what follows");
        const char* effect = c == ';'   ? "ends the statement"
                             : c == ',' ? "ends the argument"
                                        : "ends the arguments";
        Trouble(i,
                std::string("a text cannot hold '") + c + "': the installer " + effect + " here");
    }

    void Clean() {
        const std::string& bytes = text.bytes;
        bool inQuotes = false;
        int32_t opening = -1;
        uint32_t openingAt = 0;
        for (uint32_t i = 0; i < bytes.size(); i++) {
            char c = bytes[i];
            if (c == '#') {
                if (inQuotes)
                    Trouble(i, "a text cannot hold '#': the installer takes the rest of the "
                               "line for a comment, and the quote stays open");
                while (i < bytes.size() && !IsLineEnd(bytes[i])) i++;
                if (!inQuotes) carrying = false;
                continue; // the loop drops the CR or LF as well
            }
            if (c == '\0') {
                // The reader's cleaned text ends at its first NUL.
                if (bytes.find_first_not_of("\t\r\n ", i + 1) != std::string::npos)
                    diagnostics->Warn(Origin(i), "a NUL byte ends the script: the installer "
                                                 "reads nothing behind it");
                return;
            }
            if (c == '"') {
                inQuotes = !inQuotes;
                if (inQuotes) opening = (int32_t)script->clean.size(), openingAt = i;
            } else if (!inQuotes && IsLayout(c)) {
                if (IsLineEnd(c)) carrying = false;
                continue;
            } else if (inQuotes && strchr(";,)", c)) {
                CutInsideQuotes(i, openingAt);
            }
            script->clean += c;
            script->at.push_back(i);
            openedBy.push_back(inQuotes && c != '"' ? opening : -1);
        }
        if (inQuotes) Trouble(openingAt, "this quote is never closed");
    }
};

// One statement, [begin, end) of the cleaned text, cut as the reader cuts it.
ParsedStatement CutStatement(const ParsedScript& script, const Cleaner& cleaner, uint32_t begin,
                             uint32_t end, Diagnostics* diagnostics) {
    const std::string& clean = script.clean;
    ParsedStatement st{};
    st.begin = begin;
    st.end = end;
    // Troubles are found in text order.
    auto trouble = std::lower_bound(cleaner.troubles.begin(), cleaner.troubles.end(), begin);
    st.quoteTrouble =
        cleaner.openedBy[begin] >= 0 || (trouble != cleaner.troubles.end() && *trouble <= end);
    auto origin = [&](uint32_t k) { return cleaner.Origin(script.at[k]); };
    // What the reader refuses fails the whole script.
    auto refuse = [&](uint32_t k, const std::string& why) {
        diagnostics->Fail(origin(k), why + " (\"Error parsing installation script.\")");
        st.refused = true;
        return st;
    };

    uint32_t nameEnd =
        (uint32_t)(std::find(clean.begin() + begin, clean.begin() + end, '(') - clean.begin());
    st.name = clean.substr(begin, nameEnd - begin);
    if (st.name.size() > MaxNameLength)
        return refuse(begin, "a command name of " + Plural(st.name.size(), "byte") +
                                 ": the installer refuses names over 31");
    st.open = nameEnd < end;
    if (!st.open) return st;
    uint32_t p = nameEnd + 1;
    if (p < end && clean[p] == ')') {
        st.closed = true;
        st.close = p;
    }
    if (p == end || st.closed) return st;
    for (;;) {
        if (st.arguments.size() == ArgumentSlots)
            return refuse(p, "a seventh argument: the installer refuses statements of over six");
        uint32_t argEnd = p;
        while (argEnd < end && clean[argEnd] != ',' && clean[argEnd] != ')') argEnd++;
        ParsedArgument a{};
        a.begin = p;
        a.end = argEnd;
        if (argEnd > p && clean[p] == '"') {
            a.type = ArgumentType::Text;
            a.text = argEnd - p >= 2 ? clean.substr(p + 1, argEnd - p - 2) : "";
            if (a.text.size() > MaxTextLength)
                return refuse(p, "a text of " + Plural(a.text.size(), "byte") +
                                     ": the installer refuses texts over 255");
        } else {
            a.type = ArgumentType::Integer;
            a.text = clean.substr(p, argEnd - p);
            a.intValue = ParseScriptInteger(clean.data() + p, clean.data() + argEnd);
        }
        st.arguments.push_back(a);
        if (argEnd == end) return st;
        if (clean[argEnd] == ')') {
            st.closed = true;
            st.close = argEnd;
            return st;
        }
        p = argEnd + 1;
        if (p == end) return st;
        if (clean[p] == ')') {
            st.closed = true;
            st.close = p;
            return st;
        }
    }
}

} // namespace

uint32_t SourceOffset(const ParsedScript& script, const MappedText& text, uint32_t cleanIndex,
                      uint32_t sourceSize) {
    if (cleanIndex >= script.at.size()) return sourceSize;
    uint32_t index = script.at[cleanIndex];
    return index < text.origin.size() ? text.origin[index] : sourceSize;
}

ParsedScript ParseScriptForDiagnostics(const MappedText& text, uint32_t sourceSize,
                                       Diagnostics* diagnostics) {
    ParsedScript script;
    Cleaner cleaner{text, sourceSize, diagnostics, &script, {}, {}, false};
    cleaner.Clean();
    uint32_t length = (uint32_t)script.clean.size();
    for (uint32_t begin = 0; begin < length;) {
        size_t semicolon = script.clean.find(';', begin);
        uint32_t end = semicolon == std::string::npos ? length : (uint32_t)semicolon;
        if (end > begin)
            script.statements.push_back(CutStatement(script, cleaner, begin, end, diagnostics));
        begin = end + 1;
    }
    return script;
}
